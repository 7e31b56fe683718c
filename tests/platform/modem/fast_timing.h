#pragma once
// Simulator and modem timings fast enough for tests, but not so fast that a loaded machine misses
// a state.
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"

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

} // namespace telvara::platform::modem
