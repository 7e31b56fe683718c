#pragma once
// Helpers for the text node tests: a fixed font, painting and ink counting on
// small surfaces, and an optional picture of a surface for looking at it.

#include "ui/font_cache.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace telvara::ui::test {

inline constexpr Pixel kWhite = 0xFFFF;

inline FontHandle test_font(std::int32_t size = 10) {
    FontDescription description;
    description.size = size;
    description.face = u"DejaVu Sans";
    return font_for(description);
}

inline void paint(RenderSurface& surface, Pixel value) {
    for (std::int32_t y = 0; y < surface.height(); ++y)
        std::fill_n(surface.row(y), surface.width(), value);
}

struct Ink {
    std::int32_t pixels = 0;
    Rect box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
};

// Pixels that differ from the background, and their bounding box.
inline Ink ink(const RenderSurface& surface, Pixel background) {
    Ink result;
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x)
            if (surface.row(y)[x] != background) {
                ++result.pixels;
                result.box.left = std::min(result.box.left, x);
                result.box.top = std::min(result.box.top, y);
                result.box.right = std::max(result.box.right, x + 1);
                result.box.bottom = std::max(result.box.bottom, y + 1);
            }
    return result;
}

inline std::int32_t count(const RenderSurface& surface, Pixel value) {
    std::int32_t n = 0;
    for (std::int32_t y = 0; y < surface.height(); ++y)
        n += static_cast<std::int32_t>(
            std::count(surface.row(y), surface.row(y) + surface.width(), value));
    return n;
}

// Bounding box of the pixels of exactly this value (empty when none).
inline Rect colour_box(const RenderSurface& surface, Pixel value) {
    Rect box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x)
            if (surface.row(y)[x] == value) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
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
