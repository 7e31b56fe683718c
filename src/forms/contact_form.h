#pragma once
// ContactForm: the contact card ("ContactForm"). One list of rows shows a
// contact: the head (photo in a circle, names, company), a row per field with
// its icon, value and label, and separators. In view mode a tap on a field
// acts on it (call, e-mail, web), phone rows have a message button and a
// favourite star. Edit mode adds field removal, the photo buttons, the
// buttons row (new field, delete contact) and opens the editors: a field row
// its field's editor, the head the names editor, "new_field" the chooser of
// the kind to add. The card follows the Document: a change of its contact
// fills it again, a removal closes it.

#include "data/contact_record.h"
#include "data/refresh_message.h"
#include "forms/contact_card_actions.h"
#include "forms/contact_card_rows.h"
#include "forms/document_subscription.h"
#include "forms/edit_categories_form.h"
#include "forms/edit_contact_address_form.h"
#include "forms/edit_contact_header_form.h"
#include "forms/edit_date_form.h"
#include "forms/edit_field_form.h"
#include "forms/form.h"
#include "forms/select_field_form.h"
#include "ui/button_node.h"
#include "ui/menu_provider.h"
#include "ui/picture.h"
#include "ui/vlist.h"

#include <cstdint>
#include <vector>

namespace telvara::data {
struct ContactEntry;
class ContactStore;
class ContactPhotoCache;
class Document;
} // namespace telvara::data

namespace telvara::ui {
class Multinode;
class PopupMenu;
class Properties;
} // namespace telvara::ui

namespace telvara::forms {

class ContactForm final : public Form,
                          private ui::ListAdapter,
                          private ui::ButtonListener,
                          private ui::MenuProvider,
                          private data::DocumentListener,
                          private SelectFieldListener,
                          private ContactEditListener {
  public:
    ContactForm();
    ~ContactForm() override;
    ContactForm(const ContactForm&) = delete;
    ContactForm& operator=(const ContactForm&) = delete;

    // Loads "ContactForm" and the card's menu from the skin and finds
    // "cancel", "padding", "edit_mode" and "List"; checks that the row nodes
    // ("ContactHead", "ContactFieldElement", "SeparatorElement",
    // "GroupSeparatorElement", "ContactFieldButtons") exist; binds the
    // editors it opens ("SelectFieldForm", "EditFieldForm",
    // "EditContactHeaderForm", "EditContactAddressForm", "EditDateForm",
    // "EditCategoriesForm"). Throws the
    // vadode errors for a missing node. The skin must outlive the binding;
    // `store` (null: nothing is written or deleted) and `photos` (null: the
    // default picture) must outlive the form.
    void bind(const ui::Properties& skin, data::ContactStore* store = nullptr,
              data::ContactPhotoCache* photos = nullptr);
    // Where field actions go; the PhoneManager by default.
    void set_actions(FieldActions& actions) { m_actions = &actions; }

    // Copies the contact, builds the rows for `mode` and pushes the card on
    // the form stack.
    void show(const data::ContactEntry& contact, CardMode mode);
    void show(const data::ContactRecord& contact, CardMode mode);
    // Takes the card off the form stack; it forgets its contact.
    void close();
    // Opens the confirmation menu for deleting the contact.
    void ask_delete();

    bool on_key(const ui::KeyEvent& event) override;

    // What the card shows, for the host and the tests.
    std::uint32_t oid() const { return m_contact.oid; }
    CardMode mode() const { return m_mode; }
    const data::ContactRecord& contact() const { return m_contact; }
    const std::vector<int>& rows() const { return m_rows; }
    ui::VirtualList& list() const { return *m_list; }
    ui::PopupMenu& menu() const { return *m_menu; }
    ui::ButtonNode& cancel_button() const { return *m_cancel; }
    ui::Multinode& edit_mode_switch() const { return *m_edit_mode; }
    // The row awaiting the removal confirmation; -1 for none.
    std::int32_t confirming_row() const { return m_confirming; }
    // Acts as a tap on the row's "action" / "sms" / "favorite" button or the
    // "remove" / "confirm_remove" buttons (the row need not be in view).
    enum class RowButton { Action, Sms, Favorite, Remove, ConfirmRemove };
    void press_row_button(std::int32_t row, RowButton button);
    // Edit mode: the head's "edit_header" and the buttons row's "new_field".
    void edit_header();
    void add_field();

    // The editors the card opens (shown on top of it).
    SelectFieldForm& field_chooser() { return m_select_field; }
    EditFieldForm& field_editor() { return m_edit_field; }
    EditContactHeaderForm& header_editor() { return m_edit_header; }
    EditContactAddressForm& address_editor() { return m_edit_address; }
    EditDateForm& date_editor() { return m_edit_date; }
    EditCategoriesForm& categories_editor() { return m_edit_categories; }

  private:
    // ListAdapter.
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;
    // MenuProvider.
    void on_menu(ui::PopupMenu& menu, WStringView key, ui::ChoiceMenu& items) override;
    // DocumentListener.
    void on_document_refresh(const data::RefreshMessage& message) override;
    // SelectFieldListener: the kind of field to add.
    void on_field_kind_chosen(const data::ContactRecord* contact, data::FieldType type) override;
    void on_contact_field_selected(data::FieldType type);
    // ContactEditListener: an editor wrote into the working copy.
    void on_contact_edited(data::ContactRecord& contact) override;
    void edit_field(std::size_t field);
    // Opens the editor for a field of `type` (which the working copy has).
    void open_editor(data::FieldType type);

    void set_contact(const data::ContactRecord& contact);
    void rebuild();
    void fill_head(ui::ListElement& element);
    void fill_field(ui::ListElement& element, std::size_t field);
    // Gives the value and the row's tap the room its visible buttons leave.
    void fit_field_row(ui::ListElement& element);
    void act_on_field(std::size_t field);
    void toggle_favorite(std::size_t field);
    void remove_field(std::int32_t row);
    // Shows or hides the row's "confirm_remove", if the row is in view.
    enum class Confirm { Hide, Show };
    void show_confirm_remove(std::int32_t row, Confirm confirm);
    bool is_favorite(data::FieldType type) const;
    bool has_own_photo();
    void choose_photo();
    void remove_photo();
    void delete_contact();
    // The field index of a row, or -1 for the other rows.
    int field_of_row(std::int32_t row) const;
    std::int32_t row_of(ui::Node& node) const;
    void refresh_rows();

    const ui::Properties* m_skin = nullptr;
    data::ContactStore* m_store = nullptr;
    data::ContactPhotoCache* m_photos = nullptr;
    DocumentSubscription m_document{*this};
    FieldActions* m_actions = nullptr;
    ui::ButtonNode* m_cancel = nullptr;
    ui::Node* m_padding = nullptr;
    ui::Multinode* m_edit_mode = nullptr;
    ui::VirtualList* m_list = nullptr;
    ui::PopupMenu* m_menu = nullptr;

    data::ContactRecord m_contact;
    std::vector<int> m_rows;
    CardMode m_mode = CardMode::View;
    std::int32_t m_confirming = -1;
    std::uint32_t m_shown_at = 0;
    ui::Picture m_default_photo;
    SelectFieldForm m_select_field;
    EditFieldForm m_edit_field;
    EditContactHeaderForm m_edit_header;
    EditContactAddressForm m_edit_address;
    EditDateForm m_edit_date;
    EditCategoriesForm m_edit_categories;
};

} // namespace telvara::forms
