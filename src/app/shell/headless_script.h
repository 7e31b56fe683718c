#pragma once
// The headless script language: one command per line, read before the run so
// that a bad line stops the run before anything happens.
//
//   wait MS                 run the loop for MS milliseconds
//   tap X Y                 pen down and up at screen coordinates
//   down X Y | move X Y | up X Y
//   drag X1 Y1 X2 Y2 MS     pen down, moves over MS milliseconds, up
//   key NAME                press and release a key by its name ("Left", "5")
//   keydown NAME | keyup NAME
//   type TEXT               characters, as typed on the input panel
//   cmdline TEXT            a command line as handed over by a second start
//   shot FILE.png           the current back buffer as a PNG file
//
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
    Shot
};

struct ScriptCommand {
    ScriptOp op = ScriptOp::Wait;
    int line = 0; // 1-based, for messages
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t x2 = 0; // drag: where it ends
    std::int32_t y2 = 0;
    std::uint32_t ms = 0; // wait, drag
    std::int32_t key = 0; // key, keydown, keyup: engine key code
    WString text;         // type, cmdline
    std::string file;     // shot
};

// Longest single wait or drag: an hour of virtual time is already absurd.
inline constexpr std::uint32_t kMaxScriptMs = 3'600'000;

struct ParsedScript {
    std::vector<ScriptCommand> commands;
    // Set on the first bad line; `commands` then holds the lines before it.
    int error_line = 0;
    std::string error;

    bool ok() const { return error_line == 0; }
};

ParsedScript parse_script(std::string_view text);

} // namespace telvara::app
