#pragma once
// TabButton: a button of the main screen's tab bar with a state index 0, 1
// or 2. The index picks which of the button's optional children "state0",
// "state1" and "state2" shows (not current, current, and a second look such
// as "list only" or "calls waiting"); a skin may draw fewer looks.

#include "platform/text.h"

#include <array>
#include <cstdint>

namespace telvara::ui {
class ButtonNode;
class ButtonListener;
class Node;
} // namespace telvara::ui

namespace telvara::forms {

class TabButton {
  public:
    // Finds the button `name` below `host` (throws vadode::NodeNotFound) and
    // makes `listener` its click target.
    void bind(ui::Node& host, WStringView name, ui::ButtonListener& listener);

    ui::ButtonNode* button() const { return m_button; }
    int state() const { return m_state; }
    // Out-of-range values are taken as 0.
    void set_state(int state);

  private:
    void show_state();

    ui::ButtonNode* m_button = nullptr;
    std::array<ui::Node*, 3> m_looks{};
    int m_state = 0;
};

} // namespace telvara::forms
