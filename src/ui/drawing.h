#pragma once
// Fill and blit: the rectangle primitives every node draws with. Both clip to
// the destination's clip rectangle and do nothing when nothing is left.

#include "ui/colour.h"
#include "ui/geometry.h"

namespace telvara::ui {

class Blender;
class PixelBuffer;
class RenderSurface;

// Paints the rectangle in the 5-6-5 form of the colour.
void fill(RenderSurface& surface, Point origin, Size size, Colour colour);
void fill_pixel(RenderSurface& surface, Point origin, Size size, Pixel pixel);

// Copies the whole source with its top-left corner at `at`, row by row
// through the blender, clipped to the clip rectangle and the source size.
void blit(RenderSurface& destination, Point at, const RenderSurface& source,
          const Blender& blender);
void blit(RenderSurface& destination, Point at, const PixelBuffer& source, const Blender& blender);

} // namespace telvara::ui
