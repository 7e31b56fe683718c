#pragma once
// Favourites: contacts (or one of their fields, told by the value the screens
// choose) kept in display-name order and stored in "favorits.dat" as
// "count", "fc<i>" (oid) and "ft<i>" (value) lines.

#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::data {

struct ContactEntry;

struct FavoriteLine {
    std::uint32_t oid = 0;
    std::int32_t value = 0;
    bool operator==(const FavoriteLine&) const = default;
};

// The file's content: ASCII, one "key=text\n" line each.
std::string format_favorites(const std::vector<FavoriteLine>& lines);

enum class FavoritesFile {
    Read,       // every line read (an empty file holds no favourites)
    Missing,    // no file: no favourites yet
    Damaged,    // some lines could not be read; the readable entries are kept
    Unreadable, // the file is there but cannot be read at all
};

// Reads the lines of a favourites file. Damaged when the count or an fc/ft
// line is missing or not a number: every index whose fc and ft lines both
// read is still given, in index order (up to the count, or every index the
// file has when the count does not read).
FavoritesFile parse_favorites(std::string_view bytes, std::vector<FavoriteLine>& out);

struct FavoritesLoad {
    FavoritesFile state = FavoritesFile::Missing;
    // A damaged file is moved aside under a name of its own before anything
    // is written again; where it went ("" when it could not be moved).
    std::string kept_as;
    // Why the file could not be read (strerror), for the log and stderr.
    std::string reason;

    // Whether the file may be written: never over a file that could not be
    // read, or a damaged one that could not be moved aside.
    bool may_write() const {
        return state == FavoritesFile::Read || state == FavoritesFile::Missing ||
               (state == FavoritesFile::Damaged && !kept_as.empty());
    }
};

// Reads the file. A damaged file keeps its readable entries and is renamed
// to path + ".bad" (or ".bad-2", ".bad-3" ... when that is taken: an earlier
// damaged file is never replaced); the event is logged.
FavoritesLoad read_favorites_file(const std::string& path, std::vector<FavoriteLine>& out);

// Replaces the file atomically (temporary file, sync, rename); false with
// errno set when it could not be written.
bool write_favorites_file(const std::string& path, const std::vector<FavoriteLine>& lines);

struct Favorite {
    ContactEntry* entry = nullptr;
    std::int32_t value = 0;
};

// The favourites list and the favourite values kept in each entry.
class FavoriteList {
  public:
    std::size_t size() const { return m_list.size(); }
    bool empty() const { return m_list.empty(); }
    const Favorite& at(std::size_t i) const { return m_list.at(i); }
    const std::vector<Favorite>& items() const { return m_list; }

    // Forgets all favourites (and the entries' values).
    void clear();
    // Builds the list from file lines; oids that find() does not know, and
    // repeated (oid, value) pairs, are skipped.
    void load(const std::vector<FavoriteLine>& lines,
              const std::function<ContactEntry*(std::uint32_t)>& find);

    // The index the new favourite has after sorting; nothing when the
    // contact already has this value.
    std::optional<std::size_t> add(ContactEntry& entry, std::int32_t value);
    // The index the favourite had; nothing when there is none.
    std::optional<std::size_t> remove(ContactEntry& entry, std::int32_t value);
    std::optional<std::size_t> index_of(const ContactEntry& entry, std::int32_t value) const;
    // Indexes of this contact's favourites, ascending.
    std::vector<std::size_t> indexes_of(const ContactEntry& entry) const;

    // Display-name order, code unit by code unit; equal names keep their
    // order. Call after a contact's names changed.
    void sort();

    std::vector<FavoriteLine> lines() const;

  private:
    std::vector<Favorite> m_list;
};

} // namespace telvara::data
