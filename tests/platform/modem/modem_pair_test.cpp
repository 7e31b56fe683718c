// The real engine against the real simulator, each one's output fed to the
// other on a clock the test moves: a locked SIM to a conference call and
// back, and a network that goes away under a call.
#include "platform/modem/modem_sim.h"
#include "scripted_modem.h"

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;

class EngineAndSimulator : public ScriptedModem {
  protected:
    // Carries bytes both ways until neither side has more to say.
    void exchange() {
        for (int round = 0; round < 1000; ++round) {
            m_engine.tick(m_now);
            std::string to_modem = m_engine.take_output();
            m_sim.feed(to_modem, m_now);
            m_sim.advance(m_now);
            std::string to_engine = m_sim.take_output();
            m_engine.receive(to_engine, m_now);
            if (to_modem.empty() && to_engine.empty())
                return;
        }
        FAIL() << "the conversation never ended";
    }
    // Lets `span` pass, stopping at each deadline of either side.
    void run_for(std::chrono::milliseconds span) {
        auto until = m_now + span;
        for (int step = 0; step < 1000; ++step) {
            exchange();
            auto next = m_engine.next_deadline();
            if (auto sim = m_sim.next_deadline(); sim && (!next || *sim < *next))
                next = sim;
            if (!next || *next > until)
                break;
            m_now = std::max(m_now, *next);
        }
        m_now = until;
        exchange();
    }
    void control(const std::string& command) {
        ASSERT_EQ(m_sim.control(command, m_now), "OK\n") << command;
        exchange();
    }
    std::vector<ModemEvent> events() {
        for (auto& line : m_engine.take_log())
            m_log.push_back(line);
        return ScriptedModem::events();
    }
    ModemSimulator m_sim;
    Strings m_log;
};

TEST_F(EngineAndSimulator, LockedSimToAConferenceAndBack) {
    m_sim.control("sim pin 4711", m_now);
    m_sim.take_output(); // said before anyone listened
    m_engine.start(m_now);
    exchange();
    auto got = events();
    EXPECT_EQ(of_kind(got, Kind::line_open).size(), 1u);
    EXPECT_EQ(last_network(got), (NetworkState{.sim = SimState::pin_required,
                                               .registration = Registration::searching,
                                               .signal_bars = 4,
                                               .pin_retries = 3}));
    for (auto [pin, result, retries] : {std::tuple("0815", 16, 2), std::tuple("4711", 0, -1)}) {
        m_engine.enter_pin(pin);
        exchange();
        got = events();
        ASSERT_EQ(of_kind(got, Kind::pin_result).size(), 1u);
        EXPECT_EQ(of_kind(got, Kind::pin_result)[0].code, result);
        EXPECT_EQ(last_network(got).pin_retries, retries);
    }
    const NetworkState registered{.sim = SimState::ready,
                                  .registration = Registration::home,
                                  .operator_name = "Telvara Mobile",
                                  .signal_bars = 4};
    EXPECT_EQ(last_network(got), registered);
    EXPECT_TRUE(m_engine.supports_join());
    control("ring +4930111 Anna Berg");
    got = events();
    auto info = of_kind(got, Kind::call_info);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].number, "+4930111");
    EXPECT_EQ(info[0].name, "Anna Berg");
    EXPECT_EQ(calls(got), Strings{"1 offering"});
    m_engine.answer();
    exchange();
    EXPECT_EQ(calls(events()), Strings{"1 connected"});
    control("ring +4930222");
    got = events();
    ASSERT_EQ(of_kind(got, Kind::call_info).size(), 1u);
    EXPECT_EQ(of_kind(got, Kind::call_info)[0].name, "");
    EXPECT_EQ(calls(got), Strings{"2 waiting"});
    struct Step {
        void (AtEngine::*operation)();
        Strings expected;
    } steps[] = {
        {&AtEngine::hold_and_accept, {"1 on_hold", "2 connected"}},
        {&AtEngine::hold_and_accept, {"1 connected", "2 on_hold"}}, // swap
        {&AtEngine::join, {"1 connected conference", "2 connected conference"}},
    };
    for (const auto& step : steps) {
        (m_engine.*step.operation)();
        exchange();
        EXPECT_EQ(calls(events()), step.expected);
    }
    control("hangup 2");
    EXPECT_EQ(calls(events()), (Strings{"2 disconnected no_carrier", "2 idle", "1 connected"}));
    m_engine.hang_up();
    exchange();
    EXPECT_EQ(calls(events()), (Strings{"1 disconnected normal", "1 idle"}));
    EXPECT_TRUE(m_sim.calls().empty());
    for (const auto& line : m_log) {
        EXPECT_EQ(line.find("4711"), std::string::npos) << line;
        EXPECT_EQ(line.find("0815"), std::string::npos) << line;
    }
}

TEST_F(EngineAndSimulator, LosingTheNetworkEndsTheCallAndLaterDialsSayWhy) {
    m_engine.start(m_now);
    exchange();
    events();
    m_engine.dial("0301");
    run_for(5s);
    EXPECT_EQ(calls(events()), (Strings{"1 dialing", "1 alerting", "1 connected"}));
    control("register off");
    auto got = events();
    EXPECT_EQ(calls(got), (Strings{"1 disconnected no_carrier", "1 idle"}));
    EXPECT_EQ(last_network(got),
              (NetworkState{.sim = SimState::ready, .registration = Registration::none}));
    m_engine.dial("0302");
    exchange();
    got = events();
    ASSERT_EQ(of_kind(got, Kind::command_failed).size(), 1u);
    EXPECT_EQ(of_kind(got, Kind::command_failed)[0].code, 30);
    EXPECT_EQ(calls(got), (Strings{"-1 dialing", "-1 disconnected no_service", "-1 idle"}));
    control("register roaming");
    EXPECT_EQ(m_engine.network().registration, Registration::roaming);
    EXPECT_EQ(m_engine.network().operator_name, "Telvara Mobile");
}

} // namespace
} // namespace telvara::platform::modem
