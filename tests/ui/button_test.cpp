// Buttons as a user drives them: presses, releases, drags, keys, disabling
// and cancelling; loading from a skin; the key-name table.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/key_names.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

struct Recorder : ButtonListener {
    void on_click(ButtonNode& button) override { clicks.push_back(&button); }
    void on_button_press(ButtonNode&, bool pressed, Point point) override {
        presses.push_back({pressed, point});
    }
    Point on_button_drag(ButtonNode&, Point position, Point delta) override {
        drags.push_back({position, delta});
        return consume;
    }
    struct Press {
        bool pressed;
        Point point;
    };
    std::vector<ButtonNode*> clicks;
    std::vector<Press> presses;
    std::vector<std::pair<Point, Point>> drags;
    Point consume;
};

// A button with the three state children.
ButtonNode& make_button(Node& parent, Recorder& listener, bool with_disabled = true) {
    ButtonNode& button = add<ButtonNode>(parent);
    named(button, u"#normal");
    named(button, u"#pressed");
    if (with_disabled)
        named(button, u"#disabled");
    button.find_state_children();
    button.set_listener(&listener);
    return button;
}

// Which state child is visible, as a name.
WString shown(const ButtonNode& button) {
    WString names;
    for (auto state : {ButtonState::Normal, ButtonState::Pressed, ButtonState::Disabled})
        if (const Node* child = button.state_child(state); child && child->is_visible())
            names += child->name();
    return names;
}

// A 100 x 100 screen whose left half is one button.
class Buttons : public ::testing::Test {
  protected:
    void SetUp() override {
        button = &make_button(screen, listener);
        place(screen, 0, 0, 100, 100);
        place(*button, 0, 0, 50, 100);
    }
    void draw() {
        RenderSurface surface;
        surface.resize(100, 100);
        screen.draw_node(surface, {});
    }
    bool touch(PointerKind kind, std::int32_t x, bool cancelled = false) {
        return screen.on_touch(pen(kind, x, 10, cancelled));
    }
    void tap(std::int32_t x = 10) {
        touch(PointerKind::Down, x);
        touch(PointerKind::Up, x);
    }
    bool key(std::int32_t code, bool pressed = true, bool first = true) {
        return screen.on_key(KeyEvent{code, pressed, first});
    }

    Node screen;
    Recorder listener;
    ButtonNode* button = nullptr;
};

} // namespace

// Each row: the gesture's moves after a press at x = 10, whether the release
// was cancelled, and whether it clicks.
TEST_F(Buttons, OnlyAReleaseOverTheButtonThatIsNotCancelledClicks) {
    const struct {
        std::vector<std::int32_t> moves;
        bool cancelled;
        bool clicks;
    } rows[] = {
        {{70}, false, false}, {{70, 20}, false, true}, {{}, true, false}, {{12}, false, true}};
    for (const auto& row : rows) {
        listener.clicks.clear();
        touch(PointerKind::Down, 10);
        for (std::int32_t x : row.moves)
            touch(PointerKind::Move, x);
        const std::int32_t last = row.moves.empty() ? 10 : row.moves.back();
        touch(PointerKind::Up, last, row.cancelled);
        EXPECT_EQ(listener.clicks.size(), row.clicks ? 1u : 0u) << row.moves.size();
        EXPECT_FALSE(button->is_pressed());
        EXPECT_EQ(shown(*button), u"#normal");
        EXPECT_EQ(screen.captured(), nullptr);
    }
    EXPECT_EQ(listener.drags.back().first.x, 12) << "moves outside still reach the button";
}

TEST_F(Buttons, DisabledShowsDisabledAndIgnoresInput) {
    button->set_bound_key(key::Enter);
    button->set_enabled(false);
    draw();
    EXPECT_EQ(shown(*button), u"#disabled");
    EXPECT_FALSE(touch(PointerKind::Down, 10));
    EXPECT_FALSE(key(key::Enter));
    EXPECT_FALSE(key(key::Enter, false));
    EXPECT_TRUE(listener.presses.empty());
    button->set_enabled(true);
    draw();
    EXPECT_EQ(shown(*button), u"#normal");
    // A disabled ancestor is caught up with when drawn.
    screen.set_enabled(false);
    draw();
    EXPECT_EQ(button->state(), ButtonState::Disabled);
    EXPECT_EQ(shown(*button), u"#disabled");
    // Without a disabled child the normal one shows.
    Recorder other;
    ButtonNode& plain = make_button(screen, other, false);
    draw();
    EXPECT_EQ(shown(plain), u"#normal");
}

TEST_F(Buttons, ACancelledKeyPressIgnoresItsRepeatsAndRelease) {
    button->set_bound_key(key::Enter);
    key(key::Enter);
    button->cancel_press();
    EXPECT_FALSE(button->is_pressed());
    EXPECT_TRUE(key(key::Enter, true, false));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_TRUE(key(key::Enter, false));
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_EQ(listener.presses.size(), 2u);
    key(key::Enter);
    key(key::Enter, false);
    EXPECT_EQ(listener.clicks.size(), 1u) << "a fresh press after the release clicks";
    // The release went elsewhere (the button was hidden meanwhile): a new
    // first press must not be swallowed.
    key(key::Enter);
    button->cancel_press();
    key(key::Enter);
    EXPECT_TRUE(button->is_key_pressed());
    key(key::Enter, false);
    EXPECT_EQ(listener.clicks.size(), 2u);
}

TEST_F(Buttons, HeldFlagShowsPressedWithoutClickingAndCancelLeavesIt) {
    button->cancel_press(); // not pressed: tells nothing
    button->set_held(true);
    EXPECT_EQ(shown(*button), u"#pressed");
    button->cancel_press();
    EXPECT_TRUE(button->is_held());
    EXPECT_TRUE(listener.presses.empty());
    tap(); // changes nothing the user sees and does not click
    EXPECT_TRUE(listener.clicks.empty());
    button->set_held(false);
    EXPECT_EQ(shown(*button), u"#normal");
}

TEST_F(Buttons, DragTellsPositionAndMovementAndKeepsWhatTheListenerLeft) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    ASSERT_EQ(listener.drags.size(), 1u); // told the press position
    EXPECT_EQ(listener.drags[0].second.x, 0);
    screen.on_touch(pen(PointerKind::Move, 14, 13));
    ASSERT_EQ(listener.drags.size(), 2u);
    EXPECT_EQ(listener.drags[1].second.x, 4);
    EXPECT_EQ(listener.drags[1].second.y, 3);
    // The listener uses up all of the next movement: the button keeps its
    // remembered position, so the following delta counts from there.
    listener.consume = {6, 0};
    screen.forward_to_captured(20, 13);
    EXPECT_EQ(listener.drags[2].second.x, 6);
    listener.consume = {};
    screen.forward_to_captured(21, 13);
    EXPECT_EQ(listener.drags[3].second.x, 7);
    screen.on_touch(pen(PointerKind::Up, 21, 13));
    button->forward_to_captured(30, 30);
    EXPECT_EQ(listener.drags.size(), 4u) << "released: moves tell nothing";
}

TEST(ButtonSkin, BindKeyNamesAndStateChildrenFoundBelow) {
    InstalledSkin built(xml_skin(R"(<node id="form"><button id="soft" bind_key="SOFT_LEFT">
      <node id="#normal"/><node id="face"><node id="#pressed"/></node></button>
      <button id="digit" bind_key="5"/><button id="none"/></node>)"));
    Node screen;
    ASSERT_TRUE(screen.load_from_skin(built.skin, u"form"));
    auto bound = [&](const char16_t* id) {
        return dynamic_cast<ButtonNode&>(*screen.find(id)).bound_key();
    };
    EXPECT_EQ(bound(u"soft"), 61);
    EXPECT_EQ(bound(u"digit"), 51);
    EXPECT_EQ(bound(u"none"), 0);
    // "#pressed" sits a level deeper and is still a state child.
    auto& soft = dynamic_cast<ButtonNode&>(*screen.find(u"soft"));
    ASSERT_NE(soft.state_child(ButtonState::Pressed), nullptr);
    EXPECT_EQ(soft.state_child(ButtonState::Disabled), nullptr);
    EXPECT_EQ(shown(soft), u"#normal");
    EXPECT_TRUE(screen.on_key(KeyEvent{61, true}));
    EXPECT_EQ(shown(soft), u"#pressed");
}

TEST(KeyNames, EveryCodeRoundTripsThroughItsUniqueName) {
    std::set<std::string_view> seen;
    for (std::int32_t code = 0; code < kKeyCodeCount; ++code) {
        const std::string_view name = key_name(code);
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
        EXPECT_EQ(key_code(name), code) << name;
    }
    EXPECT_TRUE(key_name(-1).empty());
    EXPECT_TRUE(key_name(kKeyCodeCount).empty());
}
