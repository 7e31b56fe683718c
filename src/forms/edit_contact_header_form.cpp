// The names editor: three boxes filled from and written back to the header.
#include "forms/edit_contact_header_form.h"

#include "forms/required_node.h"
#include "ui/label_edit_node.h"

namespace telvara::forms {

EditContactHeaderForm::EditContactHeaderForm() : ContactEditorForm(u"EditContactHeaderForm") {}

void EditContactHeaderForm::bind_boxes() {
    m_first = &required<ui::LabelEditNode>(*this, u"label_edit_firstname");
    m_last = &required<ui::LabelEditNode>(*this, u"label_edit_lastname");
    m_company = &required<ui::LabelEditNode>(*this, u"label_edit_company");
}

void EditContactHeaderForm::show(data::ContactRecord& contact, ContactEditListener* listener) {
    open(contact, listener);
}

void EditContactHeaderForm::fill(const data::ContactRecord& contact) {
    m_first->set_text(contact.first_name);
    m_last->set_text(contact.last_name);
    m_company->set_text(contact.company);
}

void EditContactHeaderForm::write_back(data::ContactRecord& contact) {
    contact.first_name = m_first->text();
    contact.last_name = m_last->text();
    contact.company = m_company->text();
}

} // namespace telvara::forms
