// The first start's demo phone: once, only into an empty store, remembered by the volume
// too. "DemoData" 0, which switches it off, is what every end-to-end run starts with.
#include "app/demo_data.h"
#include "data/contact_store.h"
#include "data/test_contacts.h"
#include "runtime/device_root_fixture.h"
#include "runtime/registry.h"
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
namespace telvara::test_support {
namespace {
using app::DemoOutcome;
using phone::CallDirection;
constexpr char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
constexpr std::int64_t kNow = 134'000'000'000'000'000; // a file time in 2025
class DemoDataTest : public DeviceRootTest {
  protected:
    std::uint32_t added_flag() {
        std::uint32_t value = 0;
        runtime::reg_read_dword(kKey, app::kDemoDataAddedValue, value);
        return value;
    }
    DemoOutcome add(data::ContactStore& store, phone::CallLog& log) {
        return app::add_demo_data_on_first_start(store, log, kNow).outcome;
    }
};
// Erased by the user, it never comes back, even when the settings are lost.
TEST_F(DemoDataTest, FirstStartFillsAnEmptyPhoneOnceAndNeverAgain) {
    data::ContactStore store;
    phone::CallLog log;
    const app::DemoResult first = app::add_demo_data_on_first_start(store, log, kNow);
    EXPECT_EQ(first.outcome, DemoOutcome::Added);
    EXPECT_EQ(std::pair(first.contacts, first.calls), std::pair(app::kDemoContactCount, 12ul));
    std::vector<data::ContactRecord> records;
    EXPECT_EQ(store.load_contacts(records), app::kDemoContactCount);
    EXPECT_EQ(log.entries().size(), 12u);
    std::set<CallDirection> kinds;
    for (const auto& call : log.entries())
        kinds.insert(call.direction);
    EXPECT_EQ(kinds.size(), 3u) << "answered, missed and outgoing";
    EXPECT_EQ(added_flag(), 1u);
    const auto photos = std::count_if(records.begin(), records.end(),
                                      [&](const auto& r) { return store.has_picture(r.oid); });
    EXPECT_GT(photos, 0);
    EXPECT_LT(std::size_t(photos), records.size());
    store.erase_contacts(data::EraseScope::all);
    for (const auto& entry : log.entries()) {
        const data::CallRecord shown = phone::to_call_record(entry);
        log.delete_matching(phone::CallLogKey{shown.number, shown.time});
    }
    ASSERT_EQ(log.entries().size(), 0u);
    EXPECT_EQ(add(store, log), DemoOutcome::AlreadyDone);
    runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
    EXPECT_EQ(add(store, log), DemoOutcome::AlreadyDone) << "the volume remembers";
    EXPECT_EQ(added_flag(), 1u) << "the setting is written again";
    EXPECT_EQ(store.load_contacts(records), 0u);
    EXPECT_EQ(log.entries().size(), 0u);
}
// A contact or a call history alone is the user's data: no demo joins it, ever.
TEST_F(DemoDataTest, ExistingContactsOrCallsAreNeverJoinedByTheDemo) {
    for (bool contact : {true, false}) {
        SCOPED_TRACE(contact ? "a contact" : "a call");
        const std::string file = root() + (contact ? "/contact.vol" : "/call.vol");
        data::ContactStore own(file);
        phone::CallLog own_log(file);
        data::ContactRecord record = data::make_test_contact(3);
        const phone::CallLogEntry call{kNow - 1000, kNow, CallDirection::Incoming, u"+4930111", {}};
        ASSERT_TRUE(contact ? own.create_contact(record) : own_log.add(call));
        runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
        EXPECT_EQ(add(own, own_log), DemoOutcome::StoreNotEmpty);
        std::vector<data::ContactRecord> records;
        EXPECT_EQ(own.load_contacts(records), contact ? 1u : 0u);
        EXPECT_EQ(own_log.entries().size(), contact ? 0u : 1u);
        EXPECT_EQ(added_flag(), 1u) << "deleting that data later must not bring the demo";
        if (contact) {
            own.erase_contacts(data::EraseScope::all);
            runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
            EXPECT_EQ(add(own, own_log), DemoOutcome::AlreadyDone) << "the volume remembers";
        }
    }
}
// A folder where the volume should be, or one whose contacts do not read (pages
// cut off): no demo written into it, and the next start looks again.
TEST_F(DemoDataTest, AVolumeThatCannotBeReadGetsNoDemoAndIsTriedAgain) {
    const std::string folder = root() + "/folder.vol", cut = root() + "/cut.vol";
    std::filesystem::create_directories(folder);
    ASSERT_EQ(data::ContactStore(cut).add_test_contacts(3000), 3000u);
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    const auto size = std::filesystem::file_size(cut);
    for (const std::string& file : {folder, cut}) {
        data::ContactStore store(file);
        phone::CallLog log(file);
        EXPECT_EQ(add(store, log), DemoOutcome::Failed) << file;
        EXPECT_EQ(added_flag(), 0u);
    }
    EXPECT_EQ(std::filesystem::file_size(cut), size) << "never written to";
    data::ContactStore store;
    phone::CallLog log;
    EXPECT_EQ(add(store, log), DemoOutcome::Added);
}
} // namespace
} // namespace telvara::test_support
