// Three-slice drawing: placement of head, middle and tail, stretching and clipping, on each axis.
#include "ui/blender.h"
#include "ui/picture.h"
#include "ui/pixel_rows.h"
#include "ui/render_surface.h"

#include <gtest/gtest.h>

#include <map>

using namespace telvara::ui;

namespace {

// A picture whose pixel at (x, y) is 1 + x + 100 y, so every drawn pixel tells where it came from.
Picture numbered(std::int32_t width, std::int32_t height, std::array<Point, 4> points) {
    PixelBuffer pixels(width, height);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            pixels.row(y)[x] = Pixel(1 + x + 100 * y);
    Picture picture;
    picture.points = points;
    picture.width = width;
    picture.height = height;
    picture.data = std::make_shared<const PictureData>(PictureData{"numbered", std::move(pixels)});
    return picture;
}

// One-row picture of `width` with the middle between x1 and x2.
Picture strip(std::int32_t width, std::int32_t x1, std::int32_t x2) {
    return numbered(width, 1, {{{0, 0}, {x1, 0}, {x2, 1}, {width, 1}}});
}

// Source column drawn at each x of row y (-1 where nothing was drawn).
std::vector<int> columns_of(const RenderSurface& surface, std::int32_t y = 0) {
    std::vector<int> out;
    for (std::int32_t x = 0; x < surface.width(); ++x) {
        const Pixel p = surface.row(y)[x];
        out.push_back(p == 0 ? -1 : (p - 1) % 100);
    }
    return out;
}

// The columns of the picture drawn w wide on one row.
std::vector<int> drawn_columns(const Picture& picture, std::int32_t w) {
    RenderSurface surface;
    surface.resize(w, 1);
    draw_picture(surface, {0, 0}, {w, 1}, picture, copy_blender());
    return columns_of(surface);
}

std::vector<int> join(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> out;
    for (const auto& [from, to] : ranges)
        for (int i = from; i < to; ++i)
            out.push_back(i);
    return out;
}

} // namespace

// Shorter than head and tail: each gets half, one middle pixel between; the
// surplus of a short end goes to the other.
TEST(ThreeSlice, ShortSizesSplitBetweenHeadAndTail) {
    const struct {
        Picture picture;
        std::int32_t width;
        std::vector<int> columns;
    } rows[] = {
        {strip(25, 10, 15), 15, join({{0, 7}, {10, 11}, {18, 25}})},
        {strip(17, 2, 7), 9, join({{0, 2}, {2, 3}, {11, 17}})},     // h = 4 > 2: t = 6
        {strip(16, 10, 15), 8, join({{0, 6}, {10, 11}, {15, 16}})}, // t = 3 > 1: h = 6
        {strip(4, 2, 2), 7, {0, 1, 1, 1, 1, 2, 3}},                 // no middle: the seam
    };
    for (const auto& r : rows)
        EXPECT_EQ(drawn_columns(r.picture, r.width), r.columns) << r.width;
}

// Clipping moves the source start with the destination: a clipped draw equals
// the unclipped one inside the clip rectangle and leaves the rest alone.
TEST(ThreeSlice, ClippedDrawEqualsTheUnclippedOneInsideTheClip) {
    const Picture picture = numbered(20, 12, {{{1, 2}, {6, 5}, {13, 7}, {19, 12}}});
    const struct {
        Point origin;
        Size size;
        Rect clip;
    } cases[] = {
        {{0, 0}, {40, 30}, {5, 3, 31, 29}}, {{-7, -4}, {40, 30}, {0, 0, 40, 30}},
        {{3, 2}, {9, 7}, {4, 3, 9, 6}},     {{10, 5}, {40, 30}, {12, 8, 40, 30}},
        {{0, 0}, {11, 5}, {6, 0, 7, 5}},    {{2, 1}, {64, 32}, {20, 10, 37, 23}},
    };
    for (const auto& c : cases) {
        RenderSurface full, clipped;
        full.resize(40, 30);
        clipped.resize(40, 30);
        draw_picture(full, c.origin, c.size, picture, copy_blender());
        {
            ClipScope scope(clipped, c.clip);
            draw_picture(clipped, c.origin, c.size, picture, copy_blender());
        }
        for (std::int32_t y = 0; y < 30; ++y)
            for (std::int32_t x = 0; x < 40; ++x) {
                const bool inside =
                    x >= c.clip.left && x < c.clip.right && y >= c.clip.top && y < c.clip.bottom;
                ASSERT_EQ(clipped.row(y)[x], inside ? full.row(y)[x] : 0)
                    << x << "," << y << " origin " << c.origin.x << "," << c.origin.y;
            }
    }
}

TEST(ThreeSlice, ReferencesOutsideThePictureAreClampedAndEmptyDrawsNothing) {
    // x3 and y3 far beyond a 4 x 4 picture, middle before head.
    RenderSurface surface;
    surface.resize(16, 16);
    draw_picture(surface, {0, 0}, {16, 16},
                 numbered(4, 4, {{{2, 0}, {1, 0}, {900, 900}, {60000, 60000}}}), copy_blender());
    for (std::int32_t y = 0; y < 16; ++y)
        for (int column : columns_of(surface, y)) {
            ASSERT_GE(column, 2);
            ASSERT_LT(column, 4);
        }
    RenderSurface untouched;
    untouched.resize(4, 4);
    const Picture outside = numbered(4, 4, {{{9, 9}, {9, 9}, {12, 12}, {12, 12}}});
    draw_picture(untouched, {0, 0}, {4, 4}, outside, copy_blender()); // nothing left once clamped
    draw_picture(untouched, {0, 0}, {4, 4}, Picture{}, copy_blender());
    draw_picture(untouched, {0, 0}, {0, 4}, strip(25, 10, 15), copy_blender());
    draw_picture(untouched, {0, 0}, {4, -1}, strip(25, 10, 15), copy_blender());
    for (std::int32_t y = 0; y < 4; ++y)
        EXPECT_EQ(columns_of(untouched, y), std::vector<int>(4, -1));
}

// Rows and columns the mask does not cover are left as they are.
TEST(ThreeSlice, AMaskLeavesWhatItDoesNotCover) {
    PixelBuffer mask_pixels(2, 1);
    mask_pixels.row(0)[0] = mask_pixels.row(0)[1] = 0xFFFF;
    Picture mask;
    mask.width = 2;
    mask.height = 1;
    mask.data = std::make_shared<const PictureData>(PictureData{"mask", std::move(mask_pixels)});
    const MaskBlender blender(mask);
    const Pixel src[2] = {0x1234, 0x1234};
    for (const auto& [x, y] : {std::pair{0, 1}, {0, -1}, {2, 0}}) {
        Pixel dst[2] = {7, 7};
        blender.blend_row(dst, src, 2, x, y);
        EXPECT_EQ(dst[0], 7) << x << "," << y;
        EXPECT_EQ(dst[1], 7) << x << "," << y;
    }
    Pixel covered[2] = {7, 7};
    blender.blend_row(covered, src, 2, 0, 0);
    EXPECT_EQ(covered[0], 0x1234) << "white mask: the source shows";
}
