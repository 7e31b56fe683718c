#pragma once
// Inside the contact store: the connection, its prepared statements, the
// change-journal bookkeeping and the watcher. Only the store's own sources
// include this.

#include "data/contact_store.h"
#include "data/sql.h"
#include "data/volume.h"

#include <functional>
#include <utility>

namespace telvara::data {

// Journal kinds; code = WM_APP + 0x100 + kind (+ 5 for another writer).
enum class ChangeKind : std::int64_t { created = 0, deleted = 1, changed = 2 };

class ContactWatcher;

struct ContactStore::Impl {
    std::string file_name;
    sql::Database db;
    // What the volume allows; a read that fails makes it damaged, and from
    // then on nothing is written to it.
    VolumeState state;
    // A volume readable but without our tables (an empty read-only file):
    // it holds no contacts.
    bool no_tables = false;
    WriteFailure last_failure = WriteFailure::none;
    ContactStoreListener* listener = nullptr;

    // Journal position: every row up to here has been delivered (or was
    // covered by the load).
    std::int64_t last_seen = 0;
    // PRAGMA data_version at the last look; changes only with other writers.
    std::int64_t data_version = -1;
    // Our own commits do not move data_version.
    bool own_write_pending = false;
    // Journal rows (first, last] this connection wrote, not yet delivered.
    std::vector<std::pair<std::int64_t, std::int64_t>> own_rows;

    std::unique_ptr<ContactWatcher> watcher;

    bool open(std::string name);
    // Marks the volume damaged after a read failed (logged once).
    void read_failed();
    // The failure a write met: the volume's own state, else SQLite's.
    WriteFailure failure_of_write() const;
    std::int64_t max_seq();
    // Runs `body` in one write transaction and notes the journal rows it
    // wrote; false when anything failed (nothing is then written).
    bool write(const std::function<bool()>& body);
    void note_position();
};

// Drops journal rows older than an hour, keeping the newest 1,000 whatever
// their age, so that a watcher that slept through a while still finds its
// rows.
void trim_journal(sql::Database& db);

} // namespace telvara::data
