// The first start's demo contacts and call history.
#include "app/demo_data.h"

#include "data/contact_entry.h"
#include "data/contact_store.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/registry.h"

#include <array>

namespace telvara::app {

namespace {

constexpr char16_t kTelvaraKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";

constexpr std::int64_t kSecond = 10'000'000; // file time units
constexpr std::int64_t kMinute = 60 * kSecond;
constexpr std::int64_t kHour = 60 * kMinute;

// One demo call: how long ago it started, how long it lasted, which contact
// (index into those with a number) or -1 for an unknown number.
struct DemoCall {
    std::int64_t ago;
    std::int64_t length;
    phone::CallDirection direction;
    int contact;
    const char16_t* unknown_number;
};

using phone::CallDirection;

// Newest first, over the last four days.
constexpr std::array<DemoCall, 12> kDemoCalls{{
    {25 * kMinute, 4 * kMinute + 12 * kSecond, CallDirection::Incoming, 0, nullptr},
    {2 * kHour, 0, CallDirection::Missed, 3, nullptr},
    {3 * kHour + 10 * kMinute, 1 * kMinute + 40 * kSecond, CallDirection::Outgoing, 3, nullptr},
    {7 * kHour, 0, CallDirection::Missed, -1, u"+4930901820"},
    {26 * kHour, 12 * kMinute + 5 * kSecond, CallDirection::Outgoing, 1, nullptr},
    {29 * kHour, 35 * kSecond, CallDirection::Incoming, 5, nullptr},
    {31 * kHour, 2 * kMinute, CallDirection::Outgoing, 0, nullptr},
    {50 * kHour, 0, CallDirection::Missed, 7, nullptr},
    {52 * kHour, 6 * kMinute + 30 * kSecond, CallDirection::Incoming, 2, nullptr},
    {74 * kHour, 48 * kSecond, CallDirection::Incoming, -1, u"0800 1234567"},
    {77 * kHour, 3 * kMinute + 3 * kSecond, CallDirection::Outgoing, 9, nullptr},
    {95 * kHour, 9 * kMinute + 51 * kSecond, CallDirection::Incoming, 4, nullptr},
}};

const data::ContactField* first_phone(const data::ContactRecord& record) {
    for (const data::ContactField& field : record.fields)
        if (field.kind == data::FieldKind::Phone && !field.value.empty())
            return &field;
    return nullptr;
}

void log_demo(WStringView text) {
    runtime::log() << platform::tick_count() << u" DemoData: " << text << u"\n";
}

} // namespace

std::vector<phone::CallLogEntry> demo_calls(std::span<const data::ContactRecord> contacts,
                                            std::int64_t now) {
    std::vector<const data::ContactRecord*> callers;
    for (const data::ContactRecord& record : contacts)
        if (first_phone(record) != nullptr)
            callers.push_back(&record);

    std::vector<phone::CallLogEntry> calls;
    calls.reserve(kDemoCalls.size());
    std::size_t unknown = 0;
    for (const DemoCall& demo : kDemoCalls) {
        phone::CallLogEntry entry;
        entry.start = now - demo.ago;
        entry.end = entry.start + demo.length;
        entry.direction = demo.direction;
        if (demo.contact >= 0 && !callers.empty()) {
            const data::ContactRecord& record =
                *callers[static_cast<std::size_t>(demo.contact) % callers.size()];
            entry.number = first_phone(record)->value;
            entry.name = data::display_name(record);
        } else {
            // Without contacts the contact calls come from unknown numbers too.
            entry.number =
                demo.unknown_number != nullptr
                    ? WString(demo.unknown_number)
                    : u"+7495" + to_wstring(static_cast<std::uint32_t>(5550100 + unknown));
            ++unknown;
        }
        calls.push_back(std::move(entry));
    }
    return calls;
}

DemoResult add_demo_data_on_first_start(data::ContactStore& store, phone::CallLog& call_log,
                                        std::int64_t now) {
    DemoResult result;
    std::uint32_t wanted = 1;
    if (runtime::reg_read_dword(kTelvaraKey, kDemoDataValue, wanted) && wanted == 0) {
        result.outcome = DemoOutcome::SwitchedOff;
        return result;
    }
    std::uint32_t done = 0;
    if (runtime::reg_read_dword(kTelvaraKey, kDemoDataAddedValue, done) && done != 0) {
        result.outcome = DemoOutcome::AlreadyDone;
        return result;
    }
    // The settings may have been lost since: the volume remembers too.
    if (store.is_open() && store.has_mark(data::VolumeMark::demo_added)) {
        runtime::reg_write_dword(kTelvaraKey, kDemoDataAddedValue, 1);
        result.outcome = DemoOutcome::AlreadyDone;
        return result;
    }
    if (!store.is_writable() || !call_log.is_writable()) {
        // Nothing is remembered: the next start looks again.
        log_demo(u"the volume cannot be opened");
        result.outcome = DemoOutcome::Failed;
        return result;
    }
    std::vector<data::ContactRecord> existing;
    if (store.load_contacts(existing) != 0 || !call_log.entries().empty()) {
        runtime::reg_write_dword(kTelvaraKey, kDemoDataAddedValue, 1);
        store.set_mark(data::VolumeMark::demo_added);
        result.outcome = DemoOutcome::StoreNotEmpty;
        return result;
    }
    // A volume whose contacts did not read is damaged: nothing goes into it.
    if (!store.is_writable()) {
        log_demo(u"the volume cannot be read");
        result.outcome = DemoOutcome::Failed;
        return result;
    }
    result.contacts = store.add_test_contacts(kDemoContactCount, data::TestPhotos::some);
    if (result.contacts != kDemoContactCount) {
        log_demo(u"the contacts cannot be written");
        result.outcome = DemoOutcome::Failed;
        return result;
    }
    std::vector<data::ContactRecord> contacts;
    store.load_contacts(contacts);
    for (const phone::CallLogEntry& entry : demo_calls(contacts, now))
        if (call_log.add(entry))
            ++result.calls;
    // Remembered even when a call could not be written: the contacts are
    // there, and a second start must not add them again.
    runtime::reg_write_dword(kTelvaraKey, kDemoDataAddedValue, 1);
    store.set_mark(data::VolumeMark::demo_added);
    log_demo(u"added " + to_wstring(static_cast<std::uint32_t>(result.contacts)) +
             u" contacts and " + to_wstring(static_cast<std::uint32_t>(result.calls)) + u" calls");
    result.outcome = DemoOutcome::Added;
    return result;
}

} // namespace telvara::app
