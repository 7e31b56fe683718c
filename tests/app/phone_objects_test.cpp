// The contact and telephone objects as the start-up builds them: on a worker, then
// started on the UI thread; the emergency shortcut reaches the modem. Which modem the
// setting chooses is the end-to-end tests' (the simulator's socket, TCP).
#include "app/phone_objects.h"
#include "data/document.h"
#include "phone/call_log.h"
#include "phone/telephone.h"
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"
#include "shell_test_support.h"
#include <SDL_keycode.h>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
namespace telvara::test_support {
namespace {
using display::KeyAction;
using forms::Animate;
using forms::ShowMode;
class PhoneObjectsTest : public ApplicationTest {
  protected:
    // Real time: the modem runs on its own thread.
    bool pump_until(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (game().dispatch_pending() && std::chrono::steady_clock::now() < deadline)
            if (done())
                return true;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return false;
    }
    void press(std::initializer_list<std::int32_t> keys) {
        for (const std::int32_t key : keys) {
            game().inject_key(key, KeyAction::Press);
            game().inject_key(key, KeyAction::Release);
        }
    }
};
// Started twice, it changes nothing; taken down, the application tracks digits again.
TEST_F(PhoneObjectsTest, TalkAfterEmergencyDigitsDialsThroughTheModemNotTheForm) {
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
    {
        app::PhoneObjects objects;
        std::thread([&] {
            objects.create();
            objects.load();
        }).join();
        ASSERT_NE(objects.document(), nullptr);
        EXPECT_EQ(objects.document()->all_contacts().size(), 40u);
        EXPECT_EQ(objects.document()->recent_calls().size(), 12u) << "recents read at load";
        EXPECT_EQ(phone::Telephone::instance(), nullptr) << "not before the hand-over";
        objects.start(application());
        objects.start(application());
        EXPECT_EQ(phone::Telephone::instance(), objects.telephone());
        phone::Telephone& line = *objects.telephone();
        ASSERT_TRUE(pump_until([&] { return line.line_open(); }));
        press({SDLK_0, SDLK_1, SDLK_1, SDLK_2});
        game().inject_key(SDLK_F3, KeyAction::Press); // Talk
        ASSERT_TRUE(game().dispatch_pending());
        EXPECT_FALSE(game().is_idle());
        EXPECT_EQ(form.keys.size(), 8u) << "the digits reached the form, Talk did not";
        EXPECT_TRUE(application().typed_digits().empty()) << "the phone layer keeps them";
        platform::modem::ModemSimulator* simulator = line.modem()->simulator();
        ASSERT_NE(simulator, nullptr);
        ASSERT_TRUE(pump_until([&] {
            const auto calls = simulator->calls();
            return !calls.empty() && !calls.front().incoming && calls.front().number == "112";
        }));
        ASSERT_TRUE(pump_until([&] { return line.current_call() != 0; }));
        line.drop_call();
        ASSERT_TRUE(pump_until([&] { return line.current_call() == 0; }));
        EXPECT_EQ(objects.call_log()->entries().front().direction, phone::CallDirection::Outgoing);
    }
    EXPECT_EQ(phone::Telephone::instance(), nullptr);
    press({SDLK_1, SDLK_1, SDLK_2});
    ASSERT_TRUE(game().dispatch_pending());
    EXPECT_EQ(application().typed_digits(), u"112");
    application().close_form(form, Animate::No);
}
} // namespace
} // namespace telvara::test_support
