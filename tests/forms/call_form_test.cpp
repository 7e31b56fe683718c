// The call screen on the default skin, fed by refresh flags and by the modem simulator.
#include "forms/call_form.h"

#include "phone/phone_manager.h"
#include "phone/phone_test_support.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/registry.h"
#include "screen_test_support.h"
#include "ui/image_node.h"

namespace telvara::forms {
namespace {

using data::RefreshFlag;
using data::testing::person;
using data::testing::phone;
using phone::testing::pump_until;

// The default skin in English and a call screen bound to it.
class CallScreen {
  public:
    void make_form() {
        ASSERT_TRUE(test::install_default_skin(m_skin, m_impl));
        ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/english.lng"));
        m_form.emplace();
        m_form->bind(m_skin);
        m_form->fit_to_screen(240, 320);
    }
    CallForm& form() { return *m_form; }
    bool shown(WStringView name) {
        ui::Node* node = m_form->find(name);
        return node != nullptr && node->is_effectively_visible();
    }
    WString text(WStringView name) { return test::text_of(m_form->find(name)); }
    WString word(WStringView key) { return m_skin.translate(key); }
    void click(WStringView name) { test::click(m_form->find(name)); }
    // Which of answer, ignore and end show, as "AIE" with "-" for hidden.
    std::string buttons() {
        std::string out;
        for (const auto& [name, letter] :
             {std::pair{u"buttonAnswer", 'A'}, {u"buttonIgnore", 'I'}, {u"buttonEndCall", 'E'}})
            out += shown(name) ? letter : '-';
        return out;
    }
    // Which switches are on, as "MSH" (mute off shows "switchMute").
    std::string switches() {
        std::string out;
        for (const auto& [name, letter] :
             {std::pair{u"switchMute", 'M'}, {u"switchSpeaker", 'S'}, {u"switchHold", 'H'}})
            out += shown(name) ? letter : '-';
        return out;
    }
    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    test::StackHost m_host;
    // The program's clock: the running time moves only when the test says.
    platform::VirtualClock m_clock{1000};
    platform::ScopedVirtualClock m_clock_scope{m_clock};
    std::optional<CallForm> m_form;
};

// The screen fed with the telephone's refresh messages; a Telephone without a
// line holds the caller's number.
class CallFormTest : public data::testing::DocumentTest, protected CallScreen {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
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
    void send(RefreshFlag flag) { m_document->broadcast(data::RefreshMessage(flag)); }
    void ring(WStringView number) {
        send(RefreshFlag::IncomingCall);
        m_telephone->set_caller_number(number);
    }
    void update() { form().update(0.04); }
    data::testing::FakeStore m_store;
    std::optional<data::Document> m_document;
    std::unique_ptr<runtime::CActiveScheduler> m_scheduler;
    std::unique_ptr<phone::Telephone> m_telephone;
    Form m_main{u"Main"};
};

TEST_F(CallFormTest, UnknownHiddenAndCompanyCallersShowWhatIsKnown) {
    const auto& photo = [&]() -> const ui::Picture& {
        return dynamic_cast<ui::ImageNode&>(*form().find(u"photo")).picture();
    };
    const ui::Picture default_photo = photo();
    ASSERT_TRUE(default_photo.has_data());
    send(RefreshFlag::IncomingCall); // before the caller ID the placeholder is translated
    EXPECT_EQ(text(u"company"), word(u"skinUnknown"));
    EXPECT_EQ(text(u"firstname"), u"");
    m_telephone->set_caller_number(u"+1 555 0100");
    EXPECT_EQ(text(u"firstname"), u"Anna");
    // A caller that changes to a stranger loses the name again.
    m_telephone->set_caller_number(u"+49 30 987654");
    EXPECT_EQ(text(u"firstname"), u"");
    EXPECT_EQ(text(u"lastname"), u"");
    EXPECT_EQ(text(u"company"), u"+49 30 987654");
    EXPECT_EQ(photo().data, default_photo.data);
    m_telephone->set_caller_number(u"7771234");
    EXPECT_EQ(text(u"firstname"), u"Zeta Labs");
    EXPECT_EQ(text(u"lastname"), u"");
}

TEST_F(CallFormTest, AnsweringShowsEndAtOnceAndConnectedCountsTheTime) {
    ring(u"5550100");
    click(u"buttonAnswer");
    EXPECT_EQ(buttons(), "--E");
    EXPECT_EQ(text(u"txtStatus"), word(u"IncomingCall"));
    send(RefreshFlag::Connected);
    EXPECT_EQ(form().phase(), CallPhase::Connected);
    EXPECT_EQ(text(u"txtStatus"), word(u"Connected"));
    EXPECT_EQ(text(u"txtDuration"), u"0:00");
    EXPECT_EQ(text(u"firstname"), u"Anna");
    EXPECT_EQ(m_host.count(form()), 1u) << "not pushed again";
    m_clock.advance(65'400);
    update();
    EXPECT_EQ(text(u"txtDuration"), u"1:05");
    m_clock.advance(3600'000);
    update();
    EXPECT_EQ(text(u"txtDuration"), u"1:01:05");
    // A skin reload during the call shows the call again.
    form().bind(m_skin);
    EXPECT_EQ(text(u"firstname"), u"Anna");
    EXPECT_EQ(text(u"txtStatus"), word(u"Connected"));
    EXPECT_EQ(buttons(), "--E");
    send(RefreshFlag::CallEnded); // the far end hangs up
    EXPECT_FALSE(m_host.is_shown(form()));
    ring(u"5550100");
    send(RefreshFlag::Connected);
    EXPECT_EQ(buttons(), "--E") << "a call answered elsewhere still gets its end button";
}

// A real telephone on the modem simulator.
class CallFormLineTest : public phone::testing::TelephoneTest, protected CallScreen {
  protected:
    void SetUp() override {
        TelephoneTest::SetUp();
        if (HasFatalFailure())
            return;
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_document->contact_added(m_store.contacts.at(1));
        make_form();
    }
    void TearDown() override {
        m_form.reset();
        TelephoneTest::TearDown();
    }
    // Dials 777, which the far end answers.
    void connect(phone::PhoneManager& manager) {
        control("noanswer 777");
        manager.call_number(u"777");
        EXPECT_EQ(m_host.top_form(), &form()) << "at once, before the modem has the call";
        EXPECT_EQ(text(u"company"), u"777");
        ASSERT_TRUE(wait_flag(20, 2));
        control("answer");
        ASSERT_TRUE(wait_flag(21));
    }
};

TEST_F(CallFormLineTest, TogglesAndTonesReachTheLine) {
    phone::PhoneManager manager(m_telephone.get());
    connect(manager);
    EXPECT_EQ(text(u"txtDuration"), u"0:00");
    click(u"buttonMute");
    EXPECT_EQ(switches(), "---");
    ASSERT_TRUE(wait_received("AT+CMUT=1"));
    click(u"buttonSpeaker");
    click(u"buttonHold");
    EXPECT_EQ(switches(), "-SH");
    ASSERT_TRUE(wait_received("AT+CHLD=2"));
    click(u"buttonHold");
    EXPECT_EQ(switches(), "-S-");
    // The switches follow the line also when it changed without a tap.
    m_telephone->toggle_speaker();
    EXPECT_EQ(switches(), "-S-");
    form().update(0.04);
    EXPECT_EQ(switches(), "---");
    click(u"buttonKeyboard");
    ASSERT_TRUE(form().keyboard().is_open());
    click(u"button9");
    ASSERT_TRUE(wait_received("AT+VTS=9"));
    click(u"button_hash");
    ASSERT_TRUE(wait_received("AT+VTS=#"));
    EXPECT_EQ(text(u"text_button_call"), u"9#");
    // A star typed is a tone; a "+" is none.
    form().keyboard().set_text(u"9#*");
    ASSERT_TRUE(wait_received("AT+VTS=*"));
    form().keyboard().set_text(u"9#*+");
    // Closing clears the tones shown; reopening sends nothing again.
    click(u"button_close");
    click(u"buttonKeyboard");
    EXPECT_EQ(text(u"text_button_call"), u"");
    click(u"button5");
    ASSERT_TRUE(wait_received("AT+VTS=5"));
    phone::testing::pump_for(std::chrono::milliseconds(200));
    EXPECT_EQ(received_count("AT+VTS=5"), 1u);
    EXPECT_EQ(received_count("AT+VTS=9"), 1u);
    EXPECT_EQ(received_count("AT+VTS=+"), 0u);
    click(u"buttonEndCall");
    EXPECT_FALSE(m_host.is_shown(form()));
    ASSERT_TRUE(wait_flag(22));
    EXPECT_FALSE(m_host.is_shown(form()));
}

} // namespace
} // namespace telvara::forms
