#pragma once
// Links that ask for a call: "tel:" (RFC 3966) and "callto:", as a desktop
// hands them to the program that handles them.

#include "platform/text.h"

#include <optional>

namespace telvara::phone {

// The number a "tel:" or "callto:" link carries, as it would be typed on the
// keypad: percent escapes decoded, parameters (";phone-context=...",
// ";ext=...") and visual separators dropped, only digits, '*', '#' and a
// leading '+' kept; it may come out empty. Nothing when `link` is not such a
// link. The scheme is matched without regard to case.
std::optional<WString> number_of_call_link(WStringView link);

} // namespace telvara::phone
