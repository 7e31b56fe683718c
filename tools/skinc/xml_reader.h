#pragma once
// The skin source reader: one XML file into the source model, every property
// typed and checked, every error naming the file and line.
//
// Source format:
//   <skin>                                  root; the skin is named after the file
//     <picture name="photo" transparency="mask"/>   optional picture settings
//     <node id="MainForm" design_size="240 320">     top-level node (id required)
//       <color id="bg" color="#FFFFFF"/>             child node; element = type
//       <image src="icons/phone" src.slice="4 4 4 4"/>
//       <node type="custom"> ... </node>             a type the compiler does not know
//       <prop name="foo" kind="integer" value="3"/>  a name outside the vocabulary
//     </node>
//   </skin>

#include "skinc/skin_writer.h"
#include "skinc/vocabulary.h"

#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace telvara::skinc {

// An error in a skin source: "file:line: message".
class SourceError : public std::runtime_error {
  public:
    SourceError(const std::string& file, int line, const std::string& message);
    const std::string& file() const { return m_file; }
    int line() const { return m_line; }

  private:
    std::string m_file;
    int m_line = 0;
};

// How a picture's partly transparent pixels reach 16 bits. Fully transparent
// pixels always become the key colour.
enum class Transparency {
    Key,      // alpha at or above the threshold is opaque, below it transparent
    Mask,     // a second, grey picture carries the alpha for the mask blender
    Backdrop, // composed over a fixed colour
};

struct PictureSettings {
    std::string name;
    std::string source; // file relative to the skin source's folder; empty: art/<name>.svg|png
    Transparency transparency = Transparency::Key;
    ColorValue backdrop;
    std::uint8_t threshold = 128;
    bool dither = true;
    // Drawn through the alpha blender: the lowest green bit (the blender's
    // "opaque" mark) is cleared everywhere.
    bool blend = false;
    int line = 0;
};

// A picture property before the picture sizes are known.
struct PictureUse {
    std::string picture;
    bool mask = false;                // the mask made from `picture`
    std::vector<std::uint32_t> slice; // empty, 4 insets or 8 points (design pixels)
    std::uint8_t flag = 0;
};

using SourceValue = std::variant<std::uint32_t, std::string, PointValue, PictureUse, ColorValue>;

struct SourceProperty {
    std::string name;
    PropertyKind kind = PropertyKind::Integer;
    // Integer: uint32_t; Font and String: std::string (fonts normalised);
    // Point: PointValue; Picture: PictureUse; Colour: ColorValue.
    SourceValue value;
    int line = 0;
};

struct SourceNode {
    std::string type;
    std::vector<SourceProperty> properties; // includes "type" and "id"
    std::vector<SourceNode> children;
    int line = 0;

    const SourceProperty* find(std::string_view name) const;
};

struct SourceSkin {
    std::string file; // the source as named on the command line
    std::string name; // file base name: the compiled skin is <name>.skin
    std::string folder;
    std::vector<PictureSettings> pictures;                 // declared settings only
    std::vector<std::pair<std::string, SourceNode>> nodes; // top-level, by id
};

// Reads and checks a source file; throws SourceError.
SourceSkin read_skin_source(const std::string& file);
// The same from text in memory (`file` names it in errors; pictures are
// looked up in `folder`).
SourceSkin read_skin_text(const std::string& text, const std::string& file,
                          const std::string& folder);

} // namespace telvara::skinc
