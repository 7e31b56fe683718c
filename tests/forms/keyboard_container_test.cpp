// The dialer keypad on the test skin, the long press fired through the real scheduler.
#include "forms/keyboard_container.h"

#include "platform/clock.h"
#include "runtime/active_scheduler.h"
#include "runtime/device_root_fixture.h"
#include "runtime/scheduler_test_support.h"
#include "screen_test_support.h"
#include "ui/key_names.h"
#include "ui/vadode.h"

using namespace telvara;
using namespace telvara::forms;
using telvara::test::pump_until;

namespace {

namespace fs = std::filesystem;
using Events = std::vector<std::string>;

// What the keypad told its listener, in order: "text:<number>", "closed", "call:<number>".
struct Recorder : KeyboardListener {
    void on_keyboard_text(const WString& text) override {
        events.push_back("text:" + to_utf8(text));
    }
    void on_keyboard_closed() override { events.push_back("closed"); }
    void on_keyboard_call(const WString& text) override {
        if (on_call)
            on_call();
        events.push_back("call:" + to_utf8(text));
    }
    Events take() { return std::exchange(events, {}); }
    Events events;
    std::function<void()> on_call;
};

class Keypad : public test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        forms::test::ensure_skin_types();
        fs::create_directories(root() + "/skins");
        for (const auto& entry : fs::directory_iterator(TELVARA_TEST_SKINS))
            if (entry.path().filename().string().starts_with("keypad"))
                fs::copy(entry.path(), root() + "/skins/" + entry.path().filename().string(),
                         fs::copy_options::recursive);
        ASSERT_TRUE(skin.load_skin(u"/skins/keypad.skin", 0)) << skin.impl().load_error();
        load_host();
    }
    void load_host(WStringView name = u"KeypadHost") {
        ASSERT_TRUE(host.load_from_skin(skin, name));
        host.place_x(0, 240);
        host.place_y(0, 320);
    }
    void bind(KeyboardContainer& target) {
        target.set_scheduler(&scheduler);
        target.bind(host, listener);
    }
    ui::ButtonNode& button(WStringView name) {
        auto* found = dynamic_cast<ui::ButtonNode*>(host.find(name));
        EXPECT_NE(found, nullptr) << to_utf8(name);
        return *found;
    }
    WString number() { return forms::test::text_of(host.find(u"text_button_call")); }
    void touch(ui::PointerKind kind, WStringView name) {
        const ui::ButtonNode& target = button(name);
        host.on_touch(
            {target.x() + target.width() / 2, target.y() + target.height() / 2, kind, false});
    }
    void press(WStringView name) { touch(ui::PointerKind::Down, name); }
    void release(WStringView name) { touch(ui::PointerKind::Up, name); }
    void tap(WStringView name) {
        press(name);
        release(name);
    }
    bool key(std::int32_t code, bool pressed, bool first = true) {
        return host.on_key({code, pressed, first});
    }
    void key_tap(std::int32_t code) {
        key(code, true);
        key(code, false);
    }
    void type(WStringView digits) {
        for (char16_t digit : digits)
            tap(u"button" + WString(1, digit));
    }
    // Lets the pending long press happen now, through the scheduler.
    void fire_long_press(KeyboardContainer& target) {
        ASSERT_TRUE(target.is_long_press_pending());
        target.expire_long_press();
        ASSERT_TRUE(pump_until([&] { return scheduler.active_count() == 0; }));
        EXPECT_FALSE(target.is_long_press_pending());
    }
    ui::Properties skin;
    runtime::CActiveScheduler scheduler{u"KeypadTest"};
    ui::Node host;
    Recorder listener;
};

class DefaultKeypad : public Keypad {
  protected:
    void SetUp() override {
        Keypad::SetUp();
        bind(keypad);
        keypad.show(CallButton::Shown);
        listener.take();
    }
    KeyboardContainer keypad;
};

} // namespace

TEST_F(Keypad, BindingAgainAfterASkinReloadDropsTheOldNodesAndStopsTheTimer) {
    KeyboardContainer keypad;
    bind(keypad);
    keypad.show(CallButton::Shown);
    type(u"12");
    press(u"button0"); // a long press waits
    ASSERT_EQ(scheduler.active_count(), 1);
    // The reload destroys the old tree; the keypad must not touch it again.
    const auto nodes_before = ui::Node::live_count();
    load_host();
    EXPECT_EQ(ui::Node::live_count(), nodes_before) << "the old tree is gone";
    bind(keypad);
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_FALSE(keypad.is_open());
    EXPECT_TRUE(keypad.text().empty());
    listener.take();
    keypad.show(CallButton::Shown);
    type(u"7");
    EXPECT_EQ(listener.take(), (Events{"text:7"}));
    EXPECT_EQ(number(), u"7");
}

// Held 0 gives "+", 1 a blank, # a star, backspace clears; the held button
// no longer looks pressed and lifting the finger adds nothing.
TEST_F(DefaultKeypad, HeldKeysGiveTheirSecondMeaning) {
    host.find(u"button_backspace")->set_visible(true);
    const struct {
        const char16_t* typed;
        const char16_t* held;
        const char16_t* text;
    } cases[] = {{u"0", u"button0", u"0+"},
                 {u"2", u"button1", u"2 "},
                 {u"2", u"button_hash", u"2*"},
                 {u"98765", u"button_backspace", u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.held));
        keypad.set_text({});
        type(c.typed);
        EXPECT_FALSE(keypad.is_long_press_pending()) << "a tap leaves nothing pending";
        listener.take();
        press(c.held);
        fire_long_press(keypad);
        EXPECT_FALSE(button(c.held).is_pressed());
        release(c.held);
        EXPECT_EQ(keypad.text(), c.text);
        EXPECT_EQ(listener.take(), (Events{"text:" + to_utf8(c.text)}));
    }
}

TEST_F(DefaultKeypad, AnyClickOrClosingStopsAPendingLongPress) {
    press(u"button0");
    ASSERT_TRUE(keypad.is_long_press_pending());
    key_tap(ui::key::Digit0 + 8); // another key clicks while the finger holds 0
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"80");
    listener.take();
    press(u"button0");
    keypad.hide(Animate::Yes);
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    release(u"button0");
    EXPECT_EQ(listener.take(), (Events{"text:", "closed"})) << "no click";
    // Without a scheduler a held key just clicks.
    keypad.show(CallButton::Shown);
    keypad.set_scheduler(nullptr);
    press(u"button0");
    EXPECT_FALSE(keypad.is_long_press_pending());
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"0");
}
