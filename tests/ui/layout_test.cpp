#include "node_test_support.h"
#include "ui/layout.h"
#include "ui/table_node.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;
using telvara::ui::test::FixedNode;

TEST(ScaleType, WordsParseExactlyAndRoundTrip) {
    for (int i = 0; i <= 8; ++i) {
        const auto type = static_cast<ScaleType>(i);
        EXPECT_EQ(parse_scale_type(scale_type_word(type)), type);
    }
    EXPECT_EQ(parse_scale_type(u"CENTER_NO_SIZE"), ScaleType::CenterNoSize);
    EXPECT_EQ(parse_scale_type(u"center"), std::nullopt);
    EXPECT_EQ(parse_scale_type(u"CENTER "), std::nullopt);
    EXPECT_EQ(parse_scale_type(u""), std::nullopt);
}

TEST(ScaleType, PlacementRuleWorkedExamples) {
    EXPECT_EQ(place_in_space(ScaleType::Center, 100, 10, 20, 50), (Span{20, 50}));
    EXPECT_EQ(place_in_space(ScaleType::Center, 100, 10, 20, 90), (Span{10, 70}));
    EXPECT_EQ(place_in_space(ScaleType::MaxSide, 100, 0, 5, 30), (Span{65, 30}));
    EXPECT_EQ(place_in_space(ScaleType::MaxSide, 100, 0, 5, 120), (Span{0, 95}));
    EXPECT_EQ(place_in_space(ScaleType::BothSide, 100, 60, 70, 10), (Span{60, 0}));
    EXPECT_EQ(place_in_space(ScaleType::MinSide, 100, 30, 0, 90), (Span{30, 70}));
    EXPECT_EQ(place_in_space(ScaleType::Ratio, 100, 10, 10, 200), (Span{10, 80}));
}

TEST(ScaleType, NoSizeTypesAreNotLimitedByTheParent) {
    EXPECT_EQ(place_in_space(ScaleType::MinSideNoSize, 100, 10, 0, 150), (Span{10, 150}));
    EXPECT_EQ(place_in_space(ScaleType::MaxSideNoSize, 100, 0, 10, 150), (Span{0, 150}));
    EXPECT_EQ(place_in_space(ScaleType::MaxSideNoSize, 100, 0, 10, 30), (Span{60, 30}));
    EXPECT_EQ(place_in_space(ScaleType::CenterNoSize, 100, 0, 0, 40), (Span{30, 40}));
    EXPECT_EQ(place_in_space(ScaleType::BothSideNoSize, 100, 10, 20, 999), (Span{10, 70}));
    EXPECT_EQ(place_in_space(ScaleType::MinSideNoSize, 100, 0, 0, -5).size, 0);
    EXPECT_FALSE(adds_to_measure(ScaleType::CenterNoSize));
    EXPECT_TRUE(adds_to_measure(ScaleType::Center));
}

TEST(PlainLayout, MeasureAddsBordersAndIgnoresNoSizeChildren) {
    Node parent;
    parent.set_design_size({40, 10});
    auto& a = add<FixedNode>(parent, Measure{50, 20});
    a.set_borders({5, 0}, {7, 0});
    auto& big = add<FixedNode>(parent, Measure{500, 400});
    big.set_anchor(ScaleType::MinSideNoSize, ScaleType::BothSide);
    // need = 5 + 50 + 7 = 62; minimum = 62 - 50 + 20 = 32.
    EXPECT_EQ(parent.get_measure_x(), (Measure{62, 40}));
    EXPECT_EQ(parent.get_measure_y(), (Measure{10, 10}));
}

TEST(PlainLayout, MeasureIsCachedUntilLayoutIsMarked) {
    Node parent;
    auto& child = add<FixedNode>(parent, Measure{30, 10});
    parent.get_measure_x();
    parent.get_measure_x();
    EXPECT_EQ(child.measure_calls, 1);

    child.set_asked_x({70, 10});
    EXPECT_TRUE(parent.layout_needed());
    EXPECT_EQ(parent.get_measure_x().preferred, 70);
    EXPECT_EQ(child.measure_calls, 2);
}

TEST(PlainLayout, ChildrenArePlacedByTheirScaleTypes) {
    Node parent;
    auto& center = add<FixedNode>(parent, Measure{50, 50});
    center.set_anchor(ScaleType::Center, ScaleType::Center);
    center.set_borders({10, 0}, {20, 0});
    auto& right = add<FixedNode>(parent, Measure{30, 30}, Measure{15, 15});
    right.set_anchor(ScaleType::MaxSide, ScaleType::MinSide);
    right.set_borders({0, 4}, {5, 0});
    auto& both = add<Node>(parent);

    parent.place_x(7, 100);
    parent.place_y(3, 60);
    EXPECT_EQ(center.x(), 7 + 20);
    EXPECT_EQ(center.width(), 50);
    EXPECT_EQ(right.x(), 7 + 65);
    EXPECT_EQ(right.width(), 30);
    EXPECT_EQ(right.y(), 3 + 4);
    EXPECT_EQ(right.height(), 15);
    EXPECT_EQ(both.x(), 7);
    EXPECT_EQ(both.width(), 100);
    EXPECT_EQ(both.height(), 60);
    EXPECT_FALSE(parent.layout_needed());

    // A new size re-centres and re-anchors without reloading anything.
    parent.place_x(0, 200);
    parent.place_y(3, 60);
    EXPECT_EQ(center.x(), 10 + (200 - 10 - 50 - 20) / 2);
    EXPECT_EQ(right.x(), 165);
    EXPECT_EQ(both.width(), 200);
}

namespace {
struct Recorder : NodeObserver {
    std::vector<std::pair<char, std::int32_t>> calls;
    void node_placed_x(Node&, std::int32_t width) override { calls.push_back({'x', width}); }
    void node_placed_y(Node&, std::int32_t height) override { calls.push_back({'y', height}); }
};
} // namespace

TEST(PlainLayout, PlacingAnUnchangedRectangleDoesNothing) {
    Node root;
    auto& child = add<FixedNode>(root, Measure{10, 10});
    Recorder observer;
    child.set_observer(&observer);
    root.place_x(0, 100);
    root.place_y(0, 50);
    ASSERT_EQ(observer.calls.size(), 2u);
    EXPECT_EQ(observer.calls[0], (std::pair<char, std::int32_t>{'x', 100}));
    EXPECT_EQ(observer.calls[1], (std::pair<char, std::int32_t>{'y', 50}));
    const int layouts = child.layout_calls;

    root.mark_layout(); // only the root: the child's rectangle stays the same
    root.place_x(0, 100);
    root.place_y(0, 50);
    EXPECT_EQ(child.layout_calls, layouts);
    EXPECT_EQ(observer.calls.size(), 2u);

    child.place_x(0, 100);
    EXPECT_EQ(child.layout_calls, layouts);
    child.place_x(0, 90);
    EXPECT_EQ(child.layout_calls, layouts + 1);
    EXPECT_TRUE(child.layout_needed()); // until its vertical placement
}

TEST(PlainLayout, HorizontalPlacementMakesTheVerticalMeasureStale) {
    Node root;
    auto& child = add<FixedNode>(root, Measure{10, 10}, Measure{20, 20});
    root.place_x(0, 100);
    root.place_y(0, 100);
    root.place_x(0, 80);
    const int before = child.measure_calls; // the height must be asked again
    root.place_y(0, 100);
    EXPECT_EQ(child.measure_calls, before + 1);
}

// --- Tables ---------------------------------------------------------------------

namespace {

struct Row {
    HTableNode table;
    std::vector<FixedNode*> cells;

    void add_cell(Measure m, std::uint32_t ratio = 0) {
        cells.push_back(&add<FixedNode>(table, m));
        table.set_table_ratio(table.child_count() - 1, ratio);
    }
    std::vector<std::int32_t> widths() const {
        std::vector<std::int32_t> out;
        for (auto* cell : cells)
            out.push_back(cell->width());
        return out;
    }
    std::vector<std::int32_t> lefts() const {
        std::vector<std::int32_t> out;
        for (auto* cell : cells)
            out.push_back(cell->x());
        return out;
    }
    void place(std::int32_t width) {
        table.place_x(0, width);
        table.place_y(0, 20);
    }
};

using Widths = std::vector<std::int32_t>;

} // namespace

TEST(Table, TooNarrowSharesInProportionToTheMinimums) {
    Row row;
    row.add_cell({10, 10});
    row.add_cell({20, 20});
    row.add_cell({30, 30});
    row.place(30);
    EXPECT_EQ(row.widths(), (Widths{5, 10, 15}));
    EXPECT_EQ(row.lefts(), (Widths{0, 5, 15}));
}

TEST(Table, SurplusGoesOnlyToChildrenWithARatio) {
    Row plain;
    plain.add_cell({10, 10});
    plain.add_cell({20, 20});
    plain.add_cell({30, 30});
    plain.place(100);
    EXPECT_EQ(plain.widths(), (Widths{10, 20, 30}));

    Row ratio;
    ratio.add_cell({10, 10});
    ratio.add_cell({20, 20}, 1);
    ratio.add_cell({30, 30});
    ratio.place(100);
    EXPECT_EQ(ratio.widths(), (Widths{10, 60, 30}));
    EXPECT_EQ(ratio.lefts(), (Widths{0, 10, 70}));
}

TEST(Table, GrowsEvenlyTowardsPreferred) {
    Row row;
    for (int i = 0; i < 3; ++i)
        row.add_cell({20, 10});
    row.place(45);
    EXPECT_EQ(row.widths(), (Widths{15, 15, 15}));
}

TEST(Table, GrowingChildrenThatReachPreferredHandTheRestOn) {
    Row row;
    row.add_cell({12, 10});
    row.add_cell({30, 10});
    row.add_cell({30, 10});
    row.place(60);
    EXPECT_EQ(row.widths(), (Widths{12, 24, 24}));
    row.place(61); // 31 to grow: 2 + the odd pixel shared by running sums
    const Widths w = row.widths();
    EXPECT_EQ(w[0] + w[1] + w[2], 61);
    EXPECT_EQ(w[0], 12);
}

TEST(Table, SurplusSplitsBetweenRatioChildrenAndHiddenChildStaysPut) {
    Row row;
    row.add_cell({20, 20}, 1);
    row.add_cell({20, 20}, 1);
    row.add_cell({20, 20});
    row.place(60);
    EXPECT_EQ(row.widths(), (Widths{20, 20, 20}));

    row.cells[2]->set_visible(false);
    row.place(50);
    EXPECT_EQ(row.widths(), (Widths{25, 25, 20}));
    EXPECT_EQ(row.cells[2]->x(), 40); // the old rectangle
}

TEST(Table, UnequalRatiosShareTheSurplusExactly) {
    Row row;
    row.add_cell({0, 0}, 2);
    row.add_cell({0, 0}, 1);
    row.place(10);
    EXPECT_EQ(row.widths(), (Widths{6, 4}));
}

TEST(Table, MarginsAreKeptAndNothingLeftGivesZeroSizes) {
    Row row;
    row.add_cell({10, 10});
    row.add_cell({10, 10});
    row.cells[0]->set_borders({3, 0}, {2, 0});
    row.cells[1]->set_anchor(ScaleType::Center, ScaleType::BothSide);
    row.cells[1]->set_borders({1, 0}, {1, 0});
    row.place(27);
    EXPECT_EQ(row.widths(), (Widths{10, 10}));
    EXPECT_EQ(row.lefts(), (Widths{3, 16}));

    row.table.place_x(4, 7); // margins 7: nothing left
    EXPECT_EQ(row.widths(), (Widths{0, 0}));
    EXPECT_EQ(row.lefts(), (Widths{4, 4}));
}

TEST(Table, MeasureSumsVisibleChildren) {
    Row row;
    row.add_cell({20, 10});
    row.add_cell({30, 5});
    row.add_cell({100, 100});
    row.cells[0]->set_borders({2, 0}, {3, 0});
    row.cells[2]->set_visible(false);
    // total = 25 + 30, slack = 10 + 25
    EXPECT_EQ(row.table.get_measure_x(), (Measure{55, 20}));
    row.table.set_design_size({80, 0});
    EXPECT_EQ(row.table.get_measure_x(), (Measure{80, 20}));
}

TEST(Table, ColumnWorksAlongYAndPlainAlongX) {
    VTableNode column;
    auto& a = add<FixedNode>(column, Measure{10, 10}, Measure{10, 10});
    auto& b = add<FixedNode>(column, Measure{10, 10}, Measure{30, 30});
    a.set_anchor(ScaleType::MinSide, ScaleType::BothSide);
    column.place_x(0, 50);
    column.place_y(5, 20);
    EXPECT_EQ(a.width(), 10);
    EXPECT_EQ(b.width(), 50);
    EXPECT_EQ(a.height(), 5);
    EXPECT_EQ(b.height(), 15);
    EXPECT_EQ(b.y(), 10);
}

TEST(Table, RatiosFollowTheirChildrenOnRemoval) {
    Row row;
    row.add_cell({10, 10}, 0);
    row.add_cell({10, 10}, 3);
    row.add_cell({10, 10}, 5);
    row.table.remove_child(row.cells[0], 0);
    EXPECT_EQ(row.table.table_ratio(0), 3u);
    EXPECT_EQ(row.table.table_ratio(1), 5u);
    row.table.insert_child(std::make_unique<Node>(), 0);
    EXPECT_EQ(row.table.table_ratio(0), 0u);
    EXPECT_EQ(row.table.table_ratio(1), 3u);
}
