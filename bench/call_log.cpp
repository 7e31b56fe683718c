// Call log speed: reading 1,000 and 10,000 entries as CallRecords (what the
// recents list does two seconds after every call), and writing one entry
// (what the end of a call costs, one synced transaction).
#include "phone/call_log.h"
#include "data/call_record.h"
#include "data/sql.h"
#include "runtime/paths.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

using namespace telvara;
using namespace telvara::phone;

namespace {

class BenchRoot {
  public:
    BenchRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "clog-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_path = pattern;
        runtime::set_device_root(m_path);
    }
    ~BenchRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

BenchRoot& bench_root() {
    static BenchRoot root;
    return root;
}

// One volume per size, filled once in a single transaction.
CallLog& filled_log(std::size_t count) {
    static std::map<std::size_t, std::unique_ptr<CallLog>> logs;
    auto& log = logs[count];
    if (!log) {
        const std::string file = bench_root().file("pim-" + std::to_string(count) + ".vol");
        log = std::make_unique<CallLog>(file);
        data::sql::Database db;
        if (!db.open(file))
            std::abort();
        db.set_busy_timeout(5000);
        data::sql::Transaction transaction(db, data::sql::Transaction::Mode::write);
        data::sql::Statement insert(db, "INSERT INTO \"clog.db\"(start_time, end_time,"
                                        " direction, number, name) VALUES(?, ?, ?, ?, ?)");
        const std::int64_t start = file_time_now();
        for (std::size_t i = 0; i < count; ++i) {
            const auto t = start - static_cast<std::int64_t>(i) * 600'000'000;
            insert.bind_int(1, t);
            insert.bind_int(2, t + static_cast<std::int64_t>(i % 300) * 10'000'000);
            insert.bind_int(3, static_cast<std::int64_t>(i % 3));
            insert.bind_text(4, "+7 (912) 345-" + std::to_string(1000 + i % 9000));
            if (i % 2 == 0)
                insert.bind_text(5, "Contact " + std::to_string(i));
            else
                insert.bind_null(5);
            insert.step();
            insert.reset();
        }
        if (!transaction.commit())
            std::abort();
    }
    return *log;
}

struct Counter : data::CallRecordConsumer {
    void on_call_record(const data::CallRecord& record) override {
        count += 1;
        benchmark::DoNotOptimize(record.number_key.data());
    }
    std::size_t count = 0;
};

void BM_ReadCallLog(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    CallLog& log = filled_log(count);
    for (auto _ : state) {
        Counter counter;
        log.read_call_log(counter);
        if (counter.count != count)
            state.SkipWithError("short read");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}
BENCHMARK(BM_ReadCallLog)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AddCallLogEntry(benchmark::State& state) {
    CallLog log(bench_root().file("pim-add.vol"));
    CallLogEntry entry;
    entry.number = u"+7 (912) 345-67-89";
    entry.direction = CallDirection::Incoming;
    for (auto _ : state) {
        entry.start = file_time_now();
        entry.end = entry.start + 600'000'000;
        benchmark::DoNotOptimize(log.add(entry));
    }
}
BENCHMARK(BM_AddCallLogEntry)->Unit(benchmark::kMicrosecond);

} // namespace
