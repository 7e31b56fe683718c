#pragma once
// The choice of language and skin: at start-up from the settings with their
// fallbacks, and from the two menus of the settings screen.
//
// Files: languages are <folder>/<name>.lng, skins <folder>/skins/bin/<name>.skin,
// where <folder> is the program folder "%app_path%". The settings values
// "Language" and "Skin" (strings under HKEY_CURRENT_USER\Software\KELMA\<app>)
// hold the base names and are written only when a menu choice has loaded.

#include "platform/text.h"

#include <optional>

namespace telvara::ui {

class ChoiceMenu;
class Properties;

struct ChoiceContext {
    WString app_name = u"Telvara";
    // Where the language files and "skins/bin" are.
    WString app_folder = u"%app_path%";
    // The user's language name ("russian"); unset means the locale's.
    std::optional<WString> system_language;
};

// The settings key of the application: "HKEY_CURRENT_USER\Software\KELMA\" + name.
WString settings_key(WStringView app_name);

// Tries, until one loads: the configured language, the system language,
// "english", then every language file found (in name order). True when one
// loaded; the setting is never written here.
bool select_language_at_start(Properties& properties, const ChoiceContext& context);

// Tries, until one loads: the configured skin, "default", then every
// selectable skin found (in name order), under base_folder + "/skins/bin"
// (the program folder when base_folder is empty). True when one loaded.
bool select_skin_at_start(Properties& properties, const ChoiceContext& context,
                          WStringView base_folder, unsigned scale_shift);

// More than one language file, more than one selectable skin: only then does
// the settings menu offer the choice.
bool has_language_choice(const ChoiceContext& context);
bool has_skin_choice(const ChoiceContext& context);

// The menu commands "Language" / "Skin" fill `menu` with the installed files
// (sorted, the current one checked) and a "Cancel" item drawn with
// `cancel_element`. "Language#<name>" / "Skin#<name>" load that file unless
// it is the current one; when it loads, the setting is written, reload
// listeners are told, and true is returned. Any other command: false.
bool language_menu(Properties& properties, const ChoiceContext& context, WStringView command,
                   ChoiceMenu& menu, WStringView cancel_element);
bool skin_menu(Properties& properties, const ChoiceContext& context, WStringView command,
               ChoiceMenu& menu, WStringView cancel_element);

} // namespace telvara::ui
