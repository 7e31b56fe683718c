// The panel for a message in words.
#include "forms/message_panel.h"

#include "forms/form_host.h"
#include "forms/required_node.h"
#include "ui/key_names.h"
#include "ui/properties.h"
#include "ui/text_node.h"

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"MessagePanel";
const WString kNoText;

} // namespace

MessagePanel::MessagePanel() : Form(kFormName) {}

MessagePanel::~MessagePanel() {
    close();
}

void MessagePanel::bind(const ui::Properties& skin) {
    close();
    m_title = m_text = nullptr;
    m_ok = nullptr;
    load_form(skin);
    auto& title = required<ui::TextNode>(*this, u"txtPanelTitle");
    auto& text = required<ui::TextNode>(*this, u"txtPanelText");
    auto& ok = required<ui::ButtonNode>(*this, u"buttonPanelOk");
    m_title = &title;
    m_text = &text;
    m_ok = &ok;
    m_ok->set_listener(this);
    m_skin = &skin;
}

void MessagePanel::show(WStringView title_key, WStringView text) {
    if (m_title == nullptr)
        return;
    m_title->set_text(m_skin->translate(title_key));
    m_text->set_text(WString(text));
    if (FormHost* host = form_host())
        host->show_form(*this, ShowMode::Push, is_open() ? Animate::No : Animate::Yes);
}

void MessagePanel::close() {
    if (FormHost* host = form_host(); host != nullptr && host->is_shown(*this))
        host->close_form(*this, Animate::Yes);
}

bool MessagePanel::is_open() const {
    const FormHost* host = form_host();
    return host != nullptr && host->is_shown(*this);
}

const WString& MessagePanel::title() const {
    return m_title != nullptr ? m_title->text() : kNoText;
}

const WString& MessagePanel::text() const {
    return m_text != nullptr ? m_text->text() : kNoText;
}

bool MessagePanel::on_key(const ui::KeyEvent& event) {
    if (event.pressed && (event.code == ui::key::Backspace || event.code == ui::key::Enter)) {
        close();
        return true;
    }
    return Form::on_key(event);
}

std::unique_ptr<FormTransition> MessagePanel::make_transition(TransitionKind) {
    return std::make_unique<FadeTransition>(0.15);
}

void MessagePanel::on_click(ui::ButtonNode&) {
    close();
}

} // namespace telvara::forms
