// Text measuring: walks the text's glyphs once under the font's lock, adding
// advances and kerning.
#include "ui/font_measure.h"

#include "ui/font_text.h"

#include <algorithm>

namespace telvara::ui {

namespace {

// positions may be null: the plain measure needs none.
TextExtent measure(const FontRep* font, WStringView text, std::int32_t max_width,
                   std::vector<std::int32_t>* positions) {
    TextExtent extent;
    if (positions)
        positions->assign(text.size(), 0);
    if (!font || font->is_null()) {
        extent.fit = max_width >= 0 ? static_cast<std::int32_t>(text.size()) : 0;
        return extent;
    }
    extent.height = font->height();

    FontRep::Access glyphs(*font);
    std::int32_t pen = 0;
    bool fitting = max_width >= 0;
    const Glyph* previous = nullptr;
    for (CodePointReader reader(text); !reader.done();) {
        const std::size_t start = reader.offset();
        const Glyph& glyph = glyphs.glyph(reader.next());
        const std::int32_t kern = previous ? glyphs.kerning(*previous, glyph) : 0;
        // Kerning never moves the pen back behind the previous character end.
        pen = std::max(pen, pen + kern + glyph.advance);
        previous = &glyph;
        if (fitting && pen > max_width)
            fitting = false;
        if (fitting)
            extent.fit = static_cast<std::int32_t>(reader.offset());
        if (positions)
            std::fill(positions->begin() + static_cast<std::ptrdiff_t>(start),
                      positions->begin() + static_cast<std::ptrdiff_t>(reader.offset()), pen);
    }
    extent.width = pen;
    return extent;
}

bool is_break(char16_t c) {
    return c <= u' ' || c == u'\u200B';
}

} // namespace

TextExtent measure_text(const FontRep* font, WStringView text, std::int32_t max_width) {
    return measure(font, text, max_width, nullptr);
}

TextExtent measure_text(const FontRep* font, WStringView text, std::int32_t max_width,
                        std::vector<std::int32_t>& positions) {
    return measure(font, text, max_width, &positions);
}

WString cut_with_ellipsis(const FontRep* font, WStringView text, std::int32_t max_width,
                          EllipsisCut cut) {
    std::vector<std::int32_t> positions;
    const TextExtent whole = measure(font, text, max_width, &positions);
    if (whole.width <= max_width)
        return WString(text);

    const std::int32_t ellipsis = measure(font, u"\u2026", no_width_limit, nullptr).width;
    const std::int32_t room = max_width - ellipsis;
    std::size_t keep = 0;
    while (keep < text.size() && positions[keep] <= room)
        ++keep;
    // A pair's units share a position: never keep only the high half.
    if (keep > 0 && keep < text.size() && text[keep - 1] >= 0xD800 && text[keep - 1] < 0xDC00)
        --keep;

    if (cut == EllipsisCut::WordEnd && keep < text.size() && !is_break(text[keep])) {
        std::size_t word_end = keep;
        while (word_end > 0 && !is_break(text[word_end - 1]))
            --word_end;
        if (word_end > 0)
            keep = word_end;
    }
    while (keep > 0 && is_break(text[keep - 1]))
        --keep;
    return WString(text.substr(0, keep)) + u"\u2026";
}

} // namespace telvara::ui
