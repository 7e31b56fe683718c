// The contacts row: which name goes on which line in each sort mode, the
// highlight of the matched prefixes, and the styled text that draws them.
#include "forms/contacts_list_element.h"

#include "ui/alphabet_ruler.h"
#include "ui/font_draw.h"
#include "ui/font_measure.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/text_layout.h"
#include "ui/vadode.h"

#include <algorithm>
#include <memory>

namespace telvara::forms {

namespace {

// A name line: the leading part, then a blank and the second part. The
// second part is drawn in the second-text style unless it matched, in which
// case the blank stays plain and the match is highlighted like the lead.
// False when both parts are empty.
bool add_names(StyledLine& line, WStringView lead, std::size_t lead_match, WStringView second,
               std::size_t second_match) {
    if (lead.empty() && second.empty())
        return false;
    if (lead.empty()) {
        line.add(second, second_match);
        return true;
    }
    line.add(lead, lead_match);
    if (second.empty())
        return true;
    if (second_match > 0) {
        line.add(u" ", 0);
        line.add(second, second_match);
    } else {
        line.add(WString(u" ") + WString(second), 0, RunStyle::Second);
    }
    return true;
}

// "first last" with both highlighted as matched, the blank plain.
void add_full_name(StyledLine& line, const data::ContactRecord& record,
                   const data::MatchResult& match) {
    line.add(record.first_name, match.first_name);
    if (!record.first_name.empty() && !record.last_name.empty())
        line.add(u" ", 0);
    line.add(record.last_name, match.last_name);
}

ui::NodeRecord style_record(const ui::Properties& skin, ui::NodeRecord row, WStringView name) {
    if (ui::NodeRecord top = skin.find_node(name))
        return top;
    return ui::find_child_record(skin, row, name);
}

} // namespace

// --- Lines -------------------------------------------------------------------

void StyledLine::add(WStringView part, std::size_t matched, RunStyle rest) {
    matched = std::min(matched, part.size());
    const auto push = [this](std::size_t length, RunStyle style) {
        if (length == 0)
            return;
        const auto start = static_cast<std::uint32_t>(text.size() - length);
        if (!runs.empty() && runs.back().style == style)
            runs.back().length += static_cast<std::uint32_t>(length);
        else
            runs.push_back({start, static_cast<std::uint32_t>(length), style});
    };
    text.append(part.substr(0, matched));
    push(matched, RunStyle::Filtered);
    text.append(part.substr(matched));
    push(part.size() - matched, rest);
}

RowLines compose_row(const data::ContactRecord& record, const data::MatchResult& match,
                     data::SortMode mode) {
    RowLines lines;
    const WStringView first = record.first_name;
    const WStringView last = record.last_name;
    const WStringView company = record.company;
    switch (mode) {
    case data::SortMode::FirstName:
    case data::SortMode::LastName: {
        const bool by_first = mode == data::SortMode::FirstName;
        const bool named =
            by_first ? add_names(lines.big, first, match.first_name, last, match.last_name)
                     : add_names(lines.big, last, match.last_name, first, match.first_name);
        // A company-only contact shows the company on both lines.
        if (!named)
            lines.big.add(company, match.company);
        lines.small.add(company, match.company);
        break;
    }
    case data::SortMode::Company:
        if (!company.empty()) {
            lines.big.add(company, match.company);
            add_full_name(lines.small, record, match);
        } else {
            add_names(lines.big, first, match.first_name, last, match.last_name);
        }
        break;
    }
    return lines;
}

// --- Styled text ---------------------------------------------------------------

void StyledText::set_line(StyledLine line) {
    m_runs = std::move(line.runs);
    set_text(std::move(line.text));
    mark_redraw();
}

void StyledText::set_look(RunStyle style, Look look) {
    m_looks[static_cast<std::size_t>(style)] = std::move(look);
    mark_redraw();
}

void StyledText::draw(ui::RenderSurface& surface, ui::Point origin) {
    if (m_runs.empty()) {
        ui::TextNode::draw(surface, origin);
        return;
    }
    ui::ClipScope clip(surface,
                       ui::Rect{origin.x, origin.y, origin.x + width(), origin.y + height()});
    const WStringView whole = text();
    const auto font_of = [this](const TextRun& run) -> const ui::FontRep* {
        const Look& styled = look(run.style);
        if (run.style == RunStyle::Plain || !styled.font)
            return font().get();
        return styled.font.get();
    };
    const auto colour_of = [this](const TextRun& run) {
        return run.style == RunStyle::Plain ? color() : look(run.style).colour;
    };
    // The width of the code units [from, to) of the line, run by run.
    const auto slice_width = [&](std::size_t from, std::size_t to) {
        std::int32_t width = 0;
        for (const TextRun& run : m_runs) {
            const std::size_t a = std::max<std::size_t>(run.start, from);
            const std::size_t b = std::min<std::size_t>(run.start + run.length, to);
            if (a < b && b <= whole.size())
                width += ui::measure_text(font_of(run), whole.substr(a, b - a)).width;
        }
        return width;
    };
    // Draws [from, to) from x on; returns the x after it.
    const auto draw_slice = [&](std::size_t from, std::size_t to, std::int32_t x) {
        for (const TextRun& run : m_runs) {
            const std::size_t a = std::max<std::size_t>(run.start, from);
            const std::size_t b = std::min<std::size_t>(run.start + run.length, to);
            const ui::FontRep* run_font = font_of(run);
            if (a >= b || b > whole.size() || run_font == nullptr || run_font->is_null())
                continue;
            const WStringView part = whole.substr(a, b - a);
            const ui::TextExtent extent = ui::measure_text(run_font, part);
            const std::int32_t y = origin.y + ui::align_y(valign(), height(), extent.height);
            ui::draw_text(surface, x, y, run_font, part, colour_of(run));
            x += extent.width;
        }
        return x;
    };
    const std::size_t length = whole.size();
    const std::int32_t total = slice_width(0, length);
    if (total <= width() || !ellipsis() || font() == nullptr || font()->is_null()) {
        // Fits, or is clipped at the node's edge.
        draw_slice(0, length, origin.x + ui::align_x(halign(), width(), total));
        return;
    }
    // Too long: cut where the node's ellipsis mode says, never splitting a
    // surrogate pair. The longest prefix and suffix that fit are found by
    // halving, as widths only grow with the text.
    static constexpr char16_t kEllipsis[] = u"\u2026";
    const std::int32_t dots = ui::measure_text(font().get(), kEllipsis).width;
    const auto whole_unit = [&](std::size_t at) {
        return at == 0 || at >= length || !(whole[at] >= 0xDC00 && whole[at] <= 0xDFFF);
    };
    const auto longest_prefix = [&](std::int32_t room) {
        std::size_t low = 0, high = length;
        while (low < high) {
            const std::size_t mid = (low + high + 1) / 2;
            if (slice_width(0, mid) <= room)
                low = mid;
            else
                high = mid - 1;
        }
        while (!whole_unit(low))
            --low;
        return low;
    };
    const auto shortest_suffix_start = [&](std::int32_t room) {
        std::size_t low = 0, high = length;
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            if (slice_width(mid, length) <= room)
                high = mid;
            else
                low = mid + 1;
        }
        while (!whole_unit(low))
            ++low;
        return low;
    };
    const std::int32_t room = std::max(0, width() - dots);
    const bool middle = ellipsis_mode() == ui::Ellipsis::Middle;
    const std::size_t head = longest_prefix(middle ? room / 2 : room);
    std::int32_t x = draw_slice(0, head, origin.x);
    // The dots take the colour of the text they stand for.
    ui::Colour dots_colour = color();
    for (const TextRun& run : m_runs)
        if (run.start <= head && head < run.start + run.length)
            dots_colour = colour_of(run);
    const ui::TextExtent dots_extent = ui::measure_text(font().get(), kEllipsis);
    ui::draw_text(surface, x, origin.y + ui::align_y(valign(), height(), dots_extent.height),
                  font().get(), kEllipsis, dots_colour);
    x += dots;
    if (middle)
        draw_slice(std::max(head, shortest_suffix_start(room - slice_width(0, head))), length, x);
}

// --- Row -------------------------------------------------------------------------

namespace {

// Puts a StyledText loaded from the same skin record in place of the text
// node `name` below `row`.
StyledText& replace_text(ui::Node& row, const ui::Properties& skin, ui::NodeRecord row_record,
                         WStringView name) {
    ui::Node* old = row.find(name);
    const ui::NodeRecord record = ui::find_child_record(skin, row_record, name);
    if (old == nullptr || old->parent() == nullptr || !record ||
        dynamic_cast<ui::TextNode*>(old) == nullptr)
        throw ui::vadode::NodeNotFound(WString(ContactsListElement::kSkinName), WString(name));
    ui::Node& parent = *old->parent();
    std::size_t index = 0;
    while (&parent.child(index) != old)
        ++index;
    auto styled = std::make_unique<StyledText>();
    styled->load(skin, record);
    StyledText& made = *styled;
    parent.insert_child(std::move(styled), index);
    parent.remove_child(old, index + 1);
    return made;
}

StyledText::Look read_look(const ui::Properties& skin, ui::NodeRecord record,
                           const StyledText& fallback) {
    return {skin.read_font(record, u"font", fallback.font()),
            skin.read_colour(record, u"color", fallback.color())};
}

} // namespace

void check_row_skin(const ui::Properties& skin, WStringView node) {
    const ui::NodeRecord row = skin.find_node(node);
    if (!row)
        throw ui::vadode::NodeNotFoundInSkin(WString(node));
    for (const char16_t* text : {u"big", u"small"}) {
        if (!ui::find_child_record(skin, row, text))
            throw ui::vadode::NodeNotFound(WString(node), text);
    }
    for (const char16_t* style :
         {ContactsListElement::kSecondStyle, ContactsListElement::kFilteredStyle}) {
        if (!style_record(skin, row, style))
            throw ui::vadode::NodeNotFound(WString(node), style);
    }
}

ContactsListElement::ContactsListElement(const ui::Properties& skin, WStringView node) {
    check_row_skin(skin, node);
    load_from_skin(skin, node);
    const ui::NodeRecord row = skin.find_node(node);
    m_big = &replace_text(*this, skin, row, u"big");
    m_small = &replace_text(*this, skin, row, u"small");
    const ui::NodeRecord second = style_record(skin, row, kSecondStyle);
    const ui::NodeRecord filtered = style_record(skin, row, kFilteredStyle);
    const StyledText::Look second_look = read_look(skin, second, *m_big);
    const StyledText::Look filtered_look = read_look(skin, filtered, *m_big);
    m_big->set_look(RunStyle::Filtered, filtered_look);
    m_big->set_look(RunStyle::Second, second_look);
    // The small line highlights in its own font, only the colour changes.
    m_small->set_look(RunStyle::Filtered, {m_small->font(), filtered_look.colour});
    m_small->set_look(RunStyle::Second, second_look);
}

void ContactsListElement::fill(const data::ContactRecord& record, const data::MatchResult& match,
                               data::SortMode mode) {
    RowLines lines = compose_row(record, match, mode);
    m_big->set_line(std::move(lines.big));
    m_small->set_line(std::move(lines.small));
}

void ContactsListElement::fill_number(const data::NumberSuggestion& suggestion, WStringView when) {
    const WStringView number = suggestion.number;
    const std::size_t start = std::min<std::size_t>(suggestion.match_start, number.size());
    StyledLine big;
    big.add(number.substr(0, start), 0);
    big.add(number.substr(start), suggestion.match_length);
    StyledLine small;
    small.add(when, 0);
    m_big->set_line(std::move(big));
    m_small->set_line(std::move(small));
}

void ContactsListElement::clear() {
    m_big->set_line({});
    m_small->set_line({});
}

void ContactsListElement::remove_child(ui::Node* child, std::size_t index) {
    if (child == m_big)
        m_big = nullptr;
    if (child == m_small)
        m_small = nullptr;
    ui::ListElement::remove_child(child, index);
}

} // namespace telvara::forms
