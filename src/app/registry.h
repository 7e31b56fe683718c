#pragma once
// The settings store ("registry"): DWORD and string values under textual key
// paths such as "HKEY_CURRENT_USER\Software\KELMA\Telvara". Failures never
// raise; a read that fails leaves the caller's default in place.

#include "platform/text.h"

#include <cstdint>

namespace telvara::app {

bool reg_read_dword(WStringView key_path, WStringView name, std::uint32_t& out);
bool reg_write_dword(WStringView key_path, WStringView name, std::uint32_t value);
bool reg_read_string(WStringView key_path, WStringView name, WString& out);
bool reg_write_string(WStringView key_path, WStringView name, WStringView value);

// The file "InstallDir\file_name" of another program registered under
// "HKEY_LOCAL_MACHINE\Software\Apps\" + app_key, when it exists.
bool install_dir(WStringView app_key, WStringView file_name, WString& out_path);

} // namespace telvara::app
