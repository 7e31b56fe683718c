#pragma once
// EditDateForm ("EditDateForm"): the contact's birthday on the "date"
// spinner (day, month and year; a birthday has no time) with the switch
// "no_year" for a birthday without its year, and the conversion between the
// stored Birthday and a date.

#include "data/contact_record.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/edit_field_form.h"
#include "forms/form.h"
#include "ui/button_node.h"
#include "ui/spinner_node.h"

#include <cstdint>
#include <optional>

namespace telvara::ui {
class Multinode;
}

namespace telvara::forms {

// The birthday text the store keeps (milliseconds since 1970, UTC) as the
// spinner's date and back; nullopt for a text that is not a whole number.
std::optional<ui::SpinnerDateTime> date_of_birthday(WStringView stored);
WString birthday_of_date(const ui::SpinnerDateTime& date);

class EditDateForm final : public ContactEditorForm {
  public:
    EditDateForm();

    // Edits the contact's Birthday (today's date on the wheels when it has
    // none or its value is not a date); a birthday stored without its year
    // (as a vCard's --MMDD) shows with "no year" on. Leaving writes the
    // chosen date, at midnight, only when the wheels or the switch changed
    // it: an untouched birthday stays exactly as it was.
    void show(data::ContactRecord& contact, ContactEditListener* listener = nullptr);

    ui::SpinnerNode& spinner() const { return *m_date; }
    // The switch's look 1 means no year; null in a skin without it.
    ui::Multinode* no_year_switch() const { return m_no_year; }
    bool without_year() const { return m_without_year; }
    // What a tap on the switch does.
    void set_without_year(bool without_year);

  private:
    void bind_boxes() override;
    ui::LabelEditNode* first_box() const override { return nullptr; }
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override { fill(stored); }
    void on_button(ui::ButtonNode& button) override;
    const char16_t* log_name() const override { return u"EditDateForm"; }

    ui::SpinnerNode* m_date = nullptr;
    ui::Multinode* m_no_year = nullptr;
    // What fill() put on the wheels and the switch.
    ui::SpinnerDateTime m_shown;
    bool m_shown_without_year = false;
    bool m_without_year = false;
    // The year the wheel had before "no year" was switched on, given back
    // when it is switched off.
    std::int32_t m_year_before = 0;
};

} // namespace telvara::forms
