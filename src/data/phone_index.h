#pragma once
// Caller identification: every phone number of every contact, indexed by its
// last seven digits, so that "+7 (495) 123-45-67" and "1234567" meet. One
// sorted array of small items: 100,000 contacts cost a few megabytes.

#include "data/contact_record.h"
#include "platform/text.h"

#include <cstdint>
#include <vector>

namespace telvara::data {

struct ContactEntry;
struct ContactRow;

// The last seven digits of the number in their order, other characters
// dropped (fewer when the number has fewer digits).
WString number_key(WStringView number);

// number_key packed into 32 bits: digit count in the top byte, value below;
// 0 for a number without digits. "0123" and "123" stay apart.
std::uint32_t packed_number_key(WStringView number);

// A contact's field, as the screens receive it.
struct PhoneRef {
    ContactEntry* entry = nullptr;
    std::uint16_t field = 0; // index into the record's fields
};

// Whose number it is: the contact and the field type; oid 0 for nobody.
struct NumberOwner {
    std::uint32_t oid = 0;
    FieldType type = FieldType::Unknown;
};

class PhoneIndex {
  public:
    // Indexes every phone (kind Phone) of the row that has a digit.
    void add(const ContactRow& row);
    // Adds without keeping the order: for loading, followed by sort().
    void append(const ContactRow& row);
    void sort();
    // Removes every number of the contact.
    void remove(std::uint32_t oid);
    void clear() { m_items.clear(); }
    void reserve(std::size_t n) { m_items.reserve(n); }

    std::size_t size() const { return m_items.size(); }

    // Every contact field whose number shares the last seven digits, by oid
    // and field order.
    std::vector<NumberOwner> find_all(WStringView number) const;
    // The first of find_all, or nobody.
    NumberOwner find(WStringView number) const;
    NumberOwner find_packed(std::uint32_t key) const;

  private:
    struct Item {
        std::uint32_t key = 0;
        std::uint32_t oid = 0;
        FieldType type = FieldType::Unknown;
        friend bool operator<(const Item& a, const Item& b) {
            if (a.key != b.key)
                return a.key < b.key;
            if (a.oid != b.oid)
                return a.oid < b.oid;
            return a.type < b.type;
        }
    };
    template <class F> static void each_item(const ContactRow& row, F&& f);

    std::vector<Item> m_items;
};

} // namespace telvara::data
