// Buttons as a user drives them: presses, releases, drags, keys, disabling
// and hiding; loading from a skin.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/key_names.h"
#include "ui/multinode.h"
#include "ui/node_registry.h"
#include "ui/progress_node.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;
using telvara::ui::test::named;

using telvara::ui::test::typed;

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
    struct Drag {
        Point position;
        Point delta;
    };
    std::vector<ButtonNode*> clicks;
    std::vector<Press> presses;
    std::vector<Drag> drags;
    Point consume;
};

PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y, bool cancelled = false) {
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    event.cancelled = cancelled;
    return event;
}

KeyEvent key_event(std::int32_t code, bool pressed) {
    KeyEvent event;
    event.code = code;
    event.pressed = pressed;
    return event;
}

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
    for (auto state : {ButtonState::Normal, ButtonState::Pressed, ButtonState::Disabled}) {
        const Node* child = button.state_child(state);
        if (child && child->is_visible())
            names += child->name();
    }
    return names;
}

class Buttons : public ::testing::Test {
  protected:
    void SetUp() override {
        button = &make_button(screen, listener);
        screen.place_x(0, 100);
        screen.place_y(0, 100);
        // The button covers the left half.
        button->place_x(0, 50);
        button->place_y(0, 100);
    }
    void draw() {
        RenderSurface surface;
        surface.resize(100, 100);
        screen.draw_node(surface, {});
    }

    Node screen;
    Recorder listener;
    ButtonNode* button = nullptr;
};

} // namespace

TEST_F(Buttons, PressShowsPressedAndReleaseOverTheButtonClicks) {
    EXPECT_EQ(shown(*button), u"#normal");
    EXPECT_TRUE(screen.on_touch(pen(PointerKind::Down, 10, 10)));
    EXPECT_TRUE(button->is_pointer_pressed());
    EXPECT_EQ(shown(*button), u"#pressed");
    EXPECT_EQ(screen.captured(), button);
    EXPECT_TRUE(listener.clicks.empty());

    screen.on_touch(pen(PointerKind::Up, 12, 11));
    EXPECT_EQ(shown(*button), u"#normal");
    ASSERT_EQ(listener.clicks.size(), 1u);
    EXPECT_EQ(listener.clicks[0], button);
    ASSERT_EQ(listener.presses.size(), 2u);
    EXPECT_TRUE(listener.presses[0].pressed);
    EXPECT_FALSE(listener.presses[1].pressed);
    EXPECT_EQ(listener.presses[1].point.x, 12);
    EXPECT_EQ(screen.captured(), nullptr);
}

TEST_F(Buttons, ReleaseAfterLeavingTheButtonDoesNotClick) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    // The moves and the release still reach the button outside it.
    screen.on_touch(pen(PointerKind::Move, 70, 10));
    ASSERT_FALSE(listener.drags.empty());
    EXPECT_EQ(listener.drags.back().position.x, 70);
    screen.on_touch(pen(PointerKind::Up, 70, 10));
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(shown(*button), u"#normal");

    // Coming back before the release does click.
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    screen.on_touch(pen(PointerKind::Move, 70, 10));
    screen.on_touch(pen(PointerKind::Move, 20, 10));
    screen.on_touch(pen(PointerKind::Up, 20, 10));
    EXPECT_EQ(listener.clicks.size(), 1u);
}

TEST_F(Buttons, PressOutsideEveryButtonIsNotTaken) {
    EXPECT_FALSE(screen.on_touch(pen(PointerKind::Down, 80, 10)));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(screen.captured(), nullptr);
}

TEST_F(Buttons, OverlapGoesToTheLaterChildAndTheGestureStaysWithIt) {
    Recorder top_listener;
    ButtonNode& top = make_button(screen, top_listener);
    top.place_x(25, 50); // overlaps 25..49
    top.place_y(0, 100);

    screen.on_touch(pen(PointerKind::Down, 30, 10));
    EXPECT_TRUE(top.is_pressed());
    EXPECT_FALSE(button->is_pressed());
    screen.on_touch(pen(PointerKind::Move, 5, 10)); // over the lower button only
    screen.on_touch(pen(PointerKind::Up, 60, 10));
    EXPECT_EQ(top_listener.clicks.size(), 1u);
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_TRUE(listener.presses.empty());
}

TEST_F(Buttons, HidingTheScreenWhileHeldReleasesWithoutClick) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    ASSERT_EQ(shown(*button), u"#pressed");
    screen.set_visible(false);
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(shown(*button), u"#normal");
    ASSERT_FALSE(listener.presses.empty());
    EXPECT_FALSE(listener.presses.back().pressed);
    // The finger lifts later, over the button: still no click.
    screen.set_visible(true);
    screen.on_touch(pen(PointerKind::Up, 10, 10));
    EXPECT_TRUE(listener.clicks.empty());
}

TEST_F(Buttons, HidingTheButtonItselfWhileHeldReleasesWithoutClick) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    button->set_visible(false);
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(screen.captured(), nullptr);
    button->set_visible(true);
    EXPECT_EQ(shown(*button), u"#normal");
    EXPECT_TRUE(listener.clicks.empty());
}

TEST_F(Buttons, CancelledReleaseDoesNotClick) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    screen.on_touch(pen(PointerKind::Up, 10, 10, true));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_EQ(screen.captured(), nullptr);
}

TEST_F(Buttons, BoundKeyPressesAndClicksOnRelease) {
    button->set_bound_key(key::SoftLeft);
    EXPECT_FALSE(screen.on_key(key_event(key::SoftRight, true)));
    EXPECT_TRUE(screen.on_key(key_event(key::SoftLeft, true)));
    EXPECT_TRUE(button->is_key_pressed());
    EXPECT_EQ(shown(*button), u"#pressed");
    ASSERT_EQ(listener.presses.size(), 1u);
    EXPECT_EQ(listener.presses[0].point.x, 25); // the button's centre
    EXPECT_EQ(listener.presses[0].point.y, 50);
    EXPECT_TRUE(listener.clicks.empty());

    // Auto-repeat keeps it pressed without new notifications.
    KeyEvent repeat = key_event(key::SoftLeft, true);
    repeat.first = false;
    EXPECT_TRUE(screen.on_key(repeat));
    EXPECT_EQ(listener.presses.size(), 1u);

    EXPECT_TRUE(screen.on_key(key_event(key::SoftLeft, false)));
    EXPECT_EQ(listener.clicks.size(), 1u);
    EXPECT_EQ(shown(*button), u"#normal");
}

TEST_F(Buttons, UnboundButtonTakesNoKeyNotEvenNone) {
    EXPECT_FALSE(screen.on_key(key_event(key::None, true)));
    EXPECT_FALSE(screen.on_key(key_event(key::Enter, true)));
    EXPECT_TRUE(listener.presses.empty());
}

TEST_F(Buttons, HiddenButtonGetsNoKeysAndALostKeyReleaseLeavesItUnpressed) {
    button->set_bound_key(key::Enter);
    screen.on_key(key_event(key::Enter, true));
    button->set_visible(false);
    EXPECT_FALSE(button->is_pressed());
    EXPECT_FALSE(screen.on_key(key_event(key::Enter, false)));
    button->set_visible(true);
    EXPECT_EQ(shown(*button), u"#normal");
    EXPECT_TRUE(listener.clicks.empty());
}

TEST_F(Buttons, DisabledShowsDisabledAndIgnoresInput) {
    button->set_bound_key(key::Enter);
    button->set_enabled(false);
    draw();
    EXPECT_EQ(shown(*button), u"#disabled");
    EXPECT_FALSE(screen.on_touch(pen(PointerKind::Down, 10, 10)));
    EXPECT_FALSE(screen.on_key(key_event(key::Enter, true)));
    EXPECT_FALSE(screen.on_key(key_event(key::Enter, false)));
    EXPECT_TRUE(listener.presses.empty());
    EXPECT_TRUE(listener.clicks.empty());

    button->set_enabled(true);
    draw();
    EXPECT_EQ(shown(*button), u"#normal");
}

TEST_F(Buttons, DisabledAncestorIsCaughtUpWhenDrawn) {
    screen.set_enabled(false);
    draw();
    EXPECT_EQ(shown(*button), u"#disabled");
    EXPECT_EQ(button->state(), ButtonState::Disabled);
}

TEST_F(Buttons, DisabledWithoutDisabledChildShowsNormal) {
    Recorder other;
    ButtonNode& plain = make_button(screen, other, false);
    plain.set_enabled(false);
    draw();
    EXPECT_EQ(shown(plain), u"#normal");
}

TEST_F(Buttons, KeyHeldWhileDisabledIsLetGoWithoutClick) {
    button->set_bound_key(key::Enter);
    screen.on_key(key_event(key::Enter, true));
    button->set_enabled(false);
    EXPECT_TRUE(screen.on_key(key_event(key::Enter, false)));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_TRUE(listener.clicks.empty());
}

TEST_F(Buttons, CancelledPointerPressIsLetGoWithoutClickAndTheRestOfTheGestureIsIgnored) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    button->cancel_press();
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(shown(*button), u"#normal");
    ASSERT_EQ(listener.presses.size(), 2u);
    EXPECT_FALSE(listener.presses[1].pressed);

    // The finger still down moves and lifts over the button: nothing follows.
    screen.on_touch(pen(PointerKind::Move, 12, 10));
    screen.on_touch(pen(PointerKind::Up, 12, 10));
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_EQ(listener.presses.size(), 2u);
    EXPECT_EQ(screen.captured(), nullptr);

    // The next tap clicks as usual.
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    screen.on_touch(pen(PointerKind::Up, 10, 10));
    EXPECT_EQ(listener.clicks.size(), 1u);
}

TEST_F(Buttons, CancelledKeyPressIgnoresItsRepeatsAndRelease) {
    button->set_bound_key(key::Enter);
    screen.on_key(key_event(key::Enter, true));
    button->cancel_press();
    EXPECT_FALSE(button->is_pressed());

    KeyEvent repeat = key_event(key::Enter, true);
    repeat.first = false;
    EXPECT_TRUE(screen.on_key(repeat));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_TRUE(screen.on_key(key_event(key::Enter, false)));
    EXPECT_TRUE(listener.clicks.empty());
    EXPECT_EQ(listener.presses.size(), 2u);

    // A fresh press after the release clicks again.
    screen.on_key(key_event(key::Enter, true));
    screen.on_key(key_event(key::Enter, false));
    EXPECT_EQ(listener.clicks.size(), 1u);
}

TEST_F(Buttons, KeyPressedAgainAfterALostCancelledReleaseWorks) {
    button->set_bound_key(key::Enter);
    screen.on_key(key_event(key::Enter, true));
    button->cancel_press();
    // The release went elsewhere (the button was hidden meanwhile); a new
    // first press must not be swallowed.
    screen.on_key(key_event(key::Enter, true));
    EXPECT_TRUE(button->is_key_pressed());
    screen.on_key(key_event(key::Enter, false));
    EXPECT_EQ(listener.clicks.size(), 1u);
}

TEST_F(Buttons, CancelOfAnUnpressedButtonTellsNothing) {
    button->cancel_press();
    button->set_held(true);
    button->cancel_press();
    EXPECT_TRUE(button->is_held());
    EXPECT_TRUE(listener.presses.empty());
}

TEST_F(Buttons, HeldFlagShowsPressedWithoutClicking) {
    button->set_held(true);
    EXPECT_EQ(shown(*button), u"#pressed");
    // A tap while held changes nothing the user sees and does not click.
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    screen.on_touch(pen(PointerKind::Up, 10, 10));
    EXPECT_TRUE(listener.clicks.empty());
    button->set_held(false);
    EXPECT_EQ(shown(*button), u"#normal");
}

TEST_F(Buttons, DragTellsPositionAndMovementAndKeepsWhatTheListenerLeft) {
    screen.on_touch(pen(PointerKind::Down, 10, 10));
    ASSERT_EQ(listener.drags.size(), 1u); // told the press position
    EXPECT_EQ(listener.drags[0].delta.x, 0);

    screen.on_touch(pen(PointerKind::Move, 14, 13));
    ASSERT_EQ(listener.drags.size(), 2u);
    EXPECT_EQ(listener.drags[1].delta.x, 4);
    EXPECT_EQ(listener.drags[1].delta.y, 3);

    // The listener uses up all of the next movement: the button keeps its
    // remembered position, so the following delta counts from there.
    listener.consume = {6, 0};
    screen.forward_to_captured(20, 13);
    EXPECT_EQ(listener.drags[2].delta.x, 6);
    listener.consume = {};
    screen.forward_to_captured(21, 13);
    EXPECT_EQ(listener.drags[3].delta.x, 7);

    // Released: moves tell nothing.
    screen.on_touch(pen(PointerKind::Up, 21, 13));
    button->forward_to_captured(30, 30);
    EXPECT_EQ(listener.drags.size(), 4u);
}

TEST_F(Buttons, CaptionReachesTheTextNodesBelowButNotANestedButton) {
    auto& caption = add<TextNode>(*button);
    auto& inner = add<ButtonNode>(*button);
    auto& inner_caption = add<TextNode>(inner);
    inner_caption.set_text(u"inner");
    button->set_text(u"Call");
    EXPECT_EQ(caption.text(), u"Call");
    EXPECT_EQ(inner_caption.text(), u"inner");
}

// --- From a skin ----------------------------------------------------------------

namespace {

using skinc::NodeModel;
using skinc::SkinModel;

// Only the types these skins use: other tests register names of their own.
void ensure_types() {
    test::ensure_types({{u"node", &make_node<Node>},
                        {u"button", &make_node<ButtonNode>},
                        {u"multinode", &make_node<Multinode>},
                        {u"progress", &make_node<ProgressNode>}});
}

NodeModel button_model(SkinModel& model, const char16_t* id, const char16_t* key) {
    NodeModel button = typed(model, u"button", id);
    if (key)
        button.strings.push_back({u"bind_key", model.intern_string(key)});
    NodeModel face = typed(model, u"node", u"face");
    face.children = {typed(model, u"node", u"#pressed")};
    button.children = {typed(model, u"node", u"#normal"), face};
    return button;
}

} // namespace

TEST(ButtonSkin, BindKeyNamesAreExactAndStateChildrenAreFoundBelow) {
    ensure_types();
    SkinModel model;
    NodeModel form = typed(model, u"node", u"form");
    form.children = {button_model(model, u"soft", u"SOFT_LEFT"),
                     button_model(model, u"lower", u"soft_left"),
                     button_model(model, u"digit", u"5"), button_model(model, u"none", nullptr)};
    model.nodes.push_back({u"form", form});
    auto impl = test::from_bytes(test::written(model));
    Properties skin;
    ASSERT_TRUE(skin.install(*impl));

    Node screen;
    ASSERT_TRUE(screen.load_from_skin(skin, u"form"));
    auto* soft = dynamic_cast<ButtonNode*>(screen.find(u"soft"));
    ASSERT_NE(soft, nullptr);
    EXPECT_EQ(soft->bound_key(), 61);
    EXPECT_EQ(dynamic_cast<ButtonNode*>(screen.find(u"lower"))->bound_key(), 0);
    EXPECT_EQ(dynamic_cast<ButtonNode*>(screen.find(u"digit"))->bound_key(), 51);
    EXPECT_EQ(dynamic_cast<ButtonNode*>(screen.find(u"none"))->bound_key(), 0);

    // "#pressed" sits a level deeper and is still a state child.
    ASSERT_NE(soft->state_child(ButtonState::Pressed), nullptr);
    EXPECT_EQ(soft->state_child(ButtonState::Disabled), nullptr);
    EXPECT_EQ(shown(*soft), u"#normal");
    EXPECT_TRUE(screen.on_key(key_event(61, true)));
    EXPECT_EQ(shown(*soft), u"#pressed");
}
