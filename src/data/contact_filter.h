#pragma once
// The search over contacts: the typed text split into words, and the test
// whether an entry answers every word by key (first name, last name, the
// main phones, the company), with the matched lengths for highlighting.

#include "data/contact_entry.h"
#include "data/key_map.h"
#include "platform/text.h"

#include <cstdint>
#include <vector>

namespace telvara::data {

// Leading spaces are skipped; every piece that ends at a space is a word
// (an empty one between two spaces too); the rest after the last space is a
// word when not empty. Words are lower-cased.
std::vector<WString> split_filter_words(WStringView text);

// Does `next` only narrow `previous` (same words, the last one extended or
// more words added), so that filtering the previous result is enough?
bool narrows(const std::vector<WString>& previous, const std::vector<WString>& next);

struct PhoneMatch {
    std::uint16_t field = 0; // index into record.fields
    // Of the field's value as written, separators inside the match included.
    std::uint16_t start = 0;
    std::uint16_t length = 0;
};

// How an entry answers the words: not at all, every word at the start of a
// name or number, or some word of digits inside a number. Prefix matches
// are listed first.
enum class MatchTier : std::uint8_t { None, Prefix, Inside };

// Matched prefix lengths per target; reported only for a one-word filter.
struct MatchResult {
    bool passes = false;
    std::uint16_t first_name = 0;
    std::uint16_t last_name = 0;
    std::uint16_t company = 0;
    std::vector<PhoneMatch> phones;
};

class ContactFilter {
  public:
    explicit ContactFilter(const KeyMap& key_map)
        : m_key_map(&key_map), m_unambiguous(key_map.unambiguous()) {}

    void set_words(std::vector<WString> words);
    const std::vector<WString>& words() const { return m_words; }
    bool empty() const { return m_words.empty(); }

    // Each word in turn tries the first name, then the last name (each
    // while it has not taken a word); failing both, the phones (one target
    // together; a number matches the word at its start or anywhere inside)
    // and, independently, the company. Every word must be taken by some
    // target.
    MatchTier rank(const SearchView& view) const;
    // False when the masks alone rule the contact out (cheap: its text is
    // not read).
    bool may_pass(const SearchMasks& masks) const;
    bool passes(const SearchView& view) const { return rank(view) != MatchTier::None; }
    bool passes(const ContactEntry& entry) const { return passes(entry.search_view()); }
    MatchResult match(const ContactEntry& entry) const;
    // The names' matched lengths of one contact in an index (no phones).
    MatchResult match_names(const SearchView& view) const;

  private:
    // Inline: it runs for every target of every contact on each keystroke.
    bool word_matches(const char16_t* text, const MatchSpan& span, WStringView word) const {
        if (span.length < word.size())
            return false;
        const char16_t* lower = text + span.offset;
        if (m_unambiguous) {
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
    // Where the word matches inside the phone target, or npos.
    std::size_t phone_match_at(const char16_t* text, const MatchSpan& span, WStringView word) const;

    const KeyMap* m_key_map;
    bool m_unambiguous = true;
    std::vector<WString> m_words;
    // Each word as the phone targets see it: separators left out. A word of
    // separators only keeps its text, which no phone target can match.
    std::vector<WString> m_phone_words;
    // The lead bits of every word's first character: an entry lacking any
    // of them cannot pass.
    std::uint64_t m_needed_leads = 0;
    // Per word: what a contact's masks must show for the word to match.
    struct WordCheck {
        bool empty = false;            // matches every target
        std::uint64_t starts = 0;      // a target starting with the word (one character)
        std::uint64_t start_pairs = 0; // or with its first two characters
        bool all_digits = false;       // only digits: may match inside a number
        DigitMasks digits;             // the digits and pairs a number must then hold
    };
    std::vector<WordCheck> m_checks;
    // One word of one digit, or of two: the masks alone rank a contact.
    bool m_single_digit = false;
    bool m_two_digits = false;
    unsigned m_digit_pair = 0; // 10 * first + second, for m_two_digits
};

} // namespace telvara::data
