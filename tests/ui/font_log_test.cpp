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
#include <string>

using namespace telvara;
using namespace telvara::ui;

namespace {

bool digits_at(const std::string& text, std::size_t& at, std::size_t at_least,
               std::size_t at_most) {
    std::size_t n = 0;
    while (at < text.size() && n < at_most && text[at] >= '0' && text[at] <= '9') {
        ++at;
        ++n;
    }
    return n >= at_least;
}

// "Creating font: {FACE} elapsed=S.mmm\n" starts at `at`.
bool creation_line_at(const std::string& text, std::size_t at, const std::string& face) {
    const std::string head = "Creating font: {" + face + "} elapsed=";
    if (text.compare(at, head.size(), head) != 0)
        return false;
    at += head.size();
    if (!digits_at(text, at, 1, std::string::npos) || at >= text.size() || text[at] != '.')
        return false;
    ++at;
    return digits_at(text, at, 3, 3) && at < text.size() && text[at] == '\n';
}

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
        const std::string text = logged();
        const std::string error = "ERROR: FontRep::FontRep() Failed to create font\n";
        const std::size_t at = text.find(error);
        std::exit(font.is_null() && at != std::string::npos &&
                          creation_line_at(text, at + error.size(), "Verdana")
                      ? 1
                      : 0);
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
    const std::size_t at = text.find("Creating font: {Ткань Sans}");
    EXPECT_TRUE(at != std::string::npos && (at == 0 || text[at - 1] == '\n') &&
                creation_line_at(text, at, "Ткань Sans"))
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
