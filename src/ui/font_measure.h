#pragma once
// Measuring text in a font: the whole width, how much of it fits into a
// width, and where each character ends (what wrapping and ellipsis cut at).

#include "ui/font.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace telvara::ui {

inline constexpr std::int32_t no_width_limit = std::numeric_limits<std::int32_t>::max();

struct TextExtent {
    std::int32_t width = 0;  // pen advance over the whole text
    std::int32_t height = 0; // font height: one line
    std::int32_t fit = 0;    // code units whose end lies within the maximum width
};

// A null font or null pointer measures width 0 and height 0. A surrogate pair
// is one character: it fits whole or not at all.
TextExtent measure_text(const FontRep* font, WStringView text,
                        std::int32_t max_width = no_width_limit);

// Also fills positions with the pen position after each code unit (both units
// of a surrogate pair get the position after their glyph): never decreasing,
// the last equals the width.
TextExtent measure_text(const FontRep* font, WStringView text, std::int32_t max_width,
                        std::vector<std::int32_t>& positions);

enum class EllipsisCut { AnyCharacter, WordEnd };

// The text as drawn into max_width: itself when it fits, otherwise its longest
// fitting start followed by U+2026. WordEnd cuts after a whole word when the
// first word fits, else between characters.
WString cut_with_ellipsis(const FontRep* font, WStringView text, std::int32_t max_width,
                          EllipsisCut cut);

} // namespace telvara::ui
