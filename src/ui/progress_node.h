#pragma once
// The "progress" node: a bar whose child "#line" is cut to the share of its
// laid-out width that the value (0 to 1) gives.

#include "ui/node.h"

#include <cstdint>

namespace telvara::ui {

class ProgressNode : public Node {
  public:
    double value() const { return m_value; }
    // Clamped to 0..1; not-a-number counts as 0.
    void set_value(double value);

    Node* line() const { return m_line; }

    void load(const Properties& skin, NodeRecord record) override;
    void remove_child(Node* child, std::size_t index) override;
    void layout_x() override;

  private:
    std::int32_t shown_width() const;

    Node* m_line = nullptr;
    std::int32_t m_full_width = -1; // the line's width before the cut; -1 until laid out
    double m_value = 0.0;
};

} // namespace telvara::ui
