// The SIM's code on the keypad against the modem simulator: tries, the PUK, a new PIN.
#include "forms/pin_form.h"

#include "../phone/phone_test_support.h"
#include "screen_test_support.h"

#include "ui/button_node.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

namespace telvara::forms {
namespace {

using phone::testing::pump_until;
namespace modem = platform::modem;

class PinFormTest : public phone::testing::TelephoneTest {
  protected:
    void SetUp() override {
        TelephoneTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(test::install_default_skin(m_skin, m_impl));
        ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/english.lng"));
        m_form.emplace();
        m_form->bind(m_skin);
        m_form->set_unlocked_listener([this](const WString& number) { m_unlocked = number; });
    }
    void TearDown() override {
        m_form.reset();
        TelephoneTest::TearDown();
    }
    void lock(const std::string& pin) {
        control("sim pin " + pin);
        ASSERT_TRUE(pump_until(
            [&] { return m_telephone->network().sim == modem::SimState::pin_required; }));
    }
    // Types the code on the keypad and taps OK; waits for the SIM's answer.
    void enter(const std::string& code) {
        for (char digit : code)
            click(u"button" + WString(1, char16_t(digit)));
        const std::uint64_t answers = m_telephone->pin_answers();
        click(u"button_call");
        // A PUK only moves on to the new PIN; a PIN is answered by the SIM.
        ASSERT_TRUE(pump_until([&] {
            m_form->on_line_changed();
            return m_telephone->pin_answers() > answers || m_form->step() == PinForm::Step::NewPin;
        }));
    }
    // The network's new state (the tries left) follows the SIM's answer.
    bool info_becomes(WStringView text) {
        return pump_until([&] {
            m_form->on_line_changed();
            return m_form->info() == text;
        });
    }
    void click(WStringView name) {
        auto* button = dynamic_cast<ui::ButtonNode*>(m_form->find(name));
        ASSERT_NE(button, nullptr) << to_utf8(name);
        button->listener()->on_click(*button);
    }
    WString title() { return dynamic_cast<ui::TextNode*>(m_form->find(u"txtPinTitle"))->text(); }
    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    test::StackHost m_host;
    std::optional<PinForm> m_form;
    WString m_unlocked;
};

TEST_F(PinFormTest, WrongCodesCountDownThenThePukSetsANewPinAndTheCallGoesOut) {
    lock("2468");
    m_form->show(u"+4930123");
    ASSERT_TRUE(m_form->is_open());
    EXPECT_EQ(title(), u"Enter SIM PIN");
    EXPECT_EQ(m_form->info(), u"3 tries left");
    for (char digit : std::string("12"))
        click(u"button" + WString(1, char16_t(digit)));
    EXPECT_EQ(dynamic_cast<ui::TextNode*>(m_form->find(u"text_button_call"))->text(),
              u"\u2022\u2022")
        << "dots, not digits";
    click(u"button_call");
    EXPECT_EQ(m_form->info(), u"Enter 4 to 8 digits") << "too short to send";
    click(u"button_backspace");
    click(u"button_backspace");
    enter("1111");
    EXPECT_TRUE(info_becomes(u"Wrong code, 2 tries left")) << to_utf8(m_form->info());
    enter("1112");
    enter("1113");
    ASSERT_TRUE(pump_until([&] {
        m_form->on_line_changed();
        return m_form->step() == PinForm::Step::Puk;
    }));
    EXPECT_EQ(title(), u"Enter the PUK");
    enter("12345678");
    EXPECT_EQ(m_form->step(), PinForm::Step::NewPin);
    EXPECT_EQ(title(), u"Choose a new PIN");
    enter("4321");
    ASSERT_TRUE(pump_until([&] {
        m_form->on_line_changed();
        return !m_form->is_open();
    }));
    EXPECT_EQ(m_unlocked, u"+4930123") << "the call the lock held back";
    EXPECT_TRUE(pump_until([&] { return m_telephone->network().sim == modem::SimState::ready; }));
}

} // namespace
} // namespace telvara::forms
