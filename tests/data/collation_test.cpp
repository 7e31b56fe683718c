#include "data/collation.h"
#include "data/text_case.h"
#include <gtest/gtest.h>

namespace telvara::data {
namespace {

TEST(Collation, CompareTexts) {
    // clang-format off
    const std::tuple<const char16_t*, const char16_t*, int> rows[] = {{u"9 Lives", u"Anna", -1},
        {u"10", u"9", -1}, {u"Émile", u"Fabien", -1}, {u"Émile", u"Edgar", 1},
        {u"Łukasz", u"Maria", -1}, {u"Ёлка", u"Елена", 1}, {u"Ёлка", u"Жанна", -1},
        {u"ann", u"anna", -1}, {u"anna", u"ann", 1}, {u"anna", u"anna", 0}, {u"", u"a", -1},
        {u"a b", u"ab", -1}, {u"Anna", u"anna", -1}, {u"Ёлка", u"ёлка", -1}};
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
