#pragma once
// ContactSelectorForm: the modal contact picker. A second contacts list with
// its own dialer keypad (without a call button) that filters it; "cancel"
// closes the picker and "open_keyboard" opens the keypad in place of the
// ruler. A chosen contact goes to the listener given at binding.

#include "forms/contact_selector_container.h"
#include "forms/contacts_empty_state.h"
#include "forms/form.h"
#include "forms/keyboard_container.h"
#include "forms/search_layout.h"
#include "ui/button_node.h"

namespace telvara::forms {

class ContactSelectorForm : public Form, private ui::ButtonListener, private KeyboardListener {
  public:
    ContactSelectorForm();
    ~ContactSelectorForm() override;

    // Loads "ContactSelectorForm" from the skin and binds "cancel",
    // "open_keyboard", "ContactsListRuler", the keypad and the list; the
    // keypad starts closed, the title says "Add2Existing" and the list's
    // header buttons are hidden. Throws vadode::NodeNotFoundInSkin /
    // vadode::NodeNotFound when the skin lacks one.
    void bind(const ui::Properties& skin, ContactListListener& listener);

    // Clears the keypad text (the list shows every contact of the category
    // again) and puts the picker on the form stack.
    void show();

    ContactSelectorContainer& container() { return m_container; }
    const ContactsEmptyState& empty_state() const { return m_empty; }
    KeyboardContainer& keyboard() { return m_keyboard; }
    ui::ButtonNode* cancel_button() const { return m_cancel; }
    ui::ButtonNode* open_keyboard_button() const { return m_open_keyboard; }
    ui::Node* ruler() const { return m_ruler; }

  private:
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;
    // KeyboardListener.
    void on_keyboard_text(const WString& text) override;
    void on_keyboard_closed() override;
    void on_keyboard_call(const WString& text) override;

    ContactListListener* m_listener = nullptr;
    ui::ButtonNode* m_cancel = nullptr;
    ui::ButtonNode* m_open_keyboard = nullptr;
    ui::Node* m_ruler = nullptr;
    // Destroyed before the tree they point into (members go before the base).
    // Backspace takes the close key's place while digits are typed, as on
    // the main keypad: the picker's search must be correctable too.
    // The list laid out for searching while the keypad is open.
    void update_search_layout();

    KeyboardContainer m_keyboard{SwitchVisibility::Yes};
    ContactSelectorContainer m_container;
    SearchLayout m_search;
    ContactsEmptyState m_empty;
};

} // namespace telvara::forms
