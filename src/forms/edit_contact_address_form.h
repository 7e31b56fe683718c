#pragma once
// EditContactAddressForm ("EditContactAddressForm"): one address of the
// contact (work or home) in five edit boxes: street, city, zip, state and
// country. Leaving writes the five parts of that address and no other.

#include "forms/edit_field_form.h"

#include <array>

namespace telvara::forms {

class EditContactAddressForm final : public ContactEditorForm {
  public:
    enum class Box : std::size_t { Street, City, Zip, State, Country };
    static constexpr std::size_t kBoxCount = 5;

    EditContactAddressForm();

    // Edits the address that `part` belongs to (any of its five ids; other
    // types are ignored).
    void show(data::ContactRecord& contact, data::FieldType part,
              ContactEditListener* listener = nullptr);

    // The first id of the address being edited (24 work, 29 home).
    data::FieldType address() const { return m_first; }
    ui::LabelEditNode& box(Box which) const { return *m_boxes[std::size_t(which)]; }
    // The field a box edits within the address starting at `first`.
    static data::FieldType part_type(data::FieldType first, Box which);

  private:
    void bind_boxes() override;
    void fill(const data::ContactRecord& contact) override;
    void write_back(data::ContactRecord& contact) override;
    void refill(const data::ContactRecord& stored) override { fill(stored); }
    ui::LabelEditNode* first_box() const override { return m_boxes[0]; }
    const char16_t* log_name() const override { return u"EditContactAddressForm"; }

    std::array<ui::LabelEditNode*, kBoxCount> m_boxes{};
    data::FieldType m_first = data::FieldType::WorkAddress1;
};

} // namespace telvara::forms
