#pragma once
// The Document: the one data model behind every screen. It keeps a row of
// every contact with what the list and the search need (ContactRow), the
// all-contacts list in the current sort order, the filtered list (search
// words or category, prefix matches first), the numbers of the call history
// that match the search, the phone index, the favourites and the recent
// calls; follows the store's notifications and tells its listeners what
// changed with one refresh message per change. A whole contact
// (ContactEntry, which never moves once made) is read from the store when a
// screen first asks for it.

#include "data/call_record.h"
#include "data/categories.h"
#include "data/contact_entry.h"
#include "data/contact_filter.h"
#include "data/contact_row.h"
#include "data/contact_store.h"
#include "data/favorites.h"
#include "data/key_map.h"
#include "data/phone_index.h"
#include "data/recent_calls.h"
#include "data/refresh_message.h"
#include "data/search_index.h"

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace telvara::data {

class ContactSource;
class Document;

// A list of the Document's contacts (all or filtered) as entries. Asking
// for an entry reads that contact from the store the first time; size and
// emptiness cost nothing.
class ContactList {
  public:
    ContactList(const Document& document, const std::vector<std::uint32_t>& slots)
        : m_document(&document), m_slots(&slots) {}

    std::size_t size() const { return m_slots->size(); }
    bool empty() const { return m_slots->empty(); }
    ContactEntry* operator[](std::size_t i) const;

    class iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ContactEntry*;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ContactEntry*;
        iterator(const ContactList* list, std::size_t i) : m_list(list), m_i(i) {}
        ContactEntry* operator*() const { return (*m_list)[m_i]; }
        iterator& operator++() {
            ++m_i;
            return *this;
        }
        bool operator==(const iterator& other) const { return m_i == other.m_i; }

      private:
        const ContactList* m_list;
        std::size_t m_i;
    };
    iterator begin() const { return {this, 0}; }
    iterator end() const { return {this, size()}; }

  private:
    const Document* m_document;
    const std::vector<std::uint32_t>* m_slots;
};

// What a row of the contacts list shows of a contact: its names and
// company and the matched lengths, without reading the whole contact.
struct ListedContact {
    std::uint32_t oid = 0;
    ContactRecord names; // names and company only
    MatchResult match;
};

// A number of the call history that belongs to no contact and answers the
// typed digits: offered below the contacts.
struct NumberSuggestion {
    WString number;
    std::int64_t time = 0; // its last call's start, local file time
    CallKind kind = CallKind::Incoming;
    std::uint16_t match_start = 0; // the typed digits in the number as written
    std::uint16_t match_length = 0;
};

enum class SortMode : std::uint32_t {
    FirstName = 0, // K1, K2, K3
    LastName = 1,  // K2, K1, K3 (default)
    Company = 2,   // K3, K2, K1
};

// Where the Document's files live (native file names).
struct DocumentFiles {
    std::string keyboard;  // "%app_path%\keyboard.txt"
    std::string favorites; // "favorits.dat" under the device root, beside "pim.vol"
    static DocumentFiles defaults();
};

class Document final : public ContactStoreListener, private CallRecordConsumer {
  public:
    // The second Document in a process is a fatal error.
    explicit Document(ContactSource& store, CallLogSource* call_log = nullptr,
                      DocumentFiles files = DocumentFiles::defaults());
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The Document of the process, or null.
    static Document* instance();

    // Listeners are called in registration order, synchronously.
    void add_listener(DocumentListener& listener);
    void remove_listener(DocumentListener& listener);
    void broadcast(const RefreshMessage& message);

    // The start-up load: categories, contacts, favourites, call log, then
    // sorting with the stored mode.
    void load();
    bool loaded() const { return m_loaded; }

    // Re-sorts, rebuilds the filtered list from the search words, stores
    // "Sorting" and broadcasts flag 0. Unknown modes fall back to LastName.
    void set_sorting(std::uint32_t mode);
    SortMode sorting() const { return m_sorting; }

    // New search text: flag 11 with slot 2 = the filtered index to show.
    void set_filter(WStringView text);
    // Rebuilds the filtered list from the search words; flag 0.
    void set_filtered_contacts();
    // A non-empty name becomes the current category; the filtered list is
    // rebuilt from its members; flag 0.
    void set_category(WStringView name);
    const WString& category() const { return m_category; }
    // The folder's categories as loaded, then the names that contacts added
    // or changed since brought in (typed in the editor, imported).
    const std::vector<WString>& categories() const { return m_categories; }
    const std::vector<WString>& filter_words() const { return m_filter.words(); }

    // The entry against the current search words (lengths for highlighting).
    // Matched lengths for the list's highlight; none while the list shows a
    // category (words left from an earlier search no longer apply).
    MatchResult match(const ContactEntry& entry) const;
    MatchResult match(const ContactEntry& entry, const std::vector<WString>& words) const;

    ContactList all_contacts() const { return {*this, m_all}; }
    ContactList filtered_contacts() const { return {*this, m_filtered}; }
    std::size_t contact_count() const { return m_all.size(); }
    // The filtered list without reading whole contacts.
    std::size_t filtered_count() const { return m_filtered.size(); }
    std::uint32_t filtered_oid(std::size_t index) const;
    ListedContact filtered_contact(std::size_t index) const;
    // The leading sort key's first character of the contact at that place in
    // the full or the filtered list (lower case, 0 for none).
    char16_t all_lead(std::size_t index) const;
    // The leading characters of the full list, each once, in list order.
    const std::vector<char16_t>& leads() const;
    char16_t filtered_lead(std::size_t index) const;
    // Numbers of the call history that belong to no contact and contain the
    // typed digits (one word of them), newest call first; empty otherwise.
    const std::vector<NumberSuggestion>& suggestions() const { return m_suggestions; }
    // The whole contact, read from the store when first asked for; null
    // when there is none.
    ContactEntry* find_contact(std::uint32_t oid) const;
    // The contact field whose number shares the last seven digits.
    PhoneRef find_by_phone_number(WStringView number) const;
    const PhoneIndex& phone_index() const { return m_phones; }
    const KeyMap& key_map() const { return m_key_map; }

    // Store notifications.
    void contact_added(const ContactRecord& record);
    void on_contact_changed(std::uint32_t oid);
    void on_contact_removed(std::uint32_t oid);

    // Favourites, saved after every add and remove. A change that cannot be
    // saved is taken back (the list shows what the file holds): false, and
    // favorites_write_failure() says why.
    bool add_favorite(std::uint32_t oid, std::int32_t value);
    bool remove_favorite(std::uint32_t oid, std::int32_t value);
    void load_favorites();
    bool save_favorites();
    const FavoriteList& favorites() const { return m_favorites; }
    // How the file read at the last load (damaged, unreadable, kept aside).
    const FavoritesLoad& favorites_file() const { return m_favorites_file; }
    // Why the last add or remove was not saved; none when it was.
    WriteFailure favorites_write_failure() const { return m_favorites_failure; }

    // Recent calls: update_log re-reads the call log (flags 6, then 18);
    // add_recent_call puts one new call first (flag 4, slot 0 = 0).
    void update_log();
    void add_recent_call(const CallRecord& record);
    const RecentCalls& recent_calls() const { return m_recents; }
    void set_call_log(CallLogSource* call_log) { m_call_log = call_log; }

    bool dialer() const { return m_dialer; }
    // Stores "Dialer".
    void set_dialer(bool on);
    WStringView unknown_contact_name() const { return u"skinUnknown"; }

  private:
    // ContactStoreListener.
    void on_contact_added(ContactStore&, const ContactRecord& record) override;
    void on_load_progress(ContactStore&, std::size_t, std::size_t) override {}
    void on_contact_changed(ContactStore&, std::uint32_t oid) override;
    void on_contact_removed(ContactStore&, std::uint32_t oid) override;
    // CallRecordConsumer.
    void on_call_record(const CallRecord& record) override;

    enum class FilterSource { Words, Category };
    friend class ContactList;

    // Rows by slot, in oid order (new contacts get larger oids); a removed
    // contact leaves an empty row behind.
    std::uint32_t slot_of(std::uint32_t oid) const;
    ContactEntry* entry_of_slot(std::uint32_t slot) const;
    bool sorts_before(std::uint32_t a, std::uint32_t b) const;
    std::size_t sorted_position(const std::vector<std::uint32_t>& list, std::size_t begin,
                                std::size_t end, std::uint32_t slot) const;
    void sort_all();
    bool is_member(std::uint32_t slot) const;
    MatchTier tier_of(std::uint32_t slot) const;
    // Where the slot is (k_no_index when absent), and where it goes.
    std::uint32_t filtered_index_of(std::uint32_t slot) const;
    std::uint32_t filtered_insert(std::uint32_t slot);
    void filtered_erase(std::uint32_t index);
    void rebuild_filtered(FilterSource source, bool narrow_previous);
    // The sorted or filtered list was edited in place: the search index and
    // the filtered positions no longer describe it.
    void lists_edited();
    void ensure_index();
    void build_index(SearchIndex& index) const;
    void start_index_build();
    // Waits for a search index being built on the second thread and takes it.
    void finish_index_build();
    void filter_by_words(bool narrow_previous);
    void update_suggestions();
    void replace_contact(std::uint32_t slot, ContactRecord record);
    void learn_categories(const ContactRecord& record);
    void read_call_log();
    void rematch_recents(std::uint32_t oid);
    void clear_entries();

    ContactSource* m_store;
    CallLogSource* m_call_log;
    DocumentFiles m_files;
    KeyMap m_key_map;
    ContactFilter m_filter{m_key_map};
    std::vector<DocumentListener*> m_listeners;
    int m_broadcasting = 0;
    bool m_listeners_removed = false;

    std::vector<ContactRow> m_rows;
    std::vector<std::uint8_t> m_live; // per slot: 0 once the contact was removed
    // Whole contacts read so far, by oid.
    mutable std::unordered_map<std::uint32_t, std::unique_ptr<ContactEntry>> m_entries;
    std::vector<std::uint32_t> m_all;      // slots in sort order
    std::vector<std::uint32_t> m_filtered; // slots: prefix matches, then the rest
    std::size_t m_prefix_count = 0;        // of m_filtered
    std::vector<std::uint32_t> m_scratch;
    std::vector<std::uint32_t> m_scratch_inside;
    SearchIndex m_index;
    bool m_index_stale = true;
    std::thread m_index_builder;
    SearchIndex m_building;
    bool m_lists_changed_while_building = false;
    // Positions in m_all of m_filtered's entries, ascending, while
    // m_positions_valid.
    std::vector<std::uint32_t> m_filtered_positions;
    std::vector<std::uint32_t> m_scratch_positions;
    bool m_positions_valid = false;
    std::vector<NumberSuggestion> m_suggestions;
    mutable std::vector<char16_t> m_leads;
    mutable bool m_leads_stale = true;
    FilterSource m_filter_source = FilterSource::Words;
    PhoneIndex m_phones;
    FavoriteList m_favorites;
    FavoritesLoad m_favorites_file;
    WriteFailure m_favorites_failure = WriteFailure::none;
    RecentCalls m_recents;
    std::vector<WString> m_categories;
    // The names of m_categories, to learn new ones in constant time.
    std::unordered_set<WString> m_category_set;
    WString m_category = k_no_category;
    SortMode m_sorting = SortMode::LastName;
    bool m_dialer = true;
    bool m_loaded = false;
};

} // namespace telvara::data
