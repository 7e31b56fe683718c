#pragma once
// ContactChoiceForm, the editors without edit boxes (they pick rather than
// type): the working copy they edit, "cancel" that writes the choice back
// and stores the contact, closing when the contact disappears. And
// EditDateForm ("EditDateForm"): the contact's birthday on the "date"
// spinner.

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

class ContactChoiceForm : public Form,
                          protected ui::ButtonListener,
                          private data::DocumentListener {
  public:
    ~ContactChoiceForm() override = default;
    ContactChoiceForm(const ContactChoiceForm&) = delete;
    ContactChoiceForm& operator=(const ContactChoiceForm&) = delete;

    // Loads the form's skin node and finds "cancel" and the form's own nodes
    // (vadode errors when missing). `store` (null: nothing is written) must
    // outlive the form.
    void bind(const ui::Properties& skin, data::ContactManagerImpl2* store = nullptr);

    // Writes the choice into the working copy, the contact into the store
    // and takes the form off the stack: what "cancel" does.
    void leave();
    // Off the stack without writing anything (the contact went away).
    void close();

    bool is_open() const { return m_contact != nullptr; }
    std::uint32_t oid() const { return m_oid; }
    ui::ButtonNode& cancel_button() const { return *m_cancel; }
    bool on_key(const ui::KeyEvent& event) override;

  protected:
    explicit ContactChoiceForm(WString skin_name);

    // Starts editing `contact` (the card's working copy, which must outlive
    // the editing): fills the form and pushes it.
    void open(data::ContactRecord& contact, ContactEditListener* listener);

    virtual void bind_parts() = 0;
    virtual void fill(const data::ContactRecord& contact) = 0;
    virtual void write_back(data::ContactRecord& contact) = 0;
    virtual void refill(const data::ContactRecord& stored) = 0;
    virtual const char16_t* log_name() const = 0;
    // A button of the form other than "cancel".
    virtual void on_button(ui::ButtonNode& button) { (void)button; }
    // After a successful store write on leaving.
    virtual void on_stored(data::ContactManagerImpl2& store) { (void)store; }

    data::ContactRecord* contact() const { return m_contact; }
    ContactEditListener* edit_listener() const { return m_listener; }
    const ui::Properties* skin() const { return m_skin; }
    data::ContactManagerImpl2* store() const { return m_store; }
    data::Document* document() const { return m_document.get(); }

  private:
    void on_click(ui::ButtonNode& button) override;
    void on_document_refresh(const data::RefreshMessage& message) override;
    bool store_contact();
    void forget();

    const ui::Properties* m_skin = nullptr;
    data::ContactManagerImpl2* m_store = nullptr;
    DocumentSubscription m_document{*this};
    ui::ButtonNode* m_cancel = nullptr;
    data::ContactRecord* m_contact = nullptr;
    ContactEditListener* m_listener = nullptr;
    std::uint32_t m_oid = 0;
};

// The birthday text the store keeps (milliseconds since 1970, UTC) as the
// spinner's date and back; nullopt for a text that is not a whole number.
std::optional<ui::SpinnerDateTime> date_of_birthday(WStringView stored);
WString birthday_of_date(const ui::SpinnerDateTime& date);

class EditDateForm final : public ContactChoiceForm {
  public:
    EditDateForm();

    // Edits the contact's Birthday (today's date on the wheels when it has
    // none or its value is not a date).
    void show(data::ContactRecord& contact, ContactEditListener* listener = nullptr);

    ui::SpinnerNode& spinner() const { return *m_date; }

  private:
    void bind_parts() override;
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override { fill(stored); }
    const char16_t* log_name() const override { return u"EditDateForm"; }

    ui::SpinnerNode* m_date = nullptr;
};

} // namespace telvara::forms
