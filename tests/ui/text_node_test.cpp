// The "text" node (measures with grow, line placement with its ellipses,
// highlights) and the text layout rules beneath it.
#include "ui/text_node.h"

#include "node_test_support.h"
#include "text_test_support.h"
#include "ui/font_measure.h"
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

// Exposes the line placement the drawing uses.
class ProbeText : public TextNode {
  public:
    using TextNode::place_lines;
};

class TextNodeTest : public testing::Test {
  protected:
    void SetUp() override {
        node.set_font(test_font());
        line = node.font()->height();
        ASSERT_GT(line, 0);
    }
    std::int32_t width_of(WStringView text) { return measure_text(node.font().get(), text).width; }

    ProbeText node;
    std::int32_t line = 0;
};

} // namespace

TEST_F(TextNodeTest, GrowAsksForTheTextWidthAndGrowMinRaisesTheMinimum) {
    node.set_grow(true, true);
    EXPECT_EQ(node.get_measure_x(), (Measure{0, 0})) << "empty text asks for no width";
    EXPECT_EQ(node.get_measure_y(), (Measure{line, line})) << "but one line's height";
    node.set_grow(false, false);
    node.set_text(u"Hello there");
    node.set_design_size({5, 3});
    const std::int32_t text_width = width_of(u"Hello there");
    EXPECT_EQ(node.get_measure_x(), (Measure{5, 5})) << "no grow: the base measure only";
    node.set_grow(true, false);
    EXPECT_EQ(node.get_measure_x(), (Measure{text_width, 5}));
    EXPECT_EQ(node.get_measure_y(), (Measure{line, 3}));
    node.set_grow(true, true);
    EXPECT_EQ(node.get_measure_x(), (Measure{text_width, text_width}));
    EXPECT_EQ(node.get_measure_y(), (Measure{line, line}));
}

TEST_F(TextNodeTest, WrappedLinesFollowTheWidthAndAreKeptUntilTextFontOrWidthChange) {
    node.set_text(u"hello world");
    node.set_wrap(true);
    node.set_grow(true, false);
    place(node, 0, 0, width_of(u"hello") + 4, 100);
    ASSERT_EQ(node.lines().size(), 2u);
    EXPECT_EQ(node.lines()[1].start, 6u);
    EXPECT_EQ(node.get_measure_y().preferred, 2 * line) << "a growing height follows the width";
    node.set_wrap(false);
    EXPECT_EQ(node.lines(), (std::vector<TextLine>{{0, 11}}));
    node.set_wrap(true);
    node.set_text(u"one two three four");
    node.place_x(0, width_of(u"one two") + 1);
    const std::vector<TextLine>* first = &node.lines();
    EXPECT_EQ(first->size(), 3u);
    EXPECT_EQ(&node.lines(), first) << "kept";
    node.place_x(0, width_of(u"one two three four"));
    EXPECT_EQ(node.lines().size(), 1u);
    node.set_font(test_font(20));
    EXPECT_EQ(node.lines().size(), 2u) << "a larger font wraps again at the same width";
}

TEST_F(TextNodeTest, ACutRowEndsInALoneEllipsisAndAnExactlyFittingOneShowsMoreFollows) {
    node.set_text(u"a\nb\nc");
    node.set_wrap(true);
    node.set_ellipsis(true);
    node.set_valign(VAlign::Top);
    place(node, 0, 0, 50, line + line / 2);
    const auto& cut = node.place_lines({0, 0});
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_FALSE(cut[0].lone_ellipsis);
    EXPECT_TRUE(cut[1].lone_ellipsis);
    EXPECT_EQ(cut[1].y, line + line / 2 - line) << "aligned to the node's bottom";
    EXPECT_EQ(cut[1].x, (50 - width_of(u"\u2026")) / 2) << "centred by its own width";
    place(node, 0, 0, 50, 2 * line);
    const auto& exact = node.place_lines({0, 0});
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_FALSE(exact[0].ellipsis);
    EXPECT_TRUE(exact[1].ellipsis);
    EXPECT_EQ(exact[1].drawn_end, 3u) << "short enough: nothing cut, the ellipsis follows";
    node.place_y(0, 3 * line);
    for (const auto& row : node.place_lines({0, 0}))
        EXPECT_FALSE(row.ellipsis || row.lone_ellipsis) << "room for all";
}

// A number never loses its end: the middle goes, the last digits stay.
TEST_F(TextNodeTest, AMiddleEllipsisKeepsTheLastDigits) {
    const WString number = u"+49 1234 5678 9012 3456 789";
    node.set_text(number);
    node.set_ellipsis(Ellipsis::Middle);
    place(node, 0, 0, width_of(number) / 2, line);
    const auto& placed = node.place_lines({0, 0});
    ASSERT_EQ(placed.size(), 1u);
    ASSERT_TRUE(placed[0].middle);
    EXPECT_GT(placed[0].drawn_end, 0u) << "some of the start";
    EXPECT_LT(placed[0].drawn_end, placed[0].tail_start);
    EXPECT_TRUE(number.substr(placed[0].tail_start).ends_with(u"789"));
    const std::int32_t shown = width_of(number.substr(0, placed[0].drawn_end)) +
                               width_of(u"\u2026") + width_of(number.substr(placed[0].tail_start));
    EXPECT_LE(shown, node.width()) << "it fits";
    EXPECT_GE(number.size() - placed[0].tail_start, placed[0].drawn_end) << "the end gets more";
    place(node, 0, 0, width_of(number), line);
    EXPECT_FALSE(node.place_lines({0, 0})[0].middle) << "room for all of it";
}

// A label shrinks to the largest size it fits in, down to its smallest one;
// past that it is cut like any text.
TEST_F(TextNodeTest, AShrinkingTextTakesTheLargestSizeThatFits) {
    const WString label = u"Добавить поле";
    node.set_font(test_font(12));
    node.set_text(label);
    node.set_shrink_to(7);
    node.set_ellipsis(true);
    auto width_at = [&](std::int32_t size) {
        return measure_text(test_font(size).get(), label).width;
    };
    ASSERT_LT(width_at(9), width_at(10));
    const struct {
        std::int32_t width, size;
        bool cut;
    } cases[] = {{width_at(12), 12, false},
                 {width_at(10), 10, false},
                 {width_at(10) - 1, 9, false},
                 {2, 7, true}};
    for (const auto& c : cases) {
        place(node, 0, 0, c.width, 40);
        EXPECT_EQ(node.shown_font()->description().size, c.size) << "width " << c.width;
        EXPECT_EQ(node.place_lines({0, 0})[0].ellipsis, c.cut) << "width " << c.width;
    }
    node.set_shrink_to(0);
    EXPECT_EQ(node.shown_font()->description().size, 12) << "no smallest size: no shrinking";
}

TEST_F(TextNodeTest, HighlightsUseTheirColourOverTheirCharactersOnly) {
    node.set_text(u"aa bb aa");
    node.set_halign(HAlign::Left);
    node.set_highlight_color({0, 160, 0, 255});
    node.set_highlight(u"bb");
    RenderSurface surface;
    surface.resize(120, 60);
    paint(surface, kWhite);
    place(node, 0, 0, 120, 60);
    node.draw_node(surface, {});
    const Rect marked = colour_box(surface, to_565(0, 160, 0));
    ASSERT_FALSE(marked.is_empty());
    EXPECT_GE(marked.left, width_of(u"aa ") - 1);
    EXPECT_LE(marked.right, width_of(u"aa bb") + 1);
    EXPECT_GT(count(surface, 0x0000), 0) << "the rest stays in the text colour";
}

TEST(TextLayoutWrap, SurrogatePairsAreNeverSplit) {
    // U+1F600 twice: two units each, both units share their glyph's end.
    const WString text = u"\U0001F600\U0001F600";
    const std::vector<std::int32_t> positions = {10, 10, 20, 20};
    for (std::int32_t width : {15, 5}) {
        std::vector<TextLine> lines;
        break_lines(text, positions, WrapMode::Words, width, lines);
        EXPECT_EQ(lines, (std::vector<TextLine>{{0, 2}, {2, 4}})) << width;
    }
}

TEST(TextLayoutHighlight, OccurrencesNeverOverlap) {
    using Ranges = std::vector<TextRange>;
    EXPECT_EQ(find_highlights(u"aaaa", u"aa"), (Ranges{{0, 2}, {2, 2}}));
    EXPECT_EQ(find_highlights(u"xaaab", u"aa"), (Ranges{{1, 2}}));
    EXPECT_EQ(find_highlights(u"xababx", u"ab"), (Ranges{{1, 2}, {3, 2}}));
    EXPECT_TRUE(find_highlights(u"abc", u"").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"abcd").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"B").empty()) << "exact, case-sensitive";
}

TEST(TextLayoutAlign, BothAxesAndTheSkinWords) {
    EXPECT_EQ(align_x(HAlign::Left, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Justify, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Center, 100, 40), 30);
    EXPECT_EQ(align_x(HAlign::Right, 100, 40), 60);
    EXPECT_EQ(align_x(HAlign::Center, 100, 140), -20) << "overhangs on both sides";
    EXPECT_EQ(align_y(VAlign::Top, 20, 30), 0);
    EXPECT_EQ(align_y(VAlign::VCenter, 40, 10), 15);
    EXPECT_EQ(align_y(VAlign::VCenter, 20, 30), 0) << "never above the top";
    EXPECT_EQ(align_y(VAlign::Bottom, 20, 30), -10) << "the first line starts above the top";
    EXPECT_EQ(parse_halign(u"JUSTIFY"), HAlign::Justify);
    EXPECT_EQ(parse_halign(u"RIGHT"), HAlign::Right);
    EXPECT_EQ(parse_halign(u"right"), std::nullopt);
    EXPECT_EQ(parse_valign(u"BOTTOM"), VAlign::Bottom);
    EXPECT_EQ(parse_valign(u"CENTER"), std::nullopt) << "the vertical word is VCENTER";
}

TEST(TextLayoutRuns, SplitAtLinkAndHighlightEdges) {
    using Runs = std::vector<StyledRun>;
    Runs runs;
    const std::vector<TextRange> links = {{5, 10}};
    const std::vector<TextRange> marks = {{0, 2}, {8, 4}, {30, 2}};
    split_runs(0, 20, links, marks, runs);
    EXPECT_EQ(runs, (Runs{{0, 2, false, true},
                          {2, 5, false, false},
                          {5, 8, true, false},
                          {8, 12, true, true},
                          {12, 15, true, false},
                          {15, 20, false, false}}));
    split_runs(10, 13, links, marks, runs); // only the part in view
    EXPECT_EQ(runs, (Runs{{10, 12, true, true}, {12, 13, true, false}}));
    split_runs(4, 4, links, marks, runs);
    EXPECT_TRUE(runs.empty());
    const std::vector<TextRange> empty_marks = {{3, 0}}; // empty ranges add no pieces
    split_runs(0, 6, {}, empty_marks, runs);
    EXPECT_EQ(runs, (Runs{{0, 6, false, false}}));
}
