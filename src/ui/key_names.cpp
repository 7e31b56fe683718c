// The key-name table.
#include "ui/key_names.h"

#include <array>

namespace telvara::ui {

namespace {

constexpr std::array<std::string_view, kKeyCodeCount> kNames = {
    "None",      "Shift",       "Ctrl",      "Alt",      "Left",      "Right",       "Up",
    "Down",      "Esc",         "Enter",     "Space",    "Backspace", "Del",         "Insert",
    "Home",      "End",         "PageDown",  "PageUp",   "Tab",       "ContextMenu", "A",
    "B",         "C",           "D",         "E",        "F",         "G",           "H",
    "I",         "J",           "K",         "L",        "M",         "N",           "O",
    "P",         "Q",           "R",         "S",        "T",         "U",           "V",
    "W",         "X",           "Y",         "Z",        "0",         "1",           "2",
    "3",         "4",           "5",         "6",        "7",         "8",           "9",
    "*",         "#",           "CALL_MAKE", "CALL_END", "SLIDE",     "SOFT_LEFT",   "SOFT_RIGHT",
    "VOLUME_UP", "VOLUME_DOWN", "+",         "-",        ".",         "/",
};

} // namespace

std::string_view key_name(std::int32_t code) {
    if (code < 0 || code >= kKeyCodeCount)
        return {};
    return kNames[std::size_t(code)];
}

std::optional<std::int32_t> key_code(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (kNames[i] == name)
            return std::int32_t(i);
    return std::nullopt;
}

std::optional<std::int32_t> key_code(WStringView name) {
    // Every name is ASCII; anything else cannot match.
    std::string narrow;
    narrow.reserve(name.size());
    for (char16_t c : name) {
        if (c > 0x7F)
            return std::nullopt;
        narrow.push_back(char(c));
    }
    return key_code(narrow);
}

} // namespace telvara::ui
