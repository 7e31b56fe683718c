// Binary skin layout: offsets are assigned in one pass over the model, bytes
// written in a second, so every reference is known before it is stored.
#include "skinc/skin_writer.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

namespace telvara::skinc {

namespace {

constexpr std::uint32_t kHeaderSize = 92;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint32_t kNameLimit = 0x10000; // 16-bit name offsets
constexpr std::uint32_t kIndexEntryHead = 12;
constexpr std::uint32_t kRecordHead = 16;
constexpr std::uint32_t kMaxPictures = 256;

// Entry sizes of the six tables, in record order.
constexpr std::uint32_t kIntegerEntry = 8;
constexpr std::uint32_t kFontEntry = 8;
constexpr std::uint32_t kPointEntry = 8;
constexpr std::uint32_t kStringEntry = 4;
constexpr std::uint32_t kPictureEntry = 20;
constexpr std::uint32_t kColorEntry = 8;

std::uint32_t wide_bytes(WStringView text) {
    return static_cast<std::uint32_t>((text.size() + 1) * 2);
}

std::uint32_t align4(std::uint32_t value) {
    return (value + 3) & ~3u;
}

std::string narrow(WStringView text) {
    return to_utf8(text);
}

class Buffer {
  public:
    explicit Buffer(std::uint32_t size) : m_bytes(size, 0) {}

    void put8(std::uint32_t at, std::uint8_t value) { m_bytes[at] = value; }
    void put16(std::uint32_t at, std::uint16_t value) {
        m_bytes[at] = static_cast<std::uint8_t>(value);
        m_bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void put32(std::uint32_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            m_bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    // Returns the offset just past the terminating 0x0000.
    std::uint32_t put_wide(std::uint32_t at, WStringView text) {
        for (char16_t unit : text) {
            put16(at, unit);
            at += 2;
        }
        put16(at, 0);
        return at + 2;
    }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

  private:
    std::vector<std::uint8_t> m_bytes;
};

template <class T> std::vector<const std::pair<WString, T>*> sorted(const PropertyList<T>& list) {
    std::vector<const std::pair<WString, T>*> out;
    out.reserve(list.size());
    for (const auto& entry : list)
        out.push_back(&entry);
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->first < b->first; });
    return out;
}

class Writer {
  public:
    explicit Writer(const SkinModel& model) : m_model(model) {}

    WriteResult run() {
        WriteResult result;
        if (!check_model(m_model))
            return fail();
        if (!assign_names() || !assign_records())
            return fail();
        Buffer out(m_size);
        write_header(out);
        for (const auto& [name, offset] : m_name_offsets)
            out.put_wide(offset, name);
        std::uint32_t at = m_string_table;
        for (const auto* group : {&m_model.pictures, &m_model.fonts, &m_model.strings})
            for (const WString& text : *group)
                at = out.put_wide(at, text);
        write_index(out);
        for (std::size_t i = 0; i < m_model.nodes.size(); ++i)
            write_node(out, m_model.nodes[i].node);
        result.bytes = out.take();
        return result;
    }

  private:
    WriteResult fail() {
        WriteResult result;
        result.error = m_error;
        return result;
    }

    bool error(std::string text) {
        m_error = std::move(text);
        return false;
    }

    bool check_node(const NodeModel& node, const std::string& where) {
        auto duplicates = [&](const auto& list, const char* kind) {
            std::set<WString> seen;
            for (const auto& entry : list)
                if (!seen.insert(entry.first).second)
                    return error("duplicate " + std::string(kind) + " property \"" +
                                 narrow(entry.first) + "\" in node " + where);
            return true;
        };
        if (!duplicates(node.integers, "integer") || !duplicates(node.fonts, "font") ||
            !duplicates(node.points, "point") || !duplicates(node.strings, "string") ||
            !duplicates(node.pictures, "picture") || !duplicates(node.colors, "colour"))
            return false;
        for (const auto& [name, index] : node.fonts)
            if (index >= m_model.fonts.size())
                return error("font property \"" + narrow(name) + "\" in node " + where +
                             " refers to missing font " + std::to_string(index));
        for (const auto& [name, index] : node.strings)
            if (index >= m_model.strings.size() || index > 0xFFFF)
                return error("string property \"" + narrow(name) + "\" in node " + where +
                             " refers to missing string " + std::to_string(index));
        for (const auto& [name, value] : node.pictures) {
            if (value.picture >= kMaxPictures)
                return error("picture property \"" + narrow(name) + "\" in node " + where +
                             " refers to picture " + std::to_string(value.picture) +
                             ": only 256 pictures can be referenced");
            if (value.picture >= m_model.pictures.size())
                return error("picture property \"" + narrow(name) + "\" in node " + where +
                             " refers to missing picture " + std::to_string(value.picture));
        }
        for (std::size_t i = 0; i < node.children.size(); ++i)
            if (!check_node(node.children[i], where + "/" + std::to_string(i)))
                return false;
        return true;
    }

    bool check_model(const SkinModel& model) {
        if (model.pictures.size() > kMaxPictures)
            return error("skin has " + std::to_string(model.pictures.size()) +
                         " pictures: at most 256 can be referenced");
        std::set<WString> top;
        for (const TopLevelNode& entry : model.nodes) {
            if (!top.insert(entry.name).second)
                return error("duplicate top-level node \"" + narrow(entry.name) + "\"");
            if (!check_node(entry.node, "\"" + narrow(entry.name) + "\""))
                return false;
        }
        return true;
    }

    void collect_property_names(const NodeModel& node, std::set<WString>& names) {
        auto add = [&](const auto& list) {
            for (const auto& entry : list)
                names.insert(entry.first);
        };
        add(node.integers);
        add(node.fonts);
        add(node.points);
        add(node.strings);
        add(node.pictures);
        add(node.colors);
        for (const NodeModel& child : node.children)
            collect_property_names(child, names);
    }

    // Property names first, so that they stay inside the 16-bit offset range;
    // top-level names (32-bit offsets) after them, then the string table.
    bool assign_names() {
        std::set<WString> property_names;
        for (const TopLevelNode& entry : m_model.nodes)
            collect_property_names(entry.node, property_names);
        std::uint32_t at = kHeaderSize;
        for (const WString& name : property_names) {
            m_name_offsets[name] = at;
            at += wide_bytes(name);
            if (at > kNameLimit)
                return error("property names end beyond the first 64 KB of the file (at \"" +
                             narrow(name) + "\")");
        }
        for (const TopLevelNode& entry : m_model.nodes)
            if (m_name_offsets.emplace(entry.name, at).second)
                at += wide_bytes(entry.name);
        m_string_table = at;
        for (const auto* group : {&m_model.pictures, &m_model.fonts, &m_model.strings})
            for (const WString& text : *group)
                at += wide_bytes(text);
        m_size = align4(at);
        return true;
    }

    static std::uint32_t record_size(const NodeModel& node) {
        return kRecordHead + 4 * static_cast<std::uint32_t>(node.children.size()) +
               kIntegerEntry * static_cast<std::uint32_t>(node.integers.size()) +
               kFontEntry * static_cast<std::uint32_t>(node.fonts.size()) +
               kPointEntry * static_cast<std::uint32_t>(node.points.size()) +
               kStringEntry * static_cast<std::uint32_t>(node.strings.size()) +
               kPictureEntry * static_cast<std::uint32_t>(node.pictures.size()) +
               kColorEntry * static_cast<std::uint32_t>(node.colors.size());
    }

    // Pre-order: a record, then its children's records.
    bool assign_node(const NodeModel& node, const std::string& where) {
        if (node.children.size() > 0xFFFF)
            return error("node " + where + " has more than 65535 children");
        std::uint64_t size = record_size(node);
        if (size > 0xFFFF)
            return error("properties of node " + where + " end " + std::to_string(size) +
                         " bytes after its record: more than 64 KB");
        m_record_offsets[&node] = m_size;
        if (std::uint64_t(m_size) + size > 0xFFFFFFF0u)
            return error("skin file larger than 4 GB");
        m_size += static_cast<std::uint32_t>(size);
        for (std::size_t i = 0; i < node.children.size(); ++i)
            if (!assign_node(node.children[i], where + "/" + std::to_string(i)))
                return false;
        return true;
    }

    bool assign_records() {
        for (const TopLevelNode& entry : m_model.nodes) {
            m_entry_offsets.push_back(m_size);
            m_size += kIndexEntryHead;
            if (!assign_node(entry.node, "\"" + narrow(entry.name) + "\""))
                return false;
        }
        return true;
    }

    void write_header(Buffer& out) {
        static constexpr char16_t magic[4] = {0x0421, 0x043A, 0x0438, 0x043D};
        for (int i = 0; i < 4; ++i)
            out.put16(2 * i, magic[i]);
        out.put32(76, static_cast<std::uint32_t>(m_model.pictures.size()));
        out.put32(80, static_cast<std::uint32_t>(m_model.fonts.size()));
        out.put32(84, m_string_table);
        out.put32(88, static_cast<std::uint32_t>(m_model.strings.size()));
        out.put32(72, kNone);
    }

    // Balanced search tree: the median of each sorted range is its root.
    std::uint32_t link(Buffer& out, const std::vector<std::size_t>& order, std::size_t low,
                       std::size_t high) {
        if (low >= high)
            return kNone;
        std::size_t mid = low + (high - low) / 2;
        std::uint32_t entry = m_entry_offsets[order[mid]];
        out.put32(entry, link(out, order, low, mid));
        out.put32(entry + 4, link(out, order, mid + 1, high));
        out.put32(entry + 8, m_name_offsets.at(m_model.nodes[order[mid]].name));
        return entry;
    }

    void write_index(Buffer& out) {
        std::vector<std::size_t> order(m_model.nodes.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return m_model.nodes[a].name < m_model.nodes[b].name;
        });
        out.put32(72, link(out, order, 0, order.size()));
    }

    void write_node(Buffer& out, const NodeModel& node) {
        const std::uint32_t record = m_record_offsets.at(&node);
        std::uint32_t at = kRecordHead + 4 * static_cast<std::uint32_t>(node.children.size());
        auto name_at = [&](const WString& name) {
            return static_cast<std::uint16_t>(m_name_offsets.at(name));
        };
        out.put16(record + 0, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.integers)) {
            out.put16(record + at, name_at(entry->first));
            out.put32(record + at + 4, entry->second);
            at += kIntegerEntry;
        }
        out.put16(record + 2, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.fonts)) {
            out.put16(record + at, name_at(entry->first));
            out.put32(record + at + 4, entry->second);
            at += kFontEntry;
        }
        out.put16(record + 4, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.points)) {
            out.put16(record + at, name_at(entry->first));
            out.put16(record + at + 4, static_cast<std::uint16_t>(entry->second.x));
            out.put16(record + at + 6, static_cast<std::uint16_t>(entry->second.y));
            at += kPointEntry;
        }
        out.put16(record + 6, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.strings)) {
            out.put16(record + at, name_at(entry->first));
            out.put16(record + at + 2, static_cast<std::uint16_t>(entry->second));
            at += kStringEntry;
        }
        out.put16(record + 8, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.pictures)) {
            out.put16(record + at, name_at(entry->first));
            for (int i = 0; i < 4; ++i) {
                out.put16(record + at + 2 + 4 * i, entry->second.x[i]);
                out.put16(record + at + 4 + 4 * i, entry->second.y[i]);
            }
            out.put8(record + at + 18, static_cast<std::uint8_t>(entry->second.picture));
            out.put8(record + at + 19, entry->second.flag);
            at += kPictureEntry;
        }
        out.put16(record + 10, static_cast<std::uint16_t>(at));
        for (const auto* entry : sorted(node.colors)) {
            out.put16(record + at, name_at(entry->first));
            out.put8(record + at + 2, entry->second.red);
            out.put8(record + at + 3, entry->second.green);
            out.put8(record + at + 4, entry->second.blue);
            at += kColorEntry;
        }
        out.put16(record + 12, static_cast<std::uint16_t>(at));
        out.put16(record + 14, static_cast<std::uint16_t>(node.children.size()));
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            out.put32(record + kRecordHead + 4 * static_cast<std::uint32_t>(i),
                      m_record_offsets.at(&node.children[i]));
            write_node(out, node.children[i]);
        }
    }

    const SkinModel& m_model;
    std::string m_error;
    std::map<WString, std::uint32_t> m_name_offsets;
    std::map<const NodeModel*, std::uint32_t> m_record_offsets;
    std::vector<std::uint32_t> m_entry_offsets;
    std::uint32_t m_string_table = 0;
    std::uint32_t m_size = 0;
};

} // namespace

std::uint32_t SkinModel::intern_string(WStringView text) {
    auto found = std::find(strings.begin(), strings.end(), text);
    if (found != strings.end())
        return static_cast<std::uint32_t>(found - strings.begin());
    strings.emplace_back(text);
    return static_cast<std::uint32_t>(strings.size() - 1);
}

WriteResult write_skin(const SkinModel& model) {
    return Writer(model).run();
}

bool write_skin_file(const SkinModel& model, const std::string& file_name, std::string* error) {
    WriteResult result = write_skin(model);
    if (!result.ok()) {
        if (error)
            *error = result.error;
        return false;
    }
    std::ofstream file(file_name, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(result.bytes.data()),
               static_cast<std::streamsize>(result.bytes.size()));
    file.close();
    if (!file) {
        if (error)
            *error = "cannot write " + file_name;
        return false;
    }
    return true;
}

} // namespace telvara::skinc
