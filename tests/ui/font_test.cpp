#include "ui/font.h"

#include "ui/font_cache.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

FontDescription description(std::int32_t size, std::int32_t scale = 1, bool bold = false) {
    FontDescription d;
    d.size = size;
    d.scale_factor = scale;
    d.bold = bold;
    return d;
}

bool has_coverage(const Glyph& glyph) {
    return std::any_of(glyph.coverage.begin(), glyph.coverage.end(),
                       [](std::uint8_t c) { return c > 0; });
}

} // namespace

TEST(FontPixelHeight, SmallSizesComeFromTheTable) {
    const std::int32_t table[] = {0,  1,  3,  4,  6,  7,  8,  10, 11, 12,
                                  14, 15, 16, 18, 19, 20, 21, 23, 24, 25};
    for (std::int32_t n = 0; n < 20; ++n)
        EXPECT_EQ(font_pixel_height(n, 1), table[n]) << n;
    // The table is indexed by size x scale factor, not by size alone.
    EXPECT_EQ(font_pixel_height(6, 2), 16);
    EXPECT_EQ(font_pixel_height(12, 1), 16);
}

TEST(FontPixelHeight, LargerSizesArePointsAtNinetySixDpi) {
    EXPECT_EQ(font_pixel_height(12, 2), 32);
    EXPECT_EQ(font_pixel_height(20, 1), 26); // 26.67 truncated
    EXPECT_EQ(font_pixel_height(-12, 1), -16);
    EXPECT_EQ(font_pixel_height(-1, 1), -1); // truncated toward zero
    // No overflow for absurd sizes from a damaged skin.
    EXPECT_GT(font_pixel_height(2'000'000'000, 4), 0);
}

TEST(FontDescriptionParser, ReadsSizeFlagsAndFace) {
    const FontDescription d = parse_font_description(u"12 1 0 0 Tahoma", 0);
    EXPECT_EQ(d.size, 12);
    EXPECT_EQ(d.scale_factor, 1);
    EXPECT_TRUE(d.bold);
    EXPECT_FALSE(d.italic);
    EXPECT_FALSE(d.underline);
    EXPECT_EQ(d.face, u"Tahoma");
}

TEST(FontDescriptionParser, KeepsBlanksInsideTheFaceAndAppliesTheScale) {
    const FontDescription d = parse_font_description(u"9\t0 1 0   Segoe  Sans UI", 1);
    EXPECT_EQ(d.size, 9);
    EXPECT_EQ(d.scale_factor, 2);
    EXPECT_FALSE(d.bold);
    EXPECT_TRUE(d.italic);
    EXPECT_FALSE(d.underline);
    EXPECT_EQ(d.face, u"Segoe  Sans UI");
}

TEST(FontDescriptionParser, StopsAtTheFirstFieldThatDoesNotParse) {
    const FontDescription only_size = parse_font_description(u"14", 0);
    EXPECT_EQ(only_size.size, 14);
    EXPECT_FALSE(only_size.bold || only_size.italic || only_size.underline);
    EXPECT_EQ(only_size.face, u"Tahoma");

    const FontDescription partial = parse_font_description(u"-8 5 x 1 Face", 0);
    EXPECT_EQ(partial.size, -8);
    EXPECT_TRUE(partial.bold); // any nonzero value
    EXPECT_FALSE(partial.underline);
    EXPECT_EQ(partial.face, u"Tahoma");

    const FontDescription no_digits = parse_font_description(u"big 1 1 1 Face", 0);
    EXPECT_EQ(no_digits.size, 0);
    EXPECT_FALSE(no_digits.bold);

    EXPECT_EQ(parse_font_description(u"", 0).size, 0);
    EXPECT_EQ(parse_font_description(u"99999999999 0 0 0 F", 0).size, 2147483647);
}

TEST(FontRep, CharacterHeightFollowsTheSizeAndScale) {
    FontRep small(description(12, 1));
    ASSERT_FALSE(small.is_null());
    EXPECT_EQ(small.char_height(), 16);
    FontRep doubled(description(12, 2));
    ASSERT_FALSE(doubled.is_null());
    EXPECT_EQ(doubled.char_height(), 32);
}

TEST(FontRep, LineMetricsAreConsistent) {
    for (std::int32_t size : {1, 7, 10, 14, 16}) {
        FontRep font(description(size, 2));
        ASSERT_FALSE(font.is_null()) << size;
        EXPECT_EQ(font.height(), font.ascent() + font.descent());
        EXPECT_EQ(font.internal_leading(), font.height() - font.char_height());
        EXPECT_GE(font.internal_leading(), 0);
        EXPECT_GT(font.descent(), 0);
        EXPECT_GE(font.underline_offset(), font.ascent()); // under the baseline
        EXPECT_LE(font.underline_offset() + font.underline_thickness(), font.height());
    }
}

TEST(FontRep, NegativeSizeAsksForTheCellHeight) {
    FontRep font(description(-12, 1));
    ASSERT_FALSE(font.is_null());
    EXPECT_NEAR(font.height(), 16, 1);
    EXPECT_LT(font.char_height(), 16);
}

TEST(FontRep, AbsurdSizesAreCappedInsteadOfRenderingHugeGlyphs) {
    FontRep font(description(100000, 1));
    ASSERT_FALSE(font.is_null());
    EXPECT_LE(font.char_height(), 1024);
}

TEST(FontRep, SizeZeroIsANullFont) {
    FontRep font(description(0, 2));
    EXPECT_TRUE(font.is_null());
    EXPECT_EQ(font.height(), 0);
    FontRep::Access glyphs(font);
    EXPECT_EQ(glyphs.glyph(U'A').advance, 0);
}

TEST(FontRep, MissingFacesResolveToTheInstalledSansFace) {
    FontRep tahoma(description(10, 2));
    FontDescription sans_description = description(10, 2);
    sans_description.face = u"sans-serif";
    FontRep sans(sans_description);
    ASSERT_FALSE(tahoma.is_null());
    EXPECT_FALSE(tahoma.family().empty());
    EXPECT_EQ(tahoma.family(), sans.family());

    // Only the first 31 characters name the face.
    FontDescription long_name = description(10, 2);
    long_name.face = u"Tahoma" + WString(40, u'x');
    EXPECT_FALSE(FontRep(long_name).is_null());
}

TEST(FontRep, LatinAndCyrillicGlyphsHaveCoverage) {
    FontRep font(description(10, 2));
    FontRep::Access glyphs(font);
    for (char32_t c : {U'A', U'g', U'é', U'Ж', U'я', U'Ё', U'€'}) {
        const Glyph& glyph = glyphs.glyph(c);
        EXPECT_TRUE(has_coverage(glyph)) << static_cast<std::uint32_t>(c);
        EXPECT_GT(glyph.advance, 0);
        EXPECT_EQ(glyph.coverage.size(), static_cast<std::size_t>(glyph.width * glyph.rows));
        EXPECT_LE(glyph.top, font.ascent() + 1);
        EXPECT_NE(glyph.index, 0u);
    }
    // The descender of "g" reaches below the baseline.
    const Glyph& g = glyphs.glyph(U'g');
    EXPECT_GT(g.rows, g.top);
    // Blank and control characters: room or none, but no ink.
    EXPECT_FALSE(has_coverage(glyphs.glyph(U' ')));
    EXPECT_GT(glyphs.glyph(U' ').advance, 0);
    EXPECT_EQ(glyphs.glyph(U'\r').advance, 0);
    EXPECT_EQ(glyphs.glyph(U'\t').width, 0);
}

TEST(FontRep, GlyphsAreRenderedOnceAndKeepTheirAddress) {
    FontRep font(description(10, 1));
    FontRep::Access glyphs(font);
    const Glyph* first = &glyphs.glyph(U'Q');
    const Glyph* astral = &glyphs.glyph(U'\U0001F600');
    for (char32_t c = 0x20; c < 0x600; ++c)
        glyphs.glyph(c);
    EXPECT_EQ(&glyphs.glyph(U'Q'), first);
    EXPECT_EQ(&glyphs.glyph(U'\U0001F600'), astral);
}

TEST(FontRep, BoldIsHeavierAndItalicStillRenders) {
    FontRep regular(description(10, 2));
    FontRep bold(description(10, 2, true));
    FontDescription italic_description = description(10, 2);
    italic_description.italic = true;
    FontRep italic(italic_description);
    ASSERT_FALSE(bold.is_null());
    ASSERT_FALSE(italic.is_null());
    FontRep::Access r(regular), b(bold), i(italic);
    EXPECT_GT(b.glyph(U'm').advance, r.glyph(U'm').advance);
    EXPECT_TRUE(has_coverage(i.glyph(U'Ж')));
}

TEST(FontRep, KerningPullsPairsTogetherWhereTheFaceHasIt) {
    FontRep font(description(12, 2));
    FontRep::Access glyphs(font);
    const Glyph& a = glyphs.glyph(U'A');
    const Glyph& v = glyphs.glyph(U'V');
    EXPECT_LE(glyphs.kerning(a, v), 0);
    EXPECT_EQ(glyphs.kerning(a, glyphs.glyph(U'\r')), 0); // glyph index 0
}

TEST(FontCache, EqualDescriptionsShareOneFont) {
    const FontDescription d = description(11, 2, true);
    FontHandle first = font_for(d);
    FontHandle second = font_for(d);
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->description(), d);
}

TEST(FontCache, AnyDifferingFieldGivesAnotherFont) {
    const FontDescription base = description(13, 1);
    FontHandle font = font_for(base);
    std::vector<FontDescription> variants(6, base);
    variants[0].size = 14;
    variants[1].scale_factor = 2;
    variants[2].bold = true;
    variants[3].italic = true;
    variants[4].underline = true;
    variants[5].face = u"tahoma"; // face names compare exactly
    for (const FontDescription& variant : variants) {
        EXPECT_FALSE(variant == base);
        FontHandle other = font_for(variant);
        EXPECT_NE(other, font);
        EXPECT_EQ(other, font_for(variant));
    }
}

TEST(FontCache, SizeZeroIsCachedAsANullFont) {
    FontHandle font = font_for(description(0, 1));
    ASSERT_TRUE(font);
    EXPECT_TRUE(font->is_null());
    EXPECT_EQ(font, font_for(description(0, 1)));
}

TEST(FontCache, ConcurrentRequestsCreateOneFont) {
    const FontDescription d = description(17, 1, true);
    const std::size_t before = font_cache_size();
    std::vector<FontHandle> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&result, &d] {
            result = font_for(d);
            FontRep::Access glyphs(*result);
            for (char32_t c = U'a'; c <= U'z'; ++c)
                glyphs.glyph(c);
        });
    for (auto& thread : threads)
        thread.join();
    for (const auto& result : results)
        EXPECT_EQ(result, results[0]);
    EXPECT_EQ(font_cache_size(), before + 1);
}

namespace {

// The file fontconfig picks for the plain sans face on this machine.
std::string regular_sans_file() {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcChar8* name = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch)
        file = reinterpret_cast<const char*>(name);
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

// Each runs in a child process: it replaces the process's font configuration.
[[noreturn]] void exit_with_null_font_check() {
    FcConfigSetCurrent(FcConfigCreate());
    FontRep font(description(12, 1));
    FontRep::Access glyphs(font);
    const bool null = font.is_null() && font.height() == 0 && glyphs.glyph(U'A').advance == 0 &&
                      font.family().empty();
    std::exit(null ? 1 : 0);
}

[[noreturn]] void exit_with_synthesis_check() {
    const std::string regular_file = regular_sans_file();
    if (regular_file.empty())
        std::exit(2);
    FcConfig* only_regular = FcConfigCreate();
    FcConfigAppFontAddFile(only_regular, reinterpret_cast<const FcChar8*>(regular_file.c_str()));
    FcConfigSetCurrent(only_regular);
    FontRep regular(description(10, 2));
    FontRep bold(description(10, 2, true));
    FontDescription italic_description = description(10, 2);
    italic_description.italic = true;
    FontRep italic(italic_description);
    FontRep::Access r(regular);
    FontRep::Access b(bold);
    FontRep::Access i(italic);
    const bool ok = !regular.synthetic_bold() && bold.synthetic_bold() &&
                    italic.synthetic_italic() && !bold.synthetic_italic() &&
                    b.glyph(U'm').advance > r.glyph(U'm').advance &&
                    i.glyph(U'l').width > r.glyph(U'l').width;
    std::exit(ok ? 1 : 0);
}

} // namespace

TEST(FontRepDeathTest, NoInstalledFontsGiveANullFontThatStillWorks) {
    EXPECT_EXIT(exit_with_null_font_check(), testing::ExitedWithCode(1), "");
}

TEST(FontRepDeathTest, MissingStylesAreSynthesised) {
    EXPECT_EXIT(exit_with_synthesis_check(), testing::ExitedWithCode(1), "");
}
