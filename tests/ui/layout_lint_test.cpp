// The layout lint on small trees placed by hand: each kind of finding, and
// what must not be one (an ellipsis, a covered control, a control at the
// scrolling end of a list, a label inside its button).
#include "ui/layout_lint.h"

#include "text_test_support.h"

#include "ui/basic_nodes.h"
#include "ui/button_node.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

#include <gtest/gtest.h>

namespace telvara::ui {
namespace {

constexpr Rect kScreen{0, 0, 240, 320};

// A rectangle by its corner and size.
constexpr Rect box(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    return {x, y, x + w, y + h};
}

template <class T> T& place(Node& parent, const char16_t* name, Rect rect) {
    auto child = std::make_unique<T>();
    T& node = *child;
    node.set_name(name);
    parent.append_child(std::move(child));
    node.place_x(rect.left, rect.width());
    node.place_y(rect.top, rect.height());
    return node;
}

TextNode& text(Node& parent, const char16_t* name, Rect rect, WString words,
               bool ellipsis = false) {
    auto& node = place<TextNode>(parent, name, rect);
    node.set_font(test::test_font(10));
    node.set_ellipsis(ellipsis);
    node.set_text(std::move(words));
    return node;
}

struct Screen {
    Node root;
    Screen() {
        root.set_name(u"Form");
        root.place_x(0, 240);
        root.place_y(0, 320);
    }
    std::vector<std::string> lint(std::int32_t min_target = 40) {
        std::vector<std::string> out;
        for (const LintFinding& finding : lint_layout(root, {kScreen, min_target}))
            out.push_back(finding.describe());
        return out;
    }
};

TEST(LayoutLint, TextThatDoesNotFitIsFoundUnlessItEndsInAnEllipsis) {
    Screen screen;
    text(screen.root, u"fits", box(0, 0, 200, 20), u"Anna");
    text(screen.root, u"cut", box(0, 20, 30, 20), u"Konstantinopolski");
    text(screen.root, u"elided", box(0, 40, 30, 20), u"Konstantinopolski", true);
    text(screen.root, u"low", box(0, 60, 200, 6), u"Henry");
    EXPECT_EQ(screen.lint(),
              (std::vector<std::string>{"TextCut Form/cut [0,20 30x20] \"Konstantinopolski\"",
                                        "InkClipped Form/low [0,60 200x6] \"Henry\""}));
}

TEST(LayoutLint, ControlsThatOverlapOrAreTooSmallAreFound) {
    Screen screen;
    place<ButtonNode>(screen.root, u"ok", box(0, 0, 60, 40));
    place<ButtonNode>(screen.root, u"cancel", box(50, 0, 110, 40));
    place<ButtonNode>(screen.root, u"tiny", box(0, 100, 24, 24));
    // A small button drawn over a bigger one takes the taps there.
    place<ButtonNode>(screen.root, u"tile", box(100, 100, 80, 100));
    place<ButtonNode>(screen.root, u"corner", box(140, 100, 40, 40));
    // A label inside its button is part of it, not a second control.
    auto& tab = place<ButtonNode>(screen.root, u"tab", box(0, 200, 60, 48));
    place<ButtonNode>(tab, u"label", box(0, 236, 60, 12));
    EXPECT_EQ(screen.lint(),
              (std::vector<std::string>{"Overlap Form/ok [50,0 10x40] with Form/cancel",
                                        "SmallTarget Form/tiny [0,100 24x24]"}));
    // The size that counts is the caller's (a fingertip at the skin's scale).
    EXPECT_EQ(screen.lint(20).size(), 1u);
}

TEST(LayoutLint, WhatIsCoveredOrClippedAwayIsNotLookedAt) {
    Screen screen;
    place<ButtonNode>(screen.root, u"under", box(0, 0, 24, 24));
    text(screen.root, u"hidden", box(0, 30, 20, 20), u"Konstantinopolski");
    // An opaque panel drawn later covers both.
    auto& panel = place<ColorNode>(screen.root, u"panel", box(0, 0, 240, 100));
    panel.set_color({255, 255, 255, 255});
    // A child of a clip that reaches out of it is cut there, not off screen.
    auto& clip = place<ClipNode>(screen.root, u"clip", box(0, 200, 240, 50));
    place<Node>(clip, u"long", box(0, 200, 400, 50));
    // A node that reaches out of the screen without a clip is.
    place<Node>(screen.root, u"wide", box(200, 280, 100, 20));
    EXPECT_EQ(screen.lint(), (std::vector<std::string>{"OffScreen Form/wide [200,280 100x20]"}));
}

TEST(LayoutLint, AControlOverTheScrollingEndOfAListIsNoOverlap) {
    Screen screen;
    auto& list = place<VirtualList>(screen.root, u"list", box(0, 0, 240, 300));
    list.set_scroll_borders(0, 64);
    place<ButtonNode>(screen.root, u"fab", box(180, 240, 48, 48));
    place<ButtonNode>(screen.root, u"middle", box(0, 100, 240, 40));
    // A row's own button is the list's content, however little of it shows.
    place<ButtonNode>(list, u"row", box(0, 290, 240, 48));
    EXPECT_EQ(screen.lint(),
              (std::vector<std::string>{"Overlap Form/list [0,100 240x40] with Form/middle"}));
}

} // namespace
} // namespace telvara::ui
