// The render surface: buffers, pitch, the pixel counter and nested clips.
#include "ui/render_surface.h"

#include <gtest/gtest.h>

using namespace telvara::ui;

TEST(RenderSurface, PixelCounterFollowsEveryBufferThroughReleaseAndAttach) {
    const std::int64_t base = RenderSurface::total_pixels();
    {
        RenderSurface a;
        a.resize(10, 10);
        EXPECT_EQ(RenderSurface::total_pixels(), base + 100);
        RenderSurface b;
        b.resize(3, 3);
        EXPECT_EQ(RenderSurface::total_pixels(), base + 109);
        a.resize(5, 2);
        EXPECT_EQ(RenderSurface::total_pixels(), base + 19);
        a.row(1)[4] = 0xABCD;
        const Pixel* pixels = a.row(0);
        PixelBuffer taken = a.release();
        EXPECT_EQ(taken.width(), 5);
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(a.clip(), (Rect{0, 0, 0, 0}));
        EXPECT_EQ(RenderSurface::total_pixels(), base + 9);
        b.attach(std::move(taken));
        EXPECT_EQ(b.width(), 5);
        EXPECT_EQ(b.row(0), pixels) << "attach keeps the buffer's pixels";
        EXPECT_EQ(b.row(1)[4], 0xABCD);
        EXPECT_EQ(b.clip(), (Rect{0, 0, 5, 2}));
        EXPECT_EQ(RenderSurface::total_pixels(), base + 10);
    }
    EXPECT_EQ(RenderSurface::total_pixels(), base) << "destruction gives the pixels back";
}

// Replacing the buffer under a clip, even with one of the same size, ends
// the process.
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
