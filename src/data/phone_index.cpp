#include "data/phone_index.h"

#include "data/contact_entry.h"

#include <algorithm>

namespace telvara::data {

namespace {
constexpr int k_key_digits = 7;

bool before(const PhoneRef& a, const PhoneRef& b) {
    if (a.entry->oid() != b.entry->oid())
        return a.entry->oid() < b.entry->oid();
    return a.field < b.field;
}
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

void PhoneIndex::add(ContactEntry& entry) {
    const auto& fields = entry.record.fields;
    for (std::size_t i = 0; i < fields.size() && i <= 0xFFFF; ++i) {
        if (fields[i].kind != FieldKind::Phone)
            continue;
        std::uint32_t key = packed_number_key(fields[i].value);
        if (key != 0)
            m_map.emplace(key, PhoneRef{&entry, static_cast<std::uint16_t>(i)});
    }
}

void PhoneIndex::remove(const ContactEntry& entry) {
    const auto& fields = entry.record.fields;
    for (std::size_t i = 0; i < fields.size() && i <= 0xFFFF; ++i) {
        if (fields[i].kind != FieldKind::Phone)
            continue;
        std::uint32_t key = packed_number_key(fields[i].value);
        if (key == 0)
            continue;
        auto [it, end] = m_map.equal_range(key);
        while (it != end) {
            if (it->second.entry == &entry && it->second.field == i)
                it = m_map.erase(it);
            else
                ++it;
        }
    }
}

std::vector<PhoneRef> PhoneIndex::find_all(WStringView number) const {
    std::vector<PhoneRef> refs;
    std::uint32_t key = packed_number_key(number);
    if (key == 0)
        return refs;
    auto [it, end] = m_map.equal_range(key);
    for (; it != end; ++it)
        refs.push_back(it->second);
    std::sort(refs.begin(), refs.end(), before);
    return refs;
}

PhoneRef PhoneIndex::find_packed(std::uint32_t key) const {
    PhoneRef best;
    if (key == 0)
        return best;
    auto [it, end] = m_map.equal_range(key);
    for (; it != end; ++it)
        if (best.entry == nullptr || before(it->second, best))
            best = it->second;
    return best;
}

PhoneRef PhoneIndex::find(WStringView number) const {
    return find_packed(packed_number_key(number));
}

} // namespace telvara::data
