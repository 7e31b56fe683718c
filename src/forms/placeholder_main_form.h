#pragma once
// PlaceholderMainForm: stands in for the main screen until the real one is
// built. It binds to the main skin's "MainForm" node and shows what that node
// draws (the title bar), nothing more: no tabs, no list, no input.

#include "forms/form.h"

namespace telvara::forms {

class PlaceholderMainForm final : public Form {
  public:
    // Loads "MainForm" (throws vadode::NodeNotFoundInSkin when it is missing).
    explicit PlaceholderMainForm(const ui::Properties& skin);
};

} // namespace telvara::forms
