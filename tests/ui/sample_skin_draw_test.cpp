// The compiled sample skin end to end: loaded through Properties at both
// densities, built into a node tree, laid out for 240x320 and 480x640 and
// drawn; the pixels that matter are checked against the skin's own pictures.
#include "runtime/device_root_fixture.h"
#include "skin_test_support.h"
#include "ui/colour.h"
#include "ui/node.h"
#include "ui/picture.h"
#include "ui/render_surface.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace telvara;
using namespace telvara::ui;

namespace {

struct Screen {
    int width;
    int height;
    unsigned scale_shift;
};

class SampleSkinDraw : public test_support::DeviceRootTest,
                       public ::testing::WithParamInterface<Screen> {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        std::filesystem::copy(TELVARA_TEST_SKINS, root() + "/skins",
                              std::filesystem::copy_options::recursive);
        test::use_program_types();
    }
};

TEST_P(SampleSkinDraw, LaysOutAndDrawsThePixelsThatMatter) {
    const Screen screen = GetParam();
    Properties skin;
    ASSERT_TRUE(skin.load_skin(u"/skins/sample.skin", screen.scale_shift))
        << skin.impl().load_error();
    Node root;
    ASSERT_TRUE(root.load_from_skin(skin, u"SampleForm"));
    root.place_x(0, screen.width);
    root.place_y(0, screen.height);
    RenderSurface surface;
    surface.resize(screen.width, screen.height);
    root.draw_node(surface, {0, 0});
    auto at = [&](int x, int y) { return surface.row(y)[x]; };

    const Pixel background = to_565({0xF3, 0xF5, 0xF7, 255});
    EXPECT_EQ(at(1, 1), background);
    EXPECT_EQ(at(screen.width - 2, screen.height - 2), background);
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            ASSERT_NE(at(x, y), kKeyColour) << "the key colour marks holes, never drawn itself";

    // A text run in its colour, inside the title's rectangle only.
    const Node* title = root.find(u"title");
    ASSERT_TRUE(title && title->width() > 0);
    int inked = 0;
    for (int y = title->y(); y < title->y() + title->height(); ++y)
        for (int x = title->x(); x < title->x() + title->width(); ++x)
            inked += at(x, y) == to_565({0x1A, 0x1F, 0x24, 255});
    EXPECT_GT(inked, 10 << screen.scale_shift);

    // The answer button's picture: 56x56 design pixels, centred, three-slice
    // with fixed 4-pixel edges. Each edge pixel is the picture's own pixel, or
    // the background where the picture holds the key colour.
    const Node* button = root.find(u"buttonAnswer");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->width(), 56 << screen.scale_shift);
    EXPECT_EQ(button->x(), (screen.width - button->width()) / 2);
    const Node* normal = button->find(u"#normal");
    ASSERT_NE(normal, nullptr);
    const Picture* phone = nullptr;
    for (std::size_t i = 0; i < skin.impl().picture_count(); ++i)
        if (skin.impl().picture_name(i).ends_with(u"icons/phone"))
            phone = &skin.impl().picture(i);
    ASSERT_TRUE(phone && phone->has_data());
    const int edge = 4 << screen.scale_shift;
    int holes = 0;
    auto expect_edge_pixel = [&](int sx, int sy, int dx, int dy) {
        const Pixel s = phone->data->pixels.row(sy)[sx];
        const Pixel d = at(normal->x() + dx, normal->y() + dy);
        holes += s == kKeyColour;
        EXPECT_EQ(d, s == kKeyColour ? background : s) << dx << "," << dy;
    };
    for (int y = 0; y < edge; ++y)
        for (int x = 0; x < edge; ++x) {
            expect_edge_pixel(x, y, x, y);
            expect_edge_pixel(phone->width - edge + x, phone->height - edge + y,
                              normal->width() - edge + x, normal->height() - edge + y);
        }
    EXPECT_GT(holes, 0) << "the icon's transparent corners show the background";
    int drawn = 0;
    for (int y = 0; y < normal->height(); ++y)
        for (int x = 0; x < normal->width(); ++x)
            drawn += at(normal->x() + x, normal->y() + y) != background;
    EXPECT_GT(drawn, 20) << "inside, the icon draws ink";
}

INSTANTIATE_TEST_SUITE_P(Screens, SampleSkinDraw,
                         ::testing::Values(Screen{240, 320, 0}, Screen{480, 640, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

} // namespace
