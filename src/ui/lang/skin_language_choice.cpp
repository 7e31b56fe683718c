// Start-up choice of language and skin, and the two settings menus.
#include "ui/lang/skin_language_choice.h"

#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/paths.h"
#include "runtime/registry.h"
#include "ui/choice_item.h"
#include "ui/lang/file_search.h"
#include "ui/lang/language_file.h"
#include "ui/lang/system_language.h"
#include "ui/properties.h"

#include <algorithm>
#include <filesystem>

namespace telvara::ui {
namespace {

constexpr WStringView kLanguageValue = u"Language";
constexpr WStringView kSkinValue = u"Skin";
constexpr WStringView kLanguagePrefix = u"Language#";
constexpr WStringView kSkinPrefix = u"Skin#";
constexpr WStringView kLanguageNameKey = u"skinLanguageName";

WString language_path(const ChoiceContext& context, WStringView name) {
    return context.app_folder + u"/" + WString(name) + u".lng";
}

WString skins_folder(WStringView base) {
    return WString(base) + u"/skins/bin";
}

WString skin_path(WStringView base, WStringView name) {
    return skins_folder(base) + u"/" + WString(name) + u".skin";
}

WString setting(const ChoiceContext& context, WStringView value) {
    WString text;
    runtime::reg_read_string(settings_key(context.app_name), value, text);
    return text;
}

// A name from a setting or a menu command stands for a file in the folder:
// empty names and names that leave the folder are refused.
bool usable_name(WStringView name) {
    return !name.empty() && name.find_first_of(u"/\\") == WStringView::npos && name != u"." &&
           name != u"..";
}

std::vector<WString> sorted(std::vector<WString> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

void add_cancel(ChoiceMenu& menu, WStringView cancel_element) {
    ChoiceItem cancel;
    cancel.identifier = u"Cancel";
    cancel.element = WString(cancel_element);
    menu.add_item(std::move(cancel));
}

// A language names itself in its own file ("Русский"), so that a new file
// shows in the menu with no change of code; without that key (or when the
// file cannot be read) its base name stands.
WString language_display_name(const WString& path) {
    if (const auto table = read_language_file(runtime::file_path(path))) {
        if (const auto name = table->find(kLanguageNameKey);
            name != table->end() && !name->second.empty())
            return name->second;
    }
    return base_name(path);
}

bool load_language(Properties& properties, const WString& path, std::string* why = nullptr) {
    return properties.language().load_language_file(path, why);
}

} // namespace

WString settings_key(WStringView app_name) {
    return u"HKEY_CURRENT_USER\\Software\\KELMA\\" + WString(app_name);
}

bool select_language_at_start(Properties& properties, const ChoiceContext& context,
                              std::vector<LanguageRefusal>* refusals) {
    // Each file is tried once, though the setting, the system language and
    // "english" may all name it: a damaged one is refused (and said) once.
    std::vector<WString> tried;
    auto take = [&](const WString& path) {
        if (std::find(tried.begin(), tried.end(), path) != tried.end())
            return false;
        tried.push_back(path);
        std::string why;
        if (load_language(properties, path, &why))
            return true;
        if (!why.empty() && refusals != nullptr)
            refusals->push_back({base_name(path) + u".lng", std::move(why)});
        return false;
    };
    const WString configured = setting(context, kLanguageValue);
    if (usable_name(configured) && take(language_path(context, configured)))
        return true;
    const WString system = context.system_language.value_or(system_language_name());
    if (usable_name(system) && take(language_path(context, system)))
        return true;
    if (take(language_path(context, u"english")))
        return true;
    for (const WString& path : sorted(find_language_files(context.app_folder)))
        if (take(path))
            return true;
    runtime::log() << platform::tick_count() << u" select_language_at_start no language\n";
    return false;
}

WString splash_skin_path(const ChoiceContext& context, WStringView base_folder) {
    const WString base = base_folder.empty() ? context.app_folder : WString(base_folder);
    const WString configured = setting(context, kSkinValue);
    if (usable_name(configured) && is_selectable_skin(configured)) {
        WString own = skin_path(base, u"splash-" + configured);
        std::error_code error;
        if (std::filesystem::is_regular_file(runtime::file_path(own), error))
            return own;
    }
    return skin_path(base, u"splash");
}

bool select_skin_at_start(Properties& properties, const ChoiceContext& context,
                          WStringView base_folder, unsigned scale_shift, SkinStartReport* report) {
    const WString base = base_folder.empty() ? context.app_folder : WString(base_folder);
    SkinStartReport local;
    SkinStartReport& out = report != nullptr ? *report : local;
    out = {};
    auto refuse = [&](const WString& file, const std::string& reason) {
        // The file as the user finds it on disk.
        std::string line =
            (file.find(u'/') == WString::npos ? to_utf8(file) : runtime::file_path(file)) + ": " +
            reason;
        runtime::log() << platform::tick_count() << u" select_skin_at_start refused "
                       << from_utf8(line) << u"\n";
        out.refusals.push_back(std::move(line));
    };
    std::vector<WString> tried;
    auto take = [&](const WString& path) {
        if (std::find(tried.begin(), tried.end(), path) != tried.end())
            return false;
        tried.push_back(path);
        std::string error;
        if (!properties.load_skin(path, scale_shift, &error)) {
            refuse(path, error);
            return false;
        }
        if (context.skin_check) {
            if (std::string why = context.skin_check(properties); !why.empty()) {
                refuse(path, why);
                return false;
            }
        }
        out.taken = base_name(path);
        return true;
    };

    const WString configured = setting(context, kSkinValue);
    out.wanted = configured.empty() ? WString(u"default") : configured;
    if (!configured.empty()) {
        // A splash or today skin is never the main skin, whatever the setting says.
        if (!usable_name(configured) || !is_selectable_skin(configured))
            refuse(configured, "the setting Skin names no selectable skin");
        else if (take(skin_path(base, configured)))
            return true;
    }
    if (take(skin_path(base, u"default")))
        return true;
    for (const WString& path : sorted(find_skin_files(skins_folder(base))))
        if (take(path))
            return true;
    runtime::log() << platform::tick_count() << u" select_skin_at_start no skin\n";
    return false;
}

bool has_language_choice(const ChoiceContext& context) {
    return find_language_files(context.app_folder).size() > 1;
}

bool has_skin_choice(const ChoiceContext& context) {
    return find_skin_files(skins_folder(context.app_folder)).size() > 1;
}

bool language_menu(Properties& properties, const ChoiceContext& context, WStringView command,
                   ChoiceMenu& menu, WStringView cancel_element, std::string* refusal) {
    if (command == kLanguageValue) {
        const WString current = base_name(properties.language().path());
        for (const WString& path : sorted(find_language_files(context.app_folder))) {
            ChoiceItem item;
            const WString name = base_name(path);
            item.text = language_display_name(path);
            item.identifier = WString(kLanguagePrefix) + name;
            item.checked = equal_ignoring_ascii_case(name, current);
            menu.add_item(std::move(item));
        }
        add_cancel(menu, cancel_element);
    }
    if (!command.starts_with(kLanguagePrefix))
        return false;
    const WStringView name = command.substr(kLanguagePrefix.size());
    const WString path = language_path(context, name);
    if (!usable_name(name) || path == properties.language().path() ||
        !load_language(properties, path, refusal))
        return false;
    runtime::reg_write_string(settings_key(context.app_name), kLanguageValue, name);
    // Nodes took their texts when they were built: they build again.
    properties.send_reload_skin();
    return true;
}

bool skin_menu(Properties& properties, const ChoiceContext& context, WStringView command,
               ChoiceMenu& menu, WStringView cancel_element, std::string* refusal) {
    if (command == kSkinValue) {
        const WString current = base_name(properties.impl().path());
        for (const WString& path : sorted(find_skin_files(skins_folder(context.app_folder)))) {
            ChoiceItem item;
            const WString name = base_name(path);
            item.identifier = WString(kSkinPrefix) + name;
            const WString* translated = properties.language().find(item.identifier);
            item.text = translated != nullptr ? *translated : name;
            item.checked = equal_ignoring_ascii_case(name, current);
            menu.add_item(std::move(item));
        }
        add_cancel(menu, cancel_element);
    }
    if (!command.starts_with(kSkinPrefix))
        return false;
    const WStringView name = command.substr(kSkinPrefix.size());
    const WString path = skin_path(context.app_folder, name);
    if (!usable_name(name) || !is_selectable_skin(name) || path == properties.impl().path())
        return false;
    // Tried aside first: a skin that cannot carry the screens is never taken
    // nor saved.
    Properties trial;
    std::string why;
    if (!trial.load_skin(path, properties.scale_shift(), &why))
        why = why.empty() ? std::string("cannot be loaded") : why;
    else if (context.skin_check)
        why = context.skin_check(trial);
    if (!why.empty()) {
        std::string line = runtime::file_path(path) + ": " + why;
        runtime::log() << platform::tick_count() << u" skin_menu refused " << from_utf8(line)
                       << u"\n";
        if (refusal != nullptr)
            *refusal = std::move(line);
        return false;
    }
    properties.switch_to(trial.impl());
    runtime::reg_write_string(settings_key(context.app_name), kSkinValue, name);
    properties.send_reload_skin();
    return true;
}

bool undo_skin_switch(Properties& properties, const ChoiceContext& context) {
    const WString refused = properties.impl().path();
    if (!properties.undo_switch())
        return false;
    runtime::log() << platform::tick_count() << u" skin switch undone: " << refused << u" -> "
                   << properties.impl().path() << u"\n";
    runtime::reg_write_string(settings_key(context.app_name), kSkinValue,
                              base_name(properties.impl().path()));
    return true;
}

} // namespace telvara::ui
