#pragma once
// The Document: the one data model behind every screen. It owns the contact
// entries (which never move once made), the all-contacts list in the current
// sort order, the filtered list (search words or category), the phone index,
// the favourites and the recent calls, follows the store's notifications and
// tells its listeners what changed with one refresh message per change.

#include "data/call_record.h"
#include "data/categories.h"
#include "data/contact_entry.h"
#include "data/contact_filter.h"
#include "data/contact_store.h"
#include "data/favorites.h"
#include "data/key_map.h"
#include "data/phone_index.h"
#include "data/recent_calls.h"
#include "data/refresh_message.h"
#include "data/search_index.h"

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace telvara::data {

class ContactSource;

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

    const std::vector<ContactEntry*>& all_contacts() const { return m_all; }
    const std::vector<ContactEntry*>& filtered_contacts() const { return m_filtered; }
    ContactEntry* find_contact(std::uint32_t oid) const;
    // The contact field whose number shares the last seven digits.
    PhoneRef find_by_phone_number(WStringView number) const { return m_phones.find(number); }
    const PhoneIndex& phone_index() const { return m_phones; }
    const KeyMap& key_map() const { return m_key_map; }

    // Store notifications.
    void contact_added(const ContactRecord& record);
    void on_contact_changed(std::uint32_t oid);
    void on_contact_removed(std::uint32_t oid);

    // Favourites (saved after every add and remove).
    bool add_favorite(std::uint32_t oid, std::int32_t value);
    bool remove_favorite(std::uint32_t oid, std::int32_t value);
    void load_favorites();
    bool save_favorites() const;
    const FavoriteList& favorites() const { return m_favorites; }

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
    void on_contact_added(ContactManagerImpl2&, const ContactRecord& record) override;
    void on_load_progress(ContactManagerImpl2&, std::size_t, std::size_t) override {}
    void on_contact_changed(ContactManagerImpl2&, std::uint32_t oid) override;
    void on_contact_removed(ContactManagerImpl2&, std::uint32_t oid) override;
    // CallRecordConsumer.
    void on_call_record(const CallRecord& record) override;

    enum class FilterSource { Words, Category };

    bool sorts_before(const ContactEntry& a, const ContactEntry& b) const;
    std::size_t sorted_position(const std::vector<ContactEntry*>& list,
                                const ContactEntry& entry) const;
    // Index of the entry in a sorted list, k_no_index when absent.
    std::uint32_t index_in(const std::vector<ContactEntry*>& list, const ContactEntry& entry) const;
    bool is_member(const ContactEntry& entry) const;
    void rebuild_filtered(FilterSource source, bool narrow_previous);
    // The sorted or filtered list was edited in place: the search index and
    // the filtered positions no longer describe it.
    void lists_edited();
    void filter_by_words(bool narrow_previous);
    void replace_contact(ContactEntry& entry, ContactRecord record);
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

    std::list<ContactEntry> m_entries;
    std::unordered_map<std::uint32_t, std::list<ContactEntry>::iterator> m_by_oid;
    std::vector<ContactEntry*> m_all;
    std::vector<ContactEntry*> m_filtered;
    std::vector<ContactEntry*> m_scratch;
    SearchIndex m_index;
    bool m_index_stale = true;
    // Positions in m_all of m_filtered's entries, while m_positions_valid.
    std::vector<std::uint32_t> m_filtered_positions;
    std::vector<std::uint32_t> m_scratch_positions;
    bool m_positions_valid = false;
    FilterSource m_filter_source = FilterSource::Words;
    PhoneIndex m_phones;
    FavoriteList m_favorites;
    RecentCalls m_recents;
    std::vector<WString> m_categories;
    WString m_category = k_no_category;
    SortMode m_sorting = SortMode::LastName;
    bool m_dialer = true;
    bool m_loaded = false;
};

} // namespace telvara::data
