#include "data/collation.h"
#include "data/text_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace telvara::data {
namespace {

TEST(Collation, FixedWeights) {
    // clang-format off
    const std::pair<char16_t, std::uint32_t> rows[] = {{u'0', 1}, {u'9', 82}, {u' ', 2032},
        {u'A', 2221}, {u'a', 2222}, {u'À', 2226}, {u'à', 2227}, {u'А', 2809}, {u'а', 2810},
        {u'Ё', 2833}, {u'ё', 2834}};
    // clang-format on
    for (auto [c, weight] : rows)
        EXPECT_EQ(collation_weight(c), weight) << int(c);
}

TEST(Collation, EveryCodeBelow4096HasItsOwnWeight) {
    std::set<std::uint32_t> seen;
    for (unsigned c = 0; c < 4096; ++c) {
        std::uint32_t w = collation_weight(static_cast<char16_t>(c));
        EXPECT_LT(w, 8192u) << c;
        EXPECT_TRUE(seen.insert(w).second) << "weight " << w << " twice, code " << c;
    }
    EXPECT_EQ(collation_weight(0x1000), 8192u + 0x1000);
    EXPECT_LT(collation_weight(0x1000), collation_weight(0x1001));
}

TEST(Collation, DigitsBeforeSignsSpaceAndLetters) {
    for (char16_t d = u'0'; d <= u'9'; ++d)
        for (char16_t other : {u'!', u'+', u'A', u'\u0410'})
            EXPECT_LT(collation_weight(d), collation_weight(other)) << int(d) << " " << int(other);
    EXPECT_LT(collate(u"9 Lives", u"Anna"), 0);
    EXPECT_LT(collate(u"10", u"9"), 0); // character by character, not numeric
}

TEST(Collation, EachCapitalDirectlyBeforeItsSmallLetter) {
    for (char16_t c = u'A'; c <= u'Z'; ++c)
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << char(c);
    for (char16_t c = 0x0410; c <= 0x042F; ++c)
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << int(c);
    for (char16_t c : {u'\u00C9', u'\u0141', u'\u0160', u'\u00D8', u'\u0401', u'\u0406'})
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << int(c);
}

TEST(Collation, AccentedLatinBesideItsBaseLetter) {
    auto between = [](char16_t c, char16_t base, char16_t next) {
        return collation_weight(c) > collation_weight(to_lower(base)) &&
               collation_weight(c) < collation_weight(next);
    };
    for (const char16_t* row : {u"éEF", u"ÉEF", u"üUV", u"łLM", u"ßST", u"øOP", u"čCD"})
        EXPECT_TRUE(between(row[0], row[1], row[2])) << int(row[0]);
    EXPECT_LT(collate(u"Émile", u"Fabien"), 0);
    EXPECT_GT(collate(u"Émile", u"Edgar"), 0);
    EXPECT_LT(collate(u"Łukasz", u"Maria"), 0);
}

TEST(Collation, CyrillicInAlphabetOrderWithYoAfterYe) {
    const char16_t* alphabet =
        u"\u0430\u0431\u0432\u0433\u0434\u0435\u0451\u0436\u0437\u0438\u0439\u043A\u043B"
        u"\u043C\u043D\u043E\u043F\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448"
        u"\u0449\u044A\u044B\u044C\u044D\u044E\u044F";
    WStringView a(alphabet);
    ASSERT_EQ(a.size(), 33u);
    for (std::size_t i = 0; i + 1 < a.size(); ++i)
        EXPECT_LT(collation_weight(a[i]), collation_weight(a[i + 1])) << i;
    // Latin before Cyrillic.
    EXPECT_LT(collation_weight(u'z'), collation_weight(u'\u0410'));
    // Ёлка sorts after Елена and before Жанна.
    EXPECT_GT(collate(u"\u0401\u043B\u043A\u0430", u"\u0415\u043B\u0435\u043D\u0430"), 0);
    EXPECT_LT(collate(u"\u0401\u043B\u043A\u0430", u"\u0416\u0430\u043D\u043D\u0430"), 0);
}

TEST(Collation, PrefixFirstAndEquality) {
    EXPECT_TRUE(collate(u"ann", u"anna") < 0 && collate(u"anna", u"ann") > 0);
    EXPECT_EQ(collate(u"anna", u"anna"), 0);
    EXPECT_LT(collate(u"", u"a"), 0);
    EXPECT_LT(collate(u"a b", u"ab"), 0); // space before letters
}

TEST(TextCase, LowerCasesLatinCyrillicAndGreek) {
    EXPECT_EQ(to_lower(u"ÀÉÎÕÜ ÇŁŠ Ёлка ΑΒΓ Hello"), u"àéîõü çłš ёлка αβγ hello");
    EXPECT_EQ(to_lower(u'\u0130'), u'\u0130'); // İ lower-cases to two characters: kept
    EXPECT_EQ(to_lower(u'7'), u'7');
    EXPECT_EQ(to_lower(u'\uFF21'), u'\uFF41');
}

} // namespace
} // namespace telvara::data
