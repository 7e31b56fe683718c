// Path variables, the module paths and the mapping onto Linux file names.
#include "runtime/paths.h"

#include "device_root_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace telvara;
using namespace telvara::runtime;

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        m_had = std::getenv(name) != nullptr;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_had)
            ::setenv(m_name, m_old.c_str(), 1);
        else
            ::unsetenv(m_name);
    }

  private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

const ModulePaths module = split_module_path(u"/opt/telvara/Telvara.exe");

} // namespace

TEST(ModulePaths, SplitAtTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(module.folder, u"/opt/telvara");
    EXPECT_EQ(module.name, u"Telvara.exe");
    ModulePaths mixed = split_module_path(u"\\Program Files/KELMA\\Telvara.exe");
    EXPECT_EQ(mixed.folder, u"\\Program Files/KELMA");
    EXPECT_EQ(mixed.name, u"Telvara.exe");
    ModulePaths bare = split_module_path(u"telvara");
    EXPECT_EQ(bare.folder, u"telvara");
    EXPECT_EQ(bare.name, u"telvara");
    ModulePaths in_root = split_module_path(u"/telvara");
    EXPECT_EQ(in_root.folder, u"");
    EXPECT_EQ(in_root.name, u"telvara");
}

TEST(ModulePaths, TheRealOneIsThisProgram) {
    WString path = get_app_path();
    EXPECT_TRUE(path.starts_with(u"/"));
    EXPECT_TRUE(path.ends_with(u"/runtime_tests")) << to_utf8(path);
    EXPECT_EQ(expand_path(u"%app_name%.txt"), u"runtime_tests.txt");
    EXPECT_EQ(expand_path(u"%app_full_name%"), path);
    // Run from the build tree, the program folder is the binary's.
    EXPECT_EQ(expand_path(u"%app_path%"), split_module_path(path).folder);
}

// An installed tree keeps the program folder in share/telvara beside bin/;
// the build tree keeps it beside the binary.
TEST(ProgramFolder, InstalledTreeOrTheBinarysOwnFolder) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "program-folder-XXXXXX").string();
    const fs::path top = ::mkdtemp(pattern.data());
    fs::create_directories(top / "usr/bin");
    fs::create_directories(top / "usr/share/telvara");
    fs::create_directories(top / "build");
    fs::create_directories(top / "odd/bin");
    fs::create_directories(top / "odd/share");
    std::ofstream(top / "odd/share/telvara") << "not a folder";
    const struct {
        fs::path binary_folder;
        fs::path program_folder;
    } cases[] = {
        {top / "usr/bin", top / "usr/share/telvara"},
        {top / "usr/bin/", top / "usr/share/telvara"},
        {top / "build", top / "build"},
        {top / "odd/bin", top / "odd/bin"},
        {top / "missing/bin", top / "missing/bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(program_folder(c.binary_folder.string()), c.program_folder.string())
            << c.binary_folder;
    fs::remove_all(top);
}

TEST(ModulePathsDeathTest, AThousandAndTwentyFourCharactersEndTheProcess) {
    EXPECT_EQ(split_module_path(WString(1023, u'a')).full_name.size(), 1023u);
    EXPECT_EXIT(split_module_path(WString(1024, u'a')), ::testing::ExitedWithCode(1),
                "Gluck: path is more then MAX_PATH long @ get_app_path\\(\\)");
}

TEST(ExpandPath, VariableOnlyAtTheStartAndSlashesBecomeBackslashes) {
    EXPECT_EQ(expand_path(u"%app_path%/skins/bin/splash.skin", module),
              u"/opt/telvara\\skins\\bin\\splash.skin");
    EXPECT_EQ(expand_path(u"%app_full_name%", module), u"/opt/telvara/Telvara.exe");
    EXPECT_EQ(expand_path(u"%app_name%.txt", module), u"Telvara.exe.txt");
    // The variable's own value keeps its slashes; the rest is converted.
    EXPECT_EQ(expand_path(u"a/%app_path%", module), u"a\\%app_path%");
    EXPECT_EQ(expand_path(u"x%app_path%", module), u"x%app_path%");
    EXPECT_EQ(expand_path(u"%APP_PATH%/x", module), u"%APP_PATH%\\x");
    EXPECT_EQ(expand_path(u"%app_path", module), u"%app_path");
    EXPECT_EQ(expand_path(u"/mixed\\seps//x/", module), u"\\mixed\\seps\\\\x\\");
    EXPECT_EQ(expand_path(u"", module), u"");
    EXPECT_EQ(expand_path(u"%app_path%", module), u"/opt/telvara");
    // Only one variable is replaced.
    EXPECT_EQ(expand_path(u"%app_name%%app_name%", module), u"Telvara.exe%app_name%");
}

TEST(ExpandPath, ModuleInTheRootFolder) {
    ModulePaths in_root = split_module_path(u"\\Telvara.exe");
    EXPECT_EQ(expand_path(u"%app_path%", in_root), u"");
    EXPECT_EQ(expand_path(u"%app_path%/x", in_root), u"\\x");
}

class SpecialFolders : public telvara::test_support::DeviceRootTest {};

TEST_F(SpecialFolders, MapOntoTheXdgFoldersAndTheDeviceRoot) {
    ScopedEnv home("HOME", "/home/ann");
    ScopedEnv config("XDG_CONFIG_HOME", root() + "/config");
    ScopedEnv data("XDG_DATA_HOME", "/data");
    const WString device = from_utf8(root());
    EXPECT_EQ(expand_path(u"%windows%/a/b", module), device + u"/Windows\\a\\b");
    EXPECT_EQ(expand_path(u"a/%windows%", module), u"a\\%windows%");
    EXPECT_EQ(expand_path(u"%favorites%", module), device + u"/Windows/Favorites");
    EXPECT_EQ(expand_path(u"%program_files%/x", module), device + u"/Program Files\\x");
    EXPECT_EQ(expand_path(u"%appdata%/x", module), from_utf8(root()) + u"/config\\x");
    EXPECT_EQ(expand_path(u"%startup%", module), from_utf8(root()) + u"/config/autostart");
    EXPECT_EQ(expand_path(u"%programs%", module), u"/data/applications");
    EXPECT_EQ(expand_path(u"%start_menu%", module), u"/data/applications");
    EXPECT_EQ(expand_path(u"%my_documents%/f", module), u"/home/ann/Documents\\f");

    std::filesystem::create_directories(root() + "/config");
    std::ofstream(root() + "/config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(expand_path(u"%my_documents%/f", module), u"/home/ann/Dokumente\\f");
    std::ofstream(root() + "/config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
    EXPECT_EQ(expand_path(u"%my_documents%", module), u"/srv/docs");
}

TEST_F(SpecialFolders, RelativeXdgValuesAreIgnored) {
    ScopedEnv home("HOME", "/home/ann");
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(expand_path(u"%appdata%", module), u"/home/ann/.config");
}

class NativePath : public telvara::test_support::DeviceRootTest {};

TEST_F(NativePath, DeviceAbsolutePathsLiveUnderTheRoot) {
    EXPECT_EQ(native_path(u"\\Temp\\telvara.txt"), root() + "/Temp/telvara.txt");
    EXPECT_EQ(native_path(u"skins\\bin\\a.skin"), "skins/bin/a.skin");
    EXPECT_EQ(native_path(u"/opt/telvara\\keyboard.txt"), "/opt/telvara/keyboard.txt");
    EXPECT_EQ(native_path(u""), "");
    EXPECT_EQ(native_path(u"\\Фото\\я.bmp"), root() + "/Фото/я.bmp");
    // "/Temp/" is a device path: it goes under the root, not to the real /Temp.
    EXPECT_EQ(file_path(u"/Temp/x.txt"), root() + "/Temp/x.txt");
    EXPECT_EQ(file_path(u"%windows%/a/b"), root() + "/Windows/a/b");
    EXPECT_EQ(file_path(u"%app_path%/keyboard.txt"),
              to_utf8(split_module_path(get_app_path()).folder) + "/keyboard.txt");
}

TEST_F(NativePath, TheRootDropsTrailingSlashes) {
    set_device_root(root() + "//");
    EXPECT_EQ(device_root(), root());
    set_device_root("/");
    EXPECT_EQ(native_path(u"\\Temp\\x"), "/Temp/x");
}
