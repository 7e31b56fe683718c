// The "clip" and "color" node types.
#include "ui/basic_nodes.h"

#include "ui/drawing.h"
#include "ui/properties.h"

namespace telvara::ui {

void ClipNode::draw(RenderSurface& surface, Point origin) {
    ClipScope scope(surface, Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    Node::draw(surface, origin);
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
