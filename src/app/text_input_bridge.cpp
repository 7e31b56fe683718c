#include "app/text_input_bridge.h"

#include "app/application.h"

namespace telvara::app {

TextInputBridge::TextInputBridge(Application& application) : m_application(application) {
    ui::TextInputService::instance().set_backend(this);
}

TextInputBridge::~TextInputBridge() {
    ui::TextInputService::instance().set_backend(nullptr);
    if (m_application.text_focus() == this)
        m_application.set_text_focus(nullptr);
}

void TextInputBridge::start_text_input(const ui::Rect& area) {
    m_application.set_text_focus(this);
    m_application.game().set_text_input_area(area);
}

void TextInputBridge::update_text_input(const ui::Rect& area) {
    m_application.game().set_text_input_area(area);
}

void TextInputBridge::stop_text_input() {
    if (m_application.text_focus() == this)
        m_application.set_text_focus(nullptr);
}

void TextInputBridge::on_text_input(WStringView text) {
    ui::TextInputService::instance().on_text_input(text);
}

} // namespace telvara::app
