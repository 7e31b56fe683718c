#pragma once
// The settings store that stands in for the registry: DWORD and string values
// under (root, key path, value name), kept in memory and in one text file in
// the ".reg" format. Names compare case-insensitively and keep their first
// spelling. Several processes may share the file: each write re-reads it under
// an exclusive lock file and replaces it atomically; reads come from memory
// and notice outside changes by a stat at most every recheck interval.

#include "platform/text.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace telvara::platform {

enum class SettingsRoot { classes_root, local_machine, users, current_user };

// "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER".
WStringView settings_root_name(SettingsRoot root);

// Case-insensitive order over the ASCII, Latin-1, Greek and Cyrillic letters.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(WStringView a, WStringView b) const noexcept;
};

enum class SettingType { dword, string };

struct SettingValue {
    WString name;
    SettingType type = SettingType::dword;
    std::uint32_t dword = 0;
    WString text;
    bool operator==(const SettingValue&) const = default;
};

struct SettingsKey {
    WString path; // the subkey, components joined by "\", "" for the root itself
    std::map<WString, SettingValue, NoCaseLess> values;
    bool operator==(const SettingsKey&) const = default;
};

// Everything the store holds: per root, keys by subkey.
struct SettingsTree {
    std::array<std::map<WString, SettingsKey, NoCaseLess>, 4> roots;
    bool operator==(const SettingsTree&) const = default;
};

// The ".reg" text form. Strings without control characters or broken
// surrogates are written quoted ("a\\b \"c\""); any other string is written
// as hex(1): its UTF-16LE bytes with the terminating zero, so every string
// survives the round trip; a dword is written with its 8 hex digits.
//
// Without `skipped`, parsing fails (with a line number in error) on anything
// it does not understand. With it, only a text that is not a settings file at
// all fails; a damaged line (a dword cut short, a torn text, an unknown key
// and the values under it) is left out and described in `skipped` ("line 7:
// a dword needs 8 hex digits"; at most kMaxSkippedLines descriptions, then
// one that counts the rest).
inline constexpr std::size_t kMaxSkippedLines = 16;
std::string serialize_settings(const SettingsTree& tree);
bool parse_settings(std::string_view text, SettingsTree& out, std::string& error,
                    std::vector<std::string>* skipped = nullptr);

// The largest settings file the store reads.
inline constexpr std::size_t kMaxSettingsFileBytes = 4u << 20;

// What went wrong with the settings file, for the log and the user.
enum class SettingsProblemKind {
    Damaged,      // the file could not be read or parsed at all; set aside
    LinesSkipped, // damaged lines were left out; a copy of the file is kept
    NotSaved,     // a change could not be written
};

struct SettingsProblem {
    SettingsProblemKind kind = SettingsProblemKind::Damaged;
    std::string text;   // the whole story, with the file's name
    std::string reason; // NotSaved: the system's reason ("No space left on device")
    int error = 0;      // NotSaved: its errno (ENOSPC)
};

// last_error() of a delete whose value was not there.
inline constexpr char kNoSuchSettingsValue[] = "no such value";

class SettingsStore {
  public:
    static constexpr std::chrono::milliseconds default_recheck{200};

    explicit SettingsStore(std::string file = {});
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Forgets everything in memory and uses another file from now on (read on
    // the next access).
    void bind(std::string file);
    std::string file() const;
    void set_recheck_interval(std::chrono::milliseconds interval);

    // Reads answer false for a missing key, a missing value or another type.
    // The subkey may carry stray separators ("a\\b\\"); they are ignored.
    bool read_dword(SettingsRoot root, WStringView subkey, WStringView name, std::uint32_t& out);
    bool read_string(SettingsRoot root, WStringView subkey, WStringView name, WString& out);
    // Writes create the key; they fail on names the file cannot hold (control
    // characters, broken surrogates) and when the file cannot be replaced
    // (last_error() tells which).
    bool write_dword(SettingsRoot root, WStringView subkey, WStringView name, std::uint32_t value);
    bool write_string(SettingsRoot root, WStringView subkey, WStringView name, WStringView value);
    // True when the value existed and the file no longer holds it.
    bool delete_value(SettingsRoot root, WStringView subkey, WStringView name);

    // The current content (after noticing outside changes).
    SettingsTree snapshot();

    // Why the last write or delete failed, with the file's name; empty after
    // one that succeeded.
    std::string last_error() const;

    // Problems met (a damaged file moved aside, damaged lines skipped, a
    // failed write); the owner drains them outside its own locks.
    bool has_problems() const noexcept { return m_has_problems.load(std::memory_order_relaxed); }
    std::vector<SettingsProblem> take_problems();

  private:
    struct FileId {
        bool exists = false;
        int error = 0; // errno of the stat when it failed
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        std::int64_t mtime_ns = 0;
        std::int64_t ctime_ns = 0;
        bool operator==(const FileId&) const = default;
    };

    template <typename Apply> bool modify(Apply&& apply);
    const SettingValue* find_locked(SettingsRoot root, WStringView subkey, WStringView name);
    void refresh_locked();
    bool load_locked(bool have_lock);
    bool set_aside_locked(const std::string& reason);
    std::string unused_aside_name() const;
    void keep_damaged_copy_locked(std::string_view data, const std::vector<std::string>& skipped);
    FileId stat_file() const;
    void problem(SettingsProblemKind kind, std::string text, std::string reason = {},
                 int error = 0);
    bool write_failed(std::string text);

    mutable std::mutex m_mutex;
    std::string m_file;
    SettingsTree m_tree;
    FileId m_seen;
    // The damaged file whose skipped lines were reported (and copied) already.
    FileId m_damage_reported;
    bool m_loaded = false;
    std::int64_t m_checked_ms = 0;
    std::chrono::milliseconds m_recheck = default_recheck;
    std::vector<SettingsProblem> m_problems;
    std::atomic<bool> m_has_problems{false};
    std::string m_last_error;
};

} // namespace telvara::platform
