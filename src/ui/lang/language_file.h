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
//
// A file on disk is checked before it is decoded: bytes that no editor
// writes in these encodings mean a damaged file, which is refused rather
// than read as Windows-1251 (its texts would show as their keys).

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

// Why `bytes` cannot be a file of this format, or empty when they can be:
// UTF-16 (FF FE) of odd length was cut short; a UTF-8 mark (EF BB BF) over
// bytes that are not UTF-8; zero bytes in 8-bit text (UTF-16 that lost its
// mark, or no text at all); 8-bit text that is mostly UTF-8 but not wholly
// (cut inside a character, or damaged), which Windows-1251 would garble.
std::string language_bytes_damage(std::string_view bytes);

// Far more than any language file or letter map holds.
inline constexpr std::size_t kMaxLanguageFileBytes = 4u << 20;

// Nothing when the file cannot be opened or read, is larger than
// kMaxLanguageFileBytes, is no regular file or is damaged (above); `why`,
// when given, then gets "<path>: <reason>". An empty file is an empty table.
// `path` is a Linux file name.
std::optional<LanguageTable> read_language_file(const std::string& path,
                                                std::string* why = nullptr);

} // namespace telvara::ui
