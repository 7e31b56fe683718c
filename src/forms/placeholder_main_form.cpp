// The stand-in main screen.
#include "forms/placeholder_main_form.h"

namespace telvara::forms {

PlaceholderMainForm::PlaceholderMainForm(const ui::Properties& skin) : Form(u"MainForm") {
    load_form(skin);
    m_pictures.collect(skin, skin.find_node(skin_name()), *this);
}

void PlaceholderMainForm::draw(ui::RenderSurface& surface, ui::Point origin) {
    Form::draw(surface, origin);
    m_pictures.draw(surface, origin);
}

} // namespace telvara::forms
