#pragma once
// The phone layer's settings and the missed-call counter, all in the
// settings store:
//   HKEY_CURRENT_USER\Software\KELMA\Telvara
//     "Modem"            string: "sim" (default, the built-in simulator),
//                        "tcp:HOST:PORT" or a device path
//     "EmergencyNumbers" string: numbers separated by blanks or commas
//                        (default "112,911")
//     "SmsCommand", "MailCommand", "WebCommand", "OpenCommand"
//                        strings: the program for text messages, mail, web
//                        addresses and files (default: xdg-open); see
//                        phone_manager.h for the words they may hold
//   HKEY_CURRENT_USER\System\State\Phone
//     "Missed Call Count" DWORD: unanswered incoming calls since the user
//                        last looked (the main screen resets it)

#include "platform/text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace telvara::phone {

inline constexpr char16_t k_telvara_key[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
inline constexpr char16_t k_phone_state_key[] = u"HKEY_CURRENT_USER\\System\\State\\Phone";
inline constexpr char16_t k_missed_call_count[] = u"Missed Call Count";

// "Modem", "sim" when unset or empty.
std::string modem_device();

// "EmergencyNumbers" split at blanks and commas; "112" and "911" when unset
// or holding no number.
std::vector<WString> emergency_numbers();

// A command template from the settings (UTF-8), `fallback` when unset or
// blank.
std::string command_setting(WStringView name, std::string_view fallback);

// The missed-call counter: 0 when missing.
std::uint32_t missed_call_count();
void reset_missed_call_count();
// One more unanswered call; returns the new count.
std::uint32_t increment_missed_call_count();

} // namespace telvara::phone
