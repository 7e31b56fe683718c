// The call screen on the shipped default skin: the telephone's refresh flags
// put it on the form stack and take it off, the caller is found by the last
// seven digits, answer/ignore/end follow the call, the running time counts,
// and on the modem simulator the toggles and tones reach the line.
#include "form_stack_host.h"
#include "forms/call_form.h"
#include "platform/clock.h"

#include "data/document_test_support.h"
#include "forms/form_host.h"
#include "forms/skin_types.h"
#include "phone/phone_manager.h"
#include "phone/phone_test_support.h"
#include "phone/telephone.h"
#include "runtime/registry.h"
#include "ui/button_node.h"
#include "ui/image_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace telvara::forms {
namespace {

using data::RefreshFlag;
using data::RefreshMessage;
using data::testing::person;
using data::testing::phone;

// Loads the compiled default skin and binds a call screen to it.
class CallScreen {
  public:
    void load_skin() {
        ASSERT_TRUE(forms::test::install_default_skin(m_skin, m_impl));
        // The texts as a user reads them (those with a place for a name too).
        ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/english.lng"));
    }
    void make_form() {
        m_form.emplace();
        m_form->bind(m_skin);
        m_form->fit_to_screen(240, 320);
    }

    CallForm& form() { return *m_form; }
    bool shown(WStringView name) {
        ui::Node* node = m_form->find(name);
        return node != nullptr && node->is_effectively_visible();
    }
    WString text(WStringView name) {
        auto* node = dynamic_cast<ui::TextNode*>(m_form->find(name));
        return node != nullptr ? node->text() : u"<missing>";
    }
    // A click as the button reports it.
    void click(WStringView name) {
        auto* button = dynamic_cast<ui::ButtonNode*>(m_form->find(name));
        ASSERT_NE(button, nullptr) << to_utf8(name);
        ASSERT_NE(button->listener(), nullptr) << to_utf8(name);
        button->listener()->on_click(*button);
    }
    const ui::Picture& photo() {
        return dynamic_cast<ui::ImageNode&>(*m_form->find(u"photo")).picture();
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    test::StackHost m_host;
    // The program's clock: the running time moves only when the test says.
    platform::VirtualClock m_clock{1000};
    platform::ScopedVirtualClock m_clock_scope{m_clock};
    std::optional<CallForm> m_form;
};

// The screen fed with the telephone's refresh messages, a Telephone without
// a line holding the caller's number.
class CallFormTest : public data::testing::DocumentTest, protected CallScreen {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        load_skin();
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(
            person(3, u"", u"", u"Zeta Labs", {phone(data::FieldType::BusinessTel, u"777 1234")}));
        m_document.emplace(m_store, nullptr, files());
        m_document->load();
        m_scheduler = std::make_unique<runtime::CActiveScheduler>(u"CallFormTest");
        m_telephone = std::make_unique<phone::Telephone>(*m_document, *m_scheduler, nullptr);
        make_form();
        m_host.stack.push_back(&m_main); // the main screen below
    }
    void TearDown() override {
        m_form.reset();
        m_telephone.reset();
        m_scheduler.reset();
        m_document.reset();
        DocumentTest::TearDown();
    }

    void send(RefreshFlag flag) { m_document->broadcast(RefreshMessage(flag)); }
    void ring(WStringView number) {
        send(RefreshFlag::IncomingCall);
        m_telephone->set_caller_number(number);
    }

    data::testing::FakeStore m_store;
    std::optional<data::Document> m_document;
    std::unique_ptr<runtime::CActiveScheduler> m_scheduler;
    std::unique_ptr<phone::Telephone> m_telephone;
    Form m_main{u"Main"};
};

TEST_F(CallFormTest, IncomingCallFromAKnownNumberShowsTheContact) {
    EXPECT_FALSE(m_host.is_shown(form()));
    // Another country prefix and other spacing, the same last seven digits.
    ring(u"+44 (555) 01-00");
    EXPECT_EQ(m_host.top_form(), &form());
    EXPECT_EQ(form().phase(), CallPhase::Incoming);
    EXPECT_TRUE(shown(u"buttonAnswer"));
    EXPECT_TRUE(shown(u"buttonIgnore"));
    EXPECT_FALSE(shown(u"buttonEndCall"));
    EXPECT_EQ(text(u"firstname"), u"Anna");
    EXPECT_EQ(text(u"lastname"), u"Berg");
    EXPECT_EQ(text(u"company"), u"+44 (555) 01-00");
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"IncomingCall"));
    EXPECT_EQ(text(u"txtDuration"), u"");
    // A new call starts with the microphone on, the earpiece and no hold.
    EXPECT_TRUE(shown(u"switchMute"));
    EXPECT_FALSE(shown(u"switchSpeaker"));
    EXPECT_FALSE(shown(u"switchHold"));
}

TEST_F(CallFormTest, UnknownAndHiddenNumbersShowNoNameAndTheDefaultPhoto) {
    const ui::Picture default_photo = photo();
    ASSERT_TRUE(default_photo.has_data());
    // Before the caller ID arrives the telephone's placeholder is translated.
    send(RefreshFlag::IncomingCall);
    EXPECT_EQ(text(u"company"), m_skin.translate(u"skinUnknown"));
    EXPECT_EQ(text(u"firstname"), u"");

    m_telephone->set_caller_number(u"+1 555 0100");
    EXPECT_EQ(text(u"firstname"), u"Anna");
    // A caller that changes to a stranger loses the name again.
    m_telephone->set_caller_number(u"+49 30 987654");
    EXPECT_EQ(text(u"firstname"), u"");
    EXPECT_EQ(text(u"lastname"), u"");
    EXPECT_EQ(text(u"company"), u"+49 30 987654");
    EXPECT_EQ(photo().data, default_photo.data);
}

TEST_F(CallFormTest, ACompanyOnlyContactShowsItsCompanyAsTheName) {
    ring(u"7771234");
    EXPECT_EQ(text(u"firstname"), u"Zeta Labs");
    EXPECT_EQ(text(u"lastname"), u"");
}

TEST_F(CallFormTest, AnsweringShowsEndAtOnceAndConnectedCountsTheTime) {
    ring(u"5550100");
    click(u"buttonAnswer");
    EXPECT_FALSE(shown(u"buttonAnswer"));
    EXPECT_FALSE(shown(u"buttonIgnore"));
    EXPECT_TRUE(shown(u"buttonEndCall"));
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"IncomingCall"));

    send(RefreshFlag::Connected);
    EXPECT_EQ(form().phase(), CallPhase::Connected);
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"Connected"));
    EXPECT_EQ(text(u"txtDuration"), u"0:00");
    // The name stays and the screen is not pushed again.
    EXPECT_EQ(text(u"firstname"), u"Anna");
    EXPECT_EQ(m_host.count(form()), 1u);

    m_clock.advance(65'400);
    form().update(0.04);
    EXPECT_EQ(text(u"txtDuration"), u"1:05");
    m_clock.advance(3600'000);
    form().update(0.04);
    EXPECT_EQ(text(u"txtDuration"), u"1:01:05");
}

TEST_F(CallFormTest, ACallAnsweredElsewhereStillGetsItsEndButton) {
    ring(u"5550100");
    send(RefreshFlag::Connected);
    EXPECT_FALSE(shown(u"buttonAnswer"));
    EXPECT_FALSE(shown(u"buttonIgnore"));
    EXPECT_TRUE(shown(u"buttonEndCall"));
}

TEST_F(CallFormTest, DialingAgainLeavesOneCopyOnTop) {
    m_telephone->set_caller_number(u"+1 555 0100");
    send(RefreshFlag::Dialing);
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"Dialing"));
    EXPECT_TRUE(shown(u"buttonEndCall"));
    EXPECT_FALSE(shown(u"buttonAnswer"));
    EXPECT_EQ(text(u"firstname"), u"Anna");

    Form other{u"Other"};
    m_host.stack.push_back(&other);
    send(RefreshFlag::Dialing);
    send(RefreshFlag::Dialing);
    EXPECT_EQ(m_host.top_form(), &form());
    EXPECT_EQ(m_host.count(form()), 1u);
    EXPECT_EQ(m_host.stack.size(), 3u);
    m_host.close_form(other, Animate::No);
}

TEST_F(CallFormTest, TheEndOfTheCallTakesTheScreenOff) {
    ring(u"5550100");
    send(RefreshFlag::Connected);
    click(u"buttonKeyboard");
    EXPECT_TRUE(form().keyboard().is_open());
    send(RefreshFlag::CallEnded);
    EXPECT_FALSE(m_host.is_shown(form()));
    EXPECT_FALSE(form().in_call());
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_EQ(m_host.top_form(), &m_main);
    // An end that comes after the screen went away changes nothing.
    send(RefreshFlag::CallEnded);
    EXPECT_EQ(m_host.stack.size(), 1u);
}

TEST_F(CallFormTest, IgnoreAndEndCloseTheScreenAtOnce) {
    ring(u"5550100");
    click(u"buttonIgnore");
    EXPECT_FALSE(m_host.is_shown(form()));
    EXPECT_FALSE(form().in_call());

    ring(u"5550100");
    send(RefreshFlag::Connected);
    click(u"buttonEndCall");
    EXPECT_FALSE(m_host.is_shown(form()));
}

TEST_F(CallFormTest, ContactsLeavesTheCallAndBackToCallReturnsToIt) {
    // Nothing to go back to without a call.
    form().back_to_call();
    EXPECT_FALSE(m_host.is_shown(form()));

    ring(u"5550100");
    send(RefreshFlag::Connected);
    click(u"buttonKeyboard");
    click(u"buttonContacts");
    EXPECT_FALSE(m_host.is_shown(form()));
    EXPECT_TRUE(form().in_call());

    m_clock.advance(5'000);
    form().back_to_call();
    EXPECT_EQ(m_host.top_form(), &form());
    EXPECT_EQ(m_host.count(form()), 1u);
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_EQ(text(u"txtDuration"), u"0:05");
}

TEST_F(CallFormTest, WithoutALineTheTogglesStayOff) {
    ring(u"5550100");
    click(u"buttonMute");
    click(u"buttonSpeaker");
    click(u"buttonHold");
    EXPECT_TRUE(shown(u"switchMute"));
    EXPECT_FALSE(shown(u"switchSpeaker"));
    EXPECT_FALSE(shown(u"switchHold"));
}

TEST_F(CallFormTest, ASkinReloadDuringACallShowsTheCallAgain) {
    ring(u"5550100");
    click(u"buttonAnswer");
    send(RefreshFlag::Connected);
    form().bind(m_skin);
    EXPECT_EQ(text(u"firstname"), u"Anna");
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"Connected"));
    EXPECT_TRUE(shown(u"buttonEndCall"));
    EXPECT_FALSE(shown(u"buttonAnswer"));
}

TEST_F(CallFormTest, NotesStartsTheConfiguredProgram) {
    const std::string marker = root() + "/notes-started";
    runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"NotesCommand",
                              from_utf8("touch " + marker));
    click(u"buttonNote");
    ASSERT_TRUE(phone::testing::pump_until([&] { return std::filesystem::exists(marker); }));
    // A program that cannot start changes nothing on the screen.
    runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"NotesCommand",
                              u"/nonexistent/notes");
    ring(u"5550100");
    click(u"buttonNote");
    EXPECT_EQ(m_host.top_form(), &form());
}

// A real telephone on the modem simulator.
class CallFormLineTest : public phone::testing::TelephoneTest, protected CallScreen {
  protected:
    void SetUp() override {
        TelephoneTest::SetUp();
        if (HasFatalFailure())
            return;
        load_skin();
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_document->contact_added(m_store.contacts.at(1));
        make_form();
    }
    void TearDown() override {
        m_form.reset();
        TelephoneTest::TearDown();
    }
};

TEST_F(CallFormLineTest, TogglesAndTonesReachTheLine) {
    control("noanswer 777");
    phone::PhoneManager manager(m_telephone.get());
    manager.call_number(u"777");
    // The screen shows at once; the far end can answer once the modem has the call.
    EXPECT_EQ(m_host.top_form(), &form());
    EXPECT_EQ(text(u"company"), u"777");
    ASSERT_TRUE(wait_flag(20, 2));
    control("answer");
    ASSERT_TRUE(wait_flag(21));
    EXPECT_EQ(text(u"txtDuration"), u"0:00");

    click(u"buttonMute");
    EXPECT_FALSE(shown(u"switchMute"));
    ASSERT_TRUE(wait_received("AT+CMUT=1"));
    click(u"buttonSpeaker");
    EXPECT_TRUE(shown(u"switchSpeaker"));
    click(u"buttonHold");
    EXPECT_TRUE(shown(u"switchHold"));
    ASSERT_TRUE(wait_received("AT+CHLD=2"));
    click(u"buttonHold");
    EXPECT_FALSE(shown(u"switchHold"));

    click(u"buttonKeyboard");
    ASSERT_TRUE(form().keyboard().is_open());
    click(u"button5");
    ASSERT_TRUE(wait_received("AT+VTS=5"));
    click(u"button_hash");
    ASSERT_TRUE(wait_received("AT+VTS=#"));
    EXPECT_EQ(text(u"text_button_call"), u"5#");
    // Closing clears the tones shown; reopening sends nothing again.
    click(u"button_close");
    click(u"buttonKeyboard");
    EXPECT_EQ(text(u"text_button_call"), u"");
    click(u"button5");
    ASSERT_TRUE(wait_received("AT+VTS=5", 2));
    phone::testing::pump_for(std::chrono::milliseconds(200));
    EXPECT_EQ(received_count("AT+VTS=5"), 2u);

    click(u"buttonEndCall");
    EXPECT_FALSE(m_host.is_shown(form()));
    ASSERT_TRUE(wait_flag(22));
    EXPECT_FALSE(m_host.is_shown(form()));
}

// The switches show what the line says, also when it changed without a tap
// (a toggle the modem refused is taken back).
TEST_F(CallFormLineTest, TheSwitchesFollowTheLine) {
    control("noanswer 777");
    phone::PhoneManager manager(m_telephone.get());
    manager.call_number(u"777");
    ASSERT_TRUE(wait_flag(20, 2));
    control("answer");
    ASSERT_TRUE(wait_flag(21));
    m_telephone->toggle_speaker();
    EXPECT_FALSE(shown(u"switchSpeaker"));
    form().update(0.04);
    EXPECT_TRUE(shown(u"switchSpeaker"));
    click(u"buttonEndCall");
    ASSERT_TRUE(wait_flag(22));
}

TEST_F(CallFormLineTest, RingingCallIsAnsweredFromTheScreen) {
    control("ring +445550100");
    ASSERT_TRUE(wait_flag(23));
    EXPECT_EQ(m_host.top_form(), &form());
    EXPECT_EQ(text(u"firstname"), u"Anna");
    click(u"buttonAnswer");
    EXPECT_TRUE(shown(u"buttonEndCall"));
    ASSERT_TRUE(wait_flag(21));
    EXPECT_GE(received_count("ATA"), 1u);
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"Connected"));
    control("hangup");
    ASSERT_TRUE(wait_flag(22));
    EXPECT_FALSE(m_host.is_shown(form()));
}

TEST_F(CallFormLineTest, ACallThatCannotBeMadeSaysWhyForAMomentThenCloses) {
    control("busy 777");
    phone::PhoneManager manager(m_telephone.get());
    manager.call_number(u"777");
    EXPECT_EQ(m_host.top_form(), &form()) << "at once, before the modem answers";
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"Dialing"));
    ASSERT_TRUE(wait_flag(22));
    EXPECT_EQ(form().phase(), CallPhase::Ended);
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"skinBusy"));
    EXPECT_FALSE(form().in_call());
    m_clock.advance(CallForm::kEndedShownMs - 1);
    form().update(0.04);
    EXPECT_TRUE(m_host.is_shown(form()));
    m_clock.advance(1);
    form().update(0.04);
    EXPECT_FALSE(m_host.is_shown(form())) << "gone on its own";

    // A number the line refuses: the same, and End closes it at once.
    manager.call_number(u"12;3");
    EXPECT_EQ(text(u"txtStatus"), m_skin.translate(u"skinNumberNotValid"));
    click(u"buttonEndCall");
    EXPECT_FALSE(m_host.is_shown(form()));
    EXPECT_EQ(received_count("ATD12;3;"), 0u);
}

TEST_F(CallFormLineTest, ASecondCallKnocksIsTakenAndTheHeldOneCanBeSwappedBack) {
    control("ring +1 555 0100");
    ASSERT_TRUE(wait_flag(23));
    click(u"buttonAnswer");
    ASSERT_TRUE(wait_flag(21));
    EXPECT_FALSE(shown(u"waiting_panel"));
    EXPECT_FALSE(shown(u"held_row"));
    control("ring 0301234 Otto Lind");
    ASSERT_TRUE(phone::testing::pump_until(
        [&] { return shown(u"waiting_panel") && text(u"txtWaitingCaller") == u"Otto Lind"; }));
    click(u"buttonHoldAnswer");
    ASSERT_TRUE(phone::testing::pump_until([&] { return shown(u"held_row"); }));
    EXPECT_FALSE(shown(u"waiting_panel"));
    EXPECT_EQ(text(u"firstname"), u"Otto Lind") << "the network's name for a stranger";
    EXPECT_EQ(text(u"txtHeldCaller"), u"On hold: Anna Berg") << "a contact by its name";
    EXPECT_TRUE(shown(u"buttonJoin"));
    click(u"buttonSwap");
    ASSERT_TRUE(phone::testing::pump_until([&] { return text(u"firstname") == u"Anna"; }));
    EXPECT_EQ(text(u"txtHeldCaller"), u"On hold: Otto Lind");
    // End ends this one only; the held call comes back on the screen.
    click(u"buttonEndCall");
    ASSERT_TRUE(phone::testing::pump_until([&] { return !shown(u"held_row"); }));
    EXPECT_TRUE(m_host.is_shown(form()));
    EXPECT_EQ(text(u"firstname"), u"Otto Lind");
}

TEST_F(CallFormLineTest, TheStripFollowsTheCallOverOtherScreensAndLeadsBack) {
    control("ring +1 555 0100");
    ASSERT_TRUE(wait_flag(23));
    click(u"buttonAnswer");
    ASSERT_TRUE(wait_flag(21));
    const forms::Form* strip = m_host.overlay(OverlaySlot::CallStrip);
    ASSERT_EQ(strip, &form().strip());
    EXPECT_EQ(m_host.owners[0], &form()) << "not over the call screen itself";
    m_clock.advance(7'000);
    form().strip().update(0.04);
    EXPECT_EQ(form().strip().text(), u"Anna Berg  \u00B7  0:07");
    click(u"buttonContacts");
    EXPECT_FALSE(m_host.is_shown(form()));
    auto* strip_button = dynamic_cast<ui::ButtonNode*>(form().strip().find(u"buttonCallStrip"));
    ASSERT_NE(strip_button, nullptr);
    strip_button->listener()->on_click(*strip_button);
    EXPECT_EQ(m_host.top_form(), &form()) << "back to the call";
    control("hangup");
    ASSERT_TRUE(wait_flag(22));
    EXPECT_EQ(m_host.overlay(OverlaySlot::CallStrip), nullptr);
}

} // namespace
} // namespace telvara::forms
