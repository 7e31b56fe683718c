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
    EXPECT_NO_THROW(check_string("anchor_x", "CENTER_NO_SIZE"));
    EXPECT_THROW(check_string("anchor_x", "center"), ValueError);
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
    // Short hex doubles its digits; the skin stores no alpha, so one is refused, not dropped.
    EXPECT_EQ(parse_colour("#F0a").blue, 0xAA);
    EXPECT_THROW(parse_colour("#1e88e5ff"), ValueError);
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
