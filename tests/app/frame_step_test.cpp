// The frame step: elapsed time clamped to 0.001..0.1 s, frames in the same millisecond
// skipped, idle screens not redrawn, closing asked of the listener. A new screen size is
// the window test's and the screens' layout tests'.
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
    const auto presented = screen().frames_presented();
    clock().advance(5000); // a stall of seconds
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    clock().advance(1);
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    EXPECT_EQ(form.updates, (std::vector{0.02, 0.001, 0.1, 0.001}));
    EXPECT_EQ(screen().frames_presented(), presented) << "nothing changed, nothing drawn";
    // The tick count may wrap around.
    clock().advance(0xFFFFFFF0u - clock().now());
    game().frame_step(app::SkipIdle::Yes);
    clock().advance(0x20); // past zero
    ASSERT_TRUE(game().frame_step(app::SkipIdle::Yes));
    EXPECT_DOUBLE_EQ(form.updates.back(), 0.032);
}
// The listener may decline a close; a close or the quit message ends run() with its code.
TEST_F(FrameStepTest, CloseAsksTheListenerAndQuitEndsTheLoop) {
    ListenerProbe listener;
    listener.allow_close = false;
    application().set_listener(&listener);
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
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
    game().inject_key(SDLK_9, display::KeyAction::Press);
    platform::post_quit(7);
    EXPECT_EQ(game().run(), 7);
    ASSERT_EQ(form.keys.size(), 1u);
    EXPECT_EQ(form.keys[0].code, 55);
}
} // namespace
} // namespace telvara::test_support
