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

TEST(Colour, ConvertsByTruncatingEachField) {
    EXPECT_EQ(to_565(255, 0, 255), kKeyColour);
    EXPECT_EQ(to_565(255, 255, 255), 0xFFFF);
    EXPECT_EQ(to_565(0x07, 0x03, 0x07), 0x0000) << "low bits are dropped";
    EXPECT_EQ(to_565(0x08, 0x04, 0x08), 0x0821);
    EXPECT_EQ(to_565(Colour{0x12, 0x34, 0x56}), ((0x12 & 0xF8) << 8) | ((0x34 & 0xFC) << 3) | 0x0A);
}

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

TEST(Blit, ClipsToDestinationAndSourceAndSkipsKeyColour) {
    RenderSurface source;
    source.resize(3, 2);
    fill_pixel(source, {0, 0}, {3, 2}, 0x00FF);
    source.row(0)[1] = kKeyColour;
    RenderSurface target;
    target.resize(5, 3);
    blit(target, {-1, 2}, source, key_blender());
    EXPECT_EQ(picture_of(target, 0x00FF), (Rows{".....", ".....", ".#..."}))
        << "the first source column lies left of the surface, the key pixel is skipped";
    blit(target, {3, 0}, source, copy_blender());
    EXPECT_EQ(target.row(0)[4], kKeyColour) << "the copy blender copies the key colour too";
    EXPECT_EQ(target.row(1)[3], 0x00FF);
}

TEST(Blit, RowOperationReceivesSourceCoordinates) {
    struct Recorder final : Blender {
        mutable std::vector<std::array<std::int32_t, 3>> calls;
        void blend_row(Pixel*, const Pixel*, std::int32_t count, std::int32_t x,
                       std::int32_t y) const override {
            calls.push_back({count, x, y});
        }
    } recorder;
    RenderSurface source, target;
    source.resize(10, 10);
    target.resize(20, 20);
    ClipScope clip(target, {5, 5, 8, 7});
    blit(target, {2, 3}, source, recorder);
    EXPECT_EQ(recorder.calls, (std::vector<std::array<std::int32_t, 3>>{{3, 3, 2}, {3, 3, 3}}));
}
