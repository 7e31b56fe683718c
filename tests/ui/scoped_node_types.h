#pragma once
// Node types a test registers for itself: the registry is shared by the whole
// test process, so the types that are missing are registered for the test's
// lifetime and taken out again afterwards; those already there stay as they are.

#include "platform/text.h"
#include "ui/node_registry.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace telvara::ui::test {

class ScopedNodeTypes {
  public:
    using Entry = std::pair<const char16_t*, NodeFactory>;

    explicit ScopedNodeTypes(std::initializer_list<Entry> types) {
        auto& registry = NodeRegistry::instance();
        for (const auto& [name, factory] : types) {
            if (registry.contains(name))
                continue;
            registry.register_type(name, factory);
            m_added.emplace_back(name);
        }
    }
    ~ScopedNodeTypes() {
        for (const WString& name : m_added)
            NodeRegistry::instance().unregister_type(name);
    }
    ScopedNodeTypes(const ScopedNodeTypes&) = delete;
    ScopedNodeTypes& operator=(const ScopedNodeTypes&) = delete;

  private:
    std::vector<WString> m_added;
};

} // namespace telvara::ui::test
