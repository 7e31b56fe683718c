// The categories editor: the rows of names with their marks, the new-name
// editor on top of it, and the joined value written on leaving.
#include "forms/edit_categories_form.h"

#include "data/contact_store.h"
#include "data/document.h"
#include "forms/required_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr const char16_t* kRow = u"CategoryElement";

void add_missing(std::vector<WString>& names, const std::vector<WString>& more) {
    for (const WString& name : more)
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
}

} // namespace

EditCategoriesForm::EditCategoriesForm() : ContactEditorForm(u"EditCategoriesForm") {}

void EditCategoriesForm::bind_boxes() {
    if (!skin()->find_node(kRow))
        throw ui::vadode::NodeNotFoundInSkin(WString(kRow));
    m_list = &required<ui::VirtualList>(*this, u"catList");
    m_add = &required<ui::ButtonNode>(*this, u"add_category");
    m_add->set_listener(this);
    m_list->set_adapter(this);
    m_new_name.bind(*skin(), store());
    m_list->data_changed();
}

void EditCategoriesForm::show(data::ContactRecord& contact, ContactEditListener* listener) {
    open(contact, listener);
    if (m_list != nullptr)
        m_list->scroll_to_item(0);
}

void EditCategoriesForm::read_rows(const data::ContactRecord& contact) {
    m_names.clear();
    if (const data::Document* doc = document())
        m_names = doc->categories();
    // The Document reads the folder once; names added since (from the
    // new-name editor or another program) are offered too.
    if (data::ContactStore* folder = store()) {
        std::vector<WString> stored;
        folder->load_categories(stored);
        add_missing(m_names, stored);
    }
    std::vector<WString> own;
    if (const data::ContactField* field = contact.field(data::FieldType::Categories))
        own = data::split_category_text(field->value);
    // A name only the contact has keeps its row, so leaving cannot lose it.
    add_missing(m_names, own);
    m_checked.assign(m_names.size(), false);
    for (std::size_t i = 0; i < m_names.size(); ++i)
        m_checked[i] = std::find(own.begin(), own.end(), m_names[i]) != own.end();
}

void EditCategoriesForm::show_rows() {
    if (m_list == nullptr)
        return;
    m_list->data_changed();
    for (ui::ListElement* element : m_list->rows())
        if (element->index() >= 0 && element->index() < item_count())
            bind_element(*element, element->index());
}

void EditCategoriesForm::fill(const data::ContactRecord& contact) {
    read_rows(contact);
    show_rows();
}

void EditCategoriesForm::refill(const data::ContactRecord& stored) {
    // The stored copy lags behind the ticks made since (the notice may be
    // of this form's own new-name save): they stand, a ticked name the list
    // no longer offers keeps its row, and only names new to the list take
    // their tick from the stored record.
    const std::vector<WString> names = std::move(m_names);
    const std::vector<bool> ticks = std::move(m_checked);
    read_rows(stored);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto at = std::find(m_names.begin(), m_names.end(), names[i]);
        if (at != m_names.end()) {
            m_checked[std::size_t(at - m_names.begin())] = ticks[i];
        } else if (ticks[i]) {
            m_names.push_back(names[i]);
            m_checked.push_back(true);
        }
    }
    show_rows();
}

void EditCategoriesForm::write_back(data::ContactRecord& contact) {
    WString value;
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (!m_checked[i])
            continue;
        if (!value.empty())
            value += u", ";
        value += m_names[i];
    }
    field_of(contact, data::FieldType::Categories).value = std::move(value);
}

void EditCategoriesForm::toggle(std::int32_t row) {
    if (!is_open() || row < 0 || row >= item_count())
        return;
    m_checked[std::size_t(row)] = !m_checked[std::size_t(row)];
    if (m_list != nullptr)
        if (ui::ListElement* element = m_list->element_for(row))
            bind_element(*element, row);
}

void EditCategoriesForm::add_category() {
    data::ContactRecord* working = contact();
    if (working == nullptr)
        return;
    // The ticks made so far go into the value the new name is appended to.
    write_back(*working);
    m_new_name.show(*working, data::FieldType::Categories, this);
}

void EditCategoriesForm::on_button(ui::ButtonNode& button) {
    if (&button == m_add)
        add_category();
}

void EditCategoriesForm::on_contact_edited(data::ContactRecord& contact) {
    // The new name is in the value: it gets its row, ticked.
    if (&contact == this->contact())
        fill(contact);
    if (ContactEditListener* owner = edit_listener())
        owner->on_contact_edited(contact);
}

std::int32_t EditCategoriesForm::item_count() const {
    return static_cast<std::int32_t>(m_names.size());
}

void EditCategoriesForm::bind_element(ui::ListElement& element, std::int32_t index) {
    if (skin() == nullptr || index < 0 || index >= item_count())
        return;
    if (element.content_name() != kRow || element.child_count() == 0) {
        if (!load_row(u"EditCategoriesForm", *skin(), element, kRow))
            return;
        element.set_content_name(kRow);
        element.find_state_children();
    }
    if (auto* name = dynamic_cast<ui::TextNode*>(element.find(u"cat_name")))
        name->set_text(m_names[std::size_t(index)]);
    if (ui::Node* mark = element.find(u"checked"))
        mark->set_visible(m_checked[std::size_t(index)]);
}

void EditCategoriesForm::element_clicked(ui::VirtualList&, std::int32_t index) {
    toggle(index);
}

} // namespace telvara::forms
