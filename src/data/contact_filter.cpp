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

void ContactFilter::set_words(std::vector<WString> words) {
    m_words = std::move(words);
    m_unambiguous = m_key_map->unambiguous();
    m_phone_words.clear();
    m_checks.clear();
    m_needed_leads = 0;
    for (const WString& word : m_words) {
        WString phone_word = without_phone_separators(word);
        if (phone_word.empty())
            phone_word = word;
        // A word whose phone form leads with another character ("+44") may
        // be taken by a name or by a phone: no single lead bit is needed. The
        // lead masks hold one key per character, which only describes the
        // text when no character sits on two keys.
        if (!word.empty() && phone_word.front() == word.front() && m_unambiguous)
            m_needed_leads |= lead_bit(word.front());
        WordCheck check;
        check.empty = word.empty();
        for (WStringView form : {WStringView(word), WStringView(phone_word)}) {
            if (form.size() == 1)
                check.starts |= lead_bit(form[0]);
            else if (form.size() > 1)
                check.start_pairs |= pair_bit(form[0], form[1]);
        }
        check.all_digits = std::all_of(phone_word.begin(), phone_word.end(),
                                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
        check.digits.add(phone_word);
        m_checks.push_back(check);
        m_phone_words.push_back(std::move(phone_word));
    }
    m_single_digit = m_unambiguous && m_words.size() == 1 && m_words.front().size() == 1 &&
                     m_checks.front().all_digits;
    // Only digits as typed: "+1" is all digits to the numbers alone.
    m_two_digits = m_unambiguous && m_words.size() == 1 && m_words.front().size() == 2 &&
                   m_checks.front().all_digits && m_phone_words.front() == m_words.front();
    if (m_two_digits)
        m_digit_pair = 10u * (m_words.front()[0] - u'0') + (m_words.front()[1] - u'0');
}

bool ContactFilter::may_pass(const SearchMasks& masks) const {
    if ((masks.leads & m_needed_leads) != m_needed_leads)
        return false;
    // The start masks hold one key per character, as the lead mask does.
    if (!m_unambiguous)
        return true;
    for (const WordCheck& check : m_checks) {
        if (check.empty || (masks.starts & check.starts) != 0 ||
            (masks.start_pairs & check.start_pairs) != 0)
            continue;
        // No target starts with the word: only the inside of a number is
        // left, and digits that no number holds in a row are not there.
        if (check.all_digits && !masks.phone_digits.holds(check.digits))
            return false;
    }
    return true;
}

std::size_t ContactFilter::phone_match_at(const char16_t* text, const MatchSpan& span,
                                          WStringView word) const {
    if (word.empty() || span.length < word.size())
        return WStringView::npos;
    if (word_matches(text, span, word))
        return 0;
    // Inside a number only digits count: letters never match digits.
    const WStringView digits(text + span.offset, span.length);
    for (std::size_t at = digits.find(word.front(), 1); at != WStringView::npos;
         at = digits.find(word.front(), at + 1)) {
        if (at + word.size() > digits.size())
            break;
        if (digits.substr(at, word.size()) == word)
            return at;
    }
    return WStringView::npos;
}

MatchTier ContactFilter::rank(const SearchView& view) const {
    const SearchMasks& masks = view.masks;
    if (!may_pass(masks))
        return MatchTier::None;
    if (m_single_digit) {
        // The masks tell exactly: the digit starts a target (a name's first
        // letter on its key, or a number), else it lies inside a number.
        if ((masks.starts & m_checks.front().starts) != 0)
            return MatchTier::Prefix;
        return (masks.phone_digits.digits & m_checks.front().digits.digits) != 0 ? MatchTier::Inside
                                                                                 : MatchTier::None;
    }
    if (m_two_digits) {
        // Exact too: the digit pairs each target starts with (as typed or as
        // keys), and the pairs in a row inside the numbers.
        if (DigitMasks::has_pair(masks.start_digit_pairs, m_digit_pair))
            return MatchTier::Prefix;
        return DigitMasks::has_pair(masks.phone_digits.pairs, m_digit_pair) ? MatchTier::Inside
                                                                            : MatchTier::None;
    }
    bool first_taken = false;
    bool last_taken = false;
    bool phones_taken = false;
    bool company_taken = false;
    bool inside = false;
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
        if (!company_taken && word_matches(text, t[k_company_target], word))
            company_taken = taken = true;
        if (!phones_taken && !taken) {
            const WString& digits = m_phone_words[w];
            const WordCheck& check = m_checks[w];
            // Digits that occur in no number cannot match inside one.
            const bool maybe_inside = !check.all_digits || masks.phone_digits.holds(check.digits);
            // A number that starts with the word beats one that has it inside.
            bool prefix = false;
            for (std::size_t i = k_phone_targets; i < view.target_count && !prefix; ++i)
                prefix = word_matches(text, t[i], digits);
            bool found = prefix;
            if (!found && maybe_inside) {
                // One digit needs no search: the masks say it is there.
                found = check.all_digits && digits.size() == 1;
                for (std::size_t i = k_phone_targets; i < view.target_count && !found; ++i)
                    found = phone_match_at(text, t[i], digits) != WStringView::npos;
            }
            if (found) {
                phones_taken = taken = true;
                inside = inside || !prefix;
            }
        }
        if (!taken)
            return MatchTier::None;
    }
    return inside ? MatchTier::Inside : MatchTier::Prefix;
}

MatchResult ContactFilter::match_names(const SearchView& view) const {
    MatchResult result;
    result.passes = passes(view);
    if (m_words.size() != 1)
        return result;
    const WString& word = m_words.front();
    const auto length = static_cast<std::uint16_t>(word.size());
    if (word_matches(view.text, view.targets[k_first_target], word))
        result.first_name = length;
    if (word_matches(view.text, view.targets[k_last_target], word))
        result.last_name = length;
    if (word_matches(view.text, view.targets[k_company_target], word))
        result.company = length;
    return result;
}

MatchResult ContactFilter::match(const ContactEntry& entry) const {
    MatchResult result = match_names(entry.search_view());
    if (m_words.size() != 1)
        return result;
    const auto& t = entry.targets;
    const char16_t* text = entry.match_text.data();
    const WString& phone_word = m_phone_words.front();
    for (std::size_t i = k_phone_targets; i < t.size(); ++i) {
        const std::size_t at = phone_match_at(text, t[i], phone_word);
        if (at == WStringView::npos)
            continue;
        const WStringView value = entry.record.fields[t[i].field].value;
        // A match inside begins at its first digit, not at a separator
        // before it; one at the start takes the number's own start ("+").
        std::uint16_t begin = at == 0 ? 0 : written_length(value, at);
        while (at > 0 && begin < value.size() && is_phone_separator(value[begin]))
            ++begin;
        result.phones.push_back(
            {t[i].field, begin,
             static_cast<std::uint16_t>(written_length(value, at + phone_word.size()) - begin)});
    }
    return result;
}

} // namespace telvara::data
