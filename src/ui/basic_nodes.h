#pragma once
// Two small node types of the layout engine: "clip" (children drawn inside its
// own rectangle only, or, with "whole" set, only the children that fit in it
// whole) and "color" (a filled rectangle).

#include "ui/colour.h"
#include "ui/node.h"

namespace telvara::ui {

// What a clip does with a child that reaches outside it: cut it at the edge,
// or leave it out (a photo in a slot that shrank is better gone than cut).
enum class ClipOverflow : std::uint8_t { Cut, Hide };

class ClipNode : public Node {
  public:
    ClipOverflow overflow() const { return m_overflow; }
    void set_overflow(ClipOverflow overflow);

    void load(const Properties& skin, NodeRecord record) override;
    void draw(RenderSurface& surface, Point origin) override;

  private:
    ClipOverflow m_overflow = ClipOverflow::Cut;
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
