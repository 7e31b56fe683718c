// The call log: the table beside the contacts, other writers, deletion through the recents.
#include "data/contact_store.h"
#include "data/document.h"
#include "data/document_test_support.h"
#include "data/sql.h"
#include "phone/call_log.h"
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace telvara::phone {
namespace {
using data::CallKind;
using data::CallRecord;
constexpr std::int64_t k_second = 10'000'000;
// 2024-01-15 12:00:00 UTC and 2024-07-15 12:00:00 UTC.
const std::int64_t k_winter = file_time_from_unix_ms(1705320000000LL);
const std::int64_t k_summer = file_time_from_unix_ms(1721044800000LL);
CallLogEntry entry(std::optional<WString> number, CallDirection direction, std::int64_t start,
                   std::int64_t seconds = 10, std::optional<WString> name = std::nullopt) {
    CallLogEntry e;
    e.number = std::move(number);
    e.direction = direction;
    e.start = start;
    e.end = start + seconds * k_second;
    e.name = std::move(name);
    return e;
}

// Runs a test body under a given TZ and puts the old one back.
struct ScopedTimeZone {
    explicit ScopedTimeZone(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        old ? ::setenv("TZ", old->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    std::optional<std::string> old =
        std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

struct Collect : data::CallRecordConsumer {
    void on_call_record(const CallRecord& record) override { records.push_back(record); }
    std::vector<CallRecord> records;
};
std::vector<CallRecord> read_all(CallLog& log) {
    Collect collect;
    log.read_call_log(collect);
    return collect.records;
}

class CallLogTest : public data::testing::DocumentTest {
  protected:
    std::string volume() const { return root() + "/pim.vol"; }
};

// The log and the store share a file; other writers are seen; a newer log schema is refused.
TEST_F(CallLogTest, SharesTheVolumeWithTheContactStoreAndOtherWriters) {
    {
        CallLog log(volume());
        ASSERT_TRUE(log.add(entry(u"1", CallDirection::Outgoing, k_winter)));
        data::ContactStore store(volume());
        data::ContactRecord record;
        record.first_name = u"Ada";
        ASSERT_TRUE(store.create_contact(record));
    }
    data::ContactStore store(volume());
    std::vector<data::ContactRecord> contacts;
    EXPECT_EQ(store.load_contacts(contacts), 1u);
    CallLog reader(volume()), writer(volume());
    EXPECT_EQ(read_all(reader).size(), 1u);
    ASSERT_TRUE(writer.add(entry(u"2", CallDirection::Outgoing, k_summer, -5))); // clock set back
    const std::vector<CallRecord> records = read_all(reader);                    // newest first
    EXPECT_TRUE(records.size() == 2 && records[0].duration == 0) << "never negative";
    data::sql::Database db; // the store's schema version is its own
    ASSERT_TRUE(db.open(volume()));
    EXPECT_EQ(db.query_int("PRAGMA user_version"), 1);
    EXPECT_EQ(db.query_int("SELECT value FROM clog_meta WHERE key = 'schema_version'"), 1);
    ASSERT_TRUE(db.exec("UPDATE clog_meta SET value = 2 WHERE key = 'schema_version'"));
    CallLog newer(volume());
    EXPECT_FALSE(newer.is_open());
    EXPECT_FALSE(newer.add(entry(u"3", CallDirection::Outgoing, k_winter)));
}

TEST_F(CallLogTest, DocumentDeletesExactlyTheRejectedCalls) {
    ScopedTimeZone zone("MSK-3"); // the list shows local times; a deletion finds the UTC row
    CallLog log(volume());
    // Two missed calls share number and time with an answered one.
    log.add(entry(u"100", CallDirection::Missed, k_winter + 1 * k_second));
    log.add(entry(u"100", CallDirection::Incoming, k_winter + 2 * k_second));
    log.add(entry(u"200", CallDirection::Missed, k_winter + 3 * k_second));
    log.add(entry(u"200", CallDirection::Missed, k_winter + 3 * k_second));
    log.add(entry(u"300", CallDirection::Outgoing, k_winter + 4 * k_second));
    log.add(entry(u"400", CallDirection::Missed, k_winter + 5 * k_second));
    data::testing::FakeStore store;
    data::Document document(store, &log, files());
    document.load();
    ASSERT_EQ(document.recent_calls().size(), 6u);
    std::vector<std::size_t> missed;
    for (std::size_t i = 0; i < document.recent_calls().size(); ++i)
        if (document.recent_calls().at(i).call.kind == CallKind::Missed)
            missed.push_back(i);
    ASSERT_EQ(missed.size(), 4u);
    // A repeated or bad index names nothing more.
    missed.push_back(missed.front());
    missed.push_back(99);
    data::testing::RecordingDocListener listener;
    document.add_listener(listener);
    EXPECT_EQ(log.delete_call_log_entries(document, missed), 4u);
    EXPECT_EQ(listener.flags(), (std::vector<int>{6, 18}));
    ASSERT_EQ(document.recent_calls().size(), 2u);
    for (const auto& call : document.recent_calls().calls())
        EXPECT_NE(call.call.kind, CallKind::Missed);
    document.remove_listener(listener);
    EXPECT_FALSE(log.delete_call_log_entry(document, 7));
    EXPECT_FALSE(log.delete_call_log_entry(document, document.recent_calls().size()));
    EXPECT_TRUE(log.delete_call_log_entry(document, 1));
    EXPECT_EQ(document.recent_calls().size(), 1u);
    EXPECT_EQ(log.entries().size(), 1u);
}

} // namespace
} // namespace telvara::phone
