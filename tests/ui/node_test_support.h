#pragma once
// Nodes with fixed measures and counters, for building layouts in code.

#include "ui/node.h"

#include <memory>

namespace telvara::ui::test {

// Asks for fixed (preferred, minimum) sizes on both axes.
class FixedNode : public Node {
  public:
    FixedNode(Measure x, Measure y = {}) : m_x(x), m_y(y) {}
    void measure_x(Measure& measure) override {
        Node::measure_x(measure);
        raise(measure, m_x);
    }
    void measure_y(Measure& measure) override {
        Node::measure_y(measure);
        raise(measure, m_y);
    }

  private:
    static void raise(Measure& measure, Measure by) {
        measure.preferred = std::max(measure.preferred, by.preferred);
        measure.minimum = std::max(measure.minimum, by.minimum);
    }
    Measure m_x;
    Measure m_y;
};

template <class T, class... Args> T& add(Node& parent, Args&&... args) {
    auto child = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *child;
    parent.append_child(std::move(child));
    return ref;
}

inline Node& named(Node& parent, const char16_t* name) {
    Node& child = add<Node>(parent);
    child.set_name(name);
    return child;
}

inline PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y, bool cancelled = false) {
    return PointerEvent{x, y, kind, cancelled};
}

inline void place(Node& node, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    node.place_x(x, w);
    node.place_y(y, h);
}

} // namespace telvara::ui::test
