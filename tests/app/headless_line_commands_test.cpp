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
                                           BadLine{"phone hangup 12", "usage: phone answer"},
                                           BadLine{"modem sim", "usage: modem ring"},
                                           BadLine{"modem busy 1 Anna", "usage: modem ring"},
                                           BadLine{"modem hangup one", "usage: modem ring"},
                                           BadLine{"expect", "usage: expect"},
                                           BadLine{"expect ringing", "usage: expect"},
                                           BadLine{"expect connected soon", "is not a time-out"},
                                           BadLine{"expect connected 600001", "is not a time-out"},
                                           BadLine{"expect screen", "usage: expect"},
                                           BadLine{"expect text title", "usage: expect"},
                                           BadLine{"expect text t \"open", "usage: expect"},
                                           BadLine{"sleep", "usage: sleep MS"}));

// What the far end's commands send to the simulator, and what the driver
// waits for after them.
TEST(HeadlessLineCommands, ModemCommandsReachTheSimulatorAsWritten) {
    struct Case {
        const char* line;
        LineAction action;
        const char* control;
        const char* number;
    } const cases[] = {
        {"modem ring +49 30 123 Anna Berg", LineAction::Ring, "ring +4930123 Anna Berg",
         "+4930123"},
        {"modem ring", LineAction::Ring, "ring", ""},
        {"modem hangup 2", LineAction::Hangup, "hangup 2", ""},
        {"modem noanswer 555", LineAction::Control, "noanswer 555", "555"},
        {"modem sim pin 1234", LineAction::Control, "sim pin 1234", ""},
        {"modem ussd *100# Balance 5 EUR", LineAction::Control, "ussd *100# Balance 5 EUR", ""},
    };
    for (const Case& c : cases) {
        const ParsedScript script = parse_script(c.line);
        ASSERT_TRUE(script.ok()) << c.line << ": " << script.error;
        const ScriptCommand& command = script.commands.at(0);
        EXPECT_EQ(command.op, ScriptOp::Modem) << c.line;
        EXPECT_EQ(command.action, c.action) << c.line;
        EXPECT_EQ(command.control, c.control) << c.line;
        EXPECT_EQ(command.number, c.number) << c.line;
    }
}

TEST(HeadlessLineCommands, ExpectAndSleep) {
    const ParsedScript script = parse_script("expect waiting\n"
                                             "expect ended 20000\n"
                                             "expect screen Call 0\n"
                                             "expect text txtStatus Call failed: no network\n"
                                             "expect text company \"+49 30\" 500\n"
                                             "sleep 250\n");
    ASSERT_TRUE(script.ok()) << script.error_line << ": " << script.error;
    const auto& c = script.commands;
    EXPECT_EQ(c[0].expect, ExpectWhat::Waiting);
    EXPECT_EQ(c[0].ms, kLineWaitMs) << "the default time-out";
    EXPECT_EQ(c[1].expect, ExpectWhat::Ended);
    EXPECT_EQ(c[1].ms, 20000u);
    EXPECT_EQ(c[2].expect, ExpectWhat::Screen);
    EXPECT_EQ(c[2].name, "Call");
    EXPECT_EQ(c[2].ms, 0u);
    EXPECT_EQ(c[3].name, "txtStatus");
    EXPECT_EQ(c[3].text, u"Call failed: no network") << "the rest of the line";
    EXPECT_EQ(c[4].text, u"+49 30");
    EXPECT_EQ(c[4].ms, 500u);
    EXPECT_EQ(c[5].op, ScriptOp::Sleep);
    EXPECT_EQ(c[5].ms, 250u);
}

} // namespace
} // namespace telvara::app
