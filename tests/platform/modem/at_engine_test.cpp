// The AT conversation against a scripted modem: set-up that tolerates
// refusals, garbled and split lines, vendor lines, service replies on either
// side of the OK, calls that vanish from the list, and commands that time out.
#include "platform/modem/at_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;
using Kind = ModemEvent::Kind;

class ScriptedModem : public ::testing::Test {
  protected:
    ModemTiming timing() {
        ModemTiming t;
        t.command_timeout = 1000ms;
        t.dial_timeout = 5000ms;
        t.poll_interval = 500ms;
        t.connected_poll_interval = 2000ms;
        return t;
    }

    // The next command the engine wrote, without its CR.
    std::string sent() {
        m_pending += m_engine.take_output();
        auto end = m_pending.find('\r');
        if (end == std::string::npos) {
            return {};
        }
        std::string command = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return command;
    }

    // Expects `command` and answers it.
    void reply(const std::string& command, const std::string& answer) {
        ASSERT_EQ(sent(), command);
        m_engine.receive(answer, m_now);
    }

    void set_up_modem(const std::string& clcc = "\r\nOK\r\n") {
        m_engine.start(m_now);
        reply("AT", "AT\r\r\nOK\r\n"); // still echoing
        reply("ATE0", "ATE0\r\r\nOK\r\n");
        reply("ATV1", "\r\nOK\r\n");
        reply("AT+CMEE=1", "\r\nERROR\r\n");
        reply("AT+CLIP=1", "\r\nOK\r\n");
        reply("AT+CRC=1", "\r\n+CME ERROR: 3\r\n");
        reply("AT+CCWA=1", "\r\nOK\r\n");
        reply("AT+CLCC=?", "\r\nERROR\r\n");
        reply("AT+CHLD=?", "\r\nERROR\r\n");
        reply("AT+CLCC", clcc);
    }

    std::vector<ModemEvent> events() { return m_engine.take_events(); }

    static std::vector<std::string> states(const std::vector<ModemEvent>& events) {
        std::vector<std::string> out;
        for (const auto& e : events) {
            if (e.kind == Kind::call_state) {
                out.emplace_back(to_string(e.state));
            }
        }
        return out;
    }

    void advance(std::chrono::milliseconds by) {
        m_now += by;
        m_engine.tick(m_now);
    }

    Clock::time_point m_now = Clock::time_point() + 1000s;
    AtEngine m_engine{timing()};
    std::string m_pending;
};

TEST_F(ScriptedModem, RefusedOptionalSetupStillOpensTheLine) {
    set_up_modem();
    auto got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::line_open);
    EXPECT_TRUE(m_engine.open());
    // Nothing to poll without calls.
    EXPECT_FALSE(m_engine.next_deadline().has_value());
}

TEST_F(ScriptedModem, RingPromptsAPollAndTheCallerIdArrivesInPieces) {
    set_up_modem();
    events();
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

TEST_F(ScriptedModem, InternationalNumbersKeepTheirPlus) {
    set_up_modem();
    events();
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
    for (const auto& e : got) {
        if (e.kind == Kind::new_call) {
            numbers.push_back(e.number);
        }
    }
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
    auto got = events();
    EXPECT_EQ(states(got), (std::vector<std::string>{"disconnected", "idle"}));
    EXPECT_EQ(got[0].reason, EndReason::normal);
    EXPECT_EQ(got[0].call, 2);
}

TEST_F(ScriptedModem, VendorLinesAndUnsolicitedListsOnlyPromptAPoll) {
    set_up_modem();
    events();
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

TEST_F(ScriptedModem, GarbledListLinesAreSkipped) {
    set_up_modem();
    events();
    m_engine.receive("\r\nRING\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: x,1,4\r\n+CLCC: 3,1,9,0,0\r\n+CLCC: 4,0,0,1,0\r\n"
                     "+CLCC: 5,1,4,0,0,\"12\",129\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].call, 5); // bad fields, unknown state and a data call are left out
    EXPECT_EQ(states(got), std::vector<std::string>{"offering"});
}

TEST_F(ScriptedModem, ServiceReplyBeforeOrAfterTheOk) {
    set_up_modem();
    events();
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

TEST_F(ScriptedModem, DialAnsweredBusyBeforeAnyListStillReportsTheCall) {
    set_up_modem();
    events();
    m_engine.dial("0301234");
    m_engine.tick(m_now);
    reply("ATD0301234;", "\r\nBUSY\r\n");
    auto got = events();
    EXPECT_EQ(states(got), (std::vector<std::string>{"dialing", "busy", "disconnected", "idle"}));
    EXPECT_EQ(got[0].kind, Kind::new_call);
    EXPECT_EQ(got[0].number, "0301234");
    EXPECT_LT(got[0].call, 0);
}

TEST_F(ScriptedModem, UnsolicitedBusyGivesTheEndItsReason) {
    set_up_modem();
    events();
    m_engine.dial("123");
    m_engine.tick(m_now);
    reply("ATD123;", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\n+CLCC: 1,0,2,0,0,\"123\",129\r\n\r\nOK\r\n");
    events();
    m_engine.receive("\r\nBUSY\r\n", m_now);
    reply("AT+CLCC", "\r\nOK\r\n");
    auto got = events();
    EXPECT_EQ(states(got), (std::vector<std::string>{"busy", "disconnected", "idle"}));
    EXPECT_EQ(got[1].reason, EndReason::busy);
}

TEST_F(ScriptedModem, HangUpFallsBackToAth) {
    set_up_modem("\r\n+CLCC: 1,0,0,0,0\r\n\r\nOK\r\n");
    events();
    m_engine.hang_up();
    m_engine.tick(m_now);
    reply("AT+CHUP", "\r\nERROR\r\n");
    reply("ATH", "\r\nOK\r\nNO CARRIER\r\n");
    reply("AT+CLCC", "\r\nOK\r\n");
    auto got = events();
    EXPECT_EQ(states(got), (std::vector<std::string>{"disconnected", "idle"}));
    EXPECT_EQ(got[0].reason, EndReason::normal); // we hung up: not the network's doing
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
    EXPECT_EQ(states(got), (std::vector<std::string>{"disconnected", "idle"}));
    EXPECT_EQ(got[0].reason, EndReason::modem_lost);
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
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].kind, Kind::command_failed);
    EXPECT_EQ(got[0].detail, "mute: +CME ERROR: 4");
    EXPECT_EQ(sent(), "AT+CLCC");
}

TEST_F(ScriptedModem, OverlongLineIsDropped) {
    set_up_modem();
    events();
    m_engine.receive(std::string(10000, 'x'), m_now);
    m_engine.receive("\r\n", m_now);
    // The junk only asks for a poll; the modem keeps working.
    reply("AT+CLCC", "\r\nOK\r\n");
    EXPECT_TRUE(m_engine.open());
}

} // namespace
} // namespace telvara::platform::modem
