// Value parsers and the vocabulary of the skin source language.
#include "skinc/vocabulary.h"

#include <gtest/gtest.h>

using namespace telvara::skinc;

TEST(SkinVocabulary, KindsOfTheNamesTheEngineReads) {
    using enum PropertyKind;
    for (auto [name, kind] : {std::pair{"design_size", Point},
                              {"color", Colour},
                              {"outside_color", Colour},
                              {"font", Font},
                              {"src", Picture},
                              {"highlight", Picture},
                              {"cache_alpha", Integer},
                              {"bind_key", String},
                              {"element_size", Point}})
        EXPECT_EQ(known_kind(name), kind) << name;
    // Exact and case-sensitive, as the loader matches them.
    EXPECT_FALSE(known_kind("Type") || known_kind("colour") || kind_from_word("bool"));
    EXPECT_EQ(kind_from_word("int"), Integer);
    EXPECT_EQ(kind_from_word("color"), Colour);
    EXPECT_TRUE(is_known_type("label_edit") && is_known_type("spinner"));
    EXPECT_FALSE(is_known_type("Text"));
}

TEST(SkinVocabulary, IntegersAndPoints) {
    for (auto [text, value] : {std::pair{"42", 42u},
                               {" +7 ", 7u},
                               {"-1", 0xFFFFFFFFu},
                               {"-2147483648", 0x80000000u},
                               {"4294967295", 0xFFFFFFFFu},
                               {"0xFFFFFFFF", 0xFFFFFFFFu},
                               {"0x1f", 31u},
                               {"true", 1u},
                               {"false", 0u}})
        EXPECT_EQ(parse_integer(text), value) << text;
    for (const char* bad :
         {"", "4294967296", "-2147483649", "0x100000000", "1.5", "12px", "yes", "0x", "True"})
        EXPECT_THROW(parse_integer(bad), ValueError) << bad;
    const PointValue p = parse_point("-4, 6"), q = parse_point("-32768 32767");
    EXPECT_EQ(std::tie(p.x, p.y, q.x, q.y), std::tuple(-4, 6, -32768, 32767));
    for (const char* bad : {"1", "1 2 3", "32768 0", "a b", ""})
        EXPECT_THROW(parse_point(bad), ValueError) << bad;
}

TEST(SkinVocabulary, ColoursHexShortAndDecimal) {
    for (auto [text, rgb] : {std::pair{"#1e88E5", std::tuple(0x1e, 0x88, 0xe5)},
                             {"#F0a", std::tuple(0xFF, 0x00, 0xAA)},
                             {"94 107 120", std::tuple(94, 107, 120)}}) {
        const ColorValue c = parse_colour(text);
        EXPECT_EQ((std::tuple<int, int, int>(c.red, c.green, c.blue)), rgb) << text;
    }
    // The skin stores no alpha: an alpha channel is refused, not dropped.
    for (const char* bad : {"#1e88e5ff", "#12", "#GG0000", "1 2", "0 0 256", "red"})
        EXPECT_THROW(parse_colour(bad), ValueError) << bad;
}

TEST(SkinVocabulary, FontsAndPictureNames) {
    EXPECT_EQ(parse_font("  9  0 1 0   DejaVu   Sans  "), "9 0 1 0 DejaVu Sans");
    EXPECT_EQ(parse_font("14 1"), "14 1");
    // A face before all three flags would be read as a flag by the loader.
    for (const char* bad : {"12 Tahoma", "Tahoma", "0 0 0 0 Tahoma", ""})
        EXPECT_THROW(parse_font(bad), ValueError) << bad;
    const PictureName plain = parse_picture_name("icons/phone"),
                      mask = parse_picture_name("p#mask");
    EXPECT_EQ(std::tie(plain.name, plain.mask, mask.name, mask.mask),
              std::tuple("icons/phone", false, "p", true));
    for (const char* bad :
         {"", "../escape", "/abs", "a//b", "a/./b", "with space", "a\\b", "#mask", "trailing/"})
        EXPECT_THROW(parse_picture_name(bad), ValueError) << bad;
}

TEST(SkinVocabulary, EnumeratedWordsAreExact) {
    for (auto [name, word] : {std::pair{"anchor_x", "CENTER_NO_SIZE"},
                              {"halign", "JUSTIFY"},
                              {"bind_key", "SOFT_LEFT"},
                              {"bind_key", ""},
                              {"visibility_animation", "flip"},
                              {"delay", "0.25"},
                              {"text", "anything at all"}})
        EXPECT_NO_THROW(check_string(name, word)) << name << " " << word;
    for (auto [name, word] : {std::pair{"anchor_x", "center"},
                              {"valign", "CENTER"},
                              {"bind_key", "soft_left"},
                              {"delay", "soon"}})
        EXPECT_THROW(check_string(name, word), ValueError) << name << " " << word;
}
