#pragma once
// The contact store: contacts, their photos and the contacts folder's
// categories in the SQLite volume "\pim.vol", and the change notifications
// that tell the listener (the Document) what another writer, this process
// included, did to them.

#include "data/contact_record.h"
#include "data/pim_messages.h"
#include "data/volume.h"
#include "platform/messages.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace telvara::data {

class ContactStore;

// Implemented by the Document. All calls come on the thread that runs the
// store's watcher (the UI thread).
class ContactStoreListener {
  public:
    virtual ~ContactStoreListener() = default;
    virtual void on_contact_added(ContactStore& store, const ContactRecord& record) = 0;
    virtual void on_load_progress(ContactStore& store, std::size_t index, std::size_t count) = 0;
    virtual void on_contact_changed(ContactStore& store, std::uint32_t oid) = 0;
    // Also for oids the listener never saw (a contact created and deleted
    // before it was read): the listener ignores unknown oids.
    virtual void on_contact_removed(ContactStore& store, std::uint32_t oid) = 0;
};

// One stored property: its identifier (identifier in the high 16 bits, value
// type in the low 16: 0x001F text, 0x0040 date) and its column in the volume.
struct ContactProperty {
    std::uint32_t id;
    const char* column;
};

// The 38 properties in their fixed order: oid, first name, last name,
// company, then the field types 0-33 (property index i holds type i - 4).
std::span<const ContactProperty> contact_properties();

// Splits a category text at every "," and ";": a piece loses one leading
// space; pieces before a separator are kept even when empty, the rest after
// the last separator only when not empty.
std::vector<WString> split_category_text(WStringView text);

// A change taken from the volume's change journal.
struct ContactNotification {
    std::uint32_t code = 0; // PIM_ITEM_*
    std::uint32_t oid = 0;
    bool operator==(const ContactNotification&) const = default;
};

// Text property that marks contacts for the partial erase: Suffix. Test
// contacts carry it, real contacts practically never have "##F" there.
inline constexpr FieldType kEraseMarkerField = FieldType::Suffix;
inline constexpr char16_t kEraseMarker[] = u"##F";

enum class EraseScope { all, marked };

// Facts the volume keeps about itself, beside the contacts: they hold when
// the settings file is lost or damaged, and no erase of contacts takes them.
enum class VolumeMark {
    demo_added, // the first start has added the demo phone (or found data)
};

// Largest photo accepted, in bytes.
inline constexpr std::size_t kMaxPictureBytes = std::size_t(8) << 20;

// A contact to store together with its photo (JPEG or PNG bytes, empty for
// none): what an import hands over.
struct ContactWithPhoto {
    ContactRecord record;
    std::vector<std::byte> photo;
};

// Whether generated contacts get photos (flat-colour avatars, about one in
// four).
enum class TestPhotos { none, some };

class ContactStore {
  public:
    // The volume "\pim.vol" under the device root.
    ContactStore();
    // Any SQLite file (tools, tests).
    explicit ContactStore(std::string file_name);
    ~ContactStore();
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    // False when the volume could not be opened (volume_state() says why) or
    // holds no contacts table and may not get one; every operation then
    // fails or yields nothing.
    bool is_open() const;
    // Open, and neither read-only nor found damaged: writes may succeed.
    bool is_writable() const;
    const std::string& file_name() const;
    // What the volume allows and why not. A read that fails on an open
    // volume marks it damaged: what was read stays, nothing is written.
    const VolumeState& volume_state() const;
    // The problem, with the file's name, for stderr and the log.
    std::string volume_problem_text() const;
    // Why the last write (create, update, delete, photo, categories, erase,
    // test contacts) failed; none after one that succeeded.
    WriteFailure last_write_failure() const;
    // How many contacts the volume holds (counted, not read); -1 when that
    // cannot be read.
    std::int64_t stored_count();

    void set_listener(ContactStoreListener* listener);

    // Every contact, by oid; returns the count. The list is replaced. Changes
    // journaled before this read are not delivered afterwards.
    std::size_t load_contacts(std::vector<ContactRecord>& out);
    // Every contact by oid with only what the contacts list and the search
    // need: the names, the company, the numbers (phones, faxes, pager) and
    // the categories. `each` gets one record, reused from call to call (its
    // strings keep their room); returns the count. Journal positions are
    // taken as load_contacts does.
    std::size_t load_list(const std::function<void(const ContactRecord&)>& each);
    // The largest oid in use (oids are never reused: at least the count).
    std::uint32_t largest_oid();
    // Reads the contact with record.oid; false when there is none.
    bool read_contact(ContactRecord& record);
    // Stores a new contact: sets record.oid and appends an empty Categories
    // field when the record has none.
    bool create_contact(ContactRecord& record);
    // Writes the record over the stored contact with its oid; false when
    // there is none. Fields not in the record are cleared.
    bool update_contact(const ContactRecord& record);
    bool delete_contact(std::uint32_t oid);
    // Stores the contacts and their photos in one transaction, all or none;
    // sets each record's oid (and appends the empty Categories field as
    // create_contact does). The journal holds one "created" per contact.
    bool create_contacts(std::span<ContactWithPhoto> contacts);

    // The contacts folder's categories; returns the count. The list is
    // replaced. Every write above adds the category names its contacts use
    // that the folder lacks, so the list offers every name in use.
    std::size_t load_categories(std::vector<WString>& out);
    // Replaces the folder's category text ("a, b;c").
    bool set_categories(WStringView text);

    bool has_mark(VolumeMark mark);
    bool set_mark(VolumeMark mark);

    // Runs the picture chooser; the chosen file's path, empty when nothing
    // was chosen. Blocks until the chooser ends.
    WString choose_picture();
    // Whether the last choose_picture() found a chooser that could run (a
    // user who cancelled it had one).
    bool picture_chooser_missing() const { return m_chooser_missing; }
    // Stores the contact's photo as image bytes; empty bytes remove it.
    bool set_picture(const ContactRecord& record, std::span<const std::byte> image);
    // Reads an image file (at most kMaxPictureBytes) and stores it.
    bool set_picture_file(const ContactRecord& record, const std::string& path);
    // The stored image bytes, empty when the contact has no photo.
    std::vector<std::byte> get_picture(const ContactRecord& record);
    bool has_picture(std::uint32_t oid);

    // Turns one change message into a listener call; returns 0.
    std::intptr_t handle_notification(std::uint32_t code, std::uint32_t oid);

    // Deletes all contacts, or those whose Suffix holds "##F", in one
    // transaction; returns how many were deleted.
    std::size_t erase_contacts(EraseScope scope);
    // Adds n generated contacts (see test_contacts.h) in one transaction;
    // returns how many were added.
    std::size_t add_test_contacts(std::size_t n, TestPhotos photos = TestPhotos::none);

    // Change watching. Call on the thread that should receive the listener
    // calls (the UI thread): a hidden target there checks the volume every
    // interval and posts the journaled changes as PIM_ITEM_* messages to
    // `deliver_to`, whose procedure hands them to handle_notification; with
    // no target given the store's own hidden target does that.
    void start_watching(platform::TargetRef deliver_to = {}, std::uint32_t interval_ms = 250);
    void stop_watching();
    // The changes journaled since the last call (or the load), oldest first;
    // cheap when nothing changed. Used by the watcher; tests call it directly.
    std::vector<ContactNotification> collect_changes();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_chooser_missing = false;
};

} // namespace telvara::data
