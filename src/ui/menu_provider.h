#pragma once
// The provider of a pop-up menu: the screen that fills the menu for a key and
// performs the keys that are commands. A menu opened with a key asks the
// provider for its items; when the user picks an item the provider is asked
// again with the item's identifier. A key for which the provider adds no
// item is a command: the provider has performed it and the menu closes.

#include "platform/text.h"
#include "ui/choice_item.h"

namespace telvara::ui {

class PopupMenu;

class MenuProvider {
  public:
    // Fills `items` for `key`, or performs `key` and adds nothing. The
    // provider may set the menu's caption while filling.
    virtual void on_menu(PopupMenu& menu, WStringView key, ChoiceMenu& items) = 0;
    // The menu finished closing (after a command or a cancel).
    virtual void on_menu_closed(PopupMenu& /*menu*/) {}

  protected:
    ~MenuProvider() = default;
};

} // namespace telvara::ui
