#pragma once
// Row ("htable") and column ("vtable") tables: children side by side along one
// axis, shrunk towards their minimums or grown towards their preferred sizes,
// with any surplus shared among the children that carry a "table_ratio".

#include "ui/node.h"

#include <cstdint>
#include <vector>

namespace telvara::ui {

class TableNode : public Node {
  public:
    explicit TableNode(Axis axis) : m_axis(axis) {}

    Axis axis() const { return m_axis; }

    void remove_child(Node* child, std::size_t index) override;
    Node& insert_child(std::unique_ptr<Node> child, std::size_t index) override;
    void child_changed(ChildChange change, Node* child) override;
    void load(const Properties& skin, NodeRecord record) override;
    void layout_x() override;
    void layout_y() override;
    void measure_x(Measure& measure) override;
    void measure_y(Measure& measure) override;

    // Share of the surplus; 0 = none. Parallel to the children.
    std::uint32_t table_ratio(std::size_t index) const { return m_ratios.at(index); }
    void set_table_ratio(std::size_t index, std::uint32_t ratio);

  private:
    void layout_table();
    void measure_table(Measure& measure);

    Axis m_axis;
    std::vector<std::uint32_t> m_ratios;
};

class HTableNode : public TableNode {
  public:
    HTableNode() : TableNode(Axis::X) {}
};

class VTableNode : public TableNode {
  public:
    VTableNode() : TableNode(Axis::Y) {}
};

} // namespace telvara::ui
