#pragma once
// EditCategoriesForm ("EditCategoriesForm"): a row per category
// ("CategoryElement": "cat_name" and the "checked" mark) that a tap ticks or
// clears, "add_category" that opens the one-field editor for a new name, and
// leaving that stores the ticked names in the list's order.

#include "forms/edit_date_form.h"
#include "ui/vlist.h"

#include <vector>

namespace telvara::forms {

class EditCategoriesForm final : public ContactEditorForm,
                                 private ui::ListAdapter,
                                 private ContactEditListener {
  public:
    EditCategoriesForm();

    void show(data::ContactRecord& contact, ContactEditListener* listener = nullptr);

    // The rows: the category names in the Document's order (then any name
    // the contact has that the list lacks) and whether each is ticked.
    const std::vector<WString>& names() const { return m_names; }
    const std::vector<bool>& checked() const { return m_checked; }
    // What a tap on the row does.
    void toggle(std::int32_t row);
    // What "add_category" does.
    void add_category();

    ui::VirtualList& list() const { return *m_list; }
    EditFieldForm& name_editor() { return m_new_name; }

  private:
    void bind_boxes() override;
    ui::LabelEditNode* first_box() const override { return nullptr; }
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    // Keeps the ticks made; names new in `stored` join with its ticks.
    void refill(const data::ContactRecord& stored) override;
    const char16_t* log_name() const override { return u"EditCategoriesForm"; }
    void on_button(ui::ButtonNode& button) override;
    // ListAdapter.
    std::int32_t item_count() const override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    // ContactEditListener: a new name was typed into the working copy.
    void on_contact_edited(data::ContactRecord& contact) override;

    void read_rows(const data::ContactRecord& contact);
    void show_rows();

    ui::VirtualList* m_list = nullptr;
    ui::ButtonNode* m_add = nullptr;
    std::vector<WString> m_names;
    std::vector<bool> m_checked;
    EditFieldForm m_new_name;
};

} // namespace telvara::forms
