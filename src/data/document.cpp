#include "data/document.h"

#include "data/collation.h"
#include "data/contact_source.h"
#include "data/text_case.h"
#include "platform/clock.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace telvara::data {
namespace {

// From this many contacts on, the search index is built on a thread of its own.
constexpr std::size_t kIndexInBackground = 20000;

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
    finish_index_build();
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

ContactEntry* ContactList::operator[](std::size_t i) const {
    return m_document->entry_of_slot((*m_slots)[i]);
}

void Document::lists_edited() {
    m_leads_stale = true;
    m_index_stale = true;
    m_lists_changed_while_building = m_index_builder.joinable();
    m_positions_valid = false;
}

void Document::clear_entries() {
    finish_index_build();
    lists_edited();
    m_index.clear();
    m_favorites.clear();
    m_all.clear();
    m_filtered.clear();
    m_prefix_count = 0;
    m_phones.clear();
    m_rows.clear();
    m_live.clear();
    m_entries.clear();
    m_suggestions.clear();
    for (std::size_t i = 0; i < m_recents.size(); ++i)
        m_recents.assign(i, 0, {});
}

void Document::load() {
    const std::uint32_t start = platform::tick_count();
    clear_entries();
    m_loaded = false;

    m_store->load_categories(m_categories);
    m_category_set = {m_categories.begin(), m_categories.end()};
    log_line() << u"load categories() t =" << elapsed(start) << u"\n";

    // Only the list's part of each contact; the rest is read on demand.
    m_rows.reserve(m_store->count_hint());
    m_live.reserve(m_rows.capacity());
    m_store->load_list([this](const ContactRecord& record) {
        // A record read twice (or never stored) would break the oid order.
        if (record.oid == 0 || (!m_rows.empty() && record.oid <= m_rows.back().oid))
            return;
        m_rows.push_back(ContactRow::from(record));
        m_live.push_back(1);
        m_phones.append(m_rows.back());
    });
    m_phones.sort();
    log_line() << u"load contacts() t =" << elapsed(start) << u"\n";
    m_all.resize(m_rows.size());
    for (std::uint32_t slot = 0; slot < m_all.size(); ++slot)
        m_all[slot] = slot;
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

std::uint32_t Document::slot_of(std::uint32_t oid) const {
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), oid,
                               [](const ContactRow& row, std::uint32_t o) { return row.oid < o; });
    if (it == m_rows.end() || it->oid != oid)
        return k_no_index;
    const auto slot = static_cast<std::uint32_t>(it - m_rows.begin());
    return m_live[slot] != 0 ? slot : k_no_index;
}

ContactEntry* Document::entry_of_slot(std::uint32_t slot) const {
    const ContactRow& row = m_rows[slot];
    auto found = m_entries.find(row.oid);
    if (found != m_entries.end())
        return found->second.get();
    auto entry = std::make_unique<ContactEntry>();
    entry->record.oid = row.oid;
    // A store that lost the contact meanwhile: what the list knows of it.
    if (!m_store->read_contact(entry->record))
        entry->record = row.record();
    entry->record.oid = row.oid;
    prepare_entry(*entry, m_key_map);
    ContactEntry* made = entry.get();
    m_entries.emplace(row.oid, std::move(entry));
    return made;
}

ContactEntry* Document::find_contact(std::uint32_t oid) const {
    const std::uint32_t slot = slot_of(oid);
    return slot == k_no_index ? nullptr : entry_of_slot(slot);
}

PhoneRef Document::find_by_phone_number(WStringView number) const {
    const NumberOwner owner = m_phones.find(number);
    PhoneRef ref;
    if (owner.oid == 0 || (ref.entry = find_contact(owner.oid)) == nullptr)
        return {};
    const auto& fields = ref.entry->record.fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].type == owner.type) {
            ref.field = static_cast<std::uint16_t>(i);
            return ref;
        }
    return {};
}

namespace {

// The sort keys of a row as collation weights, one after the other in the
// order of the sort mode, each followed by 0: comparing two of them
// compares key by key as collate() does. Weights are stored plus one (0
// ends a key) and clipped to 16 bits, which merges only characters from
// U+E000 on; such ties fall back to the oid order.
void append_sort_weights(const ContactRow& row, SortMode mode, std::vector<std::uint16_t>& out) {
    const WStringView first = row.first_name();
    const WStringView last = row.last_name();
    const WStringView company = row.company();
    std::array<std::array<WStringView, 2>, 3> keys{};
    if (!first.empty() || !last.empty()) {
        keys[0] = {first.empty() ? last : first, {}};
        keys[1] = {first.empty() || !last.empty() ? last : first, {}};
        if (!company.empty())
            keys[2] = {company, {}};
        else
            keys[2] = {keys[0][0], keys[1][0]};
    } else {
        keys[0] = keys[1] = keys[2] = {company, {}};
    }
    for (std::uint8_t k : k_key_order[static_cast<std::size_t>(mode)]) {
        for (WStringView part : keys[k])
            for (char16_t c : part)
                out.push_back(static_cast<std::uint16_t>(
                    std::min<std::uint32_t>(collation_weight(to_lower(c)) + 1, 0xFFFF)));
        out.push_back(0);
    }
}

} // namespace

bool Document::sorts_before(std::uint32_t a, std::uint32_t b) const {
    std::vector<std::uint16_t> ka, kb;
    append_sort_weights(m_rows[a], m_sorting, ka);
    append_sort_weights(m_rows[b], m_sorting, kb);
    if (ka != kb)
        return ka < kb;
    return m_rows[a].oid < m_rows[b].oid;
}

void Document::sort_all() {
    m_leads_stale = true;
    // Every key once, flat, so that the sort compares memory, not contacts;
    // the first four weights packed into one number settle most comparisons.
    std::vector<std::uint16_t> weights;
    std::vector<std::uint32_t> begin(m_rows.size() + 1, 0);
    weights.reserve(m_rows.size() * 24);
    struct Key {
        std::uint64_t prefix;
        std::uint32_t slot;
    };
    std::vector<Key> keys;
    keys.reserve(m_all.size());
    for (std::size_t slot = 0; slot < m_rows.size(); ++slot) {
        begin[slot] = static_cast<std::uint32_t>(weights.size());
        if (m_live[slot] == 0)
            continue;
        append_sort_weights(m_rows[slot], m_sorting, weights);
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t at = begin[slot] + i;
            prefix = (prefix << 16) | (at < weights.size() ? weights[at] : 0u);
        }
        keys.push_back({prefix, static_cast<std::uint32_t>(slot)});
    }
    begin[m_rows.size()] = static_cast<std::uint32_t>(weights.size());
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        const std::uint16_t* pa = weights.data() + begin[a.slot];
        const std::uint16_t* pb = weights.data() + begin[b.slot];
        const std::uint16_t* ea = weights.data() + begin[a.slot + 1];
        const std::uint16_t* eb = weights.data() + begin[b.slot + 1];
        const auto [ma, mb] = std::mismatch(pa, ea, pb, eb);
        if (ma != ea && mb != eb)
            return *ma < *mb;
        if ((ma == ea) != (mb == eb))
            return ma == ea;
        return a.slot < b.slot; // slots follow the oids
    });
    m_all.clear();
    for (const Key& key : keys)
        m_all.push_back(key.slot);
}

std::size_t Document::sorted_position(const std::vector<std::uint32_t>& list, std::size_t begin,
                                      std::size_t end, std::uint32_t slot) const {
    auto it =
        std::lower_bound(list.begin() + static_cast<std::ptrdiff_t>(begin),
                         list.begin() + static_cast<std::ptrdiff_t>(end), slot,
                         [this](std::uint32_t a, std::uint32_t b) { return sorts_before(a, b); });
    return static_cast<std::size_t>(it - list.begin());
}

MatchTier Document::tier_of(std::uint32_t slot) const {
    if (m_filter_source == FilterSource::Category || m_filter.empty())
        return MatchTier::Prefix;
    SearchIndex one;
    one.add(m_rows[slot], m_key_map);
    return m_filter.rank(one.view(0));
}

bool Document::is_member(std::uint32_t slot) const {
    if (m_filter_source == FilterSource::Category)
        return m_category == k_no_category ||
               category_text_has(m_rows[slot].categories(), m_category);
    return tier_of(slot) != MatchTier::None;
}

std::uint32_t Document::filtered_index_of(std::uint32_t slot) const {
    auto it = std::find(m_filtered.begin(), m_filtered.end(), slot);
    return it == m_filtered.end() ? k_no_index
                                  : static_cast<std::uint32_t>(it - m_filtered.begin());
}

std::uint32_t Document::filtered_insert(std::uint32_t slot) {
    const bool prefix = tier_of(slot) != MatchTier::Inside;
    const std::size_t at =
        prefix ? sorted_position(m_filtered, 0, m_prefix_count, slot)
               : sorted_position(m_filtered, m_prefix_count, m_filtered.size(), slot);
    m_filtered.insert(m_filtered.begin() + static_cast<std::ptrdiff_t>(at), slot);
    if (prefix)
        ++m_prefix_count;
    return static_cast<std::uint32_t>(at);
}

void Document::filtered_erase(std::uint32_t index) {
    if (index < m_prefix_count)
        --m_prefix_count;
    m_filtered.erase(m_filtered.begin() + index);
}

void Document::build_index(SearchIndex& index) const {
    index.clear();
    std::size_t characters = 0;
    for (std::uint32_t slot : m_all)
        characters += 2 * m_rows[slot].text.size();
    index.reserve(m_all.size(), characters);
    for (std::uint32_t slot : m_all)
        index.add(m_rows[slot], m_key_map);
}

void Document::start_index_build() {
    finish_index_build();
    m_index_stale = true;
    // The builder only reads the rows and the sorted list; everything that
    // changes them waits for it first (finish_index_build).
    m_index_builder = std::thread([this] { build_index(m_building); });
}

void Document::finish_index_build() {
    if (!m_index_builder.joinable())
        return;
    m_index_builder.join();
    if (m_index_stale && !m_lists_changed_while_building) {
        std::swap(m_index, m_building);
        m_index_stale = false;
        m_positions_valid = false;
    }
    m_building.clear();
    m_lists_changed_while_building = false;
}

void Document::ensure_index() {
    finish_index_build();
    if (!m_index_stale)
        return;
    build_index(m_index);
    m_index_stale = false;
    m_positions_valid = false;
}

void Document::filter_by_words(bool narrow_previous) {
    ensure_index();
    m_scratch.clear();
    m_scratch_inside.clear();
    m_scratch_positions.clear();
    auto test = [this](std::uint32_t position) {
        if (!m_filter.may_pass(m_index.masks(position)))
            return;
        const MatchTier tier = m_filter.rank(m_index.view(position));
        if (tier == MatchTier::None)
            return;
        (tier == MatchTier::Prefix ? m_scratch : m_scratch_inside).push_back(m_all[position]);
        m_scratch_positions.push_back(position);
    };
    if (narrow_previous && m_positions_valid) {
        for (std::uint32_t position : m_filtered_positions)
            test(position);
    } else {
        const auto count = static_cast<std::uint32_t>(m_all.size());
        for (std::uint32_t position = 0; position < count; ++position)
            test(position);
    }
    m_prefix_count = m_scratch.size();
    m_scratch.insert(m_scratch.end(), m_scratch_inside.begin(), m_scratch_inside.end());
    m_filtered.swap(m_scratch);
    m_filtered_positions.swap(m_scratch_positions);
    m_positions_valid = true;
}

void Document::rebuild_filtered(FilterSource source, bool narrow_previous) {
    m_filter_source = source;
    if (source == FilterSource::Words && !m_filter.empty()) {
        filter_by_words(narrow_previous);
        update_suggestions();
        return;
    }
    m_positions_valid = false;
    m_scratch.clear();
    m_scratch.reserve(m_all.size());
    if (source == FilterSource::Words) {
        m_scratch.assign(m_all.begin(), m_all.end());
    } else {
        for (std::uint32_t slot : m_all)
            if (is_member(slot))
                m_scratch.push_back(slot);
    }
    m_filtered.swap(m_scratch);
    m_prefix_count = m_filtered.size();
    update_suggestions();
}

void Document::update_suggestions() {
    m_suggestions.clear();
    const auto& words = m_filter.words();
    if (m_filter_source != FilterSource::Words || words.size() != 1)
        return;
    const WString typed = without_phone_separators(words.front());
    if (typed.empty() ||
        !std::all_of(typed.begin(), typed.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }))
        return;
    for (const RecentCall& recent : m_recents.calls()) {
        if (recent.oid != 0 || recent.key == 0)
            continue;
        const WString& number = recent.call.number;
        const WString digits = without_phone_separators(number);
        const std::size_t at = digits.find(typed);
        if (at == WString::npos)
            continue;
        auto same = std::find_if(m_suggestions.begin(), m_suggestions.end(), [&](auto& s) {
            return without_phone_separators(s.number) == digits;
        });
        if (same != m_suggestions.end()) {
            if (same->time >= recent.call.time)
                continue;
            m_suggestions.erase(same);
        }
        NumberSuggestion suggestion;
        suggestion.number = number;
        suggestion.time = recent.call.time;
        suggestion.kind = recent.call.kind;
        // The typed digits in the number as written.
        std::size_t kept = 0, begin = number.size(), end = number.size();
        for (std::size_t i = 0; i < number.size(); ++i) {
            if (is_phone_separator(number[i]))
                continue;
            if (kept == at)
                begin = i;
            if (++kept == at + typed.size()) {
                end = i + 1;
                break;
            }
        }
        suggestion.match_start = static_cast<std::uint16_t>(std::min<std::size_t>(begin, 0xFFFF));
        suggestion.match_length =
            static_cast<std::uint16_t>(std::min<std::size_t>(end - begin, 0xFFFF));
        m_suggestions.push_back(std::move(suggestion));
    }
    std::stable_sort(m_suggestions.begin(), m_suggestions.end(),
                     [](const auto& a, const auto& b) { return a.time > b.time; });
}

void Document::set_sorting(std::uint32_t mode) {
    m_sorting = mode <= 2 ? static_cast<SortMode>(mode) : SortMode::LastName;
    finish_index_build();
    sort_all();
    // Built now rather than at the first keystroke, which should cost no
    // more than one pass over flat memory: beside the first frames on a
    // second thread when the list is long, so that the screen does not wait
    // for it (a keystroke before it is done waits for the rest).
    if (m_all.size() >= kIndexInBackground) {
        start_index_build();
    } else {
        m_index_stale = true;
        ensure_index();
    }
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

std::uint32_t Document::filtered_oid(std::size_t index) const {
    return m_rows[m_filtered[index]].oid;
}

ListedContact Document::filtered_contact(std::size_t index) const {
    const ContactRow& row = m_rows[m_filtered[index]];
    ListedContact listed;
    listed.oid = row.oid;
    listed.names.oid = row.oid;
    listed.names.first_name = row.first_name();
    listed.names.last_name = row.last_name();
    listed.names.company = row.company();
    if (m_filter_source == FilterSource::Category) {
        listed.match.passes = true;
        return listed;
    }
    SearchIndex one;
    one.add(row, m_key_map);
    listed.match = m_filter.match_names(one.view(0));
    return listed;
}

namespace {

char16_t lead_of(const ContactRow& row, SortMode mode) {
    const WStringView first = row.first_name();
    const WStringView last = row.last_name();
    const WStringView company = row.company();
    WStringView key;
    if (!first.empty() || !last.empty()) {
        const WStringView k0 = first.empty() ? last : first;
        const WStringView k1 = first.empty() || !last.empty() ? last : first;
        key = mode == SortMode::FirstName  ? k0
              : mode == SortMode::LastName ? k1
                                           : (company.empty() ? k0 : company);
    } else {
        key = company;
    }
    return key.empty() ? 0 : to_lower(key.front());
}

} // namespace

const std::vector<char16_t>& Document::leads() const {
    if (m_leads_stale) {
        m_leads.clear();
        char16_t previous = 0;
        for (std::size_t i = 0; i < m_all.size(); ++i) {
            const char16_t lead = lead_of(m_rows[m_all[i]], m_sorting);
            if (i > 0 && lead == previous)
                continue;
            previous = lead;
            if (std::find(m_leads.begin(), m_leads.end(), lead) == m_leads.end())
                m_leads.push_back(lead);
        }
        m_leads_stale = false;
    }
    return m_leads;
}

char16_t Document::all_lead(std::size_t index) const {
    return lead_of(m_rows[m_all[index]], m_sorting);
}

char16_t Document::filtered_lead(std::size_t index) const {
    return lead_of(m_rows[m_filtered[index]], m_sorting);
}

void Document::on_contact_added(ContactStore&, const ContactRecord& record) {
    contact_added(record);
}
void Document::on_contact_changed(ContactStore&, std::uint32_t oid) {
    on_contact_changed(oid);
}
void Document::on_contact_removed(ContactStore&, std::uint32_t oid) {
    on_contact_removed(oid);
}

void Document::contact_added(const ContactRecord& record) {
    log_line() << u"Document::contact_added()\n";
    finish_index_build();
    if (record.oid == 0)
        return;
    if (const std::uint32_t existing = slot_of(record.oid); existing != k_no_index) {
        replace_contact(existing, record);
        return;
    }
    // New contacts have the largest oids; one that does not (a notice that
    // came late) moves the later rows up one slot.
    auto at = std::lower_bound(m_rows.begin(), m_rows.end(), record.oid,
                               [](const ContactRow& row, std::uint32_t o) { return row.oid < o; });
    const auto slot = static_cast<std::uint32_t>(at - m_rows.begin());
    if (at != m_rows.end() && at->oid == record.oid) {
        *at = ContactRow::from(record); // a removed contact's row comes back
        m_live[slot] = 1;
    } else {
        m_rows.insert(at, ContactRow::from(record));
        m_live.insert(m_live.begin() + slot, 1);
        for (auto* list : {&m_all, &m_filtered})
            for (std::uint32_t& s : *list)
                s += s >= slot ? 1 : 0;
    }
    m_entries.erase(record.oid);
    learn_categories(record);
    const std::size_t all_index = sorted_position(m_all, 0, m_all.size(), slot);
    m_all.insert(m_all.begin() + static_cast<std::ptrdiff_t>(all_index), slot);
    lists_edited();
    m_phones.add(m_rows[slot]);

    RefreshMessage all = contact_message(RefreshFlag::AllEntered, record.oid);
    all.set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(all_index));
    broadcast(all);
    if (is_member(slot)) {
        const std::uint32_t index = filtered_insert(slot);
        RefreshMessage m = contact_message(RefreshFlag::FilteredEntered, record.oid);
        m.set(RefreshSlot::FilteredIndex, index);
        broadcast(m);
    }
    RefreshMessage added = contact_message(RefreshFlag::ContactAdded, record.oid);
    added.set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(all_index));
    broadcast(added);

    // Calls from the new contact's numbers now have a name.
    bool recents_changed = false;
    for (std::size_t i = 0; i < m_recents.size(); ++i) {
        std::uint32_t key = m_recents.at(i).key;
        if (key == 0)
            continue;
        for (const ContactField& field : record.fields) {
            if (field.kind == FieldKind::Phone && packed_number_key(field.value) == key) {
                if (m_recents.assign(i, record.oid, field_type_name(field.type))) {
                    recents_changed = true;
                    RefreshMessage m(RefreshFlag::RecentChanged);
                    m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(i));
                    broadcast(m);
                }
                break;
            }
        }
    }
    if (recents_changed)
        update_suggestions();
}

void Document::on_contact_changed(std::uint32_t oid) {
    log_line() << u"Document::on_contact_changed()\n";
    const std::uint32_t slot = slot_of(oid);
    if (slot == k_no_index)
        return;
    ContactRecord fresh;
    fresh.oid = oid;
    if (!m_store->read_contact(fresh)) {
        // The store no longer has it: the deletion notice is on its way or
        // was lost; either way the entry must not outlive the contact.
        on_contact_removed(oid);
        return;
    }
    replace_contact(slot, std::move(fresh));
}

void Document::replace_contact(std::uint32_t slot, ContactRecord record) {
    finish_index_build();
    const std::uint32_t oid = m_rows[slot].oid;
    record.oid = oid;
    const auto found = std::find(m_all.begin(), m_all.end(), slot);
    const std::uint32_t old_all =
        found == m_all.end() ? k_no_index : static_cast<std::uint32_t>(found - m_all.begin());
    const std::uint32_t old_filtered = filtered_index_of(slot);

    m_phones.remove(oid);
    m_rows[slot] = ContactRow::from(record);
    learn_categories(record);
    if (auto entry = m_entries.find(oid); entry != m_entries.end()) {
        entry->second->record = std::move(record);
        prepare_entry(*entry->second, m_key_map);
    }

    if (old_all != k_no_index)
        m_all.erase(m_all.begin() + old_all);
    const std::size_t new_all = sorted_position(m_all, 0, m_all.size(), slot);
    m_all.insert(m_all.begin() + static_cast<std::ptrdiff_t>(new_all), slot);
    lists_edited();
    if (old_all == new_all) {
        broadcast(contact_message(RefreshFlag::AllStayed, oid).set(RefreshSlot::AllIndex, old_all));
    } else {
        broadcast(contact_message(RefreshFlag::AllLeft, oid).set(RefreshSlot::AllIndex, old_all));
        broadcast(contact_message(RefreshFlag::AllEntered, oid)
                      .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all)));
    }

    if (old_filtered != k_no_index)
        filtered_erase(old_filtered);
    std::uint32_t new_filtered = k_no_index;
    if (is_member(slot))
        new_filtered = filtered_insert(slot);
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

    m_phones.add(m_rows[slot]);
    broadcast(contact_message(RefreshFlag::ContactChanged, oid)
                  .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all)));

    // A new name can move the contact's favourites.
    if (auto entry = m_entries.find(oid); entry != m_entries.end()) {
        m_favorites.sort();
        for (std::size_t i : m_favorites.indexes_of(*entry->second))
            broadcast(contact_message(RefreshFlag::FavoriteChanged, oid)
                          .set(RefreshSlot::AllIndex, static_cast<std::uint32_t>(new_all))
                          .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(i)));
    }
    rematch_recents(oid);
}

void Document::learn_categories(const ContactRecord& record) {
    for (const ContactField& field : record.fields)
        if (field.type == FieldType::Categories)
            for (WString& name : split_categories(field.value))
                if (!name.empty() && m_category_set.insert(name).second)
                    m_categories.push_back(std::move(name));
}

void Document::rematch_recents(std::uint32_t oid) {
    bool changed = false;
    for (std::size_t i = 0; i < m_recents.size(); ++i) {
        bool was_its = m_recents.at(i).oid == oid;
        m_recents.rematch(i, m_phones);
        if (was_its || m_recents.at(i).oid == oid) {
            changed = true;
            RefreshMessage m(RefreshFlag::RecentChanged);
            m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(i));
            broadcast(m);
        }
    }
    if (changed)
        update_suggestions();
}

void Document::on_contact_removed(std::uint32_t oid) {
    log_line() << u"Document::on_contact_removed()\n";
    finish_index_build();
    const std::uint32_t slot = slot_of(oid);
    if (slot == k_no_index)
        return;
    const auto found = std::find(m_all.begin(), m_all.end(), slot);
    const std::uint32_t all_index =
        found == m_all.end() ? k_no_index : static_cast<std::uint32_t>(found - m_all.begin());
    const std::uint32_t filtered_index = filtered_index_of(slot);
    lists_edited();
    if (all_index != k_no_index)
        m_all.erase(m_all.begin() + all_index);
    if (filtered_index != k_no_index)
        filtered_erase(filtered_index);
    m_phones.remove(oid);
    m_live[slot] = 0;
    m_rows[slot].text = WString(); // the oid stays: rows keep their order

    // Dropped from the list only; the file keeps the line until the next
    // load skips it.
    auto entry = m_entries.find(oid);
    if (entry != m_entries.end()) {
        ContactEntry& removed = *entry->second;
        while (!removed.favorite_values.empty()) {
            std::int32_t value = removed.favorite_values.front();
            std::optional<std::size_t> index = m_favorites.remove(removed, value);
            if (!index)
                break;
            broadcast(contact_message(RefreshFlag::FavoriteRemoved, oid)
                          .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
        }
    }
    rematch_recents(oid);
    broadcast(contact_message(RefreshFlag::ContactRemoved, oid)
                  .set(RefreshSlot::AllIndex, all_index)
                  .set(RefreshSlot::FilteredIndex, filtered_index));
    if (entry != m_entries.end())
        m_entries.erase(entry);
}

bool Document::add_favorite(std::uint32_t oid, std::int32_t value) {
    ContactEntry* entry = find_contact(oid);
    if (entry == nullptr)
        return false;
    m_favorites_failure = WriteFailure::none;
    std::optional<std::size_t> index = m_favorites.add(*entry, value);
    if (!index)
        return false;
    if (!save_favorites()) {
        // Not stored, so not shown: the star stays off.
        m_favorites.remove(*entry, value);
        return false;
    }
    broadcast(contact_message(RefreshFlag::FavoriteAdded, oid)
                  .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
    return true;
}

bool Document::remove_favorite(std::uint32_t oid, std::int32_t value) {
    ContactEntry* entry = find_contact(oid);
    if (entry == nullptr)
        return false;
    m_favorites_failure = WriteFailure::none;
    std::optional<std::size_t> index = m_favorites.remove(*entry, value);
    if (!index)
        return false;
    if (!save_favorites()) {
        // Still in the file, so still shown.
        m_favorites.add(*entry, value);
        return false;
    }
    broadcast(contact_message(RefreshFlag::FavoriteRemoved, oid)
                  .set(RefreshSlot::FavoriteIndex, static_cast<std::uint32_t>(*index)));
    return true;
}

void Document::load_favorites() {
    std::vector<FavoriteLine> lines;
    m_favorites_file = read_favorites_file(m_files.favorites, lines);
    m_favorites.load(lines, [this](std::uint32_t oid) { return find_contact(oid); });
}

bool Document::save_favorites() {
    // A file that could not be read is never written over.
    if (!m_favorites_file.may_write()) {
        m_favorites_failure = WriteFailure::damaged;
        return false;
    }
    if (!write_favorites_file(m_files.favorites, m_favorites.lines())) {
        m_favorites_failure = write_failure_of_errno(errno);
        if (m_favorites_failure == WriteFailure::none)
            m_favorites_failure = WriteFailure::other;
        return false;
    }
    // The damaged file is kept aside; this one is whole.
    m_favorites_file.state = FavoritesFile::Read;
    return true;
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
    update_suggestions();
    broadcast(RefreshMessage(RefreshFlag::RecentsComplete));
}

void Document::add_recent_call(const CallRecord& record) {
    std::size_t index = m_recents.insert(0, record, m_phones);
    update_suggestions();
    RefreshMessage m(RefreshFlag::RecentAdded);
    m.set(RefreshSlot::RecentIndex, static_cast<std::uint32_t>(index));
    broadcast(m);
}

void Document::set_dialer(bool on) {
    m_dialer = on;
    runtime::reg_write_dword(k_settings_key, u"Dialer", on ? 1u : 0u);
}

} // namespace telvara::data
