#pragma once
// A palette recolours a skin source into another skin with the same layout:
// every colour of the source (node colours, picture backdrops, the fills and
// strokes of SVG art) is looked up and replaced. A colour the palette does
// not name is an error, so a colour added to the source later can never
// slip through unchanged.
//
// Palette file, one rule a line, "#" starts a comment:
//   FROM TO [WHERE...]     FROM becomes TO
//   keep WHERE...          every colour in WHERE stays as it is
// A word that is just "#" starts a comment running to the line's end.
// Colours are "#RRGGBB" or "#RGB" (hex digits in either case). WHERE
// narrows a rule; all of its conditions must hold:
//   type:GLOB     a property of a node of that type (text, color ...)
//   in:GLOB       a property of a node whose id, or an ancestor's id, matches
//   picture:GLOB  the backdrop or the art of a picture whose name matches
// GLOB is a shell pattern ("*" and "?"). Rules with conditions are tried
// first, in file order; then the rule for FROM without conditions.

#include "skinc/skin_writer.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::skinc {

struct SourceSkin;

class PaletteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where a colour is used.
struct ColourPlace {
    std::string_view type;            // node type; empty for pictures
    std::span<const std::string> ids; // node ids from the top-level node down
    std::string_view picture;         // picture name; empty for nodes
};

class Palette {
  public:
    // `name` (the file) appears in every error.
    static Palette parse(std::string_view text, const std::string& name);
    static Palette read(const std::string& file);

    // The colour that replaces `colour` at `place`; nothing when no rule
    // names it.
    std::optional<ColorValue> map(ColorValue colour, const ColourPlace& place) const;

    const std::string& name() const { return m_name; }

  private:
    struct Condition {
        enum class Field { Type, In, Picture } field;
        std::string glob;
    };
    struct Rule {
        bool keep = false;
        ColorValue from;
        ColorValue to;
        std::vector<Condition> conditions;
        int line = 0;
    };

    static bool holds(const Condition& condition, const ColourPlace& place);

    std::string m_name;
    std::vector<Rule> m_rules;
};

// Replaces every colour property and picture backdrop of the source; throws
// SourceError naming the first colour the palette leaves out.
void recolour_skin(SourceSkin& skin, const Palette& palette);

// The SVG text with every paint (fill, stroke, stop-color, flood-color,
// lighting-color, color, also inside style="...") recoloured for `picture`.
// Throws PaletteError for a colour the palette leaves out and for paints it
// cannot map (named colours, rgb(), style sheets).
std::string recolour_svg(std::string_view svg, const Palette& palette, const std::string& picture);

} // namespace telvara::skinc
