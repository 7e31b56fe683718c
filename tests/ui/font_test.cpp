// Rendered glyphs, synthesised styles, text measures and cuts with an ellipsis.
#include "ui/font.h"

#include "ui/font_cache.h"
#include "ui/font_measure.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

FontDescription description(std::int32_t size, std::int32_t scale = 1, bool bold = false,
                            bool italic = false) {
    FontDescription d;
    d.size = size;
    d.scale_factor = scale;
    d.bold = bold;
    d.italic = italic;
    return d;
}

bool has_coverage(const Glyph& glyph) {
    return std::any_of(glyph.coverage.begin(), glyph.coverage.end(),
                       [](std::uint8_t c) { return c > 0; });
}

} // namespace

TEST(FontRep, GlyphsHaveCoverageKerningAndAStableAddress) {
    FontRep font(description(10, 2));
    FontRep::Access glyphs(font);
    for (char32_t c : {U'A', U'g', U'é', U'Ж', U'я', U'Ё', U'€'}) {
        const Glyph& glyph = glyphs.glyph(c);
        EXPECT_TRUE(has_coverage(glyph)) << std::uint32_t(c);
        EXPECT_GT(glyph.advance, 0);
        EXPECT_EQ(glyph.coverage.size(), std::size_t(glyph.width * glyph.rows));
        EXPECT_LE(glyph.top, font.ascent() + 1);
        EXPECT_NE(glyph.index, 0u);
    }
    EXPECT_GT(glyphs.glyph(U'g').rows, glyphs.glyph(U'g').top) << "the descender";
    EXPECT_FALSE(has_coverage(glyphs.glyph(U' ')));
    EXPECT_GT(glyphs.glyph(U' ').advance, 0);
    EXPECT_EQ(glyphs.glyph(U'\r').advance, 0);
    EXPECT_EQ(glyphs.glyph(U'\t').width, 0);
    EXPECT_LE(glyphs.kerning(glyphs.glyph(U'A'), glyphs.glyph(U'V')), 0);
    EXPECT_EQ(glyphs.kerning(glyphs.glyph(U'A'), glyphs.glyph(U'\r')), 0) << "glyph index 0";
    const Glyph* first = &glyphs.glyph(U'Q');
    const Glyph* astral = &glyphs.glyph(U'\U0001F600');
    for (char32_t c = 0x20; c < 0x600; ++c)
        glyphs.glyph(c);
    EXPECT_EQ(&glyphs.glyph(U'Q'), first) << "rendered once";
    EXPECT_EQ(&glyphs.glyph(U'\U0001F600'), astral);
    FontRep bold(description(10, 2, true));
    FontRep italic(description(10, 2, false, true));
    EXPECT_GT(FontRep::Access(bold).glyph(U'm').advance, glyphs.glyph(U'm').advance);
    EXPECT_TRUE(has_coverage(FontRep::Access(italic).glyph(U'Ж')));
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
    const bool null = font.is_null() && font.height() == 0 &&
                      FontRep::Access(font).glyph(U'A').advance == 0 && font.family().empty();
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
    FontRep italic(description(10, 2, false, true));
    FontRep::Access r(regular), b(bold), i(italic);
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

FontHandle list_font(std::int32_t size = 10) {
    FontDescription d;
    d.size = size;
    d.scale_factor = 2;
    return font_for(d);
}

TEST(CutWithEllipsis, FittingTextStaysLongTextEndsInAnEllipsisWithinTheWidth) {
    FontHandle font = list_font();
    const WString name = u"Иван Петров";
    EXPECT_EQ(cut_with_ellipsis(font.get(), name, measure_text(font.get(), name).width,
                                EllipsisCut::AnyCharacter),
              name);
    const WString text = u"Александра Константиновна Иванова-Петрова";
    const std::int32_t max = measure_text(font.get(), text).width / 2;
    for (EllipsisCut cut : {EllipsisCut::AnyCharacter, EllipsisCut::WordEnd}) {
        const WString shown = cut_with_ellipsis(font.get(), text, max, cut);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown.back(), u'\u2026');
        EXPECT_LE(measure_text(font.get(), shown).width, max);
        EXPECT_EQ(text.compare(0, shown.size() - 1, shown, 0, shown.size() - 1), 0);
    }
    EXPECT_EQ(cut_with_ellipsis(font.get(), text, max, EllipsisCut::WordEnd), u"Александра\u2026")
        << "the whole first word, without the blank after it";
    EXPECT_EQ(cut_with_ellipsis(font.get(), u"Wonderful", 1, EllipsisCut::AnyCharacter), u"\u2026");
    // One long word is cut by characters even at word ends.
    const WString word = u"Донауэшингенский";
    const WString shown = cut_with_ellipsis(
        font.get(), word, measure_text(font.get(), word).width * 2 / 3, EllipsisCut::WordEnd);
    EXPECT_GT(shown.size(), 2u);
    EXPECT_LT(shown.size(), word.size());
}
