#pragma once
// Whole-file reads and crash-safe replacement of small files (settings and
// similar): a reader sees the old or the new content, never a torn one.

#include <optional>
#include <string>
#include <string_view>

namespace telvara::platform {

// Creates the folder and its missing parents; true when it exists afterwards.
bool create_folders(std::string_view folder);

// The folder part of a file name ("" for a bare name, "/" for "/x").
std::string parent_folder(std::string_view file);

// The whole file, or nothing when it cannot be opened or read (errno tells).
std::optional<std::string> read_whole_file(const std::string& path);

// Writes data to temp_path (same folder as path), syncs it, renames it over
// path and syncs the folder. A crash at any moment leaves the old or the new
// file. Two writers must not share temp_path at the same time.
bool replace_file(const std::string& path, std::string_view data, const std::string& temp_path);

} // namespace telvara::platform
