#pragma once
// ContactSelectorContainer: the contacts list bound into a host screen (the
// contacts tab of the main screen, the contact picker). Shows the Document's
// visible contacts in the "ContactsList" with one ContactsListElement per
// row (then the call history's numbers that answer the search, with their
// last call's time), the current category in the header, an alphabet ruler
// that jumps to a letter and, while a search runs, how many contacts it
// found; follows the Document's refresh messages; reports a chosen contact
// and the header buttons to its listener; a tapped number is called.

#include "data/contact_entry.h"
#include "data/document.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "platform/text.h"
#include "ui/alphabet_ruler.h"
#include "ui/button_node.h"
#include "ui/vlist.h"

#include <vector>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class ContactSelectorContainer;

class ContactListListener {
  public:
    virtual void on_contact_chosen(ContactSelectorContainer& sender,
                                   data::ContactEntry& contact) = 0;
    virtual void on_add_contact(ContactSelectorContainer& sender) = 0;
    virtual void on_category_button(ContactSelectorContainer& sender) = 0;
    // The contact picker was cancelled; its search no longer filters.
    virtual void on_picker_cancelled() {}

  protected:
    ~ContactListListener() = default;
};

// The letter a contact is filed under on the ruler: the first character of
// its leading sort key in `mode`, upper-cased. Digits, signs and characters
// without an upper-case form (and an empty key) are filed under "#".
WString index_letter(const data::ContactEntry& entry, data::SortMode mode);

// The rows: a contact's two lines at the list's own height, or lower rows
// that put more search results above the keypad.
enum class RowStyle { Regular, Compact };

class ContactSelectorContainer : private data::DocumentListener,
                                 private ui::ListAdapter,
                                 private ui::ButtonListener,
                                 private ui::RulerListener {
  public:
    ContactSelectorContainer();
    // Leaves the Document's listeners; touches no node (the host's tree may
    // already be gone).
    ~ContactSelectorContainer() override;
    ContactSelectorContainer(const ContactSelectorContainer&) = delete;
    ContactSelectorContainer& operator=(const ContactSelectorContainer&) = delete;

    // Finds "ContactSelectorContainer" below `host` and the nodes of the list
    // screen; rows are made from the skin's top-level node
    // "ContactsListElement". Throws vadode::NodeNotFound (or
    // NodeNotFoundInSkin for the row) when one is missing. Optional, anywhere
    // in the host: "text_matches" (the count of a search) and "button_add"
    // (the header's add button on the keypad). The skin must outlive the
    // binding.
    void bind(ui::Node& host, const ui::Properties& skin, ContactListListener& listener);
    // Compact rows come from "ContactsListElementCompact" when the skin has
    // it; the list is built anew from its first row.
    void set_row_style(RowStyle style);
    RowStyle row_style() const { return m_row_style; }
    void set_title(WStringView text);
    void show_category_button();
    void hide_category_button();
    ui::Node* root() const { return m_root; }
    ui::VirtualList* list() const { return m_list; }
    ui::AlphabetRuler* ruler() const { return m_ruler; }
    ui::Node* hint() const { return m_hint; }
    ui::TextNode* title() const { return m_title; }
    ui::ButtonNode* category_button() const { return m_category; }
    ui::ButtonNode* add_button() const { return m_add; }

    // Letters of the full sorted list, each once, in list order.
    void update_letters();

    // The Document's message and the ruler's touches (public so that a host
    // may forward them).
    void on_document_refresh(const data::RefreshMessage& message) override;
    void on_letter_touched(ui::AlphabetRuler& ruler, const ui::RulerEvent& event) override;

  private:
    // ListAdapter.
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;
    void refresh_row(std::int32_t index);
    void show_hint(const WString& letter);
    void update_match_count();

    DocumentSubscription m_document{*this};
    const ui::Properties* m_skin = nullptr;
    ContactListListener* m_listener = nullptr;
    ui::Node* m_root = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::Node* m_top = nullptr;
    ui::ButtonNode* m_category = nullptr;
    ui::TextNode* m_title = nullptr;
    ui::ButtonNode* m_add = nullptr;
    ui::ButtonNode* m_keypad_add = nullptr;
    ui::TextNode* m_matches = nullptr;
    ui::AlphabetRuler* m_ruler = nullptr;
    ui::Node* m_hint = nullptr;
    RowStyle m_row_style = RowStyle::Regular;
    bool m_has_compact_rows = false;
};

} // namespace telvara::forms
