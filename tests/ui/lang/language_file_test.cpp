// The key/text file reader (encodings, damage, files on
// disk), the system language and the files shipped beside the program.
#include "ui/lang/language_file.h"
#include "ui/lang/language_strings.h"

#include "platform/atomic_file.h"
#include "runtime/device_root_fixture.h"
#include "runtime/paths.h"
#include "ui/lang/system_language.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>

using namespace telvara;
using namespace telvara::ui;

namespace {

std::string utf16_file(WStringView text, bool mark = true) {
    std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

TEST(LanguageBytes, EachEncodingAnEditorWritesIsDecoded) {
    const struct {
        std::string bytes;
        WString text;
    } rows[] = {
        {utf16_file(u"Cancel=Отмена\r\n"), u"Cancel=Отмена\r\n"},
        {"\xFF\xFE", u""}, // the mark alone
        // No FF FE: each byte is a character, the zero bytes included.
        {utf16_file(u"k=v", false), WString{u'k', 0, u'=', 0, u'v', 0}},
        // 8-bit Russian is Windows-1251.
        {"Cancel=\xCE\xF2\xEC\xE5\xED\xE0\r\nK=\xA8\xE6\xB8", u"Cancel=Отмена\r\nK=Ёжё"},
        {"Cancel=\xD0\x9E\xD1\x82", u"Cancel=От"}, // UTF-8
        {"\xEF\xBB\xBFk=\xD0\x96", u"k=Ж"},        // its mark dropped
        {"k=v", u"k=v"},
        // A lone lead byte, overlong forms and surrogates are not UTF-8: 1251.
        {"\xD0", u"Р"},
        {"\xE0\x80\x80", WString{u'а', 0x0402, 0x0402}},
        {"\xED\xA0\x80", u"\u043D\u00A0\u0402"},
        // The first three-byte and four-byte characters are UTF-8 all the same.
        {"\xE0\xA0\x80\xF0\x90\x80\x80", u"\u0800\U00010000"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(decode_language_bytes(r.bytes), r.text) << r.bytes;
    // Odd length: 8-bit text, the mark's bytes included (Windows-1251 FF is я).
    const std::string odd = utf16_file(u"k=v") + "x";
    EXPECT_EQ(decode_language_bytes(odd).size(), odd.size());
    EXPECT_EQ(decode_language_bytes(odd).substr(0, 2), u"яю");
    const std::pair<unsigned char, char16_t> cp1251[] = {{0x41, u'A'},      {0x80, u'\u0402'},
                                                         {0x98, u'\uFFFD'}, {0xB9, u'№'},
                                                         {0xC0, u'А'},      {0xFF, u'я'}};
    for (const auto& [byte, character] : cp1251)
        EXPECT_EQ(windows_1251(byte), character) << int(byte);
    // The zero bytes of mark-less UTF-16 are no blanks: the key runs to "=".
    const LanguageTable table =
        parse_language_text(decode_language_bytes(utf16_file(u"k=v", false)));
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.begin()->first, (WString{u'k', 0}));
}

// What an editor writes passes; what damage leaves is refused with a reason.
TEST(LanguageBytes, DamageIsToldApartFromEveryEncodingAnEditorWrites) {
    const std::string utf8 = "Cancel=\xD0\x9E\xD1\x82\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB0\n";
    const std::string cp1251 = "Cancel=\xCE\xF2\xEC\xE5\xED\xE0\r\n";
    const struct {
        const char* name;
        std::string bytes;
        const char* damage; // nullptr: readable
    } cases[] = {
        {"empty", "", nullptr},
        {"ASCII", "k=v\n", nullptr},
        {"UTF-16", utf16_file(u"Cancel=Отмена\r\n"), nullptr},
        {"the UTF-16 mark alone", "\xFF\xFE", nullptr},
        {"UTF-8", utf8, nullptr},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8, nullptr},
        {"Windows-1251", cp1251, nullptr},
        // "ВЁ" is C2 A8, a well-formed UTF-8 pair among 1251 letters.
        {"Windows-1251 with a pair that looks like UTF-8", "K=\xC2\xA8\xD0\xC0\n" + cp1251,
         nullptr},
        {"UTF-16 one byte short", utf16_file(u"Cancel=Отмена\r\n").substr(0, 29), "odd length"},
        {"UTF-16 that lost its mark", utf16_file(u"k=v\r\n", false), "zero bytes"},
        {"UTF-8 cut inside its last character", utf8.substr(0, utf8.size() - 2),
         "cut short inside a character"},
        {"UTF-8 with a damaged byte", utf8.substr(0, 9) + "\xFF" + utf8.substr(10),
         "not valid UTF-8 at byte 9"},
        {"marked UTF-8 that is not", "\xEF\xBB\xBF" + cp1251, "not valid UTF-8"},
    };
    for (const auto& c : cases) {
        const std::string damage = language_bytes_damage(c.bytes);
        if (c.damage == nullptr)
            EXPECT_EQ(damage, "") << c.name;
        else
            EXPECT_NE(damage.find(c.damage), std::string::npos) << c.name << ": " << damage;
    }
}

using LanguageStringsTest = telvara::test_support::DeviceRootTest;

// A file that is there but cannot be used is refused with its name and the
// reason; a missing one is no damage and says nothing. Either keeps the table.
TEST_F(LanguageStringsTest, ARefusedFileSaysWhyAndAMissingOneSaysNothing) {
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(root() + "/" + name, std::ios::binary) << bytes;
    };
    LanguageStrings strings;
    write("en.lng", "Cancel=Abort\n");
    ASSERT_TRUE(strings.load_language_file(u"/en.lng"));
    write("short.lng", utf16_file(u"Cancel=Abbruch\r\n").substr(0, 27));
    write("big.lng", std::string(kMaxLanguageFileBytes + 1, 'x'));
    std::filesystem::create_symlink("/dev/zero", root() + "/zero.lng");
    ::mkfifo((root() + "/fifo.lng").c_str(), 0600);
    std::filesystem::create_directory(root() + "/folder.lng");
    const struct {
        const char16_t* path;
        const char* said; // nullptr: nothing
    } cases[] = {
        {u"/short.lng", "odd length"},        {u"/big.lng", "larger than 4.0 MB"},
        {u"/zero.lng", "not a regular file"}, {u"/fifo.lng", "not a regular file"},
        {u"/missing.lng", nullptr},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_FALSE(strings.load_language_file(c.path, &why)) << to_utf8(c.path);
        if (c.said == nullptr) {
            EXPECT_EQ(why, "") << to_utf8(c.path);
        } else {
            EXPECT_TRUE(why.starts_with(runtime::file_path(c.path) + ": ")) << why;
            EXPECT_NE(why.find(c.said), std::string::npos) << why;
        }
    }
    EXPECT_FALSE(strings.load_language_file(u"/folder.lng")) << "a folder is no file";
    EXPECT_EQ(strings.path(), u"/en.lng");
    EXPECT_EQ(strings.translate(u"Cancel"), u"Abort");
}

TEST(SystemLanguage, TableSlotsAndLocaleCodes) {
    const std::pair<unsigned, const char16_t*> ids[] = {
        {9, u"english"}, {25, u"russian"}, {1, u"arabic"}, {97, u"nepali"}, {0, u""},
        {23, u""},       {40, u""},        {46, u""},      {48, u""},       {53, u""},
        {95, u""},       {98, u""},        {1000, u""}};
    for (const auto& [id, name] : ids)
        EXPECT_EQ(language_name_for_id(id), name) << id;
    const std::pair<const char*, const char16_t*> locales[] = {{"ru_RU.UTF-8", u"russian"},
                                                               {"de_AT@euro", u"german"},
                                                               {"en", u"english"},
                                                               {"EN_us", u"english"},
                                                               {"pt_BR.ISO-8859-1", u"portuguese"},
                                                               {"nb_NO.UTF-8", u"norwegian"},
                                                               {"iw_IL", u"hebrew"},
                                                               {"be_BY", u"byelorussian"},
                                                               {"C", u""},
                                                               {"C.UTF-8", u""},
                                                               {"POSIX", u""},
                                                               {"", u""},
                                                               {"xx_YY", u""},
                                                               {"eng", u""}};
    for (const auto& [locale, name] : locales)
        EXPECT_EQ(language_name_for_locale(locale), name) << locale;
}

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
