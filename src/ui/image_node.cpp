// The "image" node type.
#include "ui/image_node.h"

#include "ui/properties.h"

#include <algorithm>

namespace telvara::ui {

void ImageNode::set_picture(Picture picture) {
    m_src = std::move(picture);
    mark_layout();
    mark_redraw();
}

void ImageNode::set_grow(Grow grow) {
    m_grow = grow;
    mark_layout();
}

void ImageNode::set_aspect_ratio(AspectRatio aspect) {
    m_aspect = aspect;
    mark_layout();
    mark_redraw();
}

void ImageNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    m_src = skin.read_picture(record, u"src", Picture{});
    Picture mask = skin.read_picture(record, u"mask", Picture{});
    m_blender.reset();
    // A mask of another size than the picture would address the wrong pixels.
    if (mask.has_data() && mask.width == m_src.width && mask.height == m_src.height) {
        m_blender = std::make_unique<MaskBlender>(std::move(mask));
    } else {
        const std::uint32_t alpha = skin.read_int(record, u"alpha", no_cache_alpha);
        if (alpha != no_cache_alpha)
            m_blender = std::make_unique<AlphaBlender>(alpha);
    }
    m_grow = skin.read_int(record, u"grow", 0) != 0 ? Grow::Yes : Grow::No;
    m_aspect =
        skin.read_int(record, u"save_aspect_ratio", 0) != 0 ? AspectRatio::Keep : AspectRatio::Free;
}

void ImageNode::measure_x(Measure& measure) {
    Node::measure_x(measure);
    if (m_grow == Grow::No)
        return;
    measure.preferred = std::max(measure.preferred, source_width());
    measure.minimum = std::max(measure.minimum, source_width());
}

void ImageNode::measure_y(Measure& measure) {
    Node::measure_y(measure);
    if (m_grow == Grow::No)
        return;
    std::int32_t need = source_height();
    // A picture narrowed to the node keeps its proportions, so it needs less height.
    if (m_aspect == AspectRatio::Keep && source_width() > width() && source_width() > 0)
        need = std::int32_t(std::int64_t(width()) * source_height() / source_width());
    measure.preferred = std::max(measure.preferred, need);
    measure.minimum = std::max(measure.minimum, need);
}

void ImageNode::draw(RenderSurface& surface, Point origin) {
    const Blender& blender = m_blender ? *m_blender : key_blender();
    if (m_aspect == AspectRatio::Keep && (source_width() != width() || source_height() != height()))
        draw_keeping_aspect(surface, origin, blender);
    else
        draw_picture(surface, origin, Size{width(), height()}, m_src, blender);
    Node::draw(surface, origin);
}

void ImageNode::draw_keeping_aspect(RenderSurface& surface, Point origin,
                                    const Blender& blender) const {
    const std::int64_t sw = source_width();
    const std::int64_t sh = source_height();
    const std::int64_t nw = width();
    const std::int64_t nh = height();
    if (sw <= 0 || sh <= 0 || nw <= 0 || nh <= 0)
        return;
    // One factor for both axes: the one that makes the picture fit the node.
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (nh * sw > nw * sh) {
        w = nw;
        h = sh * nw / sw;
    } else {
        h = nh;
        w = sw * nh / sh;
    }
    // The whole source rectangle as the stretched middle: a uniform scale of
    // the picture at its own size, with source coordinates (and so a mask)
    // still those of the file.
    Picture whole = m_src;
    whole.points[1] = whole.points[0];
    whole.points[2] = whole.points[3];
    const Point at{origin.x + std::int32_t((nw - w) / 2), origin.y + std::int32_t((nh - h) / 2)};
    draw_picture(surface, at, Size{std::int32_t(w), std::int32_t(h)}, whole, blender);
}

} // namespace telvara::ui
