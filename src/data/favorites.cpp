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
#include <cstring>
#include <fcntl.h>
#include <filesystem>

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
    if (table.empty()) {
        // An empty file holds no favourites; bytes that give no line do not.
        const bool blank = std::all_of(bytes.begin(), bytes.end(), [](char c) {
            return c == ' ' || c == '\t' || c == '\r' || c == '\n';
        });
        return blank ? FavoritesFile::Read : FavoritesFile::Damaged;
    }
    bool damaged = false;
    std::vector<std::size_t> indexes;
    auto count = parse_decimal<std::uint32_t>(table, "count");
    // Every favourite takes two lines: a larger count cannot be true.
    if (count && *count <= table.size()) {
        for (std::size_t i = 0; i < *count; ++i)
            indexes.push_back(i);
    } else {
        // Without a count that reads, every index the file has.
        damaged = true;
        for (const auto& [key, text] : table) {
            if (key.size() < 3 || key.compare(0, 2, u"fc") != 0)
                continue;
            std::size_t index = 0;
            bool digits = key.size() - 2 <= 9;
            for (std::size_t k = 2; k < key.size() && digits; ++k) {
                digits = key[k] >= u'0' && key[k] <= u'9';
                index = index * 10 + static_cast<std::size_t>(key[k] - u'0');
            }
            if (digits && key == u"fc" + to_wstring(static_cast<std::uint32_t>(index)))
                indexes.push_back(index);
        }
        std::sort(indexes.begin(), indexes.end());
    }
    out.reserve(indexes.size());
    for (std::size_t i : indexes) {
        auto oid = parse_decimal<std::uint32_t>(table, key("fc", i));
        auto value = parse_decimal<std::int32_t>(table, key("ft", i));
        if (!oid || !value) {
            damaged = true;
            continue;
        }
        out.push_back({*oid, *value});
    }
    return damaged ? FavoritesFile::Damaged : FavoritesFile::Read;
}

namespace {

// Moves the file to a name no earlier damaged file has; that name, or ""
// when it could not be moved.
std::string move_aside(const std::string& path) {
    for (int n = 1; n <= 1000; ++n) {
        const std::string aside = path + ".bad" + (n == 1 ? "" : "-" + std::to_string(n));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        // A file system without the no-replace rename: look, then rename.
        if (errno == EINVAL) {
            std::error_code error;
            if (std::filesystem::exists(aside, error) || error)
                continue;
            if (std::rename(path.c_str(), aside.c_str()) == 0)
                return aside;
        }
        return {};
    }
    return {};
}

} // namespace

FavoritesLoad read_favorites_file(const std::string& path, std::vector<FavoriteLine>& out) {
    out.clear();
    FavoritesLoad load;
    // A folder, FIFO or device at its place is not read (a FIFO would wait
    // for a writer) and never replaced.
    std::error_code status_error;
    const auto type = std::filesystem::status(path, status_error).type();
    if (type != std::filesystem::file_type::regular &&
        type != std::filesystem::file_type::not_found) {
        load.state = FavoritesFile::Unreadable;
        load.reason = status_error ? status_error.message() : "not a regular file";
        runtime::log() << platform::tick_count() << u" load_favorites() cannot read "
                       << from_utf8(path) << u": " << from_utf8(load.reason)
                       << u"; it is not written\n";
        return load;
    }
    errno = 0;
    std::optional<std::string> bytes = platform::read_whole_file(path);
    if (!bytes) {
        const int error = errno;
        std::error_code ignored;
        if (error == ENOENT && !std::filesystem::is_symlink(path, ignored)) {
            load.state = FavoritesFile::Missing;
            return load;
        }
        load.state = FavoritesFile::Unreadable;
        load.reason = std::strerror(error != 0 ? error : EIO);
        runtime::log() << platform::tick_count() << u" load_favorites() cannot read "
                       << from_utf8(path) << u": " << from_utf8(load.reason)
                       << u"; it is not written\n";
        return load;
    }
    load.state = parse_favorites(*bytes, out);
    if (load.state == FavoritesFile::Damaged) {
        load.kept_as = move_aside(path);
        if (load.kept_as.empty())
            load.reason = std::strerror(errno);
        runtime::log() << platform::tick_count() << u" load_favorites() damaged file "
                       << from_utf8(path) << u", " << static_cast<std::uint32_t>(out.size())
                       << u" entries read, "
                       << (load.kept_as.empty()
                               ? u"could not be moved aside (" + from_utf8(load.reason) +
                                     u"); it is not written"
                               : u"kept as " + from_utf8(load.kept_as))
                       << u"\n";
    }
    return load;
}

bool write_favorites_file(const std::string& path, const std::vector<FavoriteLine>& lines) {
    errno = 0;
    bool ok = platform::replace_file(path, format_favorites(lines), path + ".tmp");
    if (!ok) {
        const int error = errno;
        runtime::log() << platform::tick_count() << u" save_favorites() failed " << from_utf8(path)
                       << u" errno=" << error << u"\n";
        errno = error;
    }
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
