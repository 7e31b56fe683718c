// Registry-style access by key path: path parsing, types, defaults, other processes, install_dir.
#include "runtime/registry.h"

#include "device_root_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace telvara;
using namespace telvara::runtime;

namespace {

constexpr WStringView kelma = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";

class Registry : public telvara::test_support::DeviceRootTest {
  protected:
    std::string file() const { return root() + "/registry.reg"; }
};

} // namespace

TEST_F(Registry, ValuesRoundTripThroughTheFileAndTypesStayApart) {
    const WString special = u"line\nnext \"quoted\" C:\\path\\ 😀 \t";
    ASSERT_TRUE(reg_write_dword(kelma, u"Sorting", 0xDEADBEEF));
    ASSERT_TRUE(reg_write_string(kelma, u"Name \"with\" \\ quotes", special));
    ASSERT_TRUE(reg_write_string(kelma, u"Skin", u""));
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER", u"AtRoot", 5));
    reset_settings_store(); // forget memory: read the file again
    std::uint32_t number = 0;
    WString text = u"default";
    EXPECT_TRUE(reg_read_dword(kelma, u"Sorting", number));
    EXPECT_EQ(number, 0xDEADBEEFu);
    EXPECT_TRUE(reg_read_string(kelma, u"name \"WITH\" \\ quotes", text));
    EXPECT_EQ(text, special);
    EXPECT_TRUE(reg_read_string(kelma, u"Skin", text)) << "an empty string is a value";
    EXPECT_EQ(text, u"");
    EXPECT_TRUE(reg_read_dword(u"HKEY_CURRENT_USER", u"AtRoot", number));
    EXPECT_EQ(number, 5u);
    // Misses and other types keep what the caller had.
    number = 77;
    text = u"default";
    EXPECT_FALSE(reg_read_string(kelma, u"Sorting", text));
    EXPECT_FALSE(reg_read_dword(kelma, u"Skin", number));
    EXPECT_FALSE(reg_read_dword(kelma, u"Missing", number));
    EXPECT_FALSE(reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Nobody", u"Sorting", number));
    EXPECT_FALSE(reg_read_dword(u"HKEY_LOCAL_MACHINE", u"AtRoot", number));
    EXPECT_FALSE(reg_read_dword(u"HKEY_CURRENT_USER\\Sub", u"AtRoot", number));
    EXPECT_EQ(text, u"default");
    EXPECT_EQ(number, 77u);
}

TEST_F(Registry, UnknownRootsFailWithoutTouchingAnything) {
    std::uint32_t number = 3;
    WString text = u"default";
    for (WStringView path :
         {u"HKEY_CURRENT_CONFIG\\Software", u"Software\\KELMA", u"", u"hkey_current_user\\Software",
          u"HKEY_USERSX\\Software", u"HKEY_CURRENT_USER/Software"}) {
        EXPECT_FALSE(reg_write_dword(path, u"A", 1)) << to_utf8(path);
        EXPECT_FALSE(reg_write_string(path, u"A", u"x")) << to_utf8(path);
        EXPECT_FALSE(reg_read_dword(path, u"A", number)) << to_utf8(path);
        EXPECT_FALSE(reg_read_string(path, u"A", text)) << to_utf8(path);
    }
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(text, u"default");
    EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(Registry, NamesIgnoreCaseAndStraySeparatorsAndKeepTheFirstSpelling) {
    ASSERT_TRUE(reg_write_dword(kelma, u"FavoriteMode", 2));
    std::uint32_t number = 0;
    EXPECT_TRUE(
        reg_read_dword(u"HKEY_CURRENT_USER\\software\\kelma\\TELVARA", u"favoritemode", number));
    EXPECT_EQ(number, 2u);
    EXPECT_TRUE(reg_read_dword(u"HKEY_CURRENT_USER\\Software\\\\KELMA\\Telvara\\", u"FavoriteMode",
                               number));
    ASSERT_TRUE(
        reg_write_dword(u"HKEY_CURRENT_USER\\SOFTWARE\\KELMA\\TELVARA", u"FAVORITEMODE", 3));
    std::ifstream in(file());
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(content.find("[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n\"FavoriteMode\"="
                           "dword:00000003"),
              std::string::npos)
        << content;
}

TEST_F(Registry, AnotherProcessSeesAWriteAndANewRootStartsEmpty) {
    ASSERT_TRUE(reg_write_dword(kelma, u"Counter", 1));
    std::uint32_t number = 0;
    EXPECT_TRUE(reg_read_dword(kelma, u"Counter", number));
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        reset_settings_store(); // its own store on the same file
        std::_Exit(reg_write_dword(kelma, u"Counter", 2) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(reg_read_dword(kelma, u"Counter", number));
    EXPECT_EQ(number, 2u);
    std::string pattern = (std::filesystem::temp_directory_path() / "root2-XXXXXX").string();
    std::string other = ::mkdtemp(pattern.data());
    set_device_root(other);
    EXPECT_FALSE(reg_read_dword(kelma, u"Counter", number));
    set_device_root(root());
    EXPECT_TRUE(reg_read_dword(kelma, u"Counter", number));
    std::filesystem::remove_all(other);
}

TEST_F(Registry, InstallDirNeedsTheFolderAndTheFile) {
    WString path = u"unchanged";
    EXPECT_FALSE(install_dir(u"Messenger", u"msg.exe", path));
    EXPECT_EQ(path, u"");
    const WStringView key = u"HKEY_LOCAL_MACHINE\\Software\\Apps\\Messenger";
    ASSERT_TRUE(reg_write_string(key, u"InstallDir", u""));
    EXPECT_FALSE(install_dir(u"Messenger", u"msg.exe", path));
    EXPECT_EQ(path, u"");
    ASSERT_TRUE(reg_write_string(key, u"InstallDir", u"\\Program Files\\Messenger"));
    EXPECT_FALSE(install_dir(u"Messenger", u"msg.exe", path));
    EXPECT_EQ(path, u"\\Program Files\\Messenger\\msg.exe");
    std::filesystem::create_directories(root() + "/Program Files/Messenger");
    std::ofstream(root() + "/Program Files/Messenger/msg.exe") << "x";
    path.clear();
    EXPECT_TRUE(install_dir(u"Messenger", u"msg.exe", path));
    EXPECT_EQ(path, u"\\Program Files\\Messenger\\msg.exe");
}
