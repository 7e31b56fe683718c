// The log lines of font creation, read back from the log file.
#include "ui/font.h"

#include "app/device_root_fixture.h"
#include "app/log.h"
#include "app/registry.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

using namespace telvara;
using namespace telvara::ui;

namespace {

class FontLog : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(app::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 1));
    }

    // The log file's text (UTF-16 after a byte-order mark) as UTF-8.
    std::string logged() const {
        app::log().flush();
        for (const auto& entry : std::filesystem::directory_iterator(root() + "/Temp")) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string raw((std::istreambuf_iterator<char>(in)), {});
            WString text;
            for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
                text += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                              static_cast<unsigned char>(raw[i + 1]) << 8);
            return to_utf8(text);
        }
        return {};
    }

    // In a child process: no fonts installed at all.
    [[noreturn]] void exit_after_failed_creation() {
        FcConfigSetCurrent(FcConfigCreate());
        FontDescription description;
        description.face = u"Verdana";
        FontRep font(description);
        const std::regex lines("ERROR: FontRep::FontRep\\(\\) Failed to create font\n"
                               "Creating font: \\{Verdana\\} elapsed=[0-9]+\\.[0-9]{3}\n");
        std::exit(font.is_null() && std::regex_search(logged(), lines) ? 1 : 0);
    }
};

} // namespace

TEST_F(FontLog, CreationLogsTheFaceAndTheTimeItTook) {
    FontDescription description;
    description.size = 9;
    description.face = u"Ткань Sans";
    FontRep font(description);
    ASSERT_FALSE(font.is_null());
    const std::string text = logged();
    EXPECT_TRUE(std::regex_search(
        text, std::regex("(^|\n)Creating font: \\{Ткань Sans\\} elapsed=[0-9]+\\.[0-9]{3}\n")))
        << text;
    EXPECT_EQ(text.find("ERROR"), std::string::npos);
}

TEST_F(FontLog, SizeZeroCreatesNothingAndLogsNothing) {
    FontDescription description;
    description.size = 0;
    FontRep font(description);
    EXPECT_TRUE(font.is_null());
    EXPECT_EQ(logged().find("Creating font"), std::string::npos);
}

TEST_F(FontLog, FailureIsLoggedBeforeTheCreationLine) {
    EXPECT_EXIT(exit_after_failed_creation(), testing::ExitedWithCode(1), "");
}
