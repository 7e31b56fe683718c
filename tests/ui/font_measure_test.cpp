// Text measures: pen positions, how much fits, and cuts with an ellipsis.
#include "ui/font_measure.h"

#include "ui/font_cache.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace telvara;
using namespace telvara::ui;

namespace {

FontHandle list_font(std::int32_t size = 10) {
    FontDescription d;
    d.size = size;
    d.scale_factor = 2;
    return font_for(d);
}

std::vector<std::int32_t> positions_of(WStringView text, TextExtent* extent = nullptr) {
    std::vector<std::int32_t> positions;
    const TextExtent measured = measure_text(list_font().get(), text, no_width_limit, positions);
    if (extent)
        *extent = measured;
    return positions;
}

} // namespace

TEST(MeasureText, PositionsGrowToTheWidthWithKerningAndPairsAsOneCharacter) {
    FontHandle font = list_font();
    const WString text = u"Анна Smith, 42";
    TextExtent extent;
    const auto positions = positions_of(text, &extent);
    ASSERT_EQ(positions.size(), text.size());
    EXPECT_GT(positions[0], 0);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), extent.width);
    EXPECT_EQ(extent.height, font->height());
    EXPECT_EQ(extent.fit, std::int32_t(text.size()));
    EXPECT_EQ(measure_text(font.get(), text).width, extent.width);
    EXPECT_LE(measure_text(font.get(), u"AV").width,
              measure_text(font.get(), u"A").width + measure_text(font.get(), u"V").width);
    const auto pair = positions_of(u"a\U0001F600b", &extent);
    ASSERT_EQ(pair.size(), 4u);
    EXPECT_EQ(pair[1], pair[2]);
    EXPECT_GT(pair[1], pair[0]);
    EXPECT_EQ(pair[3], extent.width);
    // Between the end of "a" and the end of the pair only "a" fits.
    EXPECT_EQ(measure_text(font.get(), u"a\U0001F600b", pair[1] - 1).fit, 1);
    EXPECT_EQ(measure_text(font.get(), u"a\U0001F600b", pair[1]).fit, 3);
    EXPECT_GT(measure_text(font.get(), WString(1, char16_t(0xDC00))).width, 0) << "a lone half";
}

TEST(CutWithEllipsis, FittingTextStaysLongTextEndsInAnEllipsisWithinTheWidth) {
    FontHandle font = list_font();
    const WString name = u"Иван Петров";
    EXPECT_EQ(cut_with_ellipsis(font.get(), name, measure_text(font.get(), name).width,
                                EllipsisCut::AnyCharacter),
              name);
    const WString text = u"Александра Константиновна Иванова-Петрова";
    const std::int32_t max = measure_text(font.get(), text).width / 2;
    for (EllipsisCut cut : {EllipsisCut::AnyCharacter, EllipsisCut::WordEnd}) {
        const WString shown = cut_with_ellipsis(font.get(), text, max, cut);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(), u'\u2026');
        EXPECT_LE(measure_text(font.get(), shown).width, max);
        EXPECT_EQ(text.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0);
    }
    EXPECT_EQ(cut_with_ellipsis(font.get(), text, max, EllipsisCut::WordEnd), u"Александра\u2026")
        << "the whole first word, without the blank after it";
    EXPECT_EQ(cut_with_ellipsis(font.get(), u"Wonderful", 1, EllipsisCut::AnyCharacter), u"\u2026");
    // One long word is cut by characters even at word ends.
    const WString word = u"Донауэшингенский";
    const WString shown = cut_with_ellipsis(
        font.get(), word, measure_text(font.get(), word).width * 2 / 3, EllipsisCut::WordEnd);
    EXPECT_GT(shown.size(), 2u);
    EXPECT_LT(shown.size(), word.size());
}
