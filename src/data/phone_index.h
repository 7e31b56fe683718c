#pragma once
// Caller identification: every phone number of every contact, indexed by its
// last seven digits, so that "+7 (495) 123-45-67" and "1234567" meet.

#include "platform/text.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace telvara::data {

struct ContactEntry;

// The last seven digits of the number in their order, other characters
// dropped (fewer when the number has fewer digits).
WString number_key(WStringView number);

// number_key packed into 32 bits: digit count in the top byte, value below;
// 0 for a number without digits. "0123" and "123" stay apart.
std::uint32_t packed_number_key(WStringView number);

struct PhoneRef {
    ContactEntry* entry = nullptr;
    std::uint16_t field = 0; // index into the record's fields
};

class PhoneIndex {
  public:
    // Indexes every field of kind Phone that has a digit.
    void add(ContactEntry& entry);
    // Removes what add() put in for this entry; the record must not have
    // changed in between.
    void remove(const ContactEntry& entry);
    void clear() { m_map.clear(); }
    void reserve(std::size_t n) { m_map.reserve(n); }

    std::size_t size() const { return m_map.size(); }

    // Every contact field whose number shares the last seven digits, by oid
    // and field order.
    std::vector<PhoneRef> find_all(WStringView number) const;
    // The first of find_all, or an empty ref.
    PhoneRef find(WStringView number) const;
    PhoneRef find_packed(std::uint32_t key) const;

  private:
    std::unordered_multimap<std::uint32_t, PhoneRef> m_map;
};

} // namespace telvara::data
