#pragma once
// Simulator and modem timings fast enough for tests, but not so fast that a loaded machine misses
// a state; the simulator served on 127.0.0.1 with them.
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"
#include "platform/modem/sim_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace telvara::platform::modem {

inline SimTiming fast_sim() {
    using namespace std::chrono_literals;
    SimTiming t;
    t.dial_to_alert = 100ms;
    t.alert_to_answer = 300ms;
    t.busy_after = 150ms;
    t.no_answer_after = 20s;
    t.ring_interval = 200ms;
    t.service_reply_after = 50ms;
    return t;
}

inline ModemTiming fast_modem() {
    using namespace std::chrono_literals;
    ModemTiming t;
    t.command_timeout = 400ms;
    t.dial_timeout = 2s;
    t.poll_interval = 30ms;
    t.connected_poll_interval = 100ms;
    t.reopen_first = 50ms;
    t.reopen_max = 200ms;
    return t;
}

// The simulator on a TCP port and a control socket of 127.0.0.1; it stops with the object.
class SimOnLoopback {
  public:
    SimOnLoopback() {
        std::string error;
        m_port = m_server.listen_at("127.0.0.1", 0, error);
        m_control_port = m_server.listen_control("127.0.0.1", 0, error);
        EXPECT_TRUE(m_port > 0 && m_control_port > 0) << error;
        m_server.start();
    }
    std::string device() const { return "tcp:127.0.0.1:" + std::to_string(m_port); }
    std::string control(const std::string& command) {
        std::string reply, error;
        const std::string socket = "127.0.0.1:" + std::to_string(m_control_port);
        EXPECT_TRUE(sim_control(socket, command, reply, error)) << error;
        return reply;
    }
    std::size_t received_count(const std::string& command) const {
        const auto all = m_simulator->received();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), command));
    }
    std::shared_ptr<ModemSimulator> m_simulator = std::make_shared<ModemSimulator>(fast_sim());
    SimServer m_server{m_simulator};
    int m_port = 0, m_control_port = 0;
};

} // namespace telvara::platform::modem
