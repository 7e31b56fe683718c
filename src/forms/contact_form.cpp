// The contact card: binding, rows, field actions, favourites, deletion and
// the Document's refresh messages.
#include "forms/contact_form.h"

#include "forms/menu_items.h"
#include "forms/notice_form.h"
#include "forms/write_notice.h"

#include "data/categories.h"
#include "data/contact_entry.h"
#include "data/contact_photo.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/image_node.h"
#include "ui/key_names.h"
#include "ui/multinode.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"ContactForm";
constexpr char16_t kHead[] = u"ContactHead";
constexpr char16_t kField[] = u"ContactFieldElement";
constexpr char16_t kSeparator[] = u"SeparatorElement";
constexpr char16_t kGroupSeparator[] = u"GroupSeparatorElement";
constexpr char16_t kButtons[] = u"ContactFieldButtons";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

const char16_t* element_name(int row) {
    switch (row) {
    case kGroupSeparatorRow:
        return kGroupSeparator;
    case kSeparatorRow:
        return kSeparator;
    case kHeadRow:
        return kHead;
    case kButtonsRow:
        return kButtons;
    default:
        return kField;
    }
}

template <class T> T* find_as(ui::Node& parent, WStringView name) {
    return dynamic_cast<T*>(parent.find(name));
}

void show_if(ui::Node* node, bool visible) {
    if (node != nullptr && node->is_visible() != visible)
        node->set_visible(visible);
}

void set_text(ui::Node& parent, WStringView name, WString text) {
    if (auto* node = find_as<ui::TextNode>(parent, name))
        node->set_text(std::move(text));
}

} // namespace

ContactForm::ContactForm() : Form(kFormName), m_actions(&phone_field_actions()) {}

ContactForm::~ContactForm() = default;

void ContactForm::bind(const ui::Properties& skin, data::ContactStore* store,
                       data::ContactPhotoCache* photos) {
    for (const char16_t* row : {kHead, kField, kSeparator, kGroupSeparator, kButtons})
        if (!skin.find_node(row))
            throw ui::vadode::NodeNotFoundInSkin(WString(row));
    // The old tree goes with the load: nothing may point into it.
    m_cancel = nullptr;
    m_padding = nullptr;
    m_edit_mode = nullptr;
    m_list = nullptr;
    m_menu = nullptr;
    load_form(skin);
    m_cancel = &required<ui::ButtonNode>(*this, u"cancel");
    m_padding = &required<ui::Node>(*this, u"padding");
    m_edit_mode = &required<ui::Multinode>(*this, u"edit_mode");
    m_list = &required<ui::VirtualList>(*this, u"List");
    m_menu = &static_cast<ui::PopupMenu&>(append_child(std::make_unique<ui::PopupMenu>()));
    m_menu->bind(skin);
    m_menu->set_provider(this);
    m_cancel->set_listener(this);
    m_edit_mode->set_listener(this);

    m_skin = &skin;
    m_default_photo = {};
    m_store = store;
    m_photos = photos;
    m_select_field.bind(skin);
    m_edit_field.bind(skin, store);
    m_edit_header.bind(skin, store);
    m_edit_address.bind(skin, store);
    m_edit_date.bind(skin, store);
    m_edit_categories.bind(skin, store);
    m_document.follow();
    m_list->set_adapter(this);
    rebuild();
}

// --- Showing ---------------------------------------------------------------------------

void ContactForm::show(const data::ContactEntry& contact, CardMode mode) {
    show(contact.record, mode);
}

void ContactForm::show(const data::ContactRecord& contact, CardMode mode) {
    log_line() << u"ContactForm::show\n";
    m_shown_at = platform::tick_count();
    m_document.follow();
    m_mode = mode;
    set_contact(contact);
    if (m_list != nullptr)
        m_list->scroll_to_item(0);
    if (FormHost* host = form_host(); host != nullptr && !host->is_shown(*this))
        host->show_form(*this, ShowMode::Push, Animate::Yes);
}

void ContactForm::set_contact(const data::ContactRecord& contact) {
    m_contact = contact;
    sort_fields_by_group(m_contact.fields);
    m_confirming = -1;
    rebuild();
}

void ContactForm::rebuild() {
    m_rows = build_rows(m_contact.fields, m_mode);
    if (m_edit_mode == nullptr)
        return;
    m_edit_mode->show(m_mode == CardMode::Edit ? 1 : 0);
    show_if(m_cancel, m_mode == CardMode::View);
    show_if(m_padding, m_mode == CardMode::Edit);
    m_list->data_changed();
    refresh_rows();
}

void ContactForm::refresh_rows() {
    if (m_list == nullptr)
        return;
    for (ui::ListElement* element : m_list->rows())
        if (element->index() >= 0 && element->index() < item_count())
            bind_element(*element, element->index());
    m_list->mark_redraw();
}

void ContactForm::close() {
    if (FormHost* host = form_host())
        host->close_form(*this, Animate::Yes);
    if (m_menu != nullptr && m_menu->is_open())
        m_menu->close();
    // A card off the stack follows nobody: later messages must not reopen
    // or refill what the user no longer sees.
    m_contact = {};
    m_rows = build_rows({}, m_mode);
    m_confirming = -1;
    if (m_list != nullptr)
        m_list->data_changed();
}

// --- Rows ------------------------------------------------------------------------------

std::int32_t ContactForm::item_count() const {
    return static_cast<std::int32_t>(m_rows.size());
}

std::unique_ptr<ui::ListElement> ContactForm::create_element() {
    return std::make_unique<ui::ListElement>();
}

int ContactForm::field_of_row(std::int32_t row) const {
    if (row < 0 || row >= item_count())
        return -1;
    const int value = m_rows[std::size_t(row)];
    return value >= 0 && std::size_t(value) < m_contact.fields.size() ? value : -1;
}

void ContactForm::bind_element(ui::ListElement& element, std::int32_t index) {
    if (m_skin == nullptr || index < 0 || index >= item_count())
        return;
    const int row = m_rows[std::size_t(index)];
    const WString name = element_name(row);
    if (element.content_name() != name || element.child_count() == 0) {
        if (!load_row(u"ContactForm", *m_skin, element, name))
            return;
        element.set_content_name(name);
        element.find_state_children();
        for (const char16_t* button :
             {u"action", u"sms", u"remove", u"confirm_remove", u"button_choose_photo",
              u"button_remove_photo", u"edit_header", u"new_field", u"delete_contact"})
            if (auto* found = find_as<ui::ButtonNode>(element, button))
                found->set_listener(this);
        if (auto* favorite = find_as<ui::Multinode>(element, u"favorite"))
            favorite->set_listener(this);
        // Rows with buttons take the pen; separators are not selectable.
        element.set_handles_own_presses(row == kHeadRow || row == kButtonsRow || row >= 0);
    }
    if (row == kHeadRow)
        fill_head(element);
    else if (row >= 0)
        fill_field(element, std::size_t(row));
    else if (row == kButtonsRow)
        // A contact never stored has nothing to delete yet.
        show_if(element.find(u"delete_contact"), m_contact.oid != 0);
    if (auto* confirm = find_as<ui::Node>(element, u"confirm_remove"))
        show_if(confirm, m_mode == CardMode::Edit && index == m_confirming);
}

bool ContactForm::has_own_photo() {
    if (m_contact.oid == 0)
        return false;
    if (m_photos != nullptr)
        return m_photos->get(m_contact.oid, 64) != nullptr;
    return m_store != nullptr && m_store->has_picture(m_contact.oid);
}

void ContactForm::fill_head(ui::ListElement& element) {
    const bool edit = m_mode == CardMode::Edit;
    WString first = m_contact.first_name;
    if (first.empty() && m_contact.last_name.empty()) {
        // The title line names the contact: a company-only contact by its
        // company, which also keeps its own line (as in the list), so a long
        // name cut short in the title is still there whole; a contact with
        // nothing at all is unknown.
        first = m_contact.company;
        if (first.empty() && m_skin != nullptr)
            first = m_skin->translate(u"skinUnknown");
    }
    set_text(element, u"firstname", first);
    set_text(element, u"lastname", m_contact.last_name);
    set_text(element, u"company", m_contact.company);
    // Empty lines give their room to the others.
    show_if(element.find(u"firstname"), !first.empty());
    show_if(element.find(u"lastname"), !m_contact.last_name.empty());
    show_if(element.find(u"company"), !m_contact.company.empty());
    show_if(element.find(u"edit_header"), edit);
    // The names end where the pencil begins while it shows.
    if (ui::Node* names = element.find(u"head_names")) {
        const ui::Node* pencil = element.find(u"edit_header");
        const std::int32_t room =
            edit && pencil != nullptr ? pencil->border_max().x + pencil->design_size().width : 0;
        const std::int32_t gap = std::int32_t{8} << (m_skin != nullptr ? m_skin->scale_shift() : 0);
        names->set_borders(names->border_min(), {room + gap, names->border_max().y});
    }

    std::shared_ptr<const ui::Picture> photo;
    if (auto* image = find_as<ui::ImageNode>(element, u"photo")) {
        // The skin's picture, taken from the first head before a photo
        // replaced it, stands in for contacts without one.
        if (!m_default_photo.has_data())
            m_default_photo = image->picture();
        ui::Node* frame = image->parent();
        const std::int32_t size =
            std::max({image->width(), frame != nullptr ? frame->width() : 0,
                      frame != nullptr ? frame->design_size().width : 0, std::int32_t{1}});
        if (m_photos != nullptr && m_contact.oid != 0)
            photo = m_photos->get(m_contact.oid, size);
        image->set_picture(photo != nullptr ? *photo : m_default_photo);
    }
    const bool own = photo != nullptr || (m_photos == nullptr && has_own_photo());
    // A photo belongs to a stored contact: none before its first save.
    const bool stored = m_contact.oid != 0;
    if (auto* choose = find_as<ui::ButtonNode>(element, u"button_choose_photo")) {
        show_if(choose, edit && stored);
        if (m_skin != nullptr)
            choose->set_text(m_skin->translate(own ? u"EditPhoto" : u"AddPhoto"));
    }
    show_if(element.find(u"button_remove_photo"), edit && stored && own);
}

bool ContactForm::is_favorite(data::FieldType type) const {
    const data::ContactEntry* entry =
        m_document != nullptr ? m_document->find_contact(m_contact.oid) : nullptr;
    if (entry == nullptr)
        return false;
    const auto& values = entry->favorite_values;
    return std::find(values.begin(), values.end(), static_cast<std::int32_t>(type)) != values.end();
}

void ContactForm::fill_field(ui::ListElement& element, std::size_t field) {
    const data::ContactField& f = m_contact.fields[field];
    const bool view = m_mode == CardMode::View;
    const bool categories = f.type == data::FieldType::Categories;
    const bool phone = f.kind == data::FieldKind::Phone;
    if (auto* icons = find_as<ui::Multinode>(element, u"icons")) {
        icons->show(icon_state(f.type));
        show_if(icons, view || categories);
    }
    const auto translate = [this](WStringView key) {
        return m_skin != nullptr ? m_skin->translate(key) : WString(key);
    };
    if (categories) {
        log_line() << u"Contact categories value = ---" << f.value << u"---\n";
        for (const WString& piece : data::split_categories(f.value))
            log_line() << u"Found category: ---" << piece << u"---\n";
    }
    set_text(element, u"big", field_text(m_contact.fields, field, translate));
    set_text(element, u"small", translate(field_label_key(f.type)));
    show_if(element.find(u"remove"), !view && !categories);
    show_if(element.find(u"sms"), view && phone);
    if (auto* favorite = find_as<ui::Multinode>(element, u"favorite")) {
        show_if(favorite, phone);
        favorite->show(is_favorite(f.type) ? 1 : 0);
    }
    fit_field_row(element);
}

void ContactForm::fit_field_row(ui::ListElement& element) {
    // The value and the row's own tap take the room the row's buttons leave:
    // an e-mail row without a star has the whole width.
    std::int32_t left = 0;
    std::int32_t right = 0;
    for (const char16_t* name : {u"icons", u"remove"})
        if (const ui::Node* node = element.find(name); node != nullptr && node->is_visible())
            left = std::max(left, node->border_min().x + node->design_size().width);
    for (const char16_t* name : {u"favorite", u"sms"})
        if (const ui::Node* node = element.find(name); node != nullptr && node->is_visible())
            right = std::max(right, node->border_max().x + node->design_size().width);
    const std::int32_t gap = left / 5; // a fifth of the icon's room: the skin's spacing
    for (const char16_t* name : {u"big", u"small"}) {
        if (ui::Node* text = element.find(name))
            text->set_borders({left, text->border_min().y},
                              {std::max(right, gap) + gap, text->border_max().y});
    }
    if (ui::Node* action = element.find(u"action")) {
        // Only the icon's place belongs to the row's tap; a remove button
        // there takes it.
        const ui::Node* remove = element.find(u"remove");
        const std::int32_t action_left = remove != nullptr && remove->is_visible() ? left : 0;
        action->set_borders({action_left, 0}, {right, 0});
    }
}

void ContactForm::element_clicked(ui::VirtualList&, std::int32_t index) {
    // Enter on the focused row does what a tap on it does: act on the
    // field, or open its editor in edit mode. Separators and the head do
    // nothing.
    if (field_of_row(index) >= 0)
        press_row_button(index, RowButton::Action);
}

std::int32_t ContactForm::row_of(ui::Node& node) const {
    for (ui::Node* at = &node; at != nullptr; at = at->parent())
        if (auto* element = dynamic_cast<ui::ListElement*>(at); element && at->parent() == m_list)
            return element->index();
    return -1;
}

// --- Field actions -----------------------------------------------------------------------

void ContactForm::act_on_field(std::size_t field) {
    const data::ContactField& f = m_contact.fields[field];
    if (f.value.empty())
        return;
    switch (f.kind) {
    case data::FieldKind::Phone:
        m_actions->call(f.value);
        break;
    case data::FieldKind::Email:
        m_actions->mail(f.value);
        break;
    case data::FieldKind::Web:
        m_actions->web(f.value);
        break;
    default:
        break;
    }
}

void ContactForm::toggle_favorite(std::size_t field) {
    const data::ContactField& f = m_contact.fields[field];
    if (m_document == nullptr || f.kind != data::FieldKind::Phone)
        return;
    const auto value = static_cast<std::int32_t>(f.type);
    // The Document's broadcast refreshes the star; a change it could not
    // save leaves the star as it was.
    if (is_favorite(f.type))
        m_document->remove_favorite(m_contact.oid, value);
    else
        m_document->add_favorite(m_contact.oid, value);
    show_not_saved(Unsaved::Favorite, m_document->favorites_write_failure());
}

void ContactForm::remove_field(std::int32_t row) {
    const int field = field_of_row(row);
    m_confirming = -1;
    if (field < 0)
        return;
    const std::size_t first = std::size_t(field);
    const std::size_t end = row_field_end(m_contact.fields, first);
    data::ContactRecord changed = m_contact;
    for (std::size_t i = first; i < end; ++i)
        changed.fields[i].value.clear();
    if (m_store == nullptr || !m_store->update_contact(changed)) {
        log_line() << u"ContactForm::remove_field not stored oid=" << m_contact.oid << u"\n";
        if (m_store != nullptr)
            show_not_saved(Unsaved::Contact, m_store->last_write_failure());
        refresh_rows();
        return;
    }
    // The working copy drops the fields now: an editor opened before the
    // store's change notice arrives must not write them back.
    const data::FieldType type = m_contact.fields[first].type;
    m_contact.fields.erase(m_contact.fields.begin() + std::ptrdiff_t(first),
                           m_contact.fields.begin() + std::ptrdiff_t(end));
    rebuild();
    // A starred number takes its favourite with it, saved at once.
    if (m_document != nullptr && is_favorite(type)) {
        m_document->remove_favorite(m_contact.oid, static_cast<std::int32_t>(type));
        show_not_saved(Unsaved::Favorite, m_document->favorites_write_failure());
    }
}

void ContactForm::show_confirm_remove(std::int32_t row, Confirm confirm) {
    if (m_list == nullptr || row < 0)
        return;
    if (ui::ListElement* element = m_list->element_for(row))
        if (ui::Node* button = element->find(u"confirm_remove"))
            button->set_visible_animated(confirm == Confirm::Show);
}

void ContactForm::press_row_button(std::int32_t row, RowButton button) {
    const int field = field_of_row(row);
    if (field < 0)
        return;
    const data::ContactField& f = m_contact.fields[std::size_t(field)];
    switch (button) {
    case RowButton::Action:
        if (m_mode == CardMode::View)
            act_on_field(std::size_t(field));
        else
            edit_field(std::size_t(field));
        break;
    case RowButton::Sms:
        if (m_mode == CardMode::View && f.kind == data::FieldKind::Phone && !f.value.empty())
            m_actions->message(f.value);
        break;
    case RowButton::Favorite:
        toggle_favorite(std::size_t(field));
        break;
    case RowButton::Remove:
        if (m_mode == CardMode::Edit && f.type != data::FieldType::Categories) {
            // One question at a time: the row asked before loses its
            // button, which would no longer do anything.
            const std::int32_t previous = m_confirming;
            m_confirming = row;
            if (previous != row)
                show_confirm_remove(previous, Confirm::Hide);
            show_confirm_remove(row, Confirm::Show);
        }
        break;
    case RowButton::ConfirmRemove:
        if (m_mode == CardMode::Edit && row == m_confirming)
            remove_field(row);
        break;
    }
}

// --- Buttons, keys and the menu -------------------------------------------------------------

void ContactForm::on_click(ui::ButtonNode& button) {
    if (&button == m_cancel) {
        log_line() << u"ContactForm::on_click_broadcast cancel "
                   << (platform::tick_count() - m_shown_at) << u"\n";
        close();
        return;
    }
    if (button.parent() == m_edit_mode) {
        // The way into edit mode and back.
        m_mode = m_mode == CardMode::View ? CardMode::Edit : CardMode::View;
        m_confirming = -1;
        rebuild();
        return;
    }
    const std::int32_t row = row_of(button);
    const WString& name = button.name();
    ui::Node* parent = button.parent();
    if (parent != nullptr && parent->name() == u"favorite")
        press_row_button(row, RowButton::Favorite);
    else if (name == u"action")
        press_row_button(row, RowButton::Action);
    else if (name == u"sms")
        press_row_button(row, RowButton::Sms);
    else if (name == u"remove")
        press_row_button(row, RowButton::Remove);
    else if (name == u"confirm_remove")
        press_row_button(row, RowButton::ConfirmRemove);
    else if (name == u"delete_contact")
        ask_delete();
    else if (name == u"button_choose_photo")
        m_menu->open(u"EditPhoto");
    else if (name == u"button_remove_photo")
        remove_photo();
    else if (name == u"edit_header")
        edit_header();
    else if (name == u"new_field")
        add_field();
}

// --- Editors ---------------------------------------------------------------------------------

void ContactForm::edit_field(std::size_t field) {
    open_editor(m_contact.fields[field].type);
}

void ContactForm::open_editor(data::FieldType type) {
    if (type == data::FieldType::Birthday)
        m_edit_date.show(m_contact, this);
    else if (type == data::FieldType::Categories)
        m_edit_categories.show(m_contact, this);
    else if (is_address(data::kind_of(type)))
        m_edit_address.show(m_contact, type, this);
    else
        m_edit_field.show(m_contact, type, this);
}

void ContactForm::edit_header() {
    if (m_mode == CardMode::Edit)
        m_edit_header.show(m_contact, this);
}

void ContactForm::add_field() {
    if (m_mode == CardMode::Edit)
        m_select_field.show(&m_contact, *this, FieldChoice::All);
}

void ContactForm::on_field_kind_chosen(const data::ContactRecord* contact, data::FieldType type) {
    // A choice made for another contact (the card moved on) changes nothing.
    if (contact != nullptr && contact->oid != m_contact.oid)
        return;
    on_contact_field_selected(type);
}

void ContactForm::on_contact_field_selected(data::FieldType type) {
    {
        runtime::LogStream& line = log_line() << u"ContactForm::on_contact_field_selected ";
        for (const data::ContactField& f : m_contact.fields)
            line << static_cast<std::uint32_t>(f.type) << u" ";
        line << u"\n";
    }
    // An address is edited whole: the chooser names its first part, which
    // stands for the row until something is typed.
    if (m_contact.field(type) == nullptr) {
        m_contact.fields.emplace_back(type, WString());
        sort_fields_by_group(m_contact.fields);
        rebuild();
    }
    open_editor(type);
}

void ContactForm::on_contact_edited(data::ContactRecord& contact) {
    // The store's change notice refills the card later; show the edit now.
    if (&contact != &m_contact)
        return;
    // A field left empty (a kind chosen, nothing typed) is not kept by the
    // store either: no empty row for it. Categories always has its row.
    std::erase_if(m_contact.fields, [](const data::ContactField& f) {
        return f.value.empty() && f.type != data::FieldType::Categories;
    });
    sort_fields_by_group(m_contact.fields);
    m_confirming = -1;
    rebuild();
}

bool ContactForm::on_key(const ui::KeyEvent& event) {
    log_line() << u"ContactForm::on_key()\n";
    if (event.code == ui::key::Left && m_cancel != nullptr && m_cancel->is_visible()) {
        // Left is the way back: it works the back button, press and release.
        if (!event.pressed)
            on_click(*m_cancel);
        return true;
    }
    return Form::on_key(event);
}

void ContactForm::ask_delete() {
    if (m_menu != nullptr && m_contact.oid != 0)
        m_menu->open(u"ConfirDeleteContact");
}

void ContactForm::on_menu(ui::PopupMenu&, WStringView key, ui::ChoiceMenu& items) {
    if (key == u"ConfirDeleteContact") {
        add_menu_item(items, u"ReallyDelete", Checked::No, u"MenuElementRed");
        add_menu_item(items, u"Cancel");
    } else if (key == u"ReallyDelete") {
        delete_contact();
    } else if (key == u"EditPhoto") {
        if (!has_own_photo()) {
            choose_photo();
            return;
        }
        add_menu_item(items, u"ChoosePhoto");
        add_menu_item(items, u"RemovePhoto", Checked::No, u"MenuElementRed");
        add_menu_item(items, u"Cancel");
    } else if (key == u"ChoosePhoto") {
        choose_photo();
    } else if (key == u"RemovePhoto") {
        remove_photo();
    }
}

void ContactForm::delete_contact() {
    const std::uint32_t oid = m_contact.oid;
    if (oid == 0 || m_store == nullptr || !m_store->delete_contact(oid)) {
        // Nothing was deleted: the card stays, with the contact still there.
        log_line() << u"ContactForm::delete_contact failed oid=" << oid << u"\n";
        if (m_store != nullptr && oid != 0)
            show_not_saved(Unsaved::Contact, m_store->last_write_failure());
        return;
    }
    log_line() << u"ContactForm::delete_contact oid=" << oid << u"\n";
    if (m_photos != nullptr)
        m_photos->invalidate(oid);
    // The Document drops the contact at once (its later store notice finds
    // nothing left to do); the removal message closes this card.
    if (m_document != nullptr)
        m_document->on_contact_removed(oid);
    if (m_contact.oid == oid)
        close();
}

void ContactForm::choose_photo() {
    if (m_store == nullptr || m_contact.oid == 0)
        return;
    const WString path = m_store->choose_picture();
    if (path.empty()) {
        // Cancelled is nothing to say; no chooser at all is.
        if (m_store->picture_chooser_missing())
            show_notice(u"skinNoPictureChooser");
        return;
    }
    if (!m_store->set_picture_file(m_contact, to_utf8(path))) {
        // A picture that was fine but could not be stored says why.
        if (m_store->last_write_failure() != data::WriteFailure::none)
            show_not_saved(Unsaved::Contact, m_store->last_write_failure());
        else
            show_notice(u"skinPictureNotUsable");
        return;
    }
    if (m_photos != nullptr)
        m_photos->invalidate(m_contact.oid);
    refresh_rows();
}

void ContactForm::remove_photo() {
    if (m_store == nullptr || m_contact.oid == 0)
        return;
    if (!m_store->set_picture(m_contact, {})) {
        show_not_saved(Unsaved::Contact, m_store->last_write_failure());
        return;
    }
    if (m_photos != nullptr)
        m_photos->invalidate(m_contact.oid);
    refresh_rows();
}

// --- The Document ------------------------------------------------------------------------------

void ContactForm::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    const std::uint32_t oid = m_contact.oid;
    if (oid == 0 || message.slot(data::RefreshSlot::ContactOid) != oid)
        return;
    if (message.has(RefreshFlag::ContactRemoved)) {
        close();
    } else if (message.has(RefreshFlag::ContactChanged)) {
        if (const data::ContactEntry* entry =
                m_document != nullptr ? m_document->find_contact(oid) : nullptr) {
            if (m_photos != nullptr)
                m_photos->invalidate(oid);
            set_contact(entry->record);
        }
    } else if (message.has(RefreshFlag::FavoriteAdded) ||
               message.has(RefreshFlag::FavoriteRemoved)) {
        refresh_rows();
    }
}

} // namespace telvara::forms
