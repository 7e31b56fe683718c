// The "edit" node: focus through the text-input service, typing and editing
// keys at the caret, masking, the caret's blink and the drawing of the
// focused field (background, text kept scrolled to the caret, caret).
#include "ui/edit_node.h"

#include "ui/drawing.h"
#include "ui/key_names.h"
#include "ui/properties.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace telvara::ui {

namespace {

constexpr std::int32_t kDelete = 12;
constexpr std::int32_t kHome = 14;
constexpr std::int32_t kEnd = 15;

// The index `count` characters into text.
std::size_t index_of_character(WStringView text, std::size_t count) {
    std::size_t index = 0;
    for (std::size_t i = 0; i < count && index < text.size(); ++i)
        index = next_boundary(text, index);
    return index;
}

} // namespace

EditNode::~EditNode() {
    TextInputService::instance().release(*this);
}

void EditNode::load(const Properties& skin, NodeRecord record) {
    TextNode::load(skin, record);
    m_background = skin.read_colour(record, u"background_color", Colour{});
    m_capitalize =
        skin.read_int(record, u"capitalize", 0) != 0 ? Capitalize::AfterSentence : Capitalize::Off;
    // The skin's text is what the field holds, shown masked if it is.
    if (m_masking == Masking::Masked) {
        m_real = text();
        show(m_real);
    }
    m_caret = edit_text().size();
}

// --- Text ------------------------------------------------------------------------

void EditNode::show(const WString& real) {
    if (m_masking == Masking::Masked) {
        m_real = real;
        TextNode::set_text(WString(character_count(real), kMaskCharacter));
    } else {
        TextNode::set_text(real);
    }
}

void EditNode::set_text(WString new_text) {
    if (m_masking == Masking::Masked) {
        if (new_text == m_real && text() == WString(character_count(new_text), kMaskCharacter))
            return;
    } else if (new_text == text()) {
        return;
    }
    show(new_text);
    m_caret = edit_text().size();
    if (m_focused) {
        restart_blink();
        TextInputService::instance().update(*this);
    }
    if (m_listener)
        m_listener->on_edit_changed(*this);
}

void EditNode::apply_edit(WString real, std::size_t caret) {
    show(real);
    m_caret = std::min(caret, edit_text().size());
    mark_layout();
    mark_redraw();
    restart_blink();
    TextInputService::instance().update(*this);
    if (m_listener)
        m_listener->on_edit_changed(*this);
}

void EditNode::set_masking(Masking masking) {
    if (masking == m_masking)
        return;
    if (masking == Masking::Masked) {
        WString real = text();
        m_masking = masking;
        show(real);
    } else {
        m_masking = masking;
        WString real = std::move(m_real);
        m_real.clear();
        TextNode::set_text(std::move(real));
    }
    mark_redraw();
}

void EditNode::set_background_color(Colour colour) {
    if (colour == m_background)
        return;
    m_background = colour;
    mark_redraw();
}

// --- Focus and caret -------------------------------------------------------------

bool EditNode::has_focus() const {
    return m_focused;
}

void EditNode::take_focus() {
    TextInputService::instance().focus(*this);
}

void EditNode::set_caret(std::size_t index) {
    const WStringView real = edit_text();
    index = std::min(index, real.size());
    // Never between the halves of a surrogate pair.
    if (index > 0 && index < real.size() && real[index] >= 0xDC00 && real[index] <= 0xDFFF &&
        real[index - 1] >= 0xD800 && real[index - 1] <= 0xDBFF)
        --index;
    if (index == m_caret)
        return;
    m_caret = index;
    restart_blink();
    mark_redraw();
}

bool EditNode::caret_shown() const {
    return m_focused && m_blink < kBlinkPeriod / 2;
}

void EditNode::restart_blink() {
    m_blink = 0.0;
}

std::size_t EditNode::shown_caret() const {
    if (m_masking == Masking::Masked)
        return character_count(WStringView(m_real).substr(0, m_caret));
    return m_caret;
}

Point EditNode::caret_offset() {
    if (!font() || font()->is_null())
        return {};
    const auto caret = static_cast<std::uint32_t>(shown_caret());
    const PenPositions pen = positions();
    const std::vector<TextLine>& all = lines();
    const std::vector<PlacedLine>& placed = place_lines(Point{0, 0});
    for (const PlacedLine& one : placed) {
        if (one.lone_ellipsis)
            continue;
        const TextLine& line = all[one.line];
        const bool last_line = one.line + 1 == all.size();
        if (caret < line.start || caret > line.end ||
            (caret == line.end && !last_line && all[one.line + 1].start == line.end))
            continue;
        return {one.x + pen_before(pen, caret) - pen_before(pen, line.start), one.y};
    }
    return placed.empty() ? Point{} : Point{placed.back().x, placed.back().y};
}

std::int32_t EditNode::caret_width() {
    return std::max(1, line_height() / 12);
}

std::int32_t EditNode::scroll_for(std::int32_t caret_x) {
    if (wrap())
        return 0;
    const std::int32_t right = caret_x + caret_width();
    if (right > width())
        return right - width();
    return std::min(caret_x, 0);
}

Rect EditNode::caret_rect(Point origin) {
    const Point offset = caret_offset();
    const std::int32_t x = origin.x + offset.x - scroll_for(offset.x);
    const std::int32_t y = origin.y + offset.y;
    return {x, y, x + caret_width(), y + line_height()};
}

// --- Node ------------------------------------------------------------------------

bool EditNode::on_touch(const PointerEvent& event) {
    if (event.kind != PointerKind::Down || event.cancelled)
        return true;
    if (!m_focused) {
        take_focus();
        return true;
    }
    // A tap in the focused field puts the caret at the nearest gap.
    if (!font() || font()->is_null())
        return true;
    const PenPositions pen = positions();
    const std::vector<TextLine>& all = lines();
    const std::vector<PlacedLine>& placed = place_lines(Point{0, 0});
    if (placed.empty())
        return true;
    const std::int32_t tap_y = event.y - y();
    const PlacedLine* row = &placed.back();
    for (const PlacedLine& one : placed)
        if (!one.lone_ellipsis && tap_y < one.y + line_height()) {
            row = &one;
            break;
        }
    if (row->lone_ellipsis)
        return true;
    const TextLine& line = all[row->line];
    const std::int32_t tap_x = event.x - x() + scroll_for(caret_offset().x);
    const WStringView shown = text();
    std::uint32_t best = line.start;
    std::int32_t best_distance = 1 << 30;
    for (std::uint32_t i = line.start; i <= line.end;
         i = static_cast<std::uint32_t>(next_boundary(shown, i))) {
        const std::int32_t gap_x = row->x + pen_before(pen, i) - pen_before(pen, line.start);
        if (std::abs(gap_x - tap_x) < best_distance) {
            best_distance = std::abs(gap_x - tap_x);
            best = i;
        }
        if (i == line.end)
            break;
    }
    if (m_masking == Masking::Masked)
        set_caret(index_of_character(m_real, character_count(shown.substr(0, best))));
    else
        set_caret(best);
    return true;
}

bool EditNode::on_key(const KeyEvent& event) {
    return on_input_key(event) || TextNode::on_key(event);
}

void EditNode::layout_y() {
    TextNode::layout_y();
    if (m_focused)
        TextInputService::instance().update(*this);
}

void EditNode::on_visibility_changed(bool effective) {
    TextNode::on_visibility_changed(effective);
    if (!effective && m_focused)
        TextInputService::instance().drop_focus();
}

void EditNode::tick(double seconds) {
    TextNode::tick(seconds);
    if (!m_focused)
        return;
    const bool shown_before = caret_shown();
    m_blink = std::fmod(m_blink + std::max(seconds, 0.0), kBlinkPeriod);
    if (caret_shown() != shown_before)
        mark_redraw();
}

void EditNode::draw(RenderSurface& surface, Point origin) {
    if (!m_focused) {
        TextNode::draw(surface, origin);
        return;
    }
    ClipScope clip(surface, Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    // Alpha 0 leaves the skin's own background showing.
    if (m_background.alpha != 0)
        fill(surface, origin, Size{width(), height()}, m_background);
    const Point offset = caret_offset();
    const std::int32_t shift = scroll_for(offset.x);
    // Shifted under the box's own clip: the caret's end stays in view.
    draw_lines(surface, Point{origin.x - shift, origin.y});
    if (caret_shown() && font() && !font()->is_null())
        fill(surface, Point{origin.x + offset.x - shift, origin.y + offset.y},
             Size{caret_width(), line_height()}, color());
}

// --- TextInputClient -------------------------------------------------------------

Rect EditNode::input_area() const {
    return {x(), y(), x() + width(), y() + height()};
}

void EditNode::insert_text(WStringView typed) {
    if (typed.empty())
        return;
    WString real = edit_text();
    const std::size_t caret = insert_typed(real, m_caret, typed, m_capitalize);
    apply_edit(std::move(real), caret);
}

bool EditNode::on_input_key(const KeyEvent& event) {
    if (!m_focused || !event.pressed)
        return false;
    const WStringView real = edit_text();
    switch (event.code) {
    case key::Backspace: {
        if (m_caret == 0)
            return false;
        const std::size_t from = previous_boundary(real, m_caret);
        WString changed(real);
        changed.erase(from, m_caret - from);
        apply_edit(std::move(changed), from);
        return true;
    }
    case kDelete: {
        if (m_caret >= real.size())
            return false;
        const std::size_t to = next_boundary(real, m_caret);
        WString changed(real);
        changed.erase(m_caret, to - m_caret);
        apply_edit(std::move(changed), m_caret);
        return true;
    }
    case key::Left:
        if (m_caret == 0)
            return false;
        set_caret(previous_boundary(real, m_caret));
        return true;
    case key::Right:
        if (m_caret >= real.size())
            return false;
        set_caret(next_boundary(real, m_caret));
        return true;
    case kHome:
        if (m_caret == 0)
            return false;
        set_caret(0);
        return true;
    case kEnd:
        if (m_caret >= real.size())
            return false;
        set_caret(real.size());
        return true;
    default:
        return false;
    }
}

void EditNode::on_input_focus(bool focused) {
    if (focused == m_focused)
        return;
    m_focused = focused;
    if (focused)
        m_caret = edit_text().size();
    restart_blink();
    mark_redraw();
}

} // namespace telvara::ui
