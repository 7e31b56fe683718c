// Palettes: the rule file, which rule a colour meets where, SVG paints, and a
// whole skin compiled recoloured (nodes, backdrops, art, its own pictures)
// with every colour the palette leaves out refused.
#include "skinc_test_support.h"

#include "skinc/palette.h"
#include "ui/picture.h"

#include <gmock/gmock.h>

using namespace telvara;
using namespace telvara::skinc;
using namespace telvara::skinc::test;
using testing::HasSubstr;

namespace {

std::string hex(std::optional<ColorValue> colour) {
    if (!colour)
        return "unmapped";
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour->red, colour->green, colour->blue);
    return text;
}

ColorValue rgb(std::uint32_t value) {
    return {std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)};
}

std::string palette_error(const std::string& text) {
    return error_of([&] { Palette::parse(text, "p.palette"); });
}

ui::Pixel first_pixel(const std::string& bmp_without_extension) {
    return pixels_of(bmp_without_extension).at(0);
}

const char* const kRules = R"(# light to dark
#FFFFFF #111417          # background
#fff    #EEEEEE  type:text in:Notice
#1a73e8 #5EA2FF
#1A73E8 #FFFF00  picture:icons/*
#1A1F24 #E9ECEF
keep in:Call*
keep picture:call/*
)";

} // namespace

TEST(Palette, MapsEachColourByTheFirstRuleThatHoldsWhereItIsUsed) {
    const Palette palette = Palette::parse(kRules, "p.palette");
    const std::vector<std::string> in_notice = {"Notice", "txtNotice"};
    const std::vector<std::string> in_call = {"CallForm", "status"};
    const std::vector<std::string> in_main = {"Main", "title"};
    const struct {
        std::uint32_t colour;
        ColourPlace place;
        const char* wanted;
    } cases[] = {
        // Plain rules, hex digits and the short form in either case.
        {0xFFFFFF, {"color", in_main, ""}, "#111417"},
        {0x1A73E8, {"text", in_main, ""}, "#5EA2FF"},
        // A condition narrows: the text of the notice only, not its colour node.
        {0xFFFFFF, {"text", in_notice, ""}, "#EEEEEE"},
        {0xFFFFFF, {"color", in_notice, ""}, "#111417"},
        {0xFFFFFF, {"text", in_main, ""}, "#111417"},
        // Pictures: the glob picks the art, and a node is never a picture.
        {0x1A73E8, {"", {}, "icons/star"}, "#FFFF00"},
        {0x1A73E8, {"", {}, "shapes/fab"}, "#5EA2FF"},
        // Kept: any colour, named or not, under the node or of the picture.
        {0x123456, {"text", in_call, ""}, "#123456"},
        {0xFFFFFF, {"color", in_call, ""}, "#FFFFFF"},
        {0xABCDEF, {"", {}, "call/answer"}, "#ABCDEF"},
        // Named nowhere.
        {0x123456, {"text", in_main, ""}, "unmapped"},
        {0x000000, {"", {}, "icons/star"}, "unmapped"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hex(palette.map(rgb(c.colour), c.place)), c.wanted)
            << std::hex << c.colour << " at " << c.place.type << " " << c.place.picture;
}

TEST(Palette, RuleFileErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"#FFFFFF\n", "p.palette:1: a rule is \"FROM TO [WHERE...]\""},
        {"\n# fine\nFFFFFF #000\n", "p.palette:3: \"FFFFFF\" is not a colour"},
        {"#GGGGGG #000\n", "p.palette:1: \"#GGGGGG\" is not a colour"},
        {"#FFFF #000\n", "is not a colour"},
        {"#FFF #000 where:Main\n", "\"where:Main\" is not a condition"},
        {"#FFF #000 in:\n", "\"in:\" needs a pattern"},
        {"keep\n", "p.palette:1: \"keep\" needs where"},
        {"keep # nothing\n", "\"keep\" needs where"},
        {"#FFF #000\n#ffffff #111\n", "p.palette:2: #FFFFFF is mapped twice (also on line 1)"},
    };
    for (const auto& [text, message] : cases)
        EXPECT_THAT(palette_error(text), HasSubstr(message)) << text;
    // The same colour twice with conditions is fine: the first that holds wins.
    EXPECT_EQ(palette_error("#FFF #000 in:A\n#FFF #111 in:A\n#FFF #222\n"), "");
}

TEST(Palette, RecoloursSvgPaintsAndLeavesTheRestAlone) {
    const Palette palette = Palette::parse("#FFFFFF #111417\n#1A73E8 #5EA2FF\n", "p.palette");
    const std::pair<const char*, const char*> cases[] = {
        {R"(<rect fill="#FFFFFF"/>)", R"(<rect fill="#111417"/>)"},
        {R"(<rect fill="#fff" stroke="#1a73e8"/>)", R"(<rect fill="#111417" stroke="#5EA2FF"/>)"},
        {R"(<stop stop-color=" #FFF "/>)", R"(<stop stop-color="#111417"/>)"},
        {R"(<rect style="fill:#fff;stroke-width:2; stroke: #1A73E8"/>)",
         R"(<rect style="fill:#111417;stroke-width:2; stroke:#5EA2FF"/>)"},
        {R"(<g color="#FFFFFF"><rect fill="currentColor"/></g>)",
         R"(<g color="#111417"><rect fill="currentColor"/></g>)"},
        // References to ids that look like hex are not colours; a fallback is.
        {R"x(<rect fill="url(#add)" stroke="url(#fab) #fff" clip-path="url(#bad)"/>)x",
         R"x(<rect fill="url(#add)" stroke="url(#fab) #111417" clip-path="url(#bad)"/>)x"},
        {R"(<rect fill="none" stroke="inherit" id="fff"/>)",
         R"(<rect fill="none" stroke="inherit" id="fff"/>)"},
    };
    for (const auto& [element, wanted] : cases)
        EXPECT_THAT(recolour_svg(std::string("<svg>") + element + "</svg>", palette, "icons/x"),
                    HasSubstr(wanted))
            << element;
}

TEST(Palette, RefusesSvgPaintsItCannotMap) {
    const Palette palette = Palette::parse("#FFFFFF #111417\n", "p.palette");
    const std::pair<const char*, const char*> cases[] = {
        {R"(<svg><rect fill="#FFFFFF" stroke="#1A73E8"/></svg>)",
         "colour #1A73E8 (stroke) is not in the palette p.palette"},
        {R"(<svg><g><rect style="fill:#000"/></g></svg>)", "colour #000000 (fill)"},
        {R"(<svg><rect fill="white"/></svg>)", "fill \"white\": write the colour as #RRGGBB"},
        {R"x(<svg><rect fill="rgb(255,255,255)"/></svg>)x", "write the colour as #RRGGBB"},
        {R"(<svg><rect fill="#FFFF"/></svg>)", "is not a colour"},
        {R"(<svg><style>rect { fill: #fff }</style></svg>)", "a <style> sheet"},
        {R"(<svg><rect fill="#FFF")", "not a readable SVG"},
    };
    for (const auto& [svg, message] : cases) {
        const char* text = svg; // a binding clang cannot capture
        EXPECT_THAT(error_of([&] { recolour_svg(text, palette, "icons/x"); }), HasSubstr(message))
            << svg;
    }
}

namespace {

// A light skin with a node colour, a text colour, a backdrop and SVG art,
// and a palette beside it in its own folder.
struct RecolouredSkin {
    SourceFolder folder;
    std::string source;
    RecolouredSkin() {
        folder.write("art/dot.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="2" height="2">
<rect width="2" height="2" fill="#1A73E8"/></svg>)");
        folder.write("art/disc.svg",
                     R"(<svg xmlns="http://www.w3.org/2000/svg" width="2" height="2">
<rect width="2" height="2" fill="#FFF"/></svg>)");
        source = folder.write_skin(R"(
  <picture name="disc" transparency="backdrop" backdrop="#ffffff" dither="0"/>
  <picture name="dot" dither="0"/>
  <node id="Main" outside_color="#FFFFFF">
    <color id="back" color="#FFFFFF"/>
    <text id="title" color="#1A1F24"/>
    <image id="i" src="dot"/>
    <image id="d" src="disc"/>
  </node>
)",
                                   "light");
    }
    CompileResult compile(const std::string& palette_text) const {
        CompileOptions options;
        options.source = source;
        options.out_dir = folder.out();
        options.palette = folder.write("night/night.palette", palette_text);
        return compile_skin(options);
    }
    std::string error(const std::string& palette_text) const {
        return error_of([&] { compile(palette_text); });
    }
};

constexpr const char* kNight = "#FFFFFF #000000\n#1A1F24 #EEEEEE\n#1A73E8 #00FF00\n";

} // namespace

TEST(PaletteSkin, RefusesEveryColourThePaletteLeavesOut) {
    const std::pair<const char*, const char*> cases[] = {
        // The node's colour, named with where it is.
        {"#FFFFFF #000000 picture:*\n#1A1F24 #EEEEEE\n#1A73E8 #00FF00\n",
         "light.xml:5: colour #FFFFFF (outside_color of node \"Main\" in Main) is not in the "
         "palette"},
        {"#FFFFFF #000000\n#1A73E8 #00FF00\n", "colour #1A1F24 (color of text \"title\" in "
                                               "Main/title)"},
        // A backdrop, once the nodes are mapped: here only node colours are.
        {"#FFFFFF #000000 in:Main\n#1A1F24 #EEEEEE\n#1A73E8 #00FF00\n",
         "light.xml:3: backdrop #FFFFFF of picture \"disc\" is not in the palette"},
        // An SVG's colour.
        {"#FFFFFF #000000\n#1A1F24 #EEEEEE\n", "dot.svg: colour #1A73E8 (fill) is not in the "
                                               "palette"},
        {"#FFFFFF #000000\n#1A1F24 #EEEEEE\n#1A73E8 #00FF00 picture:disc\n", "dot.svg"},
    };
    for (const auto& [palette, message] : cases) {
        RecolouredSkin light;
        EXPECT_THAT(light.error(palette), HasSubstr(message)) << palette;
        EXPECT_FALSE(std::filesystem::exists(light.folder.out() + "/night")) << palette;
        EXPECT_FALSE(std::filesystem::exists(light.folder.out() + "/night.skin")) << palette;
    }
}

TEST(PaletteSkin, PngArtNeedsThePalettesOwnPictureWhichIsNeverRecoloured) {
    RecolouredSkin light;
    light.folder.write_png("photo", 1, 1, {{10, 20, 30, 255}});
    light.source = light.folder.write_skin(
        "<node id=\"Main\"><image id=\"p\" src=\"photo\"/></node>\n", "light");
    EXPECT_THAT(light.error(kNight), HasSubstr("picture \"photo\" is a PNG"));
    // The skin's own art takes the source's place as it is, never recoloured.
    light.folder.write("night/art/photo.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="1"
height="1"><rect width="1" height="1" fill="#0000FF"/></svg>)");
    EXPECT_EQ(light.compile(kNight).skin_file, light.folder.out() + "/night.skin");
    EXPECT_EQ(first_pixel(light.folder.out() + "/night/photo"), ui::to_565(0, 0, 255));
}
