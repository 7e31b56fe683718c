// Lookup and loading of the language strings.
#include "ui/lang/language_strings.h"

#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"

#include <cerrno>

namespace telvara::ui {

WString LanguageStrings::translate(WStringView key) const {
    const WString* text = find(key);
    return text != nullptr ? *text : WString(key);
}

const WString* LanguageStrings::find(WStringView key) const {
    auto it = m_table.find(key);
    return it == m_table.end() ? nullptr : &it->second;
}

bool LanguageStrings::load_language_file(WStringView path, std::string* why) {
    // The old table stays in force until the new file has been read whole.
    std::string reason;
    std::optional<LanguageTable> table = read_language_file(runtime::file_path(path), &reason);
    if (!table) {
        const bool missing = errno == ENOENT;
        runtime::log() << platform::tick_count() << u" LanguageStrings::load_language_file "
                       << from_utf8(reason) << u"\n";
        if (why != nullptr && !missing)
            *why = std::move(reason);
        return false;
    }
    m_table = std::move(*table);
    m_path = WString(path);
    runtime::log() << platform::tick_count() << u" LanguageStrings::load_language_file " << m_path
                   << u" keys=" << static_cast<std::uint32_t>(m_table.size()) << u"\n";
    return true;
}

} // namespace telvara::ui
