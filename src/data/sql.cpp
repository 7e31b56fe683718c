// The SQLite handles: connection, statements and the transaction guard.
#include "data/sql.h"

#include <sqlite3.h>

namespace telvara::data::sql {

Database::~Database() {
    close();
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        m_db = other.m_db;
        other.m_db = nullptr;
    }
    return *this;
}

bool Database::open(const std::string& file_name, OpenMode mode) {
    close();
    int flags = SQLITE_OPEN_FULLMUTEX;
    switch (mode) {
    case OpenMode::read_write_create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case OpenMode::read_only:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case OpenMode::uri_read_only:
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        break;
    }
    if (sqlite3_open_v2(file_name.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        // A handle comes back even on failure; keep it only to report the error.
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    return true;
}

void Database::close() {
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool Database::exec(const char* sql) {
    return m_db != nullptr && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::int64_t Database::query_int(const char* sql, std::int64_t fallback) {
    Statement statement(*this, sql);
    if (statement && statement.step() == Statement::Step::row)
        return statement.column_int(0);
    return fallback;
}

void Database::set_busy_timeout(int milliseconds) {
    if (m_db != nullptr)
        sqlite3_busy_timeout(m_db, milliseconds);
}

std::string Database::query_text(const char* sql) {
    Statement statement(*this, sql);
    if (statement && statement.step() == Statement::Step::row)
        return std::string(statement.column_text(0));
    return {};
}

std::string Database::error() const {
    return m_db == nullptr ? std::string("no connection") : std::string(sqlite3_errmsg(m_db));
}

int Database::error_code() const {
    return m_db == nullptr ? SQLITE_MISUSE : sqlite3_extended_errcode(m_db);
}

std::int64_t Database::last_insert_rowid() const {
    return m_db == nullptr ? 0 : sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const {
    return m_db == nullptr ? 0 : sqlite3_changes(m_db);
}

Statement::Statement(const Database& db, std::string_view sql) {
    if (db.handle() == nullptr ||
        sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &m_stmt,
                           nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = other.m_stmt;
        other.m_stmt = nullptr;
    }
    return *this;
}

void Statement::bind_null(int index) {
    sqlite3_bind_null(m_stmt, index);
}

void Statement::bind_int(int index, std::int64_t value) {
    sqlite3_bind_int64(m_stmt, index, value);
}

void Statement::bind_text(int index, std::string_view utf8) {
    sqlite3_bind_text64(m_stmt, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Statement::bind_blob(int index, std::span<const std::byte> bytes) {
    // A zero-length blob, not NULL, for an empty span.
    sqlite3_bind_blob64(m_stmt, index, bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                        bytes.size(), SQLITE_TRANSIENT);
}

Statement::Step Statement::step() {
    if (m_stmt == nullptr)
        return Step::error;
    switch (sqlite3_step(m_stmt)) {
    case SQLITE_ROW:
        return Step::row;
    case SQLITE_DONE:
        return Step::done;
    default:
        return Step::error;
    }
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Statement::is_null(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::int64_t Statement::column_int(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::string_view Statement::column_text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (text == nullptr)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

std::span<const std::byte> Statement::column_blob(int column) const {
    const void* data = sqlite3_column_blob(m_stmt, column);
    if (data == nullptr)
        return {};
    return {static_cast<const std::byte*>(data),
            static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

Transaction::Transaction(Database& db, Mode mode) : m_db(db) {
    m_active = m_db.exec(mode == Mode::write ? "BEGIN IMMEDIATE" : "BEGIN");
}

Transaction::~Transaction() {
    if (m_active)
        m_db.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!m_active)
        return false;
    if (!m_db.exec("COMMIT")) {
        m_commit_error = m_db.error_code();
        // A failed COMMIT (busy, disk full) leaves the transaction open: undo it.
        m_db.exec("ROLLBACK");
        m_active = false;
        return false;
    }
    m_active = false;
    return true;
}

} // namespace telvara::data::sql
