// The simulator on its AT port: call hold as the standard has it. The PIN and PUK, registration,
// dials refused without a SIM or a network, caller names, service replies and floods of raw lines
// are driven through it by the PIN form, telephone and end-to-end tests.
#include "platform/modem/modem_sim.h"

#include <gtest/gtest.h>

#include <string>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;

class SimulatedModem : public ::testing::Test {
  protected:
    void SetUp() override { at("ATE0;+CMEE=1"); }
    // What the modem said since the last look, its lines joined by '|'.
    std::string output() {
        std::string out;
        std::string line;
        for (char c : m_sim.take_output() + "\n") {
            if (c != '\r' && c != '\n') {
                line += c;
            } else if (!line.empty()) {
                out += (out.empty() ? "" : "|") + std::exchange(line, {});
            }
        }
        return out;
    }
    std::string at(const std::string& command) {
        m_sim.feed(command + "\r", m_now);
        return output();
    }
    std::string control(const std::string& command) { return m_sim.control(command, m_now); }
    // "1:0 2:1m": each call's id, +CLCC stat and 'm' in a conference.
    std::string calls() {
        std::string out;
        for (const auto& call : m_sim.calls()) {
            out += (out.empty() ? "" : " ") + std::to_string(call.id) + ":" +
                   std::to_string(call.stat) + (call.multiparty ? "m" : "");
        }
        return out;
    }
    ModemSimulator m_sim;
    ModemSimulator::Clock::time_point m_now = ModemSimulator::Clock::time_point() + 1000s;
};

TEST_F(SimulatedModem, CallHoldFollowsTheStandard) {
    control("ring 0301");
    at("ATA");
    control("ring 0302");
    at("AT+CHLD=2;+CHLD=3");
    struct Step {
        const char* control; // before the command
        const char* command;
        const char* answer;
        const char* calls;
    } steps[] = {
        {"", "AT+CHLD=0", "+CME ERROR: 3", "1:0m 2:0m"}, // nothing waiting or held
        {"", "AT+CHLD=21", "OK", "1:0 2:1"},             // a private word with 1
        {"", "AT+CHLD=3", "OK", "1:0m 2:0m"},
        {"", "AT+CHLD=12", "OK", "1:0"}, // a conference of one is a call
        {"", "AT+CHLD=19", "+CME ERROR: 3", "1:0"},
        {"ring 0303", "AT+CHLD=1", "OK", "2:0"}, // release and accept
        {"ring 0304", "AT+CHLD=0", "OK", "2:0"}, // turned away
        {"", "AT+CHLD=2", "OK", "2:1"},
        {"ring 0305", "AT+CHLD=2", "OK", "2:1 1:0"},                // the held call stays
        {"ring 0306", "AT+CHLD=2", "+CME ERROR: 3", "2:1 1:0 3:5"}, // nowhere to put it
        {"", "AT+CHLD=3", "OK", "2:0m 1:0m 3:5"},
        {"", "AT+CHLD=4", "+CME ERROR: 4", "2:0m 1:0m 3:5"},
    };
    for (const auto& step : steps) {
        control(step.control);
        output();
        EXPECT_EQ(at(step.command), step.answer) << step.command;
        EXPECT_EQ(calls(), step.calls) << step.command;
    }
    EXPECT_EQ(at("AT+CLCC"), "+CLCC: 2,1,0,0,1,\"0303\",129|+CLCC: 1,1,0,0,1,\"0305\",129|"
                             "+CLCC: 3,1,5,0,0,\"0306\",129|OK");
}

} // namespace
} // namespace telvara::platform::modem
