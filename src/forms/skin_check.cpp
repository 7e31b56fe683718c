// The required top-level nodes of the screens and the undoing of a switch to
// a skin that cannot carry them.
#include "forms/skin_check.h"

#include "forms/notice_form.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/lang/file_search.h"
#include "ui/lang/skin_language_choice.h"
#include "ui/properties.h"

#include <array>
#include <exception>

namespace telvara::forms {

namespace {

// Kept in step with the screens by a test that builds the main screen from
// the default skin without each top-level node in turn.
constexpr std::array<WStringView, 32> kRequired = {
    u"About",
    u"AboutElementTop",
    u"CallForm",
    u"CategoryElement",
    u"ContactFieldButtons",
    u"ContactFieldElement",
    u"ContactForm",
    u"ContactHead",
    u"ContactRecentsForm",
    u"ContactSelectorForm",
    u"ContactsListElement",
    u"ContactsListElementFilteredText",
    u"ContactsListElementSecondText",
    u"EditCategoriesForm",
    u"EditContactAddressForm",
    u"EditContactHeaderForm",
    u"EditDateForm",
    u"EditFieldForm",
    u"FavoritesItem",
    u"FavoritesListElement",
    u"GroupSeparatorElement",
    u"Main",
    u"Menu",
    u"MessagePanel",
    u"Notice",
    u"PinForm",
    u"RecentsListElement",
    u"SelectFieldForm",
    u"SelectFieldFormElement",
    u"SeparatorElement",
    u"SimpleContactHead",
    u"SimpleRecentsListElement",
};

} // namespace

std::span<const WStringView> required_skin_nodes() {
    return kRequired;
}

std::string screens_refusal(const ui::Properties& skin) {
    std::string missing;
    for (WStringView name : kRequired) {
        if (skin.find_node(name))
            continue;
        missing += (missing.empty() ? "" : ", ") + ("{" + to_utf8(name) + "}");
    }
    if (missing.empty())
        return {};
    return missing.find(',') == std::string::npos ? "lacks the screen " + missing
                                                  : "lacks the screens " + missing;
}

WString skin_display_name(const ui::Properties& language, WStringView skin_path) {
    const WString name = ui::base_name(skin_path);
    if (const WString* translated = language.language().find(u"Skin#" + name))
        return *translated;
    return name;
}

void bind_after_skin_change(ui::Properties& skin, const ui::ChoiceContext& context,
                            const std::function<void()>& bind) {
    try {
        bind();
        skin.keep_switch();
        return;
    } catch (const std::exception& error) {
        const WString refused = skin.impl().path();
        runtime::log() << platform::tick_count() << u" skin [" << refused
                       << u"] cannot carry the screens: " << from_utf8(error.what()) << u"\n";
        if (!ui::undo_skin_switch(skin, context))
            throw;
        // The skin the screens were built from a moment ago.
        bind();
        show_notice(u"skinSkinRefused", skin_display_name(skin, refused));
    }
}

} // namespace telvara::forms
