// The call log: record conversions (number key, local time, duration, kind),
// the table beside the contact store in one volume, reading order, deletion
// by number and time, and refused volumes.
#include "phone/call_log.h"

#include "data/contact_store.h"
#include "data/document.h"
#include "data/document_test_support.h"
#include "data/sql.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
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
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::optional<std::string> m_old;
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

// --- conversions -------------------------------------------------------------

TEST(CallRecordConversion, NumberKeysAreTheLastSevenDigits) {
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(
        to_call_record(entry(u"+7 (912) 345-67-89", CallDirection::Incoming, k_winter)).number_key,
        u"3456789");
    EXPECT_EQ(to_call_record(entry(u"112", CallDirection::Outgoing, k_winter)).number_key, u"112");
    EXPECT_EQ(to_call_record(entry(u"1234567", CallDirection::Outgoing, k_winter)).number_key,
              u"1234567");
    // Letters and signs between the last digits are dropped, not counted.
    EXPECT_EQ(to_call_record(entry(u"12-34*56#78", CallDirection::Outgoing, k_winter)).number_key,
              u"2345678");
    const CallRecord r =
        to_call_record(entry(u"+7 (912) 345-67-89", CallDirection::Incoming, k_winter));
    EXPECT_EQ(r.number, u"+7 (912) 345-67-89");
    EXPECT_TRUE(r.label.empty());
}

TEST(CallRecordConversion, EntryWithoutNumberIsUnknown) {
    const CallRecord r = to_call_record(entry(std::nullopt, CallDirection::Missed, k_winter));
    EXPECT_EQ(r.number, u"Unknown");
    EXPECT_EQ(r.number_key, u"Unknown");
    EXPECT_TRUE(r.name.empty());
}

TEST(CallRecordConversion, DurationsInWholeSeconds) {
    CallLogEntry e = entry(u"1", CallDirection::Incoming, k_winter);
    e.end = e.start + k_second - 1;
    EXPECT_EQ(to_call_record(e).duration, 0);
    e.end = e.start + k_second * 3 / 2;
    EXPECT_EQ(to_call_record(e).duration, 1);
    e.end = e.start + 3600 * k_second;
    EXPECT_EQ(to_call_record(e).duration, 3600);
    // A clock set back during the call: never a negative length.
    e.end = e.start - 5 * k_second;
    EXPECT_EQ(to_call_record(e).duration, 0);
    // Beyond 32 bits: clamped instead of wrapping to a negative number.
    e.end = e.start + (std::int64_t(1) << 33) * k_second;
    EXPECT_EQ(to_call_record(e).duration, 2147483647);
}

TEST(CallRecordConversion, DirectionsBecomeKinds) {
    EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Missed, k_winter)).kind, CallKind::Missed);
    EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Incoming, k_winter)).kind,
              CallKind::Incoming);
    EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Outgoing, k_winter)).kind,
              CallKind::Outgoing);
    EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Rejected, k_winter)).kind,
              CallKind::Rejected);
}

TEST(CallRecordConversion, LocalTimeUsesTheOffsetOfThatMoment) {
    {
        ScopedTimeZone utc("UTC0");
        EXPECT_EQ(to_local_file_time(k_winter), k_winter);
    }
    {
        ScopedTimeZone moscow("MSK-3");
        EXPECT_EQ(to_local_file_time(k_winter), k_winter + 3 * 3600 * k_second);
        EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Missed, k_winter)).time,
                  k_winter + 3 * 3600 * k_second);
    }
    {
        ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
        EXPECT_EQ(to_local_file_time(k_winter), k_winter + 1 * 3600 * k_second);
        EXPECT_EQ(to_local_file_time(k_summer), k_summer + 2 * 3600 * k_second);
    }
    {
        ScopedTimeZone new_york("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(to_local_file_time(k_winter), k_winter - 5 * 3600 * k_second);
        EXPECT_EQ(to_local_file_time(k_summer), k_summer - 4 * 3600 * k_second);
    }
}

TEST(CallRecordConversion, FileTimeEpoch) {
    EXPECT_EQ(file_time_from_unix_ms(0), 116444736000000000LL);
    EXPECT_EQ(file_time_from_unix_ms(1000) - file_time_from_unix_ms(0), k_second);
    EXPECT_GT(file_time_now(), k_winter);
}

// --- the table -----------------------------------------------------------------

class CallLogTest : public data::testing::DocumentTest {
  protected:
    std::string volume() const { return root() + "/pim.vol"; }
};

TEST_F(CallLogTest, RoundTripNewestFirst) {
    ScopedTimeZone utc("UTC0");
    CallLog log(volume());
    ASSERT_TRUE(log.is_open());
    EXPECT_TRUE(log.add(entry(u"+1 555 0100", CallDirection::Outgoing, k_winter, 61, u"Zoë Ünal")));
    EXPECT_TRUE(log.add(entry(std::nullopt, CallDirection::Missed, k_summer, 0)));
    EXPECT_TRUE(log.add(entry(u"112", CallDirection::Incoming, k_winter + k_second, 5)));

    const auto records = read_all(log);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].number, u"Unknown");
    EXPECT_EQ(records[0].kind, CallKind::Missed);
    EXPECT_EQ(records[1].number, u"112");
    EXPECT_EQ(records[1].duration, 5);
    EXPECT_EQ(records[2].number, u"+1 555 0100");
    EXPECT_EQ(records[2].name, u"Zoë Ünal");
    EXPECT_EQ(records[2].number_key, u"5550100");
    EXPECT_EQ(records[2].duration, 61);
    EXPECT_EQ(records[2].time, k_winter);

    // The raw entries keep "no number" apart from the text "Unknown".
    const auto raw = log.entries();
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_FALSE(raw[0].number.has_value());
    EXPECT_FALSE(raw[1].name.has_value());
}

TEST_F(CallLogTest, SurvivesReopeningAndSeesOtherWriters) {
    {
        CallLog writer(volume());
        ASSERT_TRUE(writer.add(entry(u"1", CallDirection::Outgoing, k_winter)));
    }
    CallLog reader(volume());
    CallLog writer(volume());
    EXPECT_EQ(read_all(reader).size(), 1u);
    ASSERT_TRUE(writer.add(entry(u"2", CallDirection::Outgoing, k_summer)));
    EXPECT_EQ(read_all(reader).size(), 2u);
}

TEST_F(CallLogTest, SharesTheVolumeWithTheContactStore) {
    // The log first, then the store on the same file, then both again.
    {
        CallLog log(volume());
        ASSERT_TRUE(log.add(entry(u"1", CallDirection::Outgoing, k_winter)));
    }
    {
        data::ContactStore store(volume());
        ASSERT_TRUE(store.is_open());
        data::ContactRecord record;
        record.first_name = u"Ada";
        ASSERT_TRUE(store.create_contact(record));
    }
    data::ContactStore store(volume());
    ASSERT_TRUE(store.is_open());
    std::vector<data::ContactRecord> contacts;
    EXPECT_EQ(store.load_contacts(contacts), 1u);
    CallLog log(volume());
    ASSERT_TRUE(log.is_open());
    EXPECT_EQ(read_all(log).size(), 1u);

    // The store's schema version is its own.
    data::sql::Database db;
    ASSERT_TRUE(db.open(volume()));
    EXPECT_EQ(db.query_int("PRAGMA user_version"), 1);
    EXPECT_EQ(db.query_int("SELECT value FROM clog_meta WHERE key = 'schema_version'"), 1);
}

TEST_F(CallLogTest, RefusesFilesItCannotUse) {
    {
        std::ofstream junk(volume(), std::ios::binary);
        junk << std::string(4096, 'x');
    }
    CallLog damaged(volume());
    EXPECT_FALSE(damaged.is_open());
    EXPECT_FALSE(damaged.add(entry(u"1", CallDirection::Outgoing, k_winter)));
    EXPECT_TRUE(read_all(damaged).empty());
    EXPECT_FALSE(damaged.delete_matching(CallLogKey{u"1", k_winter}));
    // The file is left as it was.
    std::ifstream in(volume(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, std::string(4096, 'x'));
}

TEST_F(CallLogTest, RefusesANewerSchema) {
    {
        CallLog log(volume());
        ASSERT_TRUE(log.add(entry(u"1", CallDirection::Outgoing, k_winter)));
    }
    {
        data::sql::Database db;
        ASSERT_TRUE(db.open(volume()));
        ASSERT_TRUE(db.exec("UPDATE clog_meta SET value = 2 WHERE key = 'schema_version'"));
    }
    CallLog log(volume());
    EXPECT_FALSE(log.is_open());
    EXPECT_FALSE(log.add(entry(u"2", CallDirection::Outgoing, k_winter)));
}

TEST_F(CallLogTest, DeleteMatchesNumberAndLocalTime) {
    ScopedTimeZone zone("MSK-3");
    CallLog log(volume());
    log.add(entry(u"555", CallDirection::Outgoing, k_winter));
    log.add(entry(u"555", CallDirection::Outgoing, k_summer));
    const std::int64_t local = to_local_file_time(k_winter);
    // The UTC time is not what the recents list holds.
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"555", k_winter}));
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"556", local}));
    EXPECT_TRUE(log.delete_matching(CallLogKey{u"555", local}));
    const auto left = log.entries();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].start, k_summer);
}

TEST_F(CallLogTest, SingleDeleteRemovesOnlyOneOfTwins) {
    ScopedTimeZone utc("UTC0");
    CallLog log(volume());
    log.add(entry(u"555", CallDirection::Incoming, k_winter, 10));
    log.add(entry(u"555", CallDirection::Incoming, k_winter, 20));
    ASSERT_TRUE(log.delete_matching(CallLogKey{u"555", k_winter}));
    EXPECT_EQ(log.entries().size(), 1u);
    ASSERT_TRUE(log.delete_matching(CallLogKey{u"555", k_winter}));
    EXPECT_TRUE(log.entries().empty());
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"555", k_winter}));
}

TEST_F(CallLogTest, EntriesWithoutNumberCanBeDeleted) {
    ScopedTimeZone utc("UTC0");
    CallLog log(volume());
    log.add(entry(std::nullopt, CallDirection::Missed, k_winter));
    log.add(entry(u"Unknown", CallDirection::Missed, k_summer));
    EXPECT_TRUE(log.delete_matching(CallLogKey{u"Unknown", k_winter}));
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].number, WString(u"Unknown"));
}

TEST_F(CallLogTest, DocumentDeletesExactlyTheRejectedCalls) {
    ScopedTimeZone utc("UTC0");
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
}

TEST_F(CallLogTest, DocumentSingleDelete) {
    ScopedTimeZone utc("UTC0");
    CallLog log(volume());
    log.add(entry(u"100", CallDirection::Outgoing, k_winter));
    log.add(entry(u"100", CallDirection::Outgoing, k_winter));
    data::testing::FakeStore store;
    data::Document document(store, &log, files());
    document.load();
    ASSERT_EQ(document.recent_calls().size(), 2u);
    EXPECT_FALSE(log.delete_call_log_entry(document, 7));
    EXPECT_TRUE(log.delete_call_log_entry(document, 1));
    EXPECT_EQ(document.recent_calls().size(), 1u);
    EXPECT_EQ(log.entries().size(), 1u);
}

} // namespace
} // namespace telvara::phone
