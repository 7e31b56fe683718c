#pragma once
// The key/text line files beside the program (the dialer letter map
// "keyboard.txt", the favourites file) are read by the language-file reader;
// these are its names on the data side.

#include "ui/lang/language_file.h"

#include <optional>
#include <string>
#include <string_view>

namespace telvara::data {

using KeyTextTable = ui::LanguageTable;

inline WString decode_key_text_bytes(std::string_view bytes) {
    return ui::decode_language_bytes(bytes);
}

inline KeyTextTable parse_key_text(WStringView text) {
    return ui::parse_language_text(text);
}

inline std::optional<KeyTextTable> read_key_text_file(const std::string& path) {
    return ui::read_language_file(path);
}

} // namespace telvara::data
