#pragma once
// One entry of the platform's call log as the recent-calls list receives it,
// and the interfaces through which the call log hands its entries over.

#include "platform/text.h"

#include <cstdint>

namespace telvara::data {

enum class CallKind : std::uint32_t {
    Incoming = 0,
    Missed = 1,
    Outgoing = 2,
    Rejected = 3, // turned away by the user while it rang
};

struct CallRecord {
    WString name;       // empty when the log has none
    WString number;     // "Unknown" when the log has none
    WString number_key; // last seven digits, "Unknown" without a number
    WString label;      // empty when delivered; the recents list puts the
                        // label key of the contact's field here ("Mobile")
    CallKind kind = CallKind::Incoming;
    std::int64_t time = 0;     // start, local file time (100 ns units)
    std::int32_t duration = 0; // whole seconds
};

class CallRecordConsumer {
  public:
    virtual ~CallRecordConsumer() = default;
    virtual void on_call_record(const CallRecord& record) = 0;
};

// The call log: delivers every entry, in its own order, to the consumer.
class CallLogSource {
  public:
    virtual ~CallLogSource() = default;
    virtual void read_call_log(CallRecordConsumer& consumer) = 0;
};

} // namespace telvara::data
