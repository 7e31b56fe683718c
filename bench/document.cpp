// The Document under load: loading, a filter keystroke, re-sorting and caller
// lookup over 1,000 / 10,000 / 100,000 generated contacts, and the heap each
// contact costs.

#include "data/document.h"
#include "data/contact_source.h"
#include "runtime/paths.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace telvara;
using namespace telvara::data;

const char16_t* const k_first_en[] = {u"James",    u"Mary",    u"John",    u"Patricia", u"Robert",
                                      u"Jennifer", u"Michael", u"Linda",   u"William",  u"Emily",
                                      u"David",    u"Sarah",   u"Richard", u"Karen",    u"Thomas"};
const char16_t* const k_last_en[] = {u"Smith",  u"Johnson", u"Williams", u"Brown",  u"Jones",
                                     u"Garcia", u"Miller",  u"Davis",    u"Wilson", u"Anderson",
                                     u"Taylor", u"Moore",   u"Jackson",  u"Martin", u"Lee"};
const char16_t* const k_first_ru[] = {u"Александр", u"Елена",    u"Сергей",  u"Ольга",   u"Дмитрий",
                                      u"Наталья",   u"Андрей",   u"Татьяна", u"Алексей", u"Ирина",
                                      u"Михаил",    u"Светлана", u"Иван",    u"Юлия",    u"Пётр"};
const char16_t* const k_last_ru[] = {u"Иванов",  u"Смирнов", u"Кузнецов", u"Попов",   u"Васильев",
                                     u"Петров",  u"Соколов", u"Михайлов", u"Новиков", u"Фёдоров",
                                     u"Морозов", u"Волков",  u"Алексеев", u"Лебедев", u"Семёнов"};
const char16_t* const k_companies[] = {u"Acme",    u"Globex",  u"Initech",    u"Umbrella",
                                       u"Ромашка", u"Газпром", u"Северсталь", u"Hooli"};

WString number(std::mt19937& rng, bool russian) {
    std::string n = russian ? "+7 9" : "+1 ";
    for (int i = 0; i < 10; ++i) {
        n += static_cast<char>('0' + rng() % 10);
        if (i == 2 || i == 5)
            n += ' ';
    }
    return from_ascii(n);
}

ContactRecord generated(std::uint32_t oid, std::mt19937& rng) {
    ContactRecord r;
    r.oid = oid;
    bool russian = rng() % 2 == 0;
    r.first_name = russian ? k_first_ru[rng() % 15] : k_first_en[rng() % 15];
    r.last_name = russian ? k_last_ru[rng() % 15] : k_last_en[rng() % 15];
    if (rng() % 3 == 0)
        r.company = k_companies[rng() % 8];
    r.fields.emplace_back(FieldType::Mobile, number(rng, russian));
    if (rng() % 2 == 0)
        r.fields.emplace_back(FieldType::HomeTel, number(rng, russian));
    if (rng() % 4 == 0)
        r.fields.emplace_back(FieldType::Email1, u"someone@example.org");
    return r;
}

class GeneratedStore : public ContactSource {
  public:
    explicit GeneratedStore(std::size_t n) {
        std::mt19937 rng(2024);
        m_records.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            m_records.push_back(generated(static_cast<std::uint32_t>(i + 1), rng));
    }
    std::size_t load_contacts(std::vector<ContactRecord>& out) override {
        out = m_records;
        return out.size();
    }
    bool read_contact(ContactRecord& record) override {
        if (record.oid == 0 || record.oid > m_records.size())
            return false;
        record = m_records[record.oid - 1];
        return true;
    }
    void load_categories(std::vector<WString>& out) override { out.clear(); }
    const std::vector<ContactRecord>& records() const { return m_records; }

  private:
    std::vector<ContactRecord> m_records;
};

// A private device root (the settings the Document writes) and the dialer map.
DocumentFiles bench_files() {
    static const std::string root = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench-doc-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        runtime::set_device_root(pattern);
        std::string map = pattern + "/keyboard.txt";
        std::FILE* f = std::fopen(map.c_str(), "wb");
        std::fputs("2 abcабвг\n3 defдеёжз\n4 ghiийкл\n5 jklмноп\n6 mnoрсту\n7 pqrsфхцч\n"
                   "8 tuvшщъы\n9 wxyzьэюя\n",
                   f);
        std::fclose(f);
        return pattern;
    }();
    return {root + "/keyboard.txt", root + "/favorits.dat"};
}

GeneratedStore& store_of(std::size_t n) {
    static std::vector<std::unique_ptr<GeneratedStore>> stores;
    for (auto& s : stores)
        if (s->records().size() == n)
            return *s;
    stores.push_back(std::make_unique<GeneratedStore>(n));
    return *stores.back();
}

void BM_Load(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    DocumentFiles files = bench_files();
    std::size_t heap = 0;
    for (auto _ : state) {
        std::size_t before = mallinfo2().uordblks;
        Document doc(store, nullptr, files);
        doc.load();
        heap = mallinfo2().uordblks - before;
        benchmark::DoNotOptimize(doc.all_contacts().size());
    }
    state.counters["bytes_per_contact"] =
        static_cast<double>(heap) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_Load)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The first digit typed: one pass over the whole sorted list.
void BM_FilterFirstKey(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    Document doc(store, nullptr, bench_files());
    doc.load();
    const char16_t* keys[] = {u"2", u"5", u"7", u"3"};
    std::size_t i = 0;
    for (auto _ : state) {
        doc.set_filter(u"");
        doc.set_filter(keys[i++ % 4]);
        benchmark::DoNotOptimize(doc.filtered_contacts().size());
    }
}
BENCHMARK(BM_FilterFirstKey)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A digit appended: only the previous result is tested again.
void BM_FilterNextKey(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    Document doc(store, nullptr, bench_files());
    doc.load();
    for (auto _ : state) {
        state.PauseTiming();
        doc.set_filter(u"5");
        state.ResumeTiming();
        doc.set_filter(u"56");
        benchmark::DoNotOptimize(doc.filtered_contacts().size());
    }
}
BENCHMARK(BM_FilterNextKey)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A second word after a space (full text, two words, no narrowing from empty).
void BM_FilterTwoWordsFromScratch(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    Document doc(store, nullptr, bench_files());
    doc.load();
    for (auto _ : state) {
        doc.set_filter(u"");
        doc.set_filter(u"56 7");
        benchmark::DoNotOptimize(doc.filtered_contacts().size());
    }
}
BENCHMARK(BM_FilterTwoWordsFromScratch)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_SetSorting(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    Document doc(store, nullptr, bench_files());
    doc.load();
    std::uint32_t mode = 0;
    for (auto _ : state) {
        doc.set_sorting(mode);
        mode = (mode + 1) % 3;
    }
}
BENCHMARK(BM_SetSorting)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PhoneLookup(benchmark::State& state) {
    GeneratedStore& store = store_of(static_cast<std::size_t>(state.range(0)));
    Document doc(store, nullptr, bench_files());
    doc.load();
    std::vector<WString> numbers;
    for (std::size_t i = 0; i < store.records().size(); i += 97)
        numbers.push_back(store.records()[i].fields.front().value);
    numbers.push_back(u"+1 000 000 0000"); // nobody's
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.find_by_phone_number(numbers[i++ % numbers.size()]).entry);
}
BENCHMARK(BM_PhoneLookup)->Arg(1000)->Arg(10000)->Arg(100000);

} // namespace
