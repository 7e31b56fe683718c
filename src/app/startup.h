#pragma once
// The program's entry: the command-line options and WinMain's steps, from
// the search for a running instance to the shut-down.

#include "app/screen_info.h"
#include "platform/text.h"

#include <optional>
#include <string>

namespace telvara::app {

struct StartOptions {
    bool headless = false;
    std::string script;    // --script FILE (headless, virtual clock)
    bool realtime = false; // --realtime: the script runs on the real clock
    ScreenOverrides screen;
    std::optional<std::string> root; // the device root
    bool log = false;                // the log on for this run
    bool help = false;
    bool version = false;
    // The words that are not options, joined by blanks: what a second start
    // hands over ("recents", "open:+4930...", "tel:+4930...").
    WString command_line;
};

struct ParsedOptions {
    StartOptions options;
    std::string error; // empty when the line was fine
};

ParsedOptions parse_options(int argc, const char* const* argv);
std::string usage_text();

// Every step of the start-up in order; returns the exit status: 0 for a
// normal end and for a start handed over to the running instance, non-zero
// when the program could not start or a script failed.
int win_main(const StartOptions& options);

// main(): parse, help, win_main.
int telvara_main(int argc, const char* const* argv);

} // namespace telvara::app
