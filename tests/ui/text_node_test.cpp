// The "text" node: measures with grow, caching, line placement, drawing into
// a small surface and loading from a skin.
#include "ui/text_node.h"

#include "runtime/device_root_fixture.h"
#include "skin_test_support.h"
#include "text_test_support.h"
#include "ui/font_cache.h"
#include "ui/font_measure.h"
#include "ui/node_registry.h"
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
    using TextNode::PlacedLine;
};

class TextNodeTest : public testing::Test {
  protected:
    void SetUp() override {
        node.set_font(test_font());
        ASSERT_FALSE(node.font()->is_null());
        line = node.font()->height();
    }
    // Places the node at (x, y) with the size given.
    void place(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
        node.place_x(x, w);
        node.place_y(y, h);
    }
    std::int32_t width_of(WStringView text) { return measure_text(node.font().get(), text).width; }

    ProbeText node;
    std::int32_t line = 0;
};

} // namespace

TEST_F(TextNodeTest, DefaultsAndLiveCount) {
    const std::int64_t before = TextNode::live_count();
    {
        TextNode other;
        EXPECT_EQ(TextNode::live_count(), before + 1);
        EXPECT_EQ(other.halign(), HAlign::Center);
        EXPECT_EQ(other.valign(), VAlign::VCenter);
        EXPECT_EQ(other.color(), (Colour{0, 0, 0, 255}));
        EXPECT_FALSE(other.grow() || other.grow_min() || other.wrap() || other.ellipsis());
    }
    EXPECT_EQ(TextNode::live_count(), before);
}

TEST_F(TextNodeTest, GrowAsksForTheTextWidthAndGrowMinRaisesTheMinimum) {
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

TEST_F(TextNodeTest, GrowWithEmptyTextAsksForNoWidth) {
    node.set_grow(true, true);
    EXPECT_EQ(node.get_measure_x(), (Measure{0, 0}));
    // One empty line still has a height.
    EXPECT_EQ(node.get_measure_y(), (Measure{line, line}));
}

TEST_F(TextNodeTest, WrappedGrowingHeightFollowsTheWidth) {
    node.set_text(u"alpha beta gamma");
    node.set_wrap(true);
    node.set_grow(true, false);
    node.place_x(0, width_of(u"alpha beta gamma") + 5);
    EXPECT_EQ(node.get_measure_y().preferred, line);
    // Narrower than two words: three lines. place_x makes the height stale.
    node.place_x(0, width_of(u"gamma") + 1);
    EXPECT_EQ(node.lines().size(), 3u);
    EXPECT_EQ(node.get_measure_y().preferred, 3 * line);
}

TEST_F(TextNodeTest, TwoWordsWrapIntoTwoLinesAtTheBlank) {
    node.set_text(u"hello world");
    node.set_wrap(true);
    place(0, 0, width_of(u"hello") + 4, 100);
    ASSERT_EQ(node.lines().size(), 2u);
    EXPECT_EQ(node.lines()[1].start, 6u);
    // Without wrap the same text is one line.
    node.set_wrap(false);
    EXPECT_EQ(node.lines(), (std::vector<TextLine>{{0, 11}}));
}

TEST_F(TextNodeTest, ChangesMarkOnlyWhatTheyAffect) {
    RenderSurface surface;
    ASSERT_TRUE(surface.resize(50, 20));
    node.set_text(u"abc");
    place(0, 0, 50, 20);
    node.draw_node(surface, {0, 0});
    EXPECT_FALSE(node.redraw_needed());
    EXPECT_FALSE(node.layout_needed());

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
    node.place_x(0, 50);
    node.place_y(0, 20);
    EXPECT_FALSE(node.layout_needed());
    node.set_text(u"abcde");
    EXPECT_TRUE(node.layout_needed()) << "a growing node's measure follows its text";
    EXPECT_EQ(node.get_measure_x().preferred, width_of(u"abcde"));
}

TEST_F(TextNodeTest, LinesAreKeptUntilTextFontOrWidthChange) {
    node.set_text(u"one two three four");
    node.set_wrap(true);
    place(0, 0, width_of(u"one two") + 1, 100);
    const std::vector<TextLine>* first = &node.lines();
    const std::vector<TextLine> copy = *first;
    EXPECT_EQ(copy.size(), 3u);
    EXPECT_EQ(&node.lines(), first);
    node.place_x(0, width_of(u"one two three four"));
    EXPECT_EQ(node.lines().size(), 1u);
    node.set_font(test_font(20));
    EXPECT_GT(node.text_extent().height, line);
    EXPECT_EQ(node.lines().size(), 2u) << "a larger font wraps again at the same width";
}

TEST_F(TextNodeTest, HighlightsDoNotOverlapAndEmptyClears) {
    node.set_text(u"xaaab");
    node.set_highlight(u"aa");
    EXPECT_EQ(node.highlights(), (std::vector<TextRange>{{1, 2}}));
    node.set_text(u"xababx");
    node.set_highlight(u"ab");
    EXPECT_EQ(node.highlights(), (std::vector<TextRange>{{1, 2}, {3, 2}}));
    node.set_highlight(u"");
    EXPECT_TRUE(node.highlights().empty());
}

TEST_F(TextNodeTest, BottomAlignedOverflowStartsAboveTheTop) {
    node.set_text(u"a\nb\nc");
    node.set_wrap(true);
    node.set_valign(VAlign::Bottom);
    place(0, 100, 50, 2 * line);
    const auto& placed = node.place_lines({0, 100});
    // Line 0 would start one line above the node: it is not drawn at all.
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].line, 1u);
    EXPECT_EQ(placed[0].y, 100);
    EXPECT_EQ(placed[1].y, 100 + line);
}

TEST_F(TextNodeTest, WrapWithEllipsisEndsInALoneEllipsisWhenARowIsCut) {
    node.set_text(u"a\nb\nc");
    node.set_wrap(true);
    node.set_ellipsis(true);
    node.set_valign(VAlign::Top);
    place(0, 0, 50, line + line / 2);
    const auto& placed = node.place_lines({0, 0});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_FALSE(placed[0].lone_ellipsis);
    EXPECT_TRUE(placed[1].lone_ellipsis);
    EXPECT_EQ(placed[1].y, line + line / 2 - line) << "aligned to the node's bottom";
    // Centred by halign: the ellipsis's own width decides.
    EXPECT_EQ(placed[1].x, (50 - width_of(u"\u2026")) / 2);
}

TEST_F(TextNodeTest, AnExactlyFittingLastRowShowsThatMoreFollows) {
    node.set_text(u"a\nb\nc");
    node.set_wrap(true);
    node.set_ellipsis(true);
    node.set_valign(VAlign::Top);
    place(0, 0, 50, 2 * line);
    const auto& placed = node.place_lines({0, 0});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_FALSE(placed[0].ellipsis);
    EXPECT_TRUE(placed[1].ellipsis);
    EXPECT_EQ(placed[1].drawn_end, 3u) << "short enough: nothing cut, the ellipsis follows";
    // Room for all three: no ellipsis anywhere.
    node.place_y(0, 3 * line);
    for (const auto& row : node.place_lines({0, 0}))
        EXPECT_FALSE(row.ellipsis || row.lone_ellipsis);
}

// A number never loses its end: the middle goes, the last digits stay, and
// what is left of the start is its start.
TEST_F(TextNodeTest, AMiddleEllipsisKeepsTheLastDigits) {
    const WString number = u"+49 1234 5678 9012 3456 789";
    node.set_text(number);
    node.set_ellipsis(Ellipsis::Middle);
    place(0, 0, width_of(number) / 2, line);
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
    // Room for all of it: nothing is cut.
    place(0, 0, width_of(number), line);
    EXPECT_FALSE(node.place_lines({0, 0})[0].middle);
}

// A label shrinks to the largest size it fits in, down to its smallest one;
// past that it is cut like any text.
TEST_F(TextNodeTest, AShrinkingTextTakesTheLargestSizeThatFits) {
    const WString label = u"\u0414\u043e\u0431\u0430\u0432\u0438\u0442\u044c "
                          u"\u043f\u043e\u043b\u0435"; // "Add field" in Russian
    node.set_font(test_font(12));
    node.set_text(label);
    node.set_shrink_to(7);
    node.set_ellipsis(true);
    const std::int32_t at9 = measure_text(test_font(9).get(), label).width;
    const std::int32_t at10 = measure_text(test_font(10).get(), label).width;
    ASSERT_LT(at9, at10);
    struct Case {
        std::int32_t width;
        std::int32_t size;
        bool cut;
    } const cases[] = {
        {measure_text(test_font(12).get(), label).width, 12, false},
        {at10, 10, false},
        {at10 - 1, 9, false},
        {2, 7, true},
    };
    for (const Case& c : cases) {
        place(0, 0, c.width, 40);
        EXPECT_EQ(node.shown_font()->description().size, c.size) << "width " << c.width;
        EXPECT_EQ(node.place_lines({0, 0})[0].ellipsis, c.cut) << "width " << c.width;
    }
    // Without a smallest size the font stays whatever the width.
    node.set_shrink_to(0);
    EXPECT_EQ(node.shown_font()->description().size, 12);
}

TEST_F(TextNodeTest, EllipsisCutsALongLineAtAWordEnd) {
    node.set_text(u"one two three");
    node.set_ellipsis(true);
    node.set_halign(HAlign::Left);
    place(0, 0, width_of(u"one two th") + width_of(u"\u2026"), line);
    const auto& placed = node.place_lines({0, 0});
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_TRUE(placed[0].ellipsis);
    EXPECT_EQ(placed[0].drawn_end, 7u); // "one two"
}

// --- Drawing -----------------------------------------------------------------

class TextDraw : public TextNodeTest {
  protected:
    void SetUp() override {
        TextNodeTest::SetUp();
        ASSERT_TRUE(surface.resize(120, 60));
        paint(surface, kWhite);
    }
    void draw() {
        node.draw_node(surface, {node.x(), node.y()});
        save_image_if_asked(surface, testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    RenderSurface surface;
};

TEST_F(TextDraw, DrawsInTheTextColourInsideTheNodeOnly) {
    node.set_text(u"WWWWWWWWWWWWWWWWWWWW"); // far wider than the node
    node.set_color({200, 0, 0, 255});
    place(10, 10, 60, 30);
    draw();
    const Ink drawn = ink(surface, kWhite);
    ASSERT_GT(drawn.pixels, 0);
    EXPECT_GE(drawn.box.left, 10);
    EXPECT_LE(drawn.box.right, 70);
    EXPECT_GE(drawn.box.top, 10);
    EXPECT_LE(drawn.box.bottom, 40);
    EXPECT_GT(count(surface, to_565(200, 0, 0)), 0) << "solid glyph pixels are the text colour";
    EXPECT_EQ(surface.clip_depth(), 0u) << "the clip is restored";
}

TEST_F(TextDraw, HorizontalAlignment) {
    node.set_text(u"IIII");
    place(0, 0, 120, 60);
    const std::int32_t w = width_of(u"IIII");

    node.set_halign(HAlign::Left);
    draw();
    const Ink left = ink(surface, kWhite);
    EXPECT_LT(left.box.left, 4);

    paint(surface, kWhite);
    node.set_halign(HAlign::Right);
    draw();
    const Ink right = ink(surface, kWhite);
    EXPECT_GT(right.box.right, 120 - 4);

    paint(surface, kWhite);
    node.set_halign(HAlign::Center);
    draw();
    const Ink centre = ink(surface, kWhite);
    EXPECT_NEAR(centre.box.left - (120 - w) / 2, left.box.left, 1);

    paint(surface, kWhite);
    node.set_halign(HAlign::Justify);
    draw();
    EXPECT_EQ(ink(surface, kWhite).box, left.box) << "JUSTIFY draws like LEFT";
}

TEST_F(TextDraw, VerticalAlignment) {
    node.set_text(u"I");
    place(0, 0, 120, 60);
    node.set_valign(VAlign::Top);
    draw();
    const Ink top = ink(surface, kWhite);
    paint(surface, kWhite);
    node.set_valign(VAlign::Bottom);
    draw();
    const Ink bottom = ink(surface, kWhite);
    EXPECT_EQ(bottom.box.top - top.box.top, 60 - line);
    paint(surface, kWhite);
    node.set_valign(VAlign::VCenter);
    draw();
    EXPECT_EQ(ink(surface, kWhite).box.top - top.box.top, (60 - line) / 2);
}

TEST_F(TextDraw, HighlightsUseTheirColourOverTheirCharactersOnly) {
    node.set_text(u"aa bb aa");
    node.set_halign(HAlign::Left);
    node.set_highlight_color({0, 160, 0, 255});
    node.set_highlight(u"bb");
    place(0, 0, 120, 60);
    draw();
    const Pixel green = to_565(0, 160, 0);
    const Rect marked = colour_box(surface, green);
    ASSERT_FALSE(marked.is_empty());
    EXPECT_GE(marked.left, width_of(u"aa ") - 1);
    EXPECT_LE(marked.right, width_of(u"aa bb") + 1);
    EXPECT_GT(count(surface, 0x0000), 0) << "the rest stays in the text colour";
}

TEST_F(TextDraw, LoneEllipsisIsAllThatShowsWhenNoRowFits) {
    node.set_text(u"first\nsecond");
    node.set_wrap(true);
    node.set_ellipsis(true);
    place(0, 0, 120, line - 2);
    draw();
    const Ink drawn = ink(surface, kWhite);
    ASSERT_GT(drawn.pixels, 0);
    EXPECT_LE(drawn.box.width(), width_of(u"\u2026"));
    EXPECT_NEAR((drawn.box.left + drawn.box.right) / 2, 60, 3);
}

// --- Skin ----------------------------------------------------------------------

namespace {

skinc::NodeModel text_record(skinc::SkinModel& model, const char16_t* id) {
    skinc::NodeModel node;
    node.strings = {{u"type", model.intern_string(u"text")}, {u"id", model.intern_string(id)}};
    return node;
}

class TextSkin : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        auto& registry = NodeRegistry::instance();
        if (!registry.contains(u"node"))
            register_layout_node_types(registry);
        if (!registry.contains(u"text"))
            registry.register_type(u"text", &make_node<TextNode>);
        if (!registry.contains(u"richtext"))
            registry.register_type(u"richtext", &make_node<RichTextNode>);
    }
};

} // namespace

TEST_F(TextSkin, LoadsItsPropertiesAndTranslatesTheText) {
    skinc::SkinModel model;
    model.fonts = {u"12 1 0 0 DejaVu Sans"};
    skinc::NodeModel screen_record;
    screen_record.strings = {{u"type", model.intern_string(u"node")}};
    skinc::NodeModel title = text_record(model, u"title");
    title.strings.push_back({u"text", model.intern_string(u"Greeting")});
    title.strings.push_back({u"halign", model.intern_string(u"RIGHT")});
    title.strings.push_back({u"valign", model.intern_string(u"middle")}); // unknown
    title.fonts = {{u"font", 0}};
    title.integers = {{u"grow", 1}, {u"grow_min", 0}, {u"wrap", 7}, {u"ellipsis", 1}};
    title.colors = {{u"color", skinc::ColorValue{10, 20, 30}}};
    skinc::NodeModel plain = text_record(model, u"plain");
    skinc::NodeModel rich = text_record(model, u"rich");
    rich.strings[0].second = model.intern_string(u"richtext");
    screen_record.children = {title, plain, rich};
    model.nodes.push_back({u"screen", screen_record});

    std::ofstream(root() + "/lang.lng") << "Greeting=Good day\n";
    Properties skin;
    ASSERT_TRUE(skin.language().load_language_file(u"/lang.lng"));
    auto impl = from_bytes(written(model));
    ASSERT_TRUE(skin.install(*impl));

    Node screen;
    ASSERT_TRUE(screen.load_from_skin(skin, u"screen"));
    auto* loaded = dynamic_cast<TextNode*>(screen.find(u"title"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->text(), u"Good day");
    EXPECT_EQ(loaded->halign(), HAlign::Right);
    EXPECT_EQ(loaded->valign(), VAlign::VCenter);
    EXPECT_TRUE(loaded->grow());
    EXPECT_FALSE(loaded->grow_min());
    EXPECT_TRUE(loaded->wrap());
    EXPECT_TRUE(loaded->ellipsis());
    EXPECT_EQ(loaded->color(), (Colour{10, 20, 30, 255}));
    ASSERT_NE(loaded->font(), nullptr);
    EXPECT_EQ(loaded->font()->description().size, 12);

    // No properties: the defaults, the engine's default font.
    auto* bare = dynamic_cast<TextNode*>(screen.find(u"plain"));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->text(), u"");
    EXPECT_EQ(bare->halign(), HAlign::Center);
    EXPECT_EQ(bare->font(), default_text_font(0));
    EXPECT_EQ(bare->font()->description().size, 10);
    EXPECT_EQ(bare->font()->description().face, u"Tahoma");

    EXPECT_NE(dynamic_cast<TextNode*>(screen.find(u"rich")), nullptr);
}
