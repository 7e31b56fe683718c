#pragma once
// The headless script language: one command per line, read before the run so
// that a bad line stops the run before anything happens.
//
//   wait MS                 run the loop for MS milliseconds (of the script's clock)
//   sleep MS                let MS milliseconds of real time pass, handling
//                           what arrives (the virtual clock stands still)
//   tap X Y                 pen down and up at screen coordinates
//   tap NAME                the same in the middle of the node NAME of the
//                           screen in front (or of an item of its open menu
//                           by the item's key, or of the call strip); NAME#N
//                           is the N-th shown node of that name, NAME#-N the
//                           N-th from the end
//   down X Y | move X Y | up X Y
//   drag X1 Y1 X2 Y2 MS     pen down, moves over MS milliseconds, up
//   key NAME                press and release a key by its name ("Left", "5")
//   keydown NAME | keyup NAME
//   type TEXT               characters, as typed on the input panel
//   cmdline TEXT            a command line as handed over by a second start
//   shot FILE.png           the current back buffer as a PNG file
//   lint                    checks the layout of the screen in front (texts
//                           that do not fit, controls that overlap or are too
//                           small, nodes off the screen); each finding is
//                           printed and the run ends with status 3
//   expect WHAT [MS]        wait in real time, at most MS (default 10000), until
//                           the telephone is in a state: incoming, dialing,
//                           connected, ended (no call), waiting (a second call
//                           knocks), held (a call is on hold), conference
//   expect screen NAME [MS] ... until the screen in front is NAME ("Call" or
//                           "CallForm", "Main", "PinForm", "MessagePanel")
//   expect text NODE TEXT   ... until the node NODE of the screen in front (or
//                           of the call strip or notice) shows TEXT (the rest
//                           of the line); expect text NODE "TEXT" [MS] with a
//                           time-out
//   modem COMMAND           the far end, through the modem simulator: ring
//                           [NUMBER [NAME]], answer, hangup [ID], busy [NUMBER],
//                           noanswer NUMBER, sim pin CODE|puk CODE|ready|absent,
//                           register home|roaming|searching|denied|off,
//                           operator NAME, signal N, ussd CODE [REPLY], silent on|off
//   phone answer | phone hangup | phone dial NUMBER
//                           the user answers, ends or places a call
//
// A script runs on a virtual clock that only "wait" moves, so that every run
// of it gives the same frames; with --realtime it runs on the real clock. The
// modem and its simulator always run on the real clock: each modem and phone
// command waits (in real time, at most kLineWaitMs) until the telephone has
// seen what it caused, so what the script does next finds the call in that
// state whatever the machine's speed. The simulator is the built-in one, or
// the one the setting "ModemControl" names ("HOST:PORT" of `telvara-modem
// serve --control`, or a control socket) for a modem on TCP.
// Blank lines and lines starting with "#" are skipped.

#include "platform/text.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::app {

enum class ScriptOp {
    Wait,
    Tap,
    Down,
    Move,
    Up,
    Drag,
    Key,
    KeyDown,
    KeyUp,
    Type,
    CommandLine,
    Shot,
    Modem,  // the far end, through the simulator
    Phone,  // the user, through the telephone
    Sleep,  // real time passes
    Expect, // wait for a state
    Lint,   // check the layout in front
};

// Modem actions the driver waits on; Control is any other simulator command.
enum class LineAction { Ring, Answer, Hangup, Busy, Dial, Control };

enum class ExpectWhat {
    Incoming,
    Dialing,
    Connected,
    Ended,
    Waiting,
    Held,
    Conference,
    Screen,
    Text
};

struct ScriptCommand {
    ScriptOp op = ScriptOp::Wait;
    int line = 0; // 1-based, for messages
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t x2 = 0; // drag: where it ends
    std::int32_t y2 = 0;
    std::uint32_t ms = 0;                 // wait, drag
    std::int32_t key = 0;                 // key, keydown, keyup: engine key code
    WString text;                         // type, cmdline
    std::string file;                     // shot
    LineAction action = LineAction::Ring; // modem, phone
    std::string number;                   // modem ring/busy, phone dial; may be empty
    std::string control;                  // modem: the simulator command as sent
    ExpectWhat expect = ExpectWhat::Connected;
    std::string name; // expect screen: the screen; expect text: the node
};

// Longest single wait or drag: an hour of virtual time is already absurd.
inline constexpr std::uint32_t kMaxScriptMs = 3'600'000;
// Longest real-time wait of a modem or phone command for its effect, and
// what an expect waits unless told.
inline constexpr std::uint32_t kLineWaitMs = 10'000;
// Longest wait an expect may ask for.
inline constexpr std::uint32_t kMaxExpectMs = 600'000;

struct ParsedScript {
    std::vector<ScriptCommand> commands;
    // Set on the first bad line; `commands` then holds the lines before it.
    int error_line = 0;
    std::string error;

    bool ok() const { return error_line == 0; }
};

ParsedScript parse_script(std::string_view text);

} // namespace telvara::app
