#pragma once
// Helpers for skin tests: temporary folders with 16-bit pictures, skins built with the writer, the
// program's node types, and a reader that touches every node and property.

#include "skinc/compile.h"
#include "skinc/skin_writer.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace telvara::ui::test {

using PixelRows = std::vector<std::vector<Pixel>>;

// A BMP file of `rows` (top row first), stored bottom-up unless `top_down`;
// `bits` is what the header claims, the pixels are 16-bit whatever it says.
inline std::vector<std::uint8_t> bmp_bytes(const PixelRows& rows, int bits = 16,
                                           bool top_down = false) {
    const int height = int(rows.size()), width = int(rows[0].size());
    const std::size_t stride = std::size_t((16 * width + 31) / 32 * 4);
    std::vector<std::uint8_t> file(54 + stride * std::size_t(height), 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, std::uint32_t(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(top_down ? -height : height));
    file[26] = 1;
    file[28] = std::uint8_t(bits);
    for (int i = 0; i < height; ++i)
        for (int x = 0; x < width; ++x) {
            const Pixel p = rows[std::size_t(top_down ? i : height - 1 - i)][std::size_t(x)];
            file[54 + stride * std::size_t(i) + 2 * std::size_t(x)] = std::uint8_t(p);
            file[55 + stride * std::size_t(i) + 2 * std::size_t(x)] = std::uint8_t(p >> 8);
        }
    return file;
}

inline PixelRows plain_rows(int width, int height, Pixel pixel) {
    return PixelRows(std::size_t(height), std::vector<Pixel>(std::size_t(width), pixel));
}

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
    void write_bmp(const std::string& name, int width, int height, Pixel pixel = 0x1234,
                   int bits = 16) const {
        write(name + ".bmp", bmp_bytes(plain_rows(width, height, pixel), bits));
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

// Every node type of the program, registered once for the whole test process.
inline void use_program_types() {
    auto& registry = NodeRegistry::instance();
    if (!registry.contains(u"node"))
        register_layout_node_types(registry);
    if (!registry.contains(u"text"))
        register_widget_node_types(registry);
}

// A Properties holding the skin of `model`, the program's types registered.
struct InstalledSkin {
    explicit InstalledSkin(const skinc::SkinModel& model, unsigned scale_shift = 0)
        : impl(from_bytes(written(model), scale_shift)) {
        use_program_types();
        EXPECT_TRUE(skin.install(*impl));
    }
    std::unique_ptr<PropertiesImpl> impl;
    Properties skin;
};

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

// The writer's model of skin source text: top-level nodes in the XML form of
// the skin compiler, without pictures.
inline skinc::SkinModel xml_skin(const std::string& nodes) {
    return skinc::build_model(skinc::read_skin_text("<skin>" + nodes + "</skin>", "test.xml", "."))
        .model;
}

// A node of the given skin type, with an "id" when one is given.
inline skinc::NodeModel typed(skinc::SkinModel& model, const char16_t* type, const char16_t* id) {
    skinc::NodeModel node;
    node.strings = {{u"type", model.intern_string(type)}};
    if (id)
        node.strings.push_back({u"id", model.intern_string(id)});
    return node;
}

} // namespace telvara::ui::test
