// The editors' common behaviour (opening on the working copy, leaving through
// "cancel" with the store write, following the Document) and the one-field
// editor.
#include "forms/edit_field_form.h"
#include "forms/write_notice.h"

#include "data/contact_entry.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "forms/contact_card_rows.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/properties.h"
#include "ui/text_input_service.h"
#include "ui/text_node.h"

#include <algorithm>
#include <vector>

namespace telvara::forms {

namespace {

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

// Whether a contact never stored has anything worth creating it for.
bool has_content(const data::ContactRecord& contact) {
    if (!contact.first_name.empty() || !contact.last_name.empty() || !contact.company.empty())
        return true;
    return std::any_of(contact.fields.begin(), contact.fields.end(),
                       [](const data::ContactField& f) { return !f.value.empty(); });
}

} // namespace

data::ContactField& field_of(data::ContactRecord& contact, data::FieldType type) {
    auto found = std::find_if(contact.fields.begin(), contact.fields.end(),
                              [type](const data::ContactField& f) { return f.type == type; });
    if (found != contact.fields.end())
        return *found;
    return contact.fields.emplace_back(type, WString());
}

// --- ContactEditorForm -------------------------------------------------------------------

ContactEditorForm::ContactEditorForm(WString skin_name) : Form(std::move(skin_name)) {}

void ContactEditorForm::bind(const ui::Properties& skin, data::ContactStore* store) {
    // The old tree goes with the load: nothing may point into it.
    m_cancel = nullptr;
    load_form(skin);
    m_cancel = &required<ui::ButtonNode>(*this, u"cancel");
    m_cancel->set_listener(this);
    // The boxes' binding may read the skin (row elements of a list).
    m_skin = &skin;
    m_store = store;
    bind_boxes();
    m_document.follow();
}

void ContactEditorForm::open(data::ContactRecord& contact, ContactEditListener* listener) {
    m_document.follow();
    m_contact = &contact;
    m_oid = contact.oid;
    m_listener = listener;
    fill(contact);
    if (FormHost* host = form_host(); host != nullptr && !host->is_shown(*this))
        host->show_form(*this, ShowMode::Push, Animate::Yes);
    // Typing goes straight into the first box.
    if (ui::LabelEditNode* box = first_box())
        box->edit().take_focus();
}

void ContactEditorForm::forget() {
    if (ui::LabelEditNode* box = first_box(); m_contact != nullptr && box != nullptr)
        ui::TextInputService::instance().release(box->edit());
    m_contact = nullptr;
    m_listener = nullptr;
    m_oid = 0;
}

void ContactEditorForm::leave() {
    if (m_contact == nullptr)
        return;
    // The boxes may have the focus; the typed text is in them already.
    ui::TextInputService::instance().drop_focus();
    write_back(*m_contact);
    if (!store_contact()) {
        log_line() << log_name() << u"::leave not stored oid=" << m_oid << u"\n";
        const data::WriteFailure failure =
            m_store != nullptr ? m_store->last_write_failure() : data::WriteFailure::other;
        show_not_saved(Unsaved::Contact, failure);
        // A volume that took nothing (full, read-only, damaged): a stored
        // contact shows what the store still holds; a new one keeps what was
        // typed, so that it can be saved once there is room.
        data::ContactRecord stored;
        stored.oid = m_oid;
        if (failure != data::WriteFailure::other && m_oid != 0 && m_store->read_contact(stored))
            *m_contact = std::move(stored);
    }
    // After the store: a contact created just now shows with its oid and
    // the fields the store added.
    if (m_listener != nullptr)
        m_listener->on_contact_edited(*m_contact);
    forget();
    if (FormHost* host = form_host())
        host->close_form(*this, Animate::Yes);
}

void ContactEditorForm::close() {
    if (m_contact != nullptr)
        ui::TextInputService::instance().drop_focus();
    forget();
    if (FormHost* host = form_host())
        host->close_form(*this, Animate::Yes);
}

bool ContactEditorForm::store_contact() {
    if (m_store == nullptr || m_contact == nullptr)
        return false;
    if (m_contact->oid != 0)
        return m_store->update_contact(*m_contact);
    // A new contact left empty is abandoned, not stored nameless: nothing
    // to do is no failure.
    if (!has_content(*m_contact))
        return true;
    // A contact never stored has nothing to update: it is created, and the
    // working copy learns its oid so the next write updates it.
    data::ContactRecord created = *m_contact;
    if (!m_store->create_contact(created))
        return false;
    // The created record has the oid and the empty Categories field the
    // store gives every contact.
    m_oid = created.oid;
    *m_contact = std::move(created);
    return true;
}

void ContactEditorForm::on_click(ui::ButtonNode& button) {
    if (&button == m_cancel)
        leave();
    else if (m_contact != nullptr)
        on_button(button);
}

bool ContactEditorForm::on_key(const ui::KeyEvent& event) {
    // Left is the way back, as on the card: it leaves (and saves).
    const ui::LabelEditNode* box = first_box();
    if (event.code == ui::key::Left && m_contact != nullptr &&
        (box == nullptr || !box->edit().has_focus())) {
        if (!event.pressed)
            leave();
        return true;
    }
    return Form::on_key(event);
}

void ContactEditorForm::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    if (m_contact == nullptr || m_oid == 0 || message.slot(data::RefreshSlot::ContactOid) != m_oid)
        return;
    if (message.has(RefreshFlag::ContactRemoved)) {
        // Nothing left to save into.
        close();
    } else if (message.has(RefreshFlag::ContactChanged)) {
        const std::uint32_t started = platform::tick_count();
        log_line() << log_name() << u"::on_document_refresh() - 1\n";
        if (const data::ContactEntry* entry =
                m_document ? m_document->find_contact(m_oid) : nullptr)
            refill(entry->record);
        log_line() << log_name() << u"::on_document_refresh() - 2 = "
                   << (platform::tick_count() - started) << u"\n";
    }
}

// --- EditFieldForm ---------------------------------------------------------------------------

EditFieldForm::EditFieldForm() : ContactEditorForm(u"EditFieldForm") {}

void EditFieldForm::bind_boxes() {
    m_box = &required<ui::LabelEditNode>(*this, u"label_edit");
}

void EditFieldForm::show(data::ContactRecord& contact, data::FieldType type,
                         ContactEditListener* listener) {
    m_type = type;
    field_of(contact, type);
    open(contact, listener);
}

void EditFieldForm::fill(const data::ContactRecord& contact) {
    // A category name is typed new: it is added to those the contact has.
    // The title, when the skin has one, names the field.
    if (auto* title = dynamic_cast<ui::TextNode*>(find(u"title")); title && skin())
        title->set_text(skin()->translate(field_label_key(m_type)));
    const data::ContactField* field = contact.field(m_type);
    m_box->set_text(m_type == data::FieldType::Categories || field == nullptr ? WString()
                                                                              : field->value);
}

void EditFieldForm::refill(const data::ContactRecord& stored) {
    if (m_type == data::FieldType::Categories)
        return;
    const data::ContactField* field = stored.field(m_type);
    m_box->set_text(field != nullptr ? field->value : WString());
}

void EditFieldForm::write_back(data::ContactRecord& contact) {
    data::ContactField& field = field_of(contact, m_type);
    if (m_type != data::FieldType::Categories) {
        field.value = m_box->text();
        return;
    }
    const WString& typed = m_box->text();
    if (typed.empty())
        return;
    // No leading separator on a contact without categories.
    if (!field.value.empty())
        field.value += u", ";
    field.value += typed;
}

} // namespace telvara::forms
