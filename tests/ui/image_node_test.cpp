// Image nodes as a skin uses them: key-coloured holes, masks, alpha levels,
// grow measures and pictures that keep their proportions.
#include "scoped_node_types.h"
#include "skin_test_support.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/image_node.h"
#include "ui/node_registry.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using skinc::NodeModel;
using skinc::PictureValue;
using skinc::SkinModel;

namespace {

constexpr Pixel kRed = 0xF800;
constexpr Pixel kBlue = 0x001F;
constexpr Pixel kWhite = 0xFFDF; // bit 5 clear: blended, not copied as it is
constexpr Pixel kBlack = 0x0000;

// A 16-bit BMP of the given rows (top row first), stored bottom-up.
std::vector<std::uint8_t> bmp(const std::vector<std::vector<Pixel>>& rows) {
    const int height = int(rows.size());
    const int width = int(rows[0].size());
    const int stride = (16 * width + 31) / 32 * 4;
    std::vector<std::uint8_t> file(54 + std::size_t(stride) * height, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = std::uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height));
    file[26] = 1;
    file[28] = 16;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Pixel p = rows[std::size_t(height - 1 - y)][std::size_t(x)];
            file[54 + std::size_t(y) * stride + 2 * x] = std::uint8_t(p);
            file[54 + std::size_t(y) * stride + 2 * x + 1] = std::uint8_t(p >> 8);
        }
    return file;
}

std::vector<std::vector<Pixel>> plain(int width, int height, Pixel pixel) {
    return std::vector<std::vector<Pixel>>(std::size_t(height),
                                           std::vector<Pixel>(std::size_t(width), pixel));
}

// The types these skins use, registered for the test when missing.
class NeededTypes : public test::ScopedNodeTypes {
  public:
    NeededTypes()
        : ScopedNodeTypes({{u"node", &make_node<Node>}, {u"image", &make_node<ImageNode>}}) {}
};

PictureValue whole(std::uint32_t index, std::uint16_t width, std::uint16_t height) {
    PictureValue value;
    value.picture = index;
    value.x[2] = value.x[3] = width;
    value.y[2] = value.y[3] = height;
    return value;
}

// One skin with a top-level "form" holding one image node; the pictures
// are written as files beside it.
class ImageSkin {
  public:
    explicit ImageSkin(NodeModel image) {
        image.strings.push_back({u"type", m_model.intern_string(u"image")});
        image.strings.push_back({u"id", m_model.intern_string(u"picture")});
        m_image = std::move(image);
    }

    std::uint32_t picture(const char16_t* name, const std::vector<std::vector<Pixel>>& rows) {
        m_folder.write(to_utf8(name) + ".bmp", bmp(rows));
        m_model.pictures.emplace_back(name);
        return std::uint32_t(m_model.pictures.size() - 1);
    }
    NodeModel& image() { return m_image; }

    // Loads the skin and builds the image node from it.
    ImageNode& load(unsigned scale_shift = 0) {
        NodeModel form;
        form.strings = {{u"type", m_model.intern_string(u"node")}};
        form.children = {m_image};
        m_model.nodes.push_back({u"form", form});
        auto impl = std::make_unique<PropertiesImpl>(test::written(m_model), m_folder.path(),
                                                     u"image.skin", scale_shift);
        EXPECT_TRUE(impl->is_loaded()) << impl->load_error();
        EXPECT_TRUE(m_skin.install(*impl));
        EXPECT_TRUE(m_root.load_from_skin(m_skin, u"form"));
        auto* node = dynamic_cast<ImageNode*>(m_root.find(u"picture"));
        EXPECT_NE(node, nullptr);
        return *node;
    }

  private:
    NeededTypes m_types;
    test::TempFolder m_folder;
    SkinModel m_model;
    NodeModel m_image;
    Properties m_skin;
    Node m_root;
};

// A surface of one colour.
void paint(RenderSurface& surface, int width, int height, Pixel pixel) {
    surface.resize(width, height);
    fill_pixel(surface, {}, {width, height}, pixel);
}

// Places the node at its own origin with the given size and draws it at `at`.
void draw_at(ImageNode& node, RenderSurface& surface, Point at, Size size) {
    node.place_x(0, size.width);
    node.place_y(0, size.height);
    node.draw(surface, at);
}

Pixel at(const RenderSurface& surface, int x, int y) {
    return surface.row(y)[x];
}

} // namespace

TEST(ImageNode, KeyColouredPixelsShowWhatIsBelowAndNothingSpillsOut) {
    auto rows = plain(4, 4, kRed);
    rows[1][2] = kKeyColour;
    ImageSkin skin(NodeModel{});
    skin.image().pictures = {{u"src", whole(skin.picture(u"holed", rows), 4, 4)}};
    ImageNode& node = skin.load();
    EXPECT_EQ(node.blender(), nullptr) << "no mask, no alpha: key colour only";

    RenderSurface surface;
    paint(surface, 8, 8, kBlue);
    draw_at(node, surface, {2, 2}, {4, 4});
    EXPECT_EQ(at(surface, 2, 2), kRed);
    EXPECT_EQ(at(surface, 4, 3), kBlue) << "the hole";
    EXPECT_EQ(at(surface, 5, 5), kRed);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(at(surface, i, 1), kBlue);
        EXPECT_EQ(at(surface, 1, i), kBlue);
        EXPECT_EQ(at(surface, i, 6), kBlue);
        EXPECT_EQ(at(surface, 6, i), kBlue);
    }
}

TEST(ImageNode, WithoutSaveAspectRatioThePictureIsSlicedIntoTheWholeRectangle) {
    // A 1-pixel blue frame around red: the frame stays 1 pixel, red stretches.
    auto rows = plain(4, 4, kRed);
    for (int i = 0; i < 4; ++i)
        rows[0][std::size_t(i)] = rows[3][std::size_t(i)] = rows[std::size_t(i)][0] =
            rows[std::size_t(i)][3] = kBlue;
    ImageSkin skin(NodeModel{});
    PictureValue framed = whole(skin.picture(u"framed", rows), 4, 4);
    framed.x[1] = framed.y[1] = 1;
    framed.x[2] = framed.y[2] = 3;
    skin.image().pictures = {{u"src", framed}};
    ImageNode& node = skin.load();

    RenderSurface surface;
    paint(surface, 10, 6, kBlack);
    draw_at(node, surface, {0, 0}, {10, 6});
    EXPECT_EQ(at(surface, 0, 0), kBlue);
    EXPECT_EQ(at(surface, 9, 5), kBlue);
    EXPECT_EQ(at(surface, 1, 1), kRed);
    EXPECT_EQ(at(surface, 8, 4), kRed);
    EXPECT_EQ(at(surface, 5, 0), kBlue);
    EXPECT_EQ(at(surface, 5, 3), kRed);
}

TEST(ImageNode, AMaskOfTheSameSizeMixesSourceAndDestination) {
    ImageSkin skin(NodeModel{});
    const auto src = skin.picture(u"white", plain(3, 2, kWhite));
    // Full weight, none, and about half (green field 32 of 63).
    const auto mask = skin.picture(u"mask", {{0xFFFF, 0x0000, 0x0400}, {0xFFFF, 0x0000, 0x0400}});
    skin.image().pictures = {{u"src", whole(src, 3, 2)}, {u"mask", whole(mask, 3, 2)}};
    skin.image().integers = {{u"alpha", 0}}; // the mask wins over the alpha
    ImageNode& node = skin.load();
    EXPECT_NE(dynamic_cast<const MaskBlender*>(node.blender()), nullptr);

    RenderSurface surface;
    paint(surface, 3, 2, kBlack);
    draw_at(node, surface, {0, 0}, {3, 2});
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(at(surface, 0, y), kWhite);
        EXPECT_EQ(at(surface, 1, y), kBlack);
        const Pixel half = at(surface, 2, y);
        const int red = half >> 11;
        EXPECT_GT(red, 10);
        EXPECT_LT(red, 22);
    }
}

TEST(ImageNode, AMaskOfAnotherSizeFallsBackToAlphaOrTheKeyColour) {
    {
        ImageSkin skin(NodeModel{});
        const auto src = skin.picture(u"white", plain(3, 2, kWhite));
        const auto mask = skin.picture(u"mask", plain(2, 2, 0xFFFF));
        skin.image().pictures = {{u"src", whole(src, 3, 2)}, {u"mask", whole(mask, 2, 2)}};
        skin.image().integers = {{u"alpha", 128}};
        ImageNode& node = skin.load();
        const auto* alpha = dynamic_cast<const AlphaBlender*>(node.blender());
        ASSERT_NE(alpha, nullptr);
        EXPECT_EQ(alpha->level(), 2);
    }
    {
        ImageSkin skin(NodeModel{});
        const auto src = skin.picture(u"white", plain(3, 2, kWhite));
        const auto mask = skin.picture(u"mask", plain(3, 3, 0xFFFF));
        skin.image().pictures = {{u"src", whole(src, 3, 2)}, {u"mask", whole(mask, 3, 3)}};
        // The "not given" value is no alpha at all.
        skin.image().integers = {{u"alpha", 0xFFFFFFFF}};
        EXPECT_EQ(skin.load().blender(), nullptr);
    }
}

TEST(ImageNode, AlphaMixesAtItsLevelAndMarkedPixelsStayOpaque) {
    ImageSkin skin(NodeModel{});
    // 0x4208: red 8, green 16, blue 8 (bit 5 clear); 0x0020 has only bit 5.
    const auto src = skin.picture(u"dim", {{0x4208, 0x0020, kKeyColour}});
    skin.image().pictures = {{u"src", whole(src, 3, 1)}};
    skin.image().integers = {{u"alpha", 128}};
    ImageNode& node = skin.load();

    RenderSurface surface;
    paint(surface, 3, 1, 0x8410);
    draw_at(node, surface, {0, 0}, {3, 1});
    // Level 2: the source plus half the destination.
    EXPECT_EQ(at(surface, 0, 0), Pixel(0x4208 + (0x8410 >> 1)));
    EXPECT_EQ(at(surface, 1, 0), Pixel(0x0020));
    EXPECT_EQ(at(surface, 2, 0), Pixel(0x8410));
}

TEST(ImageNode, GrowAsksForThePictureSize) {
    ImageSkin plain_skin(NodeModel{});
    plain_skin.image().pictures = {
        {u"src", whole(plain_skin.picture(u"p", plain(20, 10, kRed)), 20, 10)}};
    ImageNode& fixed = plain_skin.load();
    EXPECT_EQ(fixed.get_measure_x(), (Measure{0, 0})) << "without grow only the design size";
    EXPECT_EQ(fixed.get_measure_y(), (Measure{0, 0}));

    ImageSkin skin(NodeModel{});
    skin.image().pictures = {{u"src", whole(skin.picture(u"p", plain(20, 10, kRed)), 20, 10)}};
    skin.image().integers = {{u"grow", 1}};
    skin.image().points = {{u"design_size", {30, 4}}};
    ImageNode& grown = skin.load();
    EXPECT_TRUE(grown.grows());
    EXPECT_EQ(grown.get_measure_x(), (Measure{30, 30})) << "the design size is larger";
    EXPECT_EQ(grown.get_measure_y(), (Measure{10, 10}));
}

TEST(ImageNode, GrowWithSaveAspectRatioAsksForTheHeightOfTheNarrowedPicture) {
    ImageSkin skin(NodeModel{});
    skin.image().pictures = {{u"src", whole(skin.picture(u"p", plain(20, 10, kRed)), 20, 10)}};
    skin.image().integers = {{u"grow", 1}, {u"save_aspect_ratio", 1}};
    ImageNode& node = skin.load();
    node.place_x(0, 15);
    EXPECT_EQ(node.get_measure_y(), (Measure{7, 7})) << "15 x 10 / 20, truncated";

    node.place_x(0, 40);
    node.mark_layout();
    EXPECT_EQ(node.get_measure_y(), (Measure{10, 10})) << "a wider node: the picture's height";
}

TEST(ImageNode, SaveAspectRatioScalesUniformlyAndCentresLeavingTheRest) {
    ImageSkin skin(NodeModel{});
    // Left half red, right half white: the scale must keep them halves.
    skin.image().pictures = {{u"src", whole(skin.picture(u"p", {{kRed, kRed, kWhite, kWhite},
                                                                {kRed, kRed, kWhite, kWhite}}),
                                            4, 2)}};
    skin.image().integers = {{u"save_aspect_ratio", 1}};
    ImageNode& node = skin.load();
    EXPECT_TRUE(node.keeps_aspect_ratio());

    // Taller node: width decides, 8 x 4 centred vertically.
    RenderSurface tall;
    paint(tall, 8, 8, kBlue);
    draw_at(node, tall, {0, 0}, {8, 8});
    for (int x = 0; x < 8; ++x) {
        const Pixel expected = x < 4 ? kRed : kWhite;
        EXPECT_EQ(at(tall, x, 1), kBlue);
        EXPECT_EQ(at(tall, x, 2), expected) << x;
        EXPECT_EQ(at(tall, x, 5), expected) << x;
        EXPECT_EQ(at(tall, x, 6), kBlue);
    }

    // Wider node: height decides, 8 x 4 centred horizontally in 12 x 4.
    RenderSurface wide;
    paint(wide, 14, 4, kBlue);
    draw_at(node, wide, {1, 0}, {12, 4});
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(at(wide, 2, y), kBlue);
        EXPECT_EQ(at(wide, 3, y), kRed);
        EXPECT_EQ(at(wide, 6, y), kRed);
        EXPECT_EQ(at(wide, 7, y), kWhite);
        EXPECT_EQ(at(wide, 10, y), kWhite);
        EXPECT_EQ(at(wide, 11, y), kBlue);
    }

    // The picture's own size: drawn as it is.
    RenderSurface same;
    paint(same, 4, 2, kBlue);
    draw_at(node, same, {0, 0}, {4, 2});
    EXPECT_EQ(at(same, 0, 0), kRed);
    EXPECT_EQ(at(same, 3, 1), kWhite);
}

TEST(ImageNode, SaveAspectRatioScalesTheReferencedPartOfThePicture) {
    ImageSkin skin(NodeModel{});
    // The reference picks the right half (white) of a red | white picture.
    PictureValue right = whole(
        skin.picture(u"p", {{kRed, kRed, kWhite, kWhite}, {kRed, kRed, kWhite, kWhite}}), 4, 2);
    right.x[0] = right.x[1] = 2;
    skin.image().pictures = {{u"src", right}};
    skin.image().integers = {{u"save_aspect_ratio", 1}};
    ImageNode& node = skin.load();
    EXPECT_EQ(node.source_width(), 2);

    RenderSurface surface;
    paint(surface, 6, 4, kBlue);
    draw_at(node, surface, {0, 0}, {6, 4});
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(at(surface, 0, y), kBlue);
        for (int x = 1; x < 5; ++x)
            EXPECT_EQ(at(surface, x, y), kWhite) << x << "," << y;
        EXPECT_EQ(at(surface, 5, y), kBlue);
    }
}

TEST(ImageNode, AMissingPictureDrawsNothing) {
    ImageSkin skin(NodeModel{});
    ImageNode& node = skin.load();
    EXPECT_FALSE(node.picture().has_data());
    RenderSurface surface;
    paint(surface, 4, 4, kBlue);
    draw_at(node, surface, {0, 0}, {4, 4});
    EXPECT_EQ(at(surface, 1, 1), kBlue);
}
