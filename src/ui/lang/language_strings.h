#pragma once
// The language strings: the key-to-text table of the loaded language file and
// that file's path. Held by Properties beside the skin; empty until the first
// successful load, replaced whole by each later one.

#include "platform/text.h"
#include "ui/lang/language_file.h"

#include <string>

namespace telvara::ui {

class LanguageStrings {
  public:
    // The text stored for the key, or the key itself when it has none.
    WString translate(WStringView key) const;
    // The stored text, or null when the key is absent.
    const WString* find(WStringView key) const;

    // Reads the file at a program path ("%app_path%/english.lng"). On success
    // the table and the path are replaced and true is returned; on failure
    // nothing changes. A file that is there but cannot be used (unreadable,
    // too large, damaged) puts "<file>: <reason>" into `why` when given; a
    // missing one leaves it empty, as a missing language is no damage.
    bool load_language_file(WStringView path, std::string* why = nullptr);

    // The path of the loaded file, empty before the first load.
    const WString& path() const { return m_path; }
    const LanguageTable& table() const { return m_table; }
    std::size_t size() const { return m_table.size(); }

  private:
    LanguageTable m_table;
    WString m_path;
};

} // namespace telvara::ui
