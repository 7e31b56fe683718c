#pragma once
// Drawing a line of text: glyph coverage blended into a 5-6-5 surface.

#include "ui/colour.h"
#include "ui/font.h"

#include <cstdint>

namespace telvara::ui {

class RenderSurface;

// Draws text as one line whose top is at y and whose pen starts at x,
// anti-aliased in the colour (its alpha is not used), clipped to the
// surface's clip rectangle; underlined when the font's description says so.
// Empty text or a null font draws nothing. Returns the pen x after the text.
std::int32_t draw_text(RenderSurface& surface, std::int32_t x, std::int32_t y, const FontRep* font,
                       WStringView text, Colour colour);

} // namespace telvara::ui
