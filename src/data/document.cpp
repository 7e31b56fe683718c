#include "data/document.h"

#include "data/collation.h"
#include "data/contact_source.h"
#include "platform/clock.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <algorithm>

namespace telvara::data {
namespace {

constexpr char16_t k_settings_key[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";

// The one Document of the process (the design's singleton).
Document* g_instance = nullptr;

// Key order per sort mode.
constexpr std::uint8_t k_key_order[3][3] = {{0, 1, 2}, {1, 0, 2}, {2, 1, 0}};

std::uint32_t elapsed(std::uint32_t since) {
    return platform::tick_count() - since;
}

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

RefreshMessage contact_message(RefreshFlag flag, std::uint32_t oid) {
    RefreshMessage m(flag);
    m.set(RefreshSlot::ContactOid, oid);
    return m;
}

} // namespace

DocumentFiles DocumentFiles::defaults() {
    // The favourites name contacts of one store by oid, so they live with
    // that store under the device root: beside the program they would be
    // shared by every device root (and unwritable in an installed folder).
    return {runtime::file_path(u"%app_path%\\keyboard.txt"), runtime::file_path(u"\\favorits.dat")};
}

Document::Document(ContactSource& store, CallLogSource* call_log, DocumentFiles files)
    : m_store(&store), m_call_log(call_log), m_files(std::move(files)) {
    if (g_instance != nullptr)
        runtime::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
    g_instance = this;
    m_key_map = KeyMap::load(m_files.keyboard);
    std::uint32_t value = 1;
    if (runtime::reg_read_dword(k_settings_key, u"Dialer", value))
        m_dialer = value != 0;
    value = 1;
    runtime::reg_read_dword(k_settings_key, u"Sorting", value);
    m_sorting = value <= 2 ? static_cast<SortMode>(value) : SortMode::LastName;
}

Document::~Document() {
    if (g_instance == this)
        g_instance = nullptr;
}

Document* Document::instance() {
    return g_instance;
}

void Document::add_listener(DocumentListener& listener) {
    m_listeners.push_back(&listener);
}

void Document::remove_listener(DocumentListener& listener) {
    auto it = std::find(m_listeners.begin(), m_listeners.end(), &listener);
    if (it == m_listeners.end())
        return;
    if (m_broadcasting > 0) {
        // Compacted when the broadcast ends; the loop must not shift.
        *it = nullptr;
        m_listeners_removed = true;
    } else {
        m_listeners.erase(it);
    }
}

void Document::broadcast(const RefreshMessage& message) {
    ++m_broadcasting;
    // Listeners added meanwhile hear the next message, not this one.
    std::size_t count = m_listeners.size();
    for (std::size_t i = 0; i < count; ++i)
        if (m_listeners[i] != nullptr)
            m_listeners[i]->on_document_refresh(message);
    if (--m_broadcasting == 0 && m_listeners_removed) {
        std::erase(m_listeners, nullptr);
        m_listeners_removed = false;
    }
}

void Document::lists_edited() {
    m_index_stale = true;
    m_positions_valid = false;
}

void Document::clear_entries() {
    lists_edited();
    m_index.clear();
    m_favorites.clear();
    m_all.clear();
    m_filtered.clear();
    m_phones.clear();
    m_by_oid.clear();
    m_entries.clear();
    for (std::size_t i = 0; i < m_recents.size(); ++i)
        m_recents.assign(i, 0, {});
}

void Document::load() {
    const std::uint32_t start = platform::tick_count();
    clear_entries();
    m_loaded = false;

    m_store->load_categories(m_categories);
    log_line() << u"load categories() t =" << elapsed(start) << u"\n";

    std::vector<ContactRecord> records;
    m_store->load_contacts(records);
    log_line() << u"load contacts() t =" << elapsed(start) << u"\n";

    m_all.reserve(records.size());
    m_by_oid.reserve(records.size());
    m_phones.reserve(records.size() * 2);
    for (ContactRecord& record : records) {
        // A record read twice (or never stored) would break the oid order.
        if (record.oid == 0 || m_by_oid.contains(record.oid))
            continue;
        ContactEntry& entry = m_entries.emplace_back();
        entry.record = std::move(record);
        prepare_entry(entry, m_key_map);
        m_by_oid.emplace(entry.oid(), std::prev(m_entries.end()));
        m_all.push_back(&entry);
        m_phones.add(entry);
    }
    records = {};
    log_line() << u"sort_contacts() c=" << m_all.size() << u" t=" << elapsed(start) << u"\n";

    load_favorites();
    log_line() << u"load_favorites() t=" << elapsed(start) << u"\n";

    m_recents.clear();
    broadcast(RefreshMessage(RefreshFlag::RecentsReplaced));
    read_call_log();
    log_line() << u"update_log() c=" << m_recents.size() << u" t=" << elapsed(start) << u"\n";

    m_loaded = true;
    broadcast(RefreshMessage(RefreshFlag::RecentsComplete));
    log_line() << u"load_done() t=" << elapsed(start) << u"\n";

    set_sorting(static_cast<std::uint32_t>(m_sorting));
    log_line() << u"set_sorting() t=" << elapsed(start) << u"\n";
}

bool Document::sorts_before(const ContactEntry& a, const ContactEntry& b) const {
    for (std::uint8_t k : k_key_order[static_cast<std::size_t>(m_sorting)]) {
        int c = collate(a.sort_keys[k], b.sort_keys[k]);
        if (c != 0)
            return c < 0;
    }
    return a.oid() < b.oid();
}

std::size_t Document::sorted_position(const std::vector<ContactEntry*>& list,
                                      const ContactEntry& entry) const {
    auto it = std::lower_bound(
        list.begin(), list.end(), &entry,
        [this](const ContactEntry* a, const ContactEntry* b) { return sorts_before(*a, *b); });
    return static_cast<std::size_t>(it - list.begin());
}

std::uint32_t Document::index_in(const std::vector<ContactEntry*>& list,
                                 const ContactEntry& entry) const {
    std::size_t i = sorted_position(list, entry);
    return i < list.size() && list[i] == &entry ? static_cast<std::uint32_t>(i) : k_no_index;
}

bool Document::is_member(const ContactEntry& entry) const {
    if (m_filter_source == FilterSource::Category)
        return in_category(entry.record, m_category);
    return m_filter.passes(entry);
}

void Document::filter_by_words(bool narrow_previous) {
    if (m_index_stale) {
        m_index.rebuild(m_all);
        m_index_stale = false;
        m_positions_valid = false;
    }
    m_scratch.clear();
    m_scratch_positions.clear();
    auto test = [this](std::uint32_t position) {
        if (m_filter.passes(m_index.view(position))) {
            m_scratch.push_back(m_all[position]);
            m_scratch_positions.push_back(position);
        }
    };
    if (narrow_previous && m_positions_valid) {
        for (std::uint32_t position : m_filtered_positions)
            test(position);
    } else {
        const auto count = static_cast<std::uint32_t>(m_all.size());
        for (std::uint32_t position = 0; position < count; ++position)
            test(position);
    }
    m_filtered.swap(m_scratch);
    m_filtered_positions.swap(m_scratch_positions);
    m_positions_valid = true;
}

void Document::rebuild_filtered(FilterSource source, bool narrow_previous) {
    m_filter_source = source;
    if (source == FilterSource::Words && !m_filter.empty()) {
        filter_by_words(narrow_previous);
        return;
    }
    m_positions_valid = false;
    m_scratch.clear();
    m_scratch.reserve(m_all.size());
    if (source == FilterSource::Words) {
        m_scratch.assign(m_all.begin(), m_all.end());
    } else {
        for (ContactEntry* entry : m_all)
            if (is_member(*entry))
                m_scratch.push_back(entry);
    }
    m_filtered.swap(m_scratch);
}

void Document::set_sorting(std::uint32_t mode) {
    m_sorting = mode <= 2 ? static_cast<SortMode>(mode) : SortMode::LastName;
    std::sort(m_all.begin(), m_all.end(), [this](const ContactEntry* a, const ContactEntry* b) {
        return sorts_before(*a, *b);
    });
    // Built now rather than at the first keystroke, which should cost no
    // more than one pass over flat memory.
    m_index.rebuild(m_all);
    m_index_stale = false;
    m_positions_valid = false;
    rebuild_filtered(FilterSource::Words, false);
    runtime::reg_write_dword(k_settings_key, u"Sorting", static_cast<std::uint32_t>(m_sorting));
    broadcast(RefreshMessage(RefreshFlag::ListsRebuilt));
}

void Document::set_filter(WStringView text) {
    std::vector<WString> words = split_filter_words(text);
    bool narrow = m_filter_source == FilterSource::Words && narrows(m_filter.words(), words);
    m_filter.set_words(std::move(words));
    rebuild_filtered(FilterSource::Words, narrow);
    RefreshMessage m(RefreshFlag::FilterChanged);
    m.set(RefreshSlot::FilteredIndex, 0);
    broadcast(m);
}

void Document::set_filtered_contacts() {
    const std::uint32_t start = platform::tick_count();
    rebuild_filtered(FilterSource::Words, false);
    log_line() << u"Document::set_filtered_contacts() time1 = " << elapsed(start) << u"\n";
    broadcast(RefreshMessage(RefreshFlag::ListsRebuilt));
    log_line() << u"Document::set_filtered_contacts() time2 = " << elapsed(start) << u"\n";
}

void Document::set_category(WStringView name) {
    if (!name.empty())
        m_category.assign(name);
    rebuild_filtered(FilterSource::Category, false);
    broadcast(RefreshMessage(RefreshFlag::ListsRebuilt));
}

MatchResult Document::match(const ContactEntry& entry) const {
    if (m_filter_source == FilterSource::Category) {
        MatchResult result;
        result.passes = in_category(entry.record, m_category);
        return result;
    }
    return m_filter.match(entry);
}

MatchResult Document::match(const ContactEntry& entry, const std::vector<WString>& words) const {
    ContactFilter filter(m_key_map);
    filter.set_words(words);
    return filter.match(entry);
}

ContactEntry* Document::find_contact(std::uint32_t oid) const {
    auto it = m_by_oid.find(oid);
    return it == m_by_oid.end() ? nullptr : &*it->second;
}

void Document::on_contact_added(ContactManagerImpl2&, const ContactRecord& record) {
    contact_added(record);
}
void Document::on_contact_changed(ContactManagerImpl2&, std::uint32_t oid) {
    on_contact_changed(oid);
}
void Document::on_contact_removed(ContactManagerImpl2&, std::uint32_t oid) {
    on_contact_removed(oid);
}

void Document::contact_added(const ContactRecord& record) {
    log_line() << u"Document::contact_added()\n";
    if (record.oid == 0)
        return;
    if (ContactEntry* existing = find_contact(record.oid)) {
        replace_contact(*existing, record);
        return;
    }
    ContactEntry& entry = m_entries.emplace_back();
    entry.record = record;
    prepare_entry(entry, m_key_map);
    learn_categories(entry.record);
    m_by_oid.emplace(entry.oid(), std::prev(m_entries.end()));
    std::size_t all_index = sorted_position(m_all, entry);
    m_all.insert(m_all.begin() + static_cast<std::ptrdiff_t>(all_index), &entry);
    lists_edited();
    m_phones.add(entry);

    RefreshMessage all = contact_message(RefreshFlag::AllEntered, entry.oid());
    all.set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(all_index));
    broadcast(all);
    if (is_member(entry)) {
        std::size_t index = sorted_position(m_filtered, entry);
        m_filtered.insert(m_filtered.begin() + static_cast<std::ptrdiff_t>(index), &entry);
        RefreshMessage m = contact_message(RefreshFlag::FilteredEntered, entry.oid());
        m.set(RefreshSlot::FilteredIndex, static_cast<std::uint32_t>(index));
        broadcast(m);
    }
    RefreshMessage added = contact_message(RefreshFlag::ContactAdded, entry.oid());
    added.set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(all_index));
    broadcast(added);

    // Calls from the new contact's numbers now have a name.
    const auto& fields = entry.record.fields;
    for (std::size_t i = 0; i < m_recents.size(); ++i) {
        std::uint32_t key = m_recents.at(i).key;
        if (key == 0)
            continue;
        for (const ContactField& field : fields) {
            if (field.kind == FieldKind::Phone && packed_number_key(field.value) == key) {
                if (m_recents.assign(i, entry.oid(), field_type_name(field.type))) {
                    RefreshMessage m(RefreshFlag::RecentChanged);
                    m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(i));
                    broadcast(m);
                }
                break;
            }
        }
    }
}

void Document::on_contact_changed(std::uint32_t oid) {
    log_line() << u"Document::on_contact_changed()\n";
    ContactEntry* entry = find_contact(oid);
    if (entry == nullptr)
        return;
    ContactRecord fresh;
    fresh.oid = oid;
    if (!m_store->read_contact(fresh)) {
        // The store no longer has it: the deletion notice is on its way or
        // was lost; either way the entry must not outlive the contact.
        on_contact_removed(oid);
        return;
    }
    replace_contact(*entry, std::move(fresh));
}

void Document::replace_contact(ContactEntry& entry, ContactRecord record) {
    const std::uint32_t oid = entry.oid();
    record.oid = oid;
    const std::uint32_t old_all = index_in(m_all, entry);
    const std::uint32_t old_filtered = index_in(m_filtered, entry);

    m_phones.remove(entry);
    entry.record = std::move(record);
    prepare_entry(entry, m_key_map);
    learn_categories(entry.record);

    if (old_all != k_no_index)
        m_all.erase(m_all.begin() + old_all);
    const std::size_t new_all = sorted_position(m_all, entry);
    m_all.insert(m_all.begin() + static_cast<std::ptrdiff_t>(new_all), &entry);
    lists_edited();
    if (old_all == new_all) {
        broadcast(contact_message(RefreshFlag::AllStayed, oid).set(RefreshSlot::AllIndex, old_all));
    } else {
        broadcast(contact_message(RefreshFlag::AllLeft, oid).set(RefreshSlot::AllIndex, old_all));
        broadcast(contact_message(RefreshFlag::AllEntered, oid)
                      .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all)));
    }

    if (old_filtered != k_no_index)
        m_filtered.erase(m_filtered.begin() + old_filtered);
    std::uint32_t new_filtered = k_no_index;
    if (is_member(entry)) {
        std::size_t at = sorted_position(m_filtered, entry);
        m_filtered.insert(m_filtered.begin() + static_cast<std::ptrdiff_t>(at), &entry);
        new_filtered = static_cast<std::uint32_t>(at);
    }
    if (old_filtered != k_no_index && old_filtered == new_filtered) {
        broadcast(contact_message(RefreshFlag::FilteredStayed, oid)
                      .set(RefreshSlot::FilteredIndex, new_filtered));
    } else {
        if (old_filtered != k_no_index)
            broadcast(contact_message(RefreshFlag::FilteredLeft, oid)
                          .set(RefreshSlot::FilteredIndex, old_filtered));
        if (new_filtered != k_no_index)
            broadcast(contact_message(RefreshFlag::FilteredEntered, oid)
                          .set(RefreshSlot::FilteredIndex, new_filtered));
    }

    m_phones.add(entry);
    broadcast(contact_message(RefreshFlag::ContactChanged, oid)
                  .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all)));

    // A new name can move the contact's favourites.
    m_favorites.sort();
    for (std::size_t i : m_favorites.indexes_of(entry))
        broadcast(contact_message(RefreshFlag::FavoriteChanged, oid)
                      .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all))
                      .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(i)));
    rematch_recents(oid);
}

void Document::learn_categories(const ContactRecord& record) {
    for (const ContactField& field : record.fields)
        if (field.type == FieldType::Categories)
            for (WString& name : split_categories(field.value))
                if (!name.empty() &&
                    std::find(m_categories.begin(), m_categories.end(), name) == m_categories.end())
                    m_categories.push_back(std::move(name));
}

void Document::rematch_recents(std::uint32_t oid) {
    for (std::size_t i = 0; i < m_recents.size(); ++i) {
        bool was_its = m_recents.at(i).oid == oid;
        m_recents.rematch(i, m_phones);
        if (was_its || m_recents.at(i).oid == oid) {
            RefreshMessage m(RefreshFlag::RecentChanged);
            m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(i));
            broadcast(m);
        }
    }
}

void Document::on_contact_removed(std::uint32_t oid) {
    log_line() << u"Document::on_contact_removed()\n";
    auto found = m_by_oid.find(oid);
    if (found == m_by_oid.end())
        return;
    auto node = found->second;
    ContactEntry& entry = *node;
    const std::uint32_t all_index = index_in(m_all, entry);
    const std::uint32_t filtered_index = index_in(m_filtered, entry);
    lists_edited();
    if (all_index != k_no_index)
        m_all.erase(m_all.begin() + all_index);
    if (filtered_index != k_no_index)
        m_filtered.erase(m_filtered.begin() + filtered_index);
    m_phones.remove(entry);
    m_by_oid.erase(found);

    // Dropped from the list only; the file keeps the line until the next
    // load skips it.
    while (!entry.favorite_values.empty()) {
        std::int32_t value = entry.favorite_values.front();
        std::optional<std::size_t> index = m_favorites.remove(entry, value);
        if (!index)
            break;
        broadcast(contact_message(RefreshFlag::FavoriteRemoved, oid)
                      .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
    }
    rematch_recents(oid);
    broadcast(contact_message(RefreshFlag::ContactRemoved, oid)
                  .set(RefreshSlot::AllIndex, all_index)
                  .set(RefreshSlot::FilteredIndex, filtered_index));
    m_entries.erase(node);
}

bool Document::add_favorite(std::uint32_t oid, std::int32_t value) {
    ContactEntry* entry = find_contact(oid);
    if (entry == nullptr)
        return false;
    std::optional<std::size_t> index = m_favorites.add(*entry, value);
    if (!index)
        return false;
    save_favorites();
    broadcast(contact_message(RefreshFlag::FavoriteAdded, oid)
                  .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
    return true;
}

bool Document::remove_favorite(std::uint32_t oid, std::int32_t value) {
    ContactEntry* entry = find_contact(oid);
    if (entry == nullptr)
        return false;
    std::optional<std::size_t> index = m_favorites.remove(*entry, value);
    if (!index)
        return false;
    save_favorites();
    broadcast(contact_message(RefreshFlag::FavoriteRemoved, oid)
                  .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
    return true;
}

void Document::load_favorites() {
    std::vector<FavoriteLine> lines;
    read_favorites_file(m_files.favorites, lines);
    m_favorites.load(lines, [this](std::uint32_t oid) { return find_contact(oid); });
}

bool Document::save_favorites() const {
    return write_favorites_file(m_files.favorites, m_favorites.lines());
}

void Document::read_call_log() {
    if (m_call_log != nullptr)
        m_call_log->read_call_log(*this);
}

void Document::on_call_record(const CallRecord& record) {
    m_recents.append(record, m_phones);
}

void Document::update_log() {
    m_recents.clear();
    broadcast(RefreshMessage(RefreshFlag::RecentsReplaced));
    read_call_log();
    broadcast(RefreshMessage(RefreshFlag::RecentsComplete));
}

void Document::add_recent_call(const CallRecord& record) {
    std::size_t index = m_recents.insert(0, record, m_phones);
    RefreshMessage m(RefreshFlag::RecentAdded);
    m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(index));
    broadcast(m);
}

void Document::set_dialer(bool on) {
    m_dialer = on;
    runtime::reg_write_dword(k_settings_key, u"Dialer", on ? 1u : 0u);
}

} // namespace telvara::data
