#pragma once
// Ways a contacts volume ("pim.vol") gets damaged, for the store, tool and program tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sqlite3.h>
#include <string>

namespace telvara::test_support {
enum class Damage {
    cut_short,        // the file ends before the pages its header counts
    random_bytes,     // all of it overwritten with noise
    zeroed,           // all of it zero bytes
    page_overwritten, // one page in the middle overwritten: it opens, a read fails
    newer_schema,     // a newer program's volume
    tables_renamed,   // no contacts table where it should be
    folder,           // a folder in its place
};

struct DamageCase {
    Damage damage;
    const char* name;
    // What the message says is wrong with it.
    const char* says;
};
inline constexpr DamageCase kDamageCases[] = {
    {Damage::cut_short, "cut short", "is damaged and is left as it is (cut short"},
    {Damage::random_bytes, "random bytes", "is damaged and is left as it is (not a database)"},
    {Damage::zeroed, "zeroed", "is damaged and is left as it is (not a database)"},
    {Damage::page_overwritten, "a page overwritten", "is damaged and is left as it is"},
    {Damage::newer_schema, "newer schema", "was written by a newer version"},
    {Damage::tables_renamed, "tables renamed", "is damaged and is left as it is (its tables"},
    {Damage::folder, "a folder", "is not a file (is a folder)"},
};
inline std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void exec_sql(const std::string& file, const char* sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) == SQLITE_OK)
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}
// The first column of the first row `query` gives, as text; "" when there is none.
inline std::string sql_value(const std::string& file, const char* query) {
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    std::string value;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, query, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}
// Damages the volume `file` (a whole, closed one, with contacts over many pages).
inline void damage_volume(const std::string& file, Damage damage) {
    namespace fs = std::filesystem;
    const auto size = fs::file_size(file);
    std::mt19937 rng(7);
    auto overwrite = [&](std::uintmax_t from, std::uintmax_t count, bool zeros) {
        std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(from));
        for (std::uintmax_t i = 0; i < count; ++i)
            out.put(zeros ? '\0' : static_cast<char>(rng()));
    };
    switch (damage) {
    case Damage::cut_short:
        fs::resize_file(file, size / 2);
        break;
    case Damage::random_bytes:
        overwrite(0, size, false);
        break;
    case Damage::zeroed:
        overwrite(0, size, true);
        break;
    case Damage::page_overwritten: {
        // The first page of the contacts table: the schema still reads.
        const auto root = std::stoll(
            sql_value(file, "SELECT rootpage FROM sqlite_master WHERE name = 'contacts'"));
        const auto page_size = std::stoll(sql_value(file, "PRAGMA page_size"));
        overwrite(static_cast<std::uintmax_t>((root - 1) * page_size),
                  static_cast<std::uintmax_t>(page_size), false);
        break;
    }
    case Damage::newer_schema:
        exec_sql(file, "PRAGMA user_version = 2");
        break;
    case Damage::tables_renamed:
        exec_sql(file, "ALTER TABLE contacts RENAME TO old_contacts");
        break;
    case Damage::folder:
        fs::remove(file);
        fs::create_directory(file);
        break;
    }
}

} // namespace telvara::test_support
