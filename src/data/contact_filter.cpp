#include "data/contact_filter.h"

#include "data/key_map.h"
#include "data/text_case.h"

#include <algorithm>

namespace telvara::data {

std::vector<WString> split_filter_words(WStringView text) {
    std::vector<WString> words;
    std::size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    std::size_t begin = i;
    for (; i < text.size(); ++i) {
        if (text[i] == u' ') {
            words.push_back(to_lower(text.substr(begin, i - begin)));
            begin = i + 1;
        }
    }
    if (begin < text.size())
        words.push_back(to_lower(text.substr(begin)));
    return words;
}

bool narrows(const std::vector<WString>& previous, const std::vector<WString>& next) {
    if (previous.empty() || next.size() < previous.size())
        return false;
    std::size_t last = previous.size() - 1;
    for (std::size_t i = 0; i < last; ++i)
        if (previous[i] != next[i])
            return false;
    return next[last].starts_with(previous[last]);
}

namespace {

// How much of `value` the first `kept` characters of its separator-free form
// cover, the separators among them included.
std::uint16_t written_length(WStringView value, std::size_t kept) {
    std::size_t i = 0;
    for (; i < value.size() && kept > 0; ++i)
        if (!is_phone_separator(value[i]))
            --kept;
    return static_cast<std::uint16_t>(std::min<std::size_t>(i, 0xFFFF));
}

} // namespace

bool ContactFilter::word_matches(const char16_t* text, const MatchSpan& span,
                                 WStringView word) const {
    if (span.length < word.size())
        return false;
    const char16_t* lower = text + span.offset;
    if (m_key_map->unambiguous()) {
        const char16_t* keys = lower + span.length;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (lower[i] != word[i] && keys[i] != word[i])
                return false;
        return true;
    }
    for (std::size_t i = 0; i < word.size(); ++i)
        if (!m_key_map->matches(word[i], lower[i]))
            return false;
    return true;
}

void ContactFilter::set_words(std::vector<WString> words) {
    m_words = std::move(words);
    m_phone_words.clear();
    m_needed_leads = 0;
    for (const WString& word : m_words) {
        WString phone_word = without_phone_separators(word);
        if (phone_word.empty())
            phone_word = word;
        // A word whose phone form leads with another character ("+44") may
        // be taken by a name or by a phone: no single lead bit is needed. The
        // lead masks hold one key per character, which only describes the
        // text when no character sits on two keys.
        if (!word.empty() && phone_word.front() == word.front() && m_key_map->unambiguous())
            m_needed_leads |= lead_bit(word.front());
        m_phone_words.push_back(std::move(phone_word));
    }
}

bool ContactFilter::passes(const SearchView& view) const {
    if ((view.lead_mask & m_needed_leads) != m_needed_leads)
        return false;
    bool first_taken = false;
    bool last_taken = false;
    bool phones_taken = false;
    bool company_taken = false;
    const MatchSpan* t = view.targets;
    const char16_t* text = view.text;
    for (std::size_t w = 0; w < m_words.size(); ++w) {
        const WString& word = m_words[w];
        if (!first_taken && word_matches(text, t[k_first_target], word)) {
            first_taken = true;
            continue;
        }
        if (!last_taken && word_matches(text, t[k_last_target], word)) {
            last_taken = true;
            continue;
        }
        bool taken = false;
        if (!phones_taken)
            for (std::size_t i = k_phone_targets; i < view.target_count; ++i)
                if (word_matches(text, t[i], m_phone_words[w])) {
                    phones_taken = taken = true;
                    break;
                }
        if (!company_taken && word_matches(text, t[k_company_target], word))
            company_taken = taken = true;
        if (!taken)
            return false;
    }
    return true;
}

MatchResult ContactFilter::match(const ContactEntry& entry) const {
    MatchResult result;
    result.passes = passes(entry);
    if (m_words.size() != 1)
        return result;
    const WString& word = m_words.front();
    auto length = static_cast<std::uint16_t>(word.size());
    const auto& t = entry.targets;
    const char16_t* text = entry.match_text.data();
    if (word_matches(text, t[k_first_target], word))
        result.first_name = length;
    if (word_matches(text, t[k_last_target], word))
        result.last_name = length;
    if (word_matches(text, t[k_company_target], word))
        result.company = length;
    const WString& phone_word = m_phone_words.front();
    for (std::size_t i = k_phone_targets; i < t.size(); ++i)
        if (word_matches(text, t[i], phone_word))
            result.phones.push_back(
                {t[i].field,
                 written_length(entry.record.fields[t[i].field].value, phone_word.size())});
    return result;
}

} // namespace telvara::data
