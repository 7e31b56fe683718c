#pragma once
// The dialer letter map ("keyboard.txt"): which characters a typed key stands
// for, so that "2" finds names beginning with a, b, c, а, б, в or г. A typed
// character always stands for itself as well.

#include "platform/text.h"
#include "ui/lang/language_file.h"

#include <array>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace telvara::data {

class KeyMap {
  public:
    KeyMap() = default;

    // Lines whose key is not exactly one character, or whose text is empty,
    // are skipped; their number goes to *skipped when asked. Keys and texts
    // are lower-cased.
    static KeyMap from_table(const ui::LanguageTable& table, std::size_t* skipped = nullptr);
    // A missing file gives the empty map (each character then matches only
    // itself). A file that is there but cannot be used (damaged, unreadable,
    // too large) gives the standard letters instead, so that digits still
    // find names, and says why in load_error(). All of it is logged.
    static KeyMap load(const std::string& path);
    // The Latin letters of a phone keypad (2 abc ... 9 wxyz) and the Russian
    // ones (2 абвг ... 9 ьэюя).
    static KeyMap standard();

    // Why the file given to load() was refused ("<file>: <reason>"); empty
    // when it was read or is missing.
    const std::string& load_error() const { return m_load_error; }

    bool empty() const { return m_texts.empty(); }
    std::size_t size() const { return m_texts.size(); }

    // The characters the typed one stands for, empty when it has no entry.
    WStringView text_of(char16_t typed) const;
    // Both lower case: does text_char answer the typed key?
    bool matches(char16_t typed, char16_t text_char) const;

    // When no character appears under two keys, matching reduces to
    // comparing with the key a character is on: key_of(c) is that key, or c
    // itself when no key holds it.
    bool unambiguous() const { return m_unambiguous; }
    char16_t key_of(char16_t c) const;

  private:
    void add(char16_t key, WStringView text);

    std::unordered_map<char16_t, WString> m_texts;
    // Reverse map, dense for the Latin, Greek and Cyrillic range; 0 = none.
    std::array<char16_t, 0x800> m_key_low{};
    std::unordered_map<char16_t, char16_t> m_key_high;
    bool m_unambiguous = true;
    std::string m_load_error;
};

} // namespace telvara::data
