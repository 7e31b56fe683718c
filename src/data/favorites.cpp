#include "data/favorites.h"

#include "data/contact_entry.h"
#include "data/key_text_file.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "runtime/log.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace telvara::data {
namespace {

std::string key(const char* prefix, std::size_t i) {
    return prefix + std::to_string(i);
}

template <class T>
std::optional<T> parse_decimal(const KeyTextTable& table, const std::string& name) {
    auto it = table.find(from_ascii(name));
    if (it == table.end())
        return std::nullopt;
    std::string text = to_utf8(it->second);
    // The reader keeps trailing blanks of a line; a number is still a number.
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

} // namespace

std::string format_favorites(const std::vector<FavoriteLine>& lines) {
    std::string out = "count=" + std::to_string(lines.size()) + "\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += key("fc", i) + "=" + std::to_string(lines[i].oid) + "\n";
        out += key("ft", i) + "=" + std::to_string(lines[i].value) + "\n";
    }
    return out;
}

FavoritesFile parse_favorites(std::string_view bytes, std::vector<FavoriteLine>& out) {
    out.clear();
    KeyTextTable table = parse_key_text(decode_key_text_bytes(bytes));
    if (table.empty())
        return FavoritesFile::Read; // an empty file holds no favourites
    auto count = parse_decimal<std::uint32_t>(table, "count");
    // Every favourite takes two lines: a larger count cannot be true.
    if (!count || *count > table.size())
        return FavoritesFile::Corrupt;
    out.reserve(*count);
    for (std::size_t i = 0; i < *count; ++i) {
        auto oid = parse_decimal<std::uint32_t>(table, key("fc", i));
        auto value = parse_decimal<std::int32_t>(table, key("ft", i));
        if (!oid || !value) {
            out.clear();
            return FavoritesFile::Corrupt;
        }
        out.push_back({*oid, *value});
    }
    return FavoritesFile::Read;
}

FavoritesFile read_favorites_file(const std::string& path, std::vector<FavoriteLine>& out) {
    out.clear();
    std::optional<std::string> bytes = platform::read_whole_file(path);
    if (!bytes)
        return FavoritesFile::Missing;
    FavoritesFile state = parse_favorites(*bytes, out);
    if (state == FavoritesFile::Corrupt) {
        std::string aside = path + ".bad";
        bool kept = std::rename(path.c_str(), aside.c_str()) == 0;
        runtime::log() << platform::tick_count() << u" load_favorites() bad file "
                       << from_utf8(path) << (kept ? u" kept as " : u" could not be moved to ")
                       << from_utf8(aside) << u"\n";
    }
    return state;
}

bool write_favorites_file(const std::string& path, const std::vector<FavoriteLine>& lines) {
    bool ok = platform::replace_file(path, format_favorites(lines), path + ".tmp");
    if (!ok)
        runtime::log() << platform::tick_count() << u" save_favorites() failed " << from_utf8(path)
                       << u" errno=" << errno << u"\n";
    return ok;
}

void FavoriteList::clear() {
    for (Favorite& f : m_list)
        f.entry->favorite_values.clear();
    m_list.clear();
}

void FavoriteList::load(const std::vector<FavoriteLine>& lines,
                        const std::function<ContactEntry*(std::uint32_t)>& find) {
    clear();
    for (const FavoriteLine& line : lines) {
        ContactEntry* entry = find(line.oid);
        if (entry == nullptr || index_of(*entry, line.value))
            continue;
        entry->favorite_values.push_back(line.value);
        m_list.push_back({entry, line.value});
    }
    sort();
}

std::optional<std::size_t> FavoriteList::add(ContactEntry& entry, std::int32_t value) {
    if (index_of(entry, value))
        return std::nullopt;
    entry.favorite_values.push_back(value);
    m_list.push_back({&entry, value});
    sort();
    return index_of(entry, value);
}

std::optional<std::size_t> FavoriteList::remove(ContactEntry& entry, std::int32_t value) {
    std::optional<std::size_t> index = index_of(entry, value);
    if (!index)
        return std::nullopt;
    auto& values = entry.favorite_values;
    values.erase(std::find(values.begin(), values.end(), value));
    m_list.erase(m_list.begin() + static_cast<std::ptrdiff_t>(*index));
    return index;
}

std::optional<std::size_t> FavoriteList::index_of(const ContactEntry& entry,
                                                  std::int32_t value) const {
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].entry == &entry && m_list[i].value == value)
            return i;
    return std::nullopt;
}

std::vector<std::size_t> FavoriteList::indexes_of(const ContactEntry& entry) const {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].entry == &entry)
            found.push_back(i);
    return found;
}

void FavoriteList::sort() {
    std::vector<std::pair<WString, Favorite>> keyed;
    keyed.reserve(m_list.size());
    for (const Favorite& f : m_list)
        keyed.emplace_back(display_name(f.entry->record), f);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        m_list[i] = keyed[i].second;
}

std::vector<FavoriteLine> FavoriteList::lines() const {
    std::vector<FavoriteLine> out;
    out.reserve(m_list.size());
    for (const Favorite& f : m_list)
        out.push_back({f.entry->oid(), f.value});
    return out;
}

} // namespace telvara::data
