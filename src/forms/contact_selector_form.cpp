// The contact picker: binding, its buttons and its keypad.
#include "forms/contact_selector_form.h"

#include "forms/required_node.h"

#include "data/document.h"
#include "forms/form_host.h"
#include "ui/properties.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"ContactSelectorForm";
// The menu item that opens the picker names what it is for.
constexpr char16_t kTitleKey[] = u"Add2Existing";

} // namespace

ContactSelectorForm::ContactSelectorForm() : Form(kFormName) {}

ContactSelectorForm::~ContactSelectorForm() = default;

void ContactSelectorForm::bind(const ui::Properties& skin, ContactListListener& listener) {
    // The old tree goes away with the load: forget what pointed into it.
    m_keyboard.unbind();
    m_cancel = nullptr;
    m_open_keyboard = nullptr;
    m_ruler = nullptr;
    load_form(skin);
    m_cancel = &required<ui::ButtonNode>(*this, u"cancel");
    m_open_keyboard = &required<ui::ButtonNode>(*this, u"open_keyboard");
    m_ruler = &required<ui::Node>(*this, u"ContactsListRuler");
    m_cancel->set_listener(this);
    m_open_keyboard->set_listener(this);
    m_keyboard.bind(*this, *this, &skin);
    m_container.bind(*this, skin, listener);
    // The picker has one purpose, which its title says; the list's category
    // and add buttons would open nothing here, so they are not offered.
    m_container.set_title(skin.translate(kTitleKey));
    m_container.hide_category_button();
    if (ui::ButtonNode* add = m_container.add_button())
        add->set_visible(false);
    m_empty.bind(*this);
    ui::Node* frame = m_container.root();
    m_search.bind({.frame = frame,
                   .column = frame != nullptr ? frame->find(u"contacts_column") : nullptr,
                   .top_bar = frame != nullptr ? frame->find(u"top") : nullptr,
                   .keypad = m_keyboard.root(),
                   .bottom_bars = {find(u"picker_bar")}});
    m_listener = &listener;
    // Closed without reporting: binding must not touch the Document's filter.
    if (m_keyboard.root() != nullptr)
        m_keyboard.root()->set_visible(false);
}

void ContactSelectorForm::show() {
    m_keyboard.set_text({});
    update_search_layout();
    if (FormHost* host = form_host())
        host->show_form(*this, ShowMode::Push, Animate::Yes);
}

void ContactSelectorForm::on_click(ui::ButtonNode& button) {
    if (&button == m_cancel) {
        if (FormHost* host = form_host())
            host->close_form(*this, Animate::Yes);
        // Back to the category alone: the typed digits no longer filter.
        if (data::Document* document = data::Document::instance())
            document->set_category({});
        // The screen below may filter its own way (its keypad's number).
        if (m_listener != nullptr)
            m_listener->on_picker_cancelled();
    } else if (&button == m_open_keyboard) {
        m_open_keyboard->set_visible_animated(false);
        m_ruler->set_visible_animated(false);
        m_keyboard.show(CallButton::Hidden);
        update_search_layout();
    }
}

void ContactSelectorForm::update_search_layout() {
    const bool searching = m_keyboard.is_open();
    m_search.set_mode(searching ? SearchMode::Searching : SearchMode::Browsing,
                      ui::Size{width(), height()});
    m_container.set_row_style(searching ? RowStyle::Compact : RowStyle::Regular);
}

void ContactSelectorForm::on_keyboard_text(const WString& text) {
    if (data::Document* document = data::Document::instance())
        document->set_filter(text);
}

void ContactSelectorForm::on_keyboard_closed() {
    if (m_open_keyboard != nullptr)
        m_open_keyboard->set_visible_animated(true);
    if (m_ruler != nullptr)
        m_ruler->set_visible_animated(true);
    update_search_layout();
}

void ContactSelectorForm::on_keyboard_call(const WString&) {
    // The picker's keypad has no call button.
}

} // namespace telvara::forms
