// The headless script parser: every command, text payloads, and bad lines
// reported with their numbers before anything runs.
#include "app/headless_script.h"

#include "ui/key_names.h"

#include <gtest/gtest.h>

namespace telvara::app {
namespace {

TEST(HeadlessScript, EveryCommandWithItsArguments) {
    const ParsedScript script = parse_script("wait 500\n"
                                             "tap 120 -4\n"
                                             "down 1 2\n"
                                             "move 3 4\n"
                                             "up 5 6\n"
                                             "drag 10 20 30 40 250\n"
                                             "key CALL_MAKE\n"
                                             "keydown 5\n"
                                             "keyup Left\n"
                                             "shot out/splash.png\n");
    ASSERT_TRUE(script.ok()) << script.error;
    ASSERT_EQ(script.commands.size(), 10u);
    const auto& c = script.commands;
    EXPECT_EQ(c[0].op, ScriptOp::Wait);
    EXPECT_EQ(c[0].ms, 500u);
    EXPECT_EQ(c[1].op, ScriptOp::Tap);
    EXPECT_EQ(c[1].x, 120);
    EXPECT_EQ(c[1].y, -4);
    EXPECT_EQ(c[2].op, ScriptOp::Down);
    EXPECT_EQ(c[3].op, ScriptOp::Move);
    EXPECT_EQ(c[4].op, ScriptOp::Up);
    EXPECT_EQ(c[4].y, 6);
    EXPECT_EQ(c[5].op, ScriptOp::Drag);
    EXPECT_EQ((std::vector{c[5].x, c[5].y, c[5].x2, c[5].y2}), (std::vector{10, 20, 30, 40}));
    EXPECT_EQ(c[5].ms, 250u);
    EXPECT_EQ(c[6].op, ScriptOp::Key);
    EXPECT_EQ(c[6].key, ui::key::CallMake);
    EXPECT_EQ(c[7].op, ScriptOp::KeyDown);
    EXPECT_EQ(c[7].key, ui::key::Digit0 + 5);
    EXPECT_EQ(c[8].op, ScriptOp::KeyUp);
    EXPECT_EQ(c[8].key, ui::key::Left);
    EXPECT_EQ(c[9].op, ScriptOp::Shot);
    EXPECT_EQ(c[9].file, "out/splash.png");
    for (std::size_t i = 0; i < c.size(); ++i)
        EXPECT_EQ(c[i].line, int(i) + 1);
}

TEST(HeadlessScript, TextPayloadsKeepTheirBlanksAndUnicode) {
    const ParsedScript script = parse_script("type  Анна  Мария \r\n"
                                             "cmdline open:+7 912 555\n"
                                             "cmdline\n"
                                             "cmdline \n");
    ASSERT_TRUE(script.ok()) << script.error;
    ASSERT_EQ(script.commands.size(), 4u);
    EXPECT_EQ(script.commands[0].text, u" Анна  Мария ");
    EXPECT_EQ(script.commands[1].op, ScriptOp::CommandLine);
    EXPECT_EQ(script.commands[1].text, u"open:+7 912 555");
    EXPECT_EQ(script.commands[2].text, u"");
    EXPECT_EQ(script.commands[3].text, u"");
}

TEST(HeadlessScript, CommentsBlankLinesAndIndentationAreSkipped) {
    const ParsedScript script = parse_script("# the splash\n\n   \n\twait 10\n  # indented\n"
                                             "  tap 1 1  \nwait 0");
    ASSERT_TRUE(script.ok()) << script.error;
    ASSERT_EQ(script.commands.size(), 3u);
    EXPECT_EQ(script.commands[0].line, 4);
    EXPECT_EQ(script.commands[1].line, 6);
    EXPECT_EQ(script.commands[2].line, 7);
    EXPECT_TRUE(parse_script("").ok());
    EXPECT_TRUE(parse_script("").commands.empty());
}

struct BadLine {
    const char* script;
    int line;
    const char* message_part;
};

class HeadlessScriptErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(HeadlessScriptErrors, StopAtTheFirstBadLineWithItsNumber) {
    const BadLine& bad = GetParam();
    const ParsedScript script = parse_script(bad.script);
    EXPECT_FALSE(script.ok());
    EXPECT_EQ(script.error_line, bad.line);
    EXPECT_NE(script.error.find(bad.message_part), std::string::npos) << script.error;
    EXPECT_EQ(script.commands.size(), std::size_t(bad.line - 1 - (bad.line > 2 ? 1 : 0)))
        << "lines before the bad one are kept";
}

INSTANTIATE_TEST_SUITE_P(Lines, HeadlessScriptErrors,
                         ::testing::Values(BadLine{"jump 1 2", 1, "unknown command \"jump\""},
                                           BadLine{"wait 10\nWAIT 10", 2, "unknown command"},
                                           BadLine{"wait 1\n\nwait -5", 3, "milliseconds"},
                                           BadLine{"wait 3600001", 1, "milliseconds"},
                                           BadLine{"wait 1.5", 1, "milliseconds"},
                                           BadLine{"tap", 1, "usage: tap X Y"},
                                           BadLine{"tap 1 2 3", 1, "usage: tap X Y"},
                                           BadLine{"tap x 2", 1, "not a screen coordinate"},
                                           BadLine{"move 1 999999", 1, "not a screen coordinate"},
                                           BadLine{"drag 1 2 3 4", 1, "usage: drag X1 Y1 X2 Y2 MS"},
                                           BadLine{"key left", 1, "not a key name"},
                                           BadLine{"keydown", 1, "usage: keydown NAME"},
                                           BadLine{"key Left Right", 1, "usage: key NAME"},
                                           BadLine{"type", 1, "usage: type TEXT"},
                                           BadLine{"shot", 1, "usage: shot FILE.png"},
                                           BadLine{"shot picture.bmp", 1, "usage: shot FILE.png"}));

} // namespace
} // namespace telvara::app
