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

std::string shipped(const std::string& name) {
    return runtime::file_path(u"%app_path%/" + from_utf8(name));
}

TEST(ShippedFiles, LanguageFilesAreUtf16WithTheSameKeysAndTheirHelpPage) {
    std::map<std::string, std::set<WString>> keys;
    for (const char* name : {"english.lng", "russian.lng"}) {
        const auto bytes = platform::read_whole_file(shipped(name));
        ASSERT_TRUE(bytes && bytes->size() >= 2) << name;
        EXPECT_EQ(bytes->substr(0, 2), "\xFF\xFE") << name;
        EXPECT_EQ(bytes->size() % 2, 0u) << name;
        const LanguageTable table = parse_language_text(decode_language_bytes(*bytes));
        for (const auto& [key, text] : table) {
            EXPECT_FALSE(text.empty()) << name << ": " << to_utf8(key);
            keys[name].insert(key);
        }
        const auto page = platform::read_whole_file(shipped(to_utf8(table.at(u"Help_link"))));
        ASSERT_TRUE(page) << name;
        EXPECT_NE(page->find("<html"), std::string::npos) << name;
        EXPECT_EQ(table.at(u"Cancel"), std::string(name) == "russian.lng" ? u"Отмена" : u"Cancel");
    }
    for (const char16_t* key : {u"NoSkins", u"Cancel", u"Language", u"Skin"})
        EXPECT_TRUE(keys["english.lng"].contains(key)) << to_utf8(key);
    EXPECT_EQ(keys["english.lng"], keys["russian.lng"]) << "every key in both languages";
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
        for (char16_t c : text)
            EXPECT_TRUE(key_of.emplace(c, key[0]).second) << "on two keys: " << int(c);
        for (char16_t c : base.at(key[0]))
            EXPECT_EQ(key_of[c], key[0]) << int(c);
    }
    for (char16_t c = u'a'; c <= u'z'; ++c)
        EXPECT_TRUE(key_of.contains(c)) << char(c);
    for (char16_t c = u'а'; c <= u'я'; ++c)
        EXPECT_TRUE(key_of.contains(c)) << int(c);
    // Accented letters sit with their base letter.
    const std::pair<char16_t, char16_t> accented[] = {
        {u'é', u'3'}, {u'ß', u'7'}, {u'ł', u'5'}, {u'ö', u'6'}, {u'ž', u'9'}};
    for (const auto& [letter, key] : accented)
        EXPECT_EQ(key_of[letter], key) << int(letter);
}

} // namespace
