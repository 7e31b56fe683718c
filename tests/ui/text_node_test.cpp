// The "text" node: measures with grow, caching, line placement with its
// ellipses, drawing into a small surface and loading from a skin.
#include "ui/text_node.h"

#include "node_test_support.h"
#include "runtime/device_root_fixture.h"
#include "skin_model_of.h"
#include "skin_test_support.h"
#include "text_test_support.h"
#include "ui/font_measure.h"
#include "ui/rich_text_node.h"

#include <gtest/gtest.h>

#include <fstream>

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
    // Three short lines, wrapped, with an ellipsis, from the top.
    void three_lines() {
        node.set_text(u"a\nb\nc");
        node.set_wrap(true);
        node.set_ellipsis(true);
        node.set_valign(VAlign::Top);
    }

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

TEST_F(TextNodeTest, ChangesMarkOnlyWhatTheyAffect) {
    RenderSurface surface;
    surface.resize(50, 20);
    node.set_text(u"abc");
    place(node, 0, 0, 50, 20);
    node.draw_node(surface, {0, 0});
    EXPECT_FALSE(node.redraw_needed());
    node.set_text(u"abc");
    node.set_color(node.color());
    node.set_font(node.font());
    EXPECT_FALSE(node.redraw_needed()) << "equal values change nothing";
    node.set_color({1, 2, 3, 255});
    EXPECT_TRUE(node.redraw_needed());
    EXPECT_FALSE(node.layout_needed()) << "colour is drawing only";
    node.set_text(u"abcd");
    EXPECT_FALSE(node.layout_needed()) << "a fixed-size node's measure ignores its text";
    node.set_grow(true, false);
    place(node, 0, 0, 50, 20);
    EXPECT_FALSE(node.layout_needed());
    node.set_text(u"abcde");
    EXPECT_TRUE(node.layout_needed()) << "a growing node's measure follows its text";
    EXPECT_EQ(node.get_measure_x().preferred, width_of(u"abcde"));
}

TEST_F(TextNodeTest, ACutRowEndsInALoneEllipsisAndAnExactlyFittingOneShowsMoreFollows) {
    three_lines();
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

// --- Drawing -----------------------------------------------------------------

namespace {

class TextDraw : public TextNodeTest {
  protected:
    // Draws the node placed at (x, y, w, h) on a white 120 x 60 surface.
    Ink draw(std::int32_t x = 0, std::int32_t y = 0, std::int32_t w = 120, std::int32_t h = 60) {
        surface.resize(120, 60);
        paint(surface, kWhite);
        place(node, x, y, w, h);
        node.draw_node(surface, {x, y});
        return ink(surface, kWhite);
    }
    RenderSurface surface;
};

} // namespace

TEST_F(TextDraw, HighlightsUseTheirColourOverTheirCharactersOnly) {
    node.set_text(u"aa bb aa");
    node.set_halign(HAlign::Left);
    node.set_highlight_color({0, 160, 0, 255});
    node.set_highlight(u"bb");
    draw();
    const Rect marked = colour_box(surface, to_565(0, 160, 0));
    ASSERT_FALSE(marked.is_empty());
    EXPECT_GE(marked.left, width_of(u"aa ") - 1);
    EXPECT_LE(marked.right, width_of(u"aa bb") + 1);
    EXPECT_GT(count(surface, 0x0000), 0) << "the rest stays in the text colour";
}

// --- Skin ----------------------------------------------------------------------

using TextSkin = telvara::test_support::DeviceRootTest;

TEST_F(TextSkin, LoadsItsPropertiesAndTranslatesTheText) {
    skinc::SkinModel model = xml_skin(R"(<node id="screen">
      <text id="title" text="Greeting" halign="RIGHT" font="12 1 0 0 DejaVu Sans" grow="1"
            grow_min="0" wrap="7" ellipsis="1" color="10 20 30"/>
      <text id="plain"/><richtext id="rich"/></node>)");
    // A word the compiler would refuse, as a damaged skin holds it.
    top_node(model, u"screen")
        ->children[0]
        .strings.push_back({u"valign", model.intern_string(u"middle")});
    std::ofstream(root() + "/lang.lng") << "Greeting=Good day\n";
    InstalledSkin built(model);
    ASSERT_TRUE(built.skin.language().load_language_file(u"/lang.lng"));
    Node screen;
    ASSERT_TRUE(screen.load_from_skin(built.skin, u"screen"));
    auto* loaded = dynamic_cast<TextNode*>(screen.find(u"title"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->text(), u"Good day");
    EXPECT_EQ(loaded->halign(), HAlign::Right);
    EXPECT_EQ(loaded->valign(), VAlign::VCenter);
    EXPECT_TRUE(loaded->grow() && !loaded->grow_min() && loaded->wrap() && loaded->ellipsis());
    EXPECT_EQ(loaded->color(), (Colour{10, 20, 30, 255}));
    EXPECT_EQ(loaded->font()->description().size, 12);
    // No properties: the defaults, the engine's default font.
    auto* bare = dynamic_cast<TextNode*>(screen.find(u"plain"));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->text(), u"");
    EXPECT_EQ(bare->halign(), HAlign::Center);
    EXPECT_EQ(bare->valign(), VAlign::VCenter);
    EXPECT_EQ(bare->color(), (Colour{0, 0, 0, 255}));
    EXPECT_FALSE(bare->grow() || bare->grow_min() || bare->wrap() || bare->ellipsis());
    EXPECT_EQ(bare->font(), default_text_font(0));
    EXPECT_EQ(bare->font()->description().size, 10);
    EXPECT_EQ(bare->font()->description().face, u"Tahoma");
    EXPECT_NE(dynamic_cast<RichTextNode*>(screen.find(u"rich")), nullptr);
}
