#pragma once
// The file search behind the language and skin lists: the files of a folder
// that match a pattern, then its sub-folders that match another, each handed
// to a visitor that can stop the search. Folders and results are program
// paths ("%app_path%/skins/bin/default.skin"), opened through the path
// variables.

#include "platform/text.h"

#include <vector>

namespace telvara::ui {

class FileSearchVisitor {
  public:
    // A false result stops the whole search.
    virtual bool on_file(const WString& path) = 0;
    virtual bool on_folder(const WString& path) = 0;

  protected:
    ~FileSearchVisitor() = default;
};

enum class Recursion { TopOnly, IntoFolders };

// Patterns use "*" and "?" and match names case-sensitively, as Linux names
// are. Within each step entries come in the file system's order. Returns
// false when a visitor stopped the search.
bool search_files(WStringView folder, WStringView file_pattern, WStringView folder_pattern,
                  FileSearchVisitor& visitor, Recursion recursion);

// The name of a path without its folder and without its last extension.
WString base_name(WStringView path);

// Skins whose base name begins, in any case, with "splash" or "today" belong
// to the splash screen and the today item; they are never offered or tried.
bool is_selectable_skin(WStringView path);

// Every "*.lng" file in the folder (top level only).
std::vector<WString> find_language_files(WStringView folder);
// Every selectable "*.skin" file in the folder (top level only).
std::vector<WString> find_skin_files(WStringView folder);

} // namespace telvara::ui
