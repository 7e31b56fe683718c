#pragma once
// Choice items, the lines of a pop-up menu, and the interface through which
// the code that answers a menu command fills the menu.

#include "platform/text.h"

namespace telvara::ui {

struct ChoiceItem {
    // The command sent back when the item is chosen; also the language key
    // of its text.
    WString identifier;
    // Shown as is; when empty the menu shows the translation of identifier.
    WString text;
    // Skin element that draws the item; empty for the menu's default.
    WString element;
    bool enabled = true;
    bool separator = false;
    bool checked = false;
};

// What a menu offers to whoever fills it.
class ChoiceMenu {
  public:
    virtual void add_item(ChoiceItem item) = 0;

  protected:
    ~ChoiceMenu() = default;
};

} // namespace telvara::ui
