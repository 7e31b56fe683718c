// A modem that misbehaves, on purpose or by noise: answers without end, lines without end, call
// lists with fields out of range, caller IDs that are no numbers. The engine keeps bounded, reports
// no call that is not one, and starts over when an answer outgrows every real one.
#include "scripted_modem.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;

const std::string ok = "\r\nOK\r\n";

std::string lines(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& text : texts)
        out += "\r\n" + text + "\r\n";
    return out;
}

class HostileModem : public OpenModem {
  protected:
    // A RING: the engine asks for the list, which the test then gives.
    void ring() {
        m_engine.receive("\r\nRING\r\n", m_now);
        ASSERT_EQ(sent(), "AT+CLCC");
    }
    // "1 incoming offering 0301" for each new call.
    static Strings new_calls(const std::vector<ModemEvent>& got) {
        Strings out;
        for (const auto& e : of_kind(got, Kind::new_call)) {
            out.push_back(std::to_string(e.call) + " " +
                          (e.direction == Direction::incoming ? "incoming " : "outgoing ") +
                          std::string(to_string(e.state)) + " " + e.number);
        }
        return out;
    }
    bool logged(std::string_view part) {
        for (const auto& line : m_engine.take_log())
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
};

TEST_F(HostileModem, CallListLinesWithAFieldOutOfRangeAreLoggedAndLeftOut) {
    struct Case {
        std::string line;
        std::string call; // the new call, empty for none
        bool logged;
    } cases[] = {
        // clang-format off
        {"+CLCC: 1,1,4,0,0,\"0301\",129", "1 incoming offering 0301", false},
        {"+CLCC: 2,0,3,0,0", "2 outgoing alerting ", false},
        {"+CLCC: 1,1,4,0,0,\"+49 (30) 12-34\",145", "1 incoming offering +49301234", false},
        {"+CLCC: 7,1,5,0,0", "7 incoming waiting ", false},
        {"+CLCC: 1,7,4,0,0,\"0301\",129", "", true}, {"+CLCC: 1,-1,4,0,0", "", true},
        {"+CLCC: 1,1,6,0,0", "", true}, {"+CLCC: 1,1,99,0,0", "", true},
        {"+CLCC: 0,1,4,0,0", "", true}, {"+CLCC: 8,1,4,0,0", "", true},
        {"+CLCC: -3,1,4,0,0", "", true}, {"+CLCC: 99999999999,1,4,0,0", "", true},
        {"+CLCC: x,1,4,0,0", "", true}, {"+CLCC: 1,1,4,0,2", "", true},
        {"+CLCC: 1,1,4,10,0", "", true}, {"+CLCC: 1,1,4,0,0,\"0301\",999", "", true},
        {"+CLCC: 1,1,4,0,0,\"0301\",abc", "", true}, {"+CLCC: 1,1,4,0", "", true},
        {"+CLCC: 1,1,4,1,0", "", false}, // a data call: none of ours, but nothing wrong with it
        // A number that is none: the call is real, its caller unknown.
        {"+CLCC: 1,1,4,0,0,\";$(touch x)pwned2\",129", "1 incoming offering ", true},
        {"+CLCC: 1,1,4,0,0,\"" + std::string(3000, '7') + "\",129", "1 incoming offering ", true},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        SetUp(); // afresh for each row
        ring();
        m_engine.receive(lines({c.line, "OK"}), m_now);
        EXPECT_EQ(new_calls(events()), c.call.empty() ? Strings{} : Strings{c.call});
        EXPECT_EQ(logged("modem:"), c.logged);
        EXPECT_TRUE(m_engine.open());
    }
}

TEST_F(HostileModem, CallerIdThatIsNoNumberIsUnknownWhereverItComesFrom) {
    // Which texts are numbers is the number checks' table; here each way in once, and control
    // characters that are part of a quoted number, not noise around it.
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"+49 30 1234", "+49301234"}, {";$(touch x)pwned2", ""}, {std::string(65, '1'), ""},
        {std::string("030") + '\x01' + "1234", ""}, {"0301\x1b[2J", ""}, {"\x7f" "0301", ""},
    };
    // clang-format on
    for (const auto& [reported, number] : cases) {
        SCOPED_TRACE("\"" + reported + "\"");
        SetUp(); // afresh; the caller ID comes before the list shows the call
        m_engine.receive(lines({"RING", "+CLIP: \"" + reported + "\",129"}), m_now);
        reply("AT+CLCC", lines({"+CLCC: 1,1,4,0,0", "OK"}));
        auto got = of_kind(events(), Kind::new_call);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].number, number) << "+CLIP before the list";
        // A second call knocking, once the list knows it.
        m_engine.receive("\r\nRING\r\n", m_now);
        reply("AT+CLCC", lines({"+CLCC: 1,1,0,0,0,\"0301\",129", "+CLCC: 2,1,5,0,0", "OK"}));
        events();
        m_engine.receive(lines({"+CCWA: \"" + reported + "\",129,1"}), m_now);
        auto info = of_kind(events(), Kind::call_info);
        EXPECT_EQ(info.empty() ? std::string() : info[0].number, number) << "+CCWA";
        for (const auto& line : m_engine.take_log()) {
            EXPECT_TRUE(
                std::ranges::none_of(line, [](unsigned char b) { return b < 0x20 || b == 0x7f; }))
                << "a control character in the log: " << line;
        }
    }
}

// A known call keeps its number and its state whatever garbled line names it.
TEST_F(HostileModem, AKnownCallIsNeitherChangedNorEndedByGarbage) {
    ring();
    m_engine.receive(lines({"+CLCC: 1,1,4,0,0,\"0301\",129", "OK"}), m_now);
    events();
    m_engine.receive(lines({"+CLIP: \";$(reboot)\",129"}), m_now);
    EXPECT_TRUE(of_kind(events(), Kind::call_info).empty());
    EXPECT_TRUE(logged("no number"));
    for (const char* garbled :
         {"+CLCC: 1,1,4,0,0,\"0301;ATH\",129", "+CLCC: 1,7,0,0,0,\"0301\",129", "+CLCC: 1,1,99,0,0",
          "+CLCC: 1,1,0,0,0,\"0301\",999"}) {
        SCOPED_TRACE(garbled);
        advance(500ms);
        reply("AT+CLCC", lines({garbled, "OK"}));
        EXPECT_TRUE(events().empty());
    }
    // A garbled index names no call: the list no longer has call 1.
    advance(500ms);
    reply("AT+CLCC", lines({"+CLCC: x,1,0,0,0", "OK"}));
    EXPECT_EQ(calls(events()), (Strings{"1 disconnected normal", "1 idle"}));
}

TEST_F(HostileModem, AListNamesEachCallOnceAndSevenAtMost) {
    ring();
    Strings list;
    for (int id = 1; id <= 9; ++id) {
        list.push_back("+CLCC: " + std::to_string(id) + ",1," + (id == 1 ? "4" : "5") + ",0,0,\"" +
                       std::to_string(100 + id) + "\",129");
    }
    list.insert(list.begin() + 1, "+CLCC: 1,0,0,0,0,\"999\",129"); // index 1 again
    list.push_back("OK");
    m_engine.receive(lines(list), m_now);
    auto got = new_calls(events());
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(got.front(), "1 incoming offering 101");
    EXPECT_EQ(got.back(), "7 incoming waiting 107");
    EXPECT_TRUE(logged("listed twice"));
}

// Each row: an answer past its bound to a RING's poll (no operation) or to an operation closes the
// line; the operation fails, a dial ends, a PIN gets a result, and the rest of the flood is not
// read.
TEST_F(HostileModem, AnAnswerPastItsBoundFailsTheCommandAndStartsTheLineOver) {
    const std::string flood = lines(Strings(1000, "+CLCC: 1,1,4,0,0,\"0301\",129")) + ok;
    const std::string long_lines = lines(Strings(40, std::string(1000, 'x'))) + ok;
    struct Case {
        std::function<void(AtEngine&)> operation;
        std::string answer, failure; // the command_failed detail, if any
        Strings calls;
    } cases[] = {
        {nullptr, flood, "", {}},
        {nullptr, long_lines, "", {}},
        {nullptr, std::string(100000, '7'), "", {}}, // a line without end
        {[](AtEngine& e) { e.hold(); }, flood, "hold: answer too long", {}},
        {[](AtEngine& e) { e.service_code("*100#"); },
         long_lines,
         "service_code: answer too long",
         {}},
        {[](AtEngine& e) { e.dial("555"); },
         flood,
         "dial: answer too long",
         {"-1 dialing", "-1 disconnected failed", "-1 idle"}},
        {[](AtEngine& e) { e.enter_pin("2468"); }, flood, "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure + " " + std::to_string(c.answer.size()));
        SetUp(); // afresh for each row
        if (c.operation) {
            c.operation(m_engine);
            m_engine.tick(m_now);
            ASSERT_NE(sent(), "");
        } else {
            ring();
        }
        m_engine.receive(c.answer, m_now);
        ASSERT_TRUE(m_engine.closed());
        EXPECT_EQ(sent(), "") << "nothing more goes to that modem";
        auto got = events();
        EXPECT_EQ(calls(got), c.calls) << "no call from the flood";
        auto failed = of_kind(got, Kind::command_failed);
        EXPECT_EQ(failed.empty() ? std::string() : failed[0].detail, c.failure);
        for (const auto& pin : of_kind(got, Kind::pin_result))
            EXPECT_NE(pin.code, 0) << "an unread answer took no code";
        EXPECT_EQ(of_kind(got, Kind::pin_result).size(),
                  c.failure.empty() && c.operation ? 1u : 0u);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back().kind, Kind::line_closed);
        EXPECT_NE(got.back().detail.find("too long"), std::string::npos) << got.back().detail;
        for (const auto& line : m_engine.take_log())
            EXPECT_EQ(line.find("2468"), std::string::npos) << line;
        m_engine.receive(flood, m_now);
        EXPECT_TRUE(events().empty());
    }
    set_up_modem(); // opened again, the conversation starts from the top
    EXPECT_TRUE(m_engine.open());
}

// The answer bound lies between the fullest real answer and a hundred lines of an endless one.
TEST_F(HostileModem, TheFullestRealAnswerStaysWithinTheBoundAndAnEndlessOneIsCut) {
    ring(); // seven calls with long names in the list, unsolicited lines amid it
    Strings list;
    for (int id = 1; id <= 7; ++id) {
        list.push_back("RING");
        list.push_back("+CREG: 1,\"00C3\",\"0102\",7");
        list.push_back("+CLCC: " + std::to_string(id) + ",1," + (id == 1 ? "0" : "5") + ",0,0,\"+" +
                       std::string(20, '4') + "\",145,\"" + std::string(80, 'N') + "\",0,0");
    }
    list.push_back("OK");
    m_engine.receive(lines(list), m_now);
    EXPECT_FALSE(m_engine.closed());
    EXPECT_EQ(new_calls(events()).size(), 7u);
    SetUp();
    ring();
    int fed = 0;
    for (; !m_engine.closed() && fed < 100000; ++fed)
        m_engine.receive("\r\n+CLCC: 1,1,4,0,0\r\n", m_now);
    EXPECT_LE(fed, 100) << "the answer was read on for " << fed << " lines";
    EXPECT_TRUE(new_calls(events()).empty());
}

TEST_F(HostileModem, TheTailOfAnOverlongLineIsNoLineOfItsOwn) {
    const std::string junk(5000, 'x');
    // During a poll: neither a call nor the poll's end come from the tail.
    ring();
    m_engine.receive(junk + "+CLCC: 1,1,4,0,0\r\n", m_now);
    m_engine.receive(junk + "OK\r\n", m_now);
    EXPECT_EQ(sent(), "") << "the poll is not over";
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(logged("overlong line dropped"));
    // The next whole line counts again.
    m_engine.receive(lines({"+CLCC: 2,1,4,0,0", "OK"}), m_now);
    EXPECT_EQ(new_calls(events()), Strings{"2 incoming offering "});
    // Between commands: a RING at the end of junk asks for nothing.
    advance(500ms);
    reply("AT+CLCC", lines({"+CLCC: 2,1,4,0,0", "OK"}));
    m_engine.receive(junk + "RING\r\n", m_now);
    EXPECT_EQ(sent(), "");
    // A line end alone ends the dropping: the RING after it is heard.
    m_engine.receive(junk + "\nRING\r\n", m_now);
    EXPECT_EQ(sent(), "AT+CLCC");
}

} // namespace
} // namespace telvara::platform::modem
