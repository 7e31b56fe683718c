// Placement by scale types, measures and their caching, and the tables.
#include "node_test_support.h"
#include "ui/layout.h"
#include "ui/table_node.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using Widths = std::vector<std::int32_t>;

TEST(ScaleType, WordsParseExactlyAndRoundTrip) {
    for (int i = 0; i <= 8; ++i) {
        const auto type = static_cast<ScaleType>(i);
        EXPECT_EQ(parse_scale_type(scale_type_word(type)), type);
    }
    EXPECT_EQ(parse_scale_type(u"CENTER_NO_SIZE"), ScaleType::CenterNoSize);
    for (const char16_t* word : {u"center", u"CENTER ", u""})
        EXPECT_EQ(parse_scale_type(word), std::nullopt);
    EXPECT_FALSE(adds_to_measure(ScaleType::CenterNoSize));
    EXPECT_TRUE(adds_to_measure(ScaleType::Center));
}

// Each row: type, parent size, borders, asked size, and the span placed.
TEST(ScaleType, PlacementRule) {
    const struct {
        ScaleType type;
        std::int32_t space, min, max, size;
        Span span;
    } rows[] = {
        {ScaleType::Center, 100, 10, 20, 50, {20, 50}},
        {ScaleType::Center, 100, 10, 20, 90, {10, 70}},
        {ScaleType::MaxSide, 100, 0, 5, 30, {65, 30}},
        {ScaleType::MaxSide, 100, 0, 5, 120, {0, 95}},
        {ScaleType::BothSide, 100, 60, 70, 10, {60, 0}},
        {ScaleType::MinSide, 100, 30, 0, 90, {30, 70}},
        {ScaleType::Ratio, 100, 10, 10, 200, {10, 80}},
        // The no-size types are not limited by the parent.
        {ScaleType::MinSideNoSize, 100, 10, 0, 150, {10, 150}},
        {ScaleType::MaxSideNoSize, 100, 0, 10, 150, {0, 150}},
        {ScaleType::MaxSideNoSize, 100, 0, 10, 30, {60, 30}},
        {ScaleType::CenterNoSize, 100, 0, 0, 40, {30, 40}},
        {ScaleType::BothSideNoSize, 100, 10, 20, 999, {10, 70}},
        {ScaleType::MinSideNoSize, 100, 0, 0, -5, {0, 0}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(place_in_space(r.type, r.space, r.min, r.max, r.size), r.span)
            << to_utf8(scale_type_word(r.type)) << " " << r.size;
}

TEST(PlainLayout, PlacingAnUnchangedRectangleDoesNothing) {
    struct Recorder : NodeObserver {
        std::vector<std::pair<char, std::int32_t>> calls;
        void node_placed_x(Node&, std::int32_t width) override { calls.push_back({'x', width}); }
        void node_placed_y(Node&, std::int32_t height) override { calls.push_back({'y', height}); }
    } observer;
    Node root;
    auto& child = add<FixedNode>(root, Measure{10, 10}, Measure{20, 20});
    child.set_observer(&observer);
    place(root, 0, 0, 100, 50);
    EXPECT_EQ(observer.calls, (decltype(observer.calls){{'x', 100}, {'y', 50}}));
    const int layouts = child.layout_calls;
    root.mark_layout(); // only the root: the child's rectangle stays the same
    place(root, 0, 0, 100, 50);
    EXPECT_EQ(child.layout_calls, layouts);
    EXPECT_EQ(observer.calls.size(), 2u);
    child.place_x(0, 100);
    EXPECT_EQ(child.layout_calls, layouts);
    child.place_x(0, 90);
    EXPECT_EQ(child.layout_calls, layouts + 1);
    EXPECT_TRUE(child.layout_needed()) << "until its vertical placement";
    // A new width makes the height measure stale.
    root.place_x(0, 80);
    const int before = child.measure_calls;
    root.place_y(0, 100);
    EXPECT_EQ(child.measure_calls, before + 1);
}

namespace {

// A row of fixed cells; each given as (preferred, minimum) and a ratio.
struct Row {
    HTableNode table;
    std::vector<FixedNode*> cells;
    Row(std::initializer_list<std::tuple<std::int32_t, std::int32_t, std::uint32_t>> specs) {
        for (const auto& [preferred, minimum, ratio] : specs) {
            cells.push_back(&add<FixedNode>(table, Measure{preferred, minimum}));
            table.set_table_ratio(table.child_count() - 1, ratio);
        }
    }
    Widths widths() const {
        Widths out;
        for (auto* cell : cells)
            out.push_back(cell->width());
        return out;
    }
    Widths lefts() const {
        Widths out;
        for (auto* cell : cells)
            out.push_back(cell->x());
        return out;
    }
    Widths place(std::int32_t width) {
        table.place_x(0, width);
        table.place_y(0, 20);
        return widths();
    }
};

} // namespace

TEST(Table, WidthsAreSharedByMinimumsPreferredAndRatios) {
    struct {
        Row row;
        std::int32_t width;
        Widths widths;
    } rows[] = {
        // Too narrow: in proportion to the minimums.
        {{{10, 10, 0}, {20, 20, 0}, {30, 30, 0}}, 30, {5, 10, 15}},
        // Surplus goes only to children with a ratio.
        {{{10, 10, 0}, {20, 20, 0}, {30, 30, 0}}, 100, {10, 20, 30}},
        {{{10, 10, 0}, {20, 20, 1}, {30, 30, 0}}, 100, {10, 60, 30}},
        // Growing evenly towards preferred; those that reach it hand on.
        {{{20, 10, 0}, {20, 10, 0}, {20, 10, 0}}, 45, {15, 15, 15}},
        {{{12, 10, 0}, {30, 10, 0}, {30, 10, 0}}, 60, {12, 24, 24}},
        {{{20, 20, 1}, {20, 20, 1}, {20, 20, 0}}, 60, {20, 20, 20}},
        {{{0, 0, 2}, {0, 0, 1}}, 10, {6, 4}}, // unequal ratios share exactly
    };
    for (auto& r : rows)
        EXPECT_EQ(r.row.place(r.width), r.widths) << r.width;
    Row sums({{12, 10, 0}, {30, 10, 0}, {30, 10, 0}});
    const Widths w = sums.place(61); // 31 to grow: the odd pixel by running sums
    EXPECT_EQ(w[0] + w[1] + w[2], 61);
    EXPECT_EQ(w[0], 12);
    Row lefts({{10, 10, 0}, {20, 20, 1}, {30, 30, 0}});
    lefts.place(100);
    EXPECT_EQ(lefts.lefts(), (Widths{0, 10, 70}));
}

TEST(Table, RatiosFollowTheirChildrenOnRemovalAndInsertion) {
    Row row({{10, 10, 0}, {10, 10, 3}, {10, 10, 5}});
    row.table.remove_child(row.cells[0], 0);
    EXPECT_EQ(row.table.table_ratio(0), 3u);
    EXPECT_EQ(row.table.table_ratio(1), 5u);
    row.table.insert_child(std::make_unique<Node>(), 0);
    EXPECT_EQ(row.table.table_ratio(0), 0u);
    EXPECT_EQ(row.table.table_ratio(1), 3u);
}
