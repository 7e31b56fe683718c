#include "data/search_index.h"

namespace telvara::data {

void SearchIndex::clear() {
    m_masks.clear();
    m_text_begin.clear();
    m_target_begin.clear();
    m_text.clear();
    m_targets.clear();
}

void SearchIndex::rebuild(const std::vector<ContactEntry*>& sorted) {
    clear();
    std::size_t text_size = 0;
    std::size_t target_count = 0;
    for (const ContactEntry* entry : sorted) {
        text_size += entry->match_text.size();
        target_count += entry->targets.size();
    }
    m_masks.reserve(sorted.size());
    m_text_begin.reserve(sorted.size() + 1);
    m_target_begin.reserve(sorted.size() + 1);
    m_text.reserve(text_size);
    m_targets.reserve(target_count);
    for (const ContactEntry* entry : sorted) {
        m_masks.push_back(entry->lead_mask);
        m_text_begin.push_back(static_cast<std::uint32_t>(m_text.size()));
        m_target_begin.push_back(static_cast<std::uint32_t>(m_targets.size()));
        m_text.insert(m_text.end(), entry->match_text.begin(), entry->match_text.end());
        m_targets.insert(m_targets.end(), entry->targets.begin(), entry->targets.end());
    }
    m_text_begin.push_back(static_cast<std::uint32_t>(m_text.size()));
    m_target_begin.push_back(static_cast<std::uint32_t>(m_targets.size()));
}

SearchView SearchIndex::view(std::size_t position) const {
    SearchView v;
    v.lead_mask = m_masks[position];
    v.text = m_text.data() + m_text_begin[position];
    v.targets = m_targets.data() + m_target_begin[position];
    v.target_count = m_target_begin[position + 1] - m_target_begin[position];
    return v;
}

} // namespace telvara::data
