// Fuzzes the skin loader with arbitrary bytes: the header and table checks at
// build time, then every reader over every node reachable from the index.
// Pictures and fonts are not loaded (no files, no font cache growth).
#include "ui/properties.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using telvara::WString;
using namespace telvara::ui;

void walk(const PropertiesImpl& skin, NodeRecord record, int depth, std::size_t& budget) {
    if (budget == 0 || depth > kMaxNodeDepth)
        return;
    --budget;
    for (int k = 0; k <= static_cast<int>(PropertyKind::Colour); ++k) {
        const auto kind = static_cast<PropertyKind>(k);
        const std::uint32_t count = skin.property_count(record, kind);
        for (std::uint32_t i = 0; i < count && i < 32; ++i) {
            const WString name = skin.property_name(record, kind, i).value_or(u"");
            (void)skin.read_int(record, name, 0);
            (void)skin.read_font(record, name, nullptr);
            (void)skin.read_point(record, name, {});
            (void)skin.read_string(record, name, u"");
            (void)skin.read_picture(record, name, Picture{});
            (void)skin.read_colour(record, name, {});
            (void)skin.read_picture_ref(record, name);
        }
    }
    (void)skin.read_string(record, u"type", u"");
    const std::uint32_t children = skin.child_count(record);
    for (std::uint32_t i = 0; i < children && budget > 0; ++i)
        if (NodeRecord child = skin.child(record, i))
            walk(skin, child, depth + 1, budget);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (unsigned shift : {0u, 1u}) {
        PropertiesImpl skin(std::vector<std::uint8_t>(data, data + size), "/nonexistent",
                            u"fuzz.skin", shift, SkinResources::None);
        std::size_t budget = 256; // nodes: child lists may loop
        for (const auto& [name, record] : skin.top_level_nodes()) {
            (void)skin.find_node(name);
            walk(skin, record, 0, budget);
        }
        (void)skin.find_node(u"FormMain");
        Properties live;
        (void)live.install(skin);
    }
    return 0;
}
