#pragma once
// Wide text for the whole program. Everything the user sees, every skin string
// and every log line is UTF-16, compared code unit by code unit; conversion to
// UTF-8 happens only at the edges (file names, FreeType, SQLite, the terminal).

#include <cstdint>
#include <string>
#include <string_view>

namespace telvara {

using WString = std::u16string;
using WStringView = std::u16string_view;

// Invalid sequences become U+FFFD; nothing throws.
std::string to_utf8(WStringView text);
WString from_utf8(std::string_view text);

// Plain ASCII text, for literals and numbers.
WString from_ascii(std::string_view text);

// Decimal forms as "%d" / "%ld" print them.
WString to_wstring(std::int64_t value);

// Comparisons that fold the ASCII letters only (file names, schemes, settings
// values): other characters must match as they are.
bool equal_ignoring_ascii_case(WStringView a, WStringView b);
bool starts_with_ignoring_ascii_case(WStringView text, WStringView prefix);
bool ends_with_ignoring_ascii_case(WStringView text, WStringView suffix);

} // namespace telvara
