#pragma once
// Painting and pixel counting on small surfaces, and a fixed font.

#include "ui/font_cache.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <functional>
#include <string>

namespace telvara::ui::test {

inline constexpr Pixel kWhite = 0xFFFF;

inline FontHandle test_font(std::int32_t size = 10, std::int32_t scale = 1) {
    FontDescription description;
    description.size = size;
    description.scale_factor = scale;
    description.face = u"DejaVu Sans";
    return font_for(description);
}

inline void paint(RenderSurface& surface, Pixel value) {
    for (std::int32_t y = 0; y < surface.height(); ++y)
        std::fill_n(surface.row(y), surface.width(), value);
}

// How many pixels match, and their bounding box (empty when none).
struct Ink {
    std::int32_t pixels = 0;
    Rect box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
};

inline Ink ink_where(const RenderSurface& surface, const std::function<bool(Pixel)>& matches) {
    Ink result;
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x)
            if (matches(surface.row(y)[x])) {
                ++result.pixels;
                result.box = {std::min(result.box.left, x), std::min(result.box.top, y),
                              std::max(result.box.right, x + 1),
                              std::max(result.box.bottom, y + 1)};
            }
    return result;
}
// Pixels that differ from the background.
inline Ink ink(const RenderSurface& surface, Pixel background) {
    return ink_where(surface, [=](Pixel p) { return p != background; });
}
inline std::int32_t count(const RenderSurface& surface, Pixel value) {
    return ink_where(surface, [=](Pixel p) { return p == value; }).pixels;
}
inline Rect colour_box(const RenderSurface& surface, Pixel value) {
    return ink_where(surface, [=](Pixel p) { return p == value; }).box;
}

} // namespace telvara::ui::test
