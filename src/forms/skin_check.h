#pragma once
// What the screens need of a skin, asked before a skin is taken: the
// top-level nodes they are built from. And the way back when a skin that
// passed this check still cannot carry a screen after a switch.

#include "platform/text.h"

#include <functional>
#include <span>
#include <string>

namespace telvara::ui {
class Properties;
struct ChoiceContext;
} // namespace telvara::ui

namespace telvara::forms {

// The top-level skin nodes without which the main screen (with every screen
// it owns) cannot be built, the row templates it checks at once included. A
// row or menu item built only when it shows is not here: one the skin lacks
// stays empty.
std::span<const WStringView> required_skin_nodes();

// Why `skin` cannot carry the screens ("lacks the screen {CallForm}"), or
// empty when it has every required node.
std::string screens_refusal(const ui::Properties& skin);

// The name a skin file goes by for the user: the translation of
// "Skin#<base name>" when the language has one, else the base name.
WString skin_display_name(const ui::Properties& language, WStringView skin_path);

// Builds the screens again with `bind` after the skin changed. When they
// cannot be built from a skin a menu switch just took, the skin it replaced
// comes back (the settings name it again), the screens are built from that
// one and a notice says the chosen skin cannot be used. Any other failure
// goes on to the caller.
void bind_after_skin_change(ui::Properties& skin, const ui::ChoiceContext& context,
                            const std::function<void()>& bind);

} // namespace telvara::forms
