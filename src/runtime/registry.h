#pragma once
// The settings store ("registry"): DWORD and string values under textual key
// paths such as "HKEY_CURRENT_USER\Software\KELMA\Telvara". Failures never
// raise; a read that fails leaves the caller's default in place.

#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telvara::platform {
class SettingsStore;
struct SettingsProblem;
} // namespace telvara::platform

namespace telvara::runtime {

// A key path is a root name ("HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE",
// "HKEY_USERS", "HKEY_CURRENT_USER"), then "\" and the subkey; the root name
// alone addresses the root itself. Any other path fails.
bool reg_read_dword(WStringView key_path, WStringView name, std::uint32_t& out);
bool reg_write_dword(WStringView key_path, WStringView name, std::uint32_t value);
bool reg_read_string(WStringView key_path, WStringView name, WString& out);
bool reg_write_string(WStringView key_path, WStringView name, WStringView value);
// Removes a value (for the settings tool); true when it existed.
bool reg_delete_value(WStringView key_path, WStringView name);

// The file "InstallDir\file_name" of another program registered under
// "HKEY_LOCAL_MACHINE\Software\Apps\" + app_key, when it exists.
bool install_dir(WStringView app_key, WStringView file_name, WString& out_path);

// Why the last write or delete of this process's store failed (the file and
// the system's reason), empty after one that succeeded.
std::string last_settings_error();

// Problems of the settings file (damaged, lines skipped, a change not saved)
// go to the log as they happen, file damage also to stderr; they wait here
// for the screen, at most kMaxWaitingSettingsProblems of them.
inline constexpr std::size_t kMaxWaitingSettingsProblems = 8;
bool settings_problems_waiting();
std::vector<platform::SettingsProblem> take_settings_problems();

// The process's store: the file "registry.reg" in the device root.
platform::SettingsStore& settings_store();
// Forgets the store's memory and binds it to the current device root; the
// problems waiting for the screen were the old root's and go too.
void reset_settings_store();

} // namespace telvara::runtime
