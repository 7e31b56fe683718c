// Contact store speed: loading 1,000, 10,000 and 100,000 generated contacts
// from the volume, and creating contacts in one transaction against one
// transaction (and one sync) per contact.
#include "data/contact_store.h"
#include "runtime/paths.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>

using namespace telvara;
using namespace telvara::data;

namespace {

// A private device root for the whole run, removed at exit.
class BenchRoot {
  public:
    BenchRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "store-bench-XXXXXX").string();
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

// One volume per size, filled once.
ContactStore& filled_store(std::size_t count) {
    static std::map<std::size_t, std::unique_ptr<ContactStore>> stores;
    auto& store = stores[count];
    if (!store) {
        store = std::make_unique<ContactStore>(
            bench_root().file("load" + std::to_string(count) + ".vol"));
        store->add_test_contacts(count);
    }
    return *store;
}

void BM_LoadContacts(benchmark::State& state) {
    auto& store = filled_store(static_cast<std::size_t>(state.range(0)));
    std::vector<ContactRecord> list;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.load_contacts(list));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadContacts)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CreateInOneTransaction(benchmark::State& state) {
    ContactStore store(bench_root().file("bulk.vol"));
    for (auto _ : state)
        benchmark::DoNotOptimize(store.add_test_contacts(static_cast<std::size_t>(state.range(0))));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CreateInOneTransaction)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CreateOnePerTransaction(benchmark::State& state) {
    ContactStore store(bench_root().file("single.vol"));
    ContactRecord record;
    record.first_name = u"Александр";
    record.last_name = u"Иванов";
    record.fields.emplace_back(FieldType::Mobile, u"+7 912 345-67-89");
    for (auto _ : state) {
        for (int i = 0; i < state.range(0); ++i) {
            ContactRecord copy = record;
            benchmark::DoNotOptimize(store.create_contact(copy));
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CreateOnePerTransaction)->Arg(100)->Unit(benchmark::kMillisecond);

// The watcher's idle check: nothing changed since the last look.
void BM_CollectChangesIdle(benchmark::State& state) {
    auto& store = filled_store(1000);
    store.collect_changes();
    for (auto _ : state)
        benchmark::DoNotOptimize(store.collect_changes());
}
BENCHMARK(BM_CollectChangesIdle);

} // namespace
