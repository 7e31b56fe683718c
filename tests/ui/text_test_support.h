#pragma once
// Painting and pixel counting on small surfaces, a fixed font, and an
// optional picture of a surface for looking at it.

#include "ui/font_cache.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
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

// With TELVARA_TEST_IMAGES set to a folder, writes the surface there as a
// binary PPM named after the test.
inline void save_image_if_asked(const RenderSurface& surface, const std::string& name) {
    const char* folder = std::getenv("TELVARA_TEST_IMAGES");
    if (!folder || !*folder)
        return;
    std::ofstream out(std::string(folder) + "/" + name + ".ppm", std::ios::binary);
    out << "P6\n" << surface.width() << " " << surface.height() << "\n255\n";
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            const Pixel p = surface.row(y)[x];
            const char rgb[3] = {char((p >> 11) * 255 / 31), char(((p >> 5) & 63) * 255 / 63),
                                 char((p & 31) * 255 / 31)};
            out.write(rgb, 3);
        }
}

} // namespace telvara::ui::test
