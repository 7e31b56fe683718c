// The headless script parser: every command, and bad lines refused with their number.
#include "app/headless_script.h"
#include "ui/key_names.h"
#include <gtest/gtest.h>
namespace telvara::app {
namespace {
// Comments, blank lines and indentation are skipped; text payloads keep their blanks.
TEST(HeadlessScript, EveryCommandWithItsArguments) {
    const ParsedScript script = parse_script(
        "# the splash\n\n   \n\twait 3600000\n  # indented\n  tap 120 -4  \ndown 1 2\nmove 3 4\n"
        "up 5 6\ndrag 10 20 30 40 250\nkey CALL_MAKE\nkeydown 5\nkeyup Left\nshot out/splash.png\n"
        "type  Анна  Мария \r\ncmdline open:+7 912 555\ncmdline\ncmdline \nexpect waiting\n"
        "expect ended 20000\nexpect screen Call 0\nexpect text txtStatus Call failed: no network\n"
        "expect text company \"+49 30\" 500\nsleep 250");
    ASSERT_TRUE(script.ok()) << script.error_line << ": " << script.error;
    const auto& c = script.commands;
    ASSERT_EQ(c.size(), 20u);
    const ScriptOp ops[] = {
        ScriptOp::Wait,        ScriptOp::Tap,         ScriptOp::Down,   ScriptOp::Move,
        ScriptOp::Up,          ScriptOp::Drag,        ScriptOp::Key,    ScriptOp::KeyDown,
        ScriptOp::KeyUp,       ScriptOp::Shot,        ScriptOp::Type,   ScriptOp::CommandLine,
        ScriptOp::CommandLine, ScriptOp::CommandLine, ScriptOp::Expect, ScriptOp::Expect,
        ScriptOp::Expect,      ScriptOp::Expect,      ScriptOp::Expect, ScriptOp::Sleep};
    for (std::size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].op, ops[i]) << i;
        EXPECT_EQ(c[i].line, int(i) + (i == 0 ? 4 : 5));
    }
    EXPECT_EQ(c[0].ms, 3600000u) << "an hour is the longest wait";
    EXPECT_EQ((std::vector{c[1].x, c[1].y, c[4].y}), (std::vector{120, -4, 6}));
    EXPECT_EQ((std::vector{c[5].x, c[5].y, c[5].x2, c[5].y2}), (std::vector{10, 20, 30, 40}));
    EXPECT_EQ(c[5].ms, 250u);
    EXPECT_EQ((std::vector{c[6].key, c[7].key, c[8].key}),
              (std::vector{ui::key::CallMake, ui::key::Digit0 + 5, ui::key::Left}));
    EXPECT_EQ(c[9].file, "out/splash.png");
    EXPECT_EQ((std::vector<WString>{c[10].text, c[11].text, c[12].text, c[13].text}),
              (std::vector<WString>{u" Анна  Мария ", u"open:+7 912 555", u"", u""}));
    EXPECT_EQ((std::vector{c[14].expect, c[15].expect, c[16].expect}),
              (std::vector{ExpectWhat::Waiting, ExpectWhat::Ended, ExpectWhat::Screen}));
    EXPECT_EQ((std::vector{c[14].ms, c[15].ms, c[16].ms, c[18].ms, c[19].ms}),
              (std::vector{kLineWaitMs, 20000u, 0u, 500u, 250u}));
    EXPECT_EQ(c[16].name, "Call");
    EXPECT_EQ(c[17].name, "txtStatus");
    EXPECT_EQ(c[17].text, u"Call failed: no network") << "the rest of the line";
    EXPECT_EQ(c[18].text, u"+49 30");
    EXPECT_TRUE(parse_script("").ok() && parse_script("").commands.empty());
}
// What each line sends to the simulator, and the number the driver dials or
// waits for, cleaned as the modem would dial it.
TEST(HeadlessScript, ModemAndPhoneLinesWithTheirNumbers) {
    const struct {
        const char* line;
        ScriptOp op;
        LineAction action;
        const char* control; // nullptr: not checked
        const char* number;
    } cases[] = {
        {"modem ring +49 (30) 123-45", ScriptOp::Modem, LineAction::Ring, nullptr, "+493012345"},
        {"modem ring +49 30 123 Anna Berg", ScriptOp::Modem, LineAction::Ring,
         "ring +4930123 Anna Berg", "+4930123"},
        {"modem ring", ScriptOp::Modem, LineAction::Ring, "ring", ""}, // no caller ID
        {"modem answer", ScriptOp::Modem, LineAction::Answer, nullptr, ""},
        {"modem hangup", ScriptOp::Modem, LineAction::Hangup, nullptr, ""},
        {"modem hangup 2", ScriptOp::Modem, LineAction::Hangup, "hangup 2", ""},
        {"modem busy 0800111", ScriptOp::Modem, LineAction::Busy, nullptr, "0800111"},
        {"modem busy", ScriptOp::Modem, LineAction::Busy, nullptr, ""}, // the next number dialled
        {"modem noanswer 555", ScriptOp::Modem, LineAction::Control, "noanswer 555", "555"},
        {"modem sim pin 1234", ScriptOp::Modem, LineAction::Control, "sim pin 1234", ""},
        {"modem ussd *100# Balance 5 EUR", ScriptOp::Modem, LineAction::Control,
         "ussd *100# Balance 5 EUR", ""},
        {"phone answer", ScriptOp::Phone, LineAction::Answer, nullptr, ""},
        {"phone hangup", ScriptOp::Phone, LineAction::Hangup, nullptr, ""},
        {"phone dial 112", ScriptOp::Phone, LineAction::Dial, nullptr, "112"},
    };
    for (const auto& c : cases) {
        const ParsedScript script = parse_script(c.line);
        ASSERT_TRUE(script.ok()) << c.line << ": " << script.error;
        const ScriptCommand& command = script.commands.at(0);
        EXPECT_EQ(command.op, c.op) << c.line;
        EXPECT_EQ(command.action, c.action) << c.line;
        EXPECT_TRUE(c.control == nullptr || command.control == c.control) << c.line;
        EXPECT_EQ(command.number, c.number) << c.line;
    }
}

TEST(HeadlessScript, ScriptsStopAtTheFirstBadLineWithItsNumber) {
    const struct {
        const char* script;
        int line;
        const char* message_part;
    } cases[] = {
        {"jump 1 2", 1, "unknown command \"jump\""},
        {"wait 10\nWAIT 10", 2, "unknown command"},
        {"wait 1\n\nwait -5", 3, "milliseconds"},
        {"wait 3600001", 1, "milliseconds"},
        {"wait 1.5", 1, "milliseconds"},
        {"tap", 1, "usage: tap X Y"},
        {"tap 1 2 3", 1, "usage: tap X Y"},
        {"tap x 2", 1, "not a screen coordinate"},
        {"move 1 999999", 1, "not a screen coordinate"},
        {"drag 1 2 3 4", 1, "usage: drag X1 Y1 X2 Y2 MS"},
        {"key left", 1, "not a key name"},
        {"keydown", 1, "usage: keydown NAME"},
        {"key Left Right", 1, "usage: key NAME"},
        {"type", 1, "usage: type TEXT"},
        {"shot", 1, "usage: shot FILE.png"},
        {"shot picture.bmp", 1, "usage: shot FILE.png"},
        {"modem", 1, "usage: modem ring"},
        {"modem dial 123", 1, "usage: modem ring"},
        {"modem answer now", 1, "usage: modem ring"},
        // Numbers are data: no AT command rides in on one.
        {"modem ring 123;ATH", 1, "is not a phone number"},
        {"modem busy \"1\"", 1, "is not a phone number"},
        {"modem sim", 1, "usage: modem ring"},
        {"modem busy 1 Anna", 1, "usage: modem ring"},
        {"modem hangup one", 1, "usage: modem ring"},
        {"phone", 1, "usage: phone answer"},
        {"phone ring 123", 1, "usage: phone answer"},
        {"phone dial", 1, "usage: phone answer"},
        {"phone dial abc", 1, "is not a phone number"},
        {"phone dial *100#", 1, "not a service code"},
        {"phone hangup 12", 1, "usage: phone answer"},
        {"expect", 1, "usage: expect"},
        {"expect ringing", 1, "usage: expect"},
        {"expect connected soon", 1, "is not a time-out"},
        {"expect connected 600001", 1, "is not a time-out"},
        {"expect screen", 1, "usage: expect"},
        {"expect text title", 1, "usage: expect"},
        {"expect text t \"open", 1, "usage: expect"},
        {"sleep", 1, "usage: sleep MS"},
    };
    for (const auto& bad : cases) {
        const ParsedScript script = parse_script(bad.script);
        EXPECT_FALSE(script.ok()) << bad.script;
        EXPECT_EQ(script.error_line, bad.line) << bad.script;
        EXPECT_NE(script.error.find(bad.message_part), std::string::npos)
            << bad.script << ": " << script.error;
        EXPECT_EQ(script.commands.size(), std::size_t(bad.line - 1 - (bad.line > 2 ? 1 : 0)))
            << bad.script << ": the lines before the bad one are kept";
    }
}
} // namespace
} // namespace telvara::app
