#include "ui/font_measure.h"

#include "ui/font_cache.h"

#include <gtest/gtest.h>

using namespace telvara;
using namespace telvara::ui;

namespace {

FontHandle list_font() {
    FontDescription d;
    d.size = 10;
    d.scale_factor = 2;
    return font_for(d);
}

} // namespace

TEST(MeasureText, PositionsGrowToTheWidth) {
    FontHandle font = list_font();
    const WString text = u"Анна Smith, 42";
    std::vector<std::int32_t> positions;
    const TextExtent extent = measure_text(font.get(), text, no_width_limit, positions);
    ASSERT_EQ(positions.size(), text.size());
    EXPECT_GT(positions[0], 0);
    for (std::size_t i = 1; i < positions.size(); ++i)
        EXPECT_GE(positions[i], positions[i - 1]) << i;
    EXPECT_EQ(positions.back(), extent.width);
    EXPECT_EQ(extent.height, font->height());
    EXPECT_EQ(extent.fit, static_cast<std::int32_t>(text.size()));
    EXPECT_EQ(measure_text(font.get(), text).width, extent.width);
}

TEST(MeasureText, FitCountsTheCharactersWithinTheMaximum) {
    FontHandle font = list_font();
    const WString text = u"Константин Константинопольский";
    std::vector<std::int32_t> positions;
    const std::int32_t width = measure_text(font.get(), text, no_width_limit, positions).width;
    for (std::int32_t max : {0, 1, positions[0], positions[0] + 1, width / 3, width / 2, width - 1,
                             width, width + 50}) {
        const TextExtent cut = measure_text(font.get(), text, max);
        EXPECT_EQ(cut.width, width) << "the width is always the whole text's";
        const std::size_t fit = static_cast<std::size_t>(cut.fit);
        if (fit > 0) {
            EXPECT_LE(positions[fit - 1], max);
        }
        if (fit < text.size()) {
            EXPECT_GT(positions[fit], max);
        }
    }
    EXPECT_EQ(measure_text(font.get(), text, -5).fit, 0);
    const TextExtent half = measure_text(font.get(), text, width / 2);
    EXPECT_GT(half.fit, 0);
    EXPECT_LT(half.fit, static_cast<std::int32_t>(text.size()));
}

TEST(MeasureText, KerningIsPartOfTheWidth) {
    FontHandle font = list_font();
    const std::int32_t pair = measure_text(font.get(), u"AV").width;
    const std::int32_t apart =
        measure_text(font.get(), u"A").width + measure_text(font.get(), u"V").width;
    EXPECT_LE(pair, apart);
}

TEST(MeasureText, SurrogatePairIsOneCharacter) {
    FontHandle font = list_font();
    const WString text = u"a\U0001F600b";
    std::vector<std::int32_t> positions;
    const TextExtent extent = measure_text(font.get(), text, no_width_limit, positions);
    ASSERT_EQ(positions.size(), 4u);
    EXPECT_EQ(positions[1], positions[2]);
    EXPECT_GT(positions[1], positions[0]);
    EXPECT_EQ(positions[3], extent.width);
    // Between the end of "a" and the end of the pair only "a" fits, never
    // half of the pair.
    EXPECT_EQ(measure_text(font.get(), text, positions[1] - 1).fit, 1);
    EXPECT_EQ(measure_text(font.get(), text, positions[1]).fit, 3);
    // A lone surrogate is still measured as a character.
    EXPECT_GT(measure_text(font.get(), WString(1, char16_t(0xDC00))).width, 0);
}

TEST(MeasureText, EmptyTextAndNullFontsMeasureZero) {
    FontHandle font = list_font();
    const TextExtent empty = measure_text(font.get(), u"");
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, font->height());
    EXPECT_EQ(empty.fit, 0);

    std::vector<std::int32_t> positions{7, 7};
    const TextExtent none = measure_text(nullptr, u"abc", 10, positions);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
    EXPECT_EQ(positions, (std::vector<std::int32_t>{0, 0, 0}));

    FontDescription zero;
    zero.size = 0;
    EXPECT_EQ(measure_text(font_for(zero).get(), u"abc").width, 0);
}

TEST(CutWithEllipsis, LeavesFittingTextAlone) {
    FontHandle font = list_font();
    const WString text = u"Иван Петров";
    const std::int32_t width = measure_text(font.get(), text).width;
    EXPECT_EQ(cut_with_ellipsis(font.get(), text, width, EllipsisCut::AnyCharacter), text);
}

TEST(CutWithEllipsis, LongTextEndsInAnEllipsisWithinTheWidth) {
    FontHandle font = list_font();
    const WString text = u"Александра Константиновна Иванова-Петрова";
    const std::int32_t max = measure_text(font.get(), text).width / 2;
    for (EllipsisCut cut : {EllipsisCut::AnyCharacter, EllipsisCut::WordEnd}) {
        const WString shown = cut_with_ellipsis(font.get(), text, max, cut);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(), u'\u2026');
        EXPECT_LE(measure_text(font.get(), shown).width, max);
        EXPECT_EQ(text.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0);
    }
    // At a word end: the whole first word, without the blank after it.
    const WString words = cut_with_ellipsis(font.get(), text, max, EllipsisCut::WordEnd);
    EXPECT_EQ(words, u"Александра\u2026");
}

TEST(CutWithEllipsis, NoRoomLeavesTheEllipsisAlone) {
    FontHandle font = list_font();
    EXPECT_EQ(cut_with_ellipsis(font.get(), u"Wonderful", 1, EllipsisCut::AnyCharacter), u"\u2026");
    // One long word cut by characters even at word ends.
    const WString word = u"Донауэшингенский";
    const std::int32_t max = measure_text(font.get(), word).width * 2 / 3;
    const WString shown = cut_with_ellipsis(font.get(), word, max, EllipsisCut::WordEnd);
    EXPECT_GT(shown.size(), 2u);
    EXPECT_LT(shown.size(), word.size());
}
