#pragma once
// Reader for the key/text line files that sit beside the program (the dialer
// letter map "keyboard.txt", the favourites file): the line format of the
// language files. UTF-16 little-endian after an FF FE mark, otherwise 8-bit
// text (UTF-8 when the bytes are valid UTF-8, else one byte per character).

#include "platform/text.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace telvara::data {

// Keys compare code unit by code unit; a later line replaces an earlier one.
using KeyTextTable = std::map<WString, WString, std::less<>>;

// The file's bytes as text.
WString decode_key_text_bytes(std::string_view bytes);

// One pair per non-blank line: the key runs to the first blank or "=", the
// text from after the "=" (or after the blanks) to the end of the line.
KeyTextTable parse_key_text(WStringView text);

// Nothing when the file cannot be read.
std::optional<KeyTextTable> read_key_text_file(const std::string& path);

} // namespace telvara::data
