#pragma once
// EditDateForm ("EditDateForm"): the contact's birthday on the "date"
// spinner, and the conversion between the stored Birthday and a date.

#include "data/contact_record.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/edit_field_form.h"
#include "forms/form.h"
#include "ui/button_node.h"
#include "ui/spinner_node.h"

#include <cstdint>
#include <optional>

namespace telvara::forms {

// The birthday text the store keeps (milliseconds since 1970, UTC) as the
// spinner's date and back; nullopt for a text that is not a whole number.
std::optional<ui::SpinnerDateTime> date_of_birthday(WStringView stored);
WString birthday_of_date(const ui::SpinnerDateTime& date);

class EditDateForm final : public ContactEditorForm {
  public:
    EditDateForm();

    // Edits the contact's Birthday (today's date on the wheels when it has
    // none or its value is not a date). Leaving writes the wheels' date only
    // when they were moved.
    void show(data::ContactRecord& contact, ContactEditListener* listener = nullptr);

    ui::SpinnerNode& spinner() const { return *m_date; }

  private:
    void bind_boxes() override;
    ui::LabelEditNode* first_box() const override { return nullptr; }
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override { fill(stored); }
    const char16_t* log_name() const override { return u"EditDateForm"; }

    ui::SpinnerNode* m_date = nullptr;
    // What fill() put on the wheels.
    ui::SpinnerDateTime m_shown;
};

} // namespace telvara::forms
