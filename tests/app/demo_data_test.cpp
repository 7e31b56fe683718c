// The first start's demo phone: once, only into an empty store, switched off by "DemoData" 0.
#include "app/demo_data.h"
#include "data/contact_store.h"
#include "data/test_contacts.h"
#include "runtime/device_root_fixture.h"
#include "runtime/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace telvara::test_support {
namespace {

using app::DemoOutcome;
using phone::CallDirection;

constexpr char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
constexpr std::int64_t kNow = 134'000'000'000'000'000; // a file time in 2025
constexpr std::int64_t kDay = 24LL * 3600 * 10'000'000;

class DemoDataTest : public DeviceRootTest {
  protected:
    // The volume of the test's own device root.
    void SetUp() override {
        DeviceRootTest::SetUp();
        m_store = std::make_unique<data::ContactStore>();
        m_log = std::make_unique<phone::CallLog>();
    }
    void TearDown() override {
        m_log.reset();
        m_store.reset();
        DeviceRootTest::TearDown();
    }
    std::size_t contact_count() {
        std::vector<data::ContactRecord> records;
        return store().load_contacts(records);
    }
    std::uint32_t added_flag() {
        std::uint32_t value = 0;
        runtime::reg_read_dword(kKey, app::kDemoDataAddedValue, value);
        return value;
    }
    std::unique_ptr<data::ContactStore> m_store;
    std::unique_ptr<phone::CallLog> m_log;
    data::ContactStore& store() { return *m_store; }
    phone::CallLog& log() { return *m_log; }
};

TEST_F(DemoDataTest, FirstStartFillsAnEmptyPhoneOnceAndNeverAgainAfterErase) {
    const app::DemoResult first = app::add_demo_data_on_first_start(store(), log(), kNow);
    EXPECT_EQ(first.outcome, DemoOutcome::Added);
    EXPECT_EQ(first.contacts, app::kDemoContactCount);
    EXPECT_EQ(first.calls, 12u);
    EXPECT_EQ(contact_count(), app::kDemoContactCount);
    EXPECT_EQ(log().entries().size(), 12u);
    EXPECT_EQ(added_flag(), 1u);
    std::size_t photos = 0;
    std::vector<data::ContactRecord> records;
    store().load_contacts(records);
    for (const auto& record : records)
        photos += store().has_picture(record.oid) ? 1 : 0;
    EXPECT_GT(photos, 0u);
    EXPECT_LT(photos, records.size());
    // The user deletes everything: the next start leaves the phone empty.
    store().erase_contacts(data::EraseScope::all);
    for (const auto& entry : log().entries()) {
        const data::CallRecord shown = phone::to_call_record(entry);
        log().delete_matching(phone::CallLogKey{shown.number, shown.time});
    }
    ASSERT_EQ(log().entries().size(), 0u);
    EXPECT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome,
              DemoOutcome::AlreadyDone);
    EXPECT_EQ(contact_count(), 0u);
    EXPECT_EQ(log().entries().size(), 0u);
}

TEST_F(DemoDataTest, SwitchedOffLeavesThePhoneEmptyAndRemembersNothing) {
    runtime::reg_write_dword(kKey, app::kDemoDataValue, 0);
    EXPECT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome,
              DemoOutcome::SwitchedOff);
    EXPECT_EQ(contact_count(), 0u);
    EXPECT_TRUE(log().entries().empty());
    EXPECT_EQ(added_flag(), 0u);
    // Switched on again (any value but 0) before a first real look: it comes.
    runtime::reg_write_dword(kKey, app::kDemoDataValue, 1);
    EXPECT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome, DemoOutcome::Added);
}

// A contact or a call history alone is the user's data: no demo joins it, ever.
TEST_F(DemoDataTest, ExistingContactsOrCallsAreNeverJoinedByTheDemo) {
    for (bool contact : {true, false}) {
        const std::string file = root() + (contact ? "/contact.vol" : "/call.vol");
        data::ContactStore own(file);
        phone::CallLog own_log(file);
        data::ContactRecord record = data::make_test_contact(3);
        phone::CallLogEntry call;
        call.start = kNow - 1000;
        call.end = kNow;
        call.direction = CallDirection::Incoming;
        call.number = u"+4930111";
        ASSERT_TRUE(contact ? own.create_contact(record) : own_log.add(call));
        runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
        EXPECT_EQ(app::add_demo_data_on_first_start(own, own_log, kNow).outcome,
                  DemoOutcome::StoreNotEmpty)
            << contact;
        std::vector<data::ContactRecord> records;
        EXPECT_EQ(own.load_contacts(records), contact ? 1u : 0u);
        EXPECT_EQ(own_log.entries().size(), contact ? 0u : 1u);
        EXPECT_EQ(added_flag(), 1u) << "deleting that data later must not bring the demo";
    }
}

TEST_F(DemoDataTest, AVolumeThatCannotBeOpenedIsTriedAgainNextStart) {
    // A folder where the volume should be: nothing can open it.
    const std::string folder = root() + "/folder.vol";
    std::filesystem::create_directories(folder);
    data::ContactStore broken(folder);
    phone::CallLog broken_log(folder);
    ASSERT_FALSE(broken.is_open());
    EXPECT_EQ(app::add_demo_data_on_first_start(broken, broken_log, kNow).outcome,
              DemoOutcome::Failed);
    EXPECT_EQ(added_flag(), 0u);
    EXPECT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome, DemoOutcome::Added);
}

// Settings lost after the demo was erased: the volume still knows, no second demo.
TEST_F(DemoDataTest, TheVolumeRemembersTheDemoWhenTheSettingsAreLost) {
    ASSERT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome, DemoOutcome::Added);
    store().erase_contacts(data::EraseScope::marked);
    ASSERT_EQ(contact_count(), 0u);
    runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
    ASSERT_EQ(added_flag(), 0u);
    EXPECT_EQ(app::add_demo_data_on_first_start(store(), log(), kNow).outcome,
              DemoOutcome::AlreadyDone);
    EXPECT_EQ(contact_count(), 0u);
    EXPECT_EQ(added_flag(), 1u) << "the setting is written again";
    // The same after a first start that found the user's own data.
    runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
    const std::string other = root() + "/other.vol";
    data::ContactStore own(other);
    phone::CallLog own_log(other);
    data::ContactRecord record = data::make_test_contact(1);
    ASSERT_TRUE(own.create_contact(record));
    ASSERT_EQ(app::add_demo_data_on_first_start(own, own_log, kNow).outcome,
              DemoOutcome::StoreNotEmpty);
    own.erase_contacts(data::EraseScope::all);
    runtime::reg_delete_value(kKey, app::kDemoDataAddedValue);
    EXPECT_EQ(app::add_demo_data_on_first_start(own, own_log, kNow).outcome,
              DemoOutcome::AlreadyDone);
}

// A volume that opens but whose contacts do not read (pages cut off) is
// damaged: the demo is not written into it, and the next start looks again.
TEST_F(DemoDataTest, ADamagedVolumeGetsNoDemo) {
    const std::string file = root() + "/cut.vol";
    {
        data::ContactStore full(file);
        ASSERT_EQ(full.add_test_contacts(3000), 3000u);
    }
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    const auto size = std::filesystem::file_size(file);
    data::ContactStore cut(file);
    phone::CallLog cut_log(file);
    EXPECT_EQ(app::add_demo_data_on_first_start(cut, cut_log, kNow).outcome, DemoOutcome::Failed);
    EXPECT_EQ(added_flag(), 0u);
    EXPECT_EQ(std::filesystem::file_size(file), size) << "never written to";
}

TEST(DemoCalls, ADozenMixedCallsOverTheLastDaysNewestFirst) {
    std::vector<data::ContactRecord> contacts;
    for (std::size_t i = 0; i < 40; ++i)
        contacts.push_back(data::make_test_contact(i));
    const auto calls = app::demo_calls(contacts, kNow);
    ASSERT_EQ(calls.size(), 12u);
    std::set<CallDirection> directions;
    std::size_t unknown = 0;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const auto& call = calls[i];
        directions.insert(call.direction);
        EXPECT_LT(call.start, kNow);
        EXPECT_GT(call.start, kNow - 5 * kDay);
        EXPECT_GE(call.end, call.start);
        if (call.direction == CallDirection::Missed) {
            EXPECT_EQ(call.end, call.start) << "a missed call has no length";
        }
        if (i > 0) {
            EXPECT_LT(call.start, calls[i - 1].start);
        }
        ASSERT_TRUE(call.number.has_value());
        if (call.name) {
            EXPECT_FALSE(call.name->empty());
        } else {
            ++unknown;
        }
    }
    EXPECT_EQ(directions.size(), 3u);
    EXPECT_EQ(unknown, 2u);
    // Calls with a name carry that contact's number.
    for (const auto& call : calls) {
        if (!call.name)
            continue;
        const bool found = std::any_of(contacts.begin(), contacts.end(), [&](const auto& c) {
            return std::any_of(c.fields.begin(), c.fields.end(), [&](const auto& f) {
                return f.kind == data::FieldKind::Phone && f.value == *call.number;
            });
        });
        EXPECT_TRUE(found) << to_utf8(*call.number);
    }
}

TEST(DemoCalls, WithoutContactNumbersEveryCallIsFromAnUnknownNumber) {
    data::ContactRecord no_phone;
    no_phone.fields.emplace_back(data::FieldType::Email1, u"a@b.example");
    const std::vector<data::ContactRecord> contacts{no_phone};
    const auto calls = app::demo_calls(contacts, kNow);
    ASSERT_EQ(calls.size(), 12u);
    std::set<WString> numbers;
    for (const auto& call : calls) {
        EXPECT_FALSE(call.name.has_value());
        ASSERT_TRUE(call.number.has_value());
        EXPECT_FALSE(call.number->empty());
        numbers.insert(*call.number);
    }
    EXPECT_GT(numbers.size(), 2u);
}

} // namespace
} // namespace telvara::test_support
