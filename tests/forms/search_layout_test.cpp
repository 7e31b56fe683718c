// SearchLayout on a screen built like the contacts tab, after a real layout pass.
#include "forms/search_layout.h"

#include "ui/node.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace telvara::forms {
namespace {

struct Screen {
    std::unique_ptr<ui::Node> root = std::make_unique<ui::Node>();
    ui::Node* frame = nullptr;
    ui::Node* column = nullptr;
    ui::Node* top = nullptr;
    ui::Node* keypad = nullptr;
    ui::Node* tabs = nullptr;
    Screen() {
        auto node = [](ui::Node& parent, ui::Size size, ui::ScaleType x, ui::ScaleType y) {
            auto child = std::make_unique<ui::Node>();
            child->set_design_size(size);
            child->set_anchor(x, y);
            return &parent.append_child(std::move(child));
        };
        using ui::ScaleType;
        frame = node(*root, {}, ScaleType::BothSide, ScaleType::BothSide);
        frame->set_borders({}, {0, 48});
        column = node(*frame, {}, ScaleType::BothSide, ScaleType::BothSide);
        column->set_borders({0, 0}, {0, 0});
        top = node(*column, {0, 40}, ScaleType::BothSide, ScaleType::MinSide);
        keypad = node(*frame, {0, 200}, ScaleType::BothSide, ScaleType::MaxSide);
        tabs = node(*root, {0, 48}, ScaleType::BothSide, ScaleType::MaxSide);
    }
    void lay_out(ui::Size size) {
        root->place_x(0, size.width);
        root->place_y(0, size.height);
    }
    void bind(SearchLayout& layout, bool with_column = true) {
        layout.bind({.frame = frame,
                     .column = with_column ? column : nullptr,
                     .top_bar = top,
                     .keypad = keypad,
                     .bottom_bars = {tabs}});
    }
};

TEST(SearchLayout, TurningTheScreenWhileSearchingLaysItOutAgain) {
    Screen screen;
    SearchLayout layout;
    screen.bind(layout);
    layout.set_mode(SearchMode::Searching, {240, 320});
    layout.follow({320, 240});
    screen.lay_out({320, 240});
    EXPECT_EQ(layout.orientation(), Orientation::Landscape);
    EXPECT_EQ(screen.keypad->x(), 160);
    EXPECT_EQ(screen.column->x() + screen.column->width(), 160);
    // Browsing, a turn changes nothing.
    layout.set_mode(SearchMode::Browsing, {320, 240});
    layout.follow({240, 320});
    EXPECT_TRUE(screen.tabs->is_visible());
    EXPECT_EQ(screen.keypad->design_size().height, 200);
}

TEST(SearchLayout, ASkinWithoutTheNodesKeepsItsLayout) {
    Screen screen;
    SearchLayout layout;
    screen.bind(layout, false);
    layout.set_mode(SearchMode::Searching, {240, 320});
    EXPECT_TRUE(screen.tabs->is_visible());
    EXPECT_TRUE(screen.top->is_visible());
    EXPECT_EQ(screen.frame->border_max().y, 48);
}

} // namespace
} // namespace telvara::forms
