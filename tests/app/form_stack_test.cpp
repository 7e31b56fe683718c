// The form stack: order, replace, ownership, the listener's on_form_closed
// and transitions from a snapshot.
#include "shell_test_support.h"
#include "ui/node.h"
#include <SDL_keycode.h>
#include <gtest/gtest.h>
namespace telvara::test_support {
namespace {
using forms::Animate;
using forms::ShowMode;
class FormStackTest : public ApplicationTest {};
TEST_F(FormStackTest, ShowPushesAndCloseRemovesTellingTheListenerFirst) {
    ListenerProbe listener;
    auto& app = application();
    app.set_listener(&listener);
    ProbeForm a, b, c;
    EXPECT_EQ(forms::form_host(), &app);
    app.show_form(a, ShowMode::Push, Animate::No);
    app.show_form(b, ShowMode::Push, Animate::No);
    app.show_form(c, ShowMode::Push, Animate::No);
    ASSERT_EQ(app.form_count(), 3u);
    EXPECT_EQ(app.top_form(), &c);
    EXPECT_EQ(std::pair(c.width(), c.height()), std::pair(kWidth, kHeight)) << "sized when shown";
    // Only the top form is updated and gets input.
    game().inject_key(SDLK_LEFT, display::KeyAction::Press);
    ASSERT_TRUE(game().advance(10));
    EXPECT_EQ(std::tuple(a.updates.size(), b.keys.size(), c.updates.size(), c.keys.size()),
              std::tuple(0u, 0u, 1u, 1u));
    EXPECT_TRUE(app.close_form(b, Animate::No)); // from the middle
    EXPECT_EQ(listener.closed, std::vector<forms::Form*>{&b});
    EXPECT_EQ(app.form_count(), 2u);
    EXPECT_FALSE(app.is_shown(b));
    EXPECT_FALSE(app.close_form(b, Animate::No)) << "not on the stack";
    EXPECT_EQ(listener.closed.size(), 1u);
    EXPECT_TRUE(app.close_form(c, Animate::No));
    EXPECT_EQ(app.top_form(), &a);
    EXPECT_TRUE(app.dirty());
    // Showing a form that is already shown moves it to the top, once.
    app.show_form(c, ShowMode::Push, Animate::No);
    app.show_form(a, ShowMode::Push, Animate::No);
    EXPECT_EQ(app.form_count(), 2u);
    EXPECT_EQ(app.top_form(), &a);
    EXPECT_EQ(&app.form_at(0), &c);
    app.set_listener(nullptr);
}

TEST_F(FormStackTest, ReplaceDropsThePreviousTopAndOwnedFormsDieAfterTheFrame) {
    auto& app = application();
    bool first_gone = false, second_gone = false;
    app.show_form(std::make_unique<ProbeForm>(&first_gone), ShowMode::Push, Animate::No);
    auto& second =
        app.show_form(std::make_unique<ProbeForm>(&second_gone), ShowMode::Replace, Animate::No);
    EXPECT_EQ(app.form_count(), 1u);
    EXPECT_FALSE(first_gone) << "kept until the next update";
    ASSERT_TRUE(game().advance(10));
    EXPECT_TRUE(first_gone);
    // A form closing itself inside its own update stays alive until it returns.
    EXPECT_TRUE(app.close_form(second, Animate::No));
    EXPECT_FALSE(second_gone);
    ASSERT_TRUE(game().advance(10));
    EXPECT_TRUE(second_gone);
    EXPECT_EQ(app.top_form(), nullptr);
}

TEST_F(FormStackTest, TransitionFadesFromTheSnapshotAndHoldsTheFormsUpdate) {
    auto& app = application();
    auto red = colour_form({255, 0, 0, 255});
    auto blue = colour_form({0, 0, 255, 255});
    app.show_form(*red, ShowMode::Push, Animate::No);
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(screen().last_frame().at(5, 5), 0xF800);
    blue->transition = [](forms::TransitionKind kind) {
        EXPECT_EQ(kind, forms::TransitionKind::Show);
        return std::make_unique<forms::FadeTransition>(0.1);
    };
    app.show_form(*blue, ShowMode::Push, Animate::Yes);
    EXPECT_TRUE(app.transition_running());
    EXPECT_EQ(app.transition_strength(), forms::kFullStrength);
    ASSERT_TRUE(game().advance(10));
    EXPECT_TRUE(app.transition_running());
    EXPECT_TRUE(app.transition_strength() > 0 && app.transition_strength() < forms::kFullStrength)
        << app.transition_strength();
    EXPECT_TRUE(blue->updates.empty()) << "no form update while the transition runs";
    EXPECT_NE(screen().last_frame().at(5, 5), 0x001F) << "the old screen still shows";
    ASSERT_TRUE(game().advance(150));
    EXPECT_FALSE(app.transition_running());
    EXPECT_FALSE(blue->updates.empty());
    EXPECT_EQ(screen().last_frame().at(5, 5), 0x001F);
    // Without animate, or without a transition, nothing runs.
    app.close_form(*blue, Animate::No);
    app.show_form(*blue, ShowMode::Push, Animate::No);
    EXPECT_FALSE(app.transition_running());
    red->transition = nullptr;
    app.show_form(*red, ShowMode::Push, Animate::Yes);
    EXPECT_FALSE(app.transition_running());
}
// The strip tops every form but its owner and keeps the pen it took; the notice tops all.
TEST_F(FormStackTest, OverlaysTheStripOverEveryFormButItsOwnerAndTheNoticeOverAll) {
    auto& app = application();
    auto owner = colour_form({0, 0, 255, 255});
    auto other = colour_form({0, 255, 0, 255});
    auto strip = colour_form({255, 0, 0, 255});
    strip->set_anchor(ui::ScaleType::BothSide, ui::ScaleType::MinSide);
    strip->set_design_size({0, 20});
    auto notice = colour_form({255, 255, 255, 255});
    notice->set_anchor(ui::ScaleType::BothSide, ui::ScaleType::MaxSide);
    notice->set_design_size({0, 10});
    app.show_form(*owner, ShowMode::Push, Animate::No);
    app.set_overlay(forms::OverlaySlot::CallStrip, strip.get(), owner.get());
    app.set_overlay(forms::OverlaySlot::Notice, notice.get());
    ASSERT_TRUE(game().advance(20));
    const auto& frame = screen().last_frame();
    // The owner in front: no strip, the form from the top.
    EXPECT_EQ(std::tuple(frame.at(5, 5), owner->y(), frame.at(5, kHeight - 5)),
              std::tuple(0x001F, 0, 0xFFFF))
        << "the owner from the top, the notice";
    app.show_form(*other, ShowMode::Push, Animate::No);
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(screen().last_frame().at(5, 5), 0xF800) << "the strip over another form";
    EXPECT_EQ(std::pair(other->y(), other->height()), std::pair(20, kHeight - 20)) << "below";
    EXPECT_EQ(screen().last_frame().at(5, 25), 0x07E0);
    // A press that starts on the strip is the strip's to the end; one that
    // starts below goes to the form.
    game().inject_pointer(display::PointerAction::Down, 5, 5);
    game().inject_pointer(display::PointerAction::Move, 5, 100);
    game().inject_pointer(display::PointerAction::Up, 5, 100);
    game().inject_pointer(display::PointerAction::Down, 5, 100);
    ASSERT_TRUE(game().dispatch_pending());
    EXPECT_EQ(std::tuple(strip->touches.size(), other->touches.size()), std::tuple(3u, 1u));
    game().inject_pointer(display::PointerAction::Up, 5, 100);
    // Hidden, or gone from its slot: the forms have the whole screen again.
    strip->set_visible(false);
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(other->y(), 0);
    app.set_overlay(forms::OverlaySlot::Notice, nullptr);
    EXPECT_EQ(app.overlay(forms::OverlaySlot::Notice), nullptr);
}
} // namespace
} // namespace telvara::test_support
