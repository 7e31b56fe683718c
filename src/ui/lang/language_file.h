#pragma once
// The reader of key/text line files: the language files (".lng"), the dialer
// letter map "keyboard.txt" and the favourites file all use this one format.
//
// Bytes: UTF-16 little-endian when the file has an even length of at least 2
// and begins with FF FE; otherwise 8-bit text. 8-bit text that is valid UTF-8
// and uses multi-byte sequences is read as UTF-8 (a leading UTF-8 mark is
// dropped), so files edited on Linux read as written; any other 8-bit file is
// Windows-1251, one byte per character (ASCII unchanged, Cyrillic in C0-FF).
//
// Lines: one key/text pair per non-blank line. The key runs to the first
// blank or "="; the text starts after the "=", or after the blanks that ended
// the key, and runs to the end of the line, untrimmed. No comments, no
// sections; an empty key is dropped; a later key replaces an earlier one.

#include "platform/text.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace telvara::ui {

// Keys compare code unit by code unit, case-sensitively.
using LanguageTable = std::map<WString, WString, std::less<>>;

// The character Windows-1251 gives a byte (U+FFFD for the one unused byte 98).
char16_t windows_1251(unsigned char byte);

// A file's bytes as text, as described above.
WString decode_language_bytes(std::string_view bytes);

// The pairs of a decoded text.
LanguageTable parse_language_text(WStringView text);

// Nothing when the file cannot be opened or read; an empty file is an empty
// table. `path` is a Linux file name.
std::optional<LanguageTable> read_language_file(const std::string& path);

} // namespace telvara::ui
