// The contacts list: binding, rows, ruler letters and the refresh messages.
#include "forms/contact_selector_container.h"

#include "data/document.h"
#include "data/text_case.h"
#include "forms/contacts_list_element.h"
#include "forms/form.h"
#include "forms/recents_list_element.h"
#include "phone/call_log.h"
#include "phone/phone_manager.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kRootName[] = u"ContactSelectorContainer";

// The upper-case form of a lower-case letter, or nothing for characters that
// have none (digits, signs, scripts without case). The sort keys are
// lower-cased by one fixed table; its pairs lie 32 apart (Latin, Greek,
// Cyrillic), 80 apart (Cyrillic with marks) or next to each other
// (extended Latin).
std::optional<char16_t> upper_of(char16_t lower) {
    for (int distance : {32, 80, 1}) {
        if (lower < distance)
            continue;
        const auto upper = static_cast<char16_t>(lower - distance);
        if (upper != lower && data::to_lower(upper) == lower)
            return upper;
    }
    return std::nullopt;
}

template <class T> T& need(ui::Node* parent, WStringView parent_name, WStringView name) {
    T* found = parent ? dynamic_cast<T*>(parent->find(name)) : nullptr;
    if (found == nullptr)
        throw ui::vadode::NodeNotFound(WString(parent_name), WString(name));
    return *found;
}

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

std::int64_t local_today() {
    return local_day_number(phone::to_local_file_time(phone::file_time_now()));
}

} // namespace

WString index_letter(const data::ContactEntry& entry, data::SortMode mode) {
    static constexpr std::size_t kLeadingKey[3] = {0, 1, 2};
    const WString& key = entry.sort_keys[kLeadingKey[static_cast<std::size_t>(mode) % 3]];
    if (key.empty())
        return u"#";
    if (const auto upper = upper_of(key.front()))
        return WString(1, *upper);
    return u"#";
}

ContactSelectorContainer::ContactSelectorContainer() = default;

ContactSelectorContainer::~ContactSelectorContainer() = default;

void ContactSelectorContainer::bind(ui::Node& host, const ui::Properties& skin,
                                    ContactListListener& listener) {
    // Everything is found before anything is kept, so a throw leaves the
    // previous binding as it was.
    ui::Node* root = host.find(kRootName);
    if (root == nullptr)
        throw ui::vadode::NodeNotFound(host.name(), kRootName);
    auto& list = need<ui::VirtualList>(root, kRootName, u"ContactsList");
    auto& top = need<ui::Node>(root, kRootName, u"top");
    auto& category = need<ui::ButtonNode>(root, kRootName, u"btnCategory");
    auto& title = need<ui::TextNode>(root, kRootName, u"title");
    auto& add = need<ui::ButtonNode>(root, kRootName, u"btnAddContact");
    // The ruler may sit beside the container in the host.
    auto* ruler = dynamic_cast<ui::AlphabetRuler*>(root->find(u"ContactsListRuler"));
    if (ruler == nullptr)
        ruler = &need<ui::AlphabetRuler>(&host, host.name(), u"ContactsListRuler");
    auto& hint = need<ui::Node>(ruler, u"ContactsListRuler", u"hint");
    check_row_skin(skin);
    bool compact_rows = false;
    try {
        check_row_skin(skin, ContactsListElement::kCompactSkinName);
        compact_rows = true;
    } catch (const std::exception&) {
        // No lower row in this skin: search results keep the regular one.
    }

    m_skin = &skin;
    m_listener = &listener;
    m_root = root;
    m_list = &list;
    m_top = &top;
    m_category = &category;
    m_title = &title;
    m_add = &add;
    m_ruler = ruler;
    m_hint = &hint;
    m_keypad_add = dynamic_cast<ui::ButtonNode*>(host.find(u"button_add"));
    m_matches = dynamic_cast<ui::TextNode*>(host.find(u"text_matches"));
    m_has_compact_rows = compact_rows;
    m_row_style = RowStyle::Regular;
    m_category->set_listener(this);
    m_add->set_listener(this);
    if (m_keypad_add != nullptr)
        m_keypad_add->set_listener(this);
    m_ruler->set_listener(this);
    m_hint->set_visible(false);

    m_document.follow();
    if (m_document != nullptr)
        set_title(skin.translate(m_document->category()));
    update_letters();
    update_match_count();
    m_list->set_adapter(this);
    m_list->data_changed();
}

void ContactSelectorContainer::set_row_style(RowStyle style) {
    if (style == m_row_style)
        return;
    m_row_style = style;
    if (m_list != nullptr)
        m_list->set_adapter(this);
}

void ContactSelectorContainer::update_match_count() {
    if (m_matches == nullptr)
        return;
    const bool searching = m_document != nullptr && !m_document->filter_words().empty();
    m_matches->set_visible(searching);
    if (!searching || m_skin == nullptr)
        return;
    const std::size_t count = m_document->filtered_count();
    WString text = m_skin->translate(count == 0 ? u"skinFoundNone" : u"skinFoundCount");
    if (const auto at = text.find(u"%1"); at != WString::npos)
        text.replace(at, 2, to_wstring(count));
    m_matches->set_text(std::move(text));
}

void ContactSelectorContainer::set_title(WStringView text) {
    if (m_title != nullptr)
        m_title->set_text(WString(text));
}

void ContactSelectorContainer::show_category_button() {
    if (m_category != nullptr)
        m_category->set_visible(true);
}

void ContactSelectorContainer::hide_category_button() {
    if (m_category != nullptr)
        m_category->set_visible(false);
}

namespace {

// The ruler letter of a lower-case leading character: its upper case, or
// "#" for digits, signs and characters without case. Capitals that look
// alike in two scripts are one letter (Cyrillic "А" is "A").
char16_t letter_of(char16_t lead) {
    if (lead == 0)
        return u'#';
    const auto upper = upper_of(lead);
    return upper ? ui::ruler_shape(*upper) : u'#';
}

} // namespace

void ContactSelectorContainer::update_letters() {
    if (m_ruler == nullptr)
        return;
    std::vector<WString> letters;
    if (m_document != nullptr) {
        // A letter that comes back later (a sign sorted among letters) is
        // not offered twice.
        for (char16_t lead : m_document->leads()) {
            const WString letter(1, letter_of(lead));
            if (std::find(letters.begin(), letters.end(), letter) == letters.end())
                letters.push_back(letter);
        }
    }
    m_ruler->set_letters(std::move(letters));
}

// --- List -------------------------------------------------------------------------

std::int32_t ContactSelectorContainer::item_count() const {
    if (m_document == nullptr)
        return 0;
    return static_cast<std::int32_t>(m_document->filtered_count() +
                                     m_document->suggestions().size());
}

std::unique_ptr<ui::ListElement> ContactSelectorContainer::create_element() {
    const WStringView node = m_row_style == RowStyle::Compact && m_has_compact_rows
                                 ? ContactsListElement::kCompactSkinName
                                 : ContactsListElement::kSkinName;
    return build_row(u"ContactSelectorContainer", m_skin, node,
                     [&] { return std::make_unique<ContactsListElement>(*m_skin, node); });
}

void ContactSelectorContainer::bind_element(ui::ListElement& element, std::int32_t index) {
    auto* row = dynamic_cast<ContactsListElement*>(&element);
    if (row == nullptr)
        return;
    // An index the Document no longer has shows nothing rather than the
    // contact the row showed before.
    if (m_document == nullptr || index < 0 || index >= item_count()) {
        row->clear();
        return;
    }
    const auto at = static_cast<std::size_t>(index);
    const std::size_t contacts = m_document->filtered_count();
    if (at >= contacts) {
        const data::NumberSuggestion& suggestion = m_document->suggestions()[at - contacts];
        row->fill_number(suggestion, recent_when_text(suggestion.time, local_today(),
                                                      recent_words([this](WStringView key) {
                                                          return m_skin->translate(key);
                                                      })));
        return;
    }
    const data::ListedContact listed = m_document->filtered_contact(at);
    row->fill(listed.names, listed.match, m_document->sorting());
}

void ContactSelectorContainer::element_clicked(ui::VirtualList&, std::int32_t index) {
    if (m_listener == nullptr || m_document == nullptr || index < 0 || index >= item_count())
        return;
    const auto at = static_cast<std::size_t>(index);
    if (at >= m_document->filtered_count()) {
        // A number from the call history: called again.
        const WString number = m_document->suggestions()[at - m_document->filtered_count()].number;
        if (auto* phones = phone::PhoneManager::instance())
            phones->call_number(number);
        return;
    }
    if (data::ContactEntry* entry = m_document->find_contact(m_document->filtered_oid(at)))
        m_listener->on_contact_chosen(*this, *entry);
}

void ContactSelectorContainer::refresh_row(std::int32_t index) {
    if (m_list == nullptr)
        return;
    if (ui::ListElement* element = m_list->element_for(index))
        bind_element(*element, index);
    m_list->mark_redraw();
}

// --- Buttons and ruler ---------------------------------------------------------------

void ContactSelectorContainer::on_click(ui::ButtonNode& button) {
    if (m_listener == nullptr)
        return;
    if (&button == m_category)
        m_listener->on_category_button(*this);
    else if (&button == m_add || &button == m_keypad_add)
        m_listener->on_add_contact(*this);
}

void ContactSelectorContainer::show_hint(const WString& letter) {
    if (auto* text = dynamic_cast<ui::TextNode*>(m_hint->find(u"#text")))
        text->set_text(letter);
    else if (auto* self = dynamic_cast<ui::TextNode*>(m_hint))
        self->set_text(letter);
    m_hint->set_visible(true);
}

void ContactSelectorContainer::on_letter_touched(ui::AlphabetRuler&, const ui::RulerEvent& event) {
    if (m_hint == nullptr)
        return;
    // The list follows the finger along the ruler, and stays where the
    // finger lifts.
    if (event.pressed)
        show_hint(event.letter);
    else
        m_hint->set_visible(false);
    if (event.cancelled || m_document == nullptr || m_list == nullptr)
        return;
    const std::size_t count = m_document->filtered_count();
    for (std::size_t i = 0; i < count; ++i) {
        if (WString(1, letter_of(m_document->filtered_lead(i))) == event.letter) {
            m_list->scroll_to_item(static_cast<std::int32_t>(i));
            return;
        }
    }
    // No visible contact under that letter: the list stays where it is.
}

// --- Document ------------------------------------------------------------------------

void ContactSelectorContainer::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    using data::RefreshSlot;
    if (m_list == nullptr)
        return;
    const std::uint32_t filtered = message.slot(RefreshSlot::FilteredIndex);
    const auto at = static_cast<std::int32_t>(filtered);
    const bool has_filtered = filtered != data::k_no_index;
    if (message.has(RefreshFlag::FilteredEntered) && has_filtered) {
        m_list->item_inserted(at);
        m_list->scroll_to_item(at);
    }
    if (message.has(RefreshFlag::FilteredLeft) && has_filtered)
        m_list->item_removed(at);
    if (message.has(RefreshFlag::FilteredStayed) && has_filtered)
        refresh_row(at);
    if (message.has(RefreshFlag::FilterChanged)) {
        m_list->data_changed();
        // New search results start from the index the Document names.
        if (has_filtered && at < m_list->item_count())
            m_list->scroll_to_item(at);
    }
    if (message.has(RefreshFlag::AllLeft) || message.has(RefreshFlag::AllEntered) ||
        message.has(RefreshFlag::AllStayed))
        update_letters();
    // A removed contact leaves both lists too, told only by flag 9 with
    // where it was; without this the list would keep a row too many.
    if (message.has(RefreshFlag::ContactRemoved)) {
        if (has_filtered)
            m_list->item_removed(at);
        if (message.slot(RefreshSlot::AllIndex) != data::k_no_index)
            update_letters();
    }
    // The call history's numbers below the contacts follow the calls.
    if ((message.has(RefreshFlag::RecentAdded) || message.has(RefreshFlag::RecentChanged)) &&
        m_list->item_count() != item_count())
        m_list->data_changed();
    if (message.has(RefreshFlag::RecentsComplete) || message.has(RefreshFlag::ListsRebuilt)) {
        const std::uint32_t start = platform::tick_count();
        log_line() << u"ContactSelectorContainer::on_document_refresh is_load_done is_sorting\n";
        update_letters();
        m_list->data_changed();
        log_line() << u"refresh " << (platform::tick_count() - start) << u"\n";
    }
    update_match_count();
}

} // namespace telvara::forms
