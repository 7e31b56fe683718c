// The telephone in the running program: calls driven from a script through
// the built-in modem simulator and from a second process through its control
// socket end in the call log of the device root; the demo phone of a first
// start comes once and never again.
#include "process_support.h"

#include "data/contact_store.h"
#include "phone/call_log.h"

#include <fstream>
#include <signal.h>

namespace telvara::e2e {
namespace {

namespace fs = std::filesystem;
using phone::CallDirection;

class TelephonyE2e : public TelvaraWorld {
  protected:
    // Tests that count calls start without the demo phone.
    void switch_demo_off() const {
        std::ofstream(m_root / "registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                                  "[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n"
                                                  "\"DemoData\"=dword:00000000\n";
    }
    std::vector<phone::CallLogEntry> calls() const {
        phone::CallLog log((m_root / "pim.vol").string());
        return log.entries();
    }
    std::size_t contacts() const {
        data::ContactStore store((m_root / "pim.vol").string());
        std::vector<data::ContactRecord> records;
        return store.load_contacts(records);
    }
};

TEST_F(TelephonyE2e, ScriptedCallThatIsAnsweredIsLoggedAsOneIncomingCall) {
    switch_demo_off();
    const std::string script = write_file("call.txt", "wait 1000\n"
                                                      "modem ring 0301234567\n"
                                                      "wait 300\n"
                                                      "phone answer\n"
                                                      "wait 2000\n"
                                                      "modem hangup\n"
                                                      "wait 100\n"
                                                      "shot after.png\n");
    const Finished run = this->run({"--headless", "--log", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto log = calls();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, CallDirection::Incoming);
    EXPECT_EQ(log[0].number, WString(u"0301234567"));
    EXPECT_GT(log[0].end, log[0].start);
    EXPECT_EQ(contacts(), 0u) << "DemoData 0 keeps the phone empty";
    const std::string text = log_text();
    EXPECT_NE(text.find("Caller ID: 0301234567"), std::string::npos) << text;
    EXPECT_LT(text.find(" WinMain 10"), text.find("lineOpen = 0 (sim)"));
}

TEST_F(TelephonyE2e, MissedRejectedAndOutgoingCallsEachGetTheirEntry) {
    switch_demo_off();
    const std::string script = write_file("calls.txt", "wait 1000\n"
                                                       "modem ring 0401\n"
                                                       "modem hangup\n"
                                                       "modem ring 0402\n"
                                                       "phone hangup\n"
                                                       "phone dial 0403\n"
                                                       "modem answer\n"
                                                       "phone hangup\n");
    const Finished run = this->run({"--headless", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;
    const auto log = calls(); // newest first
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].direction, CallDirection::Outgoing);
    EXPECT_EQ(log[0].number, WString(u"0403"));
    EXPECT_EQ(log[1].direction, CallDirection::Rejected) << "turned away while it rang";
    EXPECT_EQ(log[1].number, WString(u"0402"));
    EXPECT_EQ(log[2].direction, CallDirection::Missed);
    EXPECT_EQ(log[2].number, WString(u"0401"));
}

TEST_F(TelephonyE2e, ModemCommandsThatCannotBeCarriedOutStopTheScriptWithTheirLine) {
    switch_demo_off();
    const Finished early =
        run({"--headless", "--script", write_file("early.txt", "modem ring 123\n")});
    EXPECT_EQ(early.status, 1);
    EXPECT_NE(early.output.find(":1: there is no telephone yet"), std::string::npos)
        << early.output;
    const Finished nothing =
        run({"--headless", "--script", write_file("none.txt", "wait 1000\n\nphone answer\n")});
    EXPECT_EQ(nothing.status, 1);
    EXPECT_NE(nothing.output.find(":3: no call is ringing"), std::string::npos) << nothing.output;
    const Finished far =
        run({"--headless", "--script", write_file("far.txt", "wait 1000\nmodem answer\n")});
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.output.find("modem answer: ERROR no outgoing call is ringing"), std::string::npos)
        << far.output;
}

TEST_F(TelephonyE2e, DemoPhoneComesOnTheFirstStartOnlyNotAgainAfterErase) {
    const std::string script = write_file("s.txt", "wait 1000\n");
    ASSERT_EQ(run({"--headless", "--script", script}).status, 0);
    EXPECT_EQ(contacts(), 40u);
    EXPECT_EQ(calls().size(), 12u);

    {
        data::ContactStore store((m_root / "pim.vol").string());
        EXPECT_EQ(store.erase_contacts(data::EraseScope::all), 40u);
    }
    ASSERT_EQ(run({"--headless", "--script", script}).status, 0);
    EXPECT_EQ(contacts(), 0u);
    EXPECT_EQ(calls().size(), 12u) << "no second demo history";
}

TEST_F(TelephonyE2e, TelvaraModemFromAnotherProcessRingsTheRunningInstance) {
    switch_demo_off();
    const pid_t phone = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log("Telephone: line open")) << log_text();

    const Finished ring = run({"ring", "0409998877"}, TELVARA_MODEM_BINARY);
    EXPECT_EQ(ring.status, 0) << ring.output;
    EXPECT_TRUE(wait_for_log("Caller ID: 0409998877")) << log_text();
    const Finished hangup = run({"hangup"}, TELVARA_MODEM_BINARY);
    EXPECT_EQ(hangup.status, 0) << hangup.output;
    EXPECT_TRUE(wait_for_log("LINECALLSTATE_DISCONNECTED")) << log_text();

    // Another device root has no Telvara, so nobody answers there.
    const Finished elsewhere =
        run({"--root", (m_dir / "other-root").string(), "calls"}, TELVARA_MODEM_BINARY);
    EXPECT_EQ(elsewhere.status, 1) << elsewhere.output;

    ::kill(phone, SIGTERM);
    finish(phone);
    const auto log = calls();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, CallDirection::Missed);
    EXPECT_EQ(log[0].number, WString(u"0409998877"));
}

TEST_F(TelephonyE2e, AModemSpeakingGarbageLeavesNoPhantomCallsAndNoNumbersPickedOutOfIt) {
    switch_demo_off();
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
    const auto log = calls();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].direction, CallDirection::Missed);
    EXPECT_EQ(log[0].number, std::nullopt) << "the caller is unknown, not \"2\"";
}

} // namespace
} // namespace telvara::e2e
