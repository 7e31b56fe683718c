#pragma once
// The search over contacts: the typed text split into words, and the test
// whether an entry answers every word by key (first name, last name, the
// main phones, the company), with the matched lengths for highlighting.

#include "data/contact_entry.h"
#include "platform/text.h"

#include <cstdint>
#include <vector>

namespace telvara::data {

class KeyMap;

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
    explicit ContactFilter(const KeyMap& key_map) : m_key_map(&key_map) {}

    void set_words(std::vector<WString> words);
    const std::vector<WString>& words() const { return m_words; }
    bool empty() const { return m_words.empty(); }

    // Each word in turn tries the first name, then the last name (each
    // while it has not taken a word); failing both, the phones (one target
    // together; a number matches the word at its start or anywhere inside)
    // and, independently, the company. Every word must be taken by some
    // target.
    MatchTier rank(const SearchView& view) const;
    bool passes(const SearchView& view) const { return rank(view) != MatchTier::None; }
    bool passes(const ContactEntry& entry) const { return passes(entry.search_view()); }
    MatchResult match(const ContactEntry& entry) const;
    // The names' matched lengths of one contact in an index (no phones).
    MatchResult match_names(const SearchView& view) const;

  private:
    bool word_matches(const char16_t* text, const MatchSpan& span, WStringView word) const;
    // Where the word matches inside the phone target, or npos.
    std::size_t phone_match_at(const char16_t* text, const MatchSpan& span, WStringView word) const;

    const KeyMap* m_key_map;
    std::vector<WString> m_words;
    // Each word as the phone targets see it: separators left out. A word of
    // separators only keeps its text, which no phone target can match.
    std::vector<WString> m_phone_words;
    // The lead bits of every word's first character: an entry lacking any
    // of them cannot pass.
    std::uint64_t m_needed_leads = 0;
};

} // namespace telvara::data
