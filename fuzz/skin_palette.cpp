// Fuzzes the skin compiler's palettes: the input is a palette file, a NUL,
// then an SVG. Any bytes parse or are refused with a PaletteError; an SVG a
// palette recolours is readable again, and recolouring with a palette that
// keeps every colour is a fixed point after the first pass.
#include "skinc/palette.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvara::skinc;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    const std::string_view palette_text = bytes.substr(0, split);
    const std::string_view svg =
        split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);

    try {
        const Palette palette = Palette::parse(palette_text, "fuzz.palette");
        const std::string ids[] = {"Main", "title"};
        palette.map({1, 2, 3}, ColourPlace{"text", ids, {}});
        palette.map({255, 255, 255}, ColourPlace{{}, {}, "icons/star"});
        const std::string out = recolour_svg(svg, palette, "icons/star");
        const Palette keep = Palette::parse("keep picture:*\n", "keep.palette");
        try {
            recolour_svg(out, keep, "icons/star");
        } catch (const PaletteError&) {
            // Only an SVG that stays readable may come out.
            std::abort();
        }
    } catch (const PaletteError&) {
    }

    const Palette keep = Palette::parse("keep picture:*\n", "keep.palette");
    try {
        const std::string once = recolour_svg(svg, keep, "icons/star");
        if (recolour_svg(once, keep, "icons/star") != once)
            std::abort();
    } catch (const PaletteError&) {
    }
    return 0;
}
