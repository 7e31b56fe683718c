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

enum class FavoritesFile { Read, Missing, Corrupt };

// A file that parses but whose count or one of its fc/ft lines is missing or
// not a number is Corrupt, and yields no favourites.
FavoritesFile parse_favorites(std::string_view bytes, std::vector<FavoriteLine>& out);

// Reads the file. A corrupt file is renamed to path + ".bad" (replacing an
// older one) so that the next save cannot destroy what is left of it, and
// the event is logged; the list starts empty.
FavoritesFile read_favorites_file(const std::string& path, std::vector<FavoriteLine>& out);

// Replaces the file atomically (temporary file, sync, rename).
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
