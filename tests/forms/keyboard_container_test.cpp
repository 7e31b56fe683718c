// The dialer keypad driven like a user drives it: taps and held keys on the
// compiled test skin, by finger and by the bound hardware keys, with the
// long press fired through the real active-object scheduler.
#include "forms/keyboard_container.h"

#include "platform/clock.h"
#include "runtime/active_scheduler.h"
#include "runtime/device_root_fixture.h"
#include "runtime/scheduler_test_support.h"
#include "ui/button_node.h"
#include "ui/key_names.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"
#include "ui/widget_registry.h"

#include "forms/skin_types.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::forms;
using telvara::test::pump_until;

namespace {

namespace fs = std::filesystem;

// What the keypad told its listener, in order: "text:<number>", "closed",
// "call:<number>".
struct Recorder : KeyboardListener {
    void on_keyboard_text(const WString& text) override {
        events.push_back("text:" + to_utf8(text));
        if (on_text)
            on_text();
    }
    void on_keyboard_closed() override { events.push_back("closed"); }
    void on_keyboard_call(const WString& text) override {
        if (on_call)
            on_call();
        events.push_back("call:" + to_utf8(text));
    }
    std::vector<std::string> take() { return std::exchange(events, {}); }

    std::vector<std::string> events;
    std::function<void()> on_text;
    std::function<void()> on_call;
};

using Events = std::vector<std::string>;

class Keypad : public test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        forms::test::ensure_skin_types();
        fs::create_directories(root() + "/skins");
        for (const auto& entry : fs::directory_iterator(TELVARA_TEST_SKINS)) {
            if (entry.path().filename().string().starts_with("keypad"))
                fs::copy(entry.path(), root() + "/skins/" + entry.path().filename().string(),
                         fs::copy_options::recursive);
        }
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
    bool shown(WStringView name) { return host.find(name)->is_effectively_visible(); }

    ui::PointerEvent pen(ui::PointerKind kind, WStringView name) {
        const ui::ButtonNode& target = button(name);
        ui::PointerEvent event;
        event.kind = kind;
        event.x = target.x() + target.width() / 2;
        event.y = target.y() + target.height() / 2;
        return event;
    }
    void press(WStringView name) { EXPECT_TRUE(host.on_touch(pen(ui::PointerKind::Down, name))); }
    void release(WStringView name) { host.on_touch(pen(ui::PointerKind::Up, name)); }
    void tap(WStringView name) {
        press(name);
        release(name);
    }
    bool key(std::int32_t code, bool pressed, bool first = true) {
        ui::KeyEvent event;
        event.code = code;
        event.pressed = pressed;
        event.first = first;
        return host.on_key(event);
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

class SwitchingKeypad : public Keypad {
  protected:
    void SetUp() override {
        Keypad::SetUp();
        bind(keypad);
        keypad.show(CallButton::Hidden);
    }
    KeyboardContainer keypad{SwitchVisibility::Yes};
};

} // namespace

// --- Binding -----------------------------------------------------------------

TEST_F(Keypad, BindingStartsClosedAndEmptyWithCloseShownAndReportsNothing) {
    KeyboardContainer keypad;
    bind(keypad);
    EXPECT_EQ(keypad.root(), host.find(u"KeyboardContainer"));
    EXPECT_FALSE(keypad.is_open());
    EXPECT_TRUE(keypad.text().empty());
    // The skin's sample number is not taken for typed digits.
    EXPECT_TRUE(dynamic_cast<ui::TextNode*>(host.find(u"text_button_call"))->text().empty());
    EXPECT_FALSE(host.find(u"button_backspace")->is_visible());
    EXPECT_TRUE(host.find(u"button_close")->is_visible());
    EXPECT_TRUE(listener.events.empty());
    EXPECT_NE(button(u"button5").listener(), nullptr);
}

TEST_F(Keypad, MissingNodesThrowAndLeaveTheKeypadUnbound) {
    KeyboardContainer keypad;
    keypad.set_scheduler(&scheduler);
    ui::Node bare;
    try {
        keypad.bind(bare, listener);
        ADD_FAILURE() << "bound without a keypad node";
    } catch (const ui::vadode::NodeNotFound& missing) {
        EXPECT_EQ(missing.child_name(), u"KeyboardContainer");
    }

    load_host(u"KeypadWithoutHash");
    try {
        keypad.bind(host, listener);
        ADD_FAILURE() << "bound without button_hash";
    } catch (const ui::vadode::NodeNotFound& missing) {
        EXPECT_EQ(missing.parent_name(), u"KeyboardContainer");
        EXPECT_EQ(missing.child_name(), u"button_hash");
    }
    EXPECT_EQ(keypad.root(), nullptr);
    // The buttons it did find are not left pointing at it.
    EXPECT_EQ(button(u"button0").listener(), nullptr);

    // A number field that cannot show text is as good as missing.
    load_host(u"KeypadWithPlainNumber");
    EXPECT_THROW(keypad.bind(host, listener), ui::vadode::NodeNotFound);

    // An unbound keypad takes the calls without effect.
    keypad.show(CallButton::Shown);
    keypad.hide(Animate::Yes);
    keypad.set_text(u"12");
    EXPECT_FALSE(keypad.is_open());
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(Keypad, BindingAgainAfterASkinReloadDropsTheOldNodesAndStopsTheTimer) {
    KeyboardContainer keypad;
    bind(keypad);
    keypad.show(CallButton::Shown);
    type(u"12");
    press(u"button0"); // a long press waits
    ASSERT_TRUE(keypad.is_long_press_pending());
    ASSERT_EQ(scheduler.active_count(), 1);

    // The reload destroys the old tree; the keypad must not touch it again.
    const auto nodes_before = ui::Node::live_count();
    load_host();
    EXPECT_EQ(ui::Node::live_count(), nodes_before); // same skin, same count: the old tree is gone
    bind(keypad);
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_FALSE(keypad.is_open());
    EXPECT_TRUE(keypad.text().empty());
    EXPECT_NE(keypad.root(), nullptr);

    listener.take();
    keypad.show(CallButton::Shown);
    type(u"7");
    EXPECT_EQ(listener.take(), (Events{"text:7"}));
    EXPECT_EQ(dynamic_cast<ui::TextNode*>(host.find(u"text_button_call"))->text(), u"7");
}

TEST_F(Keypad, DestroyingTheKeypadWithALongPressPendingLetsGoOfEverything) {
    {
        KeyboardContainer keypad;
        bind(keypad);
        keypad.show(CallButton::Shown);
        press(u"button_hash");
        ASSERT_EQ(scheduler.active_count(), 1);
    }
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_EQ(button(u"button_hash").listener(), nullptr);
    // The tree still works without it.
    release(u"button_hash");
    tap(u"button3");
    EXPECT_TRUE(listener.events.empty());
}

// --- Showing and hiding --------------------------------------------------------

TEST_F(Keypad, ShowSetsTheCallButtonAndOpens) {
    KeyboardContainer keypad;
    bind(keypad);
    keypad.show(CallButton::Hidden);
    EXPECT_TRUE(keypad.is_open());
    EXPECT_FALSE(shown(u"button_call"));
    keypad.hide(Animate::No);
    keypad.show(CallButton::Shown);
    EXPECT_TRUE(shown(u"button_call"));
    EXPECT_TRUE(shown(u"button5"));
}

TEST_F(DefaultKeypad, HidingClearsTheTextFirstThenReportsTheClose) {
    type(u"42");
    listener.take();
    keypad.hide(Animate::No);
    EXPECT_FALSE(keypad.is_open());
    EXPECT_TRUE(keypad.text().empty());
    EXPECT_EQ(listener.take(), (Events{"text:", "closed"}));
}

TEST_F(DefaultKeypad, HidingAHiddenKeypadReportsNothing) {
    keypad.hide(Animate::Yes);
    listener.take();
    keypad.hide(Animate::Yes);
    keypad.hide(Animate::No);
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(DefaultKeypad, CloseButtonHidesAnimatedAndReportsLikeHide) {
    type(u"9");
    listener.take();
    tap(u"button_close");
    EXPECT_FALSE(keypad.is_open());
    EXPECT_EQ(listener.take(), (Events{"text:", "closed"}));
    // The bound key of the close button does the same once open again.
    keypad.show(CallButton::Shown);
    type(u"1");
    listener.take();
    const std::int32_t esc = ui::key_code(u"Esc").value();
    key(esc, true);
    key(esc, false);
    EXPECT_EQ(listener.take(), (Events{"text:", "closed"}));
}

// --- Clicks -------------------------------------------------------------------

TEST_F(DefaultKeypad, TappedDigitsAndHashAreAppendedAndEachIsReported) {
    type(u"0123456789");
    tap(u"button_hash");
    EXPECT_EQ(keypad.text(), u"0123456789#");
    const Events events = listener.take();
    ASSERT_EQ(events.size(), 11u);
    EXPECT_EQ(events.front(), "text:0");
    EXPECT_EQ(events.back(), "text:0123456789#");
    EXPECT_EQ(dynamic_cast<ui::TextNode*>(host.find(u"text_button_call"))->text(), u"0123456789#");
}

TEST_F(DefaultKeypad, BoundKeysTypeLikeTaps) {
    EXPECT_TRUE(key(ui::key::Digit0 + 5, true));
    EXPECT_TRUE(key(ui::key::Digit0 + 5, false));
    key(ui::key::Hash, true);
    key(ui::key::Hash, false);
    EXPECT_EQ(keypad.text(), u"5#");
}

TEST_F(DefaultKeypad, CallReportsTheNumberAndLeavesTheTextAlone) {
    type(u"112");
    listener.take();
    tap(u"button_call");
    EXPECT_EQ(listener.take(), (Events{"call:112"}));
    EXPECT_EQ(keypad.text(), u"112");
}

TEST_F(DefaultKeypad, AListenerThatClearsTheTextOnCallStillGetsTheWholeNumber) {
    type(u"5551234");
    listener.take();
    listener.on_call = [&] { keypad.set_text({}); };
    key(ui::key::CallMake, true);
    key(ui::key::CallMake, false);
    EXPECT_EQ(listener.take(), (Events{"text:", "call:5551234"}));
    EXPECT_TRUE(keypad.text().empty());
}

TEST_F(DefaultKeypad, SetTextShowsAndReportsIt) {
    keypad.set_text(u"+44 20");
    EXPECT_EQ(keypad.text(), u"+44 20");
    EXPECT_EQ(listener.take(), (Events{"text:+44 20"}));
    EXPECT_EQ(dynamic_cast<ui::TextNode*>(host.find(u"text_button_call"))->text(), u"+44 20");
}

TEST_F(DefaultKeypad, BackspaceTapRemovesOneCharacterAndOnAnEmptyTextReportsNothing) {
    // Without switching the host decides when backspace shows.
    host.find(u"button_backspace")->set_visible(true);
    type(u"12");
    listener.take();
    tap(u"button_backspace");
    EXPECT_EQ(keypad.text(), u"1");
    tap(u"button_backspace");
    EXPECT_EQ(listener.take(), (Events{"text:1", "text:"}));
    tap(u"button_backspace");
    key(ui::key::Backspace, true);
    key(ui::key::Backspace, false);
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(scheduler.active_count(), 0);
}

// --- Long press -----------------------------------------------------------------

TEST_F(DefaultKeypad, HoldingZeroGivesPlusAndNoZeroTappingGivesZero) {
    tap(u"button0");
    EXPECT_EQ(keypad.text(), u"0");
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);

    press(u"button0");
    fire_long_press(keypad);
    EXPECT_EQ(keypad.text(), u"0+");
    // The held button no longer looks pressed, and lifting the finger adds nothing.
    EXPECT_FALSE(button(u"button0").is_pressed());
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"0+");
    EXPECT_EQ(listener.take(), (Events{"text:0", "text:0+"}));
}

TEST_F(DefaultKeypad, HoldingTheZeroKeyWithRepeatsGivesOnePlus) {
    key(ui::key::Digit0, true);
    fire_long_press(keypad);
    // The key's auto-repeat must not press again and restart the timer.
    key(ui::key::Digit0, true, false);
    key(ui::key::Digit0, true, false);
    EXPECT_FALSE(keypad.is_long_press_pending());
    key(ui::key::Digit0, false);
    EXPECT_EQ(keypad.text(), u"+");
    EXPECT_EQ(listener.take(), (Events{"text:+"}));
    // The next press of the key is an ordinary one.
    key(ui::key::Digit0, true);
    key(ui::key::Digit0, false);
    EXPECT_EQ(keypad.text(), u"+0");
}

TEST_F(DefaultKeypad, HoldingOneAppendsABlankAndHoldingHashAStar) {
    type(u"2");
    press(u"button1");
    fire_long_press(keypad);
    release(u"button1");
    press(u"button_hash");
    fire_long_press(keypad);
    release(u"button_hash");
    EXPECT_EQ(keypad.text(), u"2 *");
    EXPECT_EQ(listener.take(), (Events{"text:2", "text:2 ", "text:2 *"}));
}

TEST_F(DefaultKeypad, OtherKeysHaveNoLongPress) {
    press(u"button7");
    EXPECT_FALSE(keypad.is_long_press_pending());
    press(u"button_call"); // ignored: the finger is on 7
    release(u"button7");
    press(u"button_call");
    EXPECT_FALSE(keypad.is_long_press_pending());
    release(u"button_call");
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST_F(DefaultKeypad, HoldingBackspaceClearsTheWholeNumber) {
    host.find(u"button_backspace")->set_visible(true);
    type(u"98765");
    listener.take();
    press(u"button_backspace");
    fire_long_press(keypad);
    release(u"button_backspace");
    EXPECT_TRUE(keypad.text().empty());
    EXPECT_EQ(listener.take(), (Events{"text:"}));
}

TEST_F(DefaultKeypad, LettingGoBeforeTheTimeStopsTheTimer) {
    press(u"button_hash");
    EXPECT_TRUE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 1);
    release(u"button_hash");
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_EQ(keypad.text(), u"#");
    // Nothing is left to fire later.
    keypad.expire_long_press();
    EXPECT_EQ(scheduler.active_count(), 0);
    EXPECT_EQ(keypad.text(), u"#");
}

TEST_F(DefaultKeypad, AnyClickStopsAPendingLongPress) {
    press(u"button0");
    ASSERT_TRUE(keypad.is_long_press_pending());
    // Another key clicks while the finger still holds 0.
    key(ui::key::Digit0 + 8, true);
    key(ui::key::Digit0 + 8, false);
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"80");
}

TEST_F(DefaultKeypad, ClosingWhileAKeyIsHeldStopsTheTimerWithoutAClick) {
    type(u"3");
    press(u"button0");
    keypad.hide(Animate::Yes);
    EXPECT_FALSE(keypad.is_long_press_pending());
    EXPECT_EQ(scheduler.active_count(), 0);
    release(u"button0");
    EXPECT_EQ(listener.take(), (Events{"text:3", "text:", "closed"}));
}

TEST_F(DefaultKeypad, WithoutASchedulerAHeldKeyJustClicks) {
    keypad.set_scheduler(nullptr);
    press(u"button0");
    EXPECT_FALSE(keypad.is_long_press_pending());
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"0");
}

// Once with the real clock: the timer is armed for 0.7 s on the scheduler's
// hidden target and fires from the message loop.
TEST_F(DefaultKeypad, RealTimerFiresTheLongPressAfterItsTime) {
    const std::uint32_t start = platform::tick_count();
    press(u"button0");
    ASSERT_TRUE(pump_until([&] { return !keypad.text().empty(); }));
    const std::uint32_t waited = platform::tick_count() - start;
    EXPECT_GE(waited, 690u);
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"+");
    EXPECT_EQ(scheduler.active_count(), 0);
}

// --- Switching backspace and close ---------------------------------------------------

TEST_F(SwitchingKeypad, FirstDigitSwapsCloseForBackspaceAndDeletingTheLastSwapsBack) {
    EXPECT_TRUE(shown(u"button_close"));
    EXPECT_FALSE(shown(u"button_backspace"));
    type(u"4");
    EXPECT_FALSE(shown(u"button_close"));
    EXPECT_TRUE(shown(u"button_backspace"));
    type(u"2");
    tap(u"button_backspace");
    EXPECT_TRUE(shown(u"button_backspace"));
    tap(u"button_backspace");
    EXPECT_TRUE(keypad.text().empty());
    EXPECT_TRUE(shown(u"button_close"));
    EXPECT_FALSE(shown(u"button_backspace"));
    EXPECT_TRUE(keypad.is_open());
}

TEST_F(SwitchingKeypad, LongPressesSwapToo) {
    press(u"button0");
    fire_long_press(keypad);
    release(u"button0");
    EXPECT_EQ(keypad.text(), u"+");
    EXPECT_TRUE(shown(u"button_backspace"));

    type(u"123");
    press(u"button_backspace");
    fire_long_press(keypad);
    // The held backspace disappears under the finger; lifting it does nothing.
    release(u"button_backspace");
    EXPECT_TRUE(keypad.text().empty());
    EXPECT_TRUE(shown(u"button_close"));
    EXPECT_TRUE(keypad.is_open());
}

TEST_F(SwitchingKeypad, CloseAfterTypingShowsCloseAgainNextTime) {
    type(u"7");
    keypad.hide(Animate::No);
    keypad.show(CallButton::Hidden);
    EXPECT_TRUE(shown(u"button_close"));
    EXPECT_FALSE(shown(u"button_backspace"));
}
