// Readable listing of a loaded skin: tables, then each top-level node and
// its subtree, properties in table order.
#include "skinc/dump.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace telvara::skinc {

namespace {

using ui::NodeRecord;
using ui::PropertiesImpl;
using ui::PropertyKind;

std::string quote_text(WStringView text) {
    std::string out = "\"";
    for (char c : to_utf8(text)) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string hex(std::uint32_t value) {
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

void dump_node(const PropertiesImpl& skin, NodeRecord record, int depth, std::ostream& out) {
    const std::string indent(2 * depth, ' ');
    auto names = [&](PropertyKind kind) {
        std::vector<WString> list;
        const std::uint32_t count = skin.property_count(record, kind);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (auto name = skin.property_name(record, kind, i))
                list.push_back(std::move(*name));
            else
                out << indent << "  (damaged " << i << ". entry)\n";
        }
        return list;
    };
    for (const WString& name : names(PropertyKind::Integer)) {
        const std::uint32_t value = skin.read_int(record, name, 0);
        out << indent << "  integer " << to_utf8(name) << " = " << value;
        if (value > 0x7FFFFFFF)
            out << " (" << hex(value) << ")";
        out << "\n";
    }
    for (const WString& name : names(PropertyKind::Font)) {
        out << indent << "  font " << to_utf8(name) << " = ";
        if (auto index = skin.read_font_index(record, name))
            out << "#" << *index << " " << quote_text(skin.font_text(*index)) << "\n";
        else
            out << "(missing font)\n";
    }
    for (const WString& name : names(PropertyKind::Point)) {
        const ui::Point point = skin.read_point(record, name, {});
        out << indent << "  point " << to_utf8(name) << " = (" << point.x << ", " << point.y
            << ")\n";
    }
    for (const WString& name : names(PropertyKind::String)) {
        out << indent << "  string " << to_utf8(name) << " = ";
        if (auto index = skin.read_string_index(record, name))
            out << quote_text(skin.string(*index)) << "\n";
        else
            out << "(missing string)\n";
    }
    for (const WString& name : names(PropertyKind::Picture)) {
        out << indent << "  picture " << to_utf8(name) << " = ";
        if (auto ref = skin.read_picture_ref(record, name)) {
            out << "#" << int(ref->picture) << " " << quote_text(skin.picture_name(ref->picture))
                << " x " << ref->x[0] << " " << ref->x[1] << " " << ref->x[2] << " " << ref->x[3]
                << " y " << ref->y[0] << " " << ref->y[1] << " " << ref->y[2] << " " << ref->y[3]
                << " flag " << int(ref->flag) << "\n";
        } else {
            out << "(missing picture)\n";
        }
    }
    for (const WString& name : names(PropertyKind::Colour)) {
        const ui::Colour colour = skin.read_colour(record, name, {});
        out << indent << "  colour " << to_utf8(name) << " = " << int(colour.red) << " "
            << int(colour.green) << " " << int(colour.blue) << "\n";
    }
    const std::uint32_t children = skin.child_count(record);
    for (std::uint32_t i = 0; i < children; ++i) {
        const NodeRecord child = skin.child(record, i);
        if (!child) {
            out << indent << "  child " << i << ": (invalid record)\n";
            continue;
        }
        out << indent << "  child " << i << " @" << hex(child.offset) << "\n";
        if (depth + 1 >= ui::kMaxNodeDepth) {
            out << indent << "    (deeper than " << ui::kMaxNodeDepth << " levels: not followed)\n";
            continue;
        }
        dump_node(skin, child, depth + 1, out);
    }
}

} // namespace

void dump_skin(const PropertiesImpl& skin, std::ostream& out) {
    out << "skin " << to_utf8(skin.path()) << " (" << skin.size() << " bytes)\n";
    out << "index_root " << hex(skin.index_root()) << "\n";
    out << "pictures " << skin.picture_count() << "\n";
    for (std::size_t i = 0; i < skin.picture_count(); ++i)
        out << "  [" << i << "] " << quote_text(skin.picture_name(i)) << "\n";
    out << "fonts " << skin.font_count() << "\n";
    for (std::size_t i = 0; i < skin.font_count(); ++i)
        out << "  [" << i << "] " << quote_text(skin.font_text(i)) << "\n";
    out << "strings " << skin.string_count() << "\n";
    for (std::size_t i = 0; i < skin.string_count(); ++i)
        out << "  [" << i << "] " << quote_text(skin.string(i)) << "\n";
    const auto nodes = skin.top_level_nodes();
    out << "top-level nodes " << nodes.size() << "\n";
    for (const auto& [name, record] : nodes) {
        out << "node " << quote_text(name) << " @" << hex(record.offset) << "\n";
        dump_node(skin, record, 0, out);
    }
}

bool dump_skin(const std::string& file, std::ostream& out, std::string* error,
               ui::SkinResources resources) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + file;
        return false;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    const auto slash = file.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    ui::Properties skin;
    PropertiesImpl candidate(std::move(bytes), folder, from_utf8(file), 0, resources);
    if (!skin.install(candidate)) {
        if (error)
            *error = file + ": " + candidate.load_error();
        return false;
    }
    dump_skin(skin.impl(), out);
    return true;
}

} // namespace telvara::skinc
