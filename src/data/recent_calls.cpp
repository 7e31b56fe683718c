#include "data/recent_calls.h"

#include "data/phone_index.h"

#include <algorithm>

namespace telvara::data {

std::size_t RecentCalls::insert(std::size_t index, const CallRecord& record,
                                const PhoneIndex& phones) {
    index = std::min(index, m_calls.size());
    RecentCall call;
    call.call = record;
    call.call.label.clear();
    call.key = packed_number_key(record.number);
    m_calls.insert(m_calls.begin() + static_cast<std::ptrdiff_t>(index), std::move(call));
    rematch(index, phones);
    return index;
}

bool RecentCalls::rematch(std::size_t i, const PhoneIndex& phones) {
    const NumberOwner owner = phones.find_packed(m_calls.at(i).key);
    if (owner.oid == 0)
        return assign(i, 0, {});
    return assign(i, owner.oid, field_type_name(owner.type));
}

bool RecentCalls::assign(std::size_t i, std::uint32_t oid, WStringView label) {
    RecentCall& call = m_calls.at(i);
    if (call.oid == oid && call.call.label == label)
        return false;
    call.oid = oid;
    call.call.label.assign(label);
    return true;
}

std::size_t RecentCalls::missed_count() const {
    return static_cast<std::size_t>(
        std::count_if(m_calls.begin(), m_calls.end(),
                      [](const auto& c) { return c.call.kind == CallKind::Missed; }));
}

} // namespace telvara::data
