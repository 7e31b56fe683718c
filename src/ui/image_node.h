#pragma once
// The "image" node type: a skin picture drawn into the node's rectangle by
// three-slice scaling, or scaled uniformly and centred when it must keep its
// aspect ratio; optionally mixed under a mask picture or at an alpha level.

#include "ui/blender.h"
#include "ui/node.h"
#include "ui/picture.h"

#include <memory>

namespace telvara::ui {

// Whether measure and draw follow the picture's own proportions.
enum class AspectRatio { Free, Keep };
// Whether the node asks for at least the picture's size.
enum class Grow { No, Yes };

class ImageNode : public Node {
  public:
    const Picture& picture() const { return m_src; }
    // Replaces the picture; the blender stays as loaded.
    void set_picture(Picture picture);
    void set_grow(Grow grow);
    void set_aspect_ratio(AspectRatio aspect);
    bool grows() const { return m_grow == Grow::Yes; }
    bool keeps_aspect_ratio() const { return m_aspect == AspectRatio::Keep; }
    // The loaded blender (mask or alpha), or none: key colour only.
    const Blender* blender() const { return m_blender.get(); }

    void load(const Properties& skin, NodeRecord record) override;
    void measure_x(Measure& measure) override;
    void measure_y(Measure& measure) override;
    // The picture, then the children over it.
    void draw(RenderSurface& surface, Point origin) override;

    // Width and height of the picture's source rectangle.
    std::int32_t source_width() const { return m_src.points[3].x - m_src.points[0].x; }
    std::int32_t source_height() const { return m_src.points[3].y - m_src.points[0].y; }

  private:
    void draw_keeping_aspect(RenderSurface& surface, Point origin, const Blender& blender) const;

    Picture m_src;
    std::unique_ptr<Blender> m_blender;
    Grow m_grow = Grow::No;
    AspectRatio m_aspect = AspectRatio::Free;
};

} // namespace telvara::ui
