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
};

struct ModemEvent {
    enum class Kind : std::uint8_t {
        new_call,       // a call appeared (call, direction, number when known)
        call_info,      // the caller ID of a call is known or changed (call, number)
        call_state,     // a call changed state (call, state, reason when disconnected)
        line_open,      // the modem answered its set-up; operations work now
        line_closed,    // the modem went away (detail); it is reopened later
        command_failed, // an operation was refused or timed out (detail names it)
        service_reply,  // the network answered a service code (detail: its text, UTF-8)
    };
    Kind kind = Kind::call_state;
    int call = 0; // the modem's own call index; 0 for line events
    Direction direction = Direction::outgoing;
    CallState state = CallState::idle;
    EndReason reason = EndReason::normal;
    std::string number{}; // only characters of a phone number; empty when unknown
    std::string detail{};

    friend bool operator==(const ModemEvent&, const ModemEvent&) = default;
};

// Readable names for logs and tests: "offering", "modem_lost", "call_state".
std::string_view to_string(CallState state);
std::string_view to_string(EndReason reason);
std::string_view to_string(ModemEvent::Kind kind);

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
// A number reported by the network, cut down to what a number may hold.
std::string clean_number(std::string_view reported);

struct ModemTiming {
    // How long a command may go unanswered before the line is closed.
    std::chrono::milliseconds command_timeout{5000};
    // The dial command: some modems answer only once the far end rings.
    std::chrono::milliseconds dial_timeout{30000};
    // +CLCC polling while a call is dialing, alerting, ringing or held.
    std::chrono::milliseconds poll_interval{500};
    // +CLCC polling while every call is connected (catches silent ends).
    std::chrono::milliseconds connected_poll_interval{2000};
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
