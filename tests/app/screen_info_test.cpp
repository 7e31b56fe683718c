// ScreenInfo: density classes, scale shift, forced values and their parsing.
#include "app/screen_info.h"

#include <gtest/gtest.h>

namespace telvara::app {
namespace {

TEST(ScreenInfo, DensityClassesAndScaleShift) {
    EXPECT_EQ(density_class(96), 0);
    EXPECT_EQ(density_class(191), 0);
    EXPECT_EQ(density_class(192), 1);
    EXPECT_EQ(density_class(383), 1);
    EXPECT_EQ(density_class(384), 2);
    EXPECT_EQ(density_class(1000), 2);
    ScreenInfo info = make_screen_info({480, 640, 192, 0});
    EXPECT_EQ(info.width, 480);
    EXPECT_EQ(info.current_height, 640);
    EXPECT_EQ(info.density, 1);
    EXPECT_EQ(scale_shift(info), 1u);
    EXPECT_EQ(scale_shift(make_screen_info({240, 320, 96, 0})), 0u);
    EXPECT_EQ(scale_shift(make_screen_info({960, 1280, 400, 0})), 2u);
}

TEST(ScreenInfo, ForcedValuesWinAndEqualityIsFieldwise) {
    ScreenOverrides forced;
    ASSERT_TRUE(parse_screen_size("480x640", forced));
    ASSERT_TRUE(parse_dpi("192", forced));
    const ScreenInfo info = make_screen_info({240, 320, 96, 0}, forced);
    EXPECT_EQ(info.width, 480);
    EXPECT_EQ(info.height, 640);
    EXPECT_EQ(info.dpi, 192);
    EXPECT_EQ(info.density, 1);
    EXPECT_EQ(info, make_screen_info({480, 640, 192, 0}));
    EXPECT_NE(info, make_screen_info({480, 640, 191, 0}));
    EXPECT_NE(info, make_screen_info({480, 640, 192, 1}));
}

TEST(ScreenInfo, MalformedForcedValuesAreRefusedUntouched) {
    for (const char* bad : {"", "480", "480x", "x640", "0x640", "480x0", "-4x5", "480X640",
                            "480x640x2", "99999x640", " 480x640", "480x640 "}) {
        ScreenOverrides forced;
        EXPECT_FALSE(parse_screen_size(bad, forced)) << bad;
        EXPECT_FALSE(forced.width);
    }
    for (const char* bad : {"", "0", "-96", "96dpi", "100000"}) {
        ScreenOverrides forced;
        EXPECT_FALSE(parse_dpi(bad, forced)) << bad;
        EXPECT_FALSE(forced.dpi);
    }
}

} // namespace
} // namespace telvara::app
