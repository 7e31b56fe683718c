// The field-kind chooser: which kinds are offered, its rows and the choice.
#include "forms/select_field_form.h"

#include "forms/contact_card_rows.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "ui/key_names.h"
#include "ui/multinode.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kRow[] = u"SelectFieldFormElement";
constexpr char16_t kSeparator[] = u"SeparatorElement";
constexpr char16_t kGroupSeparator[] = u"GroupSeparatorElement";
constexpr std::uint32_t kLastOffered = 33; // the last home-address part

bool is_address_kind(data::FieldKind kind) {
    return kind == data::FieldKind::WorkAddress || kind == data::FieldKind::HomeAddress;
}

data::FieldKind kind_at(int id) {
    return data::kind_of(static_cast<data::FieldType>(id));
}

} // namespace

std::vector<data::FieldType> offered_field_types(const data::ContactRecord* contact,
                                                 FieldChoice choice) {
    const auto has_kind = [contact](data::FieldKind kind) {
        return contact != nullptr &&
               std::any_of(contact->fields.begin(), contact->fields.end(),
                           [kind](const data::ContactField& f) { return f.kind == kind; });
    };
    std::vector<data::FieldType> offered;
    for (std::uint32_t id = 0; id <= kLastOffered; ++id) {
        const auto type = static_cast<data::FieldType>(id);
        const data::FieldKind kind = data::kind_of(type);
        if (choice == FieldChoice::PhonesOnly && kind != data::FieldKind::Phone)
            continue;
        // Any part of an address takes the whole address off the list.
        if (is_address_kind(kind) ? has_kind(kind)
                                  : contact != nullptr && contact->field(type) != nullptr)
            continue;
        offered.push_back(type);
    }
    std::stable_sort(offered.begin(), offered.end(), [](data::FieldType a, data::FieldType b) {
        return data::kind_of(a) < data::kind_of(b);
    });
    return offered;
}

std::vector<int> select_field_rows(const std::vector<data::FieldType>& offered) {
    std::vector<int> rows;
    int previous = -1;
    for (const data::FieldType type : offered) {
        const int id = static_cast<int>(type);
        const data::FieldKind kind = data::kind_of(type);
        if (previous >= 0 && kind_at(previous) == kind && is_address_kind(kind))
            continue; // the address is one row, under its first id
        rows.push_back(previous < 0 || kind_at(previous) != kind ? -1 : -2);
        rows.push_back(id);
        previous = id;
    }
    return rows;
}

SelectFieldForm::SelectFieldForm() : Form(u"SelectFieldForm") {}

void SelectFieldForm::bind(const ui::Properties& skin) {
    for (const char16_t* row : {kRow, kSeparator, kGroupSeparator})
        if (!skin.find_node(row))
            throw ui::vadode::NodeNotFoundInSkin(WString(row));
    m_cancel = nullptr;
    m_list = nullptr;
    load_form(skin);
    m_cancel = &required<ui::ButtonNode>(*this, u"cancel");
    m_list = &required<ui::VirtualList>(*this, u"List");
    m_cancel->set_listener(this);
    m_skin = &skin;
    m_list->set_adapter(this);
    m_list->data_changed();
}

void SelectFieldForm::show(const data::ContactRecord* contact, SelectFieldListener& listener,
                           FieldChoice choice) {
    if (contact != nullptr)
        m_contact = *contact;
    else
        m_contact.reset();
    m_listener = &listener;
    m_rows = select_field_rows(offered_field_types(contact, choice));
    if (m_list != nullptr) {
        m_list->data_changed();
        m_list->scroll_to_item(0);
        for (ui::ListElement* element : m_list->rows())
            if (element->index() >= 0 && element->index() < item_count())
                bind_element(*element, element->index());
    }
    if (FormHost* host = form_host(); host != nullptr && !host->is_shown(*this))
        host->show_form(*this, ShowMode::Push, Animate::Yes);
}

void SelectFieldForm::close() {
    m_listener = nullptr;
    if (FormHost* host = form_host())
        host->close_form(*this, Animate::Yes);
}

void SelectFieldForm::choose_row(std::int32_t row) {
    if (m_listener == nullptr || row < 0 || row >= item_count() || m_rows[std::size_t(row)] < 0)
        return;
    SelectFieldListener* listener = m_listener;
    const std::optional<data::ContactRecord> contact = m_contact;
    const auto type = static_cast<data::FieldType>(m_rows[std::size_t(row)]);
    // Off the stack first: the listener may open an editor on top.
    close();
    listener->on_field_kind_chosen(contact ? &*contact : nullptr, type);
}

bool SelectFieldForm::on_key(const ui::KeyEvent& event) {
    if (event.code == ui::key::Left && m_listener != nullptr) {
        if (!event.pressed)
            close();
        return true;
    }
    return Form::on_key(event);
}

std::int32_t SelectFieldForm::item_count() const {
    return static_cast<std::int32_t>(m_rows.size());
}

std::unique_ptr<ui::ListElement> SelectFieldForm::create_element() {
    return std::make_unique<ui::ListElement>();
}

void SelectFieldForm::bind_element(ui::ListElement& element, std::int32_t index) {
    if (m_skin == nullptr || index < 0 || index >= item_count())
        return;
    const int row = m_rows[std::size_t(index)];
    const WString name = row == -1 ? kGroupSeparator : row == -2 ? kSeparator : kRow;
    if (element.content_name() != name || element.child_count() == 0) {
        if (!load_row(u"SelectFieldForm", *m_skin, element, name))
            return;
        element.set_content_name(name);
        element.find_state_children();
        if (auto* action = dynamic_cast<ui::ButtonNode*>(element.find(u"action")))
            action->set_listener(this);
        element.set_handles_own_presses(row >= 0);
    }
    if (row < 0)
        return;
    const auto type = static_cast<data::FieldType>(row);
    if (auto* big = dynamic_cast<ui::TextNode*>(element.find(u"big")))
        big->set_text(m_skin->translate(field_label_key(type)));
    if (auto* icons = dynamic_cast<ui::Multinode*>(element.find(u"icons")))
        icons->show(icon_state(type));
}

void SelectFieldForm::element_clicked(ui::VirtualList&, std::int32_t index) {
    choose_row(index);
}

std::int32_t SelectFieldForm::row_of(ui::Node& node) const {
    for (ui::Node* at = &node; at != nullptr; at = at->parent())
        if (auto* element = dynamic_cast<ui::ListElement*>(at); element && at->parent() == m_list)
            return element->index();
    return -1;
}

void SelectFieldForm::on_click(ui::ButtonNode& button) {
    if (&button == m_cancel)
        close();
    else if (button.name() == u"action")
        choose_row(row_of(button));
}

} // namespace telvara::forms
