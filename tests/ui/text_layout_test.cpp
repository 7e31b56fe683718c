// Line breaking, ellipsis cuts, highlight search, alignment and styled runs
// on made-up pen positions: every code unit 10 pixels wide.
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using Lines = std::vector<WString>;

namespace {

std::vector<std::int32_t> even_positions(WStringView text) {
    std::vector<std::int32_t> positions;
    for (std::size_t i = 0; i < text.size(); ++i)
        positions.push_back(10 * std::int32_t(i + 1));
    return positions;
}

Lines wrap(WStringView text, std::int32_t width, WrapMode mode = WrapMode::Words) {
    std::vector<TextLine> lines;
    break_lines(text, even_positions(text), mode, width, lines);
    Lines pieces;
    for (const TextLine& line : lines) {
        EXPECT_LE(line.start, line.end);
        pieces.emplace_back(text.substr(line.start, line.end - line.start));
    }
    return pieces;
}

} // namespace

TEST(TextLayoutWrap, LinesBreakAtBlanksLineFeedsAndWhereWordsDoNotFit) {
    const struct {
        const char16_t* text;
        std::int32_t width;
        Lines lines;
    } rows[] = {
        {u"hello world", 80, {u"hello ", u"world"}},
        {u"hello world", 50, {u"hello ", u"world"}}, // the hanging blank does not count
        {u"hello world", 110, {u"hello world"}},
        {u"aa bb cc dd", 50, {u"aa bb ", u"cc dd"}},
        {u"aa bb cc dd", 49, {u"aa ", u"bb ", u"cc ", u"dd"}},
        {u"aa    bb", 30, {u"aa    ", u"bb"}}, // blanks stay with the line they follow
        // A word wider than the line breaks between characters, on its own line.
        {u"abcdefgh", 30, {u"abc", u"def", u"gh"}},
        {u"ab abcdefgh x", 30, {u"ab ", u"abc", u"def", u"gh ", u"x"}},
        {u"abc", 5, {u"a", u"b", u"c"}},
        {u"abc\nd", 10, {u"a", u"b", u"c", u"d"}},     // no empty line before the line feed
        {u"abc\u200Bdef", 40, {u"abc\u200B", u"def"}}, // a zero-width space breaks
        // A line feed always ends a line and belongs to neither.
        {u"a\nb", 1000, {u"a", u"b"}},
        {u"a\n\nb", 1000, {u"a", u"", u"b"}},
        {u"ab\n", 1000, {u"ab", u""}},
        {u"\n", 1000, {u"", u""}},
        {u"aa bb\ncc", 30, {u"aa ", u"bb", u"cc"}},
        {u"", 100, {u""}},
        {u"aa bb\ncc dd", 0, {u"aa bb", u"cc dd"}}, // unplaced: only line feeds break
    };
    for (const auto& r : rows)
        EXPECT_EQ(wrap(r.text, r.width), r.lines) << to_utf8(r.text) << " in " << r.width;
    EXPECT_EQ(wrap(u"a\nb c", 10, WrapMode::None), (Lines{u"a\nb c"}));
    EXPECT_EQ(wrap(u"", 100, WrapMode::None), (Lines{u""}));
}

TEST(TextLayoutWrap, SurrogatePairsAreNeverSplit) {
    // U+1F600 twice: two units each, both units share their glyph's end.
    const WString text = u"\U0001F600\U0001F600";
    const std::vector<std::int32_t> positions = {10, 10, 20, 20};
    for (std::int32_t width : {15, 5}) {
        std::vector<TextLine> lines;
        break_lines(text, positions, WrapMode::Words, width, lines);
        EXPECT_EQ(lines, (std::vector<TextLine>{{0, 2}, {2, 4}})) << width;
    }
}

TEST(TextLayoutHighlight, OccurrencesNeverOverlap) {
    using Ranges = std::vector<TextRange>;
    EXPECT_EQ(find_highlights(u"aaaa", u"aa"), (Ranges{{0, 2}, {2, 2}}));
    EXPECT_EQ(find_highlights(u"xaaab", u"aa"), (Ranges{{1, 2}}));
    EXPECT_EQ(find_highlights(u"xababx", u"ab"), (Ranges{{1, 2}, {3, 2}}));
    EXPECT_TRUE(find_highlights(u"abc", u"").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"abcd").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"B").empty()) << "exact, case-sensitive";
}

TEST(TextLayoutAlign, BothAxesAndTheSkinWords) {
    EXPECT_EQ(align_x(HAlign::Left, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Justify, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Center, 100, 40), 30);
    EXPECT_EQ(align_x(HAlign::Right, 100, 40), 60);
    EXPECT_EQ(align_x(HAlign::Center, 100, 140), -20) << "overhangs on both sides";
    EXPECT_EQ(align_y(VAlign::Top, 20, 30), 0);
    EXPECT_EQ(align_y(VAlign::VCenter, 40, 10), 15);
    EXPECT_EQ(align_y(VAlign::VCenter, 20, 30), 0) << "never above the top";
    EXPECT_EQ(align_y(VAlign::Bottom, 20, 30), -10) << "the first line starts above the top";
    EXPECT_EQ(parse_halign(u"JUSTIFY"), HAlign::Justify);
    EXPECT_EQ(parse_halign(u"RIGHT"), HAlign::Right);
    EXPECT_EQ(parse_halign(u"right"), std::nullopt);
    EXPECT_EQ(parse_valign(u"BOTTOM"), VAlign::Bottom);
    EXPECT_EQ(parse_valign(u"CENTER"), std::nullopt) << "the vertical word is VCENTER";
}

TEST(TextLayoutRuns, SplitAtLinkAndHighlightEdges) {
    using Runs = std::vector<StyledRun>;
    Runs runs;
    const std::vector<TextRange> links = {{5, 10}};
    const std::vector<TextRange> marks = {{0, 2}, {8, 4}, {30, 2}};
    split_runs(0, 20, links, marks, runs);
    EXPECT_EQ(runs, (Runs{{0, 2, false, true},
                          {2, 5, false, false},
                          {5, 8, true, false},
                          {8, 12, true, true},
                          {12, 15, true, false},
                          {15, 20, false, false}}));
    split_runs(10, 13, links, marks, runs); // only the part in view
    EXPECT_EQ(runs, (Runs{{10, 12, true, true}, {12, 13, true, false}}));
    split_runs(4, 4, links, marks, runs);
    EXPECT_TRUE(runs.empty());
    const std::vector<TextRange> empty_marks = {{3, 0}}; // empty ranges add no pieces
    split_runs(0, 6, {}, empty_marks, runs);
    EXPECT_EQ(runs, (Runs{{0, 6, false, false}}));
}
