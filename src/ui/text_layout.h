#pragma once
// The pure half of text nodes: breaking a measured text into lines, the
// alignments, where an ellipsis cuts a line, the highlight search and the
// split of a line into differently styled runs. Works on the per-code-unit
// pen positions that measure_text gives, so nothing here draws or measures.

#include "platform/text.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace telvara::ui {

// The numbers are the ones the skin words stand for.
enum class HAlign : std::uint8_t { Left = 0, Center = 1, Right = 2, Justify = 3 };
enum class VAlign : std::uint8_t { Top = 0, VCenter = 1, Bottom = 2 };

// Exact, case-sensitive skin words ("LEFT", "VCENTER"...); nothing for others.
std::optional<HAlign> parse_halign(WStringView word);
std::optional<VAlign> parse_valign(WStringView word);

// A range of code units of the text.
struct TextRange {
    std::uint32_t start = 0;
    std::uint32_t length = 0;

    std::uint32_t end() const { return start + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// One line of a wrapped text: [start, end) in code units. A line feed that
// ended it belongs to neither line; blanks it broke after stay on it.
struct TextLine {
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    friend bool operator==(const TextLine&, const TextLine&) = default;
};

// A line may break after a character of code 32 or below and after U+200B.
inline bool is_break_opportunity(char16_t c) {
    return c <= u' ' || c == u'\u200B';
}

enum class WrapMode : std::uint8_t { None, Words };

// Pen positions: positions[i] is the pen after code unit i (measure_text).
using PenPositions = std::span<const std::int32_t>;

// Pen position before code unit `index` (0 at the start).
inline std::int32_t pen_before(PenPositions positions, std::uint32_t index) {
    return index == 0 ? 0 : positions[index - 1];
}
// Width of the code units [start, end).
inline std::int32_t run_width(PenPositions positions, std::uint32_t start, std::uint32_t end) {
    return end <= start ? 0 : positions[end - 1] - pen_before(positions, start);
}

// Breaks text into lines. Without wrap the whole text is one line. With wrap
// a line feed always ends a line, and a line takes word after word while its
// width (without trailing blanks) stays within `width`; a word wider than
// the line alone is broken between characters (at least one character per
// line, a surrogate pair never split). A width below 1 means the node is not
// placed yet: only line feeds break. An empty text gives one empty line.
void break_lines(WStringView text, PenPositions positions, WrapMode mode, std::int32_t width,
                 std::vector<TextLine>& lines);

// The end of the line without its trailing break characters: what alignment
// and the fit test measure.
std::uint32_t visible_end(WStringView text, TextLine line);

// How many code units of the line stay before an ellipsis `ellipsis_width`
// wide so that both fit into `width`: after the last whole word that fits
// where one does, else between characters; trailing blanks dropped. May be 0.
std::uint32_t ellipsis_keep(WStringView text, PenPositions positions, TextLine line,
                            std::int32_t width, std::int32_t ellipsis_width);

// Every occurrence of pattern in text, left to right, each search going on
// from the end of the previous find (occurrences never overlap). An empty
// pattern finds nothing.
std::vector<TextRange> find_highlights(WStringView text, WStringView pattern);

// Left edge of a line of `line_width` inside a box of `box_width`. JUSTIFY
// draws like LEFT; a line wider than the box may start before it.
std::int32_t align_x(HAlign align, std::int32_t box_width, std::int32_t line_width);
// Top of the first line of `total` height inside a box of `box_height`.
// VCENTER never moves above the top; BOTTOM may (the first lines are clipped).
std::int32_t align_y(VAlign align, std::int32_t box_height, std::int32_t total);

// A piece of a line drawn in one style.
struct StyledRun {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    bool link = false;
    bool highlight = false;

    friend bool operator==(const StyledRun&, const StyledRun&) = default;
};

// Splits [start, end) at the edges of the links and highlights (each list
// sorted by start and free of overlaps within itself); adjacent pieces of
// equal style are one run. Empty ranges give no runs.
void split_runs(std::uint32_t start, std::uint32_t end, std::span<const TextRange> links,
                std::span<const TextRange> highlights, std::vector<StyledRun>& runs);

} // namespace telvara::ui
