// Line breaking, ellipsis cuts, highlight search, alignment and styled runs
// on made-up pen positions: every code unit 10 pixels wide.
#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

std::vector<std::int32_t> even_positions(WStringView text, std::int32_t advance = 10) {
    std::vector<std::int32_t> positions;
    for (std::size_t i = 0; i < text.size(); ++i)
        positions.push_back(advance * static_cast<std::int32_t>(i + 1));
    return positions;
}

std::vector<WString> wrap(WStringView text, std::int32_t width, WrapMode mode = WrapMode::Words) {
    const auto positions = even_positions(text);
    std::vector<TextLine> lines;
    break_lines(text, positions, mode, width, lines);
    std::vector<WString> pieces;
    for (const TextLine& line : lines) {
        EXPECT_LE(line.start, line.end);
        pieces.emplace_back(text.substr(line.start, line.end - line.start));
    }
    return pieces;
}

using Lines = std::vector<WString>;

} // namespace

TEST(TextLayoutWrap, TwoWordsInANodeNarrowerThanTheTextBreakAtTheBlank) {
    // "hello world" is 110 wide; each word 50.
    EXPECT_EQ(wrap(u"hello world", 80), (Lines{u"hello ", u"world"}));
    // The blank hangs at the line end and does not count against the width.
    EXPECT_EQ(wrap(u"hello world", 50), (Lines{u"hello ", u"world"}));
    EXPECT_EQ(wrap(u"hello world", 110), (Lines{u"hello world"}));
}

TEST(TextLayoutWrap, LinesTakeWordsWhileTheyFit) {
    EXPECT_EQ(wrap(u"aa bb cc dd", 50), (Lines{u"aa bb ", u"cc dd"}));
    EXPECT_EQ(wrap(u"aa bb cc dd", 49), (Lines{u"aa ", u"bb ", u"cc ", u"dd"}));
    // Several blanks stay with the line they follow.
    EXPECT_EQ(wrap(u"aa    bb", 30), (Lines{u"aa    ", u"bb"}));
}

TEST(TextLayoutWrap, AWordWiderThanTheLineBreaksBetweenCharacters) {
    EXPECT_EQ(wrap(u"abcdefgh", 30), (Lines{u"abc", u"def", u"gh"}));
    // After a word that fits, the long word starts its own line first.
    EXPECT_EQ(wrap(u"ab abcdefgh x", 30), (Lines{u"ab ", u"abc", u"def", u"gh ", u"x"}));
    // Narrower than one character: still one character per line.
    EXPECT_EQ(wrap(u"abc", 5), (Lines{u"a", u"b", u"c"}));
    // A cut just before a line feed adds no empty line.
    EXPECT_EQ(wrap(u"abc\nd", 10), (Lines{u"a", u"b", u"c", u"d"}));
}

TEST(TextLayoutWrap, ZeroWidthSpaceIsABreakOpportunity) {
    EXPECT_EQ(wrap(u"abc\u200Bdef", 40), (Lines{u"abc\u200B", u"def"}));
}

TEST(TextLayoutWrap, LineFeedAlwaysEndsALineAndBelongsToNeither) {
    EXPECT_EQ(wrap(u"a\nb", 1000), (Lines{u"a", u"b"}));
    EXPECT_EQ(wrap(u"a\n\nb", 1000), (Lines{u"a", u"", u"b"}));
    EXPECT_EQ(wrap(u"ab\n", 1000), (Lines{u"ab", u""}));
    EXPECT_EQ(wrap(u"\n", 1000), (Lines{u"", u""}));
    // A line feed right after a soft break.
    EXPECT_EQ(wrap(u"aa bb\ncc", 30), (Lines{u"aa ", u"bb", u"cc"}));
}

TEST(TextLayoutWrap, WithoutWrapTheWholeTextIsOneLine) {
    EXPECT_EQ(wrap(u"a\nb c", 10, WrapMode::None), (Lines{u"a\nb c"}));
}

TEST(TextLayoutWrap, EmptyTextGivesOneEmptyLine) {
    EXPECT_EQ(wrap(u"", 100), (Lines{u""}));
    EXPECT_EQ(wrap(u"", 100, WrapMode::None), (Lines{u""}));
}

TEST(TextLayoutWrap, AnUnplacedNodeBreaksOnlyAtLineFeeds) {
    EXPECT_EQ(wrap(u"aa bb\ncc dd", 0), (Lines{u"aa bb", u"cc dd"}));
}

TEST(TextLayoutWrap, SurrogatePairsAreNeverSplit) {
    // U+1F600 twice: two units each, both units share their glyph's end.
    const WString text = u"\U0001F600\U0001F600";
    const std::vector<std::int32_t> positions = {10, 10, 20, 20};
    std::vector<TextLine> lines;
    break_lines(text, positions, WrapMode::Words, 15, lines);
    EXPECT_EQ(lines, (std::vector<TextLine>{{0, 2}, {2, 4}}));
    // Too narrow even for one: the pair still goes whole.
    break_lines(text, positions, WrapMode::Words, 5, lines);
    EXPECT_EQ(lines, (std::vector<TextLine>{{0, 2}, {2, 4}}));
}

TEST(TextLayoutEllipsis, CutsAfterTheLastWholeWordThatFits) {
    const WString text = u"one two three";
    const auto positions = even_positions(text);
    const TextLine line{0, 13};
    // Room 100 - 10 = 90: "one two t" fits, cut back to "one two".
    EXPECT_EQ(ellipsis_keep(text, positions, line, 100, 10), 7u);
    // The first word alone does not fit: cut between characters.
    EXPECT_EQ(ellipsis_keep(text, positions, line, 30, 10), 2u);
    // Cut just at a blank: the blank is dropped.
    EXPECT_EQ(ellipsis_keep(text, positions, line, 50, 10), 3u);
    // No room even for the ellipsis.
    EXPECT_EQ(ellipsis_keep(text, positions, line, 5, 10), 0u);
}

TEST(TextLayoutEllipsis, WorksOnALaterLineOfTheText) {
    const WString text = u"first line\nsecond part";
    const auto positions = even_positions(text);
    const TextLine line{11, 22};
    // Room 80: "second p" fits, cut back to "second".
    EXPECT_EQ(ellipsis_keep(text, positions, line, 90, 10), 6u);
}

TEST(TextLayoutHighlight, OccurrencesNeverOverlap) {
    // "aaaa" holds "aa" at 0 and, without overlap, at 2.
    EXPECT_EQ(find_highlights(u"aaaa", u"aa"), (std::vector<TextRange>{{0, 2}, {2, 2}}));
    // At 1, overlapping at 2 and 3: only 1, then from 3 on.
    EXPECT_EQ(find_highlights(u"xaaab", u"aa"), (std::vector<TextRange>{{1, 2}}));
    EXPECT_EQ(find_highlights(u"xababx", u"ab"), (std::vector<TextRange>{{1, 2}, {3, 2}}));
    EXPECT_TRUE(find_highlights(u"abc", u"").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"abcd").empty());
    EXPECT_TRUE(find_highlights(u"abc", u"B").empty()); // exact, case-sensitive
}

TEST(TextLayoutAlign, Horizontal) {
    EXPECT_EQ(align_x(HAlign::Left, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Justify, 100, 40), 0);
    EXPECT_EQ(align_x(HAlign::Center, 100, 40), 30);
    EXPECT_EQ(align_x(HAlign::Right, 100, 40), 60);
    // Wider than the box: centred text overhangs on both sides.
    EXPECT_EQ(align_x(HAlign::Center, 100, 140), -20);
}

TEST(TextLayoutAlign, Vertical) {
    EXPECT_EQ(align_y(VAlign::Top, 20, 30), 0);
    EXPECT_EQ(align_y(VAlign::VCenter, 40, 10), 15);
    EXPECT_EQ(align_y(VAlign::VCenter, 20, 30), 0); // never above the top
    // Three lines of 10 in 20: the first line starts 10 above the top.
    EXPECT_EQ(align_y(VAlign::Bottom, 20, 30), -10);
}

TEST(TextLayoutAlign, SkinWords) {
    EXPECT_EQ(parse_halign(u"JUSTIFY"), HAlign::Justify);
    EXPECT_EQ(parse_halign(u"RIGHT"), HAlign::Right);
    EXPECT_EQ(parse_halign(u"right"), std::nullopt);
    EXPECT_EQ(parse_valign(u"BOTTOM"), VAlign::Bottom);
    EXPECT_EQ(parse_valign(u"CENTER"), std::nullopt); // the vertical word is VCENTER
}

TEST(TextLayoutRuns, SplitAtLinkAndHighlightEdges) {
    std::vector<StyledRun> runs;
    const std::vector<TextRange> links = {{5, 10}};
    const std::vector<TextRange> marks = {{0, 2}, {8, 4}, {30, 2}};
    split_runs(0, 20, links, marks, runs);
    EXPECT_EQ(runs, (std::vector<StyledRun>{{0, 2, false, true},
                                            {2, 5, false, false},
                                            {5, 8, true, false},
                                            {8, 12, true, true},
                                            {12, 15, true, false},
                                            {15, 20, false, false}}));
    // Only the part of the line in view; ranges before it are skipped.
    split_runs(10, 13, links, marks, runs);
    EXPECT_EQ(runs, (std::vector<StyledRun>{{10, 12, true, true}, {12, 13, true, false}}));
    split_runs(4, 4, links, marks, runs);
    EXPECT_TRUE(runs.empty());
    // Empty ranges add no pieces.
    const std::vector<TextRange> empty_marks = {{3, 0}};
    split_runs(0, 6, {}, empty_marks, runs);
    EXPECT_EQ(runs, (std::vector<StyledRun>{{0, 6, false, false}}));
}
