#pragma once
// "telvara-skinc --dump": a compiled skin as readable text, loaded through the
// program's own loader so that whatever it refuses is refused here too.

#include "ui/properties.h"

#include <ostream>
#include <string>

namespace telvara::skinc {

// Loads `file` (a Linux file name) and writes header, pictures, fonts,
// strings and every top-level node with its properties and children to
// `out`. False with a one-line reason in *error when the file is refused.
bool dump_skin(const std::string& file, std::ostream& out, std::string* error,
               ui::SkinResources resources = ui::SkinResources::All);

// The same for a skin already loaded.
void dump_skin(const ui::PropertiesImpl& skin, std::ostream& out);

} // namespace telvara::skinc
