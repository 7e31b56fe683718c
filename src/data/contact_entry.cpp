#include "data/contact_entry.h"

#include "data/key_map.h"
#include "data/text_case.h"

#include <algorithm>

namespace telvara::data {

std::array<WString, 3> make_sort_keys(const ContactRecord& r) {
    std::array<WString, 3> k;
    if (!r.first_name.empty() || !r.last_name.empty()) {
        if (!r.first_name.empty()) {
            k[0] = to_lower(r.first_name);
            k[1] = r.last_name.empty() ? k[0] : to_lower(r.last_name);
        } else {
            k[0] = to_lower(r.last_name);
            k[1] = k[0];
        }
        if (!r.company.empty()) {
            k[2] = to_lower(r.company);
        } else {
            k[2].reserve(k[0].size() + k[1].size());
            k[2] = k[0];
            k[2] += k[1];
        }
    } else if (!r.company.empty()) {
        k[0] = to_lower(r.company);
        k[1] = k[0];
        k[2] = k[0];
    }
    return k;
}

bool is_search_phone(FieldType type) {
    return kind_of(type) == FieldKind::Phone;
}

bool is_phone_separator(char16_t c) {
    switch (c) {
    case u' ':
    case u'\u00A0': // no-break space
    case u'-':
    case u'\u2010': // hyphen
    case u'\u2011': // no-break hyphen
    case u'\u2012': // figure dash
    case u'\u2013': // en dash
    case u'(':
    case u')':
    case u'.':
    case u'/':
    case u'+':
        return true;
    default:
        return false;
    }
}

WString without_phone_separators(WStringView text) {
    WString kept;
    kept.reserve(text.size());
    for (char16_t c : text)
        if (!is_phone_separator(c))
            kept.push_back(c);
    return kept;
}

template <class Text>
void add_search_target(Text& text, std::vector<MatchSpan>& targets, SearchMasks& masks,
                       WStringView value, TargetKind kind, std::uint16_t field,
                       const KeyMap& key_map) {
    // Longer texts cannot be told apart by a typed prefix anyway.
    const std::size_t length = std::min<std::size_t>(value.size(), 0xFFFF);
    MatchSpan span;
    span.offset = static_cast<std::uint32_t>(text.size());
    span.length = static_cast<std::uint16_t>(length);
    span.field = field;
    const std::size_t lower_at = text.size();
    // Sized once and written through a pointer: the start-up load runs this
    // for every name and number of every contact.
    text.resize(lower_at + 2 * length);
    char16_t* lower = text.data() + lower_at;
    char16_t* keys = lower + length;
    for (std::size_t i = 0; i < length; ++i) {
        lower[i] = to_lower(value[i]);
        keys[i] = key_map.key_of(lower[i]);
    }
    if (length > 0) {
        const std::uint64_t start = lead_bit(lower[0]) | lead_bit(keys[0]);
        masks.starts |= start;
        if (kind == TargetKind::Phone) {
            for (std::size_t i = 0; i < length; ++i)
                masks.leads |= lead_bit(lower[i]);
            masks.phone_digits.add({lower, length});
        } else {
            masks.leads |= start;
        }
    }
    if (length > 1) {
        masks.start_pairs |= pair_bit(lower[0], lower[1]) | pair_bit(lower[0], keys[1]) |
                             pair_bit(keys[0], lower[1]) | pair_bit(keys[0], keys[1]);
        for (char16_t first : {lower[0], keys[0]})
            for (char16_t second : {lower[1], keys[1]})
                DigitMasks::set_pair(masks.start_digit_pairs, first, second);
    }
    targets.push_back(span);
}

template void add_search_target<WString>(WString&, std::vector<MatchSpan>&, SearchMasks&,
                                         WStringView, TargetKind, std::uint16_t, const KeyMap&);
template void add_search_target<std::vector<char16_t>>(std::vector<char16_t>&,
                                                       std::vector<MatchSpan>&, SearchMasks&,
                                                       WStringView, TargetKind, std::uint16_t,
                                                       const KeyMap&);

void DigitMasks::add(WStringView text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < u'0' || c > u'9')
            continue;
        digits |= static_cast<std::uint16_t>(1u << (c - u'0'));
        if (i + 1 < text.size())
            set_pair(pairs, c, text[i + 1]);
    }
}

void prepare_entry(ContactEntry& entry, const KeyMap& key_map) {
    const ContactRecord& r = entry.record;
    entry.sort_keys = make_sort_keys(r);
    entry.match_text.clear();
    entry.targets.clear();
    entry.masks = {};
    std::size_t total = r.first_name.size() + r.last_name.size() + r.company.size();
    std::size_t phones = 0;
    for (const ContactField& f : r.fields)
        if (is_search_phone(f.type)) {
            total += f.value.size();
            ++phones;
        }
    entry.match_text.reserve(2 * total);
    entry.targets.reserve(k_phone_targets + phones);
    auto add = [&](WStringView value, TargetKind kind, std::uint16_t field) {
        add_search_target(entry.match_text, entry.targets, entry.masks, value, kind, field,
                          key_map);
    };
    add(r.first_name, TargetKind::Name, 0);
    add(r.last_name, TargetKind::Name, 0);
    add(r.company, TargetKind::Name, 0);
    for (std::size_t i = 0; i < r.fields.size() && i <= 0xFFFF; ++i)
        if (is_search_phone(r.fields[i].type))
            add(without_phone_separators(r.fields[i].value), TargetKind::Phone,
                static_cast<std::uint16_t>(i));
    entry.match_text.shrink_to_fit();
}

WString display_name(const ContactRecord& r) {
    if (!r.first_name.empty() && !r.last_name.empty()) {
        WString name;
        name.reserve(r.first_name.size() + 1 + r.last_name.size());
        name = r.first_name;
        name += u' ';
        name += r.last_name;
        return name;
    }
    if (!r.first_name.empty())
        return r.first_name;
    if (!r.last_name.empty())
        return r.last_name;
    return r.company;
}

} // namespace telvara::data
