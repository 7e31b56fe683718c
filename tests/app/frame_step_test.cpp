// The frame step: elapsed time clamped to 0.001..0.1 s, frames in the same
// millisecond skipped, redraw decisions, presenting, windowed mode.
#include "shell_test_support.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

namespace telvara::test_support {
namespace {

using forms::Animate;
using forms::ShowMode;

class FrameStepTest : public ApplicationTest {};

TEST_F(FrameStepTest, ElapsedTimeIsClampedAndSameMillisecondFramesSkipped) {
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
    clock().advance(20);
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    EXPECT_FALSE(game().frame_step(app::SkipIdle::Yes)); // same millisecond
    ASSERT_TRUE(game().frame_step(app::SkipIdle::No));   // not skipped: the floor
    clock().advance(5000);                               // a stall of seconds
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    clock().advance(1);
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    ASSERT_EQ(form.updates.size(), 4u);
    EXPECT_DOUBLE_EQ(form.updates[0], 0.02);
    EXPECT_DOUBLE_EQ(form.updates[1], 0.001);
    EXPECT_DOUBLE_EQ(form.updates[2], 0.1);
    EXPECT_DOUBLE_EQ(form.updates[3], 0.001);
    // The tick count may wrap around.
    clock().advance(0xFFFFFFF0u - clock().now());
    game().frame_step(app::SkipIdle::Yes);
    clock().advance(0x20); // past zero
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    EXPECT_DOUBLE_EQ(form.updates.back(), 0.032);
}

TEST_F(FrameStepTest, ColourFormIsPresentedAndIdleScreensAreNotRedrawn) {
    auto form = colour_form({0, 255, 0, 255});
    application().show_form(*form, ShowMode::Push, Animate::No);
    ASSERT_TRUE(game().advance(30));
    const auto& frame = screen().last_frame();
    ASSERT_EQ(frame.width, kWidth);
    ASSERT_EQ(frame.height, kHeight);
    EXPECT_EQ(frame.at(0, 0), 0x07E0);
    EXPECT_EQ(frame.at(kWidth - 1, kHeight - 1), 0x07E0);
    const auto presented = screen().frames_presented();
    ASSERT_TRUE(game().advance(200));
    EXPECT_EQ(screen().frames_presented(), presented) << "nothing changed, nothing drawn";
    // An animating form draws every frame.
    form->animating = true;
    ASSERT_TRUE(game().advance(100));
    EXPECT_EQ(screen().frames_presented(), presented + 10);
}

TEST_F(FrameStepTest, NeedsRedrawRules) {
    auto& app = application();
    // Dirty from the start.
    EXPECT_TRUE(app.needs_redraw(false));
    ui::RenderSurface surface;
    surface.resize(kWidth, kHeight);
    app.draw(surface);
    // The draw remembered "yes": default true repeats it once.
    EXPECT_FALSE(app.needs_redraw(false));
    EXPECT_TRUE(app.needs_redraw(true));
    app.draw(surface);
    EXPECT_FALSE(app.needs_redraw(true));
    ProbeForm form;
    app.show_form(form, ShowMode::Push, Animate::No); // sets dirty, form not yet drawn
    EXPECT_TRUE(app.needs_redraw(false));
    app.draw(surface);
    app.draw(surface);
    EXPECT_FALSE(app.needs_redraw(true));
    form.mark_redraw(); // the top form changes
    EXPECT_TRUE(app.needs_redraw(false));
    app.draw(surface);
    form.animating = true;
    EXPECT_TRUE(app.needs_redraw(false));
    form.animating = false;
    app.set_dirty();
    EXPECT_TRUE(app.needs_redraw(false));
}

TEST_F(FrameStepTest, IdleAndInactiveStopFramesUntilInput) {
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
    game().set_idle();
    ASSERT_TRUE(game().advance(100));
    EXPECT_TRUE(form.updates.empty());
    game().inject_pointer(display::PointerAction::Down, 3, 4); // input clears idle
    ASSERT_TRUE(game().advance(30));
    EXPECT_EQ(form.updates.size(), 3u);
    game().inject_activate(false);
    ASSERT_TRUE(game().advance(100));
    EXPECT_EQ(form.updates.size(), 3u);
    EXPECT_TRUE(game().is_inactive());
    game().inject_activate(true);
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(form.updates.size(), 5u);
}

TEST_F(FrameStepTest, WindowedModeRunsOnTheFortyMillisecondTimer) {
    auto form = colour_form({255, 0, 0, 255});
    application().show_form(*form, ShowMode::Push, Animate::No);
    game().set_windowed(app::TaskBar::Hidden);
    EXPECT_FALSE(game().display_ready());
    ASSERT_TRUE(game().advance(200));
    ASSERT_EQ(form->updates.size(), 5u);
    for (double dt : form->updates)
        EXPECT_DOUBLE_EQ(dt, 0.04);
    EXPECT_EQ(screen().last_frame().at(1, 1), 0xF800); // painted through the window path
    game().set_direct(1);
    EXPECT_TRUE(game().display_ready());
    EXPECT_FALSE(game().is_windowed());
}

TEST_F(FrameStepTest, ScreenResizeChangesTheResolutionOnlyWhenInfoDiffers) {
    ListenerProbe listener;
    application().set_listener(&listener);
    auto form = colour_form({0, 0, 255, 255});
    application().show_form(*form, ShowMode::Push, Animate::No);
    screen().resize_screen(kWidth, kHeight); // same size: nothing changed
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(listener.resolution_changes, 0);
    screen().resize_screen(64, 40);
    ASSERT_TRUE(game().advance(20));
    EXPECT_EQ(listener.resolution_changes, 1);
    EXPECT_EQ(game().screen_info().current_width, 64);
    EXPECT_EQ(game().back_buffer().width(), 64);
    EXPECT_EQ(form->width(), 64);
    EXPECT_EQ(form->height(), 40);
    EXPECT_EQ(screen().last_frame().width, 64);
    EXPECT_EQ(screen().last_frame().at(63, 39), 0x001F);
    game().resolution_changed(); // re-read, unchanged
    EXPECT_EQ(listener.resolution_changes, 1);
    application().set_listener(nullptr);
}

TEST_F(FrameStepTest, CloseAsksTheListenerAndQuitEndsTheLoop) {
    ListenerProbe listener;
    listener.allow_close = false;
    application().set_listener(&listener);
    game().inject_activate(true);
    ASSERT_TRUE(game().advance(10));
    EXPECT_EQ(listener.activations, 1);
    platform::post(game().window(), platform::WM_CLOSE);
    EXPECT_TRUE(game().advance(10)) << "the listener declined";
    listener.allow_close = true;
    platform::post(game().window(), platform::WM_CLOSE);
    EXPECT_FALSE(game().advance(10));
    EXPECT_TRUE(game().quit_received());
    EXPECT_EQ(game().exit_code(), 0);
    application().set_listener(nullptr);
}

TEST_F(FrameStepTest, RunDispatchesUntilTheQuitMessageAndReturnsItsCode) {
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
    game().inject_key(SDLK_9, display::KeyAction::Press);
    platform::post_quit(7);
    EXPECT_EQ(game().run(), 7);
    ASSERT_EQ(form.keys.size(), 1u);
    EXPECT_EQ(form.keys[0].code, 55);
    EXPECT_TRUE(game().quit_received());
}

} // namespace
} // namespace telvara::test_support
