#pragma once
// The demo phone of a first start: when the contact store is empty the first
// time the program runs, it gets generated contacts (some with photos) and a
// short call history, so that a new user sees a living phone. Remembered in
// the settings and in the volume itself (VolumeMark::demo_added), so a user
// who deletes everything does not get it back, even after the settings were
// lost.
//
// Settings (DWORDs under HKEY_CURRENT_USER\Software\KELMA\Telvara):
//   "DemoData"       0: never add the demo (tests that need an empty phone)
//   "DemoDataAdded"  1 once the first start has looked (whether it added the
//                    demo or found contacts already there)

#include "phone/call_log.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace telvara::data {
class ContactStore;
struct ContactRecord;
} // namespace telvara::data

namespace telvara::app {

inline constexpr char16_t kDemoDataValue[] = u"DemoData";
inline constexpr char16_t kDemoDataAddedValue[] = u"DemoDataAdded";
inline constexpr std::size_t kDemoContactCount = 40;

enum class DemoOutcome {
    Added,         // contacts and calls written
    StoreNotEmpty, // the first start found contacts: nothing added
    AlreadyDone,   // not the first start
    SwitchedOff,   // "DemoData" is 0
    Failed,        // the store or the log could not be read or written (tried again next start)
};

struct DemoResult {
    DemoOutcome outcome = DemoOutcome::AlreadyDone;
    std::size_t contacts = 0;
    std::size_t calls = 0;
};

// Adds the demo on the first start with an empty, open store. `now` is the
// current time as a UTC file time; the calls lie in the days before it.
DemoResult add_demo_data_on_first_start(data::ContactStore& store, phone::CallLog& call_log,
                                        std::int64_t now);

// The demo call history: a dozen incoming, outgoing and missed calls spread
// over the last days, newest first, most from the given contacts' numbers
// (with their names), two from unknown numbers. Contacts without a phone
// number are passed over; with none at all, only unknown numbers are used.
std::vector<phone::CallLogEntry> demo_calls(std::span<const data::ContactRecord> contacts,
                                            std::int64_t now);

} // namespace telvara::app
