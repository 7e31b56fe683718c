// The contacts list's empty state.
#include "forms/contacts_empty_state.h"

#include "data/document.h"
#include "ui/node.h"

namespace telvara::forms {

ContactsEmptyState::ContactsEmptyState() = default;

ContactsEmptyState::~ContactsEmptyState() = default;

void ContactsEmptyState::bind(ui::Node& host) {
    m_empty = host.find(kNodeName);
    m_document.follow();
    update();
}

void ContactsEmptyState::update() {
    if (m_empty == nullptr)
        return;
    const bool empty = m_document == nullptr || (m_document->filtered_contacts().empty() &&
                                                 m_document->filter_words().empty());
    if (m_empty->is_visible() != empty)
        m_empty->set_visible(empty);
}

void ContactsEmptyState::on_document_refresh(const data::RefreshMessage&) {
    // Any change may empty the list or fill it: the test is one comparison.
    update();
}

} // namespace telvara::forms
