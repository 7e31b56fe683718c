// The script's modem and phone commands: what each line becomes, numbers
// cleaned as the modem would dial them, and the lines refused before the run.
#include "app/headless_script.h"

#include <gtest/gtest.h>

namespace telvara::app {
namespace {

TEST(HeadlessLineCommands, ModemAndPhoneLinesWithTheirNumbers) {
    const ParsedScript script = parse_script("modem ring +49 (30) 123-45\n"
                                             "modem ring\n"
                                             "modem answer\n"
                                             "modem hangup\n"
                                             "modem busy 0800111\n"
                                             "modem busy\n"
                                             "phone answer\n"
                                             "phone hangup\n"
                                             "phone dial 112\n");
    ASSERT_TRUE(script.ok()) << script.error_line << ": " << script.error;
    ASSERT_EQ(script.commands.size(), 9u);
    const auto& c = script.commands;
    EXPECT_EQ(c[0].op, ScriptOp::Modem);
    EXPECT_EQ(c[0].action, LineAction::Ring);
    EXPECT_EQ(c[0].number, "+493012345") << "formatting dropped as for dialling";
    EXPECT_EQ(c[1].action, LineAction::Ring);
    EXPECT_TRUE(c[1].number.empty()) << "a call without caller ID";
    EXPECT_EQ(c[2].action, LineAction::Answer);
    EXPECT_EQ(c[3].action, LineAction::Hangup);
    EXPECT_EQ(c[4].action, LineAction::Busy);
    EXPECT_EQ(c[4].number, "0800111");
    EXPECT_TRUE(c[5].number.empty()) << "the next number dialled is busy";
    EXPECT_EQ(c[6].op, ScriptOp::Phone);
    EXPECT_EQ(c[6].action, LineAction::Answer);
    EXPECT_EQ(c[7].action, LineAction::Hangup);
    EXPECT_EQ(c[8].action, LineAction::Dial);
    EXPECT_EQ(c[8].number, "112");
}

struct BadLine {
    const char* script;
    const char* message_part;
};

class HeadlessLineErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(HeadlessLineErrors, AreRefusedWithTheirUsage) {
    const ParsedScript script = parse_script(GetParam().script);
    EXPECT_FALSE(script.ok());
    EXPECT_EQ(script.error_line, 1);
    EXPECT_NE(script.error.find(GetParam().message_part), std::string::npos) << script.error;
}

INSTANTIATE_TEST_SUITE_P(Lines, HeadlessLineErrors,
                         ::testing::Values(BadLine{"modem", "usage: modem ring"},
                                           BadLine{"modem dial 123", "usage: modem ring"},
                                           BadLine{"modem answer now", "usage: modem ring"},
                                           // Numbers are data: no AT command rides in on one.
                                           BadLine{"modem ring 123;ATH", "is not a phone number"},
                                           BadLine{"modem busy \"1\"", "is not a phone number"},
                                           BadLine{"phone", "usage: phone answer"},
                                           BadLine{"phone ring 123", "usage: phone answer"},
                                           BadLine{"phone dial", "usage: phone answer"},
                                           BadLine{"phone dial abc", "is not a phone number"},
                                           BadLine{"phone dial *100#", "not a service code"},
                                           BadLine{"phone hangup 12", "usage: phone answer"}));

} // namespace
} // namespace telvara::app
