// The "clip" and "color" node types.
#include "ui/basic_nodes.h"

#include "ui/drawing.h"
#include "ui/properties.h"

namespace telvara::ui {

void ClipNode::set_overflow(ClipOverflow overflow) {
    m_overflow = overflow;
    mark_redraw();
}

void ClipNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_overflow = skin.read_int(record, u"whole", 0) != 0 ? ClipOverflow::Hide : ClipOverflow::Cut;
}

void ClipNode::draw(RenderSurface& surface, Point origin) {
    ClipScope scope(surface, Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    if (m_overflow == ClipOverflow::Cut) {
        Node::draw(surface, origin);
        return;
    }
    for (std::size_t i = 0; i < child_count(); ++i) {
        Node& c = child(i);
        const std::int32_t dx = c.x() - x();
        const std::int32_t dy = c.y() - y();
        if (dx < 0 || dy < 0 || dx + c.width() > width() || dy + c.height() > height())
            continue;
        c.draw_node(surface, {origin.x + dx, origin.y + dy});
    }
}

void ColorNode::set_color(Colour color) {
    m_color = color;
    mark_redraw();
}

void ColorNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_color = skin.read_colour(record, u"color", Colour{});
}

void ColorNode::draw(RenderSurface& surface, Point origin) {
    fill(surface, origin, Size{width(), height()}, m_color);
}

} // namespace telvara::ui
