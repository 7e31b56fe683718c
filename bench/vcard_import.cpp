// Importing cards that bring many categories: one card with 10,000 to
// 200,000 names (read in time linear in its length; only the first
// kMaxCardCategories are kept), and 500 cards with that many distinct names
// each stored in one transaction (every new name joins the folder's list once).
#include "data/contact_store.h"
#include "data/vcard.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace telvara;
using namespace telvara::data;

namespace {

std::string card_with_categories(std::size_t count, std::size_t first = 0) {
    std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Many\r\nCATEGORIES:";
    for (std::size_t i = 0; i < count; ++i)
        text += (i == 0 ? "c" : ",c") + std::to_string(first + i);
    return text + "\r\nEND:VCARD\r\n";
}

std::string temporary_volume() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vcard-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern + "/pim.vol";
}

void BM_CardWithManyCategories(benchmark::State& state) {
    const std::string text = card_with_categories(static_cast<std::size_t>(state.range(0)));
    const std::string file = temporary_volume();
    ContactStore store(file);
    for (auto _ : state) {
        VCardFile cards = parse_vcards(text);
        if (!store.create_contacts(cards.contacts))
            state.SkipWithError("not stored");
    }
    state.SetComplexityN(state.range(0));
    std::filesystem::remove_all(std::filesystem::path(file).parent_path());
}
BENCHMARK(BM_CardWithManyCategories)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_CardsBringingNewCategories(benchmark::State& state) {
    const auto cards = static_cast<std::size_t>(state.range(0));
    std::string text;
    for (std::size_t i = 0; i < cards; ++i)
        text += card_with_categories(kMaxCardCategories, i * kMaxCardCategories);
    const VCardFile parsed = parse_vcards(text);
    for (auto _ : state) {
        state.PauseTiming();
        const std::string file = temporary_volume();
        std::vector<ContactWithPhoto> contacts = parsed.contacts;
        state.ResumeTiming();
        {
            ContactStore store(file);
            if (!store.create_contacts(contacts))
                state.SkipWithError("not stored");
        }
        state.PauseTiming();
        std::filesystem::remove_all(std::filesystem::path(file).parent_path());
        state.ResumeTiming();
    }
    state.counters["categories"] = static_cast<double>(cards * kMaxCardCategories);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CardsBringingNewCategories)
    ->Arg(100)
    ->Arg(500)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

} // namespace
