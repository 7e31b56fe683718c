// Image nodes as a skin uses them (grow measures, pictures that keep their
// proportions) and 16-bit BMP decoding.
#include "skin_test_support.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/image_node.h"
#include "ui/picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using skinc::NodeModel;
using skinc::PictureValue;
using telvara::ui::test::bmp_bytes;
using telvara::ui::test::PixelRows;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr Pixel R = 0xF800; // red
constexpr Pixel B = 0x001F; // blue
constexpr Pixel W = 0xFFDF; // white with bit 5 clear: blended, not copied as it is

PictureValue whole(std::uint32_t index, std::uint16_t width, std::uint16_t height) {
    PictureValue value;
    value.picture = index;
    value.x[2] = value.x[3] = width;
    value.y[2] = value.y[3] = height;
    return value;
}

// A skin whose "form" holds one image node; the pictures are written as files beside it.
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

const PixelRows kRows = {{0x0001, 0x0002, 0x0003}, {0x1001, 0x1002, 0x1003}};

std::optional<PixelBuffer> decode(const Bytes& file) {
    return decode_bmp565(std::as_bytes(std::span(file)));
}

PixelRows rows_of(const PixelBuffer& buffer) {
    PixelRows rows;
    for (std::int32_t y = 0; y < buffer.height(); ++y)
        rows.emplace_back(buffer.row(y), buffer.row(y) + buffer.width());
    return rows;
}

Bytes with(Bytes file, std::size_t at, std::uint32_t value, std::size_t at2 = 0,
           std::uint32_t value2 = 0) {
    for (int i = 0; i < 4; ++i) {
        file[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
        if (at2)
            file[at2 + std::size_t(i)] = std::uint8_t(value2 >> (8 * i));
    }
    return file;
}

TEST(Bmp, BottomUpAndTopDownGiveTheSamePicture) {
    const Bytes bottom_up = bmp_bytes(kRows);
    EXPECT_EQ(bottom_up[54], 0x01) << "the first stored row is the bottom one";
    EXPECT_EQ(bottom_up[55], 0x10);
    for (const Bytes& file : {bottom_up, bmp_bytes(kRows, 16, true), with(bottom_up, 30, 3)}) {
        auto decoded = decode(file); // compression and masks (30: BI_BITFIELDS) are ignored
        ASSERT_TRUE(decoded);
        EXPECT_EQ(rows_of(*decoded), kRows);
    }
    Bytes short_padding = bmp_bytes(kRows, 16, true);
    short_padding.resize(short_padding.size() - 2); // width 3: 6 bytes of pixels, 2 of padding
    EXPECT_TRUE(decode(short_padding)) << "the last row may lack its padding";
    short_padding.pop_back();
    EXPECT_FALSE(decode(short_padding)) << "one pixel byte short";
}

TEST(Bmp, RejectsEveryMalformedHeader) {
    const Bytes good = bmp_bytes(kRows);
    Bytes no_magic = good;
    no_magic[0] = 'X';
    const struct {
        Bytes file;
        const char* what;
    } cases[] = {
        {bmp_bytes(kRows, 24), "not 16 bits"},
        {bmp_bytes(kRows, 8), "8 bits"},
        {Bytes(good.begin(), good.begin() + 53), "truncated header"},
        {Bytes{}, "empty file"},
        {no_magic, "no magic"},
        {with(good, 14, 12), "core header"},
        {with(good, 18, 0), "zero width"},
        {with(good, 18, std::uint32_t(-3)), "negative width"},
        {with(good, 18, 0x7FFFFFFF), "huge width"},
        {with(good, 22, 0), "zero height"},
        {with(good, 22, std::uint32_t(INT_MIN)), "height INT_MIN"},
        {with(good, 22, 5000), "rows beyond the data"},
        {with(good, 18, 5000), "row wider than the data"},
        {with(good, 10, 0xFFFFFFF0), "pixel offset beyond the file"},
        {with(good, 10, 20), "pixel offset inside the headers"},
        {with(good, 18, 4096, 22, 4096), "within the pixel cap but not in the file"},
        {with(good, 18, 8192, 22, std::uint32_t(-4096)), "beyond the pixel cap"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decode(c.file)) << c.what;
}
