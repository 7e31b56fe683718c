// Every row kernel, on every path this machine runs, bit for bit against a
// plain per-pixel reference, and the surface's pixel counter.
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/pixel_rows.h"
#include "ui/render_surface.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace telvara::ui;
namespace rows = telvara::ui::pixel_rows;

namespace {

// One 5/6/5 field of both pixels through `f`, put back in place.
template <class F> Pixel per_field(Pixel s, Pixel d, F f) {
    Pixel out = 0;
    for (const auto& [shift, bits] : {std::pair{11, 5}, std::pair{5, 6}, std::pair{0, 5}}) {
        const int mask = (1 << bits) - 1;
        out |= Pixel(f((s >> shift) & mask, (d >> shift) & mask) << shift);
    }
    return out;
}

Pixel reference_alpha(Pixel s, Pixel d, int level) {
    if (s == kKeyColour)
        return d;
    if ((s & 0x20) || level == 0)
        return s;
    const Pixel two = Pixel(s + ((d & 0xF7DF) >> 1));
    switch (level) {
    case 1:
        return Pixel(s + ((d & 0xE79F) >> 2));
    case 2:
        return two;
    case 3: // the truncated average of level 2 and the destination
        return per_field(two, d, [](int a, int b) { return (a + b) / 2; });
    default:
        return d;
    }
}

Pixel reference_mask(Pixel s, Pixel d, Pixel m) {
    if (s == kKeyColour)
        return d;
    if (s & 0x20)
        return s;
    const int g = (m >> 5) & 63;
    const int w = g < 32 ? g : g + 1; // 0..64 with both ends exact
    return per_field(s, d, [w](int a, int b) { return (a * w + b * (64 - w)) / 64; });
}

// Random pixels with plenty of key-colour and marked ones.
std::vector<Pixel> random_row(std::mt19937& random, std::size_t size) {
    std::vector<Pixel> row(size);
    for (Pixel& p : row) {
        const unsigned pick = random() % 8;
        p = pick == 0 ? kKeyColour : Pixel(random());
        if (pick == 1)
            p |= 0x20;
        if (pick == 2)
            p &= ~0x20;
    }
    return row;
}

// Every path this machine runs.
std::vector<rows::Path> paths() {
    std::vector<rows::Path> out;
    for (rows::Path path : {rows::Path::Plain, rows::Path::Sse2, rows::Path::Avx2})
        if (rows::path_available(path))
            out.push_back(path);
#if defined(__x86_64__)
    EXPECT_TRUE(rows::path_available(rows::Path::Sse2)) << "vector paths are built on x86";
#endif
    EXPECT_TRUE(rows::path_available(rows::Path::Plain));
    return out;
}

} // namespace

TEST(PixelRows, FillWritesExactlyTheSpanAtEveryAlignment) {
    for (rows::Path path : paths())
        for (std::int32_t width = 0; width <= 67; ++width)
            for (int offset = 0; offset < 2; ++offset) {
                std::vector<Pixel> row(80, 0x1111);
                rows::fill(row.data() + offset, width, 0xBEEF, path);
                for (int i = 0; i < 80; ++i)
                    ASSERT_EQ(row[std::size_t(i)],
                              i >= offset && i < offset + width ? 0xBEEF : 0x1111)
                        << "width " << width << " offset " << offset << " at " << i;
            }
}

// Kernel -1 is the key blit, 0..4 the alpha levels, 5 the mask.
TEST(PixelRows, BlendersMatchThePerPixelReference) {
    std::mt19937 random(7);
    for (rows::Path path : paths())
        for (std::int32_t width = 1; width <= 67; ++width)
            for (int src_offset = 0; src_offset < 2; ++src_offset)
                for (int dst_offset = 0; dst_offset < 2; ++dst_offset) {
                    const auto src = random_row(random, 70);
                    const auto dst = random_row(random, 70);
                    const auto mask = random_row(random, 70);
                    const Pixel* s = src.data() + src_offset;
                    const Pixel* m = mask.data() + dst_offset;
                    for (int kernel = -1; kernel <= 5; ++kernel) {
                        std::vector<Pixel> got = dst, want = dst;
                        Pixel* g = got.data() + dst_offset;
                        Pixel* w = want.data() + dst_offset;
                        if (kernel == -1)
                            rows::key(g, s, width, path);
                        else if (kernel == 5)
                            rows::mask(g, s, m, width, path);
                        else
                            rows::alpha(g, s, width, kernel, path);
                        for (int i = 0; i < width; ++i)
                            w[i] = kernel == -1  ? (s[i] == kKeyColour ? w[i] : s[i])
                                   : kernel == 5 ? reference_mask(s[i], w[i], m[i])
                                                 : reference_alpha(s[i], w[i], kernel);
                        ASSERT_EQ(got, want)
                            << "kernel " << kernel << " width " << width << " offsets "
                            << src_offset << "/" << dst_offset << " path " << int(path);
                    }
                }
}

TEST(RenderSurface, PixelCounterFollowsEveryBufferThroughReleaseAndAttach) {
    const std::int64_t base = RenderSurface::total_pixels();
    {
        RenderSurface a, b;
        a.resize(10, 10);
        b.resize(3, 3);
        EXPECT_EQ(RenderSurface::total_pixels(), base + 109);
        a.resize(5, 2);
        a.row(1)[4] = 0xABCD;
        const Pixel* pixels = a.row(0);
        PixelBuffer taken = a.release();
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(a.clip(), (Rect{0, 0, 0, 0}));
        EXPECT_EQ(RenderSurface::total_pixels(), base + 9) << "the resize and release counted";
        b.attach(std::move(taken));
        EXPECT_EQ(b.row(0), pixels) << "attach keeps the buffer's pixels";
        EXPECT_EQ(b.row(1)[4], 0xABCD);
        EXPECT_EQ(b.clip(), (Rect{0, 0, 5, 2}));
        EXPECT_EQ(RenderSurface::total_pixels(), base + 10);
    }
    EXPECT_EQ(RenderSurface::total_pixels(), base) << "destruction gives the pixels back";
}

// Replacing the buffer under a clip, even with one of the same size, ends the process.
TEST(RenderSurfaceDeathTest, RecreatingWhileClippedEndsTheProcess) {
    const char* message = "Clip is in effect, cannot resize @ RenderSurface::recreate";
    for (int how = 0; how < 4; ++how)
        EXPECT_EXIT(
            {
                RenderSurface surface;
                surface.resize(4, 4);
                ClipScope scope(surface, {0, 0, 2, 2});
                if (how == 0)
                    surface.resize(8, 8);
                else if (how == 1)
                    surface.resize(4, 4);
                else if (how == 2)
                    surface.attach(PixelBuffer(2, 2));
                else
                    (void)surface.release();
            },
            testing::ExitedWithCode(1), message)
            << how;
}
