#pragma once
// The telephone line: a client of the standard AT command set (ATD, ATA,
// +CHUP, +CLCC, +CHLD, +VTS, +CMUT, +CUSD) over a serial device, a
// pseudo-terminal, TCP or the built-in simulator. The modem is driven by a
// thread of its own; what it learns arrives as events that the owner takes on
// its own (UI) thread after a notification message. Operations never block:
// they are queued to the modem thread and their outcome comes back as events.

#include "platform/messages.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::platform::modem {

// The notification the modem posts to its owner when events are waiting
// (once per batch: the owner drains them all with take_events()).
inline constexpr std::uint32_t WM_MODEM_EVENTS = WM_USER + 60;

enum class CallState : std::uint8_t {
    idle,         // the call is gone; the line is free for it
    dialing,      // outgoing, not yet ringing at the far end
    alerting,     // outgoing, ringing at the far end (ringback)
    offering,     // incoming, ringing here
    waiting,      // incoming while another call is in progress
    connected,    // talking
    on_hold,      // held here
    busy,         // the far end is busy
    disconnected, // ended; `reason` says why, idle follows
};

enum class Direction : std::uint8_t { outgoing, incoming };

enum class EndReason : std::uint8_t {
    normal,     // hung up by either side
    busy,       // the far end was busy
    no_answer,  // nobody answered
    no_carrier, // the network ended the call
    modem_lost, // the modem stopped answering or went away
    failed,     // the dial command was refused
    no_service, // no network to place it on (+CME ERROR: 30, 31, 32, or not registered)
    sim_locked, // the SIM wants its PIN or PUK first (+CME ERROR: 11, 12), or there is none (10)
};

// What the SIM says (+CPIN?).
enum class SimState : std::uint8_t {
    unknown,      // not asked yet, or the modem cannot tell
    ready,        // "READY": no code needed, or the code was entered
    pin_required, // "SIM PIN"
    puk_required, // "SIM PUK": the PIN was entered wrong too often
    absent,       // +CME ERROR: 10, SIM not inserted
    failed,       // +CME ERROR: 13 or 15, or a code this phone cannot take (PH-SIM PIN, ...)
};

// Registration with the network (+CREG / +CEREG <stat>); the better of the
// two counts.
enum class Registration : std::uint8_t {
    unknown,   // not asked yet, or <stat> 4
    none,      // 0: not registered and not searching
    home,      // 1
    searching, // 2
    denied,    // 3
    roaming,   // 5
};

struct NetworkState {
    SimState sim = SimState::unknown;
    Registration registration = Registration::unknown;
    // +COPS? in long alphanumeric form; empty when unknown or not registered.
    std::string operator_name{};
    // From +CSQ <rssi>: 0-4 bars; -1 unknown (99, or not asked yet).
    int signal_bars = -1;
    // +CPINR: tries left for the code the SIM asks now; -1 unknown.
    int pin_retries = -1;

    bool registered() const {
        return registration == Registration::home || registration == Registration::roaming;
    }
    friend bool operator==(const NetworkState&, const NetworkState&) = default;
};

struct ModemEvent {
    enum class Kind : std::uint8_t {
        new_call,       // a call appeared (call, direction, number when known)
        call_info,      // the caller ID of a call is known or changed (call, number)
        call_state,     // a call changed state (call, state, reason when disconnected)
        line_open,      // the modem answered its set-up; operations work now
        line_closed,    // the modem went away (detail); it is reopened later
        command_failed, // an operation was refused or timed out (detail names it,
                        // code: the +CME ERROR number, -1 without one)
        service_reply,  // the network answered a service code (detail: its text, UTF-8;
                        // code: the +CUSD <m>: 0 done, 1 a reply is expected, 2 ended
                        // by the network, 4 not supported, 5 timed out)
        network,        // the SIM, registration, operator or signal changed (network)
        pin_result,     // an entered PIN or PUK was taken (code 0) or refused
                        // (code: the +CME ERROR number, 16 for a wrong code)
    };
    Kind kind = Kind::call_state;
    int call = 0; // the modem's own call index; 0 for line events
    Direction direction = Direction::outgoing;
    CallState state = CallState::idle;
    EndReason reason = EndReason::normal;
    std::string number{}; // only characters of a phone number; empty when unknown
    std::string detail{};
    // call_info: the caller's name as the network gives it (+CNAP, UTF-8,
    // control characters dropped); empty when none or withheld.
    std::string name{};
    // call_state: the call is part of a conference (+CLCC <mpty> 1).
    bool multiparty = false;
    int code = -1;
    NetworkState network{};

    friend bool operator==(const ModemEvent&, const ModemEvent&) = default;
};

// Readable names for logs and tests: "offering", "modem_lost", "call_state".
std::string_view to_string(CallState state);
std::string_view to_string(EndReason reason);
std::string_view to_string(ModemEvent::Kind kind);
std::string_view to_string(SimState state);
std::string_view to_string(Registration registration);

// Numbers are data. The dial string of a number, or nothing when the number
// holds a character that has no place in a dial string (';', quotes, control
// characters, anything but 0-9 * # + , A-D p w). Spaces, '-', '.', '/' and
// brackets are dropped as formatting; '+' only leads. Empty or overlong
// numbers give nothing.
std::optional<std::string> dial_string(std::string_view number);
// DTMF digits to send: 0-9 * # A-D only, else nothing.
std::optional<std::string> tone_string(std::string_view digits);
// Service codes (USSD, "*100#"): 0-9 * # + only, else nothing.
std::optional<std::string> service_string(std::string_view code);
// The number characters of a checked dial string (pauses and waits dropped).
std::string clean_number(std::string_view dial);
// A number as the network reports it (caller ID, the call list): a leading
// '+', then 0-9 * # A-D, with spaces, '-', '.', '/' and brackets dropped as
// formatting; at most 64 characters; empty when none is reported. Anything
// else is no number (nothing), never the digits that could be picked out of
// it.
std::optional<std::string> reported_number(std::string_view reported);
// A SIM PIN (4 to 8 digits) or PUK (8 digits): the code itself, else nothing.
std::optional<std::string> pin_string(std::string_view code);
// Signal bars from a +CSQ <rssi> (0-31, 99 unknown): 0-4, or -1.
int signal_bars(int rssi);

struct ModemTiming {
    // How long a command may go unanswered before the line is closed.
    std::chrono::milliseconds command_timeout{5000};
    // The dial command: some modems answer only once the far end rings.
    std::chrono::milliseconds dial_timeout{30000};
    // +CLCC polling while a call is dialing, alerting, ringing or held.
    std::chrono::milliseconds poll_interval{500};
    // +CLCC polling while every call is connected (catches silent ends).
    std::chrono::milliseconds connected_poll_interval{2000};
    // +CSQ (and +CREG? when the modem sends no unsolicited +CREG) while the
    // line is open.
    std::chrono::milliseconds network_poll_interval{20000};
    // Reopening a modem that went away: first wait, doubled up to the last.
    std::chrono::milliseconds reopen_first{1000};
    std::chrono::milliseconds reopen_max{30000};
};

struct ModemConfig {
    // Where the modem is: "sim" (the built-in simulator), "tcp:HOST:PORT",
    // or a device path ("/dev/ttyUSB2", a pseudo-terminal "/dev/pts/5").
    std::string device = "sim";
    ModemTiming timing;
    // Serial line speed for devices (ignored for TCP and pseudo-terminals).
    int baud = 115200;
    // Posted WM_MODEM_EVENTS (or notify_message) when events are waiting.
    TargetRef notify_target;
    std::uint32_t notify_message = WM_MODEM_EVENTS;
    // The call-audio hook: run as `/bin/sh -c '<command> "$1"' - on|off` when
    // the speaker is switched. Empty: only the state is kept.
    std::string speaker_command;
    // "sim" only: the control socket of the in-process simulator (the one
    // `telvara-modem ring` talks to). Empty: no control socket.
    std::string sim_control_socket;
    // Where the modem's log lines go (any thread, UTF-8, no line end).
    std::function<void(std::string_view)> log;
};

enum class MuteState : std::uint8_t { unmuted, muted };
enum class SpeakerState : std::uint8_t { off, on };

class ModemSimulator;

class Modem {
  public:
    // Starts the modem thread, which opens the modem at once.
    explicit Modem(ModemConfig config);
    // Stops the thread and closes the modem; pending events are dropped.
    ~Modem();
    Modem(const Modem&) = delete;
    Modem& operator=(const Modem&) = delete;

    // Operations (any thread, never block). False when the input was refused
    // before reaching the modem; failures later arrive as command_failed.
    bool dial(std::string_view number);
    void answer();
    // Ends the active call (or rejects a ringing one); all calls when none is
    // active.
    void hang_up();
    void hold();   // +CHLD=2: hold the active call
    void unhold(); // +CHLD=2 with nothing active: take the held call back
    // The calls of a waiting or held second call (3GPP TS 22.030 / 27.007 +CHLD):
    void hold_and_accept();    // +CHLD=2: active calls on hold, the waiting (else held) one taken
    void release_and_accept(); // +CHLD=1: active calls ended, the waiting (else held) one taken
    void reject_waiting();     // +CHLD=0: the waiting call turned away (else held calls ended)
    void join();               // +CHLD=3: the held call joins the active one
    // +CHLD=? listed 3 (conference calls); false until the modem said so.
    bool supports_join() const;
    // AT+CPIN="code" (a PIN, or a PUK with the new PIN): false when the code
    // is not a code (pin_string); the outcome arrives as pin_result, then a
    // network event. Codes never reach the log.
    bool enter_pin(std::string_view pin);
    bool enter_puk(std::string_view puk, std::string_view new_pin);
    // The latest network state (any thread).
    NetworkState network() const;
    bool send_tones(std::string_view digits);
    void set_mute(MuteState state);
    bool send_service_code(std::string_view code);
    // Runs the call-audio hook; the state is kept either way.
    void set_speaker(SpeakerState state);
    SpeakerState speaker() const;

    // True once the modem answered its set-up, until it goes away.
    bool is_open() const;

    // The events since the last call, oldest first (owner's thread).
    std::vector<ModemEvent> take_events();
    // Blocks until an event is waiting or the timeout passes (tools, tests).
    bool wait_events(std::chrono::milliseconds timeout);

    // "sim" only: the in-process simulator, else null.
    ModemSimulator* simulator();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace telvara::platform::modem
