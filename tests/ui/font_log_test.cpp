// The log lines of font creation, read back from the log file.
#include "ui/font.h"

#include "runtime/device_root_fixture.h"
#include "runtime/log.h"
#include "runtime/registry.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

using namespace telvara;
using namespace telvara::ui;

namespace {

class FontLog : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 1));
    }
    // The log file's text (UTF-16 after a byte-order mark) as UTF-8.
    std::string logged() const {
        runtime::log().flush();
        for (const auto& entry : std::filesystem::directory_iterator(root() + "/Temp")) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string raw((std::istreambuf_iterator<char>(in)), {});
            WString text;
            for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
                text += char16_t(std::uint8_t(raw[i]) | std::uint8_t(raw[i + 1]) << 8);
            return to_utf8(text);
        }
        return {};
    }
    // In a child process: no fonts installed at all.
    [[noreturn]] void exit_after_failed_creation() {
        FcConfigSetCurrent(FcConfigCreate());
        FontDescription description;
        description.face = u"Verdana";
        const bool null = FontRep(description).is_null();
        std::exit(null && std::regex_search(logged(), kFailed) ? 1 : 0);
    }
    const std::regex kCreated{"(^|\n)Creating font: \\{Ткань Sans\\} elapsed=[0-9]+\\.[0-9]{3}\n"};
    const std::regex kFailed{"ERROR: FontRep::FontRep\\(\\) Failed to create font\n"
                             "Creating font: \\{Verdana\\} elapsed=[0-9]+\\.[0-9]{3}\n"};
};

} // namespace

TEST_F(FontLog, CreationLogsTheFaceAndTheTimeItTookAndSizeZeroNothing) {
    FontDescription zero;
    zero.size = 0;
    EXPECT_TRUE(FontRep(zero).is_null());
    EXPECT_EQ(logged().find("Creating font"), std::string::npos);
    FontDescription description;
    description.size = 9;
    description.face = u"Ткань Sans";
    ASSERT_FALSE(FontRep(description).is_null());
    const std::string text = logged();
    EXPECT_TRUE(std::regex_search(text, kCreated)) << text;
    EXPECT_EQ(text.find("ERROR"), std::string::npos);
}

TEST_F(FontLog, FailureIsLoggedBeforeTheCreationLine) {
    EXPECT_EXIT(exit_after_failed_creation(), testing::ExitedWithCode(1), "");
}
