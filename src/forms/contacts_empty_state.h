#pragma once
// ContactsEmptyState: the words a contacts list shows instead of a blank
// list. The node "ContactSelectorContainer_empty" of the list's host shows
// while the Document lists no contact and no digits are typed: a phone
// without contacts, or a category nobody is in. A search that finds
// nothing is the keypad's business, which shows what was typed.

#include "data/refresh_message.h"
#include "forms/document_subscription.h"

namespace telvara::ui {
class Node;
}

namespace telvara::forms {

class ContactsEmptyState final : private data::DocumentListener {
  public:
    static constexpr char16_t kNodeName[] = u"ContactSelectorContainer_empty";

    ContactsEmptyState();
    // Leaves the Document's listeners; touches no node.
    ~ContactsEmptyState() override;
    ContactsEmptyState(const ContactsEmptyState&) = delete;
    ContactsEmptyState& operator=(const ContactsEmptyState&) = delete;

    // Finds the node below `host` (a skin without one shows nothing) and
    // follows the Document. The tree must outlive the binding.
    void bind(ui::Node& host);
    // Shows or hides the node for what the Document lists now.
    void update();

    ui::Node* node() const { return m_empty; }

  private:
    void on_document_refresh(const data::RefreshMessage& message) override;

    DocumentSubscription m_document{*this};
    ui::Node* m_empty = nullptr;
};

} // namespace telvara::forms
