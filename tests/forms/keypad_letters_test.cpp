// The letters under the keypad's digits follow the chosen language (the main keypad's
// letters in both languages are checked end to end).
#include "forms/keyboard_container.h"

#include <gtest/gtest.h>

namespace telvara::forms {
namespace {

TEST(KeypadLetters, TheLanguagesLettersOfEachKeyFollowTheSkins) {
    constexpr WStringView kRussian = u"абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
    constexpr WStringView kEnglish = u"abcdefghijklmnopqrstuvwxyz";
    struct Case {
        WStringView skin;
        WStringView key_text;
        WStringView alphabet;
        WStringView expected;
    };
    const Case cases[] = {
        {u"ABC", u"abcàáâабвг", kRussian, u"ABC АБВГ"},
        {u"DEF", u"defèéдеёжз", kRussian, u"DEF ДЕЁЖЗ"}, // ё keeps its place in the alphabet
        {u"WXYZ", u"wxyzýÿьэюя", kRussian, u"WXYZ ЬЭЮЯ"},
        {u"ABC", u"abcàáâабвг", kEnglish, u"ABC"},        // the skin shows them already
        {u"", u"abcабвг", kEnglish, u"ABC"},              // a skin without letters gets them
        {u"+", u"", kRussian, u"+"},                      // a key without letters keeps its sign
        {u"ABC", u"abcабвг", u"", u"ABC"},                // no alphabet: nothing added
        {u"ABC", u"abcабвг", u"ГВБА", u"ABC ГВБА"},       // capitals, in the alphabet's order
        {u"ABC АБВГ", u"abcабвг", kRussian, u"ABC АБВГ"}, // shown once, however often bound
    };
    for (const Case& c : cases)
        EXPECT_EQ(key_letters(c.skin, c.key_text, c.alphabet), c.expected) << to_utf8(c.skin);
}

} // namespace
} // namespace telvara::forms
