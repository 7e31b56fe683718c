#pragma once
// The AT engine against a modem played by the test: each command the engine
// writes is checked and answered by script, on a clock the test moves.
#include "platform/modem/at_engine.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace telvara::platform::modem {

inline void PrintTo(const NetworkState& state, std::ostream* out) {
    *out << to_string(state.sim) << " " << to_string(state.registration) << " \""
         << state.operator_name << "\" bars " << state.signal_bars << " tries "
         << state.pin_retries;
}

class ScriptedModem : public ::testing::Test {
  protected:
    using Kind = ModemEvent::Kind;
    using Strings = std::vector<std::string>;
    static ModemTiming timing() {
        ModemTiming t;
        t.command_timeout = std::chrono::seconds(1);
        t.dial_timeout = std::chrono::seconds(5);
        return t;
    }
    // The next command the engine wrote, without its CR.
    std::string sent() {
        m_pending += m_engine.take_output();
        auto end = m_pending.find('\r');
        std::string command = m_pending.substr(0, end);
        m_pending.erase(0, end == std::string::npos ? end : end + 1);
        return end == std::string::npos ? std::string() : command;
    }
    // Expects `command` and answers it.
    void reply(const std::string& command, const std::string& answer) {
        ASSERT_EQ(sent(), command);
        m_engine.receive(answer, m_now);
    }
    // Answers every command from `answers` (ERROR for the rest) until the
    // engine is quiet; the commands, in order.
    Strings answer_all(const std::map<std::string, std::string>& answers = {}) {
        Strings commands;
        for (auto command = sent(); !command.empty() && commands.size() < 100; command = sent()) {
            commands.push_back(command);
            auto found = answers.find(command);
            m_engine.receive(found == answers.end() ? "\r\nERROR\r\n" : found->second, m_now);
        }
        return commands;
    }
    // Set-up with the network questions answered from `network`, refused when not there.
    void set_up_modem(const std::string& clcc = "\r\nOK\r\n",
                      const std::map<std::string, std::string>& network = {}) {
        m_engine.start(m_now);
        // Still echoing at first; every optional command refused.
        // clang-format off
        for (const auto& [command, answer] : {std::pair{"AT", "AT\r\r\nOK\r\n"},
                 {"ATE0", "ATE0\r\r\nOK\r\n"}, {"ATV1", "\r\nOK\r\n"}, {"AT+CMEE=1", "\r\nERROR\r\n"},
                 {"AT+CLIP=1", "\r\nOK\r\n"}, {"AT+CRC=1", "\r\n+CME ERROR: 3\r\n"},
                 {"AT+CCWA=1", "\r\nOK\r\n"}, {"AT+CLCC=?", "\r\nERROR\r\n"}, {"AT+CHLD=?", "\r\nERROR\r\n"}})
            reply(command, answer);
        // clang-format on
        reply("AT+CLCC", clcc);
        m_network_commands = answer_all(network);
    }
    std::vector<ModemEvent> events() { return m_engine.take_events(); }
    static std::vector<ModemEvent> of_kind(const std::vector<ModemEvent>& events, Kind kind) {
        std::vector<ModemEvent> out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                     [&](const ModemEvent& e) { return e.kind == kind; });
        return out;
    }
    // "2 connected conference", "1 disconnected no_carrier": call, state and
    // what else there is to say.
    static Strings calls(const std::vector<ModemEvent>& events) {
        Strings out;
        for (const auto& e : of_kind(events, Kind::call_state)) {
            out.push_back(
                std::to_string(e.call) + " " + std::string(to_string(e.state)) +
                (e.multiparty ? " conference" : "") +
                (e.state == CallState::disconnected ? " " + std::string(to_string(e.reason)) : ""));
        }
        return out;
    }
    static NetworkState last_network(const std::vector<ModemEvent>& events) {
        auto network = of_kind(events, Kind::network);
        return network.empty() ? NetworkState{} : network.back().network;
    }
    void advance(std::chrono::milliseconds by) {
        m_now += by;
        m_engine.tick(m_now);
    }
    Clock::time_point m_now = Clock::time_point() + std::chrono::seconds(1000);
    AtEngine m_engine{timing()};
    std::string m_pending;
    Strings m_network_commands;
};

// The engine with its set-up done, its events and its log taken.
class OpenModem : public ScriptedModem {
  protected:
    void SetUp() override {
        set_up_modem();
        events();
        m_engine.take_log();
    }
};

} // namespace telvara::platform::modem
