// The recents tab: grouping the calls, the rows, the refresh messages and the
// recents menu.
#include "forms/recents_container.h"

#include "forms/form.h"
#include "forms/menu_items.h"

#include "data/contact_entry.h"
#include "forms/required_node.h"
#include "phone/call_log.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kRootName[] = u"RecentsContainer";
constexpr char16_t kUnknownNumber[] = u"Unknown";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

// The log keeps no number for a withheld caller: such a row has a name to
// show but nothing to call.
bool is_withheld(WStringView number) {
    return number.empty() || number == kUnknownNumber || number == u"skinUnknown";
}

} // namespace

bool passes(RecentsFilter filter, data::CallKind kind) {
    switch (filter) {
    case RecentsFilter::All:
        return true;
    case RecentsFilter::Incoming:
        return kind == data::CallKind::Incoming;
    case RecentsFilter::Outgoing:
        return kind == data::CallKind::Outgoing;
    case RecentsFilter::Rejected:
        return kind != data::CallKind::Incoming && kind != data::CallKind::Outgoing;
    }
    return true;
}

void add_filter_items(ui::ChoiceMenu& items, RecentsFilter current) {
    add_menu_item(items, u"menuAllCalls", checked_if(current == RecentsFilter::All));
    add_menu_item(items, u"menuIncoming", checked_if(current == RecentsFilter::Incoming));
    add_menu_item(items, u"menuOutgoing", checked_if(current == RecentsFilter::Outgoing));
    add_menu_item(items, u"menuRejected", checked_if(current == RecentsFilter::Rejected));
    add_menu_item(items, u"Cancel");
}

const char16_t* empty_calls_key(RecentsFilter filter) {
    switch (filter) {
    case RecentsFilter::All:
        break;
    case RecentsFilter::Incoming:
        return u"skinNoIncomingCalls";
    case RecentsFilter::Outgoing:
        return u"skinNoOutgoingCalls";
    case RecentsFilter::Rejected:
        return u"skinNoMissedCalls";
    }
    return u"skinNoRecents";
}

const char16_t* recents_title_key(RecentsFilter filter) {
    switch (filter) {
    case RecentsFilter::All:
        break;
    case RecentsFilter::Incoming:
        return u"skinIncomingCalls";
    case RecentsFilter::Outgoing:
        return u"skinOutgoingCalls";
    case RecentsFilter::Rejected:
        return u"skinMissedCalls";
    }
    return u"skinRecents";
}

bool filter_for_key(WStringView key, RecentsFilter& filter) {
    if (key == u"menuAllCalls")
        filter = RecentsFilter::All;
    else if (key == u"menuIncoming")
        filter = RecentsFilter::Incoming;
    else if (key == u"menuOutgoing")
        filter = RecentsFilter::Outgoing;
    else if (key == u"menuRejected")
        filter = RecentsFilter::Rejected;
    else
        return false;
    return true;
}

std::int64_t local_today() {
    return local_day_number(phone::to_local_file_time(phone::file_time_now()));
}

RecentRowTexts make_row_texts(const data::RecentCall& call, int count,
                              const data::Document* document, const ui::Properties& skin,
                              std::int64_t today, const RecentWords& words) {
    RecentRowTexts texts;
    const data::ContactEntry* contact =
        call.oid != 0 && document != nullptr ? document->find_contact(call.oid) : nullptr;
    if (contact != nullptr) {
        texts.firstlast = data::display_name(contact->record);
        if (!call.call.label.empty())
            texts.phone = skin.translate(call.call.label);
    } else if (is_withheld(call.call.number)) {
        // The log's word for a withheld number is shown in the user's language.
        texts.firstlast = skin.translate(u"skinUnknown");
    } else {
        texts.firstlast = call.call.number;
        texts.title = RecentTitle::Number;
    }
    texts.count = recent_count_text(count);
    texts.datetime = recent_when_text(call.call.time, today, words);
    texts.duration = recent_call_duration_text(call.call);
    texts.direction = direction_state(call.call.kind);
    return texts;
}

RecentsContainer::RecentsContainer() = default;

RecentsContainer::~RecentsContainer() = default;

void RecentsContainer::bind(ui::Node& host, const ui::Properties& skin, RecentsListener& listener) {
    ui::Node* root = host.name() == kRootName ? &host : host.find(kRootName);
    if (root == nullptr)
        throw ui::vadode::NodeNotFound(host.name(), kRootName);
    auto& list = required<ui::VirtualList>(*root, u"RecentsList");
    ui::Node* empty = root->find(u"RecentsContainer_empty");
    auto* empty_text = dynamic_cast<ui::TextNode*>(root->find(u"RecentsContainer_empty_text"));
    auto* title = dynamic_cast<ui::TextNode*>(root->find(u"RecentsContainer_title"));
    auto* menu_button = dynamic_cast<ui::ButtonNode*>(root->find(u"RecentsContainer_menu"));
    check_recents_row_skin(skin);

    m_skin = &skin;
    m_words = recent_words([&skin](WStringView key) { return skin.translate(key); });
    m_listener = &listener;
    m_root = root;
    m_list = &list;
    m_empty = empty;
    m_empty_text = empty_text;
    m_title = title;
    // The old button went with the old tree: it is not touched.
    m_menu_button = menu_button;
    if (m_menu_button != nullptr)
        m_menu_button->set_listener(this);
    m_document.follow();
    m_list->set_adapter(this);
    rebuild();
}

void RecentsContainer::set_filter(RecentsFilter filter) {
    if (filter == m_filter)
        return;
    m_filter = filter;
    rebuild();
}

// --- Grouping ------------------------------------------------------------------------

RecentRowTexts RecentsContainer::texts_of(std::size_t index, int count, std::int64_t today) const {
    return make_row_texts(m_document->recent_calls().at(index), count, m_document.get(), *m_skin,
                          today, m_words);
}

std::ptrdiff_t RecentsContainer::add_call(std::size_t index, std::int64_t today) {
    const auto& calls = m_document->recent_calls();
    const data::CallRecord& call = calls.at(index).call;
    const std::int64_t day = local_day_number(call.time);
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const data::CallRecord& reference = calls.at(m_groups[g].reference).call;
        if (reference.kind != call.kind || reference.number != call.number ||
            local_day_number(reference.time) != day)
            continue;
        Group joined = std::move(m_groups[g]);
        ++joined.count;
        joined.reference = index;
        joined.texts = texts_of(index, joined.count, today);
        m_groups.erase(m_groups.begin() + static_cast<std::ptrdiff_t>(g));
        m_groups.insert(m_groups.begin(), std::move(joined));
        return static_cast<std::ptrdiff_t>(g);
    }
    m_groups.insert(m_groups.begin(), Group{1, index, texts_of(index, 1, today)});
    return -1;
}

void RecentsContainer::rebuild() {
    const std::uint32_t start = platform::tick_count();
    m_groups.clear();
    if (m_document != nullptr && m_skin != nullptr) {
        const std::int64_t today = m_today();
        const auto& calls = m_document->recent_calls();
        for (std::size_t i = calls.size(); i-- > 0;)
            if (passes(m_filter, calls.at(i).call.kind))
                add_call(i, today);
    }
    if (m_list != nullptr) {
        m_list->data_changed();
        if (!m_groups.empty())
            m_list->scroll_to_item(0);
    }
    update_empty_state();
    update_title();
    log_line() << u"RecentsContainer::rebuild " << static_cast<std::uint32_t>(m_groups.size())
               << u" groups in " << (platform::tick_count() - start) << u" ms\n";
}

void RecentsContainer::update_empty_state() {
    if (m_empty != nullptr)
        m_empty->set_visible(m_groups.empty());
    // Under a filter the list may be empty while calls of other kinds exist:
    // the words say which kind there is none of.
    if (m_empty_text != nullptr && m_skin != nullptr && m_groups.empty())
        m_empty_text->set_text(m_skin->translate(empty_calls_key(m_filter)));
    if (m_list != nullptr)
        m_list->set_visible(!m_groups.empty());
}

void RecentsContainer::update_title() {
    if (m_title == nullptr || m_skin == nullptr)
        return;
    const WString title = m_skin->translate(recents_title_key(m_filter));
    if (m_title->text() != title)
        m_title->set_text(title);
}

void RecentsContainer::call_added(std::size_t index) {
    // The calls from `index` on moved down by one.
    for (Group& group : m_groups)
        if (group.reference >= index)
            ++group.reference;
    if (!passes(m_filter, m_document->recent_calls().at(index).call.kind))
        return;
    const std::ptrdiff_t old_row = add_call(index, m_today());
    if (m_list != nullptr) {
        if (old_row == 0) {
            refresh_row(0);
        } else {
            if (old_row > 0)
                m_list->item_removed(static_cast<std::int32_t>(old_row));
            m_list->item_inserted(0);
        }
        m_list->scroll_to_item(0);
    }
    update_empty_state();
}

void RecentsContainer::call_changed(std::size_t index) {
    const std::int64_t today = m_today();
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (m_groups[g].reference != index)
            continue;
        m_groups[g].texts = texts_of(index, m_groups[g].count, today);
        refresh_row(static_cast<std::int32_t>(g));
    }
}

void RecentsContainer::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    if (m_document == nullptr || m_skin == nullptr)
        return;
    const std::uint32_t slot = message.slot(data::RefreshSlot::RecentIndex);
    const std::size_t calls = m_document->recent_calls().size();
    if (message.has(RefreshFlag::RecentsReplaced) || message.has(RefreshFlag::RecentsComplete)) {
        rebuild();
        return;
    }
    // An index the list does not have (a stale or corrupt message) is ignored
    // rather than read past the end.
    if (message.has(RefreshFlag::RecentAdded) && slot < calls)
        call_added(slot);
    if (message.has(RefreshFlag::RecentChanged) && slot < calls)
        call_changed(slot);
}

// --- List ----------------------------------------------------------------------------

std::int32_t RecentsContainer::item_count() const {
    return static_cast<std::int32_t>(m_groups.size());
}

std::unique_ptr<ui::ListElement> RecentsContainer::create_element() {
    RecentsRowListener& rows = *this;
    return build_row(u"RecentsContainer", m_skin, RecentsListElement::kSkinName,
                     [&] { return std::make_unique<RecentsListElement>(*m_skin, rows); });
}

const RecentsContainer::Group* RecentsContainer::group_at(std::int32_t row) const {
    if (row < 0 || row >= item_count())
        return nullptr;
    return &m_groups[static_cast<std::size_t>(row)];
}

void RecentsContainer::bind_element(ui::ListElement& element, std::int32_t index) {
    auto* row = dynamic_cast<RecentsListElement*>(&element);
    if (row == nullptr)
        return;
    if (const Group* group = group_at(index))
        row->fill(group->texts);
    else
        row->clear();
}

void RecentsContainer::refresh_row(std::int32_t row) {
    if (m_list == nullptr)
        return;
    if (ui::ListElement* element = m_list->element_for(row))
        bind_element(*element, row);
    m_list->mark_redraw();
}

void RecentsContainer::element_clicked(ui::VirtualList&, std::int32_t index) {
    const Group* group = group_at(index);
    if (group == nullptr || m_listener == nullptr || m_document == nullptr)
        return;
    const WString number = m_document->recent_calls().at(group->reference).call.number;
    if (is_withheld(number)) {
        log_line() << u"RecentsContainer: no number to call\n";
        return;
    }
    m_listener->on_call_recent(number);
}

void RecentsContainer::on_row_tapped(RecentsListElement& row) {
    if (m_list != nullptr)
        element_clicked(*m_list, row.index());
}

void RecentsContainer::on_row_button(RecentsListElement& row, RecentRowButton button) {
    const Group* group = group_at(row.index());
    if (group == nullptr || m_listener == nullptr || m_document == nullptr)
        return;
    const std::size_t index = group->reference;
    // A copy: the listener may change the Document's list.
    const data::RecentCall call = m_document->recent_calls().at(index);
    if (button == RecentRowButton::Direction)
        m_listener->on_recent_call_menu(call, index);
    else
        m_listener->on_open_recents(call, index);
}

void RecentsContainer::on_click(ui::ButtonNode& button) {
    if (&button == m_menu_button && m_listener != nullptr)
        m_listener->on_recents_menu_button();
}

// --- Menu ----------------------------------------------------------------------------

bool RecentsContainer::recents_menu(WStringView key, ui::ChoiceMenu& items) {
    RecentsFilter chosen = m_filter;
    if (key == u"MainMenu") {
        add_menu_item(items, u"menuFilter");
        add_menu_item(items, u"menuDeleteAll");
        add_menu_item(items, u"Cancel");
    } else if (key == u"menuFilter") {
        add_filter_items(items, m_filter);
    } else if (filter_for_key(key, chosen)) {
        m_filter = chosen;
        rebuild();
    } else if (key == u"menuDeleteAll") {
        add_menu_item(items, u"ReallyDelete", Checked::No, u"MenuElementRed");
        add_menu_item(items, u"Cancel");
    } else if (key == u"ReallyDelete") {
        delete_shown();
    } else {
        return false;
    }
    return true;
}

void RecentsContainer::delete_shown() {
    if (m_document == nullptr)
        return;
    std::vector<std::size_t> shown;
    const auto& calls = m_document->recent_calls();
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (passes(m_filter, calls.at(i).call.kind))
            shown.push_back(i);
    if (m_call_log == nullptr) {
        log_line() << u"RecentsContainer::delete_shown no call log\n";
        return;
    }
    const std::size_t deleted = m_call_log->delete_call_log_entries(*m_document, shown);
    log_line() << u"RecentsContainer::delete_shown " << static_cast<std::uint32_t>(deleted)
               << u" of " << static_cast<std::uint32_t>(shown.size()) << u"\n";
    // The call log's re-read has rebuilt the groups through the Document's
    // messages already; this covers a Document that is not listening.
    rebuild();
}

} // namespace telvara::forms
