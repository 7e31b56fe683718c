#include "data/key_map.h"

#include "data/text_case.h"
#include "platform/clock.h"
#include "runtime/log.h"

#include <cerrno>

namespace telvara::data {

void KeyMap::add(char16_t key, WStringView text) {
    WString& own = m_texts[key];
    for (char16_t raw : text) {
        char16_t c = to_lower(raw);
        if (own.find(c) != WString::npos)
            continue;
        own.push_back(c);
        char16_t& slot = c < m_key_low.size() ? m_key_low[c] : m_key_high[c];
        if (slot == 0)
            slot = key;
        else if (slot != key)
            m_unambiguous = false;
    }
}

KeyMap KeyMap::from_table(const ui::LanguageTable& table, std::size_t* skipped) {
    KeyMap map;
    std::size_t bad = 0;
    for (const auto& [key, text] : table) {
        if (key.size() != 1 || text.empty()) {
            ++bad;
            continue;
        }
        map.add(to_lower(key[0]), text);
    }
    if (skipped != nullptr)
        *skipped = bad;
    return map;
}

KeyMap KeyMap::standard() {
    return from_table({{u"2", u"abcабвг"},
                       {u"3", u"defдеёжз"},
                       {u"4", u"ghiийкл"},
                       {u"5", u"jklмноп"},
                       {u"6", u"mnoрсту"},
                       {u"7", u"pqrsфхцч"},
                       {u"8", u"tuvшщъы"},
                       {u"9", u"wxyzьэюя"}});
}

KeyMap KeyMap::load(const std::string& path) {
    // The letter map is a language-format file, read by the same reader.
    std::string why;
    std::optional<ui::LanguageTable> table = ui::read_language_file(path, &why);
    if (!table) {
        const bool missing = errno == ENOENT;
        runtime::log() << platform::tick_count() << u" KeyMap::load() no key map: "
                       << from_utf8(why) << u"\n";
        if (missing)
            return {};
        KeyMap map = standard();
        map.m_load_error = std::move(why);
        return map;
    }
    std::size_t skipped = 0;
    KeyMap map = from_table(*table, &skipped);
    if (skipped != 0)
        runtime::log() << platform::tick_count() << u" KeyMap::load() skipped lines = " << skipped
                       << u"\n";
    return map;
}

WStringView KeyMap::text_of(char16_t typed) const {
    auto it = m_texts.find(typed);
    return it == m_texts.end() ? WStringView() : WStringView(it->second);
}

bool KeyMap::matches(char16_t typed, char16_t text_char) const {
    if (typed == text_char)
        return true;
    return text_of(typed).find(text_char) != WStringView::npos;
}

char16_t KeyMap::key_of(char16_t c) const {
    char16_t key = 0;
    if (c < m_key_low.size()) {
        key = m_key_low[c];
    } else {
        auto it = m_key_high.find(c);
        if (it != m_key_high.end())
            key = it->second;
    }
    return key == 0 ? c : key;
}

} // namespace telvara::data
