#pragma once
// The modem simulator: a telephone modem that speaks the AT dialect the
// modem layer expects and keeps calls with realistic timing (dialing, then
// ringing at the far end, then answered; busy numbers; numbers nobody
// answers). It has no clock and no I/O of its own: the caller passes the time
// and the bytes, so tests drive it with any clock they like. The server that
// puts it on TCP, a pseudo-terminal or a socket pair is in sim_server.h.
//
// Control commands (one per line, the same through the control socket):
//   ring [NUMBER]     an incoming call, with caller ID when a number is given
//   answer            the far end answers the outgoing call
//   hangup            the far end hangs up (every call but the held ones)
//   busy [NUMBER]     NUMBER is busy from now on; no number: the next dialled
//   noanswer NUMBER   NUMBER rings but is never answered
//   silent on|off     stop (or resume) answering AT commands: a hung modem
//   calls             the call list, as +CLCC shows it
//   received          the AT commands received so far
//   reset             forget calls, busy numbers and the received commands
// Every reply ends with a line "OK" or "ERROR <why>".

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::platform::modem {

struct SimTiming {
    std::chrono::milliseconds dial_to_alert{800};
    std::chrono::milliseconds alert_to_answer{3000};
    std::chrono::milliseconds busy_after{1500};
    // An unanswered call (either way) ends after this.
    std::chrono::milliseconds no_answer_after{30000};
    std::chrono::milliseconds ring_interval{3000};
    std::chrono::milliseconds service_reply_after{300};
};

class ModemSimulator {
  public:
    using Clock = std::chrono::steady_clock;

    struct Call {
        int id = 0;
        bool incoming = false;
        int stat = 0; // as +CLCC: 0 active, 1 held, 2 dialing, 3 alerting, 4 incoming, 5 waiting
        std::string number;
        Clock::time_point since{};
        Clock::time_point next_ring{};
        bool busy = false;
        bool never_answered = false;
    };

    explicit ModemSimulator(SimTiming timing = {});

    // A new connection to the AT port: the settings go back to their
    // defaults (echo on, no caller ID), calls stay.
    void connect();
    // Bytes from the AT port; the answers are appended to the output.
    void feed(std::string_view bytes, Clock::time_point now);
    // Lets time pass: calls move on, rings repeat, replies arrive.
    void advance(Clock::time_point now);
    // What the modem has to say on its AT port since the last call.
    std::string take_output();
    // When advance() next has something to do.
    std::optional<Clock::time_point> next_deadline() const;

    // One control command (see above); the reply's lines end in '\n'.
    std::string control(std::string_view command, Clock::time_point now);

    std::vector<std::string> received() const;
    std::vector<Call> calls() const;

  private:
    void command(std::string line, Clock::time_point now);
    bool extended(const std::string& command, std::string_view original, Clock::time_point now);
    void dial(std::string_view number, Clock::time_point now);
    void ring_now(Call& call);
    void result(std::string_view text);
    void info(std::string_view text);
    void remove_if_stat(std::initializer_list<int> stats);
    // With no other call left to talk on, a waiting call rings as incoming.
    void offer_waiting(Clock::time_point now);
    std::string clcc_lines() const;
    int free_id() const;
    Call* find_stat(std::initializer_list<int> stats);

    mutable std::mutex m_mutex;
    SimTiming m_timing;
    std::string m_input;
    std::string m_output;
    std::vector<std::string> m_received;
    std::vector<Call> m_calls;
    std::set<std::string> m_busy_numbers;
    std::set<std::string> m_never_answering;
    bool m_busy_next = false;
    bool m_silent = false;
    bool m_echo = true;
    bool m_clip = false;
    bool m_crc = false;
    bool m_ccwa = false;
    bool m_cmee = false;
    int m_mute = 0;
    // Service replies waiting for their time.
    std::vector<std::pair<Clock::time_point, std::string>> m_later;
};

} // namespace telvara::platform::modem
