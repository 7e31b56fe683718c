// Line breaking, alignment, ellipsis cuts, highlight search and styled runs
// over pre-measured pen positions.
#include "ui/text_layout.h"

#include <algorithm>

namespace telvara::ui {

namespace {

bool is_high_surrogate(char16_t c) {
    return c >= 0xD800 && c < 0xDC00;
}

// Never end a piece between the two halves of a surrogate pair.
std::uint32_t step_back_from_pair(WStringView text, std::uint32_t start, std::uint32_t at) {
    if (at > start && at < text.size() && is_high_surrogate(text[at - 1]))
        --at;
    return at;
}

// The end of the word that starts at `at`: up to and including the next break
// opportunity, stopping before a line feed.
std::uint32_t word_end(WStringView text, std::uint32_t at) {
    const auto n = static_cast<std::uint32_t>(text.size());
    while (at < n && text[at] != u'\n') {
        if (is_break_opportunity(text[at++]))
            break;
    }
    return at;
}

std::uint32_t trim_end(WStringView text, std::uint32_t start, std::uint32_t end) {
    while (end > start && is_break_opportunity(text[end - 1]))
        --end;
    return end;
}

// Longest start of [start, limit) no wider than width, at least one character.
std::uint32_t fit_characters(WStringView text, PenPositions positions, std::uint32_t start,
                             std::uint32_t limit, std::int32_t width) {
    const std::int32_t base = pen_before(positions, start);
    // Positions never decrease: the first unit past the width ends the piece.
    const auto* first = positions.data() + start;
    const auto* past = std::upper_bound(first, positions.data() + limit, base + width);
    auto at = static_cast<std::uint32_t>(past - positions.data());
    at = step_back_from_pair(text, start, at);
    if (at == start) {
        at = start + 1;
        if (at < limit && is_high_surrogate(text[start]))
            ++at;
    }
    return at;
}

} // namespace

std::optional<HAlign> parse_halign(WStringView word) {
    if (word == u"LEFT")
        return HAlign::Left;
    if (word == u"CENTER")
        return HAlign::Center;
    if (word == u"RIGHT")
        return HAlign::Right;
    if (word == u"JUSTIFY")
        return HAlign::Justify;
    return std::nullopt;
}

std::optional<VAlign> parse_valign(WStringView word) {
    if (word == u"TOP")
        return VAlign::Top;
    if (word == u"VCENTER")
        return VAlign::VCenter;
    if (word == u"BOTTOM")
        return VAlign::Bottom;
    return std::nullopt;
}

void break_lines(WStringView text, PenPositions positions, WrapMode mode, std::int32_t width,
                 std::vector<TextLine>& lines) {
    lines.clear();
    const auto n = static_cast<std::uint32_t>(text.size());
    if (mode == WrapMode::None) {
        lines.push_back({0, n});
        return;
    }
    const bool soft_breaks = width > 0;
    std::uint32_t line_start = 0;
    for (;;) {
        std::uint32_t fitted = line_start; // end of the last word taken
        std::uint32_t at = line_start;
        bool broke = false;
        while (at < n && text[at] != u'\n') {
            const std::uint32_t end = word_end(text, at);
            if (!soft_breaks ||
                run_width(positions, line_start, trim_end(text, line_start, end)) <= width) {
                fitted = at = end;
                continue;
            }
            // The word does not fit: the line ends before it, or inside it
            // when it is the first word of the line.
            const std::uint32_t cut = fitted > line_start
                                          ? fitted
                                          : fit_characters(text, positions, line_start, end, width);
            lines.push_back({line_start, cut});
            if (cut >= n)
                return;
            // A cut right before a line feed: that feed ends this line too.
            line_start = text[cut] == u'\n' ? cut + 1 : cut;
            broke = true;
            break;
        }
        if (broke)
            continue;
        lines.push_back({line_start, at});
        if (at >= n)
            return;
        line_start = at + 1; // past the line feed
    }
}

std::uint32_t visible_end(WStringView text, TextLine line) {
    return trim_end(text, line.start, line.end);
}

std::uint32_t ellipsis_keep(WStringView text, PenPositions positions, TextLine line,
                            std::int32_t width, std::int32_t ellipsis_width) {
    const std::int32_t room = width - ellipsis_width;
    const std::int32_t base = pen_before(positions, line.start);
    std::uint32_t keep = line.start;
    if (room >= 0) {
        const auto* past = std::upper_bound(positions.data() + line.start,
                                            positions.data() + line.end, base + room);
        keep = static_cast<std::uint32_t>(past - positions.data());
        keep = step_back_from_pair(text, line.start, keep);
    }
    if (keep < line.end && !is_break_opportunity(text[keep])) {
        // Inside a word: go back to its start when an earlier word ends there.
        std::uint32_t word_start = keep;
        while (word_start > line.start && !is_break_opportunity(text[word_start - 1]))
            --word_start;
        if (word_start > line.start)
            keep = word_start;
    }
    return trim_end(text, line.start, keep) - line.start;
}

std::vector<TextRange> find_highlights(WStringView text, WStringView pattern) {
    std::vector<TextRange> found;
    if (pattern.empty())
        return found;
    for (std::size_t at = text.find(pattern); at != WStringView::npos;
         at = text.find(pattern, at + pattern.size()))
        found.push_back(
            {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(pattern.size())});
    return found;
}

std::int32_t align_x(HAlign align, std::int32_t box_width, std::int32_t line_width) {
    switch (align) {
    case HAlign::Center:
        return (box_width - line_width) / 2;
    case HAlign::Right:
        return box_width - line_width;
    case HAlign::Left:
    case HAlign::Justify:
        break;
    }
    return 0;
}

std::int32_t align_y(VAlign align, std::int32_t box_height, std::int32_t total) {
    switch (align) {
    case VAlign::VCenter:
        return std::max(0, (box_height - total) / 2);
    case VAlign::Bottom:
        return box_height - total;
    case VAlign::Top:
        break;
    }
    return 0;
}

void split_runs(std::uint32_t start, std::uint32_t end, std::span<const TextRange> links,
                std::span<const TextRange> highlights, std::vector<StyledRun>& runs) {
    runs.clear();
    // Ranges are sorted and disjoint, so their ends are sorted too.
    auto first_after = [start](std::span<const TextRange> ranges) {
        return std::partition_point(ranges.begin(), ranges.end(),
                                    [start](const TextRange& r) { return r.end() <= start; });
    };
    auto link = first_after(links);
    auto mark = first_after(highlights);
    std::uint32_t at = start;
    while (at < end) {
        while (link != links.end() && link->end() <= at)
            ++link;
        while (mark != highlights.end() && mark->end() <= at)
            ++mark;
        const bool in_link = link != links.end() && link->start <= at;
        const bool in_mark = mark != highlights.end() && mark->start <= at;
        std::uint32_t next = end;
        if (link != links.end())
            next = std::min(next, in_link ? link->end() : link->start);
        if (mark != highlights.end())
            next = std::min(next, in_mark ? mark->end() : mark->start);
        if (!runs.empty() && runs.back().end == at && runs.back().link == in_link &&
            runs.back().highlight == in_mark)
            runs.back().end = next;
        else
            runs.push_back({at, next, in_link, in_mark});
        at = next;
    }
}

} // namespace telvara::ui
