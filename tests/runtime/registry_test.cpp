// Registry-style access by key path: path parsing, misses, unknown roots.
#include "device_root_fixture.h"
#include "runtime/registry.h"
#include <filesystem>
#include <gtest/gtest.h>
using namespace telvara;
using namespace telvara::runtime;

namespace {
constexpr WStringView kelma = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";

class Registry : public telvara::test_support::DeviceRootTest {
  protected:
    std::string file() const { return root() + "/registry.reg"; }
};

} // namespace

// Types and the file are the settings store's tests; here key paths and what a miss leaves.
TEST_F(Registry, ValuesRoundTripByKeyPathAndMissesKeepTheCallersValue) {
    const WString special = u"line\nnext \"quoted\" C:\\path\\ 😀 \t";
    ASSERT_TRUE(reg_write_dword(kelma, u"Sorting", 0xDEADBEEF));
    ASSERT_TRUE(reg_write_string(kelma, u"Name \"with\" \\ quotes", special));
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER", u"AtRoot", 5));
    reset_settings_store(); // forget memory: read the file again
    std::uint32_t number = 0;
    WString text = u"default";
    EXPECT_TRUE(reg_read_dword(kelma, u"Sorting", number) && number == 0xDEADBEEFu);
    EXPECT_TRUE(reg_read_string(kelma, u"name \"WITH\" \\ quotes", text));
    EXPECT_EQ(text, special);
    EXPECT_TRUE(reg_read_dword(u"HKEY_CURRENT_USER", u"AtRoot", number) && number == 5u);
    // Case and stray separators in the path are ignored; the first spelling stays.
    EXPECT_TRUE(
        reg_read_dword(u"HKEY_CURRENT_USER\\software\\\\kelma\\TELVARA\\", u"sorting", number));
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER\\SOFTWARE\\KELMA\\TELVARA", u"SORTING", 3));
    const std::string written = telvara::test_support::file_text(file());
    EXPECT_NE(written.find("[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n"), std::string::npos);
    EXPECT_NE(written.find("\n\"Sorting\"=dword:00000003\n"), std::string::npos) << written;
    number = 77;
    text = u"default";
    EXPECT_FALSE(reg_read_string(kelma, u"Sorting", text));
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
          u"HKEY_USERSX\\Software", u"HKEY_CURRENT_USER/Software"})
        EXPECT_FALSE(reg_write_dword(path, u"A", 1) || reg_write_string(path, u"A", u"x") ||
                     reg_read_dword(path, u"A", number) || reg_read_string(path, u"A", text))
            << to_utf8(path);
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(text, u"default");
    EXPECT_FALSE(std::filesystem::exists(file()));
}
