// The SIM and the network as the engine reads them: set-up answers, both field orders of +CREG,
// CREG and CEREG together, operator names, PIN entry that never shows the code, and network polls
// that stay out of the way of call operations.
#include "scripted_modem.h"

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;

const std::string ok = "\r\nOK\r\n";

std::string answer(const std::string& line) {
    return "\r\n" + line + "\r\n\r\nOK\r\n";
}

TEST_F(ScriptedModem, RegistrationAndOperatorFromAnswersAndReports) {
    struct Case {
        std::string creg;  // the answer to AT+CREG?, lines before the OK
        std::string later; // unsolicited lines after the set-up
        Registration registration;
        std::string operator_name = "";
    } cases[] = {
        {"+CREG: 2,5,\"00C3\",\"0102\",7", "", Registration::roaming, "Op"},
        {"+CREG: 0,2", "", Registration::searching},
        // An unsolicited line amid the query, its area code like a number.
        {"+CREG: 1,\"0102\",\"0C3A\",7", "", Registration::home, "Op"},
        {"+CREG: 1,\"0102\",\"0C3A\",7\r\n+CREG: 2,3", "", Registration::denied},
        {"", "+CREG: 1,\"00C3\",\"0102\",7", Registration::home, "Op"},
        {"", "+CREG: 5", Registration::roaming, "Op"},
        {"+CREG: 2,1", "+CREG: 2", Registration::searching}, // the name goes with it
        {"+CREG: 2,1", "+CREG: 4", Registration::unknown, "Op"},
        // The better of CREG and CEREG.
        {"+CREG: 0,0", "+CEREG: 5", Registration::roaming},
        {"+CREG: 0,2", "+CEREG: 3", Registration::searching},
        {"+CREG: 0,3", "+CEREG: 0", Registration::denied},
        {"+CREG: 0,1", "+CEREG: 5", Registration::home, "Op"},
        {"+CREG: 0,5", "+CEREG: 1", Registration::home, "Op"},
    };
    for (const auto& c : cases) {
        set_up_modem(ok, {{"AT+CREG?", c.creg.empty() ? "\r\nERROR\r\n" : answer(c.creg)},
                          {"AT+COPS?", answer("+COPS: 0,0,\"Op\",7")}});
        m_engine.receive("\r\n" + c.later + "\r\n", m_now);
        EXPECT_EQ(std::tie(m_engine.network().registration, m_engine.network().operator_name),
                  std::tie(c.registration, c.operator_name))
            << c.creg << " / " << c.later;
    }
    for (const char* cops : {"+COPS: 0", "+COPS: 0,2,\"26201\",7"}) {
        set_up_modem(ok, {{"AT+CREG?", answer("+CREG: 0,1")}, {"AT+COPS?", answer(cops)}});
        EXPECT_EQ(m_engine.network().operator_name, "") << cops;
    }
}

TEST_F(ScriptedModem, PinEntryReportsTheResultThenTheSimWithoutShowingTheCode) {
    std::map<std::string, std::string> modem = {
        {"AT+CPIN?", answer("+CPIN: SIM PIN")},
        {"AT+CPINR=\"SIM PIN\"", answer("+CPINR: SIM PIN,3,3")},
        {"AT+CREG?", answer("+CREG: 0,2")}};
    set_up_modem(ok, modem);
    // The SIM's state arrives with its tries, never without.
    for (const auto& e : of_kind(events(), Kind::network))
        EXPECT_EQ(e.network.pin_retries, 3);
    // Each step: the code, the modem's answer, the SIM after it, its tries left and the result.
    for (auto [code, result, sim, retries, expected] :
         {std::tuple{"4711", "+CME ERROR: 16", "SIM PIN", 2, 16},
          {"4712", "ERROR", "SIM PIN", 1, -1},
          {"4713", "OK", "READY", -1, 0}}) {
        m_engine.enter_pin(code);
        m_engine.tick(m_now);
        modem["AT+CPIN=\"" + std::string(code) + "\""] = "\r\n" + std::string(result) + "\r\n";
        modem["AT+CPIN?"] = answer("+CPIN: " + std::string(sim));
        modem["AT+CPINR=\"SIM PIN\""] =
            answer(retries < 0 ? "+CPINR: SIM PIN,,3"
                               : "+CPINR: SIM PIN," + std::to_string(retries) + ",3");
        auto commands = answer_all(modem);
        ASSERT_GE(commands.size(), 3u); // the code, the SIM, its tries, then the registration
        EXPECT_EQ(std::tie(commands[0], commands[1], commands.back()),
                  std::tuple("AT+CPIN=\"" + std::string(code) + "\"", "AT+CPIN?", "AT+CREG?"));
        auto got = events();
        ASSERT_EQ(of_kind(got, Kind::pin_result).size(), 1u);
        EXPECT_EQ(of_kind(got, Kind::pin_result)[0].code, expected);
        EXPECT_TRUE(of_kind(got, Kind::command_failed).empty());
        ASSERT_EQ(of_kind(got, Kind::network).size(), 1u) << code;
        EXPECT_EQ(last_network(got).pin_retries, retries);
    }
    EXPECT_EQ(m_engine.network().sim, SimState::ready);
    // A PUK the modem never answers: the line closes, and nothing is known.
    m_engine.enter_puk("87654321", "4714");
    m_engine.tick(m_now);
    EXPECT_EQ(sent(), "AT+CPIN=\"87654321\",\"4714\"");
    advance(1s);
    auto got = events();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[got.size() - 2].network, NetworkState{});
    EXPECT_EQ(got.back().detail, "no answer to AT+CPIN=****");
    for (const auto& line : m_engine.take_log())
        for (const char* code : {"4711", "4712", "4713", "4714", "87654321"})
            EXPECT_EQ(line.find(code), std::string::npos) << line;
}

TEST_F(ScriptedModem, NetworkPollsNeverHoldUpCallOperations) {
    set_up_modem(ok, {{"AT+CSQ", answer("+CSQ: 2,99")}, {"AT+CREG?", answer("+CREG: 0,1")}});
    EXPECT_EQ(m_engine.network().signal_bars, 1);
    // One in flight: the dial comes right after it, before the rest.
    advance(20s);
    EXPECT_EQ(sent(), "AT+CSQ");
    m_engine.dial("555");
    m_engine.receive(answer("+CSQ: 20,99"), m_now); // the first of four bars
    reply("ATD555;", ok);
    reply("AT+CLCC", "\r\n+CLCC: 1,0,0,0,0,\"555\",129\r\n\r\nOK\r\n");
    reply("AT+CREG?", answer("+CREG: 0,1"));
    EXPECT_EQ(m_engine.network().signal_bars, 4);
    // Due together: the hang-up and the call list go first.
    m_engine.hang_up();
    advance(20s);
    reply("AT+CHUP", ok);
    reply("AT+CLCC", ok);
    reply("AT+CSQ", answer("+CSQ: 99,99"));
    reply("AT+CREG?", answer("+CREG: 0,1"));
    EXPECT_EQ(m_engine.network().signal_bars, -1);
    // A modem that reports its registration is not asked for it.
    m_engine.receive("\r\n+CREG: 1\r\n", m_now);
    advance(20s);
    reply("AT+CSQ", answer("+CSQ: 5,99"));
    EXPECT_EQ(sent(), "");
}

} // namespace
} // namespace telvara::platform::modem
