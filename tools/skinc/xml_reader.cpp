// Skin sources in XML: pugixml parses, this file types and checks every
// attribute against the vocabulary and reports errors at their line.
#include "skinc/xml_reader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace telvara::skinc {

SourceError::SourceError(const std::string& file, int line, const std::string& message)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + message), m_file(file),
      m_line(line) {}

const SourceProperty* SourceNode::find(std::string_view name) const {
    for (const SourceProperty& property : properties)
        if (property.name == name)
            return &property;
    return nullptr;
}

namespace {

constexpr std::string_view kSliceSuffix = ".slice";
constexpr std::string_view kFlagSuffix = ".flag";

bool ends_with(std::string_view text, std::string_view suffix) {
    return text.size() > suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

class Reader {
  public:
    Reader(const std::string& text, std::string file, int depth = 0)
        : m_text(text), m_file(std::move(file)), m_depth(depth) {}

    int line_at(std::ptrdiff_t offset) const {
        if (offset < 0)
            return 0;
        const auto end = m_text.begin() + std::min<std::ptrdiff_t>(offset, m_text.size());
        return 1 + int(std::count(m_text.begin(), end, '\n'));
    }
    int line_of(pugi::xml_node node) const { return line_at(node.offset_debug()); }
    // pugixml keeps no offsets for attributes: find the name inside the tag.
    int line_of(pugi::xml_node node, pugi::xml_attribute attribute) const {
        const std::ptrdiff_t start = node.offset_debug();
        if (start < 0)
            return 0;
        const std::string name = attribute.name();
        // A repeated name: the n-th attribute of that name is the n-th match.
        int skip = 0;
        for (pugi::xml_attribute a = node.first_attribute(); a && a != attribute;
             a = a.next_attribute())
            skip += name == a.name();
        std::size_t at = std::size_t(start);
        while ((at = m_text.find(name, at + 1)) != std::string::npos) {
            const char before = m_text[at - 1];
            std::size_t after = at + name.size();
            while (after < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[after])))
                ++after;
            if (std::isspace(static_cast<unsigned char>(before)) && after < m_text.size() &&
                m_text[after] == '=' && skip-- == 0)
                return line_at(std::ptrdiff_t(at));
        }
        return line_of(node);
    }

    [[noreturn]] void fail(int line, const std::string& message) const {
        throw SourceError(m_file, line, message);
    }

    SourceSkin read(const std::string& folder) {
        SourceSkin skin;
        skin.file = m_file;
        skin.folder = folder;
        std::map<std::string, int> ids;
        read_into(skin, ids);
        return skin;
    }

  private:
    void read_into(SourceSkin& skin, std::map<std::string, int>& ids) {
        pugi::xml_document document;
        const pugi::xml_parse_result parsed =
            document.load_buffer(m_text.data(), m_text.size(), pugi::parse_default);
        if (!parsed)
            fail(line_at(parsed.offset), std::string("malformed XML: ") + parsed.description());
        const pugi::xml_node root = document.document_element();
        if (std::string_view(root.name()) != "skin")
            fail(line_of(root),
                 "the root element must be <skin>, not <" + std::string(root.name()) + ">");
        if (root.first_attribute())
            fail(line_of(root, root.first_attribute()),
                 "<skin> takes no attributes (the skin is named after its file)");
        for (pugi::xml_node child : root.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                fail(line_of(child), "text is not allowed directly under <skin>");
            if (child.type() != pugi::node_element)
                continue;
            const std::string_view name = child.name();
            if (name == "picture") {
                read_picture_settings(child, skin);
                continue;
            }
            if (name == "include") {
                read_include(child, skin, ids);
                continue;
            }
            if (name == "prop")
                fail(line_of(child), "<prop> belongs inside a node");
            SourceNode node = read_node(child);
            const SourceProperty* id = node.find("id");
            if (!id || std::get<std::string>(id->value).empty())
                fail(node.line, "a top-level node needs an id (screens load it by that name)");
            const std::string& name_text = std::get<std::string>(id->value);
            if (const auto [it, fresh] = ids.emplace(name_text, node.line); !fresh)
                fail(node.line, "top-level id \"" + name_text + "\" is already used on line " +
                                    std::to_string(it->second));
            skin.nodes.emplace_back(name_text, std::move(node));
        }
    }

    // <include file="parts/x.xml"/> directly under <skin>: the pictures and
    // top-level nodes of another <skin> source (its path relative to this
    // file) join this skin; its art is the including skin's.
    void read_include(pugi::xml_node element, SourceSkin& skin, std::map<std::string, int>& ids) {
        std::string path;
        const std::string text = include_text(element, path);
        Reader part(text, path, m_depth + 1);
        part.read_into(skin, ids);
    }

    // <include file="parts/x.xml"/> inside a node: the nodes under the
    // <part> root of that source become children here, in place.
    void read_node_include(pugi::xml_node element, SourceNode& node) {
        std::string path;
        const std::string text = include_text(element, path);
        Reader part(text, path, m_depth + 1);
        part.read_part_into(node);
    }

    void read_part_into(SourceNode& node) {
        pugi::xml_document document;
        const pugi::xml_parse_result parsed =
            document.load_buffer(m_text.data(), m_text.size(), pugi::parse_default);
        if (!parsed)
            fail(line_at(parsed.offset), std::string("malformed XML: ") + parsed.description());
        const pugi::xml_node root = document.document_element();
        if (std::string_view(root.name()) != "part")
            fail(line_of(root), "a source included inside a node has the root <part>, not <" +
                                    std::string(root.name()) + ">");
        for (pugi::xml_node child : root.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                fail(line_of(child), "text is not allowed directly under <part>");
            if (child.type() != pugi::node_element)
                continue;
            const std::string_view name = child.name();
            if (name == "include")
                read_node_include(child, node);
            else if (name == "picture" || name == "prop")
                fail(line_of(child), "<" + std::string(name) + "> does not belong under <part>");
            else
                node.children.push_back(read_node(child));
        }
    }

    // The text of an included source, checked for its one attribute and
    // for nesting that never ends.
    std::string include_text(pugi::xml_node element, std::string& path_out) {
        const int line = line_of(element);
        const pugi::xml_attribute file = element.attribute("file");
        if (!file || std::string_view(file.value()).empty())
            fail(line, "<include> needs a file");
        for (pugi::xml_attribute a : element.attributes())
            if (std::string_view(a.name()) != "file")
                fail(line_of(element, a),
                     "<include> has no attribute \"" + std::string(a.name()) + "\" (file)");
        if (element.first_child())
            fail(line, "<include> has no content");
        if (m_depth >= kMaxIncludeDepth)
            fail(line, "includes nest deeper than " + std::to_string(kMaxIncludeDepth) +
                           " (an include that includes itself?)");
        const std::filesystem::path path =
            std::filesystem::path(m_file).parent_path() / file.value();
        std::ifstream in(path, std::ios::binary);
        if (!in)
            fail(line, "cannot open the included source " + path.string());
        path_out = path.string();
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    static constexpr int kMaxIncludeDepth = 8;

    void read_picture_settings(pugi::xml_node element, SourceSkin& skin) {
        PictureSettings settings;
        settings.line = line_of(element);
        bool has_backdrop = false;
        for (pugi::xml_attribute attribute : element.attributes()) {
            const std::string_view name = attribute.name();
            const std::string value = attribute.value();
            const int line = line_of(element, attribute);
            try {
                if (name == "name") {
                    const PictureName parsed = parse_picture_name(value);
                    if (parsed.mask)
                        throw ValueError("settings are given for the picture, not its #mask");
                    settings.name = parsed.name;
                } else if (name == "source") {
                    settings.source = std::string(trim(value));
                } else if (name == "transparency") {
                    if (value == "key")
                        settings.transparency = Transparency::Key;
                    else if (value == "mask")
                        settings.transparency = Transparency::Mask;
                    else if (value == "backdrop")
                        settings.transparency = Transparency::Backdrop;
                    else
                        throw ValueError(
                            "transparency is \"key\", \"mask\" or \"backdrop\", not \"" + value +
                            "\"");
                } else if (name == "backdrop") {
                    settings.backdrop = parse_colour(value);
                    has_backdrop = true;
                } else if (name == "threshold") {
                    const std::uint32_t threshold = parse_integer(value);
                    if (threshold < 1 || threshold > 255)
                        throw ValueError("threshold is an alpha value in 1..255");
                    settings.threshold = std::uint8_t(threshold);
                } else if (name == "dither") {
                    settings.dither = parse_integer(value) != 0;
                } else if (name == "blend") {
                    settings.blend = parse_integer(value) != 0;
                } else {
                    throw ValueError("<picture> has no attribute \"" + std::string(name) +
                                     "\" (name, source, transparency, backdrop, threshold, "
                                     "dither, blend)");
                }
            } catch (const ValueError& error) {
                fail(line, error.what());
            }
        }
        if (settings.name.empty())
            fail(settings.line, "<picture> needs a name");
        if (settings.transparency == Transparency::Backdrop && !has_backdrop)
            fail(settings.line, "transparency=\"backdrop\" needs a backdrop colour");
        for (const PictureSettings& other : skin.pictures)
            if (other.name == settings.name)
                fail(settings.line, "picture \"" + settings.name +
                                        "\" was already described on line " +
                                        std::to_string(other.line));
        if (element.first_child())
            fail(settings.line, "<picture> has no content");
        skin.pictures.push_back(std::move(settings));
    }

    // Parses `value` as a property of `kind`; picture slices and flags come
    // from the two optional texts.
    SourceProperty make_property(std::string name, PropertyKind kind, const std::string& value,
                                 const char* slice, const char* flag, int line) {
        SourceProperty property;
        property.kind = kind;
        property.line = line;
        try {
            switch (kind) {
            case PropertyKind::Integer:
                property.value = parse_integer(value);
                break;
            case PropertyKind::Font:
                property.value = parse_font(value);
                break;
            case PropertyKind::Point:
                property.value = parse_point(value);
                break;
            case PropertyKind::String:
                check_string(name, value);
                property.value = value;
                break;
            case PropertyKind::Colour:
                property.value = parse_colour(value);
                break;
            case PropertyKind::Picture: {
                const PictureName parsed = parse_picture_name(value);
                PictureUse use;
                use.picture = parsed.name;
                use.mask = parsed.mask;
                if (slice) {
                    use.slice = parse_numbers(slice, 0xFFFF);
                    if (use.slice.size() != 4 && use.slice.size() != 8)
                        throw ValueError("a slice is 4 insets \"left top right bottom\" or 8 "
                                         "points \"x0 y0 x1 y1 x2 y2 x3 y3\"");
                    if (use.slice.size() == 8)
                        for (int axis = 0; axis < 2; ++axis)
                            for (int i = 0; i < 3; ++i)
                                if (use.slice[std::size_t(2 * i + axis)] >
                                    use.slice[std::size_t(2 * i + 2 + axis)])
                                    throw ValueError(
                                        "slice points must not decrease along an axis");
                }
                if (flag) {
                    const std::uint32_t value = parse_integer(flag);
                    if (value > 255)
                        throw ValueError("a picture flag is one byte (0..255)");
                    use.flag = std::uint8_t(value);
                }
                property.value = std::move(use);
                break;
            }
            }
        } catch (const ValueError& error) {
            fail(line, std::string(kind_word(kind)) + " " + name + ": " + error.what());
        }
        property.name = std::move(name);
        return property;
    }

    void add(SourceNode& node, SourceProperty property) {
        for (const SourceProperty& other : node.properties)
            if (other.name == property.name)
                fail(property.line, "property \"" + property.name +
                                        "\" is given twice (also on line " +
                                        std::to_string(other.line) + ")");
        node.properties.push_back(std::move(property));
    }

    void read_prop(pugi::xml_node element, SourceNode& node) {
        const int line = line_of(element);
        const char* slice = nullptr;
        const char* flag = nullptr;
        std::string name, value, kind_text;
        bool has_value = false;
        for (pugi::xml_attribute attribute : element.attributes()) {
            const std::string_view attr = attribute.name();
            if (attr == "name")
                name = attribute.value();
            else if (attr == "kind")
                kind_text = attribute.value();
            else if (attr == "value") {
                value = attribute.value();
                has_value = true;
            } else if (attr == "slice")
                slice = attribute.value();
            else if (attr == "flag")
                flag = attribute.value();
            else
                fail(line_of(element, attribute), "<prop> has no attribute \"" + std::string(attr) +
                                                      "\" (name, kind, value, slice, flag)");
        }
        if (name.empty())
            fail(line, "<prop> needs a name");
        if (!has_value)
            fail(line, "<prop name=\"" + name + "\"> needs a value");
        if (element.first_child())
            fail(line, "<prop> has no content; give the value in value=\"...\"");
        std::optional<PropertyKind> kind = known_kind(name);
        if (!kind_text.empty()) {
            const auto given = kind_from_word(kind_text);
            if (!given)
                fail(line, "kind \"" + kind_text +
                               "\" is not one of integer, font, point, string, picture, colour");
            if (kind && *kind != *given)
                fail(line, "\"" + name + "\" is read by the program as " +
                               std::string(kind_word(*kind)) + ", not " + kind_text);
            kind = given;
        }
        if (!kind)
            fail(line, "unknown property \"" + name + "\" needs a kind (kind=\"integer\" ...)");
        if ((slice || flag) && *kind != PropertyKind::Picture)
            fail(line, "slice and flag belong to picture properties");
        if (name == "type")
            fail(line, "the type is the element name or its type attribute");
        add(node, make_property(name, *kind, value, slice, flag, line));
    }

    SourceNode read_node(pugi::xml_node element) {
        SourceNode node;
        node.line = line_of(element);
        const pugi::xml_attribute type_attribute = element.attribute("type");
        if (type_attribute) {
            node.type = trim(type_attribute.value());
            if (node.type.empty())
                fail(line_of(element, type_attribute), "empty type");
        } else {
            node.type = element.name();
            if (!is_known_type(node.type))
                fail(node.line, "<" + node.type +
                                    "> is not a node type the program registers; write "
                                    "<node type=\"" +
                                    node.type + "\"> for a type registered elsewhere");
        }
        add(node,
            make_property("type", PropertyKind::String, node.type, nullptr, nullptr, node.line));
        for (pugi::xml_attribute attribute : element.attributes()) {
            const std::string name = attribute.name();
            const int line = line_of(element, attribute);
            if (name == "type")
                continue;
            if (ends_with(name, kSliceSuffix) || ends_with(name, kFlagSuffix)) {
                const std::string base = name.substr(0, name.size() - (ends_with(name, kSliceSuffix)
                                                                           ? kSliceSuffix.size()
                                                                           : kFlagSuffix.size()));
                if (!element.attribute(base.c_str()))
                    fail(line, "\"" + name + "\" without a picture attribute \"" + base + "\"");
                continue;
            }
            const auto kind = known_kind(name);
            if (!kind)
                fail(line, "unknown property \"" + name + "\": write <prop name=\"" + name +
                               "\" kind=\"...\" value=\"...\"/> for a name the compiler "
                               "does not know");
            const char* slice = nullptr;
            const char* flag = nullptr;
            if (*kind == PropertyKind::Picture) {
                if (auto a = element.attribute((name + std::string(kSliceSuffix)).c_str()))
                    slice = a.value();
                if (auto a = element.attribute((name + std::string(kFlagSuffix)).c_str()))
                    flag = a.value();
            } else if (element.attribute((name + std::string(kSliceSuffix)).c_str()) ||
                       element.attribute((name + std::string(kFlagSuffix)).c_str())) {
                fail(line, "\"" + name + "\" is not a picture: it takes no slice or flag");
            }
            add(node, make_property(name, *kind, attribute.value(), slice, flag, line));
        }
        for (pugi::xml_node child : element.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                fail(line_of(child), "text is not allowed inside <" + std::string(element.name()) +
                                         ">; give it as text=\"...\"");
            if (child.type() != pugi::node_element)
                continue;
            const std::string_view name = child.name();
            if (name == "prop")
                read_prop(child, node);
            else if (name == "picture")
                fail(line_of(child), "<picture> settings belong directly under <skin>");
            else if (name == "include")
                read_node_include(child, node);
            else
                node.children.push_back(read_node(child));
        }
        return node;
    }

    const std::string& m_text;
    std::string m_file;
    int m_depth = 0;
};

} // namespace

SourceSkin read_skin_text(const std::string& text, const std::string& file,
                          const std::string& folder) {
    Reader reader(text, file);
    SourceSkin skin = reader.read(folder);
    skin.name = std::filesystem::path(file).stem().string();
    return skin;
}

SourceSkin read_skin_source(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw SourceError(file, 0, "cannot open the skin source");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty())
        folder = ".";
    return read_skin_text(text, file, folder.string());
}

} // namespace telvara::skinc
