#pragma once
// The node types the application registers for its lifetime. The one place
// where widget node types join the skin vocabulary.

namespace telvara::ui {
class NodeRegistry;
}

namespace telvara::app {

void register_application_node_types(ui::NodeRegistry& registry);
// Removes every type the application registers (those present).
void unregister_application_node_types(ui::NodeRegistry& registry);

} // namespace telvara::app
