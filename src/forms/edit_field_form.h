#pragma once
// The contact editors' common ground (ContactEditorForm: the working copy it
// edits, "cancel" that writes the boxes back and stores the contact, closing
// when its contact disappears) and EditFieldForm ("EditFieldForm"): one field
// of the contact in one edit box ("label_edit").

#include "data/contact_record.h"
#include "data/refresh_message.h"
#include "forms/document_subscription.h"
#include "forms/form.h"
#include "ui/button_node.h"

#include <cstdint>

namespace telvara::data {
class ContactStore;
}

namespace telvara::ui {
class LabelEditNode;
class Properties;
} // namespace telvara::ui

namespace telvara::forms {

// Told when an editor has written its boxes into the working copy and asked
// the store to keep it (a contact created then has its oid), so the owner of
// the copy can show it.
class ContactEditListener {
  public:
    virtual void on_contact_edited(data::ContactRecord& contact) = 0;

  protected:
    ~ContactEditListener() = default;
};

class ContactEditorForm : public Form,
                          protected ui::ButtonListener,
                          private data::DocumentListener {
  public:
    ~ContactEditorForm() override = default;
    ContactEditorForm(const ContactEditorForm&) = delete;
    ContactEditorForm& operator=(const ContactEditorForm&) = delete;

    // Loads the form's skin node and finds "cancel" and the edit boxes
    // (vadode errors when missing). `store` (null: nothing is written) must
    // outlive the form.
    void bind(const ui::Properties& skin, data::ContactStore* store = nullptr);

    // Leaving saves: the boxes go into the working copy, the contact into
    // the store, and the form off the stack. What "cancel" does.
    void leave();
    // Off the stack without writing anything (the contact went away).
    void close();

    // Whether the editor has a contact (it is shown).
    bool is_open() const { return m_contact != nullptr; }
    std::uint32_t oid() const { return m_oid; }
    ui::ButtonNode& cancel_button() const { return *m_cancel; }
    bool on_key(const ui::KeyEvent& event) override;

  protected:
    explicit ContactEditorForm(WString skin_name);

    // Starts editing `contact` (the card's working copy, which must outlive
    // the editing): fills the boxes, pushes the form and focuses the first
    // box, if the form has one.
    void open(data::ContactRecord& contact, ContactEditListener* listener);

    // Finds the boxes after the form's tree was loaded.
    virtual void bind_boxes() = 0;
    virtual void fill(const data::ContactRecord& contact) = 0;
    virtual void write_back(data::ContactRecord& contact) = 0;
    // The Document's copy of the contact changed while the form is shown.
    virtual void refill(const data::ContactRecord& stored) = 0;
    // The box typing goes into; null for a form without text (a date, ticks).
    virtual ui::LabelEditNode* first_box() const = 0;
    // A button of the form other than "cancel" (whose listener the form is).
    virtual void on_button(ui::ButtonNode& button) { (void)button; }
    // The class name that starts the log lines.
    virtual const char16_t* log_name() const = 0;

    // Writes the working copy (a contact never stored is created once it has
    // a name, company or field value; an empty one is left unstored); false
    // when there is no store or it refused.
    bool store_contact();
    data::ContactRecord* contact() const { return m_contact; }
    ContactEditListener* edit_listener() const { return m_listener; }
    const ui::Properties* skin() const { return m_skin; }
    data::ContactStore* store() const { return m_store; }
    data::Document* document() const { return m_document.get(); }

  private:
    void on_click(ui::ButtonNode& button) override;
    void on_document_refresh(const data::RefreshMessage& message) override;
    void forget();

    const ui::Properties* m_skin = nullptr;
    data::ContactStore* m_store = nullptr;
    DocumentSubscription m_document{*this};
    ui::ButtonNode* m_cancel = nullptr;
    data::ContactRecord* m_contact = nullptr;
    ContactEditListener* m_listener = nullptr;
    std::uint32_t m_oid = 0;
};

class EditFieldForm final : public ContactEditorForm {
  public:
    EditFieldForm();

    // Edits the field of `type` in `contact` (added empty when missing).
    void show(data::ContactRecord& contact, data::FieldType type,
              ContactEditListener* listener = nullptr);

    data::FieldType field_type() const { return m_type; }
    ui::LabelEditNode& edit_box() const { return *m_box; }

  private:
    void bind_boxes() override;
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override;
    ui::LabelEditNode* first_box() const override { return m_box; }
    const char16_t* log_name() const override { return u"EditFieldForm"; }

    ui::LabelEditNode* m_box = nullptr;
    data::FieldType m_type = data::FieldType::Unknown;
};

// The field of `type` in the contact, appended empty when it has none.
data::ContactField& field_of(data::ContactRecord& contact, data::FieldType type);

} // namespace telvara::forms
