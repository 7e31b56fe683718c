// Path variables, the module paths and the mapping onto Linux file names.
#include "device_root_fixture.h"
#include "platform/scoped_env.h"
#include "runtime/paths.h"
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
using namespace telvara;
using namespace telvara::runtime;

namespace {
using test_support::ScopedEnv;
const ModulePaths module = split_module_path(u"/opt/telvara/Telvara.exe");

class DevicePaths : public telvara::test_support::DeviceRootTest {};

} // namespace

TEST(ModulePaths, SplitAtTheLastSeparatorOfEitherKind) {
    const struct {
        const char16_t *path, *folder, *name;
    } rows[] = {{u"/opt/telvara/Telvara.exe", u"/opt/telvara", u"Telvara.exe"},
                {u"\\Program Files/KELMA\\Telvara.exe", u"\\Program Files/KELMA", u"Telvara.exe"},
                {u"telvara", u"telvara", u"telvara"},
                {u"/telvara", u"", u"telvara"}};
    for (const auto& row : rows) {
        const ModulePaths split = split_module_path(row.path);
        EXPECT_EQ(split.folder, row.folder) << to_utf8(row.path);
        EXPECT_EQ(split.name, row.name) << to_utf8(row.path);
    }
    WString path = get_app_path(); // the real one is this program
    EXPECT_TRUE(path.starts_with(u"/") && path.ends_with(u"/runtime_tests")) << to_utf8(path);
    EXPECT_EQ(expand_path(u"%app_name%.txt"), u"runtime_tests.txt");
    EXPECT_EQ(expand_path(u"%app_full_name%"), path);
    EXPECT_EQ(expand_path(u"%app_path%"), split_module_path(path).folder);
    EXPECT_EQ(split_module_path(WString(1023, u'a')).full_name.size(), 1023u);
    EXPECT_EXIT(split_module_path(WString(1024, u'a')), ::testing::ExitedWithCode(1),
                "Gluck: path is more then MAX_PATH long @ get_app_path\\(\\)");
}

// Installed: share/telvara beside bin/; in the build tree: beside the binary.
TEST(ProgramFolder, InstalledTreeOrTheBinarysOwnFolder) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "program-folder-XXXXXX").string();
    const fs::path top = ::mkdtemp(pattern.data());
    for (const char* folder : {"usr/bin", "usr/share/telvara", "build", "odd/bin", "odd/share"})
        fs::create_directories(top / folder);
    std::ofstream(top / "odd/share/telvara") << "not a folder";
    const std::pair<fs::path, fs::path> cases[] = {{top / "usr/bin", top / "usr/share/telvara"},
                                                   {top / "usr/bin/", top / "usr/share/telvara"},
                                                   {top / "build", top / "build"},
                                                   {top / "odd/bin", top / "odd/bin"},
                                                   {top / "missing/bin", top / "missing/bin"}};
    for (const auto& [binary, program] : cases)
        EXPECT_EQ(program_folder(binary.string()), program.string()) << binary;
    fs::remove_all(top);
}

TEST_F(DevicePaths, SpecialFoldersMapOntoTheXdgFoldersAndTheDeviceRoot) {
    ScopedEnv home("HOME", "/home/ann");
    ScopedEnv config("XDG_CONFIG_HOME", root() + "/config");
    ScopedEnv data("XDG_DATA_HOME", "/data");
    const WString device = from_utf8(root());
    // clang-format off
    const std::pair<const char16_t*, WString> rows[] = {
        {u"%windows%/a/b", device + u"/Windows\\a\\b"}, {u"a/%windows%", u"a\\%windows%"},
        {u"%favorites%", device + u"/Windows/Favorites"},
        {u"%program_files%/x", device + u"/Program Files\\x"},
        {u"%appdata%/x", device + u"/config\\x"}, {u"%startup%", device + u"/config/autostart"},
        {u"%programs%", u"/data/applications"}, {u"%start_menu%", u"/data/applications"},
        {u"%my_documents%/f", u"/home/ann/Documents\\f"},
    };
    // clang-format on
    for (const auto& [path, expanded] : rows)
        EXPECT_EQ(expand_path(path, module), expanded) << to_utf8(path);
    std::filesystem::create_directories(root() + "/config");
    std::ofstream(root() + "/config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(expand_path(u"%my_documents%/f", module), u"/home/ann/Dokumente\\f");
    std::ofstream(root() + "/config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
    EXPECT_EQ(expand_path(u"%my_documents%", module), u"/srv/docs");
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/config"); // ignored
    EXPECT_EQ(expand_path(u"%appdata%", module), u"/home/ann/.config");
}

TEST_F(DevicePaths, DeviceAbsolutePathsLiveUnderTheRoot) {
    EXPECT_EQ(native_path(u"\\Temp\\telvara.txt"), root() + "/Temp/telvara.txt");
    EXPECT_EQ(native_path(u"skins\\bin\\a.skin"), "skins/bin/a.skin");
    EXPECT_EQ(native_path(u"/opt/telvara\\keyboard.txt"), "/opt/telvara/keyboard.txt");
    EXPECT_EQ(native_path(u""), "");
    EXPECT_EQ(native_path(u"\\Фото\\я.bmp"), root() + "/Фото/я.bmp");
    // "/Temp/" is a device path: under the root, not the real /Temp.
    EXPECT_EQ(file_path(u"/Temp/x.txt"), root() + "/Temp/x.txt");
    EXPECT_EQ(file_path(u"%windows%/a/b"), root() + "/Windows/a/b");
    EXPECT_EQ(file_path(u"%app_path%/keyboard.txt"),
              to_utf8(split_module_path(get_app_path()).folder) + "/keyboard.txt");
    set_device_root(root() + "//");
    EXPECT_EQ(device_root(), root()) << "trailing slashes dropped";
    set_device_root("/");
    EXPECT_EQ(native_path(u"\\Temp\\x"), "/Temp/x");
}
