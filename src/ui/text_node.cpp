// The "text" node: skin properties, cached extent and lines, measures and the
// line-by-line drawing with highlights, links and ellipsis.
#include "ui/text_node.h"

#include "ui/drawing.h"
#include "ui/font.h"
#include "ui/font_cache.h"
#include "ui/font_draw.h"
#include "ui/font_measure.h"
#include "ui/properties.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <atomic>

namespace telvara::ui {

namespace {

std::atomic<std::int64_t> live_text_nodes{0};

constexpr WStringView kEllipsis = u"\u2026";

} // namespace

FontHandle default_text_font(unsigned scale_shift) {
    FontDescription description;
    description.size = 10;
    description.scale_factor = 1 << std::min(scale_shift, kMaxScaleShift);
    description.face = u"Tahoma";
    return font_for(description);
}

TextNode::TextNode() {
    ++live_text_nodes;
}

TextNode::~TextNode() {
    --live_text_nodes;
}

std::int64_t TextNode::live_count() {
    return live_text_nodes.load();
}

// --- Content -------------------------------------------------------------------

void TextNode::load(const Properties& skin, NodeRecord record) {
    Node::load(skin, record);
    // The skin may hold the text itself or a key of the language file.
    replace_text(skin.translate(skin.read_string(record, u"text", u"")));
    m_highlights.clear();
    // A skin without a "font" gets the default; a font entry the loader kept
    // as a null handle (a skin read without fonts) stays null.
    if (skin.impl().read_font_index(record, u"font"))
        m_font = skin.read_font(record, u"font", nullptr);
    else
        m_font = default_text_font(skin.scale_shift());
    m_grow = skin.read_int(record, u"grow", 0) != 0;
    m_grow_min = skin.read_int(record, u"grow_min", 0) != 0;
    m_wrap = skin.read_int(record, u"wrap", 0) != 0;
    const auto ellipsis = skin.read_int(record, u"ellipsis", 0);
    m_ellipsis = ellipsis == 2 ? Ellipsis::Middle : ellipsis != 0 ? Ellipsis::End : Ellipsis::None;
    m_shrink_to =
        std::max<std::int32_t>(0, static_cast<std::int32_t>(skin.read_int(record, u"shrink", 0)));
    m_shown_font = m_font;
    m_fit_width = -1;
    m_colour = skin.read_colour(record, u"color", Colour{});
    m_halign = parse_halign(skin.read_string(record, u"halign", u"")).value_or(HAlign::Center);
    m_valign = parse_valign(skin.read_string(record, u"valign", u"")).value_or(VAlign::VCenter);
    m_extent = {-1, -1};
    m_lines_stale = true;
}

void TextNode::replace_text(WString text) {
    m_text = std::move(text);
    ++m_text_version;
    m_extent = {-1, -1};
    m_lines_stale = true;
}

void TextNode::set_text(WString text) {
    if (text == m_text)
        return;
    replace_text(std::move(text));
    // Only a growing node's measures follow its text.
    if (m_grow)
        mark_layout();
    mark_redraw();
}

void TextNode::set_color(Colour colour) {
    if (colour == m_colour)
        return;
    m_colour = colour;
    mark_redraw();
}

void TextNode::set_font(FontHandle font) {
    if (font == m_font)
        return;
    m_font = std::move(font);
    m_shown_font = m_font;
    m_fit_width = -1;
    m_extent = {-1, -1};
    m_lines_stale = true;
    if (m_grow)
        mark_layout();
    mark_redraw();
}

void TextNode::set_highlight(WStringView pattern) {
    m_highlights = find_highlights(m_text, pattern);
    mark_redraw();
}

void TextNode::set_halign(HAlign align) {
    if (align == m_halign)
        return;
    m_halign = align;
    mark_redraw();
}

void TextNode::set_valign(VAlign align) {
    if (align == m_valign)
        return;
    m_valign = align;
    mark_redraw();
}

void TextNode::set_grow(bool grow, bool grow_min) {
    if (grow == m_grow && grow_min == m_grow_min)
        return;
    m_grow = grow;
    m_grow_min = grow_min;
    mark_layout();
    mark_redraw();
}

void TextNode::set_wrap(bool wrap) {
    if (wrap == m_wrap)
        return;
    m_wrap = wrap;
    m_lines_stale = true;
    if (m_grow)
        mark_layout();
    mark_redraw();
}

void TextNode::set_ellipsis(bool ellipsis) {
    set_ellipsis(ellipsis ? Ellipsis::End : Ellipsis::None);
}

void TextNode::set_ellipsis(Ellipsis mode) {
    if (mode == m_ellipsis)
        return;
    m_ellipsis = mode;
    mark_redraw();
}

void TextNode::set_shrink_to(std::int32_t size) {
    size = std::max(0, size);
    if (size == m_shrink_to)
        return;
    m_shrink_to = size;
    m_fit_width = -1;
    mark_redraw();
}

const FontHandle& TextNode::shown_font() {
    // A node that grows with its text, or wraps it, never needs a smaller font.
    if (m_shrink_to <= 0 || m_wrap || m_grow)
        return m_font;
    if (width() != m_fit_width || m_text_version != m_fit_version)
        fit_font();
    return m_shown_font;
}

void TextNode::fit_font() {
    m_fit_width = width();
    m_fit_version = m_text_version;
    FontHandle fitted = m_font;
    if (m_font && !m_font->is_null() && measure_text(m_font.get(), m_text).width > m_fit_width) {
        FontDescription description = m_font->description();
        for (std::int32_t size = description.size - 1; size >= m_shrink_to; --size) {
            description.size = size;
            fitted = font_for(description);
            if (fitted && measure_text(fitted.get(), m_text).width <= m_fit_width)
                break;
        }
    }
    if (fitted == m_shown_font)
        return;
    m_shown_font = std::move(fitted);
    m_extent = {-1, -1};
    m_lines_stale = true;
}

void TextNode::set_highlight_color(Colour colour) {
    if (colour == m_highlight_colour)
        return;
    m_highlight_colour = colour;
    mark_redraw();
}

// --- Extent and lines ----------------------------------------------------------

void TextNode::measure_extent() {
    const FontRep* font = shown_font().get();
    const TextExtent extent = measure_text(font, m_text, no_width_limit, m_positions);
    m_extent = {extent.width, extent.height};
    m_ellipsis_width = measure_text(font, kEllipsis).width;
}

Size TextNode::text_extent() {
    shown_font(); // a new width may want another size
    if (m_extent.width < 0)
        measure_extent();
    return m_extent;
}

PenPositions TextNode::positions() {
    text_extent();
    return m_positions;
}

std::int32_t TextNode::line_height() {
    return text_extent().height;
}

std::int32_t TextNode::ellipsis_width() {
    text_extent();
    return m_ellipsis_width;
}

void TextNode::wrap_lines() {
    m_wrap_width = width();
    break_lines(m_text, positions(), m_wrap ? WrapMode::Words : WrapMode::None, m_wrap_width,
                m_lines);
    m_lines_stale = false;
}

const std::vector<TextLine>& TextNode::lines() {
    text_extent();
    if (m_extent.width < 0 || (m_wrap && width() != m_wrap_width))
        m_lines_stale = true;
    if (m_lines_stale)
        wrap_lines();
    return m_lines;
}

// --- Measure -------------------------------------------------------------------

void TextNode::measure_x(Measure& measure) {
    Node::measure_x(measure);
    if (!m_grow)
        return;
    const std::int32_t text_width = text_extent().width;
    measure.preferred = std::max(measure.preferred, text_width);
    if (m_grow_min)
        measure.minimum = std::max(measure.minimum, text_width);
}

void TextNode::measure_y(Measure& measure) {
    Node::measure_y(measure);
    if (!m_grow)
        return;
    const auto count = static_cast<std::int32_t>(lines().size());
    const std::int32_t text_height = line_height() * count;
    measure.preferred = std::max(measure.preferred, text_height);
    if (m_grow_min)
        measure.minimum = std::max(measure.minimum, text_height);
}

// --- Drawing -------------------------------------------------------------------

const std::vector<TextNode::PlacedLine>& TextNode::place_lines(Point origin) {
    m_placed.clear();
    const std::vector<TextLine>& all = lines();
    const PenPositions pen = m_positions;
    const std::int32_t height_of_line = line_height();
    const std::int32_t box_width = width();
    const std::int32_t bottom = origin.y + height();
    const bool cut_rows = m_wrap && m_ellipsis != Ellipsis::None;
    const auto count = static_cast<std::int32_t>(all.size());
    std::int32_t y = origin.y + align_y(m_valign, height(), height_of_line * count);

    for (std::int32_t i = 0; i < count && y < bottom; ++i, y += height_of_line) {
        if (cut_rows && y + height_of_line > bottom) {
            // The rest does not fit: one ellipsis in the node's last line.
            PlacedLine lone;
            lone.line = static_cast<std::uint32_t>(i);
            lone.x = origin.x + align_x(m_halign, box_width, m_ellipsis_width);
            lone.y = bottom - height_of_line;
            lone.lone_ellipsis = true;
            m_placed.push_back(lone);
            break;
        }
        if (y + height_of_line <= origin.y)
            continue; // wholly above the node (bottom-aligned overflow)
        const TextLine& line = all[static_cast<std::size_t>(i)];
        PlacedLine placed;
        placed.line = static_cast<std::uint32_t>(i);
        placed.y = y;
        placed.drawn_end = visible_end(m_text, line);
        std::int32_t line_width = run_width(pen, line.start, placed.drawn_end);
        // A last row that fits exactly while more rows follow says so too,
        // instead of hiding the rest without a sign.
        const bool rows_hidden = cut_rows && i + 1 < count && y + height_of_line == bottom;
        if (m_ellipsis == Ellipsis::Middle && line_width > box_width && !rows_hidden) {
            cut_middle(pen, line, placed, box_width);
            line_width = run_width(pen, line.start, placed.drawn_end) + m_ellipsis_width +
                         run_width(pen, placed.tail_start, visible_end(m_text, line));
        } else if (m_ellipsis != Ellipsis::None && (line_width > box_width || rows_hidden)) {
            if (line_width + m_ellipsis_width > box_width)
                placed.drawn_end =
                    line.start + ellipsis_keep(m_text, pen, line, box_width, m_ellipsis_width);
            placed.ellipsis = true;
            line_width = run_width(pen, line.start, placed.drawn_end) + m_ellipsis_width;
        }
        placed.x = origin.x + align_x(m_halign, box_width, line_width);
        m_placed.push_back(placed);
    }
    return m_placed;
}

void TextNode::cut_middle(PenPositions pen, const TextLine& line, PlacedLine& placed,
                          std::int32_t box_width) {
    // The end is what tells numbers apart: it gets the larger share.
    const std::uint32_t end = visible_end(m_text, line);
    const std::int32_t room = std::max(0, box_width - m_ellipsis_width);
    std::uint32_t tail = end;
    while (tail > line.start && run_width(pen, tail - 1, end) <= room * 3 / 5)
        --tail;
    // A surrogate pair is one character: never start inside one.
    if (tail < end && tail > line.start && m_text[tail] >= 0xDC00 && m_text[tail] < 0xE000)
        ++tail;
    const std::int32_t head_room = room - run_width(pen, tail, end);
    std::uint32_t head = line.start;
    while (head < tail && run_width(pen, line.start, head + 1) <= head_room)
        ++head;
    if (head > line.start && m_text[head - 1] >= 0xD800 && m_text[head - 1] < 0xDC00)
        --head;
    placed.drawn_end = head;
    placed.tail_start = tail;
    placed.middle = true;
}

void TextNode::draw_range(RenderSurface& surface, std::int32_t x, std::int32_t y,
                          std::uint32_t start, std::uint32_t end) {
    const FontRep* font = shown_font().get();
    const PenPositions pen = m_positions;
    const WStringView text = m_text;
    const std::span<const TextRange> links = link_ranges();
    if (links.empty() && m_highlights.empty()) {
        draw_text(surface, x, y, font, text.substr(start, end - start), m_colour);
        return;
    }
    split_runs(start, end, links, m_highlights, m_runs);
    const std::int32_t base = pen_before(pen, start);
    const Colour link_colour = link_color();
    for (const StyledRun& run : m_runs) {
        const std::int32_t run_x = x + pen_before(pen, run.start) - base;
        const Colour colour = run.highlight ? m_highlight_colour
                              : run.link    ? link_colour
                                            : m_colour;
        draw_text(surface, run_x, y, font, text.substr(run.start, run.end - run.start), colour);
        if (run.link) {
            const std::int32_t thickness = std::max(1, font->underline_thickness());
            fill(surface, Point{run_x, y + font->underline_offset()},
                 Size{run_width(pen, run.start, run.end), thickness}, colour);
        }
    }
}

void TextNode::draw_placed(RenderSurface& surface, const PlacedLine& placed) {
    const FontRep* font = shown_font().get();
    if (placed.lone_ellipsis) {
        draw_text(surface, placed.x, placed.y, font, kEllipsis, m_colour);
        return;
    }
    const TextLine& line = m_lines[placed.line];
    const PenPositions pen = m_positions;
    draw_range(surface, placed.x, placed.y, line.start, placed.drawn_end);
    // Where alignment expected it: the measured width, kerning included.
    const std::int32_t after_head = placed.x + run_width(pen, line.start, placed.drawn_end);
    if (placed.ellipsis || placed.middle)
        draw_text(surface, after_head, placed.y, font, kEllipsis, m_colour);
    if (placed.middle)
        draw_range(surface, after_head + m_ellipsis_width, placed.y, placed.tail_start,
                   visible_end(m_text, line));
}

std::optional<TextNode::InkRows> TextNode::ink_rows() {
    const FontHandle font = shown_font();
    if (!font || font->is_null() || m_text.empty())
        return std::nullopt;
    std::optional<InkRows> ink;
    const std::vector<PlacedLine> placed_lines = place_lines({0, 0});
    FontRep::Access glyphs(*font);
    const auto cover = [&](std::int32_t line_top, WStringView text) {
        const std::int32_t baseline = line_top + font->ascent();
        for (std::size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            // Whole code points only: a surrogate pair is one glyph.
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                ++i;
            }
            const Glyph& glyph = glyphs.glyph(c);
            if (glyph.rows <= 0)
                continue;
            const InkRows rows{baseline - glyph.top, baseline - glyph.top + glyph.rows};
            ink = ink ? InkRows{std::min(ink->top, rows.top), std::max(ink->bottom, rows.bottom)}
                      : rows;
        }
    };
    for (const PlacedLine& placed : placed_lines) {
        if (placed.lone_ellipsis) {
            cover(placed.y, kEllipsis);
            continue;
        }
        const TextLine& line = m_lines[placed.line];
        cover(placed.y, WStringView(m_text).substr(line.start, placed.drawn_end - line.start));
        if (placed.ellipsis || placed.middle)
            cover(placed.y, kEllipsis);
        if (placed.middle)
            cover(placed.y, WStringView(m_text).substr(
                                placed.tail_start, visible_end(m_text, line) - placed.tail_start));
    }
    return ink;
}

void TextNode::draw(RenderSurface& surface, Point origin) {
    ClipScope clip(surface, Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    draw_lines(surface, origin);
}

void TextNode::draw_lines(RenderSurface& surface, Point origin) {
    const FontHandle& font = shown_font();
    if (!font || font->is_null())
        return;
    for (const PlacedLine& placed : place_lines(origin))
        draw_placed(surface, placed);
}

} // namespace telvara::ui
