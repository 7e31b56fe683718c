// The key/text file reader: encodings, the line format and files on disk.
#include "ui/lang/language_file.h"
#include "ui/lang/language_strings.h"

#include "runtime/device_root_fixture.h"
#include "runtime/paths.h"

#include <gtest/gtest.h>

#include <fstream>
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

TEST(LanguageBytes, Utf16AfterTheMark) {
    EXPECT_EQ(decode_language_bytes(utf16_file(u"Cancel=Отмена\r\n")), u"Cancel=Отмена\r\n");
    EXPECT_EQ(decode_language_bytes("\xFF\xFE"), u"") << "the mark alone is an empty text";
    // Odd length: 8-bit text, the mark's bytes included (Windows-1251 FF is я).
    const std::string odd = utf16_file(u"k=v") + "x";
    const WString text = decode_language_bytes(odd);
    EXPECT_EQ(text.size(), odd.size());
    EXPECT_EQ(text.substr(0, 2), u"яю");
}

TEST(LanguageBytes, Utf16WithoutTheMarkIsEightBit) {
    // No FF FE: each byte is a character, the zero bytes included.
    const std::string bytes = utf16_file(u"k=v", false);
    const WString text = decode_language_bytes(bytes);
    ASSERT_EQ(text.size(), 6u);
    EXPECT_EQ(text, (WString{u'k', 0, u'=', 0, u'v', 0}));
    // The zero bytes are no blanks: the key runs up to the "=".
    const LanguageTable table = parse_language_text(text);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.begin()->first, (WString{u'k', 0}));
}

TEST(LanguageBytes, EightBitRussianIsWindows1251) {
    // "Отмена" and "Ёж" as a Russian Windows editor saves them.
    const WString text = decode_language_bytes("Cancel=\xCE\xF2\xEC\xE5\xED\xE0\r\nK=\xA8\xE6\xB8");
    EXPECT_EQ(text, u"Cancel=Отмена\r\nK=Ёжё");
    EXPECT_EQ(windows_1251(0x41), u'A');
    EXPECT_EQ(windows_1251(0x80), u'\u0402');
    EXPECT_EQ(windows_1251(0x98), u'\uFFFD');
    EXPECT_EQ(windows_1251(0xB9), u'\u2116'); // №
    EXPECT_EQ(windows_1251(0xC0), u'А');
    EXPECT_EQ(windows_1251(0xFF), u'я');
}

TEST(LanguageBytes, Utf8IsRecognisedAndItsMarkDropped) {
    EXPECT_EQ(decode_language_bytes("Cancel=\xD0\x9E\xD1\x82"), u"Cancel=От");
    EXPECT_EQ(decode_language_bytes("\xEF\xBB\xBFk=\xD0\x96"), u"k=Ж");
    // Plain ASCII is the same under both readings.
    EXPECT_EQ(decode_language_bytes("k=v"), u"k=v");
    // A lone lead byte, overlong forms and surrogates are not UTF-8: 1251.
    EXPECT_EQ(decode_language_bytes("\xD0"), u"Р");
    EXPECT_EQ(decode_language_bytes("\xE0\x80\x80"), (WString{u'а', 0x0402, 0x0402}));
    EXPECT_EQ(decode_language_bytes("\xED\xA0\x80").size(), 3u);
}

// What an editor writes passes; what damage leaves is refused with a reason.
TEST(LanguageBytes, DamageIsToldApartFromEveryEncodingAnEditorWrites) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* damage; // nullptr: readable
    };
    const std::string utf8 = "Cancel=\xD0\x9E\xD1\x82\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB0\n";
    const std::string cp1251 = "Cancel=\xCE\xF2\xEC\xE5\xED\xE0\r\n";
    const Case cases[] = {
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
    for (const Case& c : cases) {
        const std::string damage = language_bytes_damage(c.bytes);
        if (c.damage == nullptr)
            EXPECT_EQ(damage, "") << c.name;
        else
            EXPECT_NE(damage.find(c.damage), std::string::npos) << c.name << ": " << damage;
    }
}

TEST(LanguageText, LineFormat) {
    const LanguageTable t = parse_language_text(u"  Cancel=Abort\n"
                                                u"Ok  Fine\r\n"
                                                u"\n\t\r\n"
                                                u"Eq = x\n"
                                                u"Ok Again\n"
                                                u"=orphan\n"
                                                u"Trail text  \n"
                                                u"Alone\n"
                                                u"Spaced \t\r\n"
                                                u"Empty=\n"
                                                u"Last");
    EXPECT_EQ(t.at(u"Cancel"), u"Abort");
    EXPECT_EQ(t.at(u"Ok"), u"Again") << "a later line replaces an earlier one";
    EXPECT_EQ(t.at(u"Eq"), u"= x") << "after blanks the \"=\" belongs to the text";
    EXPECT_EQ(t.at(u"Trail"), u"text  ") << "nothing is trimmed";
    EXPECT_EQ(t.at(u"Alone"), u"");
    EXPECT_EQ(t.at(u"Spaced"), u"");
    EXPECT_EQ(t.at(u"Empty"), u"");
    EXPECT_EQ(t.at(u"Last"), u"") << "a key at the very end";
    EXPECT_EQ(t.count(u""), 0u) << "a line that begins with \"=\" is dropped";
    EXPECT_EQ(t.count(u"orphan"), 0u);
    EXPECT_EQ(t.size(), 8u);
}

TEST(LanguageText, CrLfAndLoneCrEndLines) {
    const LanguageTable t = parse_language_text(u"a=1\r\nb=2\rc=3\r\n\r\nd=\\n4");
    EXPECT_EQ(t.at(u"a"), u"1");
    EXPECT_EQ(t.at(u"b"), u"2");
    EXPECT_EQ(t.at(u"c"), u"3");
    EXPECT_EQ(t.at(u"d"), u"\\n4") << "no unescaping";
}

TEST(LanguageText, KeysAreCaseSensitiveAndOrdinal) {
    const LanguageTable t = parse_language_text(u"cancel=x\nCancel=y\nCANCEL=z\n");
    EXPECT_EQ(t.size(), 3u);
    std::vector<WString> keys;
    for (const auto& [key, text] : t)
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<WString>{u"CANCEL", u"Cancel", u"cancel"}));
}

class LanguageStringsTest : public telvara::test_support::DeviceRootTest {
  protected:
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(root() + "/" + name, std::ios::binary) << bytes;
    }
};

TEST_F(LanguageStringsTest, TranslateShowsTheKeyWhenMissing) {
    LanguageStrings strings;
    EXPECT_EQ(strings.translate(u"Cancel"), u"Cancel") << "empty before any load";
    EXPECT_EQ(strings.path(), u"");
    write("en.lng", utf16_file(u"Cancel=Abort\r\n"));
    ASSERT_TRUE(strings.load_language_file(u"/en.lng"));
    EXPECT_EQ(strings.path(), u"/en.lng");
    EXPECT_EQ(strings.translate(u"Cancel"), u"Abort");
    EXPECT_EQ(strings.translate(u"cancel"), u"cancel");
    EXPECT_EQ(strings.translate(u""), u"");
    EXPECT_EQ(strings.find(u"Nope"), nullptr);
}

TEST_F(LanguageStringsTest, EmptyFileLoadsAnEmptyTable) {
    LanguageStrings strings;
    write("en.lng", utf16_file(u"Cancel=Abort\r\n"));
    write("empty.lng", "");
    ASSERT_TRUE(strings.load_language_file(u"/en.lng"));
    ASSERT_TRUE(strings.load_language_file(u"/empty.lng"));
    EXPECT_EQ(strings.size(), 0u);
    EXPECT_EQ(strings.path(), u"/empty.lng");
    EXPECT_EQ(strings.translate(u"Cancel"), u"Cancel");
}

// A file that is there but cannot be used is refused with its name and the
// reason; a missing one is no damage and says nothing.
TEST_F(LanguageStringsTest, ARefusedFileSaysWhyAndAMissingOneSaysNothing) {
    LanguageStrings strings;
    write("en.lng", utf16_file(u"Cancel=Abort\r\n"));
    ASSERT_TRUE(strings.load_language_file(u"/en.lng"));
    write("short.lng", utf16_file(u"Cancel=Abbruch\r\n").substr(0, 27));
    write("big.lng", std::string(kMaxLanguageFileBytes + 1, 'x'));
    std::filesystem::create_symlink("/dev/zero", root() + "/zero.lng");
    ::mkfifo((root() + "/fifo.lng").c_str(), 0600);
    struct Case {
        const char16_t* path;
        const char* said; // nullptr: nothing
    };
    const Case cases[] = {
        {u"/short.lng", "odd length"},        {u"/big.lng", "larger than 4.0 MB"},
        {u"/zero.lng", "not a regular file"}, {u"/fifo.lng", "not a regular file"},
        {u"/missing.lng", nullptr},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(strings.load_language_file(c.path, &why)) << to_utf8(c.path);
        if (c.said == nullptr) {
            EXPECT_EQ(why, "") << to_utf8(c.path);
            continue;
        }
        EXPECT_TRUE(why.starts_with(runtime::file_path(c.path) + ": ")) << why;
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
    }
    EXPECT_EQ(strings.path(), u"/en.lng");
    EXPECT_EQ(strings.translate(u"Cancel"), u"Abort");
}

TEST_F(LanguageStringsTest, AFailedLoadKeepsTheTableAndPath) {
    LanguageStrings strings;
    write("en.lng", "Cancel=Abort\n");
    ASSERT_TRUE(strings.load_language_file(u"/en.lng"));
    EXPECT_FALSE(strings.load_language_file(u"/missing.lng"));
    std::filesystem::create_directory(root() + "/folder.lng");
    EXPECT_FALSE(strings.load_language_file(u"/folder.lng")) << "a folder is no file";
    EXPECT_EQ(strings.path(), u"/en.lng");
    EXPECT_EQ(strings.translate(u"Cancel"), u"Abort");
}

} // namespace
