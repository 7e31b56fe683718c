#pragma once
// Thin RAII handles over SQLite: one connection, prepared statements with
// typed binding and reading, and a transaction guard that rolls back unless
// committed. Text crosses this boundary as UTF-8.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace telvara::data::sql {

enum class OpenMode {
    read_write_create,
    read_only,
    uri_read_only, // the name is a "file:" URI (with its parameters)
};

class Database {
  public:
    Database() = default;
    ~Database();
    Database(Database&& other) noexcept : m_db(other.m_db) { other.m_db = nullptr; }
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens a connection, by default read-write (creating the file when
    // missing); false on failure with the reason in error().
    bool open(const std::string& file_name, OpenMode mode = OpenMode::read_write_create);
    void close();
    explicit operator bool() const { return m_db != nullptr; }

    // Runs statements without results; false on the first failure.
    bool exec(const char* sql);
    // The single integer a statement yields ("PRAGMA user_version"); `fallback`
    // when it fails or yields no row.
    std::int64_t query_int(const char* sql, std::int64_t fallback = -1);

    // How long a statement waits for another writer's lock before failing.
    void set_busy_timeout(int milliseconds);
    // The single text a statement yields ("PRAGMA journal_mode").
    std::string query_text(const char* sql);

    std::string error() const;
    int error_code() const;
    std::int64_t last_insert_rowid() const;
    int changes() const;
    sqlite3* handle() const { return m_db; }

  private:
    sqlite3* m_db = nullptr;
};

class Statement {
  public:
    Statement() = default;
    Statement(const Database& db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept : m_stmt(other.m_stmt) { other.m_stmt = nullptr; }
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }

    // Parameters count from 1.
    void bind_null(int index);
    void bind_int(int index, std::int64_t value);
    void bind_text(int index, std::string_view utf8);
    void bind_blob(int index, std::span<const std::byte> bytes);

    enum class Step { row, done, error };
    Step step();
    // Ready to run again with fresh bindings.
    void reset();

    // Columns count from 0.
    bool is_null(int column) const;
    std::int64_t column_int(int column) const;
    std::string_view column_text(int column) const;
    std::span<const std::byte> column_blob(int column) const;

  private:
    sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN IMMEDIATE (or a deferred read transaction) on construction; rolls
// back in the destructor unless commit() succeeded.
class Transaction {
  public:
    enum class Mode { read, write };
    Transaction(Database& db, Mode mode);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool active() const { return m_active; }
    bool commit();
    // The result code of a COMMIT that failed (the rollback after it would
    // hide it from the connection); 0 otherwise.
    int commit_error() const { return m_commit_error; }

  private:
    Database& m_db;
    bool m_active = false;
    int m_commit_error = 0;
};

} // namespace telvara::data::sql
