// The strip that leads back to a running call.
#include "forms/call_strip.h"

#include "forms/form_host.h"
#include "forms/required_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"CallStrip";
const WString kNoText;

} // namespace

CallStrip::CallStrip() : Form(kFormName) {}

CallStrip::~CallStrip() {
    hide();
}

void CallStrip::bind(const ui::Properties& skin) {
    hide();
    m_text = nullptr;
    m_button = nullptr;
    load_form(skin);
    auto& button = required<ui::ButtonNode>(*this, u"buttonCallStrip");
    m_text = &required<ui::TextNode>(*this, u"txtCallStrip");
    m_button = &button;
    m_button->set_listener(this);
    set_visible(false);
}

void CallStrip::show(const Form& owner, std::function<WString()> text,
                     std::function<void()> on_tap) {
    if (m_text == nullptr)
        return;
    m_source = std::move(text);
    m_on_tap = std::move(on_tap);
    if (m_source)
        m_text->set_text(m_source());
    set_visible(true);
    if (FormHost* host = form_host())
        host->set_overlay(OverlaySlot::CallStrip, this, &owner);
}

void CallStrip::hide() {
    m_source = nullptr;
    m_on_tap = nullptr;
    if (m_text != nullptr)
        set_visible(false);
    if (FormHost* host = form_host();
        host != nullptr && host->overlay(OverlaySlot::CallStrip) == this)
        host->set_overlay(OverlaySlot::CallStrip, nullptr);
}

const WString& CallStrip::text() const {
    return m_text != nullptr ? m_text->text() : kNoText;
}

void CallStrip::update(double seconds) {
    if (m_source && m_text != nullptr)
        m_text->set_text(m_source());
    Form::update(seconds);
}

void CallStrip::on_click(ui::ButtonNode&) {
    // The tap may end the strip (back on the call screen): run a copy.
    if (auto on_tap = m_on_tap)
        on_tap();
}

} // namespace telvara::forms
