// Wrapped text nodes: a screenful (480x640) of paragraph text laid out from
// scratch, drawn from its cached lines, and both, beside a plain copy of the
// frame as the yardstick.
#include "ui/text_layout.h"
#include "ui/font_cache.h"
#include "ui/render_surface.h"
#include "ui/rich_text_node.h"
#include "ui/text_node.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 640;

FontHandle body_font() {
    FontDescription description;
    description.size = 10;
    description.scale_factor = 2;
    return font_for(description);
}

// About two screenfuls of mixed Latin and Cyrillic prose with line feeds.
WString paragraph(char16_t variant) {
    WString text;
    for (int i = 0; i < 24; ++i) {
        text += u"Call Maria Schneider back about the meeting notes, then "
                u"позвонить Александру Иванову насчёт встречи; see example.com ";
        text += variant;
        if (i % 5 == 4)
            text += u'\n';
    }
    return text;
}

template <class T> void prepare(T& node, const WString& text) {
    node.set_font(body_font());
    node.set_wrap(true);
    node.set_halign(HAlign::Left);
    node.set_valign(VAlign::Top);
    node.set_color({0x1A, 0x1F, 0x24, 255});
    node.set_text(text);
    node.place_x(0, kWidth);
    node.place_y(0, kHeight);
}

// New text every round: measure, wrap and place again.
void BM_LayoutScreenful(benchmark::State& state) {
    TextNode node;
    const WString texts[2] = {paragraph(u'a'), paragraph(u'b')};
    prepare(node, texts[0]);
    int round = 0;
    for (auto _ : state) {
        node.set_text(texts[++round & 1]);
        benchmark::DoNotOptimize(node.lines().size());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts[0].size()));
    state.SetLabel("characters");
}
BENCHMARK(BM_LayoutScreenful);

// Unchanged text: lines come from the cache, only the drawing runs.
template <class T> void draw_screenful(benchmark::State& state) {
    RenderSurface surface;
    surface.resize(kWidth, kHeight);
    T node;
    prepare(node, paragraph(u'a'));
    node.set_highlight(u"Maria");
    node.draw(surface, {0, 0}); // warm the glyph cache
    for (auto _ : state) {
        node.draw(surface, {0, 0});
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(node.lines().size()) + " lines");
}
void BM_DrawScreenful(benchmark::State& state) {
    draw_screenful<TextNode>(state);
}
void BM_DrawScreenfulRichText(benchmark::State& state) {
    draw_screenful<RichTextNode>(state);
}
BENCHMARK(BM_DrawScreenful);
BENCHMARK(BM_DrawScreenfulRichText);

// A new text laid out and drawn: the worst case of one frame.
void BM_LayoutAndDrawScreenful(benchmark::State& state) {
    RenderSurface surface;
    surface.resize(kWidth, kHeight);
    TextNode node;
    const WString texts[2] = {paragraph(u'a'), paragraph(u'b')};
    prepare(node, texts[0]);
    node.draw(surface, {0, 0});
    int round = 0;
    for (auto _ : state) {
        node.set_text(texts[++round & 1]);
        node.draw(surface, {0, 0});
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LayoutAndDrawScreenful);

// The yardstick: copying one 480x640 16-bit frame.
void BM_FrameCopy(benchmark::State& state) {
    std::vector<std::uint16_t> from(kWidth * kHeight, 0x1234);
    std::vector<std::uint16_t> to(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(std::uint16_t));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(from.size() * sizeof(std::uint16_t)));
}
BENCHMARK(BM_FrameCopy);

} // namespace
