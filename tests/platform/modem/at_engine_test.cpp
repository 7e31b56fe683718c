// The AT conversation against a scripted modem: set-up that tolerates
// refusals, garbled and split lines, vendor lines, service replies on either
// side of the OK, calls that vanish from the list, and commands that time out.
#include "scripted_modem.h"

#include <string>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

TEST_F(ScriptedModem, RefusedOptionalSetupStillOpensTheLine) {
    // Every network question is refused too (the fixture's default).
    set_up_modem();
    EXPECT_EQ(
        m_network_commands,
        (std::vector<std::string>{"AT+CPIN?", "AT+CREG=2", "AT+CREG=1", "AT+CREG?", "AT+CEREG=2",
                                  "AT+CEREG?", "AT+COPS=3,0", "AT+COPS?", "AT+CSQ", "AT+CNAP=1"}));
    auto got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::line_open);
    EXPECT_TRUE(m_engine.open());
    EXPECT_EQ(m_engine.network(), NetworkState{});
    // Nothing to poll without calls, and no network question left to repeat.
    EXPECT_FALSE(m_engine.next_deadline().has_value());
    m_engine.dial("555");
    m_engine.tick(m_now);
    reply("ATD555;", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\n+CLCC: 1,0,2,0,0,\"555\",129\r\n\r\nOK\r\n");
    EXPECT_EQ(states(events()), std::vector<std::string>{"dialing"});
}

TEST_F(OpenModem, RingPromptsAPollAndTheCallerIdArrivesInPieces) {
    // A RING split across reads, line noise, then the caller ID.
    m_engine.receive("\r\nRI", m_now);
    m_engine.receive("NG\r\n\xff\x00\r\n+CLIP: \"+4930"sv, m_now);
    m_engine.receive("1234\",145,,,,0\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0].kind, Kind::new_call);
    EXPECT_EQ(got[0].direction, Direction::incoming);
    EXPECT_EQ(got[0].number, "+49301234"); // from +CLIP, the list had none
    EXPECT_EQ(got[1].kind, Kind::call_info);
    EXPECT_EQ(states(got), std::vector<std::string>{"offering"});
    // Polled again while ringing; answered, then connected.
    advance(500ms);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"+49301234\",145\r\n\r\nOK\r\n");
    EXPECT_TRUE(events().empty()); // same caller: no second call_info
    m_engine.answer();
    m_engine.tick(m_now);
    reply("ATA", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\n+CLCC: 1,1,0,0,0,\"+49301234\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(states(events()), std::vector<std::string>{"connected"});
}

TEST_F(OpenModem, InternationalNumbersKeepTheirPlus) {
    // Caller ID of type 145 without its '+'.
    m_engine.receive("\r\nRING\r\n+CLIP: \"4930123\",145,,,,0\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].kind, Kind::new_call);
    EXPECT_EQ(got[0].number, "+4930123");
    // The list says the same in its own words: no change, no second '+'.
    advance(500ms);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"4930123\",145\r\n\r\nOK\r\n");
    EXPECT_TRUE(events().empty());
    advance(500ms);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"+4930123\",145\r\n\r\nOK\r\n");
    EXPECT_TRUE(events().empty());
    // National numbers (129) stay as they are; a number first seen in the
    // list gets its '+' too.
    m_engine.receive("\r\nRING\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"+4930123\",145\r\n"
                     "+CLCC: 2,1,5,0,0,\"030123\",129\r\n"
                     "+CLCC: 3,1,5,0,0,\"44207\",145\r\n\r\nOK\r\n");
    got = events();
    std::vector<std::string> numbers;
    for (const auto& e : got)
        if (e.kind == Kind::new_call)
            numbers.push_back(e.number);
    EXPECT_EQ(numbers, (std::vector<std::string>{"030123", "+44207"}));
}

TEST_F(ScriptedModem, CallVanishingWithoutNoCarrierEnds) {
    set_up_modem("\r\n+CLCC: 2,0,0,0,0,\"555\",129\r\n\r\nOK\r\n");
    auto first = events();
    EXPECT_EQ(states(first), std::vector<std::string>{"connected"});
    // Connected calls are still polled, more slowly: the list is empty now.
    advance(1999ms);
    EXPECT_EQ(sent(), "");
    advance(1ms);
    reply("AT+CLCC", "\r\nOK\r\n");
    EXPECT_EQ(calls(events()), (Strings{"2 disconnected normal", "2 idle"}));
}

TEST_F(OpenModem, VendorLinesAndUnsolicitedListsOnlyPromptAPoll) {
    m_engine.receive("\r\n*ECAV: 1,6,1,,,\"777\",129\r\n^DSCI: 1,0,2,0\r\n+CIEV: call,1\r\n"
                     "+CLCC: 9,0,0,0,0,\"000\",129\r\n",
                     m_now);
    // One poll for all of them, and its numbering is the one that counts.
    reply("AT+CLCC", "\r\n+CLCC: 1,0,2,0,0,\"777\",129\r\n\r\nOK\r\n");
    EXPECT_EQ(sent(), "");
    auto got = events();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].call, 1);
    EXPECT_EQ(states(got), std::vector<std::string>{"dialing"});
}

TEST_F(OpenModem, GarbledListLinesAreSkipped) {
    m_engine.receive("\r\nRING\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: x,1,4\r\n+CLCC: 3,1,9,0,0\r\n+CLCC: 4,0,0,1,0\r\n"
                     "+CLCC: 5,1,4,0,0,\"12\",129\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].call, 5); // bad fields, unknown state and a data call are left out
    EXPECT_EQ(states(got), std::vector<std::string>{"offering"});
}

TEST_F(OpenModem, ServiceReplyBeforeOrAfterTheOk) {
    m_engine.service_code("*100#");
    m_engine.tick(m_now);
    reply("AT+CUSD=1,\"*100#\",15", "\r\n+CUSD: 0,\"Balance 5\",15\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::service_reply);
    EXPECT_EQ(got[0].detail, "Balance 5");
    EXPECT_EQ(sent(), "AT+CLCC"); // every operation is followed by a poll
    m_engine.receive("\r\nOK\r\n", m_now);
    m_engine.service_code("*101#");
    m_engine.tick(m_now);
    reply("AT+CUSD=1,\"*101#\",15", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\nOK\r\n");
    EXPECT_TRUE(events().empty());
    // UCS-2 hex, much later.
    advance(3000ms);
    m_engine.receive("\r\n+CUSD: 2,\"004F004B00E9\",72\r\n", m_now);
    got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].detail, "OK\xC3\xA9");
}

TEST_F(OpenModem, DialAnsweredBusyBeforeAnyListStillReportsTheCall) {
    m_engine.dial("0301234");
    m_engine.tick(m_now);
    reply("ATD0301234;", "\r\nBUSY\r\n");
    auto got = events();
    EXPECT_EQ(calls(got), (Strings{"-1 dialing", "-1 busy", "-1 disconnected busy", "-1 idle"}));
    EXPECT_EQ(std::tie(got[0].kind, got[0].number), std::tuple(Kind::new_call, "0301234"));
}

TEST_F(OpenModem, UnsolicitedBusyGivesTheEndItsReason) {
    m_engine.dial("123");
    m_engine.tick(m_now);
    reply("ATD123;", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\n+CLCC: 1,0,2,0,0,\"123\",129\r\n\r\nOK\r\n");
    events();
    m_engine.receive("\r\nBUSY\r\n", m_now);
    reply("AT+CLCC", "\r\nOK\r\n");
    EXPECT_EQ(calls(events()), (Strings{"1 busy", "1 disconnected busy", "1 idle"}));
}

TEST_F(ScriptedModem, HangUpFallsBackToAth) {
    set_up_modem("\r\n+CLCC: 1,0,0,0,0\r\n\r\nOK\r\n");
    events();
    m_engine.hang_up();
    m_engine.tick(m_now);
    reply("AT+CHUP", "\r\nERROR\r\n");
    reply("ATH", "\r\nOK\r\nNO CARRIER\r\n");
    reply("AT+CLCC", "\r\nOK\r\n");
    // We hung up: not the network's doing.
    EXPECT_EQ(calls(events()), (Strings{"1 disconnected normal", "1 idle"}));
}

TEST_F(ScriptedModem, SilentModemTimesOutAndEveryCallIsLost) {
    set_up_modem("\r\n+CLCC: 1,1,0,0,0,\"42\",129\r\n\r\nOK\r\n");
    events();
    m_engine.hold();
    m_engine.tick(m_now);
    EXPECT_EQ(sent(), "AT+CHLD=2");
    advance(999ms);
    EXPECT_FALSE(m_engine.closed());
    advance(1ms);
    EXPECT_TRUE(m_engine.closed());
    auto got = events();
    EXPECT_EQ(calls(got), (Strings{"1 disconnected modem_lost", "1 idle"}));
    EXPECT_EQ(got.back().kind, Kind::line_closed);
    EXPECT_NE(got.back().detail.find("AT+CHLD=2"), std::string::npos);
    // A late answer after the close is ignored.
    m_engine.receive("\r\nOK\r\n", m_now);
    EXPECT_TRUE(events().empty());
}

TEST_F(ScriptedModem, FailedOperationIsReportedAndTheConversationGoesOn) {
    set_up_modem("\r\n+CLCC: 1,1,0,0,0\r\n\r\nOK\r\n");
    events();
    m_engine.mute(MuteState::muted);
    m_engine.tones("1#");
    m_engine.tick(m_now);
    reply("AT+CMUT=1", "\r\n+CME ERROR: 4\r\n");
    reply("AT+VTS=1", "\r\nOK\r\n");
    reply("AT+VTS=#", "\r\nOK\r\n");
    auto got = events();
    EXPECT_EQ(got,
              (std::vector<ModemEvent>{
                  {.kind = Kind::command_failed, .detail = "mute: +CME ERROR: 4", .code = 4}}));
    EXPECT_EQ(sent(), "AT+CLCC");
}

TEST_F(ScriptedModem, CallerNamesAreCleanedAndWithheldNamesGiveNone) {
    const std::string long_name(100, 'x');
    const std::string cut_in_a_character = std::string(79, 'x') + "\xC3\xA9z";
    struct Case {
        std::string cnap;
        std::string name;
    } cases[] = {
        {"\"Anna Berg\",0", "Anna Berg"},
        {"\"Anna Berg\"", "Anna Berg"}, // no validity given
        {"\"Anna Berg\",1", ""},        // withheld
        {"\"Anna Berg\",2", ""},        // not available
        {"\"J\xC2\x85rg\",0", "Jrg"},   // a C1 control character
        {"\"" + long_name + "\",0", std::string(80, 'x')},
        {"\"" + cut_in_a_character + "\",0", std::string(79, 'x') + "\xC3\xA9"},
    };
    for (const auto& c : cases) {
        set_up_modem();
        events();
        // Before the list shows the call: kept for it, like the caller ID.
        m_engine.receive("\r\nRING\r\n+CLIP: \"0301\",129,,,,0\r\n+CNAP: " + c.cnap + "\r\n",
                         m_now);
        reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"0301\",129\r\n\r\nOK\r\n");
        auto info = of_kind(events(), Kind::call_info);
        ASSERT_EQ(info.size(), 1u) << c.cnap;
        EXPECT_EQ(info[0].name, c.name) << c.cnap;
        EXPECT_EQ(info[0].number, "0301");
    }
}

TEST_F(ScriptedModem, NameOfAWaitingCallGoesToItNotToTheCallInProgress) {
    set_up_modem("\r\n+CLCC: 1,1,0,0,0,\"0301\",129\r\n+CLCC: 2,1,5,0,0\r\n\r\nOK\r\n");
    events();
    m_engine.take_log();
    m_engine.receive("\r\n+CCWA: \"+4930222\",145,1\r\n+CNAP: \"Bo\",0\r\n+CDIP: \"0301\",129\r\n",
                     m_now);
    auto info = of_kind(events(), Kind::call_info);
    ASSERT_EQ(info.size(), 2u);
    EXPECT_EQ(info[1].call, 2);
    EXPECT_EQ(info[1].number, "+4930222");
    EXPECT_EQ(info[1].name, "Bo");
    EXPECT_TRUE(m_engine.take_log().empty()); // +CDIP is known, and nothing to show
}

TEST_F(ScriptedModem, RefusedCallHoldOperationsAreReportedThenPolled) {
    struct Case {
        void (AtEngine::*operation)();
        std::string command;
        std::string name;
    } cases[] = {
        {&AtEngine::hold_and_accept, "AT+CHLD=2", "hold_and_accept"},
        {&AtEngine::release_and_accept, "AT+CHLD=1", "release_and_accept"},
        {&AtEngine::reject_waiting, "AT+CHLD=0", "reject_waiting"},
        {&AtEngine::join, "AT+CHLD=3", "join"},
    };
    const std::string list = "\r\n+CLCC: 1,1,0,0,0,\"0301\",129\r\n\r\nOK\r\n";
    set_up_modem(list);
    events();
    for (const auto& c : cases) {
        (m_engine.*c.operation)();
        m_engine.tick(m_now);
        reply(c.command, "\r\n+CME ERROR: 3\r\n");
        auto got = events();
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(got[0], (ModemEvent{.kind = Kind::command_failed,
                                      .detail = c.name + ": +CME ERROR: 3",
                                      .code = 3}));
        reply("AT+CLCC", list);
    }
}

TEST_F(ScriptedModem, RefusedDialsEndWithTheReasonTheModemOrTheNetworkGives) {
    struct Case {
        std::string before; // what the modem said before the dial
        std::string answer;
        EndReason reason;
        int code; // of command_failed; -2: none, for an end result
    } cases[] = {
        {"", "+CME ERROR: 30", EndReason::no_service, 30},
        {"", "+CME ERROR: 32", EndReason::no_service, 32},
        {"", "+CME ERROR: no network service", EndReason::no_service, 30},
        {"", "+CME ERROR: 10", EndReason::sim_locked, 10},
        {"", "+CME ERROR: 12", EndReason::sim_locked, 12},
        {"", "+CME ERROR: 3", EndReason::failed, 3},
        {"", "ERROR", EndReason::failed, -1},
        {"+CREG: 2", "ERROR", EndReason::no_service, -1},
        {"+CEREG: 3", "+CME ERROR: 100", EndReason::no_service, 100},
        {"+CPIN: SIM PIN", "ERROR", EndReason::sim_locked, -1},
        {"+CREG: 0", "NO CARRIER", EndReason::no_service, -2},
        {"+CREG: 1", "NO CARRIER", EndReason::no_carrier, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " / " + c.answer);
        set_up_modem();
        m_engine.receive("\r\n" + c.before + "\r\n", m_now);
        answer_all();
        events();
        m_engine.dial("555");
        m_engine.tick(m_now);
        reply("ATD555;", "\r\n" + c.answer + "\r\n");
        auto got = events();
        auto failed = of_kind(got, Kind::command_failed);
        EXPECT_EQ(failed.empty() ? -2 : failed[0].code, c.code);
        EXPECT_EQ(calls(got),
                  (Strings{"-1 dialing", "-1 disconnected " + std::string(to_string(c.reason)),
                           "-1 idle"}));
    }
}

TEST_F(ScriptedModem, JoinIsSupportedOnlyWhenTheModemListsIt) {
    struct Case {
        std::string answer;
        bool join;
    } cases[] = {
        {"\r\n+CHLD: (0,1,1x,2,2x,3)\r\n\r\nOK\r\n", true},
        {"\r\n+CHLD: (0-4)\r\n\r\nOK\r\n", true},
        {"\r\n+CHLD: (0,1,2,13)\r\n\r\nOK\r\n", false},
        {"\r\nERROR\r\n", false},
    };
    for (const auto& c : cases) {
        m_engine.start(m_now);
        answer_all({{"AT+CHLD=?", c.answer}, {"AT+CLCC", "\r\nOK\r\n"}});
        EXPECT_TRUE(m_engine.open());
        EXPECT_EQ(m_engine.supports_join(), c.join) << c.answer;
    }
}

} // namespace
} // namespace telvara::platform::modem
