// SearchLayout: where the list, the keypad and the bars go while searching.
#include "forms/search_layout.h"

#include "ui/node.h"

namespace telvara::forms {

Orientation SearchLayout::orientation_of(ui::Size screen) {
    return screen.width > screen.height ? Orientation::Landscape : Orientation::Portrait;
}

SearchLayout::Saved SearchLayout::save(const ui::Node& node) {
    return {node.border_min(), node.border_max(), node.design_size(), node.anchor_x(),
            node.anchor_y()};
}

void SearchLayout::restore(ui::Node& node, const Saved& saved) {
    node.set_design_size(saved.design_size);
    node.set_anchor(saved.anchor_x, saved.anchor_y);
    node.set_borders(saved.border_min, saved.border_max);
}

void SearchLayout::bind(SearchLayoutNodes nodes) {
    m_nodes = std::move(nodes);
    m_mode = SearchMode::Browsing;
    m_orientation = Orientation::Portrait;
    m_bound = m_nodes.frame != nullptr && m_nodes.column != nullptr && m_nodes.keypad != nullptr;
    if (!m_bound)
        return;
    m_frame = save(*m_nodes.frame);
    m_column = save(*m_nodes.column);
    m_keypad = save(*m_nodes.keypad);
}

void SearchLayout::unbind() {
    m_nodes = {};
    m_bound = false;
    m_mode = SearchMode::Browsing;
}

void SearchLayout::set_mode(SearchMode mode, ui::Size screen) {
    m_mode = mode;
    apply(screen);
}

void SearchLayout::follow(ui::Size screen) {
    if (m_mode == SearchMode::Searching && orientation_of(screen) != m_orientation)
        apply(screen);
}

void SearchLayout::apply(ui::Size screen) {
    m_orientation = orientation_of(screen);
    if (!m_bound)
        return;
    ui::Node& frame = *m_nodes.frame;
    ui::Node& column = *m_nodes.column;
    ui::Node& keypad = *m_nodes.keypad;
    restore(frame, m_frame);
    restore(column, m_column);
    restore(keypad, m_keypad);
    const bool searching = m_mode == SearchMode::Searching;
    const bool portrait = m_orientation == Orientation::Portrait;
    for (ui::Node* bar : m_nodes.bottom_bars)
        if (bar != nullptr)
            bar->set_visible(!searching);
    if (m_nodes.top_bar != nullptr)
        m_nodes.top_bar->set_visible(!searching);
    if (!searching)
        return;

    // The bottom bars are gone: the frame and the keypad reach the bottom.
    frame.set_borders(m_frame.border_min, ui::Point{m_frame.border_max.x, 0});
    if (portrait) {
        keypad.set_borders({}, {});
        column.set_borders(m_column.border_min,
                           ui::Point{m_column.border_max.x, m_keypad.design_size.height});
        return;
    }
    // Half the screen for the keys, the list beside them.
    const std::int32_t width = screen.width / 2;
    keypad.set_design_size({width, 0});
    keypad.set_anchor(ui::ScaleType::MaxSide, ui::ScaleType::BothSide);
    keypad.set_borders({}, {});
    column.set_borders(m_column.border_min, ui::Point{width, m_column.border_max.y});
}

} // namespace telvara::forms
