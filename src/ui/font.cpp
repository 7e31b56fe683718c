// FontRep: fontconfig picks the installed face closest to the skin's face
// name and style, FreeType renders it at the character height the skin's size
// asks for; glyphs are rendered once and kept.
#include "ui/font.h"

#include "platform/clock.h"
#include "runtime/log.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <limits>
#include <unordered_map>

namespace telvara::ui {

namespace {

// The face name field of a system font holds 31 characters and a terminator.
constexpr std::size_t face_name_limit = 31;

// Skin files are untrusted: a size of thousands would make every glyph a
// megabyte. Nothing on a phone screen needs more than this.
constexpr std::int32_t max_pixel_height = 1024;

// One FreeType library for the process. Faces keep it alive; creating and
// destroying faces (and fontconfig matching) is serialised by its mutex,
// rendering is serialised per face by the FontRep.
struct Library {
    FT_Library handle = nullptr;
    std::mutex mutex;

    Library() {
        if (FT_Init_FreeType(&handle) != 0)
            handle = nullptr;
    }
    ~Library() {
        if (handle)
            FT_Done_FreeType(handle);
        // Fonts copy what they need from fontconfig's answers, so its
        // configuration can go with the last font.
        FcFini();
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

std::shared_ptr<Library> library() {
    static const std::shared_ptr<Library> instance = std::make_shared<Library>();
    return instance;
}

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;

std::int32_t round_26_6(FT_Pos value) {
    return static_cast<std::int32_t>((value + 32) >> 6);
}

bool is_control(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// "0.004": the stopwatch reading of the log lines, in seconds.
WString seconds_text(std::uint32_t milliseconds) {
    WString fraction = to_wstring(milliseconds % 1000);
    fraction.insert(0, 3 - fraction.size(), u'0');
    return to_wstring(milliseconds / 1000) + u"." + fraction;
}

struct Match {
    std::string file;
    int index = 0;
    std::string family;
    bool embolden = false;
    bool oblique = false;
};

bool match_face(const std::string& face, bool bold, bool italic, std::int32_t pixels, Match& out) {
    Pattern pattern(FcPatternCreate());
    if (!pattern)
        return false;
    if (!face.empty())
        FcPatternAddString(pattern.get(), FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(pattern.get(), FC_PIXEL_SIZE, pixels);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return false;
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match)
        return false;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
        return false;
    out.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &out.index);
    FcChar8* family = nullptr;
    if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch && family)
        out.family = reinterpret_cast<const char*>(family);

    // Style the face lacks is synthesised, as the system font mapper does.
    int weight = FC_WEIGHT_REGULAR;
    FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
    FcBool embolden = FcFalse;
    FcPatternGetBool(match.get(), FC_EMBOLDEN, 0, &embolden);
    out.embolden = bold && (embolden == FcTrue || weight < FC_WEIGHT_DEMIBOLD);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
    out.oblique = italic && slant == FC_SLANT_ROMAN;
    return true;
}

bool is_space(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

} // namespace

FontDescription parse_font_description(WStringView text, unsigned scale_shift) {
    FontDescription description;
    description.scale_factor = scale_shift < 31 ? std::int32_t{1} << scale_shift : 0;

    std::size_t at = 0;
    auto skip_space = [&] {
        while (at < text.size() && is_space(text[at]))
            ++at;
    };
    // A decimal integer with optional sign; false (and nothing consumed) when
    // no digit follows. Saturates instead of overflowing.
    auto parse_int = [&](std::int32_t& value) {
        skip_space();
        std::size_t p = at;
        bool negative = false;
        if (p < text.size() && (text[p] == u'+' || text[p] == u'-'))
            negative = text[p++] == u'-';
        if (p >= text.size() || text[p] < u'0' || text[p] > u'9')
            return false;
        std::int64_t magnitude = 0;
        for (; p < text.size() && text[p] >= u'0' && text[p] <= u'9'; ++p)
            magnitude = std::min<std::int64_t>(magnitude * 10 + (text[p] - u'0'),
                                               std::numeric_limits<std::int32_t>::max());
        value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
        at = p;
        return true;
    };

    if (!parse_int(description.size)) {
        description.size = 0;
        return description;
    }
    for (bool* flag : {&description.bold, &description.italic, &description.underline}) {
        std::int32_t value = 0;
        if (!parse_int(value))
            return description;
        *flag = value != 0;
    }
    skip_space();
    if (at < text.size())
        description.face = WString(text.substr(at));
    return description;
}

std::int32_t font_pixel_height(std::int32_t size, std::int32_t scale_factor) {
    static constexpr std::array<std::int32_t, 20> small = {0,  1,  3,  4,  6,  7,  8,  10, 11, 12,
                                                           14, 15, 16, 18, 19, 20, 21, 23, 24, 25};
    const std::int64_t n = std::int64_t{size} * scale_factor;
    if (n >= 0 && n < 20)
        return small[static_cast<std::size_t>(n)];
    const std::int64_t pixels = n * 96 / 72;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(pixels, std::numeric_limits<std::int32_t>::min() + 1,
                                 std::numeric_limits<std::int32_t>::max()));
}

struct FontRep::Face {
    std::shared_ptr<Library> library;
    FT_Face handle = nullptr;

    Face(std::shared_ptr<Library> owner, FT_Face face) : library(std::move(owner)), handle(face) {}
    ~Face() {
        std::lock_guard lock(library->mutex);
        FT_Done_Face(handle);
    }
    Face(const Face&) = delete;
    Face& operator=(const Face&) = delete;
};

struct FontRep::GlyphTable {
    // Latin and Cyrillic look up by index; everything else by hash.
    static constexpr char32_t direct_limit = 0x500;
    std::array<const Glyph*, direct_limit> direct{};
    std::unordered_map<char32_t, const Glyph*> others;
    std::deque<Glyph> storage; // stable addresses

    // Kerning lookups in the face cost more than the rest of measuring; the
    // first glyphs used (a text's alphabet) get a slot in a pair table.
    static constexpr std::int32_t kerning_slots = 256;
    static constexpr std::int8_t unknown = std::numeric_limits<std::int8_t>::min();
    std::vector<std::int8_t> kerning_pairs;
    std::int32_t next_kerning_slot = 0;
};

FontRep::FontRep(const FontDescription& description) : m_description(description) {
    if (m_description.size != 0)
        create();
}

FontRep::~FontRep() = default;

void FontRep::create() {
    const std::uint32_t start = platform::tick_count();
    const WString face_name(WStringView(m_description.face).substr(0, face_name_limit));
    const std::int32_t pixel_height =
        font_pixel_height(m_description.size, m_description.scale_factor);
    // A negative height asks for the cell height (ascent + descent) instead
    // of the character height, as a positive font height does.
    const bool cell_height = pixel_height < 0;
    const std::int32_t pixels = std::min(std::abs(pixel_height), max_pixel_height);

    std::shared_ptr<Library> lib = library();
    FT_Face face = nullptr;
    Match match;
    if (lib->handle && pixels > 0) {
        std::lock_guard lock(lib->mutex);
        if (match_face(to_utf8(face_name), m_description.bold, m_description.italic, pixels,
                       match) &&
            FT_New_Face(lib->handle, match.file.c_str(), match.index, &face) == 0) {
            FT_Size_RequestRec request{};
            request.type = cell_height ? FT_SIZE_REQUEST_TYPE_CELL : FT_SIZE_REQUEST_TYPE_NOMINAL;
            request.height = FT_Long{pixels} << 6;
            if (!FT_IS_SCALABLE(face) || FT_Request_Size(face, &request) != 0) {
                FT_Done_Face(face);
                face = nullptr;
            }
        }
    }

    if (!face) {
        runtime::log() << u"ERROR: FontRep::FontRep() Failed to create font\n";
        runtime::log() << u"Creating font: {" << face_name << u"} elapsed="
                       << seconds_text(platform::tick_count() - start) << u"\n";
        return;
    }
    m_face = std::make_unique<Face>(lib, face);
    m_glyphs = std::make_unique<GlyphTable>();
    m_family = match.family;
    m_embolden = match.embolden;
    m_oblique = match.oblique;
    m_has_kerning = FT_HAS_KERNING(face);

    // Ascent and descent as the system reports them for TrueType faces: from
    // the Windows metrics of the OS/2 table where there are any.
    const FT_Size_Metrics& metrics = face->size->metrics;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        m_ascent = round_26_6(FT_MulFix(os2->usWinAscent, metrics.y_scale));
        m_descent = round_26_6(FT_MulFix(os2->usWinDescent, metrics.y_scale));
    } else {
        m_ascent = round_26_6(metrics.ascender);
        m_descent = round_26_6(-metrics.descender);
    }
    m_char_height = metrics.y_ppem;
    m_internal_leading = height() - m_char_height;

    // The underline sits under the baseline and stays inside the line.
    m_underline_thickness =
        std::max(1, round_26_6(FT_MulFix(face->underline_thickness, metrics.y_scale)));
    const std::int32_t below = round_26_6(FT_MulFix(-face->underline_position, metrics.y_scale));
    m_underline_offset = m_ascent + std::max(1, below) - m_underline_thickness / 2;
    m_underline_offset =
        std::clamp(m_underline_offset, 0, std::max(0, height() - m_underline_thickness));

    runtime::log() << u"Creating font: {" << face_name << u"} elapsed="
                   << seconds_text(platform::tick_count() - start) << u"\n";
}

const Glyph& FontRep::glyph_locked(char32_t code_point) const {
    static const Glyph empty;
    if (!m_face)
        return empty;
    GlyphTable& table = *m_glyphs;
    if (code_point < GlyphTable::direct_limit) {
        if (const Glyph* known = table.direct[code_point])
            return *known;
    } else if (auto it = table.others.find(code_point); it != table.others.end()) {
        return *it->second;
    }

    Glyph& glyph = table.storage.emplace_back();
    // Control characters take no room (a line's CR or TAB must not show as a
    // missing-glyph box).
    if (!is_control(code_point)) {
        FT_Face face = m_face->handle;
        glyph.index = FT_Get_Char_Index(face, code_point);
        if (FT_Load_Glyph(face, glyph.index, FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP) == 0) {
            FT_GlyphSlot slot = face->glyph;
            if (m_oblique)
                FT_GlyphSlot_Oblique(slot);
            if (m_embolden)
                FT_GlyphSlot_Embolden(slot);
            glyph.advance = round_26_6(slot->advance.x);
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0 &&
                slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                const FT_Bitmap& bitmap = slot->bitmap;
                glyph.left = slot->bitmap_left;
                glyph.top = slot->bitmap_top;
                glyph.width = static_cast<std::int32_t>(bitmap.width);
                glyph.rows = static_cast<std::int32_t>(bitmap.rows);
                glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.rows);
                for (std::int32_t y = 0; y < glyph.rows; ++y) {
                    const std::ptrdiff_t row =
                        bitmap.pitch >= 0 ? std::ptrdiff_t{y} * bitmap.pitch
                                          : std::ptrdiff_t{glyph.rows - 1 - y} * -bitmap.pitch;
                    std::copy_n(bitmap.buffer + row, glyph.width,
                                glyph.coverage.begin() + std::ptrdiff_t{y} * glyph.width);
                }
            }
        }
    }
    if (m_has_kerning && glyph.index != 0 && table.next_kerning_slot < GlyphTable::kerning_slots) {
        if (table.kerning_pairs.empty())
            table.kerning_pairs.assign(GlyphTable::kerning_slots * GlyphTable::kerning_slots,
                                       GlyphTable::unknown);
        glyph.kerning_slot = table.next_kerning_slot++;
    }
    if (code_point < GlyphTable::direct_limit)
        table.direct[code_point] = &glyph;
    else
        table.others.emplace(code_point, &glyph);
    return glyph;
}

std::int32_t FontRep::kerning_locked(const Glyph& left, const Glyph& right) const {
    if (left.index == 0 || right.index == 0)
        return 0;
    std::int8_t* cached = nullptr;
    if (left.kerning_slot >= 0 && right.kerning_slot >= 0) {
        cached = &m_glyphs->kerning_pairs[static_cast<std::size_t>(
            left.kerning_slot * GlyphTable::kerning_slots + right.kerning_slot)];
        if (*cached != GlyphTable::unknown)
            return *cached;
    }
    FT_Vector delta{};
    if (FT_Get_Kerning(m_face->handle, left.index, right.index, FT_KERNING_DEFAULT, &delta) != 0)
        delta.x = 0;
    const std::int32_t pixels = round_26_6(delta.x);
    if (cached && pixels > GlyphTable::unknown && pixels <= std::numeric_limits<std::int8_t>::max())
        *cached = static_cast<std::int8_t>(pixels);
    return pixels;
}

} // namespace telvara::ui
