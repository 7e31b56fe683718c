// The letters under the keypad's digits follow the chosen language.
#include "forms/keyboard_container.h"

#include "data/key_map.h"
#include "runtime/paths.h"
#include "screen_test_support.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <map>

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

// The keypad of the shipped skin with the shipped key map, as the main
// screen binds it after each language choice.
TEST(KeypadLetters, TheMainKeypadShowsTheChosenLanguagesLetters) {
    std::unique_ptr<ui::PropertiesImpl> impl;
    ui::Properties skin;
    ASSERT_TRUE(test::install_default_skin(skin, impl));
    const data::KeyMap key_map = data::KeyMap::load(runtime::file_path(u"%app_path%/keyboard.txt"));
    ASSERT_FALSE(key_map.empty());
    struct Listener final : KeyboardListener {
        void on_keyboard_text(const WString&) override {}
        void on_keyboard_closed() override {}
        void on_keyboard_call(const WString&) override {}
    } listener;
    const std::map<const char16_t*, std::map<WString, WString>> expected = {
        {u"russian",
         {{u"button2_letters", u"ABC АБВГ"},
          {u"button5_letters", u"JKL МНОП"},
          {u"button9_letters", u"WXYZ ЬЭЮЯ"},
          {u"button0_letters", u"+"}}},
        {u"english",
         {{u"button2_letters", u"ABC"},
          {u"button5_letters", u"JKL"},
          {u"button9_letters", u"WXYZ"},
          {u"button0_letters", u"+"}}},
    };
    for (const auto& [language, letters] : expected) {
        SCOPED_TRACE(to_utf8(language));
        ASSERT_TRUE(
            skin.language().load_language_file(u"%app_path%/" + WString(language) + u".lng"));
        // Each language choice builds the screens again from the skin.
        ui::Node host;
        ASSERT_TRUE(host.load_from_skin(skin, u"Main"));
        KeyboardContainer keypad;
        keypad.bind(host, listener, &skin, &key_map);
        for (const auto& [name, text] : letters) {
            auto* node = dynamic_cast<ui::TextNode*>(keypad.root()->find(name));
            ASSERT_NE(node, nullptr) << to_utf8(name);
            EXPECT_EQ(node->text(), text) << to_utf8(name);
        }
        // Bound again (a skin reload that keeps the tree), nothing doubles.
        keypad.bind(host, listener, &skin, &key_map);
        auto* two = dynamic_cast<ui::TextNode*>(keypad.root()->find(u"button2_letters"));
        ASSERT_NE(two, nullptr);
        EXPECT_EQ(two->text(), letters.at(u"button2_letters"));
    }
}

} // namespace
} // namespace telvara::forms
