#pragma once
// The call log: the table "clog.db" in the "\pim.vol" SQLite volume. The
// phone layer writes one entry when a call ends; the recent-calls list reads
// every entry as a CallRecord; the recents screens delete entries by number
// and start time.

#include "data/call_record.h"
#include "data/sql.h"
#include "data/volume.h"
#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace telvara::data {
class Document;
}

namespace telvara::phone {

// Direction as the log stores it (not the CallKind of the recents list).
enum class CallDirection : std::uint32_t {
    Missed = 0,
    Incoming = 1,
    Outgoing = 2,
    Rejected = 3, // an incoming call the user turned away
};

// One entry as the log stores it. Times are file times (100 ns units since
// 1601-01-01) in UTC. `start` is when the call was first seen (ringing or
// dialing); `end` - `start` is the talk time, from connect to hang-up, so
// `end` equals `start` for a call never connected.
struct CallLogEntry {
    std::int64_t start = 0;
    std::int64_t end = 0;
    CallDirection direction = CallDirection::Missed;
    std::optional<WString> number;
    std::optional<WString> name;
};

// What identifies a log entry for deletion: its number ("Unknown" for an
// entry without one) and its start time as local file time, both exactly as
// the CallRecord carried them.
struct CallLogKey {
    WString number;
    std::int64_t time = 0;
};

// File time (UTC) of a moment given in milliseconds since 1970.
std::int64_t file_time_from_unix_ms(std::int64_t unix_ms);
// The current time as a UTC file time.
std::int64_t file_time_now();
// A UTC file time moved by the local zone's offset at that moment (daylight
// time included when it was in force then).
std::int64_t to_local_file_time(std::int64_t utc_file_time);

// The recents list's view of an entry: kind, local start, whole seconds.
data::CallRecord to_call_record(const CallLogEntry& entry);

class CallLog final : public data::CallLogSource {
  public:
    // The volume "\pim.vol" of the device root.
    CallLog();
    // Any SQLite file (tests, tools).
    explicit CallLog(std::string file_name);
    ~CallLog() override;
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    // False when the volume could not be opened or has a newer schema; every
    // operation then does nothing (and reading delivers nothing).
    bool is_open() const { return static_cast<bool>(m_db); }

    // Whether entries can be added: the volume is neither read-only nor
    // damaged.
    bool is_writable() const { return is_open() && m_state.writable(); }
    const data::VolumeState& volume_state() const { return m_state; }

    // Appends one entry; false when it could not be written, with the
    // reason in last_write_failure().
    bool add(const CallLogEntry& entry);
    data::WriteFailure last_write_failure() const { return m_last_failure; }

    // Every entry, newest first, as CallRecords.
    void read_call_log(data::CallRecordConsumer& consumer) override;
    // The raw entries, newest first (tools, tests).
    std::vector<CallLogEntry> entries();

    // Deletes the first entry (in reading order) matching the key; true when
    // one was deleted.
    bool delete_matching(const CallLogKey& key);
    // Deletes one entry per key; returns how many were deleted.
    std::size_t delete_matching(std::span<const CallLogKey> keys);

    // The recents entry at `index` of the Document's list: deleted from the
    // log, then the list re-reads the log. Nothing happens for a bad index.
    bool delete_call_log_entry(data::Document& document, std::size_t index);
    // Every recents entry whose index is listed (bad indexes are skipped);
    // then the same re-read. Returns how many log entries were deleted.
    std::size_t delete_call_log_entries(data::Document& document,
                                        std::span<const std::size_t> indexes);

  private:
    bool open(std::string file_name);

    std::string m_file_name;
    data::sql::Database m_db;
    data::VolumeState m_state;
    data::WriteFailure m_last_failure = data::WriteFailure::none;
};

} // namespace telvara::phone
