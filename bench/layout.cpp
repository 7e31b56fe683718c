// Layout of a screen-sized node tree (~300 nodes: title bar, a list of rows,
// a tab bar) from scratch, and again when nothing or only the root changed.
#include "ui/node.h"
#include "ui/table_node.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace telvara::ui;

namespace {

template <class T> T& add(Node& parent) {
    auto child = std::make_unique<T>();
    T& ref = *child;
    parent.append_child(std::move(child));
    return ref;
}

Node& leaf(Node& parent, ScaleType x, ScaleType y, Size design) {
    Node& node = add<Node>(parent);
    node.set_anchor(x, y);
    node.set_design_size(design);
    return node;
}

std::unique_ptr<Node> make_screen() {
    auto root = std::make_unique<Node>();
    VTableNode& column = add<VTableNode>(*root);

    HTableNode& title = add<HTableNode>(column);
    title.set_design_size({0, 24});
    leaf(title, ScaleType::MinSide, ScaleType::Center, {24, 24});
    leaf(title, ScaleType::Center, ScaleType::Center, {120, 16});
    leaf(title, ScaleType::MaxSide, ScaleType::Center, {24, 24});
    title.set_table_ratio(1, 1);

    VTableNode& list = add<VTableNode>(column);
    column.set_table_ratio(1, 1);
    for (int i = 0; i < 40; ++i) {
        HTableNode& row = add<HTableNode>(list);
        row.set_design_size({0, 40});
        leaf(row, ScaleType::MinSide, ScaleType::Center, {32, 32}).set_borders({8, 0}, {4, 0});
        Node& texts = add<Node>(row);
        row.set_table_ratio(1, 1);
        leaf(texts, ScaleType::BothSide, ScaleType::MinSide, {80, 18});
        leaf(texts, ScaleType::BothSide, ScaleType::MaxSide, {60, 14});
        leaf(row, ScaleType::Center, ScaleType::Center, {24, 24});
        leaf(row, ScaleType::MaxSideNoSize, ScaleType::CenterNoSize, {10, 10});
    }

    HTableNode& tabs = add<HTableNode>(column);
    tabs.set_design_size({0, 48});
    for (int i = 0; i < 5; ++i) {
        Node& tab = add<Node>(tabs);
        tabs.set_table_ratio(static_cast<std::size_t>(i), 1);
        leaf(tab, ScaleType::Center, ScaleType::MinSide, {24, 24}).set_borders({0, 4}, {});
        leaf(tab, ScaleType::BothSide, ScaleType::MaxSide, {40, 12}).set_borders({}, {0, 4});
    }
    return root;
}

std::int64_t count_nodes(const Node& node) {
    std::int64_t n = 1;
    for (std::size_t i = 0; i < node.child_count(); ++i)
        n += count_nodes(node.child(i));
    return n;
}

void BM_FullLayout(benchmark::State& state) {
    const auto width = static_cast<std::int32_t>(state.range(0));
    const auto height = static_cast<std::int32_t>(state.range(1));
    std::int64_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Node> screen = make_screen();
        nodes = count_nodes(*screen);
        state.ResumeTiming();
        screen->place_x(0, width);
        screen->place_y(0, height);
        benchmark::DoNotOptimize(screen->child(0).height());
        state.PauseTiming();
        screen.reset();
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_FullLayout)->Args({240, 320})->Args({480, 640});

// The frame loop's case when nothing is dirty: the root's rectangle is unchanged.
void BM_RelayoutNothingChanged(benchmark::State& state) {
    std::unique_ptr<Node> screen = make_screen();
    screen->place_x(0, 240);
    screen->place_y(0, 320);
    for (auto _ : state) {
        screen->place_x(0, 240);
        screen->place_y(0, 320);
        benchmark::DoNotOptimize(screen->layout_needed());
    }
}
BENCHMARK(BM_RelayoutNothingChanged);

// Only the root is marked: every child sees its unchanged rectangle and stops.
void BM_RelayoutRootMarked(benchmark::State& state) {
    std::unique_ptr<Node> screen = make_screen();
    screen->place_x(0, 240);
    screen->place_y(0, 320);
    for (auto _ : state) {
        screen->mark_layout();
        screen->place_x(0, 240);
        screen->place_y(0, 320);
        benchmark::DoNotOptimize(screen->layout_needed());
    }
}
BENCHMARK(BM_RelayoutRootMarked);

// One list row changed its content: the path to the root is laid out again.
void BM_RelayoutOneRowChanged(benchmark::State& state) {
    std::unique_ptr<Node> screen = make_screen();
    screen->place_x(0, 240);
    screen->place_y(0, 320);
    Node& row = screen->child(0).child(1).child(20);
    for (auto _ : state) {
        row.child(1).child(0).mark_layout();
        screen->place_x(0, 240);
        screen->place_y(0, 320);
        benchmark::DoNotOptimize(screen->layout_needed());
    }
}
BENCHMARK(BM_RelayoutOneRowChanged);

} // namespace
