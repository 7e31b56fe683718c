#pragma once
// EditContactHeaderForm ("EditContactHeaderForm"): the contact's first name,
// last name and company in three edit boxes; leaving writes all three.

#include "forms/edit_field_form.h"

namespace telvara::forms {

class EditContactHeaderForm final : public ContactEditorForm {
  public:
    EditContactHeaderForm();

    void show(data::ContactRecord& contact, ContactEditListener* listener = nullptr);

    ui::LabelEditNode& first_name_box() const { return *m_first; }
    ui::LabelEditNode& last_name_box() const { return *m_last; }
    ui::LabelEditNode& company_box() const { return *m_company; }

  private:
    void bind_boxes() override;
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override { fill(stored); }
    ui::LabelEditNode* first_box() const override { return m_first; }
    const char16_t* log_name() const override { return u"EditContactHeaderForm"; }

    ui::LabelEditNode* m_first = nullptr;
    ui::LabelEditNode* m_last = nullptr;
    ui::LabelEditNode* m_company = nullptr;
};

} // namespace telvara::forms
