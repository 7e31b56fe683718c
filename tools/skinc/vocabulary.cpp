// Property kinds, enumerated words, node types and value parsers of the skin
// source language.
#include "skinc/vocabulary.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <utility>

namespace telvara::skinc {

namespace {

struct KnownName {
    std::string_view name;
    PropertyKind kind;
};

constexpr KnownName kKnown[] = {
    // Every node.
    {"id", PropertyKind::String},
    {"type", PropertyKind::String},
    {"anchor_x", PropertyKind::String},
    {"anchor_y", PropertyKind::String},
    {"border_min", PropertyKind::Point},
    {"border_max", PropertyKind::Point},
    {"design_size", PropertyKind::Point},
    {"cache", PropertyKind::Integer},
    {"cache_alpha", PropertyKind::Integer},
    {"visibility_animation", PropertyKind::String},
    // Screens, colour and text nodes, edits.
    {"outside_color", PropertyKind::Colour},
    {"color", PropertyKind::Colour},
    {"background_color", PropertyKind::Colour},
    {"capitalize", PropertyKind::Integer},
    {"text", PropertyKind::String},
    {"font", PropertyKind::Font},
    {"grow", PropertyKind::Integer},
    {"grow_min", PropertyKind::Integer},
    {"wrap", PropertyKind::Integer},
    {"ellipsis", PropertyKind::Integer}, // 1 at the end, 2 in the middle
    {"shrink", PropertyKind::Integer},   // smallest font size a text may shrink to
    {"halign", PropertyKind::String},
    {"valign", PropertyKind::String},
    // Images.
    {"src", PropertyKind::Picture},
    {"mask", PropertyKind::Picture},
    {"alpha", PropertyKind::Integer},
    {"save_aspect_ratio", PropertyKind::Integer},
    // Buttons, tables, multinodes.
    {"bind_key", PropertyKind::String},
    {"table_ratio", PropertyKind::Integer},
    {"whole", PropertyKind::Integer}, // clip: children that do not fit are left out
    {"delay", PropertyKind::String},
    {"movie", PropertyKind::Integer},
    // Lists.
    {"scroll_border_min", PropertyKind::Point},
    {"scroll_border_max", PropertyKind::Point},
    {"locked", PropertyKind::Integer},
    {"highlight", PropertyKind::Picture},
    {"highlight_alpha", PropertyKind::Integer},
    {"element_size", PropertyKind::Point},
};

constexpr std::string_view kScaleWords[] = {
    "MIN_SIDE",         "BOTH_SIDE",        "MAX_SIDE",          "RATIO",          "CENTER",
    "MIN_SIDE_NO_SIZE", "MAX_SIDE_NO_SIZE", "BOTH_SIDE_NO_SIZE", "CENTER_NO_SIZE",
};
constexpr std::string_view kHalignWords[] = {"LEFT", "CENTER", "RIGHT", "JUSTIFY"};
constexpr std::string_view kValignWords[] = {"TOP", "VCENTER", "BOTTOM"};
constexpr std::string_view kAnimationWords[] = {"scale", "pop", "right", "bottom",
                                                "left",  "top", "flip"};
// The engine's key names; "" binds nothing on purpose.
constexpr std::string_view kKeyNames[] = {
    "",           "None",      "Shift",       "Ctrl",      "Alt",      "Left",      "Right",
    "Up",         "Down",      "Esc",         "Enter",     "Space",    "Backspace", "Del",
    "Insert",     "Home",      "End",         "PageDown",  "PageUp",   "Tab",       "ContextMenu",
    "A",          "B",         "C",           "D",         "E",        "F",         "G",
    "H",          "I",         "J",           "K",         "L",        "M",         "N",
    "O",          "P",         "Q",           "R",         "S",        "T",         "U",
    "V",          "W",         "X",           "Y",         "Z",        "0",         "1",
    "2",          "3",         "4",           "5",         "6",        "7",         "8",
    "9",          "*",         "#",           "CALL_MAKE", "CALL_END", "SLIDE",     "SOFT_LEFT",
    "SOFT_RIGHT", "VOLUME_UP", "VOLUME_DOWN", "+",         "-",        ".",         "/",
};

constexpr std::string_view kTypes[] = {
    "node",  "text",      "color",    "image",      "edit", "htable",   "vtable",  "button",
    "vlist", "multinode", "progress", "label_edit", "clip", "richtext", "spinner",
};

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Splits at blanks and commas.
std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (is_space(text[i]) || text[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_space(text[i]) && text[i] != ',')
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<std::int64_t> to_int(std::string_view text) {
    std::int64_t value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last)
        return std::nullopt;
    return value;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_space(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<PropertyKind> known_kind(std::string_view name) {
    for (const KnownName& known : kKnown)
        if (known.name == name)
            return known.kind;
    return std::nullopt;
}

std::optional<PropertyKind> kind_from_word(std::string_view word) {
    if (word == "integer" || word == "int")
        return PropertyKind::Integer;
    if (word == "font")
        return PropertyKind::Font;
    if (word == "point")
        return PropertyKind::Point;
    if (word == "string")
        return PropertyKind::String;
    if (word == "picture")
        return PropertyKind::Picture;
    if (word == "colour" || word == "color")
        return PropertyKind::Colour;
    return std::nullopt;
}

std::string_view kind_word(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::Integer:
        return "integer";
    case PropertyKind::Font:
        return "font";
    case PropertyKind::Point:
        return "point";
    case PropertyKind::String:
        return "string";
    case PropertyKind::Picture:
        return "picture";
    case PropertyKind::Colour:
        return "colour";
    }
    return "?";
}

std::span<const std::string_view> allowed_words(std::string_view name) {
    if (name == "anchor_x" || name == "anchor_y")
        return kScaleWords;
    if (name == "halign")
        return kHalignWords;
    if (name == "valign")
        return kValignWords;
    if (name == "visibility_animation")
        return kAnimationWords;
    if (name == "bind_key")
        return kKeyNames;
    return {};
}

void check_string(std::string_view name, std::string_view value) {
    const auto words = allowed_words(name);
    if (!words.empty() && std::find(words.begin(), words.end(), value) == words.end()) {
        std::string list;
        for (std::string_view word : words)
            if (!word.empty())
                list += (list.empty() ? "" : " ") + std::string(word);
        throw ValueError(quoted(value) + " is not a word " + std::string(name) +
                         " knows (one of: " + list + ")");
    }
    if (name == "delay") {
        const std::string text(trim(value));
        char* end = nullptr;
        std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size())
            throw ValueError("delay must be a decimal number of seconds, not " + quoted(value));
    }
}

bool is_known_type(std::string_view type) {
    return std::find(std::begin(kTypes), std::end(kTypes), type) != std::end(kTypes);
}

std::uint32_t parse_integer(std::string_view text) {
    const std::string_view t = trim(text);
    if (t == "true")
        return 1;
    if (t == "false")
        return 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        std::uint64_t value = 0;
        const auto [end, ec] = std::from_chars(t.data() + 2, t.data() + t.size(), value, 16);
        if (ec == std::errc() && end == t.data() + t.size() && value <= 0xFFFFFFFFu)
            return std::uint32_t(value);
        throw ValueError(quoted(text) + " is not a 32-bit hexadecimal number");
    }
    const auto value = to_int(t);
    if (!value)
        throw ValueError(quoted(text) + " is not an integer (decimal, 0x hex, true or false)");
    if (*value < -0x80000000LL || *value > 0xFFFFFFFFLL)
        throw ValueError(quoted(text) + " does not fit in 32 bits");
    return std::uint32_t(*value);
}

PointValue parse_point(std::string_view text) {
    const auto parts = fields(text);
    if (parts.size() != 2)
        throw ValueError(quoted(text) + " is not a point (two numbers \"x y\")");
    PointValue point;
    for (int i = 0; i < 2; ++i) {
        const auto value = to_int(parts[std::size_t(i)]);
        if (!value || *value < -32768 || *value > 32767)
            throw ValueError(quoted(text) + ": " + quoted(parts[std::size_t(i)]) +
                             " is not a number in -32768..32767");
        (i == 0 ? point.x : point.y) = std::int16_t(*value);
    }
    return point;
}

ColorValue parse_colour(std::string_view text) {
    const std::string_view t = trim(text);
    auto hex_digit = [&](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        throw ValueError(quoted(text) + " is not a colour (#RRGGBB, #RGB or \"R G B\")");
    };
    if (!t.empty() && t[0] == '#') {
        if (t.size() == 7)
            return {std::uint8_t(hex_digit(t[1]) * 16 + hex_digit(t[2])),
                    std::uint8_t(hex_digit(t[3]) * 16 + hex_digit(t[4])),
                    std::uint8_t(hex_digit(t[5]) * 16 + hex_digit(t[6]))};
        if (t.size() == 4)
            return {std::uint8_t(hex_digit(t[1]) * 17), std::uint8_t(hex_digit(t[2]) * 17),
                    std::uint8_t(hex_digit(t[3]) * 17)};
        throw ValueError(quoted(text) +
                         " is not a colour (#RRGGBB, #RGB or \"R G B\"; skins hold no alpha)");
    }
    const auto parts = fields(t);
    if (parts.size() == 3) {
        std::uint8_t channel[3] = {};
        for (std::size_t i = 0; i < 3; ++i) {
            const auto value = to_int(parts[i]);
            if (!value || *value < 0 || *value > 255)
                throw ValueError(quoted(text) + ": channel " + quoted(parts[i]) +
                                 " is not in 0..255");
            channel[i] = std::uint8_t(*value);
        }
        return {channel[0], channel[1], channel[2]};
    }
    throw ValueError(quoted(text) + " is not a colour (#RRGGBB, #RGB or \"R G B\")");
}

std::string parse_font(std::string_view text) {
    std::vector<std::string_view> words;
    std::string_view rest = trim(text);
    // Size and up to three flags are numbers; the first word that is not
    // starts the face name, which keeps its inner blanks (collapsed).
    while (!rest.empty() && words.size() < 4) {
        std::size_t end = 0;
        while (end < rest.size() && !is_space(rest[end]))
            ++end;
        const std::string_view word = rest.substr(0, end);
        if (!to_int(word))
            break;
        words.push_back(word);
        rest = trim(rest.substr(end));
    }
    if (words.empty())
        throw ValueError(
            quoted(text) +
            " is not a font (size, bold, italic, underline, face: \"12 1 0 0 Tahoma\")");
    const auto size = to_int(words[0]);
    if (*size <= 0 || *size > 1000)
        throw ValueError(quoted(text) + ": font size " + quoted(words[0]) + " is not in 1..1000");
    std::string out;
    for (std::string_view word : words)
        out += (out.empty() ? "" : " ") + std::string(word);
    if (!rest.empty()) {
        if (words.size() < 4)
            throw ValueError(quoted(text) +
                             ": give the three flags before the face name (\"12 1 0 0 Tahoma\")");
        out += ' ';
        bool blank = false;
        for (char c : rest) {
            if (is_space(c)) {
                blank = true;
                continue;
            }
            if (blank)
                out += ' ';
            blank = false;
            out += c;
        }
    }
    return out;
}

std::vector<std::uint32_t> parse_numbers(std::string_view text, std::uint32_t max) {
    std::vector<std::uint32_t> out;
    for (std::string_view part : fields(text)) {
        const auto value = to_int(part);
        if (!value || *value < 0 || *value > std::int64_t(max))
            throw ValueError(quoted(part) + " is not a number in 0.." + std::to_string(max));
        out.push_back(std::uint32_t(*value));
    }
    return out;
}

PictureName parse_picture_name(std::string_view text) {
    PictureName out;
    std::string_view t = trim(text);
    constexpr std::string_view kMask = "#mask";
    if (t.size() > kMask.size() && t.substr(t.size() - kMask.size()) == kMask) {
        out.mask = true;
        t.remove_suffix(kMask.size());
    }
    const auto bad = [&](const std::string& why) {
        return ValueError(quoted(text) + " is not a picture name: " + why);
    };
    if (t.empty())
        throw bad("empty");
    for (char c : t)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-' || c == '.' || c == '/'))
            throw bad("only letters, digits, _ - . and / are allowed");
    std::size_t start = 0;
    while (start <= t.size()) {
        std::size_t end = t.find('/', start);
        if (end == std::string_view::npos)
            end = t.size();
        const std::string_view part = t.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            throw bad("every part between slashes must be a plain name");
        start = end + 1;
    }
    out.name = std::string(t);
    return out;
}

} // namespace telvara::skinc
