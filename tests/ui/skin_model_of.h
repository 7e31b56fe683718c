#pragma once
// Reads a loaded skin back into the writer's model, so that a test can take
// a real skin (the shipped default one), damage it in one place (drop a
// screen, give a row's child a type nobody knows) and write it again.

#include "skinc/skin_writer.h"
#include "ui/properties.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace telvara::ui::test {

inline skinc::NodeModel node_model_of(const PropertiesImpl& skin, NodeRecord record,
                                      int depth = 0) {
    skinc::NodeModel node;
    auto each = [&](PropertyKind kind, auto&& take) {
        const std::uint32_t count = skin.property_count(record, kind);
        for (std::uint32_t i = 0; i < count; ++i)
            if (auto name = skin.property_name(record, kind, i))
                take(*name);
    };
    each(PropertyKind::Integer, [&](const WString& name) {
        node.integers.push_back({name, skin.read_int(record, name, 0)});
    });
    each(PropertyKind::Font, [&](const WString& name) {
        if (auto index = skin.read_font_index(record, name))
            node.fonts.push_back({name, *index});
    });
    each(PropertyKind::Point, [&](const WString& name) {
        // Unscaled: read the skin at scale_shift 0.
        const Point point = skin.read_point(record, name, {});
        node.points.push_back({name, {std::int16_t(point.x), std::int16_t(point.y)}});
    });
    each(PropertyKind::String, [&](const WString& name) {
        if (auto index = skin.read_string_index(record, name))
            node.strings.push_back({name, *index});
    });
    each(PropertyKind::Picture, [&](const WString& name) {
        if (auto ref = skin.read_picture_ref(record, name)) {
            skinc::PictureValue value;
            std::copy(std::begin(ref->x), std::end(ref->x), value.x);
            std::copy(std::begin(ref->y), std::end(ref->y), value.y);
            value.picture = ref->picture;
            value.flag = ref->flag;
            node.pictures.push_back({name, value});
        }
    });
    each(PropertyKind::Colour, [&](const WString& name) {
        const Colour colour = skin.read_colour(record, name, {});
        node.colors.push_back({name, {colour.red, colour.green, colour.blue}});
    });
    if (depth < kMaxNodeDepth)
        for (std::uint32_t i = 0; i < skin.child_count(record); ++i)
            if (NodeRecord child = skin.child(record, i))
                node.children.push_back(node_model_of(skin, child, depth + 1));
    return node;
}

// The whole skin: tables and every top-level node.
inline skinc::SkinModel model_of(const PropertiesImpl& skin) {
    skinc::SkinModel model;
    for (std::size_t i = 0; i < skin.picture_count(); ++i)
        model.pictures.push_back(skin.picture_name(i));
    for (std::size_t i = 0; i < skin.font_count(); ++i)
        model.fonts.push_back(skin.font_text(i));
    for (std::size_t i = 0; i < skin.string_count(); ++i)
        model.strings.push_back(skin.string(i));
    for (const auto& [name, record] : skin.top_level_nodes())
        model.nodes.push_back({name, node_model_of(skin, record)});
    return model;
}

inline skinc::NodeModel* top_node(skinc::SkinModel& model, WStringView name) {
    for (skinc::TopLevelNode& node : model.nodes)
        if (node.name == name)
            return &node.node;
    return nullptr;
}

inline bool drop_top_node(skinc::SkinModel& model, WStringView name) {
    const auto before = model.nodes.size();
    std::erase_if(model.nodes, [&](const skinc::TopLevelNode& node) { return node.name == name; });
    return model.nodes.size() != before;
}

inline const WString* string_property(const skinc::SkinModel& model, const skinc::NodeModel& node,
                                      WStringView property) {
    for (const auto& [name, index] : node.strings)
        if (name == property && index < model.strings.size())
            return &model.strings[index];
    return nullptr;
}

// Takes the first node below `node` whose "id" is `id` out of the tree.
inline bool remove_descendant(skinc::SkinModel& model, skinc::NodeModel& node, WStringView id) {
    for (auto it = node.children.begin(); it != node.children.end(); ++it) {
        if (const WString* name = string_property(model, *it, u"id"); name && *name == id) {
            node.children.erase(it);
            return true;
        }
        if (remove_descendant(model, *it, id))
            return true;
    }
    return false;
}

inline void set_string_property(skinc::SkinModel& model, skinc::NodeModel& node,
                                WStringView property, WStringView text) {
    const std::uint32_t index = model.intern_string(text);
    for (auto& [name, value] : node.strings)
        if (name == property) {
            value = index;
            return;
        }
    node.strings.push_back({WString(property), index});
}

} // namespace telvara::ui::test
