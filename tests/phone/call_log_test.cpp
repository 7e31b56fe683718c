// The call log: record conversions, the table beside the contacts, reading order and deletion.
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

TEST(CallRecordConversion, KeysAndDurations) {
    ScopedTimeZone utc("UTC0");
    // clang-format off
    const std::pair<std::optional<WString>, const char16_t*> keys[] = {
        {u"+7 (912) 345-67-89", u"3456789"}, {u"112", u"112"}, {u"1234567", u"1234567"},
        {u"12-34*56#78", u"2345678"}, {std::nullopt, u"Unknown"}}; // signs dropped
    // clang-format on
    for (const auto& [number, key] : keys) {
        const CallRecord r = to_call_record(entry(number, CallDirection::Incoming, k_winter));
        EXPECT_EQ(std::tie(r.number_key, r.number),
                  std::tuple(WString(key), number.value_or(u"Unknown")));
        EXPECT_TRUE(r.label.empty() && r.name.empty());
    }
    EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Rejected, k_winter)).kind,
              CallKind::Rejected);
    // Never negative when the clock was set back; clamped, not wrapped.
    const std::pair<std::int64_t, std::int32_t> durations[] = {
        {k_second - 1, 0},
        {k_second * 3 / 2, 1},
        {3600 * k_second, 3600},
        {-5 * k_second, 0},
        {(std::int64_t(1) << 33) * k_second, 2147483647}};
    CallLogEntry e = entry(u"1", CallDirection::Incoming, k_winter);
    for (auto [length, seconds] : durations) {
        e.end = e.start + length;
        EXPECT_EQ(to_call_record(e).duration, seconds) << length;
    }
    EXPECT_EQ(file_time_from_unix_ms(0), 116444736000000000LL);
    EXPECT_EQ(file_time_from_unix_ms(1000) - file_time_from_unix_ms(0), k_second);
}

TEST(CallRecordConversion, LocalTimeUsesTheOffsetOfThatMoment) {
    const struct {
        const char* zone;
        int winter, summer; // hours
    } zones[] = {{"UTC0", 0, 0},
                 {"MSK-3", 3, 3},
                 {"CET-1CEST,M3.5.0,M10.5.0/3", 1, 2},
                 {"EST5EDT,M3.2.0,M11.1.0", -5, -4}};
    for (const auto& z : zones) {
        ScopedTimeZone zone(z.zone);
        EXPECT_EQ(to_local_file_time(k_winter), k_winter + z.winter * 3600 * k_second) << z.zone;
        EXPECT_EQ(to_local_file_time(k_summer), k_summer + z.summer * 3600 * k_second) << z.zone;
        EXPECT_EQ(to_call_record(entry(u"1", CallDirection::Missed, k_winter)).time,
                  k_winter + z.winter * 3600 * k_second);
    }
}

class CallLogTest : public data::testing::DocumentTest {
  protected:
    std::string volume() const { return root() + "/pim.vol"; }
};

TEST_F(CallLogTest, RoundTripNewestFirst) {
    ScopedTimeZone utc("UTC0");
    CallLog log(volume());
    ASSERT_TRUE(log.add(entry(u"+1 555 0100", CallDirection::Outgoing, k_winter, 61, u"Zoë Ünal")));
    ASSERT_TRUE(log.add(entry(std::nullopt, CallDirection::Missed, k_summer, 0)));
    ASSERT_TRUE(log.add(entry(u"112", CallDirection::Incoming, k_winter + k_second, 5)));
    std::vector<std::string> read; // number, kind, duration, name, key, time
    for (const CallRecord& r : read_all(log))
        read.push_back(to_utf8(r.number + u" " + r.name + u" " + r.number_key) + " " +
                       std::to_string(int(r.kind)) + " " + std::to_string(r.duration) + " " +
                       std::to_string(r.time - k_winter));
    EXPECT_EQ(read, (std::vector<std::string>{
                        "Unknown  Unknown 1 0 " + std::to_string(k_summer - k_winter),
                        "112  112 0 5 10000000", "+1 555 0100 Zoë Ünal 5550100 2 61 0"}));
    const auto raw = log.entries(); // "no number" stays apart from the text "Unknown"
    ASSERT_EQ(raw.size(), 3u);
    EXPECT_TRUE(!raw[0].number.has_value() && !raw[1].name.has_value());
}

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
    ASSERT_TRUE(writer.add(entry(u"2", CallDirection::Outgoing, k_summer)));
    EXPECT_EQ(read_all(reader).size(), 2u);
    data::sql::Database db; // the store's schema version is its own
    ASSERT_TRUE(db.open(volume()));
    EXPECT_EQ(db.query_int("PRAGMA user_version"), 1);
    EXPECT_EQ(db.query_int("SELECT value FROM clog_meta WHERE key = 'schema_version'"), 1);
    ASSERT_TRUE(db.exec("UPDATE clog_meta SET value = 2 WHERE key = 'schema_version'"));
    CallLog newer(volume());
    EXPECT_FALSE(newer.is_open());
    EXPECT_FALSE(newer.add(entry(u"3", CallDirection::Outgoing, k_winter)));
}

TEST_F(CallLogTest, DeleteMatchesNumberAndLocalTimeOneAtATime) {
    ScopedTimeZone zone("MSK-3");
    CallLog log(volume());
    log.add(entry(u"555", CallDirection::Outgoing, k_winter, 10));
    log.add(entry(u"555", CallDirection::Outgoing, k_winter, 20)); // a twin
    log.add(entry(u"555", CallDirection::Outgoing, k_summer));
    log.add(entry(std::nullopt, CallDirection::Missed, k_winter));
    log.add(entry(u"Unknown", CallDirection::Missed, k_summer));
    const std::int64_t local = to_local_file_time(k_winter);
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"555", k_winter})) << "the UTC time";
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"556", local}));
    EXPECT_TRUE(log.delete_matching(CallLogKey{u"555", local}));
    EXPECT_EQ(log.entries().size(), 4u) << "one of the twins";
    EXPECT_TRUE(log.delete_matching(CallLogKey{u"555", local}));
    EXPECT_FALSE(log.delete_matching(CallLogKey{u"555", local}));
    EXPECT_TRUE(log.delete_matching(CallLogKey{u"Unknown", local})) << "no number";
    const auto left = log.entries();
    ASSERT_EQ(left.size(), 2u);
    for (const auto& e : left)
        EXPECT_EQ(e.start, k_summer) << to_utf8(e.number.value_or(u"-"));
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
    EXPECT_FALSE(log.delete_call_log_entry(document, 7));
    EXPECT_FALSE(log.delete_call_log_entry(document, document.recent_calls().size()));
    EXPECT_TRUE(log.delete_call_log_entry(document, 1));
    EXPECT_EQ(document.recent_calls().size(), 1u);
    EXPECT_EQ(log.entries().size(), 1u);
}

} // namespace
} // namespace telvara::phone
