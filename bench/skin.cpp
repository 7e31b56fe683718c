// Skin loading and lookup costs: building a ~200-node skin from its bytes,
// reading properties by binary search, finding top-level nodes in the index.
#include "ui/properties.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>

namespace {

using namespace telvara;

// A compact writer for one fixed shape, so that this program needs only the
// loader: 40 screens, each a form with four text children, 200 nodes in all,
// with the property mix of real screens.
class SkinBytes {
  public:
    std::vector<std::uint8_t> build() {
        const std::vector<WString> int_names = {u"ellipsis", u"grow", u"wrap"};
        const std::vector<WString> point_names = {u"border_max", u"border_min", u"design_size"};
        const std::vector<WString> string_names = {u"anchor_x", u"halign", u"id", u"type",
                                                   u"valign"};
        std::vector<WString> forms;
        for (int i = 0; i < 40; ++i)
            forms.push_back(u"Form" + to_wstring(i));
        std::sort(forms.begin(), forms.end());

        m_bytes.assign(92, 0);
        const char16_t magic[] = {0x0421, 0x043A, 0x0438, 0x043D};
        for (int i = 0; i < 4; ++i)
            put16(2 * i, magic[i]);
        for (const auto* group : {&int_names, &point_names, &string_names})
            for (const WString& name : *group)
                m_names[name] = wide(name);
        m_names[u"font"] = wide(u"font");
        m_names[u"color"] = wide(u"color");
        for (const WString& form : forms)
            m_names[form] = wide(form);
        // String table: fonts, then strings (no pictures).
        put32(84, static_cast<std::uint32_t>(m_bytes.size()));
        put32(80, 1);
        wide(u"12 1 0 0 Tahoma");
        std::vector<WString> strings = {u"node", u"text", u"CENTER", u"BOTH_SIDE"};
        for (const WString& text : strings)
            wide(text);
        put32(88, static_cast<std::uint32_t>(strings.size()));
        while (m_bytes.size() % 4)
            m_bytes.push_back(0);

        std::vector<std::uint32_t> entries;
        for (const WString& form : forms) {
            entries.push_back(static_cast<std::uint32_t>(m_bytes.size()));
            grow(12);
            put32(entries.back() + 8, m_names[form]);
            const std::uint32_t record = node(4, {}, {}, {}, 0);
            std::vector<std::uint32_t> children;
            for (int i = 0; i < 4; ++i)
                children.push_back(node(0, int_names, point_names, string_names, 1));
            for (int i = 0; i < 4; ++i)
                put32(record + 16 + 4 * i, children[i]);
        }
        put32(72, link(entries, 0, entries.size()));
        return m_bytes;
    }

  private:
    void grow(std::size_t n) { m_bytes.resize(m_bytes.size() + n, 0); }
    void put16(std::size_t at, std::uint16_t v) {
        m_bytes[at] = std::uint8_t(v);
        m_bytes[at + 1] = std::uint8_t(v >> 8);
    }
    void put32(std::size_t at, std::uint32_t v) {
        put16(at, std::uint16_t(v));
        put16(at + 2, std::uint16_t(v >> 16));
    }
    std::uint32_t wide(WStringView text) {
        const auto at = static_cast<std::uint32_t>(m_bytes.size());
        for (char16_t c : text) {
            grow(2);
            put16(m_bytes.size() - 2, c);
        }
        grow(2);
        return at;
    }
    // Tables in record order: integers, font, points, strings, colour.
    std::uint32_t node(int child_count, const std::vector<WString>& ints,
                       const std::vector<WString>& points, const std::vector<WString>& strings,
                       int fonts_and_colours) {
        const auto record = static_cast<std::uint32_t>(m_bytes.size());
        std::uint32_t at = 16 + 4 * child_count;
        const std::uint32_t size = at + 8 * std::uint32_t(ints.size()) + 8 * fonts_and_colours +
                                   8 * std::uint32_t(points.size()) +
                                   4 * std::uint32_t(strings.size()) + 8 * fonts_and_colours;
        grow(size);
        put16(record + 14, std::uint16_t(child_count));
        auto entry = [&](const WString& name, std::uint32_t width) {
            put16(record + at, std::uint16_t(m_names[name]));
            at += width;
            return record + at - width;
        };
        put16(record + 0, std::uint16_t(at));
        for (const WString& name : ints)
            put32(entry(name, 8) + 4, 1);
        put16(record + 2, std::uint16_t(at));
        if (fonts_and_colours)
            entry(u"font", 8);
        put16(record + 4, std::uint16_t(at));
        for (const WString& name : points)
            put16(entry(name, 8) + 4, 100);
        put16(record + 6, std::uint16_t(at));
        std::uint16_t index = 0;
        for (const WString& name : strings)
            put16(entry(name, 4) + 2, index++ % 4);
        put16(record + 8, std::uint16_t(at));
        put16(record + 10, std::uint16_t(at));
        if (fonts_and_colours)
            m_bytes[entry(u"color", 8) + 2] = 255;
        put16(record + 12, std::uint16_t(at));
        return record;
    }
    std::uint32_t link(const std::vector<std::uint32_t>& entries, std::size_t low,
                       std::size_t high) {
        if (low >= high)
            return 0xFFFFFFFF;
        const std::size_t mid = low + (high - low) / 2;
        put32(entries[mid], link(entries, low, mid));
        put32(entries[mid] + 4, link(entries, mid + 1, high));
        return entries[mid];
    }

    std::vector<std::uint8_t> m_bytes;
    std::map<WString, std::uint32_t> m_names;
};

std::vector<std::uint8_t> sample_skin() {
    static const std::vector<std::uint8_t> bytes = SkinBytes().build();
    return bytes;
}

void BM_SkinLoad(benchmark::State& state) {
    const auto bytes = sample_skin();
    state.counters["file_bytes"] = double(bytes.size());
    for (auto _ : state) {
        ui::PropertiesImpl skin(bytes, "/nonexistent", u"bench.skin", 0,
                                ui::SkinResources::NoPictures);
        if (!skin.is_loaded())
            state.SkipWithError("sample skin refused");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_SkinLoad);

void BM_PropertyLookup(benchmark::State& state) {
    ui::PropertiesImpl skin(sample_skin(), "/nonexistent", u"bench.skin", 0,
                            ui::SkinResources::NoPictures);
    const ui::NodeRecord text = skin.child(skin.find_node(u"Form17"), 2);
    if (skin.read_int(text, u"grow", 0) != 1 || skin.read_string(text, u"halign", u"") != u"text")
        state.SkipWithError("sample skin did not load as built");
    for (auto _ : state) {
        benchmark::DoNotOptimize(skin.read_int(text, u"ellipsis", 0));
        benchmark::DoNotOptimize(skin.read_point(text, u"design_size", {}));
        benchmark::DoNotOptimize(skin.read_colour(text, u"color", {}));
        benchmark::DoNotOptimize(skin.read_int(text, u"missing", 0));
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 4);
}
BENCHMARK(BM_PropertyLookup);

void BM_StringLookup(benchmark::State& state) {
    ui::PropertiesImpl skin(sample_skin(), "/nonexistent", u"bench.skin", 0,
                            ui::SkinResources::NoPictures);
    const ui::NodeRecord text = skin.child(skin.find_node(u"Form17"), 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(skin.read_string(text, u"valign", u""));
}
BENCHMARK(BM_StringLookup);

void BM_TopLevelLookup(benchmark::State& state) {
    ui::PropertiesImpl skin(sample_skin(), "/nonexistent", u"bench.skin", 0,
                            ui::SkinResources::NoPictures);
    std::vector<WString> names;
    for (int i = 0; i < 40; ++i)
        names.push_back(u"Form" + to_wstring(i));
    for (const WString& name : names)
        if (!skin.find_node(name))
            state.SkipWithError("node missing");
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(skin.find_node(names[i]));
        i = (i + 1) % names.size();
    }
}
BENCHMARK(BM_TopLevelLookup);

} // namespace
