// The AT conversation against a scripted modem (whose set-up refuses every optional command): split
// and noisy lines, service replies on either side of the OK, caller names, refused dials and
// commands that time out.
#include "scripted_modem.h"

#include <string>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

TEST_F(OpenModem, InternationalNumbersKeepTheirPlus) {
    m_engine.receive("\r\nRI", m_now); // split across reads, then line noise
    m_engine.receive("NG\r\n\xff\r\n+CLIP: \"4930123\",145,,,,0\r\n", m_now); // 145, no '+'
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(std::tie(got[0].kind, got[0].number), std::tuple(Kind::new_call, "+4930123"));
    // The list says the same in its own words: no change, no second '+'.
    for (const char* number : {"4930123", "+4930123"}) {
        advance(500ms);
        reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"" + std::string(number) + "\",145\r\n\r\nOK\r\n");
        EXPECT_TRUE(events().empty()) << number;
    }
    // National numbers (129) stay; a number first seen in the list gets its '+' too.
    m_engine.receive("\r\nRING\r\n", m_now);
    reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"+4930123\",145\r\n+CLCC: 2,1,5,0,0,\"030123\",129\r\n"
                     "+CLCC: 3,1,5,0,0,\"44207\",145\r\n\r\nOK\r\n");
    std::vector<std::string> numbers;
    for (const auto& e : of_kind(events(), Kind::new_call))
        numbers.push_back(e.number);
    EXPECT_EQ(numbers, (std::vector<std::string>{"030123", "+44207"}));
}

TEST_F(OpenModem, ServiceReplyBeforeOrAfterTheOk) {
    m_engine.service_code("*100#");
    m_engine.tick(m_now);
    reply("AT+CUSD=1,\"*100#\",15", "\r\n+CUSD: 0,\"Balance 5\",15\r\n\r\nOK\r\n");
    auto got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(std::tie(got[0].kind, got[0].detail), std::tuple(Kind::service_reply, "Balance 5"));
    reply("AT+CLCC", "\r\nOK\r\n"); // every operation is followed by a poll
    m_engine.service_code("*101#");
    m_engine.tick(m_now);
    reply("AT+CUSD=1,\"*101#\",15", "\r\nOK\r\n");
    reply("AT+CLCC", "\r\nOK\r\n");
    EXPECT_TRUE(events().empty());
    advance(3000ms); // UCS-2 hex, much later
    m_engine.receive("\r\n+CUSD: 2,\"004F004B00E9\",72\r\n", m_now);
    got = events();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].detail, "OK\xC3\xA9");
}

TEST_F(ScriptedModem, HangUpFallsBackToAth) {
    set_up_modem("\r\n+CLCC: 1,0,0,0,0\r\n\r\nOK\r\n");
    events();
    advance(1999ms); // connected calls are polled, more slowly
    EXPECT_EQ(sent(), "");
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
    m_engine.receive("\r\nOK\r\n", m_now); // a late answer after the close is ignored
    EXPECT_TRUE(events().empty());
}

TEST_F(ScriptedModem, CallerNamesAreCleanedAndWithheldNamesGiveNone) {
    const std::string cut_in_a_character = std::string(79, 'x') + "\xC3\xA9z";
    const std::pair<std::string, std::string> cases[] = {
        {"\"Anna Berg\",0", "Anna Berg"},
        {"\"Anna Berg\"", "Anna Berg"}, // no validity given
        {"\"Anna Berg\",1", ""},        // withheld
        {"\"Anna Berg\",2", ""},        // not available
        {"\"J\xC2\x85rg\",0", "Jrg"},   // a C1 control character
        {"\"" + std::string(100, 'x') + "\",0", std::string(80, 'x')},
        {"\"" + cut_in_a_character + "\",0", std::string(79, 'x') + "\xC3\xA9"},
    };
    for (const auto& [cnap, name] : cases) {
        set_up_modem();
        events();
        // Before the list shows the call: kept for it, like the caller ID.
        m_engine.receive("\r\nRING\r\n+CLIP: \"0301\",129,,,,0\r\n+CNAP: " + cnap + "\r\n", m_now);
        reply("AT+CLCC", "\r\n+CLCC: 1,1,4,0,0,\"0301\",129\r\n\r\nOK\r\n");
        auto info = of_kind(events(), Kind::call_info);
        ASSERT_EQ(info.size(), 1u) << cnap;
        EXPECT_EQ(std::tie(info[0].name, info[0].number), std::tie(name, "0301")) << cnap;
    }
}

// Each row: what the modem said before the dial, its answer, the end's reason and the
// command_failed code (-2: none, for an end result).
TEST_F(ScriptedModem, RefusedDialsEndWithTheReasonTheModemOrTheNetworkGives) {
    struct Case {
        std::string before, answer;
        const char* ends;
        int code;
    } cases[] = {
        {"", "+CME ERROR: 30", "disconnected no_service", 30},
        {"", "+CME ERROR: 32", "disconnected no_service", 32},
        {"", "+CME ERROR: no network service", "disconnected no_service", 30},
        {"", "+CME ERROR: 10", "disconnected sim_locked", 10},
        {"", "+CME ERROR: 12", "disconnected sim_locked", 12},
        {"", "+CME ERROR: 3", "disconnected failed", 3},
        {"", "ERROR", "disconnected failed", -1},
        {"", "BUSY", "busy|-1 disconnected busy", -2}, // before any list
        {"+CREG: 2", "ERROR", "disconnected no_service", -1},
        {"+CEREG: 3", "+CME ERROR: 100", "disconnected no_service", 100},
        {"+CPIN: SIM PIN", "ERROR", "disconnected sim_locked", -1},
        {"+CREG: 0", "NO CARRIER", "disconnected no_service", -2},
        {"+CREG: 1", "NO CARRIER", "disconnected no_carrier", -2},
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
        ASSERT_EQ(of_kind(got, Kind::new_call).size(), 1u);
        EXPECT_EQ(of_kind(got, Kind::new_call)[0].number, "555");
        std::string ends;
        for (const auto& call : calls(got))
            ends += (ends.empty() ? "" : "|") + call;
        EXPECT_EQ(ends, "-1 dialing|-1 " + std::string(c.ends) + "|-1 idle");
    }
}

} // namespace
} // namespace telvara::platform::modem
