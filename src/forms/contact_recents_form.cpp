// The calls of one contact or number: the rows, the edit switch with its
// menu, delete mode and the deletions.
#include "forms/contact_recents_form.h"

#include "forms/menu_items.h"

#include "data/contact_entry.h"
#include "data/contact_photo.h"
#include "forms/form_host.h"
#include "forms/recents_list_element.h"
#include "forms/required_node.h"
#include "phone/call_log.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/image_node.h"
#include "ui/multinode.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>
#include <array>
#include <memory>

namespace telvara::forms {

namespace {

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

void set_text(ui::Node& element, WStringView name, WStringView text) {
    if (auto* node = dynamic_cast<ui::TextNode*>(element.find(name)); node && node->text() != text)
        node->set_text(WString(text));
}

// A row whose buttons take their own presses and whose other parts are a
// tap on the row (told to the form for call rows).
class CallRow final : public ui::ListElement {
  public:
    explicit CallRow(ContactRecentsForm& form) : m_form(&form) { set_handles_own_presses(true); }

    bool on_touch(const ui::PointerEvent& event) override {
        if (event.kind == ui::PointerKind::Down) {
            m_row_pressed = !ui::ListElement::on_touch(event);
            return true;
        }
        if (!m_row_pressed) {
            ui::ListElement::on_touch(event);
            return true;
        }
        if (event.kind == ui::PointerKind::Move)
            return true;
        m_row_pressed = false;
        if (!event.cancelled && hit_test({event.x, event.y}))
            m_form->row_tapped(index());
        return true;
    }

  private:
    ContactRecentsForm* m_form;
    bool m_row_pressed = false;
};

} // namespace

ContactRecentsForm::ContactRecentsForm() : Form(WString(kSkinName)) {}

ContactRecentsForm::~ContactRecentsForm() = default;

void ContactRecentsForm::bind(const ui::Properties& skin, RecentsCaller& caller,
                              phone::CallLog* call_log, data::ContactPhotoCache* photos) {
    for (const char16_t* row : {kHeadName, kCallName})
        if (!skin.find_node(row))
            throw ui::vadode::NodeNotFoundInSkin(WString(row));
    // The old tree goes with the load: nothing may point into it.
    m_cancel = nullptr;
    m_padding = nullptr;
    m_edit_mode = nullptr;
    m_list = nullptr;
    m_calls_empty = nullptr;
    m_title = nullptr;
    m_menu = nullptr;
    load_form(skin);
    m_cancel = &required<ui::ButtonNode>(*this, u"cancel");
    m_padding = &required<ui::Node>(*this, u"padding");
    m_edit_mode = &required<ui::Multinode>(*this, u"edit_mode");
    m_list = &required<ui::VirtualList>(*this, u"List");
    m_calls_empty = dynamic_cast<ui::TextNode*>(find(u"calls_empty"));
    m_title = dynamic_cast<ui::TextNode*>(find(u"calls_title"));
    m_menu = &static_cast<ui::PopupMenu&>(append_child(std::make_unique<ui::PopupMenu>()));
    m_menu->bind(skin);
    m_menu->set_provider(this);
    m_cancel->set_listener(this);
    m_edit_mode->set_listener(this);

    m_skin = &skin;
    m_words = recent_words([&skin](WStringView key) { return skin.translate(key); });
    m_caller = &caller;
    m_call_log = call_log;
    m_photos.set_source(photos);
    m_photos.clear();
    m_default_photo = {};
    m_document.follow();
    m_list->set_adapter(this);
    set_edit_mode(0);
    rebuild();
}

// --- Showing ------------------------------------------------------------------------------

void ContactRecentsForm::show_for_contact(const data::ContactRecord& contact) {
    m_contact = contact;
    m_number.clear();
    m_number_bound = false;
    show();
}

void ContactRecentsForm::show_for_number(WStringView number) {
    m_contact = {};
    m_number.assign(number);
    m_number_bound = true;
    show();
}

void ContactRecentsForm::show() {
    m_document.follow();
    // The photo may have changed since the last showing.
    m_photos.clear();
    set_edit_mode(0);
    rebuild();
    if (FormHost* host = form_host(); host != nullptr && !host->is_shown(*this))
        host->show_form(*this, ShowMode::Push, Animate::Yes);
}

bool ContactRecentsForm::belongs(const data::RecentCall& call) const {
    if (m_number_bound)
        return call.call.number == m_number;
    // An empty contact (oid 0) would otherwise take every unknown number.
    return m_contact.oid != 0 && call.oid == m_contact.oid;
}

void ContactRecentsForm::rebuild() {
    m_entries.clear();
    if (m_document != nullptr) {
        const auto& calls = m_document->recent_calls();
        for (std::size_t i = calls.size(); i-- > 0;)
            if (belongs(calls.at(i)) && passes(m_filter, calls.at(i).call.kind))
                m_entries.insert(m_entries.begin(), i);
    }
    if (m_list != nullptr) {
        m_list->data_changed();
        m_list->scroll_to_item(0);
    }
    if (m_calls_empty != nullptr) {
        m_calls_empty->set_visible(m_entries.empty());
        if (m_entries.empty() && m_skin != nullptr)
            m_calls_empty->set_text(m_skin->translate(empty_calls_key(m_filter)));
    }
    // The title says which calls the filter shows.
    if (m_title != nullptr && m_skin != nullptr)
        m_title->set_text(m_skin->translate(recents_title_key(m_filter)));
}

// --- Rows ---------------------------------------------------------------------------------

std::int32_t ContactRecentsForm::item_count() const {
    return static_cast<std::int32_t>(m_entries.size()) + 1;
}

std::unique_ptr<ui::ListElement> ContactRecentsForm::create_element() {
    return std::make_unique<CallRow>(*this);
}

void ContactRecentsForm::bind_element(ui::ListElement& element, std::int32_t index) {
    if (m_skin == nullptr || index < 0 || index >= item_count())
        return;
    const WString name(index == 0 ? kHeadName : kCallName);
    bool first_fill = false;
    if (element.content_name() != name || element.child_count() == 0) {
        if (!load_row(u"ContactRecentsForm", *m_skin, element, name))
            return;
        element.set_content_name(name);
        element.find_state_children();
        if (auto* remove = dynamic_cast<ui::ButtonNode*>(element.find(u"remove")))
            remove->set_listener(this);
        first_fill = true;
    }
    if (index == 0)
        fill_head(element);
    else
        fill_call(element, m_entries[static_cast<std::size_t>(index - 1)], !first_fill);
}

void ContactRecentsForm::fill_head(ui::ListElement& element) {
    if (auto* image = dynamic_cast<ui::ImageNode*>(element.find(u"photo"))) {
        if (!m_default_photo.has_data())
            m_default_photo = image->picture();
        show_photo(*image, m_default_photo, m_photos, m_number_bound ? 0 : m_contact.oid);
    }
    const WStringView first = m_number_bound ? WStringView(m_number) : m_contact.first_name;
    const WStringView last = m_number_bound ? WStringView() : m_contact.last_name;
    const WStringView company = m_number_bound ? WStringView() : m_contact.company;
    // Empty lines give their room to the others, which stay centred.
    const std::array<std::pair<const char16_t*, WStringView>, 3> lines = {
        {{u"firstname", first}, {u"lastname", last}, {u"company", company}}};
    for (const auto& [name, text] : lines) {
        set_text(element, name, text);
        if (ui::Node* node = element.find(name);
            node != nullptr && node->is_visible() == text.empty())
            node->set_visible(!text.empty());
    }
}

void ContactRecentsForm::fill_call(ui::ListElement& element, std::size_t entry, bool animate) {
    if (m_document == nullptr || entry >= m_document->recent_calls().size())
        return;
    const data::CallRecord& call = m_document->recent_calls().at(entry).call;
    set_text(element, u"phone", call.number);
    // Each call with its time of day; a call never talked has no length.
    WString info = recent_moment_text(call.time, m_today(), m_words);
    if (const WString duration = recent_call_duration_text(call); !duration.empty())
        info += u" \u00B7 " + duration;
    set_text(element, u"call_info", info);
    if (ui::Node* direction = element.find(u"direction")) {
        static constexpr std::array<const char16_t*, kDirectionStates> kLooks = {
            u"state0", u"state1", u"state2", u"state3", u"state4"};
        const int state = direction_state(call.kind);
        for (std::size_t i = 0; i < kLooks.size(); ++i)
            if (ui::Node* look = direction->find(kLooks[i]))
                look->set_visible(static_cast<int>(i) == state);
    }
    if (ui::Node* remove = element.find(u"remove")) {
        if (animate)
            remove->set_visible_animated(m_delete_mode);
        else
            remove->set_visible(m_delete_mode);
    }
    if (ui::Node* marked = element.find(u"marked"))
        marked->set_visible(m_delete_mode && is_marked_call(call));
}

void ContactRecentsForm::refresh_rows() {
    if (m_list == nullptr)
        return;
    for (ui::ListElement* element : m_list->rows())
        if (element->index() >= 0)
            bind_element(*element, element->index());
    m_list->mark_redraw();
}

std::int32_t ContactRecentsForm::row_of(ui::Node& node) const {
    for (ui::Node* at = &node; at != nullptr; at = at->parent())
        if (auto* element = dynamic_cast<ui::ListElement*>(at); element && at->parent() == m_list)
            return element->index();
    return -1;
}

void ContactRecentsForm::element_clicked(ui::VirtualList&, std::int32_t index) {
    row_tapped(index);
}

void ContactRecentsForm::row_tapped(std::int32_t index) {
    if (index <= 0 || index >= item_count() || m_document == nullptr)
        return;
    const std::size_t entry = m_entries[static_cast<std::size_t>(index - 1)];
    if (entry >= m_document->recent_calls().size())
        return;
    const data::CallRecord& call = m_document->recent_calls().at(entry).call;
    if (!m_delete_mode) {
        if (m_caller != nullptr)
            m_caller->on_call_recent(call.number);
        return;
    }
    // Delete mode is for choosing what goes: a tap marks, a second unmarks.
    const CallId id{call.number, call.time};
    if (const auto found = std::find(m_marked.begin(), m_marked.end(), id); found != m_marked.end())
        m_marked.erase(found);
    else
        m_marked.push_back(id);
    refresh_rows();
}

bool ContactRecentsForm::is_marked_call(const data::CallRecord& call) const {
    return std::find(m_marked.begin(), m_marked.end(), CallId{call.number, call.time}) !=
           m_marked.end();
}

bool ContactRecentsForm::is_marked(std::int32_t index) const {
    if (index <= 0 || index >= item_count() || m_document == nullptr)
        return false;
    const std::size_t entry = m_entries[static_cast<std::size_t>(index - 1)];
    return entry < m_document->recent_calls().size() &&
           is_marked_call(m_document->recent_calls().at(entry).call);
}

void ContactRecentsForm::delete_marked() {
    std::vector<std::size_t> marked;
    if (m_document != nullptr)
        for (std::size_t entry : m_entries)
            if (is_marked_call(m_document->recent_calls().at(entry).call))
                marked.push_back(entry);
    m_marked.clear();
    if (!marked.empty())
        delete_entries(std::move(marked));
}

// --- Edit switch, buttons and menu ------------------------------------------------------------

void ContactRecentsForm::set_edit_mode(int look) {
    if (look == 0 && m_delete_mode) {
        m_delete_mode = false;
        refresh_rows();
    }
    // Marks live only as long as the delete mode they were made in.
    if (!m_delete_mode)
        m_marked.clear();
    if (m_edit_mode != nullptr)
        m_edit_mode->show(look == 0 ? 0 : 1);
    if (m_padding != nullptr)
        m_padding->set_visible(m_delete_mode);
    if (m_cancel != nullptr)
        m_cancel->set_visible(!m_delete_mode);
}

void ContactRecentsForm::on_click(ui::ButtonNode& button) {
    if (&button == m_cancel) {
        if (FormHost* host = form_host())
            host->close_form(*this, Animate::Yes);
        return;
    }
    if (m_edit_mode != nullptr && button.parent() == m_edit_mode) {
        edit_switch_tapped();
        return;
    }
    if (button.name() == u"remove" && m_delete_mode) {
        const std::int32_t row = row_of(button);
        if (row > 0 && row < item_count())
            delete_entries({m_entries[static_cast<std::size_t>(row - 1)]});
    }
}

void ContactRecentsForm::edit_switch_tapped() {
    if (m_edit_mode == nullptr)
        return;
    if (m_edit_mode->current() == 0) {
        set_edit_mode(1);
        if (m_menu != nullptr)
            m_menu->open(u"MainMenu");
        return;
    }
    // The check mark ends delete mode and confirms the calls marked in it.
    if (m_delete_mode)
        delete_marked();
    set_edit_mode(0);
}

void ContactRecentsForm::on_menu(ui::PopupMenu&, WStringView key, ui::ChoiceMenu& items) {
    RecentsFilter chosen = m_filter;
    if (key == u"MainMenu") {
        add_menu_item(items, u"menuFilter");
        add_menu_item(items, u"menuDelete");
        add_menu_item(items, u"menuDeleteAll");
        add_menu_item(items, u"Cancel");
    } else if (key == u"menuFilter") {
        add_filter_items(items, m_filter);
    } else if (filter_for_key(key, chosen)) {
        m_filter = chosen;
        rebuild();
        set_edit_mode(0);
    } else if (key == u"menuDelete") {
        m_delete_mode = true;
        set_edit_mode(1);
        refresh_rows();
    } else if (key == u"menuDeleteAll") {
        add_menu_item(items, u"ReallyDelete", Checked::No, u"MenuElementRed");
        add_menu_item(items, u"Cancel");
    } else if (key == u"ReallyDelete") {
        delete_entries(m_entries);
        set_edit_mode(0);
    } else {
        set_edit_mode(0);
    }
}

void ContactRecentsForm::delete_entries(std::vector<std::size_t> indexes) {
    if (m_call_log == nullptr || m_document == nullptr) {
        log_line() << u"ContactRecentsForm::delete_entries no call log\n";
        return;
    }
    const std::size_t deleted = m_call_log->delete_call_log_entries(*m_document, indexes);
    log_line() << u"ContactRecentsForm::delete_entries " << static_cast<std::uint32_t>(deleted)
               << u"\n";
    rebuild();
}

void ContactRecentsForm::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    // Every change of the calls moves indexes: the entries are made again.
    if (message.has(RefreshFlag::RecentAdded) || message.has(RefreshFlag::RecentsReplaced) ||
        message.has(RefreshFlag::RecentsComplete)) {
        rebuild();
        return;
    }
    if (message.has(RefreshFlag::RecentChanged))
        refresh_rows();
}

} // namespace telvara::forms
