// Readable listing of a loaded skin: tables, then each top-level node and
// its subtree, properties in table order.
#include "skinc/dump.h"

#include <algorithm>
#include <sstream>
#include <string_view>
#include <vector>

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

// Where a listing is in the tree, and what it may still spend.
struct Walk {
    std::string top;                    // the top-level node being listed
    std::vector<std::uint32_t> path;    // records from the top-level node down
    std::vector<std::uint32_t> indices; // child positions along the path
    std::size_t top_nodes = 0;          // nodes listed under `top`
    std::size_t total_nodes = 0;        // nodes listed in the whole file
    bool spent = false;                 // a budget ran out: list no more nodes
    DumpResult result;

    std::string where() const {
        std::string text = "node " + top;
        for (std::uint32_t index : indices)
            text += " / child " + std::to_string(index);
        return text;
    }
};

void dump_node(const PropertiesImpl& skin, NodeRecord record, std::ostream& out, Walk& walk) {
    const int depth = static_cast<int>(walk.path.size()) - 1;
    const std::string indent(2 * std::size_t(depth), ' ');
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
    for (std::uint32_t i = 0; i < children && !walk.spent; ++i) {
        const NodeRecord child = skin.child(record, i);
        if (!child) {
            out << indent << "  child " << i << ": (invalid record)\n";
            continue;
        }
        out << indent << "  child " << i << " @" << hex(child.offset) << "\n";
        walk.indices.push_back(i);
        const auto stop = [&](const std::string& why) {
            out << indent << "    (" << why << ": not followed)\n";
            walk.result.stopped.push_back(walk.where() + ": " + why);
        };
        if (std::find(walk.path.begin(), walk.path.end(), child.offset) != walk.path.end()) {
            stop("points back at an ancestor");
        } else if (depth + 1 >= ui::kMaxNodeDepth) {
            stop("deeper than " + std::to_string(ui::kMaxNodeDepth) + " levels");
        } else if (walk.top_nodes >= std::size_t(ui::kMaxNodesPerLoad) ||
                   walk.total_nodes >= kMaxDumpNodes) {
            const bool whole = walk.total_nodes >= kMaxDumpNodes;
            stop("more than " +
                 std::to_string(whole ? kMaxDumpNodes : std::size_t(ui::kMaxNodesPerLoad)) +
                 (whole ? " nodes in the file" : " nodes under one top-level node"));
            // The rest of this tree (or file) would only repeat the message.
            walk.spent = true;
        } else {
            ++walk.top_nodes;
            ++walk.total_nodes;
            walk.path.push_back(child.offset);
            dump_node(skin, child, out, walk);
            walk.path.pop_back();
        }
        walk.indices.pop_back();
    }
}

} // namespace

DumpResult dump_skin(const PropertiesImpl& skin, std::ostream& out) {
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
    Walk walk;
    for (const auto& [name, record] : nodes) {
        out << "node " << quote_text(name) << " @" << hex(record.offset) << "\n";
        if (walk.total_nodes >= kMaxDumpNodes) {
            out << "  (more than " << kMaxDumpNodes << " nodes in the file: not listed)\n";
            walk.result.stopped.push_back("node " + quote_text(name) + ": more than " +
                                          std::to_string(kMaxDumpNodes) + " nodes in the file");
            continue;
        }
        walk.top = quote_text(name);
        walk.path = {record.offset};
        walk.indices.clear();
        walk.top_nodes = 1;
        walk.spent = false;
        ++walk.total_nodes;
        dump_node(skin, record, out, walk);
    }
    return std::move(walk.result);
}

bool dump_skin(const std::string& file, std::ostream& out, std::string* error,
               ui::SkinResources resources, DumpResult* result) {
    std::vector<std::uint8_t> bytes;
    if (const std::string why = ui::read_skin_file(file, bytes); !why.empty()) {
        if (error)
            *error = file + ": " + why;
        return false;
    }
    const auto slash = file.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    ui::Properties skin;
    PropertiesImpl candidate(std::move(bytes), folder, from_utf8(file), 0, resources);
    if (!skin.install(candidate)) {
        if (error)
            *error = file + ": " + candidate.load_error();
        return false;
    }
    DumpResult listed = dump_skin(skin.impl(), out);
    if (result != nullptr)
        *result = std::move(listed);
    return true;
}

int dump_command(int argc, char** argv, std::ostream& out, std::ostream& err) {
    if (argc < 3 || std::string_view(argv[1]) != "--dump")
        return 2;
    ui::SkinResources resources = ui::SkinResources::All;
    int at = 2;
    if (std::string_view(argv[at]) == "--no-pictures") {
        resources = ui::SkinResources::NoPictures;
        ++at;
    }
    if (at + 1 != argc)
        return 2;
    const std::string file = argv[at];
    std::string error;
    DumpResult result;
    if (!dump_skin(file, out, &error, resources, &result)) {
        err << "telvara-skinc: " << error << "\n";
        return 1;
    }
    if (result.complete())
        return 0;
    // Listed as far as it goes; where it was cut goes where a script looks.
    out.flush();
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < result.stopped.size() && i < kShown; ++i)
        err << "telvara-skinc: " << file << ": listing stopped at " << result.stopped[i] << "\n";
    if (result.stopped.size() > kShown)
        err << "telvara-skinc: " << file << ": and " << result.stopped.size() - kShown
            << " more places\n";
    return 1;
}

} // namespace telvara::skinc
