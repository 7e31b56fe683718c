// The address editor: five boxes filled from and written back to the five
// parts of one address.
#include "forms/edit_contact_address_form.h"

#include "forms/required_node.h"
#include "ui/label_edit_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr const char16_t* kBoxNames[EditContactAddressForm::kBoxCount] = {
    u"label_edit_street", u"label_edit_city", u"label_edit_zip", u"label_edit_state",
    u"label_edit_country"};

// Offsets of each box's part from the address's first id. The store keeps
// the region before the postal code, so the zip box (shown above the state,
// as addresses are written) edits the fourth part and the state the third.
constexpr std::uint32_t kPartOffset[EditContactAddressForm::kBoxCount] = {0, 1, 3, 2, 4};

data::FieldType first_of_address(data::FieldType part) {
    const auto id = static_cast<std::uint32_t>(part);
    if (id >= std::uint32_t(data::FieldType::HomeAddress1) &&
        id <= std::uint32_t(data::FieldType::HomeAddress5))
        return data::FieldType::HomeAddress1;
    return data::FieldType::WorkAddress1;
}

bool is_address_part(data::FieldType part) {
    const auto id = static_cast<std::uint32_t>(part);
    return id >= std::uint32_t(data::FieldType::WorkAddress1) &&
           id <= std::uint32_t(data::FieldType::HomeAddress5);
}

} // namespace

EditContactAddressForm::EditContactAddressForm() : ContactEditorForm(u"EditContactAddressForm") {}

data::FieldType EditContactAddressForm::part_type(data::FieldType first, Box which) {
    return static_cast<data::FieldType>(static_cast<std::uint32_t>(first) +
                                        kPartOffset[std::size_t(which)]);
}

void EditContactAddressForm::bind_boxes() {
    for (std::size_t i = 0; i < kBoxCount; ++i)
        m_boxes[i] = &required<ui::LabelEditNode>(*this, kBoxNames[i]);
}

void EditContactAddressForm::show(data::ContactRecord& contact, data::FieldType part,
                                  ContactEditListener* listener) {
    if (!is_address_part(part))
        return;
    m_first = first_of_address(part);
    open(contact, listener);
}

void EditContactAddressForm::fill(const data::ContactRecord& contact) {
    // The title, when the skin has one, says which address this is.
    if (auto* title = dynamic_cast<ui::TextNode*>(find(u"edit_address_title")); title && skin())
        title->set_text(skin()->translate(data::field_type_name(m_first)));
    for (std::size_t i = 0; i < kBoxCount; ++i) {
        const data::ContactField* field = contact.field(part_type(m_first, Box(i)));
        m_boxes[i]->set_text(field != nullptr ? field->value : WString());
    }
}

void EditContactAddressForm::write_back(data::ContactRecord& contact) {
    for (std::size_t i = 0; i < kBoxCount; ++i) {
        const data::FieldType type = part_type(m_first, Box(i));
        const WString& text = m_boxes[i]->text();
        // A part left empty that the contact never had adds no field.
        if (text.empty() && contact.field(type) == nullptr)
            continue;
        field_of(contact, type).value = text;
    }
}

} // namespace telvara::forms
