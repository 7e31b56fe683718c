#include "data/search_index.h"

#include "data/key_map.h"

namespace telvara::data {

void SearchIndex::clear() {
    m_masks.clear();
    m_text_begin.assign(1, 0);
    m_target_begin.assign(1, 0);
    m_text.clear();
    m_targets.clear();
}

void SearchIndex::reserve(std::size_t contacts, std::size_t characters) {
    m_masks.reserve(contacts);
    m_text_begin.reserve(contacts + 1);
    m_target_begin.reserve(contacts + 1);
    m_text.reserve(characters);
    m_targets.reserve(contacts * 5);
}

void SearchIndex::add(const ContactRow& row, const KeyMap& key_map) {
    SearchMasks masks;
    add_search_target(m_text, m_targets, masks, row.first_name(), TargetKind::Name, 0, key_map);
    add_search_target(m_text, m_targets, masks, row.last_name(), TargetKind::Name, 0, key_map);
    add_search_target(m_text, m_targets, masks, row.company(), TargetKind::Name, 0, key_map);
    std::uint16_t index = 0;
    WString digits;
    row.for_each_number([&](FieldType type, WStringView number) {
        if (is_search_phone(type)) {
            digits.clear();
            for (char16_t c : number)
                if (!is_phone_separator(c))
                    digits.push_back(c);
            add_search_target(m_text, m_targets, masks, digits, TargetKind::Phone, index, key_map);
        }
        ++index;
    });
    // Target offsets count from the contact's own text.
    const std::uint32_t begin = m_text_begin.back();
    for (std::size_t i = m_target_begin.back(); i < m_targets.size(); ++i)
        m_targets[i].offset -= begin;
    m_masks.push_back(masks);
    m_text_begin.push_back(static_cast<std::uint32_t>(m_text.size()));
    m_target_begin.push_back(static_cast<std::uint32_t>(m_targets.size()));
}

void SearchIndex::rebuild(const std::vector<ContactEntry*>& sorted) {
    clear();
    for (const ContactEntry* entry : sorted) {
        m_masks.push_back(entry->masks);
        m_text.insert(m_text.end(), entry->match_text.begin(), entry->match_text.end());
        m_targets.insert(m_targets.end(), entry->targets.begin(), entry->targets.end());
        m_text_begin.push_back(static_cast<std::uint32_t>(m_text.size()));
        m_target_begin.push_back(static_cast<std::uint32_t>(m_targets.size()));
    }
}

SearchView SearchIndex::view(std::size_t position) const {
    SearchView v;
    v.masks = m_masks[position];
    v.text = m_text.data() + m_text_begin[position];
    v.targets = m_targets.data() + m_target_begin[position];
    v.target_count = m_target_begin[position + 1] - m_target_begin[position];
    return v;
}

} // namespace telvara::data
