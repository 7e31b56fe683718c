// Input through the window procedure: keys, soft keys, characters, the pen, command lines.
// The emergency shortcut is the phone objects' test's.
#include "platform/messages.h"
#include "shell_test_support.h"
#include <SDL_keycode.h>
#include <gtest/gtest.h>
namespace telvara::test_support {
namespace {
using display::KeyAction;
using display::PointerAction;
using forms::Animate;
using forms::ShowMode;
struct TextProbe : app::TextInputFocus {
    WString text;
    void on_text_input(WStringView typed) override { text += typed; }
};
class InputTest : public ApplicationTest {
  protected:
    void SetUp() override {
        ApplicationTest::SetUp();
        application().show_form(form, ShowMode::Push, Animate::No);
    }
    void TearDown() override {
        application().set_listener(nullptr);
        application().set_text_focus(nullptr);
        ApplicationTest::TearDown();
    }
    void pump() { ASSERT_TRUE(game().dispatch_pending()); }
    // The keys the form got: code, "+" down or "-" up, "r" for a repeat.
    std::string keys() const {
        std::string out;
        for (const ui::KeyEvent& key : form.keys)
            out += (out.empty() ? "" : " ") + std::to_string(key.code) + (key.pressed ? "+" : "-") +
                   (key.first ? "" : "r");
        return out;
    }
    ProbeForm form;
};
// A second press while held is a repeat too; a key of no device key is nothing. Soft
// keys come as hot keys once per press, past the preview, which swallows the rest here.
TEST_F(InputTest, KeysRepeatsAndSoftKeys) {
    using K = KeyAction;
    const auto inject = [&](std::vector<std::pair<std::int32_t, K>> keys) {
        for (const auto& [key, action] : keys)
            game().inject_key(key, action);
        pump();
    };
    inject({{SDLK_5, K::Press},
            {SDLK_5, K::Repeat},
            {SDLK_5, K::Press},
            {SDLK_5, K::Release},
            {SDLK_5, K::Press},
            {SDLK_CAPSLOCK, K::Press}});
    EXPECT_EQ(keys(), "51+ 51+r 51+r 51- 51+");
    form.keys.clear();
    ListenerProbe listener;
    listener.swallow_keys = true;
    application().set_listener(&listener);
    inject({{SDLK_F1, K::Press},
            {SDLK_F1, K::Repeat},
            {SDLK_F1, K::Release},
            {SDLK_F2, K::Press},
            {SDLK_UP, K::Press}});
    EXPECT_EQ(keys(), "61+ 61- 62+");
}

TEST_F(InputTest, CharactersReachTheFocusedEditOnlyFromBlankUp) {
    TextProbe edit;
    game().inject_text("ab");
    pump();
    application().set_text_focus(&edit);
    game().inject_text("c\xd0\x96 ");
    platform::post(game().window(), platform::WM_CHAR, 8); // backspace as a character
    pump();
    EXPECT_EQ(edit.text, u"c\u0416 ");
}

TEST_F(InputTest, PenEventsAndACancelledPressOnCaptureLoss) {
    game().inject_pointer(PointerAction::Down, 10, 20);
    game().inject_pointer(PointerAction::Move, 12, 22);
    pump();
    EXPECT_TRUE(screen().captured());
    game().inject_capture_lost();
    game().inject_capture_lost(); // the second loss has nothing to cancel
    pump();
    ASSERT_EQ(form.touches.size(), 3u);
    const auto& t = form.touches;
    EXPECT_EQ(
        std::tuple(t[0].kind, t[0].x, t[1].kind, t[2].kind, t[2].x, t[2].y),
        std::tuple(ui::PointerKind::Down, 10, ui::PointerKind::Move, ui::PointerKind::Up, 12, 22));
    EXPECT_TRUE(t[2].cancelled);
    // A normal press and release: the capture goes with the release, and a
    // later loss cancels nothing.
    game().inject_pointer(PointerAction::Down, 1, 2);
    game().inject_pointer(PointerAction::Up, 3, 4);
    game().inject_capture_lost();
    pump();
    ASSERT_EQ(form.touches.size(), 5u);
    EXPECT_EQ(std::pair(t[4].kind, t[4].cancelled), std::pair(ui::PointerKind::Up, false));
    EXPECT_FALSE(screen().captured());
    // Negative coordinates survive the message.
    game().inject_pointer(PointerAction::Down, -5, -300);
    pump();
    EXPECT_EQ(std::pair(t.back().x, t.back().y), std::pair(-5, -300));
}

TEST_F(InputTest, CommandLinesFromASecondStart) {
    ListenerProbe listener;
    game().inject_command_line(u"recents"); // no listener yet: it waits
    pump();
    EXPECT_EQ(game().queued_command_lines().size(), 1u);
    application().set_listener(&listener);
    pump();
    EXPECT_EQ(listener.command_lines, std::vector<WString>{u"recents"});
    game().inject_command_line(u""); // travels as "%CommandLineEmpty%"
    platform::Message foreign;
    foreign.target = game().window();
    foreign.id = platform::WM_COPYDATA;
    foreign.data_id = 7;
    foreign.data = {'x', 0};
    platform::post(std::move(foreign));
    game().inject_command_line(u"open:+4912345");
    pump();
    EXPECT_EQ(listener.command_lines, (std::vector<WString>{u"recents", u"", u"open:+4912345"}));
    EXPECT_TRUE(game().queued_command_lines().empty());
}
} // namespace
} // namespace telvara::test_support
