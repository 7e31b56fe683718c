// Image nodes as a skin uses them: key-coloured holes, slices, masks, alpha
// levels, grow measures and pictures that keep their proportions.
#include "skin_test_support.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/image_node.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using skinc::NodeModel;
using skinc::PictureValue;

namespace {

constexpr Pixel R = 0xF800; // red
constexpr Pixel B = 0x001F; // blue
constexpr Pixel W = 0xFFDF; // white with bit 5 clear: blended, not copied as it is
constexpr Pixel K = kKeyColour;

PictureValue whole(std::uint32_t index, std::uint16_t width, std::uint16_t height) {
    PictureValue value;
    value.picture = index;
    value.x[2] = value.x[3] = width;
    value.y[2] = value.y[3] = height;
    return value;
}

// A skin whose "form" holds one image node; the pictures are written as files
// beside it.
class ImageSkin {
  public:
    std::uint32_t picture(const PixelRows& rows) {
        const std::string name = "p" + std::to_string(m_model.pictures.size());
        m_folder.write(name + ".bmp", bmp_bytes(rows));
        m_model.pictures.push_back(from_utf8(name));
        return std::uint32_t(m_model.pictures.size() - 1);
    }
    // Adds the picture as "src" referenced whole.
    PictureValue& src(const PixelRows& rows) {
        const auto index = picture(rows);
        image.pictures.push_back(
            {u"src", whole(index, std::uint16_t(rows[0].size()), std::uint16_t(rows.size()))});
        return image.pictures.back().second;
    }
    ImageNode& load() {
        use_program_types();
        NodeModel form = typed(m_model, u"node", nullptr);
        NodeModel node = image;
        node.strings = typed(m_model, u"image", u"picture").strings;
        form.children = {node};
        m_model.nodes.push_back({u"form", form});
        m_impl =
            std::make_unique<PropertiesImpl>(written(m_model), m_folder.path(), u"image.skin", 0);
        EXPECT_TRUE(m_impl->is_loaded()) << m_impl->load_error();
        EXPECT_TRUE(m_skin.install(*m_impl));
        EXPECT_TRUE(m_root.load_from_skin(m_skin, u"form"));
        return dynamic_cast<ImageNode&>(*m_root.find(u"picture"));
    }
    NodeModel image;

  private:
    TempFolder m_folder;
    skinc::SkinModel m_model;
    std::unique_ptr<PropertiesImpl> m_impl;
    Properties m_skin;
    Node m_root;
};

// Draws the node sized w x h at (x, y) on a surface_w x surface_h surface of
// `background`; returns the surface's rows.
PixelRows drawn(ImageNode& node, int surface_w, int surface_h, Pixel background, Point at, int w,
                int h) {
    RenderSurface surface;
    surface.resize(surface_w, surface_h);
    fill_pixel(surface, {}, {surface_w, surface_h}, background);
    node.place_x(0, w);
    node.place_y(0, h);
    node.draw(surface, at);
    PixelRows rows;
    for (int y = 0; y < surface_h; ++y)
        rows.emplace_back(surface.row(y), surface.row(y) + surface_w);
    return rows;
}

} // namespace

TEST(ImageNode, GrowAsksForThePictureSizeKeepingTheAspectRatioWhenAsked) {
    {
        ImageSkin skin;
        skin.src(plain_rows(20, 10, R));
        ImageNode& fixed = skin.load();
        EXPECT_EQ(fixed.get_measure_x(), (Measure{0, 0})) << "without grow only the design size";
        EXPECT_EQ(fixed.get_measure_y(), (Measure{0, 0}));
    }
    {
        ImageSkin skin;
        skin.src(plain_rows(20, 10, R));
        skin.image.integers = {{u"grow", 1}};
        skin.image.points = {{u"design_size", {30, 4}}};
        ImageNode& grown = skin.load();
        EXPECT_TRUE(grown.grows());
        EXPECT_EQ(grown.get_measure_x(), (Measure{30, 30})) << "the design size is larger";
        EXPECT_EQ(grown.get_measure_y(), (Measure{10, 10}));
    }
    ImageSkin skin;
    skin.src(plain_rows(20, 10, R));
    skin.image.integers = {{u"grow", 1}, {u"save_aspect_ratio", 1}};
    ImageNode& node = skin.load();
    node.place_x(0, 15);
    EXPECT_EQ(node.get_measure_y(), (Measure{7, 7})) << "15 x 10 / 20, truncated";
    node.place_x(0, 40);
    node.mark_layout();
    EXPECT_EQ(node.get_measure_y(), (Measure{10, 10})) << "wider: the picture's height";
}

TEST(ImageNode, SaveAspectRatioScalesUniformlyAndCentresLeavingTheRest) {
    ImageSkin skin;
    skin.src({{R, R, W, W}, {R, R, W, W}}); // the scale must keep the halves
    skin.image.integers = {{u"save_aspect_ratio", 1}};
    ImageNode& node = skin.load();
    EXPECT_TRUE(node.keeps_aspect_ratio());
    const std::vector<Pixel> half = {R, R, R, R, W, W, W, W};
    const std::vector<Pixel> none(8, B);
    // Taller node: width decides, 8 x 4 centred vertically.
    EXPECT_EQ(drawn(node, 8, 8, B, {0, 0}, 8, 8),
              (PixelRows{none, none, half, half, half, half, none, none}));
    // Wider node: height decides, 8 x 4 centred horizontally in 12 x 4 at x 1.
    const std::vector<Pixel> wide = {B, B, B, R, R, R, R, W, W, W, W, B, B, B};
    EXPECT_EQ(drawn(node, 14, 4, B, {1, 0}, 12, 4), (PixelRows{wide, wide, wide, wide}));
    // The picture's own size: drawn as it is.
    EXPECT_EQ(drawn(node, 4, 2, B, {0, 0}, 4, 2), (PixelRows{{R, R, W, W}, {R, R, W, W}}));
    // Only the width differs: still centred, never stretched.
    const std::vector<Pixel> centred = {B, R, R, W, W, B};
    EXPECT_EQ(drawn(node, 6, 2, B, {0, 0}, 6, 2), (PixelRows{centred, centred}));
}
