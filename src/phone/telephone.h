#pragma once
// The telephone line: follows the call it handles through the modem's call
// events and the second call beside it (waiting, held or joined), keeps the
// facts the call screen shows (caller, speaker, mute, hold, why a call
// ended), the network's state and the last service reply; answers, drops,
// holds, swaps and joins calls; writes the call log when a call ends and
// tells the Document's listeners about every change (refresh flags 19-23,
// and 10 for the line beside its current call). UI thread only.

#include "data/volume.h"
#include "platform/messages.h"
#include "platform/modem/modem.h"
#include "platform/text.h"
#include "runtime/active_scheduler.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace telvara::data {
class Document;
}

namespace telvara::phone {

class CallLog;

// Messages of the line callback, numbered as the telephony interface numbers
// them (the numbers appear in the log).
enum class LineMessage : std::uint32_t {
    CallInfo = 1,
    CallState = 2,
    AppNewCall = 23,
};

enum class LineCallState : std::uint32_t {
    Idle = 1,
    Offering = 2,
    Dialing = 16,
    Busy = 64,
    SpecialInfo = 128,
    Connected = 256,
    Proceeding = 512,
    OnHold = 1024,
    Disconnected = 16384,
};

// Why a call ended (parameter 2 of a disconnect).
enum class DisconnectMode : std::uint32_t {
    Normal = 0x1,
    Unknown = 0x2,
    Busy = 0x20,
    NoAnswer = 0x40,
    Unavailable = 0x800,
};

// One call-back of the line: `device` is the call it is about (the modem's
// call index). CallState: param1 = LineCallState, param2 = DisconnectMode.
// AppNewCall: param2 = the new call. CallInfo: `number` is the caller ID.
struct LineEvent {
    std::uint32_t device = 0;
    LineMessage message = LineMessage::CallState;
    std::uint64_t param1 = 0;
    std::uint64_t param2 = 0;
    std::uint64_t param3 = 0;
    std::string number;
};

// Why the last call ended, as the call screen says it. Only a call that
// never connected ends with anything but `normal`.
enum class CallEnd : std::uint8_t {
    normal,         // hung up by either side, or answered elsewhere
    busy,           // the far end was busy
    no_answer,      // nobody answered
    failed,         // the network or the modem refused the call
    no_network,     // there is no modem line to call on
    no_service,     // the modem is not registered with a network
    sim_locked,     // the SIM wants its PIN (or PUK) first
    invalid_number, // the number cannot be dialled
};

// The second call of the line, beside the current one.
struct OtherCall {
    enum class State : std::uint8_t {
        waiting, // knocking while the current call goes on
        held,    // on hold while the current call goes on
        joined,  // in one conference with the current call
    };
    WString number = u"skinUnknown";
    WString network_name; // the caller's name as the network gives it
    State state = State::waiting;

    friend bool operator==(const OtherCall&, const OtherCall&) = default;
};

// What the call screen shows; the toggles are false after every call.
struct CallFacts {
    WString caller_number = u"skinUnknown";
    // The caller's name as the network gives it (for callers who are no
    // contact); empty when none.
    WString network_name;
    bool speaker_on = false;
    bool muted = false;
    bool on_hold = false;
    // Set before the call-ended event; stays until the next call ends.
    CallEnd last_end = CallEnd::normal;
    std::optional<OtherCall> other;
};

// The last answer to a service code (USSD): its text, or a failure.
struct ServiceReply {
    WString text;
    bool failed = false;
    // The network waits for an answer (+CUSD 1).
    bool more = false;
};

// What the application does for the line (set by the shell; empty by
// default): bring its window to the front and lay it out again; show the
// call facts again after the line changed one on its own (a mute the modem
// refused); tell the user that an ended call could not be written to the
// call log, and why.
struct TelephoneHooks {
    std::function<void()> bring_to_front;
    std::function<void()> facts_changed{};
    std::function<void(data::WriteFailure)> call_not_logged{};
};

enum class LineEnabled { no, yes };
enum class CallerNotify { if_changed, always };
// An emergency number is dialled without a SIM and before registration.
enum class DialKind { normal, emergency };
// What to do with the current call when a waiting one is taken.
enum class WaitingAnswer {
    hold_current, // the current call goes on hold
    end_current,  // the current call ends
    reject,       // the waiting call is turned away
};

class Telephone {
  public:
    // The second Telephone in a process is a fatal error. The scheduler runs
    // the answer and call-log timers; the call log may be null (no log) and
    // must outlive the Telephone, whose destruction logs the calls still in
    // progress as ended then.
    Telephone(data::Document& document, runtime::CActiveScheduler& scheduler, CallLog* call_log);
    ~Telephone();
    Telephone(const Telephone&) = delete;
    Telephone& operator=(const Telephone&) = delete;

    static Telephone* instance();

    // Opens the line with the modem named by the "Modem" setting. Call on
    // the UI thread: the modem's events are delivered to it.
    void init_line();
    // The same with a given modem configuration (its notify target and log
    // are filled in here).
    void init_line(platform::modem::ModemConfig config);
    // Ends what is left of the call: no current call, not connected, the
    // facts cleared; opens the line when it is not open yet.
    void reset();

    // Answers the current incoming call: at once and again every second
    // until connected, at most 5 times in all.
    void answer_call();
    // Hangs the current call up (or rejects it while it rings).
    void drop_call();
    // The last character of `text` as a DTMF tone, during a connected call.
    void send_digit(WStringView text);
    void toggle_hold();
    // Shown at once; taken back (and facts_changed run) when the modem
    // refuses it. Nothing happens without an open line.
    void toggle_mute();
    void toggle_speaker();

    // Dials a number for PhoneManager::make_call. The call screen hears of
    // it at once: the number as the caller's, then dialing. A dial that
    // cannot go out (no line, a locked SIM, no network, not a number) ends
    // at once with its reason in last_end; false then, and also while a
    // call is current or an earlier dial has neither shown up as a call nor
    // failed yet (a second tap on Call), which change nothing.
    bool dial(WStringView number, DialKind kind = DialKind::normal);
    // Sends a service code ("*100#"); false when the line cannot take it. The
    // reply arrives as service_reply() with a line-changed event.
    bool send_service_code(WStringView code);

    // A waiting call: taken (the current one held or ended) or turned away.
    void answer_waiting(WaitingAnswer how);
    // Two calls, one held: the held one becomes current and the other waits
    // on hold.
    void swap_calls();
    // Two calls, one held: both in one conference (where the modem can).
    void join_calls();
    bool can_join() const;

    // The SIM's PIN, or its PUK with a new PIN; false when the code is not
    // one. The outcome comes as pin_result() with a line-changed event. The
    // code never reaches the log.
    bool enter_pin(WStringView pin);
    bool enter_puk(WStringView puk, WStringView new_pin);
    // The answer to the last code entered: 0 taken, 16 a wrong code, another
    // modem error number, or nothing before the first answer.
    std::optional<int> pin_result() const { return m_pin_result; }
    // Answers to codes so far; a change tells a new answer came.
    std::uint64_t pin_answers() const { return m_pin_answers; }

    // The SIM, registration, operator and signal as the modem last said.
    const platform::modem::NetworkState& network() const { return m_network; }
    const ServiceReply& service_reply() const { return m_service_reply; }
    // Replies received so far; a change tells a new one came.
    std::uint64_t service_replies() const { return m_service_replies; }

    // The line callback: every call event of the modem comes through here.
    void LineCallbackFunc(const LineEvent& event);

    // Takes the modem's waiting events now (the line's message target does
    // this when the modem posts).
    void process_modem_events();

    // Call facts and state.
    const CallFacts& facts() const { return m_facts; }
    // Stores the caller's number and broadcasts caller changed (if_changed:
    // only when it differs from the stored one).
    void set_caller_number(WStringView number, CallerNotify notify = CallerNotify::if_changed);
    bool line_open() const;
    bool connected() const { return m_connected; }
    // The current call rings here and is not answered yet.
    bool ringing() const;
    // A call of ours is being dialled (placed, not yet answered).
    bool dialing() const;
    // When the current call connected, as the program's clock says (tick
    // count); nothing before it did. A swap brings the other call's time.
    std::optional<std::uint32_t> connected_since() const;
    int current_call() const { return m_call; }
    // Incoming calls this line has offered so far.
    std::uint64_t calls_offered() const { return m_calls_offered; }
    // The second call's modem index, 0 for none.
    int other_call() const { return m_other; }
    bool enabled() const { return m_enabled; }
    // While disabled, the call states are neither logged nor acted on except
    // the disconnect.
    void set_enabled(LineEnabled enabled) { m_enabled = enabled == LineEnabled::yes; }
    void set_hooks(TelephoneHooks hooks) { m_hooks = std::move(hooks); }
    platform::modem::Modem* modem() { return m_modem.get(); }

  private:
    class Timer final : public runtime::CActive {
      public:
        explicit Timer(std::function<void()> on_run) : m_on_run(std::move(on_run)) {}
        void run() override { m_on_run(); }

      private:
        std::function<void()> m_on_run;
    };

    // What the call log needs of every call the modem reported.
    struct TrackedCall {
        platform::modem::Direction direction = platform::modem::Direction::incoming;
        platform::modem::CallState state = platform::modem::CallState::idle;
        std::int64_t start = 0;           // UTC file time, first seen
        std::int64_t connected_at = 0;    // UTC file time, 0 until connected
        std::uint32_t connected_tick = 0; // the program's clock then
        bool was_connected = false;
        bool had_state = false; // caller ID waits for the first state
        bool rejected = false;  // dropped by the user while ringing
        bool logged = false;
        bool multiparty = false;
        std::string number;
        std::string name; // the network's name for the caller
        bool info_pending = false;
    };

    void on_modem_event(const platform::modem::ModemEvent& event);
    void on_modem_call_state(const platform::modem::ModemEvent& event);
    // A call beside the current one changed (the waiting, held or joined call).
    void on_other_call_state(const platform::modem::ModemEvent& event);
    // Two calls: the active one is current, the other is the second call.
    void arrange_calls();
    void show_other_call();
    // The current call ended with another one still up: that one is current now.
    void promote_other_call();
    void fail_dial(WStringView number, CallEnd reason);
    void end_pending_dial(CallEnd reason);
    CallEnd end_of(const TrackedCall& call, platform::modem::EndReason reason) const;
    WString caller_of(const TrackedCall& call) const;
    void on_call_state(const LineEvent& event);
    void on_new_call(const LineEvent& event);
    void on_call_info(const LineEvent& event);
    void write_log_entry(int call);
    void on_answer_timer();
    void broadcast(std::uint8_t flag);
    void bring_to_front();
    void on_command_failed(const platform::modem::ModemEvent& event);

    data::Document& m_document;
    runtime::CActiveScheduler& m_scheduler;
    CallLog* m_call_log = nullptr;
    std::unique_ptr<platform::MessageTarget> m_target;
    std::unique_ptr<platform::modem::Modem> m_modem;
    int m_call = 0;  // the modem's index of the current call, 0 for none
    int m_other = 0; // the waiting, held or joined second call, 0 for none
    bool m_connected = false;
    bool m_enabled = true;
    CallFacts m_facts;
    TelephoneHooks m_hooks;
    int m_answer_presses = 0;
    // The user toggled mute during this call: a refused mute command is
    // theirs to take back (the unmute of reset() is not).
    bool m_mute_toggled = false;
    // A dial was sent and its call has not appeared (nor the dial failed).
    bool m_dial_pending = false;
    platform::modem::NetworkState m_network;
    std::optional<int> m_pin_result;
    std::uint64_t m_pin_answers = 0;
    ServiceReply m_service_reply;
    std::uint64_t m_service_replies = 0;
    std::uint64_t m_calls_offered = 0;
    Timer m_answer_timer{[this] { on_answer_timer(); }};
    Timer m_log_timer{[this] { refresh_call_log(); }};
    std::map<int, TrackedCall> m_calls;

    void refresh_call_log();
};

} // namespace telvara::phone
