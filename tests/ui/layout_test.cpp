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
    Widths place(std::int32_t width) {
        table.place_x(0, width);
        table.place_y(0, 20);
        return widths();
    }
};

} // namespace

TEST(Table, RatiosFollowTheirChildrenOnRemovalAndInsertion) {
    Row row({{10, 10, 0}, {10, 10, 3}, {10, 10, 5}});
    row.table.remove_child(row.cells[0], 0);
    EXPECT_EQ(row.table.table_ratio(0), 3u);
    EXPECT_EQ(row.table.table_ratio(1), 5u);
    row.table.insert_child(std::make_unique<Node>(), 0);
    EXPECT_EQ(row.table.table_ratio(0), 0u);
    EXPECT_EQ(row.table.table_ratio(1), 3u);
}
