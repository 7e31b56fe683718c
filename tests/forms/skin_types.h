#pragma once
// The node types the screen tests' skins use. They stay registered for the
// rest of the process, as in the application; whichever suite runs first
// registers them, the others find them there.

#include "ui/node_registry.h"
#include "ui/widget_registry.h"

namespace telvara::forms::test {

inline void ensure_skin_types() {
    auto& registry = ui::NodeRegistry::instance();
    if (!registry.contains(u"node"))
        ui::register_layout_node_types(registry);
    if (!registry.contains(u"button"))
        ui::register_widget_node_types(registry);
}

} // namespace telvara::forms::test
