// Text speed: a screenful of list text drawn from warm glyph caches, and
// measuring a contact name the way wrapping and ellipsis do.
#include "ui/font_cache.h"
#include "ui/font_draw.h"
#include "ui/font_measure.h"
#include "ui/render_surface.h"

#include <benchmark/benchmark.h>

#include <array>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

// List primary text (size 10) on a double-resolution screen.
FontHandle list_font() {
    FontDescription description;
    description.size = 10;
    description.scale_factor = 2;
    return font_for(description);
}

const std::array<WStringView, 6> lines = {
    u"Александр Иванов",     u"Maria Schneider +49 30 1234567",  u"Ёлкина Татьяна Сергеевна",
    u"John O'Connor (work)", u"Пётр Чайковский 8 912 345-67-89", u"Zoë Quinn · вчера 21:47",
};

void BM_DrawScreenOfText(benchmark::State& state) {
    RenderSurface surface;
    surface.resize(480, 640);
    FontHandle font = list_font();
    const Colour ink{0x1A, 0x1F, 0x24, 255};
    constexpr int line_count = 30;
    constexpr int pitch = 640 / line_count;
    for (int i = 0; i < line_count; ++i) // warm the glyph cache
        draw_text(surface, 16, i * pitch, font.get(), lines[i % lines.size()], ink);
    std::int64_t characters = 0;
    for (auto _ : state) {
        for (int i = 0; i < line_count; ++i) {
            const WStringView line = lines[i % lines.size()];
            benchmark::DoNotOptimize(draw_text(surface, 16, i * pitch, font.get(), line, ink));
            characters += static_cast<std::int64_t>(line.size());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(characters);
    state.SetLabel("30 lines, 480x640");
}
BENCHMARK(BM_DrawScreenOfText)->Unit(benchmark::kMicrosecond);

void BM_MeasureName(benchmark::State& state) {
    FontHandle font = list_font();
    const WStringView name = u"Константин Константинопольский";
    measure_text(font.get(), name);
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_text(font.get(), name, 300));
}
BENCHMARK(BM_MeasureName);

void BM_MeasureNameWithPositions(benchmark::State& state) {
    FontHandle font = list_font();
    const WStringView name = u"Константин Константинопольский";
    std::vector<std::int32_t> positions;
    measure_text(font.get(), name, no_width_limit, positions);
    for (auto _ : state)
        benchmark::DoNotOptimize(measure_text(font.get(), name, 300, positions));
}
BENCHMARK(BM_MeasureNameWithPositions);

} // namespace
