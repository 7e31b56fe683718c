// The application's node types.
#include "app/node_types.h"

#include "ui/node_registry.h"
#include "ui/widget_registry.h"

namespace telvara::app {

namespace {

// Every word of the application's vocabulary; unregistering walks it all.
constexpr const char16_t* kApplicationTypes[] = {
    u"node",  u"text",      u"color",    u"image",      u"edit", u"htable",   u"vtable",  u"button",
    u"vlist", u"multinode", u"progress", u"label_edit", u"clip", u"richtext", u"spinner", u"ruler",
};

} // namespace

void register_application_node_types(ui::NodeRegistry& registry) {
    // "node", "htable", "vtable", "clip", "color".
    ui::register_layout_node_types(registry);
    // "text", "richtext", "button", "multinode", "progress", "vlist", "edit",
    // "label_edit", "spinner", "image" and "ruler".
    ui::register_widget_node_types(registry);
}

void unregister_application_node_types(ui::NodeRegistry& registry) {
    for (const char16_t* name : kApplicationTypes)
        registry.unregister_type(name);
}

} // namespace telvara::app
