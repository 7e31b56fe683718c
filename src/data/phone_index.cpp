#include "data/phone_index.h"

#include "data/contact_row.h"

#include <algorithm>

namespace telvara::data {

namespace {
constexpr int k_key_digits = 7;
} // namespace

WString number_key(WStringView number) {
    WString key;
    int digits = 0;
    std::size_t from = number.size();
    while (from > 0 && digits < k_key_digits) {
        --from;
        if (number[from] >= u'0' && number[from] <= u'9')
            ++digits;
    }
    key.reserve(static_cast<std::size_t>(digits));
    for (std::size_t i = from; i < number.size(); ++i)
        if (number[i] >= u'0' && number[i] <= u'9')
            key.push_back(number[i]);
    return key;
}

std::uint32_t packed_number_key(WStringView number) {
    std::uint32_t value = 0;
    std::uint32_t scale = 1;
    std::uint32_t digits = 0;
    for (std::size_t i = number.size(); i > 0 && digits < k_key_digits; --i) {
        char16_t c = number[i - 1];
        if (c >= u'0' && c <= u'9') {
            value += static_cast<std::uint32_t>(c - u'0') * scale;
            scale *= 10;
            ++digits;
        }
    }
    return digits == 0 ? 0 : (digits << 24) | value;
}

template <class F> void PhoneIndex::each_item(const ContactRow& row, F&& f) {
    row.for_each_number([&](FieldType type, WStringView number) {
        if (kind_of(type) != FieldKind::Phone)
            return;
        if (const std::uint32_t key = packed_number_key(number))
            f(Item{key, row.oid, type});
    });
}

void PhoneIndex::append(const ContactRow& row) {
    each_item(row, [this](const Item& item) { m_items.push_back(item); });
}

void PhoneIndex::sort() {
    std::sort(m_items.begin(), m_items.end());
}

void PhoneIndex::add(const ContactRow& row) {
    each_item(row, [this](const Item& item) {
        m_items.insert(std::upper_bound(m_items.begin(), m_items.end(), item), item);
    });
}

void PhoneIndex::remove(std::uint32_t oid) {
    std::erase_if(m_items, [oid](const Item& item) { return item.oid == oid; });
}

std::vector<NumberOwner> PhoneIndex::find_all(WStringView number) const {
    std::vector<NumberOwner> owners;
    const std::uint32_t key = packed_number_key(number);
    if (key == 0)
        return owners;
    auto it = std::lower_bound(m_items.begin(), m_items.end(), Item{key, 0, FieldType::Mobile});
    for (; it != m_items.end() && it->key == key; ++it)
        owners.push_back({it->oid, it->type});
    return owners;
}

NumberOwner PhoneIndex::find_packed(std::uint32_t key) const {
    if (key == 0)
        return {};
    auto it = std::lower_bound(m_items.begin(), m_items.end(), Item{key, 0, FieldType::Mobile});
    if (it == m_items.end() || it->key != key)
        return {};
    return {it->oid, it->type};
}

NumberOwner PhoneIndex::find(WStringView number) const {
    return find_packed(packed_number_key(number));
}

} // namespace telvara::data
