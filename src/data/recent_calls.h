#pragma once
// The recent-calls list behind the recents screens: the call log's records in
// the order delivered, each with the contact its number belongs to (matched
// by the last seven digits) and that contact field's label key.

#include "data/call_record.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telvara::data {

class PhoneIndex;

struct RecentCall {
    CallRecord call;
    std::uint32_t key = 0; // packed last seven digits, 0 without digits
    std::uint32_t oid = 0; // the contact, 0 for an unknown number
};

class RecentCalls {
  public:
    // Empties the list and keeps its room.
    void clear() { m_calls.clear(); }
    std::size_t size() const { return m_calls.size(); }
    bool empty() const { return m_calls.empty(); }
    const RecentCall& at(std::size_t i) const { return m_calls.at(i); }
    const std::vector<RecentCall>& calls() const { return m_calls; }

    // Adds at `index` (clamped to the end), matched against the index.
    std::size_t insert(std::size_t index, const CallRecord& record, const PhoneIndex& phones);
    std::size_t append(const CallRecord& record, const PhoneIndex& phones) {
        return insert(m_calls.size(), record, phones);
    }

    // Matches entry i again; true when its contact or label changed.
    bool rematch(std::size_t i, const PhoneIndex& phones);
    // Gives entry i to the contact field (oid 0 clears it); true on a change.
    bool assign(std::size_t i, std::uint32_t oid, WStringView label);

    std::size_t missed_count() const;

  private:
    std::vector<RecentCall> m_calls;
};

} // namespace telvara::data
