// Glyphs drawn into a small surface: colour, blending, clipping, underline.
#include "ui/font_draw.h"

#include "text_test_support.h"
#include "ui/font_measure.h"

#include <gtest/gtest.h>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

const Colour red{255, 0, 0, 255};

FontHandle font(std::int32_t size, bool bold = false, bool underline = false) {
    FontDescription d;
    d.size = size;
    d.scale_factor = 2;
    d.bold = bold;
    d.underline = underline;
    return font_for(d);
}

class FontDraw : public testing::Test {
  protected:
    void SetUp() override {
        surface.resize(160, 60);
        paint(surface, kWhite);
    }
    RenderSurface surface;
};

} // namespace

TEST_F(FontDraw, TextTakesTheColourInsideItsLineAndEdgesBlendEachChannel) {
    FontHandle f = font(12);
    const std::int32_t end = draw_text(surface, 5, 10, f.get(), u"Hп", red);
    EXPECT_EQ(end, 5 + measure_text(f.get(), u"Hп").width);
    const Ink drawn = ink(surface, kWhite);
    ASSERT_GT(drawn.pixels, 0);
    EXPECT_GE(drawn.box.left, 5);
    EXPECT_LE(drawn.box.right, end + 1);
    EXPECT_GE(drawn.box.top, 10);
    EXPECT_LE(drawn.box.bottom, 10 + f->height());
    EXPECT_GT(count(surface, to_565(red)), 20) << "the stems of H are the exact colour";
    // Between white and red: red stays full, green and blue fall together.
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            const Pixel p = surface.row(y)[x];
            ASSERT_EQ(p >> 11, 31) << x << "," << y;
            ASSERT_NEAR(((p >> 5) & 0x3F) / 63.0, (p & 0x1F) / 31.0, 0.05) << x << "," << y;
        }
    // Green over blue: as much green as blue went away (within one step).
    paint(surface, to_565(0, 0, 255));
    draw_text(surface, 2, 2, font(10).get(), u"Овал", Colour{0, 255, 0, 255});
    bool seen_mix = false;
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            const Pixel p = surface.row(y)[x];
            const int green = (p >> 5) & 0x3F, blue = p & 0x1F;
            ASSERT_EQ(p >> 11, 0);
            ASSERT_NEAR(green / 63.0 + blue / 31.0, 1.0, 0.07) << x << "," << y;
            seen_mix |= green > 0 && blue > 0;
        }
    EXPECT_TRUE(seen_mix);
}

TEST_F(FontDraw, NothingLandsOutsideTheClipOrTheSurface) {
    const Rect clip{40, 15, 90, 35};
    const ClipToken token = surface.push(clip);
    draw_text(surface, 0, 5, font(14, false, true).get(), u"Широкий текст Wide", red);
    surface.pop(token);
    const Ink clipped = ink(surface, kWhite);
    ASSERT_GT(clipped.pixels, 0);
    EXPECT_GE(clipped.box.left, clip.left);
    EXPECT_GE(clipped.box.top, clip.top);
    EXPECT_LE(clipped.box.right, clip.right);
    EXPECT_LE(clipped.box.bottom, clip.bottom);
    paint(surface, kWhite);
    FontHandle f = font(14);
    draw_text(surface, -30, -20, f.get(), u"БДЖЁ", red);
    draw_text(surface, 140, 50, f.get(), u"Ёжик", red);
    draw_text(surface, 0, 5000, f.get(), u"Ёжик", red);
    draw_text(surface, -100000, 0, f.get(), u"Ёжик", red);
    const Ink cut = ink(surface, kWhite);
    EXPECT_GT(cut.pixels, 0);
    EXPECT_EQ(cut.box.left, 0);
    EXPECT_EQ(cut.box.top, 0);
}

TEST_F(FontDraw, UnderlineRunsUnderTheWholeTextAndBoldCoversMore) {
    FontHandle f = font(12, false, true);
    const std::int32_t end = draw_text(surface, 10, 5, f.get(), u"a b", red);
    const std::int32_t line = 5 + f->underline_offset();
    for (std::int32_t x = 10; x < end; ++x)
        EXPECT_EQ(surface.row(line)[x], to_565(red)) << x;
    EXPECT_EQ(surface.row(line)[end + 1], kWhite);
    paint(surface, kWhite);
    draw_text(surface, 0, 0, font(8).get(), u"Мама мыла", red);
    const Ink regular = ink(surface, kWhite);
    paint(surface, kWhite);
    draw_text(surface, 0, 0, font(8, true).get(), u"Мама мыла", red);
    const Ink bold = ink(surface, kWhite);
    EXPECT_GT(bold.box.right, regular.box.right);
    EXPECT_GT(bold.pixels, regular.pixels);
}

TEST_F(FontDraw, EmptyTextAndNullFontsDrawNothing) {
    EXPECT_EQ(draw_text(surface, 3, 3, font(12).get(), u"", red), 3);
    EXPECT_EQ(draw_text(surface, 3, 3, nullptr, u"text", red), 3);
    draw_text(surface, 3, 3, font(0).get(), u"text", red);
    EXPECT_EQ(ink(surface, kWhite).pixels, 0);
    RenderSurface empty;
    EXPECT_GT(draw_text(empty, 0, 0, font(12).get(), u"text", red), 0);
}
