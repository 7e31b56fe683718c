// The call log on SQLite. The table shares the "\pim.vol" file with the
// contact store, whose schema version is PRAGMA user_version; the log keeps
// its own version in the small table clog_meta so that neither disturbs the
// other.
//
//   "clog.db"   id (rowid, grows), start_time and end_time (UTC file times;
//               end_time - start_time is the talk time), direction (0 missed, 1 incoming, 2
//               outgoing, 3 rejected), number and name (NULL when unknown)
//   clog_meta   key/value: 'schema_version' = 1
#include "phone/call_log.h"

#include "data/document.h"
#include "data/phone_index.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <limits>

namespace telvara::phone {
namespace {

constexpr std::int64_t k_schema_version = 1;
constexpr std::int64_t k_ticks_per_second = 10'000'000;
// File time of 1970-01-01 (100 ns units since 1601-01-01).
constexpr std::int64_t k_unix_epoch = 116'444'736'000'000'000;

constexpr char k_schema[] =
    "CREATE TABLE IF NOT EXISTS clog_meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS \"clog.db\"("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " start_time INTEGER NOT NULL,"
    " end_time INTEGER NOT NULL,"
    " direction INTEGER NOT NULL,"
    " number TEXT,"
    " name TEXT);"
    "CREATE INDEX IF NOT EXISTS clog_by_start ON \"clog.db\"(start_time);"
    "INSERT OR IGNORE INTO clog_meta(key, value) VALUES('schema_version', 1);";

// Newest first; among equal start times the later written first.
constexpr char k_select[] = "SELECT id, start_time, end_time, direction, number, name"
                            " FROM \"clog.db\" ORDER BY start_time DESC, id DESC";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

std::optional<WString> optional_text(const data::sql::Statement& row, int column) {
    if (row.is_null(column))
        return std::nullopt;
    return from_utf8(row.column_text(column));
}

CallLogEntry read_entry(const data::sql::Statement& row) {
    CallLogEntry entry;
    entry.start = row.column_int(1);
    entry.end = row.column_int(2);
    const std::int64_t direction = row.column_int(3);
    entry.direction = direction >= 0 && direction <= 3 ? static_cast<CallDirection>(direction)
                                                       : CallDirection::Missed;
    entry.number = optional_text(row, 4);
    entry.name = optional_text(row, 5);
    return entry;
}

void bind_optional(data::sql::Statement& statement, int index, const std::optional<WString>& text) {
    if (text)
        statement.bind_text(index, to_utf8(*text));
    else
        statement.bind_null(index);
}

bool matches(const CallLogKey& key, const std::optional<WString>& number, std::int64_t start) {
    const WStringView stored = number ? WStringView(*number) : WStringView(u"Unknown");
    return key.number == stored && key.time == to_local_file_time(start);
}

} // namespace

// --- conversions -------------------------------------------------------------

std::int64_t file_time_from_unix_ms(std::int64_t unix_ms) {
    return unix_ms * 10'000 + k_unix_epoch;
}

std::int64_t file_time_now() {
    using namespace std::chrono;
    return file_time_from_unix_ms(
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::int64_t to_local_file_time(std::int64_t utc_file_time) {
    // The offset in force at that moment, not today's: a summer call keeps
    // its summer time after the clocks change, and deletion matches what
    // reading produced whenever both run.
    const std::int64_t seconds = (utc_file_time - k_unix_epoch) / k_ticks_per_second;
    const std::time_t moment = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (::localtime_r(&moment, &local) == nullptr)
        return utc_file_time;
    return utc_file_time + static_cast<std::int64_t>(local.tm_gmtoff) * k_ticks_per_second;
}

data::CallRecord to_call_record(const CallLogEntry& entry) {
    data::CallRecord record;
    // A clock set back during a call would give a negative length; a length
    // beyond 32 bits cannot be a call.
    const std::int64_t seconds = (entry.end - entry.start) / k_ticks_per_second;
    record.duration = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(seconds, 0, std::numeric_limits<std::int32_t>::max()));
    if (entry.name)
        record.name = *entry.name;
    if (entry.number) {
        record.number = *entry.number;
        record.number_key = data::number_key(*entry.number);
    } else {
        record.number = u"Unknown";
        record.number_key = u"Unknown";
    }
    record.time = to_local_file_time(entry.start);
    switch (entry.direction) {
    case CallDirection::Missed:
        record.kind = data::CallKind::Missed;
        break;
    case CallDirection::Incoming:
        record.kind = data::CallKind::Incoming;
        break;
    case CallDirection::Outgoing:
        record.kind = data::CallKind::Outgoing;
        break;
    case CallDirection::Rejected:
        record.kind = data::CallKind::Rejected;
        break;
    }
    return record;
}

// --- CallLog -----------------------------------------------------------------

CallLog::CallLog() : CallLog(runtime::file_path(u"\\pim.vol")) {}

CallLog::CallLog(std::string file_name) {
    open(std::move(file_name));
}

CallLog::~CallLog() = default;

bool CallLog::open(std::string file_name) {
    m_file_name = std::move(file_name);
    // The contact store checks the same file and says what is wrong with it.
    m_state = data::check_volume_file(m_file_name);
    if (!data::open_volume(m_db, m_file_name, m_state)) {
        log_line() << u"Error CeMountDBVolEx "
                   << from_utf8(data::describe_volume_problem(m_file_name, m_state)) << u"\n";
        return false;
    }
    m_db.set_busy_timeout(5000);
    auto refuse = [this](data::VolumeProblem problem, std::string reason) {
        m_state.problem = problem;
        m_state.reason = std::move(reason);
        log_line() << u"Error open database "
                   << from_utf8(data::describe_volume_problem(m_file_name, m_state)) << u"\n";
        m_db.close();
        return false;
    };
    // A volume too new for this program is left alone; one whose contacts
    // did not read is read here, but not written.
    if (const std::int64_t volume_version = m_db.query_int("PRAGMA user_version", 0);
        volume_version > data::kVolumeSchemaVersion)
        return refuse(data::VolumeProblem::newer_schema,
                      "schema version " + std::to_string(volume_version));
    if (const auto noted = data::unusable_volume(m_file_name))
        m_state = *noted;
    if (m_state.writable()) {
        // The contact store asks for the same; a file that is not a database
        // fails here and is left alone.
        if (m_db.query_text("PRAGMA journal_mode=WAL") != "wal")
            return refuse(data::VolumeProblem::damaged, m_db.error());
        if (!m_db.exec(k_schema))
            return refuse(data::VolumeProblem::damaged, m_db.error());
    } else if (!data::sql::Statement(m_db, k_select)) {
        // Read-only and without a log: there are no calls to show.
        return refuse(data::VolumeProblem::none, {});
    }
    const std::int64_t version =
        m_db.query_int("SELECT value FROM clog_meta WHERE key = 'schema_version'");
    if (version != k_schema_version) {
        log_line() << u"CallLog: unknown schema version " << static_cast<long long>(version)
                   << u"\n";
        return refuse(version > k_schema_version ? data::VolumeProblem::newer_schema
                                                 : data::VolumeProblem::damaged,
                      "call log schema version " + std::to_string(version));
    }
    return true;
}

bool CallLog::add(const CallLogEntry& entry) {
    m_last_failure = data::WriteFailure::none;
    // The contact store may have found the volume damaged since the open.
    if (m_state.writable() && data::unusable_volume(m_file_name))
        m_state.problem = data::VolumeProblem::damaged;
    if (!m_db || !m_state.writable()) {
        m_last_failure = m_state.problem == data::VolumeProblem::none
                             ? data::WriteFailure::read_only
                             : data::WriteFailure::damaged;
        return false;
    }
    data::sql::Statement insert(m_db, "INSERT INTO \"clog.db\"(start_time, end_time, direction,"
                                      " number, name) VALUES(?, ?, ?, ?, ?)");
    if (!insert) {
        m_last_failure = data::WriteFailure::other;
        return false;
    }
    insert.bind_int(1, entry.start);
    insert.bind_int(2, entry.end);
    insert.bind_int(3, static_cast<std::int64_t>(entry.direction));
    bind_optional(insert, 4, entry.number);
    bind_optional(insert, 5, entry.name);
    if (insert.step() != data::sql::Statement::Step::done) {
        log_line() << u"CallLog: cannot add an entry: " << from_utf8(m_db.error()) << u"\n";
        m_last_failure = data::write_failure_of_sqlite(m_db.error_code());
        if (m_last_failure == data::WriteFailure::none)
            m_last_failure = data::WriteFailure::other;
        return false;
    }
    return true;
}

void CallLog::read_call_log(data::CallRecordConsumer& consumer) {
    if (!m_db)
        return;
    // Read everything first: a consumer may touch the log from inside.
    std::vector<CallLogEntry> all = entries();
    for (const CallLogEntry& entry : all)
        consumer.on_call_record(to_call_record(entry));
}

std::vector<CallLogEntry> CallLog::entries() {
    std::vector<CallLogEntry> out;
    if (!m_db)
        return out;
    data::sql::Transaction snapshot(m_db, data::sql::Transaction::Mode::read);
    data::sql::Statement select(m_db, k_select);
    if (!select)
        return out;
    data::sql::Statement::Step step;
    while ((step = select.step()) == data::sql::Statement::Step::row)
        out.push_back(read_entry(select));
    if (step == data::sql::Statement::Step::error)
        log_line() << u"Error CeReadRecordsPropsEx\n";
    return out;
}

bool CallLog::delete_matching(const CallLogKey& key) {
    return delete_matching(std::span<const CallLogKey>(&key, 1)) == 1;
}

std::size_t CallLog::delete_matching(std::span<const CallLogKey> keys) {
    if (!m_db) {
        log_line() << u"Error open database\n";
        return 0;
    }
    std::vector<CallLogKey> remaining(keys.begin(), keys.end());
    if (remaining.empty())
        return 0;
    data::sql::Transaction transaction(m_db, data::sql::Transaction::Mode::write);
    if (!transaction.active()) {
        log_line() << u"Error open database\n";
        return 0;
    }
    data::sql::Statement select(m_db, "SELECT id, start_time, number FROM \"clog.db\""
                                      " ORDER BY start_time DESC, id DESC");
    data::sql::Statement erase(m_db, "DELETE FROM \"clog.db\" WHERE id = ?");
    if (!select || !erase)
        return 0;
    std::vector<std::int64_t> doomed;
    std::size_t count = 0;
    while (!remaining.empty()) {
        const auto step = select.step();
        if (step == data::sql::Statement::Step::error) {
            // This row cannot be read; the statement cannot go on past it.
            log_line() << u"Error CeReadRecordsPropsEx\n";
            break;
        }
        if (step == data::sql::Statement::Step::done)
            break;
        const std::int64_t id = select.column_int(0);
        const std::int64_t start = select.column_int(1);
        const std::optional<WString> number = optional_text(select, 2);
        ++count;
        log_line() << u"CALL " << static_cast<unsigned long long>(count) << u" "
                   << (number ? *number : WString()) << u"\n";
        auto hit = std::find_if(remaining.begin(), remaining.end(),
                                [&](const CallLogKey& k) { return matches(k, number, start); });
        if (hit != remaining.end()) {
            doomed.push_back(id);
            remaining.erase(hit);
        }
    }
    select.reset();
    std::size_t deleted = 0;
    for (std::int64_t id : doomed) {
        erase.bind_int(1, id);
        if (erase.step() == data::sql::Statement::Step::done)
            deleted += static_cast<std::size_t>(m_db.changes());
        erase.reset();
    }
    if (!transaction.commit()) {
        log_line() << u"CallLog: cannot delete: " << from_utf8(m_db.error()) << u"\n";
        return 0;
    }
    return deleted;
}

bool CallLog::delete_call_log_entry(data::Document& document, std::size_t index) {
    const auto& calls = document.recent_calls();
    if (index >= calls.size())
        return false;
    const data::CallRecord& call = calls.at(index).call;
    log_line() << u"Looking for entry: " << call.number << u" " << static_cast<long long>(call.time)
               << u"\n";
    const bool deleted = delete_matching(CallLogKey{call.number, call.time});
    document.update_log();
    return deleted;
}

std::size_t CallLog::delete_call_log_entries(data::Document& document,
                                             std::span<const std::size_t> indexes) {
    const auto& calls = document.recent_calls();
    // An index listed twice still names one entry.
    std::vector<std::size_t> unique(indexes.begin(), indexes.end());
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    std::vector<CallLogKey> keys;
    keys.reserve(unique.size());
    for (std::size_t index : unique)
        if (index < calls.size())
            keys.push_back({calls.at(index).call.number, calls.at(index).call.time});
    const std::size_t deleted = delete_matching(keys);
    document.update_log();
    return deleted;
}

} // namespace telvara::phone
