// Palettes: reading the rule file, recolouring a source's nodes and picture
// backdrops, and the paints of SVG art before it is rasterised.
#include "skinc/palette.h"

#include "skinc/vocabulary.h"
#include "skinc/xml_reader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <fnmatch.h>
#include <fstream>
#include <iterator>
#include <sstream>

namespace telvara::skinc {

namespace {

std::string hex(ColorValue colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", colour.red, colour.green, colour.blue);
    return text;
}

bool same(ColorValue a, ColorValue b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool glob_matches(const std::string& glob, std::string_view text) {
    return !text.empty() && ::fnmatch(glob.c_str(), std::string(text).c_str(), 0) == 0;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at])))
            ++at;
        const std::size_t start = at;
        while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at])))
            ++at;
        if (at > start)
            out.push_back(line.substr(start, at - start));
    }
    return out;
}

} // namespace

Palette Palette::parse(std::string_view text, const std::string& name) {
    Palette palette;
    palette.m_name = name;
    int number = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++number;
        std::vector<std::string_view> tokens = words(line);
        if (const auto comment = std::find(tokens.begin(), tokens.end(), "#");
            comment != tokens.end())
            tokens.erase(comment, tokens.end());
        if (tokens.empty())
            continue;
        auto fail = [&](const std::string& message) {
            throw PaletteError(name + ":" + std::to_string(number) + ": " + message);
        };
        auto colour = [&](std::string_view word) {
            if (word.empty() || word[0] != '#')
                fail("\"" + std::string(word) + "\" is not a colour (#RRGGBB or #RGB)");
            try {
                return parse_colour(word);
            } catch (const ValueError& error) {
                fail(error.what());
            }
            return ColorValue{};
        };
        Rule rule;
        rule.line = number;
        std::size_t first_condition = 0;
        if (tokens[0] == "keep") {
            rule.keep = true;
            first_condition = 1;
            if (tokens.size() < 2)
                fail("\"keep\" needs where: type:GLOB, in:GLOB or picture:GLOB");
        } else {
            if (tokens.size() < 2)
                fail("a rule is \"FROM TO [WHERE...]\" or \"keep WHERE...\"");
            rule.from = colour(tokens[0]);
            rule.to = colour(tokens[1]);
            first_condition = 2;
        }
        for (std::size_t i = first_condition; i < tokens.size(); ++i) {
            const std::string_view word = tokens[i];
            const std::size_t colon = word.find(':');
            const std::string_view key = word.substr(0, colon);
            Condition condition;
            if (key == "type")
                condition.field = Condition::Field::Type;
            else if (key == "in")
                condition.field = Condition::Field::In;
            else if (key == "picture")
                condition.field = Condition::Field::Picture;
            else
                fail("\"" + std::string(word) +
                     "\" is not a condition (type:GLOB, in:GLOB, picture:GLOB)");
            condition.glob = colon == std::string_view::npos ? "" : word.substr(colon + 1);
            if (condition.glob.empty())
                fail("\"" + std::string(word) + "\" needs a pattern after the colon");
            rule.conditions.push_back(std::move(condition));
        }
        if (!rule.keep && rule.conditions.empty())
            for (const Rule& other : palette.m_rules)
                if (!other.keep && other.conditions.empty() && same(other.from, rule.from))
                    fail(hex(rule.from) + " is mapped twice (also on line " +
                         std::to_string(other.line) + ")");
        palette.m_rules.push_back(std::move(rule));
    }
    return palette;
}

Palette Palette::read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw PaletteError(file + ": cannot open the palette");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(text, file);
}

bool Palette::holds(const Condition& condition, const ColourPlace& place) {
    switch (condition.field) {
    case Condition::Field::Type:
        return glob_matches(condition.glob, place.type);
    case Condition::Field::In:
        return std::any_of(place.ids.begin(), place.ids.end(),
                           [&](const std::string& id) { return glob_matches(condition.glob, id); });
    case Condition::Field::Picture:
        return glob_matches(condition.glob, place.picture);
    }
    return false;
}

std::optional<ColorValue> Palette::map(ColorValue colour, const ColourPlace& place) const {
    for (const Rule& rule : m_rules) {
        if (rule.conditions.empty() || (!rule.keep && !same(rule.from, colour)))
            continue;
        if (std::all_of(rule.conditions.begin(), rule.conditions.end(),
                        [&](const Condition& condition) { return holds(condition, place); }))
            return rule.keep ? colour : rule.to;
    }
    for (const Rule& rule : m_rules)
        if (rule.conditions.empty() && same(rule.from, colour))
            return rule.to;
    return std::nullopt;
}

namespace {

class SkinRecolourer {
  public:
    SkinRecolourer(SourceSkin& skin, const Palette& palette) : m_skin(skin), m_palette(palette) {}

    void run() {
        for (PictureSettings& picture : m_skin.pictures) {
            if (picture.transparency != Transparency::Backdrop)
                continue;
            const ColourPlace place{{}, {}, picture.name};
            const auto mapped = m_palette.map(picture.backdrop, place);
            if (!mapped)
                throw SourceError(m_skin.file, picture.line,
                                  "backdrop " + hex(picture.backdrop) + " of picture \"" +
                                      picture.name + "\" is not in the palette " +
                                      m_palette.name());
            picture.backdrop = *mapped;
        }
        for (auto& [name, node] : m_skin.nodes)
            recolour(node);
    }

  private:
    void recolour(SourceNode& node) {
        const SourceProperty* id = node.find("id");
        const std::string own_id = id && id->kind == PropertyKind::String
                                       ? std::get<std::string>(id->value)
                                       : std::string();
        m_ids.push_back(own_id);
        for (SourceProperty& property : node.properties) {
            if (property.kind != PropertyKind::Colour)
                continue;
            ColorValue& colour = std::get<ColorValue>(property.value);
            const ColourPlace place{node.type, m_ids, {}};
            const auto mapped = m_palette.map(colour, place);
            if (!mapped)
                throw SourceError(m_skin.file, property.line,
                                  "colour " + hex(colour) + " (" + property.name + " of " +
                                      node.type + " \"" + own_id + "\" in " + path() +
                                      ") is not in the palette " + m_palette.name());
            colour = *mapped;
        }
        for (SourceNode& child : node.children)
            recolour(child);
        m_ids.pop_back();
    }

    std::string path() const {
        std::string out;
        for (const std::string& id : m_ids) {
            if (!out.empty())
                out += '/';
            out += id.empty() ? "?" : id;
        }
        return out;
    }

    SourceSkin& m_skin;
    const Palette& m_palette;
    std::vector<std::string> m_ids;
};

constexpr std::array<std::string_view, 6> kPaints = {"fill",        "stroke",         "stop-color",
                                                     "flood-color", "lighting-color", "color"};

bool is_paint(std::string_view name) {
    return std::find(kPaints.begin(), kPaints.end(), name) != kPaints.end();
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

class SvgRecolourer {
  public:
    SvgRecolourer(const Palette& palette, const std::string& picture)
        : m_palette(palette), m_picture(picture) {}

    void run(pugi::xml_node node) {
        for (pugi::xml_node child : node.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (std::string_view(child.name()) == "style")
                throw PaletteError("a <style> sheet cannot be recoloured: give the paints as "
                                   "attributes");
            for (pugi::xml_attribute attribute : child.attributes()) {
                const std::string_view name = attribute.name();
                if (is_paint(name))
                    attribute.set_value(paint(name, attribute.value()).c_str());
                else if (name == "style")
                    attribute.set_value(style(attribute.value()).c_str());
            }
            run(child);
        }
    }

  private:
    std::string paint(std::string_view name, std::string_view value) {
        const std::string_view text = trim(value);
        const std::string word = lower(text);
        if (word.empty() || word == "none" || word == "transparent" || word == "currentcolor" ||
            word == "inherit" || word == "context-fill" || word == "context-stroke")
            return std::string(value);
        if (word.starts_with("url(")) {
            // A gradient or pattern; a colour after it is its fallback.
            const std::size_t close = text.find(')');
            if (close == std::string_view::npos)
                return std::string(value);
            const std::string_view fallback = trim(text.substr(close + 1));
            if (fallback.empty())
                return std::string(value);
            return std::string(text.substr(0, close + 1)) + " " + paint(name, fallback);
        }
        if (text[0] != '#')
            throw PaletteError(std::string(name) + " \"" + std::string(text) +
                               "\": write the colour as #RRGGBB so the palette can map it");
        ColorValue colour;
        try {
            colour = parse_colour(text);
        } catch (const ValueError& error) {
            throw PaletteError(std::string(name) + ": " + error.what());
        }
        const auto mapped = m_palette.map(colour, ColourPlace{{}, {}, m_picture});
        if (!mapped)
            throw PaletteError("colour " + hex(colour) + " (" + std::string(name) +
                               ") is not in the palette " + m_palette.name());
        return hex(*mapped);
    }

    // "fill:#fff;stroke-width:2": each paint declaration recoloured.
    std::string style(std::string_view value) {
        std::string out;
        std::size_t at = 0;
        while (at <= value.size()) {
            std::size_t end = value.find(';', at);
            if (end == std::string_view::npos)
                end = value.size();
            const std::string_view declaration = value.substr(at, end - at);
            const std::size_t colon = declaration.find(':');
            if (colon != std::string_view::npos) {
                const std::string property = lower(trim(declaration.substr(0, colon)));
                if (is_paint(property)) {
                    out += std::string(declaration.substr(0, colon + 1));
                    out += paint(property, declaration.substr(colon + 1));
                } else {
                    out += declaration;
                }
            } else {
                out += declaration;
            }
            if (end < value.size())
                out += ';';
            at = end + 1;
        }
        return out;
    }

    const Palette& m_palette;
    const std::string& m_picture;
};

} // namespace

void recolour_skin(SourceSkin& skin, const Palette& palette) {
    SkinRecolourer(skin, palette).run();
}

std::string recolour_svg(std::string_view svg, const Palette& palette, const std::string& picture) {
    pugi::xml_document document;
    if (!document.load_buffer(svg.data(), svg.size(), pugi::parse_full))
        throw PaletteError("not a readable SVG file");
    SvgRecolourer(palette, picture).run(document);
    std::ostringstream out;
    document.save(out, "", pugi::format_raw);
    return out.str();
}

} // namespace telvara::skinc
