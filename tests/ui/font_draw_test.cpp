#include "ui/font_draw.h"

#include "ui/font_cache.h"
#include "ui/font_measure.h"
#include "ui/render_surface.h"

#include <gtest/gtest.h>

using namespace telvara;
using namespace telvara::ui;

namespace {

constexpr Pixel white = 0xFFFF;
const Colour red{255, 0, 0, 255};

FontHandle font(std::int32_t size, bool bold = false, bool underline = false) {
    FontDescription d;
    d.size = size;
    d.scale_factor = 2;
    d.bold = bold;
    d.underline = underline;
    return font_for(d);
}

void paint(RenderSurface& surface, Pixel value) {
    for (std::int32_t y = 0; y < surface.height(); ++y)
        std::fill_n(surface.row(y), surface.width(), value);
}

struct Ink {
    std::int32_t pixels = 0;
    Rect box{1 << 20, 1 << 20, -(1 << 20), -(1 << 20)};
};

Ink ink(const RenderSurface& surface, Pixel background) {
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

class FontDraw : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_surface.resize(160, 60));
        paint(m_surface, white);
    }
    RenderSurface m_surface;
};

} // namespace

TEST_F(FontDraw, TextTakesTheColourInsideItsLine) {
    FontHandle f = font(12);
    const std::int32_t end = draw_text(m_surface, 5, 10, f.get(), u"Hп", red);
    EXPECT_EQ(end, 5 + measure_text(f.get(), u"Hп").width);
    const Ink drawn = ink(m_surface, white);
    ASSERT_GT(drawn.pixels, 0);
    EXPECT_GE(drawn.box.left, 5);
    EXPECT_LE(drawn.box.right, end + 1);
    EXPECT_GE(drawn.box.top, 10);
    EXPECT_LE(drawn.box.bottom, 10 + f->height());

    // The stems of H are fully covered: the exact colour. Edges lie between
    // white and red in every channel (red stays full, green and blue fall).
    std::int32_t solid = 0;
    for (std::int32_t y = 0; y < m_surface.height(); ++y)
        for (std::int32_t x = 0; x < m_surface.width(); ++x) {
            const Pixel p = m_surface.row(y)[x];
            if (p == to_565(red))
                ++solid;
            EXPECT_EQ(p >> 11, 31) << x << "," << y;
            // Green and blue fall together, within rounding.
            EXPECT_NEAR(((p >> 5) & 0x3F) / 63.0, (p & 0x1F) / 31.0, 0.05) << x << "," << y;
        }
    EXPECT_GT(solid, 20);
}

TEST_F(FontDraw, PartialCoverageBlendsEachChannel) {
    paint(m_surface, to_565(0, 0, 255));
    draw_text(m_surface, 2, 2, font(10).get(), u"Овал", Colour{0, 255, 0, 255});
    bool seen_mix = false;
    for (std::int32_t y = 0; y < m_surface.height(); ++y)
        for (std::int32_t x = 0; x < m_surface.width(); ++x) {
            const Pixel p = m_surface.row(y)[x];
            EXPECT_EQ(p >> 11, 0);
            const int green = (p >> 5) & 0x3F, blue = p & 0x1F;
            // Weights add up: as much green as blue went away (within one step).
            EXPECT_NEAR(green / 63.0 + blue / 31.0, 1.0, 0.07) << x << "," << y;
            seen_mix |= green > 0 && blue > 0;
        }
    EXPECT_TRUE(seen_mix);
}

TEST_F(FontDraw, NothingLandsOutsideTheClip) {
    const Rect clip{40, 15, 90, 35};
    const ClipToken token = m_surface.push(clip);
    draw_text(m_surface, 0, 5, font(14, false, true).get(), u"Широкий текст Wide", red);
    m_surface.pop(token);
    const Ink drawn = ink(m_surface, white);
    ASSERT_GT(drawn.pixels, 0);
    EXPECT_GE(drawn.box.left, clip.left);
    EXPECT_GE(drawn.box.top, clip.top);
    EXPECT_LE(drawn.box.right, clip.right);
    EXPECT_LE(drawn.box.bottom, clip.bottom);
}

TEST_F(FontDraw, TextHalfOffTheSurfaceIsCut) {
    FontHandle f = font(14);
    draw_text(m_surface, -30, -20, f.get(), u"БДЖЁ", red);
    draw_text(m_surface, 140, 50, f.get(), u"Ёжик", red);
    draw_text(m_surface, 0, 5000, f.get(), u"Ёжик", red);
    draw_text(m_surface, -100000, 0, f.get(), u"Ёжик", red);
    const Ink drawn = ink(m_surface, white);
    EXPECT_GT(drawn.pixels, 0);
    EXPECT_EQ(drawn.box.left, 0);
    EXPECT_EQ(drawn.box.top, 0);
}

TEST_F(FontDraw, UnderlineRunsUnderTheWholeText) {
    FontHandle f = font(12, false, true);
    const std::int32_t end = draw_text(m_surface, 10, 5, f.get(), u"a b", red);
    const std::int32_t line = 5 + f->underline_offset();
    for (std::int32_t x = 10; x < end; ++x)
        EXPECT_EQ(m_surface.row(line)[x], to_565(red)) << x;
    EXPECT_EQ(m_surface.row(line)[end + 1], white);
}

TEST_F(FontDraw, BoldCoversMoreThanRegular) {
    draw_text(m_surface, 0, 0, font(8).get(), u"Мама мыла", red);
    const Ink regular = ink(m_surface, white);
    paint(m_surface, white);
    draw_text(m_surface, 0, 0, font(8, true).get(), u"Мама мыла", red);
    const Ink bold = ink(m_surface, white);
    EXPECT_GT(bold.box.right, regular.box.right);
    EXPECT_GT(bold.pixels, regular.pixels);
}

TEST_F(FontDraw, EmptyTextAndNullFontsDrawNothing) {
    EXPECT_EQ(draw_text(m_surface, 3, 3, font(12).get(), u"", red), 3);
    EXPECT_EQ(draw_text(m_surface, 3, 3, nullptr, u"text", red), 3);
    FontDescription zero;
    zero.size = 0;
    draw_text(m_surface, 3, 3, font_for(zero).get(), u"text", red);
    EXPECT_EQ(ink(m_surface, white).pixels, 0);

    RenderSurface empty;
    EXPECT_GT(draw_text(empty, 0, 0, font(12).get(), u"text", red), 0);
}
