#include "forms/tab_button.h"

#include "forms/required_node.h"
#include "ui/button_node.h"
#include "ui/node.h"
#include "ui/vadode.h"

namespace telvara::forms {

void TabButton::bind(ui::Node& host, WStringView name, ui::ButtonListener& listener) {
    m_button = &required<ui::ButtonNode>(host, name);
    m_button->set_listener(&listener);
    static constexpr const char16_t* kLooks[] = {u"state0", u"state1", u"state2"};
    for (std::size_t i = 0; i < m_looks.size(); ++i)
        m_looks[i] = m_button->find(kLooks[i]);
    show_state();
}

void TabButton::set_state(int state) {
    m_state = state >= 0 && state <= 2 ? state : 0;
    show_state();
}

void TabButton::show_state() {
    ui::Node* wanted = m_looks[static_cast<std::size_t>(m_state)];
    for (ui::Node* look : m_looks)
        if (look != nullptr)
            look->set_visible(look == wanted);
}

} // namespace telvara::forms
