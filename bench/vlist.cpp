// One frame of a scrolling 480 x 640 list (rows of two texts and an icon):
// the inertia step, rebinding of the rows that come into view and drawing,
// against a memcpy of the same frame.
#include "ui/vlist.h"
#include "ui/basic_nodes.h"
#include "ui/font_cache.h"
#include "ui/render_surface.h"
#include "ui/text_node.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 640;
constexpr std::int32_t kRowHeight = 96; // 48 design pixels, doubled

FontHandle font(std::int32_t size) {
    FontDescription description;
    description.size = size;
    description.face = u"DejaVu Sans";
    return font_for(description);
}

class Contacts : public ListAdapter {
  public:
    explicit Contacts(std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) {
            m_names.push_back(from_utf8("Contact number " + std::to_string(i)));
            m_details.push_back(from_utf8("+44 20 7946 " + std::to_string(1000 + i % 9000)));
        }
        m_primary = font(20);
        m_secondary = font(16);
    }
    std::int32_t item_count() const override { return std::int32_t(m_names.size()); }
    std::unique_ptr<ListElement> create_element() override {
        auto row = std::make_unique<ListElement>();
        row->set_element_size(kRowHeight);
        auto background = std::make_unique<ColorNode>();
        background->set_name(u"#vlist_normal");
        background->set_color({255, 255, 255, 255});
        row->append_child(std::move(background));
        auto pressed = std::make_unique<ColorNode>();
        pressed->set_name(u"#vlist_pressed");
        pressed->set_color({0xDB, 0xE8, 0xFB, 255});
        row->append_child(std::move(pressed));
        auto icon = std::make_unique<ColorNode>();
        icon->set_color({0x1A, 0x73, 0xE8, 255});
        icon->set_anchor(ScaleType::MinSide, ScaleType::Center);
        icon->set_design_size({56, 56});
        icon->set_borders({16, 0}, {0, 0});
        row->append_child(std::move(icon));
        for (int line = 0; line < 2; ++line) {
            auto text = std::make_unique<TextNode>();
            text->set_name(line == 0 ? u"name" : u"detail");
            text->set_font(line == 0 ? m_primary : m_secondary);
            text->set_color(line == 0 ? Colour{0x1A, 0x1F, 0x24, 255}
                                      : Colour{0x5E, 0x6B, 0x78, 255});
            text->set_halign(HAlign::Left);
            text->set_borders({88, line == 0 ? 14 : 52}, {16, line == 0 ? 44 : 12});
            row->append_child(std::move(text));
        }
        return row;
    }
    void bind_element(ListElement& element, std::int32_t index) override {
        static_cast<TextNode*>(element.find(u"name"))->set_text(m_names[std::size_t(index)]);
        static_cast<TextNode*>(element.find(u"detail"))->set_text(m_details[std::size_t(index)]);
    }
    void element_clicked(VirtualList&, std::int32_t) override {}

  private:
    std::vector<WString> m_names;
    std::vector<WString> m_details;
    FontHandle m_primary;
    FontHandle m_secondary;
};

void BM_ScrollingListFrame(benchmark::State& state) {
    Contacts contacts(100000);
    Node screen;
    auto owned = std::make_unique<VirtualList>();
    VirtualList& list = *owned;
    screen.append_child(std::move(owned));
    list.set_adapter(&contacts);
    screen.place_x(0, kWidth);
    screen.place_y(0, kHeight);
    list.scroll_to_item(50);
    RenderSurface surface;
    surface.resize(kWidth, kHeight);
    for (auto _ : state) {
        // A steady fling: a new row comes into view every few frames.
        list.set_velocity(-1500.0);
        screen.tick(1.0 / 60.0);
        screen.draw_node(surface, {});
        benchmark::DoNotOptimize(surface.row(0));
    }
    state.counters["pool"] = double(list.pool_size());
    state.counters["first"] = double(list.first_visible_index());
}
BENCHMARK(BM_ScrollingListFrame)->Unit(benchmark::kMicrosecond);

void BM_FrameMemcpy(benchmark::State& state) {
    std::vector<std::uint16_t> from(std::size_t(kWidth) * kHeight, 0x1234);
    std::vector<std::uint16_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 2);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FrameMemcpy)->Unit(benchmark::kMicrosecond);

} // namespace
