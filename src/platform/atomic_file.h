#pragma once
// Whole-file reads and crash-safe replacement of small files (settings and
// similar): a reader sees the old or the new content, never a torn one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace telvara::platform {

// Creates the folder and its missing parents; true when it exists afterwards.
bool create_folders(std::string_view folder);

// The folder part of a file name ("" for a bare name, "/" for "/x").
std::string parent_folder(std::string_view file);

// What a reader takes unless it says otherwise: more than any file the
// program keeps, far less than a link to /dev/zero would pour in.
inline constexpr std::size_t kDefaultReadLimit = 64u << 20;

// The whole file, or nothing when it cannot be opened or read (errno tells,
// and `why`, when given, gets a sentence that names the file). Only a regular
// file is read: a FIFO or a device is refused at once (EINVAL) instead of
// blocking or pouring without end, and a file of more than `limit` bytes is
// refused (EFBIG) without reading more than limit + 1 bytes of it.
std::optional<std::string> read_whole_file(const std::string& path,
                                           std::size_t limit = kDefaultReadLimit,
                                           std::string* why = nullptr);

// "1.5 MB", "640 KB", "12 bytes": a size for a message.
std::string size_text(std::size_t bytes);

// Writes data to temp_path (same folder as path), syncs it, renames it over
// path and syncs the folder. A crash at any moment leaves the old or the new
// file. Two writers must not share temp_path at the same time.
bool replace_file(const std::string& path, std::string_view data, const std::string& temp_path);

} // namespace telvara::platform
