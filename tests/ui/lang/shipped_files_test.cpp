// The language files and the letter map copied beside the program.
#include "ui/lang/language_file.h"

#include "platform/atomic_file.h"
#include "runtime/paths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace telvara;
using namespace telvara::ui;

namespace {

std::string shipped(const char* name) {
    return runtime::file_path(u"%app_path%/" + from_utf8(name));
}

TEST(ShippedFiles, LanguageFilesAreUtf16WithTheSameKeys) {
    std::map<std::string, LanguageTable> tables;
    for (const char* name : {"english.lng", "russian.lng"}) {
        const auto bytes = platform::read_whole_file(shipped(name));
        ASSERT_TRUE(bytes) << name;
        ASSERT_GE(bytes->size(), 2u);
        EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE") << name;
        EXPECT_EQ(bytes->size() % 2, 0u) << name;
        tables[name] = parse_language_text(decode_language_bytes(*bytes));
        for (const auto& [key, text] : tables[name])
            EXPECT_FALSE(text.empty()) << name << ": " << to_utf8(key);
    }
    const LanguageTable& english = tables["english.lng"];
    const LanguageTable& russian = tables["russian.lng"];
    for (const char* key : {"NoSkins", "Cancel", "Language", "Skin"})
        EXPECT_TRUE(english.contains(from_utf8(key))) << key;
    std::set<WString> english_keys, russian_keys;
    for (const auto& entry : english)
        english_keys.insert(entry.first);
    for (const auto& entry : russian)
        russian_keys.insert(entry.first);
    EXPECT_EQ(english_keys, russian_keys) << "every key in both languages";
    EXPECT_EQ(russian.at(u"Cancel"), u"Отмена");
}

TEST(ShippedFiles, EachLanguagesHelpPageIsShipped) {
    for (const char* name : {"english.lng", "russian.lng"}) {
        const auto table = read_language_file(shipped(name));
        ASSERT_TRUE(table) << name;
        const auto link = table->find(u"Help_link");
        ASSERT_NE(link, table->end()) << name;
        const auto page = platform::read_whole_file(shipped(to_utf8(link->second).c_str()));
        ASSERT_TRUE(page) << name << ": " << to_utf8(link->second);
        EXPECT_NE(page->find("<html"), std::string::npos) << name;
    }
}

TEST(ShippedFiles, KeyboardMapsEveryLetterToOneKey) {
    const auto table = read_language_file(shipped("keyboard.txt"));
    ASSERT_TRUE(table);
    const std::map<char16_t, WString> base = {
        {u'2', u"abcабвг"}, {u'3', u"defдеёжз"}, {u'4', u"ghiийкл"}, {u'5', u"jklмноп"},
        {u'6', u"mnoрсту"}, {u'7', u"pqrsфхцч"}, {u'8', u"tuvшщъы"}, {u'9', u"wxyzьэюя"},
    };
    ASSERT_EQ(table->size(), base.size());
    std::map<char16_t, char16_t> key_of;
    for (const auto& [key, text] : *table) {
        ASSERT_EQ(key.size(), 1u);
        for (char16_t c : text) {
            EXPECT_TRUE(key_of.emplace(c, key[0]).second) << "on two keys: " << int(c);
        }
        for (char16_t c : base.at(key[0]))
            EXPECT_EQ(key_of[c], key[0]) << int(c);
    }
    // Every Latin and Cyrillic lower-case letter is somewhere.
    for (char16_t c = u'a'; c <= u'z'; ++c)
        EXPECT_TRUE(key_of.contains(c)) << char(c);
    for (char16_t c = u'а'; c <= u'я'; ++c)
        EXPECT_TRUE(key_of.contains(c)) << int(c);
    // Accented letters sit with their base letter.
    EXPECT_EQ(key_of[u'é'], u'3');
    EXPECT_EQ(key_of[u'ß'], u'7');
    EXPECT_EQ(key_of[u'ł'], u'5');
    EXPECT_EQ(key_of[u'ö'], u'6');
    EXPECT_EQ(key_of[u'ž'], u'9');
}

} // namespace
