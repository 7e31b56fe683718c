#pragma once
// Registers the widget node types (buttons, text, lists and the like) that
// skins name, beside the layout engine's own.

namespace telvara::ui {

class NodeRegistry;

// Throws vadode::NodeAlreadyRegistered when one of the names is taken.
void register_widget_node_types(NodeRegistry& registry);

} // namespace telvara::ui
