// The contact and telephone objects as the start-up builds them: on a worker,
// then started on the UI thread; the emergency shortcut reaches the modem.
#include "shell_test_support.h"

#include "app/phone_objects.h"
#include "data/contact_photo.h"
#include "data/document.h"
#include "phone/call_log.h"
#include "phone/telephone.h"
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"
#include "platform/runtime_names.h"

#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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
        while (std::chrono::steady_clock::now() < deadline) {
            if (!game().dispatch_pending())
                return false;
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    void press(std::int32_t key) {
        game().inject_key(key, KeyAction::Press);
        game().inject_key(key, KeyAction::Release);
    }
    void build(app::PhoneObjects& objects) {
        // As the splash's worker does.
        std::thread worker([&] {
            objects.create();
            objects.load();
        });
        worker.join();
    }
};

TEST_F(PhoneObjectsTest, WorkerBuildsTheDemoPhoneAndTheUiThreadOpensTheLine) {
    app::PhoneObjects objects;
    build(objects);
    ASSERT_NE(objects.document(), nullptr);
    EXPECT_EQ(objects.document()->all_contacts().size(), 40u);
    EXPECT_EQ(objects.document()->recent_calls().size(), 12u) << "recents read at load";
    EXPECT_EQ(phone::Telephone::instance(), nullptr) << "not before the hand-over";
    objects.start(application());
    EXPECT_EQ(phone::Telephone::instance(), objects.telephone());
    objects.start(application()); // a second start changes nothing
    ASSERT_TRUE(pump_until([&] { return objects.telephone()->line_open(); }));
}

TEST_F(PhoneObjectsTest, TalkAfterEmergencyDigitsDialsThroughTheModemNotTheForm) {
    ProbeForm form;
    application().show_form(form, ShowMode::Push, Animate::No);
    {
        app::PhoneObjects objects;
        build(objects);
        objects.start(application());
        phone::Telephone& line = *objects.telephone();
        ASSERT_TRUE(pump_until([&] { return line.line_open(); }));
        for (auto key : {SDLK_0, SDLK_1, SDLK_1, SDLK_2})
            press(key);
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
    // Taken down: no telephone, and the application tracks digits itself again.
    EXPECT_EQ(phone::Telephone::instance(), nullptr);
    for (auto key : {SDLK_1, SDLK_1, SDLK_2})
        press(key);
    ASSERT_TRUE(game().dispatch_pending());
    EXPECT_EQ(application().typed_digits(), u"112");
    application().close_form(form, Animate::No);
}

TEST_F(PhoneObjectsTest, TheModemSettingChoosesTheModemAndOnlyTheSimulatorGetsASocket) {
    const app::PhoneObjects none; // building nothing is fine to take down
    platform::modem::ModemConfig sim = app::modem_config_for(root());
    EXPECT_EQ(sim.device, "sim");
    EXPECT_EQ(sim.sim_control_socket, platform::sim_control_socket_for(root()));
    EXPECT_NE(app::modem_config_for(root() + "/other").sim_control_socket, sim.sim_control_socket);
    runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"Modem",
                              u"tcp:127.0.0.1:7");
    const platform::modem::ModemConfig tcp = app::modem_config_for(root());
    EXPECT_EQ(tcp.device, "tcp:127.0.0.1:7");
    EXPECT_TRUE(tcp.sim_control_socket.empty());
}

TEST(PhotoCacheInvalidation, ForgetsExactlyTheContactTheDocumentReports) {
    int loads = 0;
    data::ContactPhotoCache cache([&](std::uint32_t) {
        ++loads;
        return std::vector<std::byte>{};
    });
    app::PhotoCacheInvalidation listener(cache);
    const auto message = [](data::RefreshFlag flag, std::uint32_t oid) {
        return data::RefreshMessage(flag).set(data::RefreshSlot::ContactOid, oid);
    };
    cache.get(7, 32);
    cache.get(8, 32);
    ASSERT_EQ(loads, 2);
    cache.get(7, 32);
    EXPECT_EQ(loads, 2) << "cached, even without a photo";
    listener.on_document_refresh(message(data::RefreshFlag::AllStayed, 7));
    listener.on_document_refresh(message(data::RefreshFlag::ContactChanged, 9));
    cache.get(7, 32);
    EXPECT_EQ(loads, 2) << "list moves and other contacts leave it alone";
    listener.on_document_refresh(message(data::RefreshFlag::ContactChanged, 7));
    cache.get(7, 32);
    cache.get(8, 32);
    EXPECT_EQ(loads, 3);
    listener.on_document_refresh(message(data::RefreshFlag::ContactRemoved, 8));
    cache.get(8, 32);
    EXPECT_EQ(loads, 4);
    listener.on_document_refresh(message(data::RefreshFlag::ContactAdded, 7));
    cache.get(7, 32);
    EXPECT_EQ(loads, 5);
}

} // namespace
} // namespace telvara::test_support
