// The SIM's PIN (and PUK) entry.
#include "forms/pin_form.h"

#include "forms/form_host.h"
#include "forms/required_node.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/key_names.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <algorithm>
#include <utility>

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"PinForm";
constexpr std::size_t kMaxDigits = 8;
constexpr std::size_t kMinPinDigits = 4;
constexpr std::size_t kPukDigits = 8;
// The SIM's answer to a wrong code.
constexpr int kWrongCode = 16;
const WString kNoText;

namespace modem = platform::modem;

phone::Telephone* telephone() {
    return phone::Telephone::instance();
}

// Never the code itself: only what happened.
void log_step(WStringView what) {
    runtime::log() << platform::tick_count() << u" PinForm: " << what << u"\n";
}

} // namespace

PinForm::PinForm() : Form(kFormName) {}

PinForm::~PinForm() {
    close();
}

void PinForm::bind(const ui::Properties& skin) {
    close();
    m_keyboard.unbind();
    m_title = m_info = nullptr;
    m_skin = nullptr;
    load_form(skin);
    auto& title = required<ui::TextNode>(*this, u"txtPinTitle");
    auto& info = required<ui::TextNode>(*this, u"txtPinInfo");
    m_keyboard.bind(*this, *this, &skin);
    m_keyboard.set_masked(true);
    // Cancel and backspace both have their own key here.
    if (ui::Node* backspace = m_keyboard.root()->find(u"button_backspace"))
        backspace->set_visible(true);
    m_title = &title;
    m_info = &info;
    m_skin = &skin;
}

void PinForm::set_scheduler(runtime::CActiveScheduler* scheduler) {
    m_keyboard.set_scheduler(scheduler);
}

WString PinForm::translate(WStringView key) const {
    return m_skin != nullptr ? m_skin->translate(key) : WString(key);
}

bool PinForm::is_open() const {
    const FormHost* host = form_host();
    return host != nullptr && host->is_shown(*this);
}

const WString& PinForm::info() const {
    return m_info != nullptr ? m_info->text() : kNoText;
}

void PinForm::show(WStringView pending_number) {
    phone::Telephone* line = telephone();
    if (m_title == nullptr || line == nullptr)
        return;
    const modem::SimState sim = line->network().sim;
    if (sim != modem::SimState::pin_required && sim != modem::SimState::puk_required)
        return;
    if (!pending_number.empty())
        m_pending_number.assign(pending_number);
    m_dismissed = false;
    if (is_open())
        return;
    m_step = sim == modem::SimState::puk_required ? Step::Puk : Step::Pin;
    m_puk.clear();
    m_waiting = false;
    m_refused = false;
    m_answers_seen = line->pin_answers();
    m_keyboard.set_text({});
    m_keyboard.show(CallButton::Shown);
    show_step();
    log_step(m_step == Step::Pin ? u"asks for the PIN" : u"asks for the PUK");
    if (FormHost* host = form_host())
        host->show_form(*this, ShowMode::Push, Animate::Yes);
}

void PinForm::close() {
    m_puk.clear();
    m_waiting = false;
    if (FormHost* host = form_host(); host != nullptr && host->is_shown(*this))
        host->close_form(*this, Animate::Yes);
}

void PinForm::show_step() {
    if (m_title == nullptr)
        return;
    switch (m_step) {
    case Step::Pin:
        m_title->set_text(translate(u"skinEnterPin"));
        break;
    case Step::Puk:
        m_title->set_text(translate(u"skinEnterPuk"));
        break;
    case Step::NewPin:
        m_title->set_text(translate(u"skinEnterNewPin"));
        break;
    }
    const phone::Telephone* line = telephone();
    const int retries =
        line != nullptr && m_step != Step::NewPin ? line->network().pin_retries : -1;
    set_info(retries >= 0 ? u"skinPinTries" : u"", retries);
}

void PinForm::set_info(WStringView key, int retries) {
    if (m_info == nullptr)
        return;
    WString text = key.empty() ? WString() : translate(key);
    if (const auto at = text.find(u"%1"); at != WString::npos)
        text.replace(at, 2, to_wstring(static_cast<std::uint32_t>(std::max(retries, 0))));
    m_info->set_text(std::move(text));
}

void PinForm::show_refusal() {
    const phone::Telephone* line = telephone();
    const int retries = line != nullptr ? line->network().pin_retries : -1;
    const bool wrong = line != nullptr && line->pin_result() == kWrongCode;
    set_info(wrong && retries >= 0 ? u"skinPinWrong" : u"skinPinWrongNoCount", retries);
}

void PinForm::on_keyboard_text(const WString& text) {
    // Codes are digits only (the keypad's long presses type more), and at
    // most eight of them.
    WString digits;
    for (char16_t c : text)
        if (c >= u'0' && c <= u'9' && digits.size() < kMaxDigits)
            digits.push_back(c);
    if (digits != text)
        m_keyboard.set_text(std::move(digits));
}

void PinForm::on_keyboard_closed() {
    if (!is_open())
        return;
    log_step(u"turned away");
    m_dismissed = true;
    m_pending_number.clear();
    close();
}

void PinForm::on_keyboard_call(const WString& text) {
    phone::Telephone* line = telephone();
    if (line == nullptr || m_waiting)
        return;
    switch (m_step) {
    case Step::Pin:
    case Step::NewPin:
        if (text.size() < kMinPinDigits) {
            set_info(u"skinPinTooShort");
            return;
        }
        if (m_step == Step::Pin ? !line->enter_pin(text) : !line->enter_puk(m_puk, text)) {
            set_info(u"skinPinTooShort");
            return;
        }
        log_step(m_step == Step::Pin ? u"PIN sent" : u"PUK and new PIN sent");
        m_puk.clear();
        m_waiting = true;
        m_refused = false;
        m_keyboard.set_text({});
        set_info(u"skinPinChecking");
        return;
    case Step::Puk:
        if (text.size() != kPukDigits) {
            set_info(u"skinPukTooShort");
            return;
        }
        m_puk = text;
        m_step = Step::NewPin;
        m_keyboard.set_text({});
        show_step();
        return;
    }
}

void PinForm::on_line_changed() {
    const phone::Telephone* line = telephone();
    if (line == nullptr || !is_open())
        return;
    const modem::SimState sim = line->network().sim;
    if (m_waiting && line->pin_answers() != m_answers_seen) {
        m_answers_seen = line->pin_answers();
        m_waiting = false;
        if (line->pin_result() == 0) {
            log_step(u"code taken");
            const WString number = std::exchange(m_pending_number, {});
            close();
            if (m_unlocked && !number.empty())
                m_unlocked(number);
            return;
        }
        log_step(u"code refused");
        if (m_step == Step::NewPin)
            m_step = Step::Puk;
        show_step();
        m_refused = true;
        show_refusal();
        return;
    }
    if (m_waiting)
        return;
    // The tries left follow the refusal.
    if (m_refused && sim != modem::SimState::puk_required)
        show_refusal();
    if (sim == modem::SimState::puk_required && m_step == Step::Pin) {
        m_step = Step::Puk;
        m_refused = false;
        show_step();
        set_info(u"skinPinBlocked");
    } else if (sim == modem::SimState::ready) {
        // Unlocked some other way.
        close();
    }
}

bool PinForm::on_key(const ui::KeyEvent& event) {
    if (event.pressed && event.code == ui::key::Enter) {
        on_keyboard_call(m_keyboard.text());
        return true;
    }
    // Back (or Escape) with nothing typed turns the form away.
    if (event.pressed && event.code == ui::key::Backspace && m_keyboard.text().empty()) {
        on_keyboard_closed();
        return true;
    }
    return Form::on_key(event);
}

} // namespace telvara::forms
