#pragma once
// The node type registry: skin "type" words to creation functions. One per
// process; the application fills it at start-up.

#include "platform/text.h"

#include <map>
#include <memory>

namespace telvara::ui {

class Node;

using NodeFactory = std::unique_ptr<Node> (*)();

template <class T> std::unique_ptr<Node> make_node() {
    return std::make_unique<T>();
}

class NodeRegistry {
  public:
    static NodeRegistry& instance();

    // Throws vadode::NodeAlreadyRegistered when the name is taken.
    void register_type(WString name, NodeFactory factory);
    // False when the name was not registered.
    bool unregister_type(WStringView name);
    bool contains(WStringView name) const;
    // A new default node of the type; throws vadode::NodeNotRegistered.
    std::unique_ptr<Node> create(WStringView name) const;

  private:
    NodeRegistry() = default;

    std::map<WString, NodeFactory, std::less<>> m_factories;
};

// Registers the types of the layout engine: "node", "htable", "vtable",
// "clip" and "color".
void register_layout_node_types(NodeRegistry& registry);

} // namespace telvara::ui
