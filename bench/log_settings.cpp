// What a log line costs while the log is off (every caller pays it), what a
// settings read costs, and what a settings write (fsync included) costs.
#include "platform/clock.h"
#include "platform/settings_store.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

using namespace telvara;

namespace {

constexpr WStringView kelma = u"HKEY_CURRENT_USER\\Software\\KELMA";

// A private device root with a realistic settings file.
class BenchRoot {
  public:
    BenchRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        runtime::set_device_root(m_root);
        for (int i = 0; i < 30; ++i)
            runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara",
                                      u"Setting" + to_wstring(i), u"some value");
        runtime::reg_write_dword(kelma, u"Log", 0);
    }
    ~BenchRoot() { std::filesystem::remove_all(m_root); }

  private:
    std::string m_root;
};

BenchRoot& bench_root() {
    static BenchRoot root;
    return root;
}

void BM_DisabledLogLine(benchmark::State& state) {
    bench_root();
    for (auto _ : state)
        runtime::log() << platform::tick_count() << u" Telephone::answer_call\n";
}
BENCHMARK(BM_DisabledLogLine);

void BM_RegReadDword(benchmark::State& state) {
    bench_root();
    std::uint32_t value = 0;
    for (auto _ : state) {
        runtime::reg_read_dword(kelma, u"Log", value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_RegReadDword);

void BM_RegReadString(benchmark::State& state) {
    bench_root();
    WString value;
    for (auto _ : state) {
        runtime::reg_read_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"Setting17",
                                 value);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_RegReadString);

// The same read when every call also checks the file (recheck interval 0):
// what the 200 ms interval saves.
void BM_RegReadDwordStatEveryCall(benchmark::State& state) {
    bench_root();
    runtime::settings_store().set_recheck_interval(std::chrono::milliseconds(0));
    std::uint32_t value = 0;
    for (auto _ : state) {
        runtime::reg_read_dword(kelma, u"Log", value);
        benchmark::DoNotOptimize(value);
    }
    runtime::settings_store().set_recheck_interval(platform::SettingsStore::default_recheck);
}
BENCHMARK(BM_RegReadDwordStatEveryCall);

void BM_EnabledLogLine(benchmark::State& state) {
    bench_root();
    runtime::reg_write_dword(kelma, u"Log", 1);
    for (auto _ : state)
        runtime::log() << platform::tick_count() << u" Telephone::answer_call\n";
    runtime::reg_write_dword(kelma, u"Log", 0);
}
BENCHMARK(BM_EnabledLogLine);

void BM_RegWriteDword(benchmark::State& state) {
    bench_root();
    std::uint32_t n = 0;
    for (auto _ : state)
        runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"Counter", ++n);
}
BENCHMARK(BM_RegWriteDword)->Unit(benchmark::kMillisecond);

} // namespace
