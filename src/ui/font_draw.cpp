// Text drawing: each glyph's coverage rows, clipped once per glyph, are
// blended into the surface rows in 5-6-5 per channel with a 5-bit weight.
#include "ui/font_draw.h"

#include "ui/font_text.h"
#include "ui/render_surface.h"

#include <algorithm>

namespace telvara::ui {

namespace {

// The three fields of a 5-6-5 pixel spread apart so that one 32-bit multiply
// weights all of them: green moves to bits 21-26, red and blue stay.
constexpr std::uint32_t spread_mask = 0x07E0F81F;

inline std::uint32_t spread(Pixel pixel) {
    return (pixel | (std::uint32_t{pixel} << 16)) & spread_mask;
}

// One coverage row into one surface row.
inline void blend_row(Pixel* dst, const std::uint8_t* coverage, std::int32_t count,
                      std::uint32_t spread_colour, Pixel solid) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t a = coverage[i];
        if (a == 0)
            continue;
        if (a == 255) {
            dst[i] = solid;
            continue;
        }
        const std::uint32_t weight = (a + 4) >> 3; // 0-32
        const std::uint32_t d = spread(dst[i]);
        const std::uint32_t mixed = ((((spread_colour - d) * weight) >> 5) + d) & spread_mask;
        dst[i] = static_cast<Pixel>(mixed | (mixed >> 16));
    }
}

void fill_rect(RenderSurface& surface, const Rect& rect, Pixel solid) {
    for (std::int32_t y = rect.top; y < rect.bottom; ++y)
        std::fill_n(surface.row(y) + rect.left, rect.width(), solid);
}

} // namespace

std::int32_t draw_text(RenderSurface& surface, std::int32_t x, std::int32_t y, const FontRep* font,
                       WStringView text, Colour colour) {
    if (!font || font->is_null() || text.empty())
        return x;
    const Rect clip = surface.clip().intersect({0, 0, surface.width(), surface.height()});
    const Pixel solid = to_565(colour);
    const std::uint32_t spread_colour = spread(solid);
    const std::int32_t baseline = y + font->ascent();
    // Glyphs may reach left of their pen position, but never by a whole line
    // height: past that, nothing more can land inside the clip.
    const std::int32_t pen_limit = clip.right + font->height();
    const bool visible_rows = !clip.is_empty() && y < clip.bottom && y + font->height() > clip.top;

    FontRep::Access glyphs(*font);
    std::int32_t pen = x;
    const Glyph* previous = nullptr;
    for (CodePointReader reader(text); !reader.done() && pen < pen_limit;) {
        const Glyph& glyph = glyphs.glyph(reader.next());
        if (previous)
            pen = std::max(pen, pen + glyphs.kerning(*previous, glyph));
        previous = &glyph;
        if (visible_rows && glyph.width > 0) {
            const std::int32_t gx = pen + glyph.left;
            const std::int32_t gy = baseline - glyph.top;
            const Rect area = Rect{gx, gy, gx + glyph.width, gy + glyph.rows}.intersect(clip);
            if (!area.is_empty()) {
                const std::uint8_t* coverage =
                    glyph.coverage.data() + (area.top - gy) * glyph.width + (area.left - gx);
                for (std::int32_t row = area.top; row < area.bottom; ++row) {
                    blend_row(surface.row(row) + area.left, coverage, area.width(), spread_colour,
                              solid);
                    coverage += glyph.width;
                }
            }
        }
        pen += glyph.advance;
    }

    if (font->description().underline && visible_rows && pen > x) {
        const std::int32_t top = y + font->underline_offset();
        fill_rect(surface, Rect{x, top, pen, top + font->underline_thickness()}.intersect(clip),
                  solid);
    }
    return pen;
}

} // namespace telvara::ui
