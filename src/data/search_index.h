#pragma once
// The search data of every contact copied into a few flat arrays in sort
// order, so that a keystroke walks memory front to back instead of chasing
// one heap block per contact. It is a snapshot: the Document rebuilds it
// after the sorted list changes and before the next search.

#include "data/contact_entry.h"
#include "data/contact_row.h"

#include <cstdint>
#include <vector>

namespace telvara::data {

class KeyMap;

class SearchIndex {
  public:
    void clear();
    void reserve(std::size_t contacts, std::size_t characters);
    // Appends the search data of one contact (its names and phones) at the
    // next position.
    void add(const ContactRow& row, const KeyMap& key_map);
    // Copies the search data of `sorted`, position by position.
    void rebuild(const std::vector<ContactEntry*>& sorted);

    std::size_t size() const { return m_masks.size(); }
    const SearchMasks& masks(std::size_t position) const { return m_masks[position]; }
    SearchView view(std::size_t position) const;

  private:
    std::vector<SearchMasks> m_masks;
    // Where each position's text and targets begin; one extra element at
    // the end so that position + 1 always gives the end.
    std::vector<std::uint32_t> m_text_begin{0};
    std::vector<std::uint32_t> m_target_begin{0};
    std::vector<char16_t> m_text;
    std::vector<MatchSpan> m_targets;
};

} // namespace telvara::data
