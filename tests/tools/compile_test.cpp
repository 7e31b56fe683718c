// Compiling skins: source to binary round trips, pictures pixel by pixel through the program's BMP
// reader, errors and the command line (both scales: the shipped skins, drawn at both densities).
#include "skinc_test_support.h"

#include "skinc/dump.h"
#include "ui/picture.h"
#include "ui/properties.h"

#include <gmock/gmock.h>

#include <regex>
#include <sstream>

using namespace telvara;
using namespace telvara::skinc;
using namespace telvara::skinc::test;
using testing::HasSubstr;

namespace {

// The dump's body without its header, index and " @0x1f3a" offsets, which move with every change
// of the file's layout.
std::string dump_body(const std::string& skin_file) {
    std::ostringstream out;
    std::string error;
    EXPECT_TRUE(dump_skin(skin_file, out, &error)) << error;
    std::istringstream lines(out.str());
    std::string line, body;
    for (std::getline(lines, line); std::getline(lines, line);)
        if (!line.starts_with("index_root"))
            body += std::regex_replace(line, std::regex(" @0x[0-9a-f]+"), "") + "\n";
    return body;
}

using Rgba = std::array<std::uint8_t, 4>;
// Opaque red, transparent, half-transparent blue, opaque magenta (the key
// colour), half-transparent green whose 565 form has the lowest green bit.
const std::vector<Rgba> kEdgePixels = {
    {255, 0, 0, 255}, {0, 0, 0, 0}, {0, 0, 255, 128}, {255, 0, 255, 255}, {0, 4, 0, 128}};

} // namespace

// Strings, fonts and pictures are stored once; a picture without a slice covers its art.
TEST(SkinCompiler, SourceToSkinToDumpRoundTrip) {
    SourceFolder folder;
    folder.write_png("dot", 2, 2, {{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}});
    const std::string source = folder.write_skin(R"(
  <node id="Main" design_size="240 320" cache="1" outside_color="#102030">
    <text id="t" text="Hello" font="12  1 0 0  Tahoma" color="1 2 3" halign="RIGHT"/>
    <image id="i" src="dot" src.slice="1 1 1 1" src.flag="3" alpha="0x80"/>
    <image id="w" src="dot"/>
    <prop name="custom" kind="integer" value="-1"/>
  </node>
  <text id="Alpha" text="Hello" font="12 1 0 0 Tahoma"/>
)");
    const CompileResult result = folder.compile(source);
    EXPECT_EQ(result.skin_file, folder.out() + "/test.skin");
    const auto golden = file_bytes(TELVARA_TOOLS_TEST_DATA "/round_trip.dump");
    EXPECT_EQ(dump_body(result.skin_file), std::string(golden.begin(), golden.end()));
}

// Each row: a picture's description, the image using it and the pixels it compiles to.
TEST(SkinCompiler, TransparencyKindsGiveTheirPixels) {
    using P = std::vector<ui::Pixel>;
    constexpr ui::Pixel key = ui::kKeyColour;
    const struct {
        const char* picture;
        const char* image_attributes;
        P pixels;
        std::vector<Rgba> png = kEdgePixels;
    } rows[] = {
        // Half transparency reaches the default threshold 128: opaque. The opaque magenta is
        // nudged off the key colour.
        {"dither=\"false\"", "", P{0xF800, key, 0x001F, 0xF83F, 0x0020}},
        {"dither=\"0\" threshold=\"200\"", "", P{0xF800, key, key, 0xF83F, key}},
        // Half blue over white: (127, 127, 255); half dark green: (127, 129, 127).
        {"transparency=\"backdrop\" backdrop=\"#FFFFFF\" dither=\"0\"", "",
         P{0xF800, key, ui::to_565(127, 127, 255), 0xF83F, ui::to_565(127, 129, 127)}},
        // A constant alpha: no opaque mark (lowest green bit) on any pixel.
        {"dither=\"0\"", "alpha=\"128\"", P{0x0000, 0xF01F}, {{0, 4, 0, 255}, {255, 0, 255, 255}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.picture);
        SourceFolder folder;
        folder.write_png("edge", int(row.png.size()), 1, row.png);
        folder.compile(folder.write_skin(std::string("<picture name=\"edge\" ") + row.picture +
                                         "/>\n<image id=\"I\" src=\"edge\" " +
                                         row.image_attributes + "/>\n"));
        EXPECT_EQ(pixels_of(folder.out() + "/test/edge"), row.pixels);
    }
}

TEST(SkinCompiler, MaskTransparencyWritesAGreyMaskAndClearsTheOpaqueMark) {
    SourceFolder folder;
    folder.write_png("edge", 5, 1, kEdgePixels);
    const CompileResult result = folder.compile(
        folder.write_skin("<picture name=\"edge\" transparency=\"mask\" dither=\"0\"/>\n"
                          "<image id=\"I\" src=\"edge\" src.slice=\"1 0 1 0\"/>\n"));
    // Partly transparent pixels lose the lowest green bit, which would make
    // the mask blender copy them opaque.
    EXPECT_EQ(pixels_of(folder.out() + "/test/edge"),
              (std::vector<ui::Pixel>{0xF800, ui::kKeyColour, 0x001F, 0xF83F, 0x0000}));
    EXPECT_EQ(pixels_of(folder.out() + "/test/edge.mask"),
              (std::vector<ui::Pixel>{0xFFFF, 0x0000, 0x8410, 0xFFFF, 0x8410}));
    // The image got the mask with the same slice without naming it.
    ui::PropertiesImpl skin(file_bytes(result.skin_file), folder.out() + "/", u"test.skin", 0);
    ASSERT_TRUE(skin.is_loaded()) << skin.load_error();
    const ui::NodeRecord image = skin.find_node(u"I");
    const auto src = skin.read_picture_ref(image, u"src");
    const auto mask = skin.read_picture_ref(image, u"mask");
    ASSERT_TRUE(src && mask);
    EXPECT_EQ(skin.picture_name(mask->picture), u"test/edge.mask");
    EXPECT_EQ(std::tie(mask->x[1], mask->x[2]), std::tuple(1, 4));
    EXPECT_EQ(skin.picture(mask->picture).width, skin.picture(src->picture).width);
}

TEST(SkinCompiler, RenamedPicturesDoNotLinger) {
    SourceFolder folder;
    folder.write_png("a", 1, 1, {{0, 0, 0, 255}});
    folder.write_png("b", 1, 1, {{0, 0, 0, 255}});
    folder.compile(folder.write_skin("<image id=\"I\" src=\"a\"/>\n"));
    EXPECT_TRUE(std::filesystem::exists(folder.out() + "/test/a.bmp"));
    folder.compile(folder.write_skin("<image id=\"I\" src=\"b\"/>\n"));
    EXPECT_FALSE(std::filesystem::exists(folder.out() + "/test/a.bmp"));
    EXPECT_TRUE(std::filesystem::exists(folder.out() + "/test/b.bmp"));
}

TEST(SkinCompiler, PictureErrorsNameTheUse) {
    const std::pair<const char*, const char*> cases[] = {
        {"<node id=\"N\">\n<image src=\"missing\"/></node>\n",
         "test.xml:3: picture \"missing\" has no source"},
        {"<image id=\"I\" src=\"both\"/>\n", "has both"},
        {"<picture name=\"p\"/>\n<image id=\"I\" src=\"p\"/>\n<picture name=\"unused\"/>\n",
         "test.xml:4: picture \"unused\" is described but no node uses it"},
        {"<image id=\"I\" src=\"p\" mask=\"p#mask\"/>\n", "needs <picture name=\"p\" "
                                                          "transparency=\"mask\"/>"},
        {"<image id=\"I\" src=\"p\" src.slice=\"2 0 2 0\"/>\n", "slice insets are larger"},
        {"<image id=\"I\" src=\"p\" src.slice=\"0 0 1 1 2 2 4 4\"/>\n", "slice reaches beyond"},
        {"<image id=\"I\" src=\"bad\"/>\n", "not a readable PNG"},
    };
    for (const auto& [body, message] : cases) {
        SourceFolder folder;
        folder.write_png("p", 3, 3, std::vector<Rgba>(9, Rgba{0, 0, 0, 255}));
        folder.write_png("both", 1, 1, {{0, 0, 0, 255}});
        folder.write("art/both.svg", "<svg width=\"1\" height=\"1\"/>");
        folder.write("art/bad.png", "not a png");
        const std::string skin = folder.write_skin(body);
        const std::string error = error_of([&] { folder.compile(skin); });
        EXPECT_THAT(error, HasSubstr(message)) << body;
        EXPECT_FALSE(std::filesystem::exists(folder.out() + "/test.skin")) << body;
    }
}

TEST(SkinCompiler, CommandLineExitsNonZeroWithTheLocation) {
    SourceFolder folder;
    const std::string source = folder.write_skin("<node id=\"N\"\n speed=\"1\"/>\n");
    const std::string out = folder.out();
    const std::vector<std::string> args = {source, "-o", out, "--scale-shift", "1"};
    std::string err;
    EXPECT_EQ(run_skinc(args, &err), 1);
    EXPECT_THAT(err, HasSubstr(source + ":3: unknown property \"speed\""));
    EXPECT_EQ(run_skinc({source, "--scale-shift", "9", "-o", out}), 2);
    EXPECT_EQ(run_skinc({source, "-o", out, "--palette"}), 2);
    folder.write_skin("<node id=\"N\" cache=\"1\"/>\n");
    EXPECT_EQ(run_skinc(args), 0);
    EXPECT_TRUE(std::filesystem::exists(out + "/test.skin"));
}
