#pragma once
// The AT conversation with one opened modem, without any I/O or clock of its
// own: bytes and the time come in, bytes to write and call events go out. It
// sets the modem up, sends one command at a time, and keeps the list of calls
// from +CLCC, which it polls whenever anything suggests a change. The SIM,
// the registration, the operator and the signal are asked in between, never
// ahead of a call operation. Whatever the modem sends is bounded: a line, an
// answer (in lines and bytes) and the call list; fields out of range and
// numbers that are none are logged and left out.

#include "platform/modem/modem.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::platform::modem {

using Clock = std::chrono::steady_clock;

class AtEngine {
  public:
    // A line longer than this without an end is noise, not a result.
    static constexpr std::size_t max_line_bytes = 4096;
    // An answer to one command: a call list of every call a line can have,
    // with the odd unsolicited line between, stays far below both.
    static constexpr std::size_t max_answer_lines = 64;
    static constexpr std::size_t max_answer_bytes = 16384;

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
    void hold_and_accept();
    void release_and_accept();
    void reject_waiting();
    void join();
    void enter_pin(const std::string& pin);
    void enter_puk(const std::string& puk, const std::string& new_pin);
    void tones(const std::string& digits);
    void mute(MuteState state);
    void service_code(const std::string& code);

    const NetworkState& network() const { return m_network; }
    bool supports_join() const { return m_supports_join; }

    std::string take_output();
    std::vector<ModemEvent> take_events();
    std::vector<std::string> take_log();
    // What is kept of the modem's input right now (a line being read, the
    // call list being gathered): at most a line and an answer, whatever the
    // modem sends.
    std::size_t held_bytes() const;

  private:
    enum class Role : std::uint8_t {
        setup,
        setup_optional,
        poll,
        operation,
        dial,
        hang_up,
        network, // optional questions about the SIM and the network
        pin,     // a PIN or PUK: its text is never logged
    };
    struct Command {
        std::string text;
        Role role = Role::operation;
        std::string name; // for command_failed
    };
    struct Call {
        int id = 0;
        Direction direction = Direction::outgoing;
        CallState state = CallState::idle;
        std::string number{};
        std::string name{};
        bool multiparty = false;
    };

    void queue(Command command);
    // Queues a network question unless it is queued already or the modem
    // refused it before; false when it was not queued.
    bool ask_network(const std::string& text, bool first = false);
    bool network_queued(std::string_view prefix) const;
    void send_next(Clock::time_point now);
    void line(std::string_view text, Clock::time_point now);
    // The answer to the current command grew past its bound: the command
    // fails and the line is closed, to be opened afresh.
    void overflow(Clock::time_point now);
    // The number of a call or caller line (`what` names it in the log);
    // empty when it is none.
    std::string caller_number(std::string_view number, std::string_view type,
                              std::string_view what);
    // A +CLCC line as a call; nothing (and a log line) when a field is out of
    // range. Data and fax calls give a call of index 0.
    std::optional<Call> list_entry(std::string_view text);
    bool final_result(std::string_view text) const;
    void finish(std::string_view result, Clock::time_point now);
    void finish_network(const Command& command, std::string_view result, bool ok, int code);
    void failed(const Command& command, std::string_view result, int code);
    EndReason dial_refusal(std::string_view result, int code) const;
    void unsolicited(std::string_view text);
    bool network_line(std::string_view text);
    void caller_line(std::string_view text);
    void name_line(std::string_view text);
    void sim_line(std::string_view text);
    void registration_line(std::string_view text, bool eps);
    // True once per command: the information line that answers it.
    bool take_answer(std::string_view query);
    bool set_sim(SimState state);
    void ask_retries();
    void set_registration(bool eps, Registration registration);
    void set_operator(std::string name);
    void report_network();
    bool pollable() const;
    Call* incoming_call(bool waiting_first);
    void apply_call_list(Clock::time_point now);
    void info_event(const Call& call);
    void state_event(const Call& call);
    void end_call(const Call& call, EndReason reason);
    void poll_now();
    void event(ModemEvent event);
    void log(std::string_view text);
    bool has_call_in(std::initializer_list<CallState> states) const;

    ModemTiming m_timing;
    std::string m_input;
    // The rest of an overlong line is dropped up to its end.
    bool m_discarding = false;
    // Inside a quoted field of the line being read.
    bool m_in_quotes = false;
    // What the current command got back so far.
    std::size_t m_answer_lines = 0;
    std::size_t m_answer_bytes = 0;
    std::string m_output;
    std::vector<ModemEvent> m_events;
    std::vector<std::string> m_log;

    std::deque<Command> m_queue;
    // Network questions: sent only when nothing else waits.
    std::deque<Command> m_network_queue;
    std::optional<Command> m_current;
    bool m_answered = false;
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
    // Caller ID and name seen before the call showed up in the list.
    std::string m_pending_caller;
    std::string m_pending_name;
    // The call the last +CLIP or +CCWA spoke of: +CNAP follows it.
    int m_caller_call = 0;
    // A dial sent and not yet seen in the list.
    bool m_dial_pending = false;
    std::string m_dial_number;
    Clock::time_point m_dial_since{};
    int m_synthetic_id = -1;

    NetworkState m_network;
    NetworkState m_reported_network;
    // Held back while the tries left are still being asked, so the SIM state
    // and its tries arrive in one event.
    bool m_network_held = false;
    Registration m_creg = Registration::unknown;
    Registration m_cereg = Registration::unknown;
    bool m_creg_unsolicited = false;
    std::set<std::string> m_refused;
    std::optional<Clock::time_point> m_next_network_poll;
    bool m_supports_join = false;
};

} // namespace telvara::platform::modem
