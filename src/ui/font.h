#pragma once
// Skin fonts: the description a skin gives (size, scale, style, face) and the
// font made from it (FontRep): a FreeType face found through fontconfig, its
// line metrics and its cache of rendered glyphs.

#include "platform/text.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace telvara::ui {

struct FontDescription {
    std::int32_t size = 12;        // design units
    std::int32_t scale_factor = 1; // 2 to the power scale_shift
    bool bold = false;
    bool italic = false;
    bool underline = false;
    WString face = u"Tahoma"; // only the first 31 code units name the face

    bool operator==(const FontDescription&) const = default;
};

// Reads "size bold italic underline face" (for example "12 1 0 0 Tahoma") over
// the defaults; stops at the first field that does not parse.
FontDescription parse_font_description(WStringView text, unsigned scale_shift);

// Character (em) height in pixels for size x scale factor: a table below 20,
// points at 96 dpi above. Negative for negative sizes.
std::int32_t font_pixel_height(std::int32_t size, std::int32_t scale_factor);

// One rendered glyph: 8-bit coverage, top row first.
struct Glyph {
    std::uint32_t index = 0;        // glyph index in the face, for kerning
    std::int32_t advance = 0;       // pen movement in pixels
    std::int32_t left = 0;          // pen x to the first coverage column
    std::int32_t top = 0;           // baseline up to the first coverage row
    std::int32_t width = 0;         // coverage columns
    std::int32_t rows = 0;          // coverage rows
    std::int32_t kerning_slot = -1; // row in the font's kerning pair cache, if any
    std::vector<std::uint8_t> coverage;
};

class FontRep {
  public:
    explicit FontRep(const FontDescription& description);
    ~FontRep();
    FontRep(const FontRep&) = delete;
    FontRep& operator=(const FontRep&) = delete;

    // A null font (size 0 or creation failed) measures 0 and draws nothing.
    bool is_null() const { return m_face == nullptr; }
    const FontDescription& description() const { return m_description; }

    // Line metrics in pixels: height = ascent + descent; internal leading =
    // height - character height.
    std::int32_t height() const { return m_ascent + m_descent; }
    std::int32_t ascent() const { return m_ascent; }
    std::int32_t descent() const { return m_descent; }
    std::int32_t internal_leading() const { return m_internal_leading; }
    std::int32_t char_height() const { return m_char_height; }
    std::int32_t underline_offset() const { return m_underline_offset; } // from line top
    std::int32_t underline_thickness() const { return m_underline_thickness; }

    // The face fontconfig chose, for example "DejaVu Sans".
    const std::string& family() const { return m_family; }
    bool synthetic_bold() const { return m_embolden; }
    bool synthetic_italic() const { return m_oblique; }

    // Glyph access is serialised per font: the start-up worker and the UI
    // thread may share a font. Hold the lock for a whole text, not per glyph.
    class Access {
      public:
        explicit Access(const FontRep& font) : m_font(font), m_lock(font.m_mutex) {}
        // Stays valid as long as the font lives.
        const Glyph& glyph(char32_t code_point) { return m_font.glyph_locked(code_point); }
        std::int32_t kerning(const Glyph& left, const Glyph& right) {
            return m_font.m_has_kerning ? m_font.kerning_locked(left, right) : 0;
        }

      private:
        const FontRep& m_font;
        std::unique_lock<std::mutex> m_lock;
    };

  private:
    struct Face;
    struct GlyphTable;

    const Glyph& glyph_locked(char32_t code_point) const;
    std::int32_t kerning_locked(const Glyph& left, const Glyph& right) const;
    void create();

    FontDescription m_description;
    std::unique_ptr<Face> m_face;
    std::unique_ptr<GlyphTable> m_glyphs;
    mutable std::mutex m_mutex;
    std::string m_family;
    std::int32_t m_char_height = 0;
    std::int32_t m_ascent = 0;
    std::int32_t m_descent = 0;
    std::int32_t m_internal_leading = 0;
    std::int32_t m_underline_offset = 0;
    std::int32_t m_underline_thickness = 0;
    bool m_has_kerning = false;
    bool m_embolden = false;
    bool m_oblique = false;
};

using FontHandle = std::shared_ptr<FontRep>;

} // namespace telvara::ui
