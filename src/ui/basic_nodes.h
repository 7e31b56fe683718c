#pragma once
// Two small node types of the layout engine: "clip" (children drawn inside its
// own rectangle only) and "color" (a filled rectangle).

#include "ui/colour.h"
#include "ui/node.h"

namespace telvara::ui {

class ClipNode : public Node {
  public:
    void draw(RenderSurface& surface, Point origin) override;
};

class ColorNode : public Node {
  public:
    const Colour& color() const { return m_color; }
    void set_color(Colour color);

    void load(const Properties& skin, NodeRecord record) override;
    // Fills its rectangle; children are not drawn.
    void draw(RenderSurface& surface, Point origin) override;

  private:
    Colour m_color; // opaque black
};

} // namespace telvara::ui
