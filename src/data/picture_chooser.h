#pragma once
// The picture chooser: a configurable command (string setting
// "PictureChooser" under HKEY_CURRENT_USER\Software\KELMA\Telvara, default a
// zenity file dialog when zenity is installed) whose standard output names
// the chosen file.

#include <optional>
#include <string>

namespace telvara::data {

// The command to run, or nothing when none is configured or available.
std::optional<std::string> picture_chooser_command();

enum class ChooserResult { chosen, cancelled, failed };

// Runs `command` with /bin/sh (posix_spawn) and takes its first output line
// as the path. Cancelled: a non-zero exit or no output; failed: the process
// could not be started or the output is longer than a path can be.
ChooserResult run_picture_chooser(const std::string& command, std::string& path);

} // namespace telvara::data
