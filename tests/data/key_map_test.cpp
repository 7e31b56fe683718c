#include "data/key_map.h"
#include "data/key_text_file.h"
#include <cstdlib>
#include <gtest/gtest.h>

namespace telvara::data {
namespace {
std::string fixture(const char* name) {
    const char* dir = std::getenv("TELVARA_TEST_DATA");
    return std::string(dir != nullptr ? dir : "tests/data") + "/" + name;
}

TEST(KeyMap, FixtureLoadsAndSkipsBadLinesAMissingFileIsEmpty) {
    auto table = read_key_text_file(fixture("keyboard.txt"));
    ASSERT_TRUE(table);
    std::size_t skipped = 0;
    KeyMap map = KeyMap::from_table(*table, &skipped);
    EXPECT_EQ(skipped, 2u); // "22 xyz" and the bare "1"
    EXPECT_EQ(map.size(), 8u);
    EXPECT_TRUE(map.unambiguous());
    // Each key with the letters it matches and one it does not (ß with s); a typed key also stands
    // for itself, so digits find phone numbers; without an entry a character matches only itself.
    for (const char16_t* row : {u"2abcагàç/d", u"3ё/a", u"9я/a", u"7ß/a", u"55/6", u"xx/y"}) {
        const WStringView text(row);
        for (char16_t c : text.substr(1, text.find(u'/') - 1))
            EXPECT_TRUE(map.matches(row[0], c)) << to_utf8(row);
        EXPECT_FALSE(map.matches(row[0], text.back())) << to_utf8(row);
    }
    EXPECT_EQ(map.key_of(u'é'), u'3');
    EXPECT_EQ(map.key_of(u'!'), u'!');
    EXPECT_EQ(KeyMap::load(fixture("keyboard.txt")).load_error(), "");
    KeyMap none = KeyMap::load("/nonexistent/keyboard.txt");
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.load_error(), "") << "a missing map is no damage";
    EXPECT_TRUE(none.matches(u'a', u'a'));
    EXPECT_FALSE(none.matches(u'2', u'a'));
    KeyMap both = KeyMap::from_table({{u"1", u"AB"}, {u"2", u"bc"}});
    EXPECT_FALSE(both.unambiguous());
    EXPECT_TRUE(both.matches(u'1', u'a') && both.matches(u'1', u'b') && both.matches(u'2', u'b'))
        << "texts are lower-cased";
}

} // namespace
} // namespace telvara::data
