// Start-up choice of language and skin, and the two settings menus.
#include "ui/lang/skin_language_choice.h"

#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/choice_item.h"
#include "ui/lang/file_search.h"
#include "ui/lang/system_language.h"
#include "ui/properties.h"

#include <algorithm>

namespace telvara::ui {
namespace {

constexpr WStringView kLanguageValue = u"Language";
constexpr WStringView kSkinValue = u"Skin";
constexpr WStringView kLanguagePrefix = u"Language#";
constexpr WStringView kSkinPrefix = u"Skin#";

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

char16_t ascii_lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equal_ignoring_case(WStringView a, WStringView b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return ascii_lower(x) == ascii_lower(y); });
}

void add_cancel(ChoiceMenu& menu, WStringView cancel_element) {
    ChoiceItem cancel;
    cancel.identifier = u"Cancel";
    cancel.element = WString(cancel_element);
    menu.add_item(std::move(cancel));
}

bool load_language(Properties& properties, const WString& path) {
    return properties.language().load_language_file(path);
}

} // namespace

WString settings_key(WStringView app_name) {
    return u"HKEY_CURRENT_USER\\Software\\KELMA\\" + WString(app_name);
}

bool select_language_at_start(Properties& properties, const ChoiceContext& context) {
    const WString configured = setting(context, kLanguageValue);
    if (usable_name(configured) && load_language(properties, language_path(context, configured)))
        return true;
    const WString system = context.system_language.value_or(system_language_name());
    if (usable_name(system) && load_language(properties, language_path(context, system)))
        return true;
    if (load_language(properties, language_path(context, u"english")))
        return true;
    for (const WString& path : sorted(find_language_files(context.app_folder)))
        if (load_language(properties, path))
            return true;
    runtime::log() << platform::tick_count() << u" select_language_at_start no language\n";
    return false;
}

bool select_skin_at_start(Properties& properties, const ChoiceContext& context,
                          WStringView base_folder, unsigned scale_shift) {
    const WString base = base_folder.empty() ? context.app_folder : WString(base_folder);
    // A splash or today skin is never the main skin, whatever the setting says.
    const WString configured = setting(context, kSkinValue);
    if (usable_name(configured) && is_selectable_skin(configured) &&
        properties.load_skin(skin_path(base, configured), scale_shift))
        return true;
    if (properties.load_skin(skin_path(base, u"default"), scale_shift))
        return true;
    for (const WString& path : sorted(find_skin_files(skins_folder(base))))
        if (properties.load_skin(path, scale_shift))
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
                   ChoiceMenu& menu, WStringView cancel_element) {
    if (command == kLanguageValue) {
        const WString current = base_name(properties.language().path());
        for (const WString& path : sorted(find_language_files(context.app_folder))) {
            ChoiceItem item;
            item.text = base_name(path);
            item.identifier = WString(kLanguagePrefix) + item.text;
            item.checked = equal_ignoring_case(item.text, current);
            menu.add_item(std::move(item));
        }
        add_cancel(menu, cancel_element);
    }
    if (!command.starts_with(kLanguagePrefix))
        return false;
    const WStringView name = command.substr(kLanguagePrefix.size());
    const WString path = language_path(context, name);
    if (!usable_name(name) || path == properties.language().path() ||
        !load_language(properties, path))
        return false;
    runtime::reg_write_string(settings_key(context.app_name), kLanguageValue, name);
    // Nodes took their texts when they were built: they build again.
    properties.send_reload_skin();
    return true;
}

bool skin_menu(Properties& properties, const ChoiceContext& context, WStringView command,
               ChoiceMenu& menu, WStringView cancel_element) {
    if (command == kSkinValue) {
        const WString current = base_name(properties.impl().path());
        for (const WString& path : sorted(find_skin_files(skins_folder(context.app_folder)))) {
            ChoiceItem item;
            const WString name = base_name(path);
            item.identifier = WString(kSkinPrefix) + name;
            const WString* translated = properties.language().find(item.identifier);
            item.text = translated != nullptr ? *translated : name;
            item.checked = equal_ignoring_case(name, current);
            menu.add_item(std::move(item));
        }
        add_cancel(menu, cancel_element);
    }
    if (!command.starts_with(kSkinPrefix))
        return false;
    const WStringView name = command.substr(kSkinPrefix.size());
    const WString path = skin_path(context.app_folder, name);
    if (!usable_name(name) || !is_selectable_skin(name) || path == properties.impl().path() ||
        !properties.load_skin(path, properties.scale_shift()))
        return false;
    runtime::reg_write_string(settings_key(context.app_name), kSkinValue, name);
    properties.send_reload_skin();
    return true;
}

} // namespace telvara::ui
