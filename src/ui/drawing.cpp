// Clipped rectangle fill and blit over whole rows.
#include "ui/drawing.h"

#include "ui/blender.h"
#include "ui/pixel_rows.h"
#include "ui/render_surface.h"

#include <cstdint>

namespace telvara::ui {

namespace {

// The part of the rectangle inside both the clip rectangle and the surface,
// computed in 64 bits so huge sizes cannot wrap.
Rect visible(const RenderSurface& surface, Point origin, Size size) {
    const Rect limit = surface.clip().intersect(surface.bounds());
    const std::int64_t right = std::int64_t(origin.x) + size.width;
    const std::int64_t bottom = std::int64_t(origin.y) + size.height;
    return {std::max(origin.x, limit.left), std::max(origin.y, limit.top),
            std::int32_t(std::min<std::int64_t>(right, limit.right)),
            std::int32_t(std::min<std::int64_t>(bottom, limit.bottom))};
}

void blit_rows(RenderSurface& destination, Point at, const Pixel* source, std::int32_t pitch,
               Size source_size, const Blender& blender) {
    if (source_size.width < 1 || source_size.height < 1)
        return;
    const Rect area = visible(destination, at, source_size);
    if (area.is_empty())
        return;
    const std::int32_t count = area.width();
    const std::int32_t sx = area.left - at.x;
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const std::int32_t sy = y - at.y;
        const Pixel* src =
            reinterpret_cast<const Pixel*>(reinterpret_cast<const std::uint8_t*>(source) +
                                           std::ptrdiff_t(sy) * pitch) +
            sx;
        blender.blend_row(destination.row(y) + area.left, src, count, sx, sy);
    }
}

} // namespace

void fill_pixel(RenderSurface& surface, Point origin, Size size, Pixel pixel) {
    if (size.width < 1 || size.height < 1)
        return;
    const Rect area = visible(surface, origin, size);
    if (area.is_empty())
        return;
    for (std::int32_t y = area.top; y < area.bottom; ++y)
        pixel_rows::fill(surface.row(y) + area.left, area.width(), pixel);
}

void fill(RenderSurface& surface, Point origin, Size size, Colour colour) {
    fill_pixel(surface, origin, size, to_565(colour));
}

void blit(RenderSurface& destination, Point at, const RenderSurface& source,
          const Blender& blender) {
    blit_rows(destination, at, source.row(0), source.pitch(), {source.width(), source.height()},
              blender);
}

void blit(RenderSurface& destination, Point at, const PixelBuffer& source, const Blender& blender) {
    blit_rows(destination, at, source.row(0), source.pitch(), {source.width(), source.height()},
              blender);
}

} // namespace telvara::ui
