#pragma once
// Helpers for skin tests: temporary folders with 16-bit pictures, skins built
// with the writer, and a reader that touches every node and property.

#include "skinc/skin_writer.h"
#include "ui/node_registry.h"
#include "ui/properties.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace telvara::ui::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        static int counter = 0;
        m_path = std::filesystem::temp_directory_path() /
                 ("telvara-skin-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path() const { return m_path.string(); }

    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::filesystem::create_directories((m_path / name).parent_path());
        std::ofstream(m_path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    // A width x height picture of one colour, `bits` per pixel in the header.
    void write_bmp(const std::string& name, int width, int height, std::uint16_t pixel = 0x1234,
                   int bits = 16) const {
        const int row = (16 * width + 31) / 32 * 4;
        std::vector<std::uint8_t> file(54 + std::size_t(row) * height, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                file[at + i] = std::uint8_t(v >> (8 * i));
        };
        file[0] = 'B';
        file[1] = 'M';
        put32(2, std::uint32_t(file.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, std::uint32_t(width));
        put32(22, std::uint32_t(height));
        file[26] = 1;
        file[28] = std::uint8_t(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                file[54 + std::size_t(y) * row + 2 * x] = std::uint8_t(pixel);
                file[54 + std::size_t(y) * row + 2 * x + 1] = std::uint8_t(pixel >> 8);
            }
        write(name + ".bmp", file);
    }

  private:
    std::filesystem::path m_path;
};

inline std::vector<std::uint8_t> written(const skinc::SkinModel& model) {
    skinc::WriteResult result = skinc::write_skin(model);
    EXPECT_TRUE(result.ok()) << result.error;
    return result.bytes;
}

// Builds a skin from bytes without touching the file system for pictures.
inline std::unique_ptr<PropertiesImpl> from_bytes(std::vector<std::uint8_t> bytes,
                                                  unsigned scale_shift = 0,
                                                  const std::string& folder = "/nonexistent") {
    return std::make_unique<PropertiesImpl>(std::move(bytes), folder, u"test.skin", scale_shift,
                                            SkinResources::NoPictures);
}

// Reads every property of every node reachable from the index, the way node
// loading does; returns how many nodes were visited.
inline std::size_t walk_everything(const PropertiesImpl& skin) {
    std::size_t visited = 0;
    const WString probes[] = {u"id", u"type", u"text", u"", u"zzzz"};
    // A child list may point back at an ancestor: depth and total visits are
    // bounded, as node loading bounds them.
    auto walk = [&](auto& self, NodeRecord record, int depth) -> void {
        if (++visited > 20000)
            return;
        for (int k = 0; k <= static_cast<int>(PropertyKind::Colour); ++k) {
            const auto kind = static_cast<PropertyKind>(k);
            const std::uint32_t count = skin.property_count(record, kind);
            for (std::uint32_t i = 0; i < count && i < 64; ++i) {
                const WString name = skin.property_name(record, kind, i).value_or(u"?");
                (void)skin.read_int(record, name, 7);
                (void)skin.read_font(record, name, nullptr);
                (void)skin.read_point(record, name, {});
                (void)skin.read_string(record, name, u"d");
                (void)skin.read_picture(record, name, Picture{});
                (void)skin.read_colour(record, name, {});
            }
        }
        for (const WString& probe : probes) {
            (void)skin.read_int(record, probe, 0);
            (void)skin.read_string(record, probe, u"");
        }
        if (depth >= kMaxNodeDepth)
            return;
        const std::uint32_t children = skin.child_count(record);
        for (std::uint32_t i = 0; i < children && i < 16 && visited <= 20000; ++i)
            if (NodeRecord child = skin.child(record, i))
                self(self, child, depth + 1);
    };
    for (const auto& [name, record] : skin.top_level_nodes()) {
        (void)skin.find_node(name);
        walk(walk, record, 0);
    }
    (void)skin.find_node(u"no such node");
    return visited;
}

// A node of the given skin type, with an "id" when one is given.
inline skinc::NodeModel typed(skinc::SkinModel& model, const char16_t* type, const char16_t* id) {
    skinc::NodeModel node;
    node.strings = {{u"type", model.intern_string(type)}};
    if (id)
        node.strings.push_back({u"id", model.intern_string(id)});
    return node;
}

struct TypeEntry {
    const char16_t* name;
    NodeFactory factory;
};

// Registers the types a test's skins use, leaving names other tests already
// registered as they are.
inline void ensure_types(std::initializer_list<TypeEntry> types) {
    auto& registry = NodeRegistry::instance();
    for (const auto& type : types)
        if (!registry.contains(type.name))
            registry.register_type(type.name, type.factory);
}

} // namespace telvara::ui::test
