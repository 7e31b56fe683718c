// The compiled sample skin end to end: loaded through Properties at both
// densities, built into a node tree, laid out for 240x320 and 480x640 and
// drawn; the pixels that matter are checked against the skin's own pictures.
#include "ui/colour.h"
#include "ui/node.h"
#include "ui/node_registry.h"
#include "ui/picture.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/widget_registry.h"

#include "runtime/device_root_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace telvara;
using namespace telvara::ui;

namespace {

namespace fs = std::filesystem;

constexpr const char16_t* kTypes[] = {
    u"node",  u"htable",    u"vtable",   u"clip",  u"color", u"text",       u"richtext", u"button",
    u"image", u"multinode", u"progress", u"vlist", u"edit",  u"label_edit", u"spinner",  u"ruler",
};

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
        fs::copy(TELVARA_TEST_SKINS, root() + "/skins", fs::copy_options::recursive);
        // Other suites may have left some types behind; start from a known set.
        auto& registry = NodeRegistry::instance();
        for (const char16_t* name : kTypes)
            registry.unregister_type(name);
        register_layout_node_types(registry);
        register_widget_node_types(registry);
    }
    void TearDown() override {
        for (const char16_t* name : kTypes)
            NodeRegistry::instance().unregister_type(name);
        DeviceRootTest::TearDown();
    }

    // The skin's picture whose name ends with `suffix`.
    static const Picture* picture_named(const Properties& skin, std::u16string_view suffix) {
        for (std::size_t i = 0; i < skin.impl().picture_count(); ++i) {
            const WString& name = skin.impl().picture_name(i);
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return &skin.impl().picture(i);
        }
        return nullptr;
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

    const Pixel background = to_565({0xF3, 0xF5, 0xF7, 255});
    EXPECT_EQ(surface.row(1)[1], background);
    EXPECT_EQ(surface.row(screen.height - 2)[screen.width - 2], background);

    // The key colour marks holes: it is never drawn itself.
    for (int y = 0; y < screen.height; ++y)
        for (int x = 0; x < screen.width; ++x)
            ASSERT_NE(surface.row(y)[x], kKeyColour) << x << "," << y;

    // A text run in its colour, inside the title's rectangle only.
    Node* title = root.find(u"title");
    ASSERT_NE(title, nullptr);
    ASSERT_GT(title->width(), 0);
    const Pixel ink = to_565({0x1A, 0x1F, 0x24, 255});
    int inked = 0;
    for (int y = title->y(); y < title->y() + title->height(); ++y)
        for (int x = title->x(); x < title->x() + title->width(); ++x)
            inked += surface.row(y)[x] == ink;
    EXPECT_GT(inked, 10 << screen.scale_shift);

    // The answer button's picture: 56x56 design pixels, centred, three-slice
    // with fixed 4-pixel edges. Each edge pixel is the picture's own pixel, or
    // the background where the picture holds the key colour.
    Node* button = root.find(u"buttonAnswer");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->width(), 56 << screen.scale_shift);
    EXPECT_EQ(button->x(), (screen.width - button->width()) / 2);
    Node* normal = button->find(u"#normal");
    ASSERT_NE(normal, nullptr);
    const Picture* phone = picture_named(skin, u"icons/phone");
    ASSERT_NE(phone, nullptr);
    ASSERT_TRUE(phone->has_data());
    const int edge = 4 << screen.scale_shift;
    const PixelBuffer& source = phone->data->pixels;
    int holes = 0;
    auto expect_edge_pixel = [&](int sx, int sy, int dx, int dy) {
        const Pixel s = source.row(sy)[sx];
        const Pixel d = surface.row(normal->y() + dy)[normal->x() + dx];
        if (s == kKeyColour) {
            EXPECT_EQ(d, background) << "hole at " << dx << "," << dy;
            ++holes;
        } else {
            EXPECT_EQ(d, s) << "edge at " << dx << "," << dy;
        }
    };
    for (int y = 0; y < edge; ++y)
        for (int x = 0; x < edge; ++x) {
            expect_edge_pixel(x, y, x, y);
            expect_edge_pixel(phone->width - edge + x, phone->height - edge + y,
                              normal->width() - edge + x, normal->height() - edge + y);
        }
    EXPECT_GT(holes, 0) << "the icon's transparent corners show the background";

    // Somewhere inside, the icon draws ink that is not the background.
    int drawn = 0;
    for (int y = 0; y < normal->height(); ++y)
        for (int x = 0; x < normal->width(); ++x)
            drawn += surface.row(normal->y() + y)[normal->x() + x] != background;
    EXPECT_GT(drawn, 20);
}

INSTANTIATE_TEST_SUITE_P(Screens, SampleSkinDraw,
                         ::testing::Values(Screen{240, 320, 0}, Screen{480, 640, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

} // namespace
