#pragma once
// The headless driver: runs a parsed script against the running application
// on a virtual clock, so that every run of the same script produces the same
// frames whatever the machine's speed.

#include "app/headless_script.h"

#include <string>

namespace telvara::app {

class Application;

// How long a tap holds the pen, and the step of a drag's moves (virtual ms).
inline constexpr std::uint32_t kTapHoldMs = 40;
inline constexpr std::uint32_t kDragStepMs = 10;

// Which clock "wait" moves: the application's virtual one (the frames are
// then the same on every run), or the real one.
enum class ScriptClock { Virtual, Real };

// The exit status of a script whose lint found something.
inline constexpr int kLintFailed = 3;

// Runs every command in order. Returns 0 at the end of the script; on a line
// that cannot be carried out, or when the program ends before the script
// does, writes "<script_name>:<line>: <why>" to stderr and returns 1. A
// "lint" that found something writes each finding the same way and the run
// goes on, to end with kLintFailed.
int run_headless_script(Application& application, const ParsedScript& script,
                        const std::string& script_name, ScriptClock clock = ScriptClock::Virtual);

// Registry value (string under HKEY_CURRENT_USER\Software\KELMA\Telvara):
// where a script's modem commands go when the modem is not the built-in
// simulator: "HOST:PORT" of `telvara-modem serve --control`, or a socket.
inline constexpr char16_t kModemControlValue[] = u"ModemControl";

} // namespace telvara::app
