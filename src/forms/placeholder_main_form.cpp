// The stand-in main screen.
#include "forms/placeholder_main_form.h"

namespace telvara::forms {

PlaceholderMainForm::PlaceholderMainForm(const ui::Properties& skin) : Form(u"MainForm") {
    load_form(skin);
}

} // namespace telvara::forms
