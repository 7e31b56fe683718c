#pragma once
// Adding an item to a pop-up menu as the screens' menu providers do: the
// key (its translation is the caption), a check mark, and the skin element
// that draws it when not the menu's default ("MenuElementRed" for a
// destructive item).

#include "platform/text.h"
#include "ui/choice_item.h"

namespace telvara::forms {

enum class Checked { No, Yes };

void add_menu_item(ui::ChoiceMenu& items, WStringView key, Checked checked = Checked::No,
                   WStringView element = {});

inline Checked checked_if(bool condition) {
    return condition ? Checked::Yes : Checked::No;
}

} // namespace telvara::forms
