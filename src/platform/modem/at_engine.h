#pragma once
// The AT conversation with one opened modem, without any I/O or clock of its
// own: bytes and the time come in, bytes to write and call events go out. It
// sets the modem up, sends one command at a time, and keeps the list of calls
// from +CLCC, which it polls whenever anything suggests a change.

#include "platform/modem/modem.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::platform::modem {

using Clock = std::chrono::steady_clock;

class AtEngine {
  public:
    explicit AtEngine(ModemTiming timing) : m_timing(timing) {}

    // A freshly opened modem: starts the set-up.
    void start(Clock::time_point now);
    void receive(std::string_view bytes, Clock::time_point now);
    // Sends what is due (next command, next poll) and checks the timeouts.
    void tick(Clock::time_point now);
    // When tick() next has something to do; nothing when only input can help.
    std::optional<Clock::time_point> next_deadline() const;

    // The modem went away (or must be dropped): every call ends as lost.
    void close(std::string_view why);
    bool closed() const { return m_closed; }
    bool open() const { return m_ready && !m_closed; }

    // Operations; the strings have been checked already.
    void dial(const std::string& dial_string);
    void answer();
    void hang_up();
    void hold();
    void unhold();
    void tones(const std::string& digits);
    void mute(MuteState state);
    void service_code(const std::string& code);

    std::string take_output();
    std::vector<ModemEvent> take_events();
    std::vector<std::string> take_log();

  private:
    enum class Role : std::uint8_t { setup, setup_optional, poll, operation, dial, hang_up };
    struct Command {
        std::string text;
        Role role = Role::operation;
        std::string name; // for command_failed
    };
    struct Call {
        int id = 0;
        Direction direction = Direction::outgoing;
        CallState state = CallState::idle;
        std::string number;
    };

    void queue(Command command);
    void send_next(Clock::time_point now);
    void line(std::string_view text, Clock::time_point now);
    bool final_result(std::string_view text) const;
    void finish(std::string_view result, Clock::time_point now);
    void unsolicited(std::string_view text);
    void apply_call_list(Clock::time_point now);
    void end_call(const Call& call, EndReason reason);
    void poll_now();
    void event(ModemEvent event);
    void log(std::string text);
    bool has_call_in(std::initializer_list<CallState> states) const;

    ModemTiming m_timing;
    std::string m_input;
    std::string m_output;
    std::vector<ModemEvent> m_events;
    std::vector<std::string> m_log;

    std::deque<Command> m_queue;
    std::optional<Command> m_current;
    Clock::time_point m_sent_at{};
    std::vector<std::string> m_clcc_lines;

    std::map<int, Call> m_calls;
    bool m_ready = false;
    bool m_closed = false;
    bool m_poll_wanted = false;
    bool m_hang_up_pending = false;
    std::optional<Clock::time_point> m_next_poll;
    // What the last unsolicited end result said, for the next call that goes.
    std::optional<EndReason> m_end_hint;
    // Caller ID seen before the call showed up in the list.
    std::string m_pending_caller;
    // A dial sent and not yet seen in the list.
    bool m_dial_pending = false;
    std::string m_dial_number;
    Clock::time_point m_dial_since{};
    int m_synthetic_id = -1;
};

} // namespace telvara::platform::modem
