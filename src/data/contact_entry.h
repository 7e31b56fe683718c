#pragma once
// One contact as the Document holds it: the record plus everything sorting
// and searching need, prepared once per change so that a keystroke or a
// re-sort only compares ready-made lower-case text.

#include "data/contact_record.h"

#include <array>
#include <cstdint>
#include <vector>

namespace telvara::data {

class KeyMap;

// A search target inside ContactEntry::match_text: `length` lower-case
// characters at `offset`, followed by the same number of key characters
// (the dialer key each character is on).
struct MatchSpan {
    std::uint32_t offset = 0;
    std::uint16_t length = 0;
    std::uint16_t field = 0; // index into record.fields (phone targets only)
};

// Targets 0, 1 and 2 are first name, last name and company; the phones
// (every field of kind Phone) follow, their separators left out.
inline constexpr std::size_t k_first_target = 0;
inline constexpr std::size_t k_last_target = 1;
inline constexpr std::size_t k_company_target = 2;
inline constexpr std::size_t k_phone_targets = 3;

// Which digits, and which pairs of digits in a row, occur in the phones of
// a contact: typed digits found nowhere there cannot match inside a number,
// which spares most contacts the search through their numbers.
struct DigitMasks {
    std::uint16_t digits = 0;
    std::array<std::uint64_t, 2> pairs{}; // bit 10 * first + second

    void add(WStringView digits_text);
    // Bit 10 * first + second of a pair set.
    static bool has_pair(const std::array<std::uint64_t, 2>& pairs, unsigned pair) {
        return (pairs[pair / 64] >> (pair % 64) & 1u) != 0;
    }
    static void set_pair(std::array<std::uint64_t, 2>& pairs, char16_t first, char16_t second) {
        if (first < u'0' || first > u'9' || second < u'0' || second > u'9')
            return;
        const unsigned pair = 10u * (first - u'0') + (second - u'0');
        pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
    }
    // Whether every digit and pair of `needed` occurs here too.
    bool holds(const DigitMasks& needed) const {
        return (digits & needed.digits) == needed.digits &&
               (pairs[0] & needed.pairs[0]) == needed.pairs[0] &&
               (pairs[1] & needed.pairs[1]) == needed.pairs[1];
    }
};

// Facts about the targets of one contact that rule most contacts out of a
// search before their text is read.
struct SearchMasks {
    // One bit (lead_bit) per first character of every name, lower case and
    // key, and per character of every phone: a word whose first character
    // has no bit here cannot match.
    std::uint64_t leads = 0;
    // lead_bit of the first character of every target (lower case and key):
    // a word of one character starts some target only when its bit is here.
    std::uint64_t starts = 0;
    // pair_bit of the first two characters of every target (each lower case
    // or key): a longer word starts some target only when its bit is here.
    std::uint64_t start_pairs = 0;
    // Every pair of digits a target starts with, each as written or as its
    // key (bit 10 * first + second): exactly the two-digit words that start
    // some target.
    std::array<std::uint64_t, 2> start_digit_pairs{};
    DigitMasks phone_digits;
};

// What the filter reads of one contact: the masks, the match text and its
// targets. Points either into a ContactEntry or into the SearchIndex.
struct SearchView {
    SearchMasks masks;
    const char16_t* text = nullptr;
    const MatchSpan* targets = nullptr;
    std::uint32_t target_count = 0;
};

struct ContactEntry {
    SearchMasks masks;
    ContactRecord record;
    std::array<WString, 3> sort_keys; // K1, K2, K3, lower case
    WString match_text;
    std::vector<MatchSpan> targets;
    // The values this contact has in the favourites list.
    std::vector<std::int32_t> favorite_values;

    std::uint32_t oid() const { return record.oid; }

    SearchView search_view() const {
        return {masks, match_text.data(), targets.data(),
                static_cast<std::uint32_t>(targets.size())};
    }
};

// Sort keys from the names: the first name leads K1 when set, else the last
// name; a company-only contact sorts by the company in all three keys.
std::array<WString, 3> make_sort_keys(const ContactRecord& record);

// Digits, what the dialer types, own bits 0-9 so a typed digit is told
// exactly; every other character shares one of the remaining 54 bits.
inline std::uint64_t lead_bit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return std::uint64_t{1} << (c - u'0');
    return std::uint64_t{1} << (10 + c % 54);
}

// One of 64 bits for two characters in a row.
inline std::uint64_t pair_bit(char16_t first, char16_t second) {
    const std::uint32_t mixed = (std::uint32_t{first} * 0x10001u + second) * 0x9E3779B1u;
    return std::uint64_t{1} << (mixed >> 26);
}

// Appends one search target to `text` and `targets`: the lower-cased text,
// then its key characters; and adds it to the masks (a phone, written
// without separators, sets the lead bits of every character in it, as
// typed digits may match anywhere in a number, and its digits).
enum class TargetKind { Name, Phone };
template <class Text>
void add_search_target(Text& text, std::vector<MatchSpan>& targets, SearchMasks& masks,
                       WStringView value, TargetKind kind, std::uint16_t field,
                       const KeyMap& key_map);

// Fills sort keys and search targets from entry.record.
void prepare_entry(ContactEntry& entry, const KeyMap& key_map);

// First and last name with a space when both are set, the one that is set
// otherwise, the company when neither is.
WString display_name(const ContactRecord& record);

// Does the field take part in the dialer search (every field of kind Phone)?
bool is_search_phone(FieldType type);

// Characters people write between the digits of a number ("+1 (555) 010-0100"):
// phone targets are searched without them, so the digits typed on the dialer
// find the number however it was written.
bool is_phone_separator(char16_t c);
WString without_phone_separators(WStringView text);

} // namespace telvara::data
