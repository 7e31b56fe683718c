// The progress bar: "#line" follows the value.
#include "ui/progress_node.h"

#include <algorithm>
#include <cmath>

namespace telvara::ui {

void ProgressNode::set_value(double value) {
    value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    if (value == m_value)
        return;
    m_value = value;
    if (m_line && m_full_width >= 0) {
        // Only the line changes: cut it again without laying out the screen.
        m_line->place_x(m_line->x(), shown_width());
        mark_redraw();
    } else {
        mark_layout();
    }
}

void ProgressNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_line = find(u"#line");
    m_full_width = -1;
}

void ProgressNode::remove_child(Node* child, std::size_t index) {
    if (child == m_line) {
        m_line = nullptr;
        m_full_width = -1;
    }
    Node::remove_child(child, index);
}

void ProgressNode::layout_x() {
    if (!m_line)
        m_line = find(u"#line");
    Node::layout_x();
    if (!m_line)
        return;
    // The line first gets its full place from its anchors, then keeps the
    // leading share of it.
    m_full_width = m_line->width();
    m_line->place_x(m_line->x(), shown_width());
}

std::int32_t ProgressNode::shown_width() const {
    return std::int32_t(std::lround(m_full_width * m_value));
}

} // namespace telvara::ui
