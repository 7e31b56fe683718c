#pragma once
// The choice of language and skin: at start-up from the settings with their
// fallbacks, and from the two menus of the settings screen.
//
// Files: languages are <folder>/<name>.lng, skins <folder>/skins/bin/<name>.skin,
// where <folder> is the program folder "%app_path%". The settings values
// "Language" and "Skin" (strings under HKEY_CURRENT_USER\Software\KELMA\<app>)
// hold the base names and are written only when a menu choice has loaded.

#include "platform/text.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace telvara::ui {

class ChoiceMenu;
class Properties;

// What the program needs of a skin beyond loading (the screens it builds
// from it): given a loaded skin, why that skin cannot be used, or empty when
// it will do.
using SkinCheck = std::function<std::string(const Properties& skin)>;

struct ChoiceContext {
    WString app_name = u"Telvara";
    // Where the language files and "skins/bin" are.
    WString app_folder = u"%app_path%";
    // The user's language name ("russian"); unset means the locale's.
    std::optional<WString> system_language;
    // Asked of every skin before it is taken, at start-up (the skin is then
    // current) and in the menu (before it becomes current or is saved);
    // unset: every skin that loads will do.
    SkinCheck skin_check;
};

// How the start-up choice of skin went.
struct SkinStartReport {
    // The skin the start wanted: the setting's name, "default" without one.
    WString wanted;
    // The base name of the skin taken; empty when none was.
    WString taken;
    // Each skin tried and not taken, in order: "<file>: <reason>".
    std::vector<std::string> refusals;

    // A skin was taken, but not the one wanted.
    bool fell_back() const { return !taken.empty() && !refusals.empty(); }
};

// The settings key of the application: "HKEY_CURRENT_USER\Software\KELMA\" + name.
WString settings_key(WStringView app_name);

// A language file that is there but could not be used.
struct LanguageRefusal {
    WString file_name; // "russian.lng"
    std::string why;   // "<file>: <reason>"
};

// Tries, until one loads: the configured language, the system language,
// "english", then every language file found (in name order). True when one
// loaded; the setting is never written here. Each file that is there but
// cannot be used (damaged, unreadable) is logged and, with `refusals`, added
// there; missing files are passed over in silence.
bool select_language_at_start(Properties& properties, const ChoiceContext& context,
                              std::vector<LanguageRefusal>* refusals = nullptr);

// Tries, until one loads and passes the context's check: the configured
// skin, "default", then every selectable skin found (in name order), under
// base_folder + "/skins/bin" (the program folder when base_folder is empty).
// True when one was taken. Every refusal is logged and, with a report, kept
// there; the setting is never written here, so a skin that comes back is
// used again.
bool select_skin_at_start(Properties& properties, const ChoiceContext& context,
                          WStringView base_folder, unsigned scale_shift,
                          SkinStartReport* report = nullptr);

// The splash skin to load before the screens: the configured skin's own
// ("skins/bin/splash-dark.skin") when there is one, so a start shows the
// colours it ends in, else the common "splash.skin".
WString splash_skin_path(const ChoiceContext& context, WStringView base_folder = {});

// More than one language file, more than one selectable skin: only then does
// the settings menu offer the choice.
bool has_language_choice(const ChoiceContext& context);
bool has_skin_choice(const ChoiceContext& context);

// The menu commands "Language" / "Skin" fill `menu` with the installed files
// (sorted, the current one checked) and a "Cancel" item drawn with
// `cancel_element`. A language is listed by its own name, the text of
// "skinLanguageName" in its file ("Русский"), else by its base name.
// "Language#<name>" / "Skin#<name>" load that file unless it is the
// current one; when it loads (and a skin passes the context's check), the
// setting is written, reload listeners are told, and true is
// returned. Any other command: false. A skin or language file that is
// refused leaves the current one and the setting as they were; the refusal
// ("<file>: <reason>") is logged and, when asked for, stored in *refusal (a
// language file that is gone gives none).
bool language_menu(Properties& properties, const ChoiceContext& context, WStringView command,
                   ChoiceMenu& menu, WStringView cancel_element, std::string* refusal = nullptr);
bool skin_menu(Properties& properties, const ChoiceContext& context, WStringView command,
               ChoiceMenu& menu, WStringView cancel_element, std::string* refusal = nullptr);

// After a menu switch the skin it replaced is kept until the screens have
// been built from the new one. A screen that cannot be built brings it back:
// the setting then names it again. False when no switch was pending.
bool undo_skin_switch(Properties& properties, const ChoiceContext& context);

} // namespace telvara::ui
