#pragma once
// Starting other programs: always with posix_spawn and an argument vector,
// never through a shell, so that a number, an address or a message body is
// one argument whatever characters it holds. Commands from the settings are
// templates split into words once, before anything is put into them.

#include "platform/text.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvara::phone {

using Argv = std::vector<std::string>;

enum class SpawnWait { detach, for_exit };

// Starts argv[0] (looked up in PATH when it has no "/") with the arguments.
// detach: the child is reaped in the background; the result is 0 once it
// started. for_exit: the child's exit status (128 + signal when killed).
// Nothing when it could not be started, the vector is empty or an argument
// holds a NUL character.
std::optional<int> spawn_program(const Argv& argv, SpawnWait wait = SpawnWait::detach);
// Detached, and `on_exit` runs with the child's exit status once it has
// ended (on a helper thread): a handler that found nothing to open says so
// by its status.
std::optional<int> spawn_program(const Argv& argv, std::function<void(int status)> on_exit);

// Splits a command template at blanks; double quotes group blanks into a word
// (the quotes themselves are dropped). No other shell syntax means anything.
Argv split_command(std::string_view command);

// Puts values into the words of a template: "%" + key is replaced by the
// value (inside a word too; the word stays one argument), "%%" is "%".
// Values are inserted once and never scanned again. When no word names
// `append_key`, its value is added as the last argument.
Argv fill_command(const Argv& words, const std::vector<std::pair<char, std::string>>& values,
                  char append_key);

// A command line for the log: words joined by blanks, each in double quotes.
WString describe_command(const Argv& argv);

// Percent-encodes everything but unreserved characters (RFC 3986) and those
// in `keep`, for the parts of "sms:" and "mailto:" addresses: a "?" or "&"
// typed into a number or address can never start another field.
std::string percent_encode(std::string_view text, std::string_view keep = {});

} // namespace telvara::phone
