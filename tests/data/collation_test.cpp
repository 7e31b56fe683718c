#include "data/collation.h"
#include "data/text_case.h"
#include <gtest/gtest.h>
#include <set>

namespace telvara::data {
namespace {

TEST(Collation, PinnedWeightsAreDistinctBelow4096) {
    // clang-format off
    const std::pair<char16_t, std::uint32_t> rows[] = {{u'0', 1}, {u'9', 82}, {u' ', 2032},
        {u'A', 2221}, {u'a', 2222}, {u'À', 2226}, {u'à', 2227}, {u'А', 2809}, {u'а', 2810},
        {u'Ё', 2833}, {u'ё', 2834}};
    // clang-format on
    for (auto [c, weight] : rows)
        EXPECT_EQ(collation_weight(c), weight) << int(c);
    std::set<std::uint32_t> seen;
    for (unsigned c = 0; c < 4096; ++c) {
        const std::uint32_t w = collation_weight(static_cast<char16_t>(c));
        EXPECT_TRUE(w < 8192u && seen.insert(w).second) << "weight " << w << ", code " << c;
    }
    EXPECT_EQ(collation_weight(0x1000), 8192u + 0x1000);
    EXPECT_LT(collation_weight(0x1000), collation_weight(0x1001));
}

TEST(Collation, LettersInTheirPlaces) {
    for (char16_t d = u'0'; d <= u'9'; ++d)
        for (char16_t other : {u'!', u'+', u'A', u'\u0410'})
            EXPECT_LT(collation_weight(d), collation_weight(other)) << int(d) << " " << int(other);
    // Each capital directly before its small letter.
    for (char16_t c = u'A'; c <= u'Z'; ++c)
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << char(c);
    for (char16_t c = 0x0410; c <= 0x042F; ++c)
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << int(c);
    for (char16_t c : {u'\u00C9', u'\u0141', u'\u0160', u'\u00D8', u'\u0401', u'\u0406'})
        EXPECT_EQ(collation_weight(c) + 1, collation_weight(to_lower(c))) << int(c);
    // Accented Latin between its base letter and the next.
    for (const char16_t* row : {u"éEF", u"ÉEF", u"üUV", u"łLM", u"ßST", u"øOP", u"čCD"})
        EXPECT_TRUE(collation_weight(row[0]) > collation_weight(to_lower(row[1])) &&
                    collation_weight(row[0]) < collation_weight(row[2]))
            << int(row[0]);
    // Cyrillic in alphabet order (ё after е), after the Latin letters.
    const WStringView a = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
    ASSERT_EQ(a.size(), 33u);
    for (std::size_t i = 0; i + 1 < a.size(); ++i)
        EXPECT_LT(collation_weight(a[i]), collation_weight(a[i + 1])) << i;
    EXPECT_LT(collation_weight(u'z'), collation_weight(u'\u0410'));
}

TEST(Collation, CompareTexts) {
    // clang-format off
    const std::tuple<const char16_t*, const char16_t*, int> rows[] = {{u"9 Lives", u"Anna", -1},
        {u"10", u"9", -1}, {u"Émile", u"Fabien", -1}, {u"Émile", u"Edgar", 1},
        {u"Łukasz", u"Maria", -1}, {u"Ёлка", u"Елена", 1}, {u"Ёлка", u"Жанна", -1},
        {u"ann", u"anna", -1}, {u"anna", u"ann", 1}, {u"anna", u"anna", 0}, {u"", u"a", -1},
        {u"a b", u"ab", -1}};
    // clang-format on
    for (auto [a, b, sign] : rows) {
        const int got = collate(a, b);
        EXPECT_EQ((got > 0) - (got < 0), sign) << to_utf8(a) << " / " << to_utf8(b);
    }
}

TEST(TextCase, LowerCasesLatinCyrillicAndGreek) {
    EXPECT_EQ(to_lower(u"ÀÉÎÕÜ ÇŁŠ Ёлка ΑΒΓ Hello"), u"àéîõü çłš ёлка αβγ hello");
    EXPECT_EQ(to_lower(u'\u0130'), u'\u0130'); // İ lower-cases to two characters: kept
    EXPECT_EQ(to_lower(u'7'), u'7');
    EXPECT_EQ(to_lower(u'\uFF21'), u'\uFF41');
}

} // namespace
} // namespace telvara::data
