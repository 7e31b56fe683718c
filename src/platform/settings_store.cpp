// The settings store: its ".reg" text form, the in-memory tree and the
// locking and atomic replacement that let several processes share the file.
#include "platform/settings_store.h"

#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace telvara::platform {

namespace {

constexpr std::string_view header = "Windows Registry Editor Version 5.00";

constexpr std::array<WStringView, 4> root_names = {u"HKEY_CLASSES_ROOT", u"HKEY_LOCAL_MACHINE",
                                                   u"HKEY_USERS", u"HKEY_CURRENT_USER"};

char16_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return static_cast<char16_t>(c + 32);
    if (c < 0xC0)
        return c;
    if ((c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    return c;
}

bool same_nocase(WStringView a, WStringView b) {
    NoCaseLess less;
    return !less(a, b) && !less(b, a);
}

// Text the quoted form and the line structure can hold: no control
// characters and only whole surrogate pairs.
bool is_plain(WStringView text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x20 || c == 0x7F)
            return false;
        if (c >= 0xD800 && c < 0xDC00) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000)
                return false;
            ++i;
        } else if (c >= 0xDC00 && c < 0xE000) {
            return false;
        }
    }
    return true;
}

bool is_canonical_subkey(WStringView subkey) {
    if (subkey.empty())
        return true;
    return subkey.front() != u'\\' && subkey.back() != u'\\' &&
           subkey.find(u"\\\\") == WStringView::npos;
}

// "a\\b\\" and "\a\b" address the same key as "a\b".
WString canonical_subkey(WStringView subkey) {
    WString out;
    std::size_t start = 0;
    while (start <= subkey.size()) {
        std::size_t end = subkey.find(u'\\', start);
        if (end == WStringView::npos)
            end = subkey.size();
        if (end > start) {
            if (!out.empty())
                out += u'\\';
            out.append(subkey.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::int64_t now_ms() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// ---- the text form ---------------------------------------------------------

void append_quoted(std::string& out, WStringView text) {
    out += '"';
    for (char c : to_utf8(text)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

void append_hex_string(std::string& out, WStringView text) {
    static constexpr char digits[] = "0123456789abcdef";
    out += "hex(1):";
    std::size_t column = out.size() - out.rfind('\n');
    auto byte = [&](unsigned value, bool last) {
        out += digits[value >> 4];
        out += digits[value & 15];
        if (last)
            return;
        out += ',';
        column += 3;
        if (column > 76) {
            out += "\\\n  ";
            column = 2;
        }
    };
    for (char16_t c : text) {
        byte(c & 0xFF, false);
        byte(c >> 8, false);
    }
    byte(0, false);
    byte(0, true);
}

struct LineReader {
    std::string_view text;
    int number = 0;

    bool next(std::string_view& line) {
        if (text.empty())
            return false;
        auto end = text.find('\n');
        line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (!line.empty() && is_blank(line.back()))
            line.remove_suffix(1);
        while (!line.empty() && is_blank(line.front()))
            line.remove_prefix(1);
        return true;
    }
};

// Strict UTF-8: a file that is not valid UTF-8 is not ours to reinterpret.
bool decode_utf8(std::string_view bytes, WString& out) {
    out = from_utf8(bytes);
    return to_utf8(out) == bytes;
}

class Parser {
  public:
    Parser(std::string_view text, SettingsTree& out, std::string& error,
           std::vector<std::string>* skipped)
        : m_lines{text}, m_out(out), m_error(error), m_skipped(skipped) {}

    bool run() {
        m_out = {};
        if (m_skipped != nullptr)
            m_skipped->clear();
        if (m_lines.text.starts_with("\xEF\xBB\xBF"))
            m_lines.text.remove_prefix(3);
        bool seen_header = false;
        std::string_view line;
        while (m_lines.next(line)) {
            if (line.empty())
                continue;
            if (!seen_header) {
                if (line != header)
                    return fail("not a settings file (the first line is not \"" +
                                std::string(header) + "\")");
                seen_header = true;
                continue;
            }
            const bool is_key = line.front() == '[';
            if (!is_key && m_skipping_key)
                continue; // a value of a key that could not be read
            bool ok = line.front() == ';'                          ? true
                      : is_key                                     ? parse_key(line)
                      : line.front() == '"' || line.front() == '@' ? parse_value(line)
                                                                   : fail("unexpected text");
            if (ok) {
                if (is_key)
                    m_skipping_key = false;
                continue;
            }
            if (m_skipped == nullptr)
                return false;
            skip(is_key);
        }
        if (!seen_header)
            return fail("empty file");
        if (m_skipped != nullptr && m_skipped_count > kMaxSkippedLines)
            m_skipped->push_back("and " + std::to_string(m_skipped_count - kMaxSkippedLines) +
                                 " more damaged lines");
        m_error.clear();
        return true;
    }

  private:
    bool fail(const std::string& what) {
        m_error = "line " + std::to_string(m_lines.number) + ": " + what;
        return false;
    }

    bool parse_key(std::string_view line) {
        if (line.back() != ']')
            return fail("a key line must end with ']'");
        WString path;
        if (!decode_utf8(line.substr(1, line.size() - 2), path))
            return fail("invalid UTF-8");
        if (!is_plain(path))
            return fail("control character in a key name");
        WStringView view = path;
        auto slash = view.find(u'\\');
        WStringView root = view.substr(0, slash);
        for (std::size_t r = 0; r < root_names.size(); ++r) {
            if (!same_nocase(root, root_names[r]))
                continue;
            WString subkey = canonical_subkey(slash == WStringView::npos ? WStringView{}
                                                                         : view.substr(slash + 1));
            auto& keys = m_out.roots[r];
            auto it = keys.find(subkey);
            if (it == keys.end())
                it = keys.emplace(subkey, SettingsKey{subkey, {}}).first;
            m_key = &it->second;
            return true;
        }
        return fail("unknown root key");
    }

    // A quoted text with \\ and \" escapes, starting at the opening quote;
    // leaves the rest of the line after the closing quote.
    bool parse_quoted(std::string_view& rest, WString& out) {
        std::string bytes;
        std::size_t i = 1;
        for (; i < rest.size() && rest[i] != '"'; ++i) {
            if (rest[i] == '\\') {
                if (i + 1 >= rest.size() || (rest[i + 1] != '\\' && rest[i + 1] != '"'))
                    return fail("unknown escape in a quoted text");
                ++i;
            }
            bytes += rest[i];
        }
        if (i >= rest.size())
            return fail("unterminated quoted text");
        rest.remove_prefix(i + 1);
        if (!decode_utf8(bytes, out))
            return fail("invalid UTF-8");
        return true;
    }

    bool parse_hex_string(std::string_view rest, WString& out) {
        std::string joined(rest);
        std::string_view line;
        while (!joined.empty() && joined.back() == '\\') {
            joined.pop_back();
            if (!m_lines.next(line))
                return fail("hex data continues past the end of the file");
            joined += line;
        }
        std::string bytes;
        std::string_view data = joined;
        while (!data.empty()) {
            auto comma = data.find(',');
            std::string_view item = data.substr(0, comma);
            data.remove_prefix(comma == std::string_view::npos ? data.size() : comma + 1);
            while (!item.empty() && item.front() == ' ')
                item.remove_prefix(1);
            while (!item.empty() && item.back() == ' ')
                item.remove_suffix(1);
            unsigned value = 0;
            if (item.empty() || item.size() > 2)
                return fail("bad hex byte");
            for (char c : item) {
                int digit = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : -1;
                if (digit < 0)
                    return fail("bad hex byte");
                value = value * 16 + static_cast<unsigned>(digit);
            }
            bytes += static_cast<char>(value);
        }
        if (bytes.size() % 2 != 0)
            return fail("a string's hex data must hold whole UTF-16 code units");
        out.clear();
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (!out.empty() && out.back() == u'\0')
            out.pop_back();
        return true;
    }

    bool parse_value(std::string_view line) {
        if (m_key == nullptr)
            return fail("a value before the first key");
        SettingValue value;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else {
            if (!parse_quoted(rest, value.name))
                return false;
            if (!is_plain(value.name))
                return fail("control character in a value name");
        }
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        if (rest.empty() || rest.front() != '=')
            return fail("'=' expected after the value name");
        rest.remove_prefix(1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        if (rest.starts_with('"')) {
            value.type = SettingType::string;
            if (!parse_quoted(rest, value.text))
                return false;
            if (!rest.empty())
                return fail("text after a quoted value");
        } else if (rest.starts_with("dword:")) {
            rest.remove_prefix(6);
            // Always written with 8 digits: fewer means a line cut short,
            // whose number would be read wrong.
            if (rest.size() != 8)
                return fail("a dword needs 8 hex digits");
            std::uint32_t number = 0;
            for (char c : rest) {
                int digit = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : -1;
                if (digit < 0)
                    return fail("bad hex digit in a dword");
                number = number * 16 + static_cast<std::uint32_t>(digit);
            }
            value.dword = number;
        } else if (rest.starts_with("hex(1):")) {
            value.type = SettingType::string;
            if (!parse_hex_string(rest.substr(7), value.text))
                return false;
        } else {
            return fail("unsupported value type");
        }
        auto it = m_key->values.find(value.name);
        if (it == m_key->values.end()) {
            WString name = value.name;
            m_key->values.emplace(std::move(name), std::move(value));
        } else {
            // A repeated value: the later one wins, the first spelling stays.
            value.name = it->second.name;
            it->second = std::move(value);
        }
        return true;
    }

    // A damaged line is left out and described; a damaged key line takes
    // the values under it along (they would land under the wrong key).
    void skip(bool is_key) {
        if (++m_skipped_count <= kMaxSkippedLines)
            m_skipped->push_back(is_key ? m_error + " (the values under it are skipped too)"
                                        : m_error);
        if (is_key) {
            m_key = nullptr;
            m_skipping_key = true;
        }
    }

    LineReader m_lines;
    SettingsTree& m_out;
    std::string& m_error;
    std::vector<std::string>* m_skipped = nullptr;
    std::size_t m_skipped_count = 0;
    bool m_skipping_key = false;
    SettingsKey* m_key = nullptr;
};

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

  private:
    int m_fd = -1;
};

// The exclusive lock that serialises read-modify-write between processes;
// released when the descriptor closes.
std::optional<Fd> lock_file(const std::string& file) {
    Fd fd(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return std::nullopt;
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    return std::optional<Fd>(std::move(fd));
}

} // namespace

WStringView settings_root_name(SettingsRoot root) {
    return root_names[static_cast<std::size_t>(root)];
}

bool NoCaseLess::operator()(WStringView a, WStringView b) const noexcept {
    std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = fold(a[i]);
        char16_t y = fold(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

std::string serialize_settings(const SettingsTree& tree) {
    std::string out(header);
    out += '\n';
    for (std::size_t r = 0; r < tree.roots.size(); ++r) {
        for (const auto& [folded, key] : tree.roots[r]) {
            out += "\n[";
            out += to_utf8(root_names[r]);
            if (!key.path.empty()) {
                out += '\\';
                out += to_utf8(key.path);
            }
            out += "]\n";
            for (const auto& [name, value] : key.values) {
                if (value.name.empty())
                    out += '@';
                else
                    append_quoted(out, value.name);
                out += '=';
                if (value.type == SettingType::dword) {
                    char digits[16];
                    std::snprintf(digits, sizeof digits, "dword:%08x", value.dword);
                    out += digits;
                } else if (is_plain(value.text)) {
                    append_quoted(out, value.text);
                } else {
                    append_hex_string(out, value.text);
                }
                out += '\n';
            }
        }
    }
    return out;
}

bool parse_settings(std::string_view text, SettingsTree& out, std::string& error,
                    std::vector<std::string>* skipped) {
    return Parser(text, out, error, skipped).run();
}

// ---- the store -------------------------------------------------------------

SettingsStore::SettingsStore(std::string file) : m_file(std::move(file)) {}

void SettingsStore::bind(std::string file) {
    std::lock_guard lock(m_mutex);
    m_file = std::move(file);
    m_tree = {};
    m_seen = {};
    m_damage_reported = {};
    m_loaded = false;
    m_checked_ms = 0;
    m_last_error.clear();
}

std::string SettingsStore::file() const {
    std::lock_guard lock(m_mutex);
    return m_file;
}

void SettingsStore::set_recheck_interval(std::chrono::milliseconds interval) {
    std::lock_guard lock(m_mutex);
    m_recheck = interval;
}

SettingsStore::FileId SettingsStore::stat_file() const {
    struct stat st {};
    FileId id;
    if (::stat(m_file.c_str(), &st) != 0) {
        id.error = errno;
        return id;
    }
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctime_ns = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

void SettingsStore::problem(SettingsProblemKind kind, std::string text, std::string reason,
                            int error) {
    m_problems.push_back({kind, std::move(text), std::move(reason), error});
    m_has_problems.store(true, std::memory_order_relaxed);
}

// Every way a change can fail to reach the file ends here: the caller learns
// why (last_error), the owner hears of it (a problem to show).
bool SettingsStore::write_failed(std::string text) {
    const int error = errno;
    const char* reason = std::strerror(error);
    m_last_error = text + " (" + reason + ")";
    problem(SettingsProblemKind::NotSaved, m_last_error, reason, error);
    return false;
}

std::string SettingsStore::last_error() const {
    std::lock_guard lock(m_mutex);
    return m_last_error;
}

std::vector<SettingsProblem> SettingsStore::take_problems() {
    std::lock_guard lock(m_mutex);
    m_has_problems.store(false, std::memory_order_relaxed);
    return std::exchange(m_problems, {});
}

void SettingsStore::refresh_locked() {
    if (!m_loaded) {
        load_locked(false);
        return;
    }
    std::int64_t now = now_ms();
    if (m_recheck.count() > 0 && now - m_checked_ms < m_recheck.count())
        return;
    m_checked_ms = now;
    if (stat_file() != m_seen)
        load_locked(false);
}

// Reads the file into memory. A file that cannot be read or parsed is moved
// aside (never overwritten unseen) and memory keeps what it had: nothing on
// the first load, the last good content later. False when the file is bad.
bool SettingsStore::load_locked(bool have_lock) {
    m_loaded = true;
    m_checked_ms = now_ms();
    std::string reason;
    FileId id;
    for (int attempt = 0; attempt < 3; ++attempt) {
        id = stat_file();
        if (!id.exists && (id.error == ENOENT || id.error == ENOTDIR)) {
            m_tree = {};
            m_seen = id;
            return true;
        }
        errno = id.error;
        std::string why;
        auto data = id.exists ? read_whole_file(m_file, kMaxSettingsFileBytes, &why) : std::nullopt;
        if (!data) {
            reason = why.empty() ? std::strerror(errno) : why.substr(m_file.size() + 2);
            break;
        }
        // Replaced while we read: read the newer file.
        if (stat_file() != id)
            continue;
        SettingsTree tree;
        std::vector<std::string> skipped;
        if (parse_settings(*data, tree, reason, &skipped)) {
            m_tree = std::move(tree);
            m_seen = id;
            if (!skipped.empty() && id != m_damage_reported) {
                m_damage_reported = id;
                keep_damaged_copy_locked(*data, skipped);
            }
            return true;
        }
        break;
    }
    if (reason.empty())
        reason = "it kept changing while being read";
    m_seen = id;
    std::optional<Fd> lock;
    if (!have_lock) {
        lock = lock_file(m_file);
        // A writer may have replaced the bad file meanwhile: read that one.
        if (lock && stat_file() != id)
            return load_locked(true);
    }
    return set_aside_locked(reason);
}

std::string SettingsStore::unused_aside_name() const {
    const std::string base = m_file + ".bad-" + std::to_string(std::time(nullptr));
    std::string aside = base;
    for (int n = 1; ::access(aside.c_str(), F_OK) == 0 || errno != ENOENT; ++n)
        aside = base + "-" + std::to_string(n);
    return aside;
}

// The good lines are used; the next write would drop the damaged ones, so
// the file as it was is kept beside it first.
void SettingsStore::keep_damaged_copy_locked(std::string_view data,
                                             const std::vector<std::string>& skipped) {
    std::string lines;
    for (const std::string& line : skipped)
        lines += (lines.empty() ? "" : "; ") + line;
    const std::string aside = unused_aside_name();
    std::string kept = "a copy of the file is kept as " + aside;
    if (!replace_file(aside, data, aside + ".tmp"))
        kept = std::string("no copy of it could be kept (") + std::strerror(errno) + ")";
    problem(SettingsProblemKind::LinesSkipped,
            "settings file " + m_file + " has damaged lines, left out (" + lines + "); " + kept);
}

bool SettingsStore::set_aside_locked(const std::string& reason) {
    const std::string aside = unused_aside_name();
    const char* kept = m_tree == SettingsTree{} ? "starting with empty settings"
                                                : "keeping the settings read before";
    if (::rename(m_file.c_str(), aside.c_str()) != 0) {
        problem(SettingsProblemKind::Damaged, "settings file " + m_file + " is damaged (" + reason +
                                                  ") and could not be moved aside (" +
                                                  std::strerror(errno) + "); " + kept +
                                                  ", changes are not saved");
        return false;
    }
    m_seen = stat_file();
    problem(SettingsProblemKind::Damaged, "settings file " + m_file + " is damaged (" + reason +
                                              "); moved aside to " + aside + "; " + kept);
    return true;
}

const SettingValue* SettingsStore::find_locked(SettingsRoot root, WStringView subkey,
                                               WStringView name) {
    refresh_locked();
    const auto& keys = m_tree.roots[static_cast<std::size_t>(root)];
    auto key =
        is_canonical_subkey(subkey) ? keys.find(subkey) : keys.find(canonical_subkey(subkey));
    if (key == keys.end())
        return nullptr;
    auto value = key->second.values.find(name);
    return value == key->second.values.end() ? nullptr : &value->second;
}

bool SettingsStore::read_dword(SettingsRoot root, WStringView subkey, WStringView name,
                               std::uint32_t& out) {
    std::lock_guard lock(m_mutex);
    const SettingValue* value = find_locked(root, subkey, name);
    if (value == nullptr || value->type != SettingType::dword)
        return false;
    out = value->dword;
    return true;
}

bool SettingsStore::read_string(SettingsRoot root, WStringView subkey, WStringView name,
                                WString& out) {
    std::lock_guard lock(m_mutex);
    const SettingValue* value = find_locked(root, subkey, name);
    if (value == nullptr || value->type != SettingType::string)
        return false;
    // A stored zero ends the text, as a registry read does.
    WStringView text = value->text;
    out.assign(text.substr(0, text.find(u'\0')));
    return true;
}

template <typename Apply> bool SettingsStore::modify(Apply&& apply) {
    std::lock_guard lock(m_mutex);
    m_last_error.clear();
    if (!create_folders(parent_folder(m_file)))
        return write_failed("cannot create the folder of the settings file " + m_file);
    auto file_lock = lock_file(m_file);
    if (!file_lock)
        return write_failed("cannot lock the settings file " + m_file);
    // Always start from what is on disk now: another process may have
    // written since, within the same clock tick and size. Cheap next to the
    // fsync that follows.
    if (!load_locked(true) && stat_file().exists) {
        m_last_error = "the settings file " + m_file + " is damaged and could not be moved aside";
        return false;
    }
    SettingsTree tree = m_tree;
    if (!apply(tree))
        return false;
    if (tree == m_tree && m_seen.exists)
        return true;
    if (!replace_file(m_file, serialize_settings(tree), m_file + ".tmp"))
        return write_failed("cannot write the settings file " + m_file);
    m_tree = std::move(tree);
    m_seen = stat_file();
    m_checked_ms = now_ms();
    return true;
}

namespace {

constexpr const char* kUnwritableName =
    "key and value names may not hold control characters or broken surrogates";

SettingValue* value_for_write(SettingsTree& tree, SettingsRoot root, WStringView subkey,
                              WStringView name) {
    WString path = canonical_subkey(subkey);
    if (!is_plain(path) || !is_plain(name))
        return nullptr;
    auto& keys = tree.roots[static_cast<std::size_t>(root)];
    auto key = keys.find(path);
    if (key == keys.end())
        key = keys.emplace(path, SettingsKey{path, {}}).first;
    auto& values = key->second.values;
    auto value = values.find(name);
    if (value == values.end())
        value = values.emplace(WString(name), SettingValue{WString(name), {}, 0, {}}).first;
    return &value->second;
}

} // namespace

bool SettingsStore::write_dword(SettingsRoot root, WStringView subkey, WStringView name,
                                std::uint32_t number) {
    return modify([&](SettingsTree& tree) {
        SettingValue* value = value_for_write(tree, root, subkey, name);
        if (value == nullptr) {
            m_last_error = kUnwritableName;
            return false;
        }
        value->type = SettingType::dword;
        value->dword = number;
        value->text.clear();
        return true;
    });
}

bool SettingsStore::write_string(SettingsRoot root, WStringView subkey, WStringView name,
                                 WStringView text) {
    return modify([&](SettingsTree& tree) {
        SettingValue* value = value_for_write(tree, root, subkey, name);
        if (value == nullptr) {
            m_last_error = kUnwritableName;
            return false;
        }
        value->type = SettingType::string;
        value->dword = 0;
        value->text.assign(text);
        return true;
    });
}

bool SettingsStore::delete_value(SettingsRoot root, WStringView subkey, WStringView name) {
    return modify([&](SettingsTree& tree) {
        auto& keys = tree.roots[static_cast<std::size_t>(root)];
        auto key = keys.find(canonical_subkey(subkey));
        if (key == keys.end()) {
            m_last_error = kNoSuchSettingsValue;
            return false;
        }
        auto value = key->second.values.find(name);
        if (value == key->second.values.end()) {
            m_last_error = kNoSuchSettingsValue;
            return false;
        }
        key->second.values.erase(value);
        return true;
    });
}

SettingsTree SettingsStore::snapshot() {
    std::lock_guard lock(m_mutex);
    refresh_locked();
    return m_tree;
}

} // namespace telvara::platform
