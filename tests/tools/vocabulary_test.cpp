// Value parsers and the vocabulary of the skin source language.
#include "skinc/vocabulary.h"

#include <gtest/gtest.h>

using namespace telvara::skinc;

TEST(SkinVocabulary, KindsOfTheNamesTheEngineReads) {
    EXPECT_EQ(known_kind("design_size"), PropertyKind::Point);
    EXPECT_EQ(known_kind("color"), PropertyKind::Colour);
    EXPECT_EQ(known_kind("outside_color"), PropertyKind::Colour);
    EXPECT_EQ(known_kind("font"), PropertyKind::Font);
    EXPECT_EQ(known_kind("src"), PropertyKind::Picture);
    EXPECT_EQ(known_kind("highlight"), PropertyKind::Picture);
    EXPECT_EQ(known_kind("cache_alpha"), PropertyKind::Integer);
    EXPECT_EQ(known_kind("bind_key"), PropertyKind::String);
    EXPECT_EQ(known_kind("element_size"), PropertyKind::Point);
    // Exact and case-sensitive, as the loader matches them.
    EXPECT_FALSE(known_kind("Type"));
    EXPECT_FALSE(known_kind("colour"));
    EXPECT_EQ(kind_from_word("int"), PropertyKind::Integer);
    EXPECT_EQ(kind_from_word("color"), PropertyKind::Colour);
    EXPECT_FALSE(kind_from_word("bool"));
}

TEST(SkinVocabulary, IntegersInEveryForm) {
    EXPECT_EQ(parse_integer("42"), 42u);
    EXPECT_EQ(parse_integer(" +7 "), 7u);
    EXPECT_EQ(parse_integer("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_integer("-2147483648"), 0x80000000u);
    EXPECT_EQ(parse_integer("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_integer("0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(parse_integer("0x1f"), 31u);
    EXPECT_EQ(parse_integer("true"), 1u);
    EXPECT_EQ(parse_integer("false"), 0u);
    for (const char* bad :
         {"", "4294967296", "-2147483649", "0x100000000", "1.5", "12px", "yes", "0x", "True"})
        EXPECT_THROW(parse_integer(bad), ValueError) << bad;
}

TEST(SkinVocabulary, PointsAndTheirRange) {
    const PointValue p = parse_point("-4, 6");
    EXPECT_EQ(p.x, -4);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(parse_point("240 320").y, 320);
    EXPECT_EQ(parse_point("-32768 32767").x, -32768);
    for (const char* bad : {"1", "1 2 3", "32768 0", "a b", ""})
        EXPECT_THROW(parse_point(bad), ValueError) << bad;
}

TEST(SkinVocabulary, ColoursHexShortAndDecimal) {
    const ColorValue c = parse_colour("#1e88E5");
    EXPECT_EQ(c.red, 0x1e);
    EXPECT_EQ(c.green, 0x88);
    EXPECT_EQ(c.blue, 0xe5);
    const ColorValue s = parse_colour("#F0a");
    EXPECT_EQ(s.red, 0xFF);
    EXPECT_EQ(s.green, 0x00);
    EXPECT_EQ(s.blue, 0xAA);
    const ColorValue d = parse_colour("94 107 120");
    EXPECT_EQ(d.green, 107);
    // The skin stores no alpha: an alpha channel is refused, not dropped.
    for (const char* bad : {"#1e88e5ff", "#12", "#GG0000", "1 2", "0 0 256", "red"})
        EXPECT_THROW(parse_colour(bad), ValueError) << bad;
}

TEST(SkinVocabulary, FontDescriptionsAreCheckedAndNormalised) {
    EXPECT_EQ(parse_font("12 1 0 0 Tahoma"), "12 1 0 0 Tahoma");
    EXPECT_EQ(parse_font("  9  0 1 0   DejaVu   Sans  "), "9 0 1 0 DejaVu Sans");
    EXPECT_EQ(parse_font("14"), "14");
    EXPECT_EQ(parse_font("14 1"), "14 1");
    // A face before all three flags would be read as a flag by the loader.
    EXPECT_THROW(parse_font("12 Tahoma"), ValueError);
    EXPECT_THROW(parse_font("Tahoma"), ValueError);
    EXPECT_THROW(parse_font("0 0 0 0 Tahoma"), ValueError);
    EXPECT_THROW(parse_font(""), ValueError);
}

TEST(SkinVocabulary, PictureNames) {
    EXPECT_EQ(parse_picture_name("icons/phone").name, "icons/phone");
    EXPECT_FALSE(parse_picture_name("icons/phone").mask);
    const PictureName mask = parse_picture_name("photo#mask");
    EXPECT_EQ(mask.name, "photo");
    EXPECT_TRUE(mask.mask);
    for (const char* bad :
         {"", "../escape", "/abs", "a//b", "a/./b", "with space", "a\\b", "#mask", "trailing/"})
        EXPECT_THROW(parse_picture_name(bad), ValueError) << bad;
}

TEST(SkinVocabulary, EnumeratedWordsAreExact) {
    EXPECT_NO_THROW(check_string("anchor_x", "CENTER_NO_SIZE"));
    EXPECT_THROW(check_string("anchor_x", "center"), ValueError);
    EXPECT_NO_THROW(check_string("halign", "JUSTIFY"));
    EXPECT_THROW(check_string("valign", "CENTER"), ValueError);
    EXPECT_NO_THROW(check_string("bind_key", "SOFT_LEFT"));
    EXPECT_NO_THROW(check_string("bind_key", ""));
    EXPECT_THROW(check_string("bind_key", "soft_left"), ValueError);
    EXPECT_NO_THROW(check_string("visibility_animation", "flip"));
    EXPECT_NO_THROW(check_string("delay", "0.25"));
    EXPECT_THROW(check_string("delay", "soon"), ValueError);
    EXPECT_NO_THROW(check_string("text", "anything at all"));
    EXPECT_TRUE(is_known_type("label_edit"));
    EXPECT_TRUE(is_known_type("spinner"));
    EXPECT_FALSE(is_known_type("Text"));
}
