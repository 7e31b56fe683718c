// Calls from a script and from a second process end in the device root's call log.
#include "process_support.h"

#include <signal.h>

namespace telvara::e2e {
namespace {

using Rows = std::vector<std::string>;

class TelephonyE2e : public TelvaraWorld {};

TEST_F(TelephonyE2e, ScriptedCallThatIsAnsweredIsLoggedAsOneIncomingCall) {
    settings();
    const Finished run = script("wait 1000\nmodem ring 0301234567\nwait 300\nphone answer\n"
                                "wait 2000\nmodem hangup\nwait 100\nshot after.png\n",
                                {"--log"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(call_rows(), Rows{"incoming 0301234567"});
    expect_all_talked();
    EXPECT_EQ(contacts(), 0u) << "DemoData 0 keeps the phone empty";
    EXPECT_THAT(log_text(), HasSubstr("Caller ID: 0301234567"));
    EXPECT_LT(log_text().find(" WinMain 10"), log_text().find("lineOpen = 0 (sim)"));
}

TEST_F(TelephonyE2e, MissedRejectedAndOutgoingCallsEachGetTheirEntry) {
    settings();
    const Finished run = script("wait 1000\nmodem ring 0401\nmodem hangup\nmodem ring 0402\n"
                                "phone hangup\nphone dial 0403\nmodem answer\nphone hangup\n");
    ASSERT_EQ(run.status, 0) << run.output;
    // Turned away while it rang: rejected.
    EXPECT_EQ(call_rows(), (Rows{"outgoing 0403", "rejected 0402", "missed 0401"}));
}

TEST_F(TelephonyE2e, ModemCommandsThatCannotBeCarriedOutStopTheScriptWithTheirLine) {
    settings();
    const std::pair<const char*, const char*> rows[] = {
        {"modem ring 123\n", ":1: there is no telephone yet"},
        {"wait 1000\n\nphone answer\n", ":3: no call is ringing"},
        {"wait 1000\nmodem answer\n", "modem answer: ERROR no outgoing call is ringing"}};
    for (const auto& [text, said] : rows) {
        const Finished run = script(text);
        EXPECT_EQ(run.status, 1) << text;
        EXPECT_THAT(run.output, HasSubstr(said));
    }
}

TEST_F(TelephonyE2e, TelvaraModemFromAnotherProcessRingsTheRunningInstance) {
    settings();
    const pid_t phone = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log("Telephone: line open")) << log_text();
    EXPECT_EQ(run({"ring", "0409998877"}, TELVARA_MODEM_BINARY).status, 0);
    EXPECT_TRUE(wait_for_log("Caller ID: 0409998877")) << log_text();
    EXPECT_EQ(run({"hangup"}, TELVARA_MODEM_BINARY).status, 0);
    EXPECT_TRUE(wait_for_log("LINECALLSTATE_DISCONNECTED")) << log_text();
    // Another device root has no Telvara, so nobody answers there.
    EXPECT_EQ(
        run({"--root", (m_dir / "other-root").string(), "calls"}, TELVARA_MODEM_BINARY).status, 1);
    ::kill(phone, SIGTERM);
    finish(phone);
    EXPECT_EQ(call_rows(), Rows{"missed 0409998877"});
}

TEST_F(TelephonyE2e, AModemSpeakingGarbageLeavesNoPhantomCallsAndNoNumbersPickedOutOfIt) {
    settings();
    const pid_t phone = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log("Telephone: line open")) << log_text();
    const auto modem = [&](const std::vector<std::string>& words) {
        const Finished said = run(words, TELVARA_MODEM_BINARY);
        EXPECT_EQ(said.status, 0) << said.output;
    };
    // A thousand calls at once, none of them real: they may cost the line
    // a fresh start, never a call in the log.
    modem({"flood", "1000", "+CLCC: 1,1,4,0,0,\"0301\",129"});
    modem({"ring"}); // withheld
    ASSERT_TRUE(wait_for_log("CALLS LOG: LINECALLSTATE_OFFERING")) << log_text();
    modem({"send", "+CLIP: \";$(touch x)pwned2\",129"});
    ASSERT_TRUE(wait_for_log("taken as unknown")) << log_text();
    modem({"hangup"});
    EXPECT_TRUE(wait_for_log("LINECALLSTATE_DISCONNECTED")) << log_text();
    ::kill(phone, SIGTERM);
    finish(phone);
    EXPECT_EQ(call_rows(), Rows{"missed -"}) << "the caller is unknown, not \"2\"";
}

} // namespace
} // namespace telvara::e2e
