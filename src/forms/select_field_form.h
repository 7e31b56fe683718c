#pragma once
// SelectFieldForm ("SelectFieldForm"): the list of field kinds a contact can
// still get (or, for storing a number, the telephone kinds only), grouped
// like the card's rows; a tap reports the kind to a listener and closes.

#include "data/contact_record.h"
#include "forms/form.h"
#include "ui/button_node.h"
#include "ui/vlist.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace telvara::ui {
class Properties;
}

namespace telvara::forms {

// Told which kind was chosen, for which contact (null when the chooser was
// opened without one, e.g. to store a number as a new contact). The contact
// is the chooser's copy: valid during the call only.
class SelectFieldListener {
  public:
    virtual void on_field_kind_chosen(const data::ContactRecord* contact, data::FieldType type) = 0;

  protected:
    ~SelectFieldListener() = default;
};

enum class FieldChoice { All, PhonesOnly };

// The ids 0-33 the contact has not got yet; an address is offered (by its
// first id) only when the contact has no part of it. In group order, ids
// ascending inside a group.
std::vector<data::FieldType> offered_field_types(const data::ContactRecord* contact,
                                                 FieldChoice choice);

// The chooser's rows for offered ids in group order: a group separator
// (-1) before the first row and between groups, a plain separator (-2)
// between ids of one group, the id itself for a row.
std::vector<int> select_field_rows(const std::vector<data::FieldType>& offered);

class SelectFieldForm final : public Form, private ui::ListAdapter, private ui::ButtonListener {
  public:
    SelectFieldForm();
    SelectFieldForm(const SelectFieldForm&) = delete;
    SelectFieldForm& operator=(const SelectFieldForm&) = delete;

    // Loads "SelectFieldForm", finds "cancel" and "List" and checks that the
    // row nodes exist (vadode errors otherwise). The skin must outlive the
    // binding.
    void bind(const ui::Properties& skin);

    // Lists the kinds for `contact` (null: none) and pushes the form. The
    // listener must stay until the form is closed.
    void show(const data::ContactRecord* contact, SelectFieldListener& listener,
              FieldChoice choice = FieldChoice::All);
    // Off the stack, nothing chosen.
    void close();
    // As a tap on the row's "action": reports its kind and closes. Separator
    // rows do nothing.
    void choose_row(std::int32_t row);

    bool on_key(const ui::KeyEvent& event) override;

    const std::vector<int>& rows() const { return m_rows; }
    ui::VirtualList& list() const { return *m_list; }
    ui::ButtonNode& cancel_button() const { return *m_cancel; }
    bool is_open() const { return m_listener != nullptr; }

  private:
    std::int32_t item_count() const override;
    std::unique_ptr<ui::ListElement> create_element() override;
    void bind_element(ui::ListElement& element, std::int32_t index) override;
    void element_clicked(ui::VirtualList& list, std::int32_t index) override;
    void on_click(ui::ButtonNode& button) override;
    std::int32_t row_of(ui::Node& node) const;

    const ui::Properties* m_skin = nullptr;
    ui::ButtonNode* m_cancel = nullptr;
    ui::VirtualList* m_list = nullptr;
    std::optional<data::ContactRecord> m_contact;
    SelectFieldListener* m_listener = nullptr;
    std::vector<int> m_rows;
};

} // namespace telvara::forms
