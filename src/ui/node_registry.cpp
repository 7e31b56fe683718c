// The node type registry and the layout engine's own types.
#include "ui/node_registry.h"

#include "ui/basic_nodes.h"
#include "ui/node.h"
#include "ui/table_node.h"
#include "ui/vadode.h"

namespace telvara::ui {

NodeRegistry& NodeRegistry::instance() {
    static NodeRegistry registry;
    return registry;
}

void NodeRegistry::register_type(WString name, NodeFactory factory) {
    if (m_factories.contains(name))
        throw vadode::NodeAlreadyRegistered(std::move(name));
    m_factories.emplace(std::move(name), factory);
}

bool NodeRegistry::unregister_type(WStringView name) {
    auto it = m_factories.find(name);
    if (it == m_factories.end())
        return false;
    m_factories.erase(it);
    return true;
}

bool NodeRegistry::contains(WStringView name) const {
    return m_factories.contains(name);
}

std::unique_ptr<Node> NodeRegistry::create(WStringView name) const {
    auto it = m_factories.find(name);
    if (it == m_factories.end())
        throw vadode::NodeNotRegistered(WString(name));
    return it->second();
}

void register_layout_node_types(NodeRegistry& registry) {
    registry.register_type(u"node", &make_node<Node>);
    registry.register_type(u"htable", &make_node<HTableNode>);
    registry.register_type(u"vtable", &make_node<VTableNode>);
    registry.register_type(u"clip", &make_node<ClipNode>);
    registry.register_type(u"color", &make_node<ColorNode>);
}

} // namespace telvara::ui
