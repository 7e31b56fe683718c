// The contact store's volume: schema and its version, reading and writing
// contacts, the folder's categories, photos, erasing and the generated test
// contacts. Change delivery lives in contact_watch.cpp.
//
// Layout of the volume (schema version 1, PRAGMA user_version):
//   contacts          one row per contact: oid (never reused) and one column
//                     per property of the property table; NULL = not set;
//                     Birthday as INTEGER milliseconds since 1970 (UTC)
//   contact_photos    the image bytes of a contact's photo, keyed by oid
//   contact_folder    properties of the contacts folder (its categories)
//   contact_changes   the change journal (seq, oid, kind, at), written by
//                     triggers so that every writer, whatever program it is,
//                     leaves a trace the watchers of other processes can read
// Other tables (the call log) may share the file; nothing here locks it for
// longer than a write transaction.
//
// Durability: WAL with synchronous=FULL. Each commit is synced before it is
// reported, so a power cut or a killed process loses at most the transaction
// in flight; contact writes are rare and bulk writes are one transaction, so
// the extra sync per commit costs nothing the user notices.
#include "data/contact_store_impl.h"

#include "data/contact_watch.h"
#include "data/picture_chooser.h"
#include "data/test_contacts.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_set>

namespace telvara::data {

namespace {

constexpr std::int64_t kSchemaVersion = kVolumeSchemaVersion;
constexpr int kFirstFieldIndex = 4;
constexpr int kFieldCount = 34;
constexpr int kBirthdayIndex = kFirstFieldIndex + static_cast<int>(FieldType::Birthday);
constexpr int kCategoriesIndex = kFirstFieldIndex + static_cast<int>(FieldType::Categories);
constexpr std::int64_t kFolderCategoriesProperty = 0x101A001F;
// Our own folder properties (VolumeMark), far from the platform's.
constexpr std::int64_t kFirstMarkProperty = 0x7E000003;
// Offset between FILETIME (100 ns since 1601) and the Unix epoch.
constexpr std::int64_t kFileTimeEpoch = 116444736000000000LL;

constexpr std::array<ContactProperty, 38> properties = {{
    {0x10000066, "oid"},
    {0x0082001F, "first_name"},
    {0x0084001F, "last_name"},
    {0x008A001F, "company"},
    {0x0096001F, "mobile_tel"},
    {0x0097001F, "business_tel"},
    {0x0098001F, "business2_tel"},
    {0x0099001F, "home_tel"},
    {0x009A001F, "home2_tel"},
    {0x009E001F, "car_tel"},
    {0x009F001F, "radio_tel"},
    {0x00A0001F, "company_main_tel"},
    {0x00A1001F, "assistant_tel"},
    {0x0090001F, "email1"},
    {0x0091001F, "email2"},
    {0x0092001F, "email3"},
    {0x00A7001F, "web_page"},
    {0x0083001F, "middle_name"},
    {0x0085001F, "suffix"},
    {0x0086001F, "nick_name"},
    {0x008B001F, "department"},
    {0x008C001F, "job_title"},
    {0x008F001F, "assistant_name"},
    {0x009B001F, "business_fax"},
    {0x009C001F, "home_fax"},
    {0x009D001F, "pager_number"},
    {0x00F00040, "birthday"},
    {0x101D001F, "categories"},
    {0x00C1001F, "work_street"},
    {0x00C2001F, "work_city"},
    {0x00C4001F, "work_region"},
    {0x00C3001F, "work_postal_code"},
    {0x00C5001F, "work_country"},
    {0x00D1001F, "home_street"},
    {0x00D2001F, "home_city"},
    {0x00D4001F, "home_region"},
    {0x00D3001F, "home_postal_code"},
    {0x00D5001F, "home_country"},
}};

constexpr const char* kJournalNow = "CAST((julianday('now') - 2440587.5) * 86400000 AS INTEGER)";

// "first_name, last_name, ..." from property index `from` on.
std::string column_list(int from) {
    std::string out;
    for (int i = from; i < static_cast<int>(properties.size()); ++i) {
        if (!out.empty())
            out += ", ";
        out += properties[i].column;
    }
    return out;
}

const std::string& select_sql() {
    static const std::string sql = "SELECT " + column_list(0) + " FROM contacts";
    return sql;
}

const std::string& insert_sql() {
    static const std::string sql = [] {
        std::string values;
        for (std::size_t i = 1; i < properties.size(); ++i)
            values += i == 1 ? "?" : ", ?";
        return "INSERT INTO contacts(" + column_list(1) + ") VALUES(" + values + ")";
    }();
    return sql;
}

const std::string& update_sql() {
    static const std::string sql = [] {
        std::string sets;
        for (std::size_t i = 1; i < properties.size(); ++i) {
            if (i > 1)
                sets += ", ";
            sets += std::string(properties[i].column) + " = ?" + std::to_string(i);
        }
        return "UPDATE contacts SET " + sets + " WHERE oid = ?" + std::to_string(properties.size());
    }();
    return sql;
}

std::string schema_sql() {
    std::string contacts = "CREATE TABLE contacts(oid INTEGER PRIMARY KEY AUTOINCREMENT";
    for (std::size_t i = 1; i < properties.size(); ++i) {
        contacts += ", ";
        contacts += properties[i].column;
        if (i < kFirstFieldIndex)
            contacts += " TEXT NOT NULL DEFAULT ''";
        else if (static_cast<int>(i) == kBirthdayIndex)
            contacts += " INTEGER";
        else
            contacts += " TEXT";
    }
    contacts += ");\n";
    const std::string now = kJournalNow;
    auto journal = [&now](const char* oid, int kind) {
        return std::string("INSERT INTO contact_changes(oid, kind, at) VALUES(") + oid + ", " +
               std::to_string(kind) + ", " + now + ");";
    };
    return contacts +
           "CREATE TABLE contact_photos(oid INTEGER PRIMARY KEY, image BLOB NOT NULL);\n"
           "CREATE TABLE contact_folder(propid INTEGER PRIMARY KEY, value);\n"
           "CREATE TABLE contact_changes(seq INTEGER PRIMARY KEY AUTOINCREMENT,"
           " oid INTEGER NOT NULL, kind INTEGER NOT NULL, at INTEGER NOT NULL);\n"
           "CREATE TRIGGER contact_created AFTER INSERT ON contacts BEGIN " +
           journal("new.oid", 0) +
           " END;\n"
           "CREATE TRIGGER contact_deleted AFTER DELETE ON contacts BEGIN "
           "DELETE FROM contact_photos WHERE oid = old.oid; " +
           journal("old.oid", 1) +
           " END;\n"
           "CREATE TRIGGER contact_changed AFTER UPDATE ON contacts BEGIN " +
           journal("new.oid", 2) +
           " END;\n"
           // A new or removed photo changes the contact; not when the photo
           // goes with its contact (the contact row is already gone then).
           "CREATE TRIGGER contact_photo_set AFTER INSERT ON contact_photos BEGIN " +
           journal("new.oid", 2) +
           " END;\n"
           "CREATE TRIGGER contact_photo_replaced AFTER UPDATE ON contact_photos BEGIN " +
           journal("new.oid", 2) +
           " END;\n"
           "CREATE TRIGGER contact_photo_removed AFTER DELETE ON contact_photos"
           " WHEN EXISTS(SELECT 1 FROM contacts WHERE oid = old.oid) BEGIN " +
           journal("old.oid", 2) + " END;\n";
}

runtime::LogStream& stamp(runtime::LogStream& log) {
    return log << platform::tick_count() << u" ";
}

// Fills the record from a row of select_sql().
void read_row(const sql::Statement& row, ContactRecord& record, runtime::LogStream& log) {
    record.oid = static_cast<std::uint32_t>(row.column_int(0));
    record.first_name = from_utf8(row.column_text(1));
    record.last_name = from_utf8(row.column_text(2));
    record.company = from_utf8(row.column_text(3));
    record.fields.clear();
    for (int i = kFirstFieldIndex; i < static_cast<int>(properties.size()); ++i) {
        const auto type = static_cast<FieldType>(i - kFirstFieldIndex);
        if (i == kCategoriesIndex) {
            // Every contact has a Categories field, empty when it has none.
            stamp(log) << u"Read category for contact start " << record.oid << u"\n";
            record.fields.emplace_back(type, from_utf8(row.column_text(i)));
            stamp(log) << u"Read category for contact finish\n";
            continue;
        }
        if (row.is_null(i))
            continue;
        if (i == kBirthdayIndex) {
            const std::int64_t ms = row.column_int(i);
            stamp(log) << u"Date1 = " << (ms * 10000 + kFileTimeEpoch) << u", Date2 = " << ms
                       << u"\n";
            record.fields.emplace_back(type, to_wstring(ms));
            continue;
        }
        auto text = row.column_text(i);
        if (!text.empty())
            record.fields.emplace_back(type, from_utf8(text));
    }
}

std::optional<std::int64_t> parse_millis(WStringView text) {
    std::string ascii;
    for (char16_t c : text) {
        if (c > 0x7F)
            return std::nullopt;
        ascii.push_back(static_cast<char>(c));
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || end != ascii.data() + ascii.size())
        return std::nullopt;
    // FILETIME must be able to hold it.
    constexpr std::int64_t limit = (INT64_MAX - kFileTimeEpoch) / 10000;
    if (value > limit || value < -kFileTimeEpoch / 10000)
        return std::nullopt;
    return value;
}

// Binds the names and the 34 field columns from parameter 1 on. A record
// holding the same type twice stores the last one (as writing properties in
// order would). False for a Birthday that is not a number of milliseconds.
bool bind_record(sql::Statement& statement, const ContactRecord& record) {
    statement.bind_text(1, to_utf8(record.first_name));
    statement.bind_text(2, to_utf8(record.last_name));
    statement.bind_text(3, to_utf8(record.company));
    std::array<const ContactField*, kFieldCount> slots{};
    for (const auto& field : record.fields) {
        const auto type = static_cast<std::uint32_t>(field.type);
        if (type < kFieldCount)
            slots[type] = &field;
    }
    for (int type = 0; type < kFieldCount; ++type) {
        const int parameter = kFirstFieldIndex + type;
        const ContactField* field = slots[type];
        if (field == nullptr || field->value.empty()) {
            statement.bind_null(parameter);
        } else if (type == static_cast<int>(FieldType::Birthday)) {
            auto ms = parse_millis(field->value);
            if (!ms)
                return false;
            statement.bind_int(parameter, *ms);
        } else {
            statement.bind_text(parameter, to_utf8(field->value));
        }
    }
    return true;
}

// SQLITE_MISMATCH: a value the column cannot take.
constexpr int kBadValue = 20;

// Inserts one record; its new oid, or 0 after logging the failure.
std::uint32_t insert_record(sql::Database& db, sql::Statement& insert,
                            const ContactRecord& record) {
    insert.reset();
    if (!bind_record(insert, record)) {
        stamp(runtime::log()) << u"Error SetProps " << kBadValue << u"\n";
        return 0;
    }
    if (insert.step() != sql::Statement::Step::done) {
        stamp(runtime::log()) << u"Error Save " << db.error_code() << u"\n";
        return 0;
    }
    const std::int64_t oid = db.last_insert_rowid();
    // Item identifiers are 32-bit; a volume that ran out of them takes no
    // more contacts rather than handing out a truncated oid.
    if (oid <= 0 || oid > static_cast<std::int64_t>(UINT32_MAX)) {
        stamp(runtime::log()) << u"Error Save oid out of range\n";
        return 0;
    }
    return static_cast<std::uint32_t>(oid);
}

// Stores the photo of a contact created in the same transaction. The photo
// trigger's "changed" entry is taken out again: the "created" entry already
// makes every reader fetch the contact, photo included, after the commit.
bool insert_new_photo(sql::Database& db, std::uint32_t oid, std::span<const std::byte> image) {
    if (image.empty())
        return true;
    if (image.size() > kMaxPictureBytes)
        return false;
    sql::Statement put(db, "INSERT OR REPLACE INTO contact_photos(oid, image) VALUES(?, ?)");
    put.bind_int(1, oid);
    put.bind_blob(2, image);
    if (put.step() != sql::Statement::Step::done)
        return false;
    sql::Statement drop(db, "DELETE FROM contact_changes WHERE seq = (SELECT max(seq) FROM"
                            " contact_changes) AND oid = ? AND kind = 2");
    drop.bind_int(1, oid);
    return drop.step() == sql::Statement::Step::done;
}

WString join_categories(const std::vector<WString>& names) {
    WString out;
    for (const auto& name : names) {
        if (!out.empty())
            out += u", ";
        out += name;
    }
    return out;
}

// Names gathered once each, in the order first met; a hash set tells
// which are known, so that many names cost linear time.
struct CategoryNames {
    std::vector<WString> names;
    std::unordered_set<WString> known;

    void add(WString name) {
        if (!name.empty() && known.insert(name).second)
            names.push_back(std::move(name));
    }
};

// The names a record's Categories fields give it.
void collect_categories(const ContactRecord& record, CategoryNames& names) {
    for (const ContactField& field : record.fields)
        if (field.type == FieldType::Categories)
            for (WString& name : split_category_text(field.value))
                names.add(std::move(name));
}

// The folder lists every category a contact uses (the category menus offer
// what it lists): names that written contacts bring in join it, in the same
// transaction. Written only when something is new.
bool add_folder_categories(sql::Database& db, const std::vector<WString>& names) {
    if (names.empty())
        return true;
    std::vector<WString> folder;
    sql::Statement row(db, "SELECT value FROM contact_folder WHERE propid = ?");
    row.bind_int(1, kFolderCategoriesProperty);
    if (row.step() == sql::Statement::Step::row)
        folder = split_category_text(from_utf8(row.column_text(0)));
    const std::size_t known = folder.size();
    std::unordered_set<WString> listed(folder.begin(), folder.end());
    for (const WString& name : names)
        if (listed.insert(name).second)
            folder.push_back(name);
    if (folder.size() == known)
        return true;
    sql::Statement put(db, "INSERT OR REPLACE INTO contact_folder(propid, value) VALUES(?, ?)");
    put.bind_int(1, kFolderCategoriesProperty);
    put.bind_text(2, to_utf8(join_categories(folder)));
    return put.step() == sql::Statement::Step::done;
}

bool add_folder_categories(sql::Database& db, const ContactRecord& record) {
    CategoryNames names;
    collect_categories(record, names);
    return add_folder_categories(db, names.names);
}

} // namespace

std::span<const ContactProperty> contact_properties() {
    return properties;
}

std::vector<WString> split_category_text(WStringView text) {
    std::vector<WString> pieces;
    std::size_t start = 0;
    auto take = [&](std::size_t end) {
        WStringView piece = text.substr(start, end - start);
        if (!piece.empty() && piece.front() == u' ')
            piece.remove_prefix(1);
        pieces.emplace_back(piece);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u',' || text[i] == u';') {
            take(i);
            start = i + 1;
        }
    }
    if (start < text.size())
        take(text.size());
    return pieces;
}

// --- Impl -------------------------------------------------------------------

bool ContactStore::Impl::open(std::string name) {
    file_name = std::move(name);
    auto& log = runtime::log();
    auto refuse = [&](VolumeProblem problem, std::string reason) {
        state.problem = problem;
        state.reason = std::move(reason);
        stamp(log) << u"ContactManagerImpl2: "
                   << from_utf8(describe_volume_problem(file_name, state)) << u"\n";
        // The call log shares the file: it must not write to it either.
        if (problem == VolumeProblem::damaged || problem == VolumeProblem::newer_schema)
            note_volume_unusable(file_name, state);
        db.close();
        return false;
    };
    state = check_volume_file(file_name);
    if (!state.usable())
        return refuse(state.problem, state.reason);
    if (!open_volume(db, file_name, state))
        return refuse(state.problem, state.reason);
    db.set_busy_timeout(5000);
    const bool writable = state.access == VolumeAccess::read_write;
    // Fails on a file that is not a database: such a file is left alone.
    if (writable &&
        (db.query_text("PRAGMA journal_mode=WAL") != "wal" || !db.exec("PRAGMA synchronous=FULL")))
        return refuse(VolumeProblem::damaged, db.error());
    std::int64_t version = db.query_int("PRAGMA user_version");
    if (version < 0)
        return refuse(VolumeProblem::damaged, db.error());
    if (version == 0 && !writable) {
        // Nothing of ours in it, and nothing may be added.
        no_tables = true;
        note_position();
        return true;
    }
    if (version < kSchemaVersion) {
        sql::Transaction transaction(db, sql::Transaction::Mode::write);
        // Another process may have created it meanwhile.
        version = db.query_int("PRAGMA user_version");
        if (version == 0) {
            const std::string schema =
                schema_sql() + "PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
            if (!transaction.active() || !db.exec(schema.c_str()) || !transaction.commit()) {
                last_failure = write_failure_of_sqlite(db.error_code());
                return refuse(last_failure == WriteFailure::disk_full ? VolumeProblem::cannot_create
                                                                      : VolumeProblem::damaged,
                              "cannot create the tables: " + db.error());
            }
            version = kSchemaVersion;
        }
    }
    if (version > kSchemaVersion)
        return refuse(VolumeProblem::newer_schema, "schema version " + std::to_string(version) +
                                                       ", this one reads " +
                                                       std::to_string(kSchemaVersion));
    if (version != kSchemaVersion)
        return refuse(VolumeProblem::damaged, "unknown schema version " + std::to_string(version));
    // Every column the program reads must be there.
    if (!sql::Statement(db, select_sql() + " LIMIT 0") ||
        !sql::Statement(db, "SELECT seq, oid, kind, at FROM contact_changes LIMIT 0"))
        return refuse(VolumeProblem::damaged, "its tables do not match: " + db.error());
    if (!writable)
        stamp(log) << u"ContactManagerImpl2: "
                   << from_utf8(describe_volume_problem(file_name, state)) << u"\n";
    note_position();
    return true;
}

void ContactStore::Impl::read_failed() {
    if (state.problem != VolumeProblem::none)
        return;
    state.problem = VolumeProblem::damaged;
    state.reason = db.error();
    note_volume_unusable(file_name, state);
    stamp(runtime::log()) << u"ContactManagerImpl2: "
                          << from_utf8(describe_volume_problem(file_name, state)) << u"\n";
}

WriteFailure ContactStore::Impl::failure_of_write() const {
    switch (state.problem) {
    case VolumeProblem::none:
        break;
    case VolumeProblem::damaged:
    case VolumeProblem::unreadable:
    case VolumeProblem::newer_schema:
    case VolumeProblem::not_a_file:
        return WriteFailure::damaged;
    case VolumeProblem::cannot_create:
        return WriteFailure::read_only;
    }
    if (state.access == VolumeAccess::read_only)
        return WriteFailure::read_only;
    const WriteFailure failure = write_failure_of_sqlite(db.error_code());
    return failure == WriteFailure::none ? WriteFailure::other : failure;
}

std::int64_t ContactStore::Impl::max_seq() {
    return db.query_int("SELECT coalesce(max(seq), 0) FROM contact_changes");
}

void ContactStore::Impl::note_position() {
    last_seen = max_seq();
    data_version = db.query_int("PRAGMA data_version");
    own_rows.clear();
    own_write_pending = false;
}

bool ContactStore::Impl::write(const std::function<bool()>& body) {
    last_failure = WriteFailure::none;
    // A volume that is damaged or only readable is never written to.
    if (!db || !state.writable()) {
        last_failure = failure_of_write();
        return false;
    }
    auto failed = [this] {
        last_failure = failure_of_write();
        return false;
    };
    sql::Transaction transaction(db, sql::Transaction::Mode::write);
    if (!transaction.active()) {
        stamp(runtime::log()) << u"ContactManagerImpl2: cannot begin a write: " << db.error_code()
                              << u"\n";
        return failed();
    }
    const std::int64_t first = max_seq();
    if (first < 0 || !body())
        return failed();
    const std::int64_t last = max_seq();
    if (last < 0)
        return failed();
    if (first / 256 != last / 256)
        trim_journal(db);
    if (!transaction.commit()) {
        last_failure = state.writable() ? write_failure_of_sqlite(transaction.commit_error())
                                        : failure_of_write();
        if (last_failure == WriteFailure::none)
            last_failure = WriteFailure::other;
        return false;
    }
    if (last > first) {
        own_rows.emplace_back(first, last);
        own_write_pending = true;
    }
    return true;
}

void trim_journal(sql::Database& db) {
    sql::Statement trim(db, std::string("DELETE FROM contact_changes WHERE seq <= "
                                        "(SELECT max(seq) FROM contact_changes) - 1000"
                                        " AND at < ") +
                                kJournalNow + " - 3600000");
    trim.step();
}

// --- ContactStore ----------------------------------------------------

ContactStore::ContactStore() : ContactStore(runtime::file_path(u"\\pim.vol")) {}

ContactStore::ContactStore(std::string file_name) : m_impl(std::make_unique<Impl>()) {
    m_impl->open(std::move(file_name));
}

ContactStore::~ContactStore() {
    stop_watching();
}

bool ContactStore::is_open() const {
    return static_cast<bool>(m_impl->db) && !m_impl->no_tables;
}

bool ContactStore::is_writable() const {
    return is_open() && m_impl->state.writable();
}

const VolumeState& ContactStore::volume_state() const {
    return m_impl->state;
}

std::string ContactStore::volume_problem_text() const {
    return describe_volume_problem(m_impl->file_name, m_impl->state);
}

WriteFailure ContactStore::last_write_failure() const {
    return m_impl->last_failure;
}

std::int64_t ContactStore::stored_count() {
    if (!is_open())
        return -1;
    const std::int64_t count = m_impl->db.query_int("SELECT count(*) FROM contacts");
    if (count < 0)
        m_impl->read_failed();
    return count;
}

const std::string& ContactStore::file_name() const {
    return m_impl->file_name;
}

void ContactStore::set_listener(ContactStoreListener* listener) {
    m_impl->listener = listener;
}

std::size_t ContactStore::load_contacts(std::vector<ContactRecord>& out) {
    auto& log = runtime::log();
    stamp(log) << u"load_contacts1\n";
    const auto start = platform::tick_count();
    out.clear();
    auto& db = m_impl->db;
    if (!is_open())
        return 0;
    sql::Transaction snapshot(db, sql::Transaction::Mode::read);
    const std::int64_t seen = snapshot.active() ? m_impl->max_seq() : -1;
    const std::int64_t count = seen >= 0 ? db.query_int("SELECT count(*) FROM contacts") : -1;
    if (count < 0) {
        stamp(log) << u"ContactManagerImpl2::load_contacts() ERROR - 1\n";
        m_impl->read_failed();
        return 0;
    }
    stamp(log) << u"load_contacts2 count=" << static_cast<long long>(count) << u"\n";
    out.resize(static_cast<std::size_t>(count));
    sql::Statement rows(db, select_sql() + " ORDER BY oid");
    std::size_t i = 0;
    while (i < out.size() && rows.step() == sql::Statement::Step::row) {
        read_row(rows, out[i], log);
        if (i % 25 == 0 && m_impl->listener != nullptr)
            m_impl->listener->on_load_progress(*this, i, out.size());
        ++i;
    }
    // Within one snapshot the count holds; anything else is a read error.
    if (i < out.size())
        m_impl->read_failed();
    out.resize(i);
    snapshot.commit();
    // Everything journaled up to the snapshot is in the list now.
    m_impl->last_seen = std::max(m_impl->last_seen, seen);
    stamp(log) << u"load_contacts3 time=" << (platform::tick_count() - start) << u"\n";
    return out.size();
}

namespace {

// UTF-8 from the volume appended to `out` (which keeps its room): the list
// load reads every contact, and a new string per value would cost more
// than the reading itself.
void assign_utf8(std::string_view in, WString& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size();) {
        const auto c = static_cast<unsigned char>(in[i]);
        std::uint32_t code = c;
        std::size_t extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0) {
            code = c & (0x3F >> extra);
            for (std::size_t k = 1; k <= extra && i + k < in.size(); ++k)
                code = (code << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
}

} // namespace

std::size_t ContactStore::load_list(const std::function<void(const ContactRecord&)>& each) {
    static constexpr FieldType kListFields[] = {
        FieldType::Mobile,      FieldType::BusinessTel,    FieldType::Business2Tel,
        FieldType::HomeTel,     FieldType::Home2Tel,       FieldType::CarTel,
        FieldType::RadioTel,    FieldType::CompanyMainTel, FieldType::AssistantTel,
        FieldType::BusinessFax, FieldType::HomeFax,        FieldType::PagerNumber,
        FieldType::Categories};
    static const std::string query = [] {
        std::string sql = "SELECT oid, first_name, last_name, company";
        for (FieldType type : kListFields)
            sql += std::string(", ") + properties[kFirstFieldIndex + static_cast<int>(type)].column;
        return sql + " FROM contacts ORDER BY oid";
    }();
    auto& db = m_impl->db;
    if (!is_open())
        return 0;
    sql::Transaction snapshot(db, sql::Transaction::Mode::read);
    const std::int64_t seen = snapshot.active() ? m_impl->max_seq() : -1;
    if (seen < 0) {
        m_impl->read_failed();
        return 0;
    }
    sql::Statement rows(db, query);
    ContactRecord record;
    record.fields.resize(std::size(kListFields));
    std::size_t count = 0;
    sql::Statement::Step step = sql::Statement::Step::error;
    while ((step = rows.step()) == sql::Statement::Step::row) {
        record.oid = static_cast<std::uint32_t>(rows.column_int(0));
        assign_utf8(rows.column_text(1), record.first_name);
        assign_utf8(rows.column_text(2), record.last_name);
        assign_utf8(rows.column_text(3), record.company);
        std::size_t kept = 0;
        record.fields.resize(std::size(kListFields));
        for (std::size_t i = 0; i < std::size(kListFields); ++i) {
            const std::string_view text = rows.column_text(static_cast<int>(4 + i));
            // Every contact has its Categories field, as read_row gives it.
            if (text.empty() && kListFields[i] != FieldType::Categories)
                continue;
            ContactField& field = record.fields[kept++];
            field.type = kListFields[i];
            field.kind = kind_of(field.type);
            assign_utf8(text, field.value);
        }
        record.fields.resize(kept);
        each(record);
        ++count;
    }
    // What was read stays; the rest of a damaged volume is not there.
    if (step != sql::Statement::Step::done)
        m_impl->read_failed();
    snapshot.commit();
    m_impl->last_seen = std::max(m_impl->last_seen, seen);
    return count;
}

std::uint32_t ContactStore::largest_oid() {
    if (!is_open())
        return 0;
    const std::int64_t oid = m_impl->db.query_int("SELECT coalesce(max(oid), 0) FROM contacts");
    return oid > 0 && oid <= static_cast<std::int64_t>(UINT32_MAX) ? static_cast<std::uint32_t>(oid)
                                                                   : 0;
}

bool ContactStore::read_contact(ContactRecord& record) {
    if (record.oid == 0 || !is_open())
        return false;
    sql::Statement row(m_impl->db, select_sql() + " WHERE oid = ?");
    row.bind_int(1, record.oid);
    const sql::Statement::Step step = row.step();
    if (step == sql::Statement::Step::error)
        m_impl->read_failed();
    if (step != sql::Statement::Step::row)
        return false;
    read_row(row, record, runtime::log());
    return true;
}

bool ContactStore::create_contact(ContactRecord& record) {
    std::uint32_t oid = 0;
    const bool ok = m_impl->write([&] {
        sql::Statement insert(m_impl->db, insert_sql());
        oid = insert_record(m_impl->db, insert, record);
        return oid != 0 && add_folder_categories(m_impl->db, record);
    });
    if (!ok)
        return false;
    record.oid = oid;
    if (record.field(FieldType::Categories) == nullptr)
        record.fields.emplace_back(FieldType::Categories, WString());
    return true;
}

bool ContactStore::update_contact(const ContactRecord& record) {
    if (record.oid == 0)
        return false;
    return m_impl->write([&] {
        sql::Statement update(m_impl->db, update_sql());
        if (!bind_record(update, record)) {
            stamp(runtime::log()) << u"Error SetProps " << kBadValue << u"\n";
            return false;
        }
        update.bind_int(static_cast<int>(properties.size()), record.oid);
        if (update.step() != sql::Statement::Step::done) {
            stamp(runtime::log()) << u"Error Save " << m_impl->db.error_code() << u"\n";
            return false;
        }
        return m_impl->db.changes() == 1 && add_folder_categories(m_impl->db, record);
    });
}

bool ContactStore::create_contacts(std::span<ContactWithPhoto> contacts) {
    std::vector<std::uint32_t> oids;
    const bool ok = m_impl->write([&] {
        oids.clear();
        CategoryNames categories;
        sql::Statement insert(m_impl->db, insert_sql());
        for (const auto& contact : contacts) {
            const std::uint32_t oid = insert_record(m_impl->db, insert, contact.record);
            if (oid == 0 || !insert_new_photo(m_impl->db, oid, contact.photo))
                return false;
            oids.push_back(oid);
            collect_categories(contact.record, categories);
        }
        return add_folder_categories(m_impl->db, categories.names);
    });
    if (!ok)
        return false;
    for (std::size_t i = 0; i < contacts.size(); ++i) {
        auto& record = contacts[i].record;
        record.oid = oids[i];
        if (record.field(FieldType::Categories) == nullptr)
            record.fields.emplace_back(FieldType::Categories, WString());
    }
    return true;
}

bool ContactStore::delete_contact(std::uint32_t oid) {
    if (oid == 0)
        return false;
    return m_impl->write([&] {
        sql::Statement erase(m_impl->db, "DELETE FROM contacts WHERE oid = ?");
        erase.bind_int(1, oid);
        return erase.step() == sql::Statement::Step::done && m_impl->db.changes() == 1;
    });
}

std::size_t ContactStore::load_categories(std::vector<WString>& out) {
    out.clear();
    if (!is_open())
        return 0;
    sql::Statement row(m_impl->db, "SELECT value FROM contact_folder WHERE propid = ?");
    row.bind_int(1, kFolderCategoriesProperty);
    if (row.step() == sql::Statement::Step::row)
        out = split_category_text(from_utf8(row.column_text(0)));
    return out.size();
}

bool ContactStore::set_categories(WStringView text) {
    return m_impl->write([&] {
        sql::Statement put(m_impl->db,
                           "INSERT OR REPLACE INTO contact_folder(propid, value) VALUES(?, ?)");
        put.bind_int(1, kFolderCategoriesProperty);
        put.bind_text(2, to_utf8(text));
        return put.step() == sql::Statement::Step::done;
    });
}

bool ContactStore::has_mark(VolumeMark mark) {
    if (!is_open())
        return false;
    sql::Statement row(m_impl->db, "SELECT value FROM contact_folder WHERE propid = ?");
    row.bind_int(1, kFirstMarkProperty + static_cast<std::int64_t>(mark));
    return row.step() == sql::Statement::Step::row && row.column_int(0) != 0;
}

bool ContactStore::set_mark(VolumeMark mark) {
    return m_impl->write([&] {
        sql::Statement put(m_impl->db,
                           "INSERT OR REPLACE INTO contact_folder(propid, value) VALUES(?, 1)");
        put.bind_int(1, kFirstMarkProperty + static_cast<std::int64_t>(mark));
        return put.step() == sql::Statement::Step::done;
    });
}

WString ContactStore::choose_picture() {
    auto& log = runtime::log();
    const auto command = picture_chooser_command();
    m_chooser_missing = !command;
    if (!command) {
        stamp(log) << u"choose_picture() - no chooser command \n";
        return {};
    }
    stamp(log) << u"choose_picture() - 1\n";
    stamp(log) << u"choose_picture() - chooser " << from_utf8(*command) << u" \n";
    std::string path;
    switch (run_picture_chooser(*command, path)) {
    case ChooserResult::chosen:
        stamp(log) << u"choose_picture() = " << from_utf8(path) << u"\n";
        return from_utf8(path);
    case ChooserResult::cancelled:
        stamp(log) << u"choose_picture() return false \n";
        return {};
    case ChooserResult::failed:
        break;
    }
    stamp(log) << u"choose_picture() - chooser failed \n";
    m_chooser_missing = true;
    return {};
}

bool ContactStore::set_picture(const ContactRecord& record, std::span<const std::byte> image) {
    if (record.oid == 0 || image.size() > kMaxPictureBytes)
        return false;
    return m_impl->write([&] {
        sql::Statement exists(m_impl->db, "SELECT 1 FROM contacts WHERE oid = ?");
        exists.bind_int(1, record.oid);
        if (exists.step() != sql::Statement::Step::row)
            return false;
        sql::Statement put(
            m_impl->db, image.empty() ? "DELETE FROM contact_photos WHERE oid = ?"
                                      : "INSERT INTO contact_photos(oid, image) VALUES(?, ?)"
                                        " ON CONFLICT(oid) DO UPDATE SET image = excluded.image");
        put.bind_int(1, record.oid);
        if (!image.empty())
            put.bind_blob(2, image);
        return put.step() == sql::Statement::Step::done;
    });
}

bool ContactStore::set_picture_file(const ContactRecord& record, const std::string& path) {
    // A chosen FIFO or device is refused, not waited on or read without end.
    const auto file = platform::read_whole_file(path, kMaxPictureBytes);
    if (!file || file->empty())
        return false;
    const auto* begin = reinterpret_cast<const std::byte*>(file->data());
    return set_picture(record, std::span<const std::byte>(begin, file->size()));
}

std::vector<std::byte> ContactStore::get_picture(const ContactRecord& record) {
    std::vector<std::byte> out;
    if (record.oid == 0 || !is_open())
        return out;
    sql::Statement row(m_impl->db, "SELECT image FROM contact_photos WHERE oid = ?");
    row.bind_int(1, record.oid);
    if (row.step() == sql::Statement::Step::row) {
        auto blob = row.column_blob(0);
        out.assign(blob.begin(), blob.end());
    }
    return out;
}

bool ContactStore::has_picture(std::uint32_t oid) {
    if (oid == 0 || !is_open())
        return false;
    sql::Statement row(m_impl->db, "SELECT 1 FROM contact_photos WHERE oid = ?");
    row.bind_int(1, oid);
    return row.step() == sql::Statement::Step::row;
}

std::size_t ContactStore::erase_contacts(EraseScope scope) {
    auto& log = runtime::log();
    stamp(log) << u"START DELETE\n";
    std::size_t deleted = 0;
    const bool ok = m_impl->write([&] {
        deleted = 0;
        std::string query = "SELECT oid FROM contacts";
        if (scope == EraseScope::marked)
            query += std::string(" WHERE instr(") +
                     properties[kFirstFieldIndex + static_cast<int>(kEraseMarkerField)].column +
                     ", '" + to_utf8(kEraseMarker) + "') > 0";
        std::vector<std::int64_t> oids;
        sql::Statement rows(m_impl->db, query);
        while (rows.step() == sql::Statement::Step::row)
            oids.push_back(rows.column_int(0));
        sql::Statement erase(m_impl->db, "DELETE FROM contacts WHERE oid = ?");
        for (auto oid : oids) {
            erase.reset();
            erase.bind_int(1, oid);
            if (erase.step() != sql::Statement::Step::done)
                return false;
            ++deleted;
            stamp(log) << u"Delete contact: " << static_cast<unsigned long>(deleted) << u"\n";
        }
        return true;
    });
    stamp(log) << u"END DELETE\n";
    return ok ? deleted : 0;
}

std::size_t ContactStore::add_test_contacts(std::size_t n, TestPhotos photos) {
    const bool ok = m_impl->write([&] {
        sql::Statement insert(m_impl->db, insert_sql());
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t oid = insert_record(m_impl->db, insert, make_test_contact(i));
            if (oid == 0)
                return false;
            if (photos == TestPhotos::some &&
                !insert_new_photo(m_impl->db, oid, make_test_contact_photo(i)))
                return false;
        }
        return add_folder_categories(m_impl->db, split_category_text(test_contact_categories()));
    });
    return ok ? n : 0;
}

} // namespace telvara::data
