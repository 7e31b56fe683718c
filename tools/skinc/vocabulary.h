#pragma once
// The skin vocabulary as the compiler knows it: which kind of property each
// name the engine reads is, the words some string properties must be, the
// node types the program registers, and the parsers that turn an attribute's
// text into a property value. Every parser throws ValueError with a short
// reason; the XML reader adds the file and line.

#include "skinc/skin_writer.h"
#include "ui/properties.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace telvara::skinc {

using ui::PropertyKind;

class ValueError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Kind of a property the engine reads; nothing for a name it does not know.
std::optional<PropertyKind> known_kind(std::string_view name);

// "integer" (or "int"), "font", "point", "string", "picture", "colour" (or
// "color"); nothing for any other word.
std::optional<PropertyKind> kind_from_word(std::string_view word);
std::string_view kind_word(PropertyKind kind);

// Words allowed for string properties whose reader only understands a fixed
// set ("anchor_x", "halign", "bind_key" ...): empty for free text.
std::span<const std::string_view> allowed_words(std::string_view name);
// Checks a string property's value against its allowed words (and "delay"
// against the decimal number it must be); throws ValueError.
void check_string(std::string_view name, std::string_view value);

// Node types the program registers; an element name must be one of them.
bool is_known_type(std::string_view type);

// Decimal (optional sign), 0x hex, "true" / "false". Negative numbers are
// stored as their 32-bit two's complement (so -1 is 0xFFFFFFFF).
std::uint32_t parse_integer(std::string_view text);
// Two numbers separated by blanks or a comma, each in -32768..32767.
PointValue parse_point(std::string_view text);
// "#RRGGBB", "#RGB" or three decimals "R G B".
ColorValue parse_colour(std::string_view text);
// A font description: size, up to three flags (bold, italic, underline) and
// a face name, checked and with runs of blanks collapsed to one.
std::string parse_font(std::string_view text);
// A list of numbers 0..65535 separated by blanks or commas.
std::vector<std::uint32_t> parse_numbers(std::string_view text, std::uint32_t max);
// A picture name: a relative path of letters, digits, "_", "-", "." and "/"
// without "." or ".." components; an optional "#mask" suffix names the mask
// made from that picture.
struct PictureName {
    std::string name;
    bool mask = false;
};
PictureName parse_picture_name(std::string_view text);

std::string_view trim(std::string_view text);

} // namespace telvara::skinc
