// Colour conversion, fills and blits on small surfaces, pixel by pixel.
#include "ui/drawing.h"

#include "ui/blender.h"
#include "ui/render_surface.h"

#include <gtest/gtest.h>

using namespace telvara::ui;
using Rows = std::vector<std::string>;

namespace {

// The surface's pixels as one string per row: '.' for 0, '#' for `ink`,
// '?' for anything else.
Rows picture_of(const RenderSurface& surface, Pixel ink) {
    Rows lines;
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        std::string line;
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            const Pixel p = surface.row(y)[x];
            line += p == 0 ? '.' : p == ink ? '#' : '?';
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(Fill, PaintsTheClippedRectangleOnlyAtOddStartsAndWidths) {
    RenderSurface surface;
    surface.resize(7, 4);
    {
        ClipScope clip(surface, {1, 1, 6, 4});
        fill(surface, {-3, 0}, {6, 3}, Colour{255, 255, 255});
    }
    EXPECT_EQ(picture_of(surface, 0xFFFF), (Rows{".......", ".##....", ".##....", "......."}));
    surface.resize(9, 3);
    fill_pixel(surface, {1, 0}, {3, 1}, 0x1234);
    fill_pixel(surface, {2, 1}, {7, 1}, 0x1234);
    fill_pixel(surface, {0, 2}, {0, 5}, 0x1234);
    fill_pixel(surface, {0, 2}, {5, -1}, 0x1234);
    fill_pixel(surface, {9, 2}, {5, 5}, 0x1234);
    fill_pixel(surface, {0x7FFFFFF0, 0}, {0x7FFFFFF0, 1}, 0x1234);
    EXPECT_EQ(picture_of(surface, 0x1234), (Rows{".###.....", "..#######", "........."}));
}
