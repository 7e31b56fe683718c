#pragma once
// A small menu skin built with the writer: a "Menu" whose panel rises from
// the bottom, with a caption, a growing list and a cancel button; the row
// elements "MenuElement", "MenuElementDisabled", "DangerElement" and
// "MagicRow" (special buttons, "Exit" left out); "Broken" lacks its list and
// "Bare" has nothing optional.

#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

namespace telvara::ui::test {

using skinc::ColorValue;
using skinc::NodeModel;
using skinc::PointValue;
using skinc::SkinModel;

inline NodeModel colour(SkinModel& model, const char16_t* id, ColorValue value,
                        std::vector<std::pair<WString, PointValue>> points = {}) {
    NodeModel node = typed(model, u"color", id);
    node.colors = {{u"color", value}};
    for (auto& [name, point] : points)
        node.points.push_back({name, point});
    return node;
}

inline void anchor(SkinModel& model, NodeModel& node, const char16_t* x, const char16_t* y) {
    if (x)
        node.strings.push_back({u"anchor_x", model.intern_string(x)});
    if (y)
        node.strings.push_back({u"anchor_y", model.intern_string(y)});
}

inline NodeModel label(SkinModel& model, const char16_t* id, ColorValue ink,
                       const char16_t* halign) {
    NodeModel text = typed(model, u"text", id);
    text.colors = {{u"color", ink}};
    text.strings.push_back({u"halign", model.intern_string(halign)});
    text.fonts = {{u"font", 0}};
    return text;
}

inline constexpr ColorValue kSurface{0xF3, 0xF5, 0xF7};
inline constexpr ColorValue kPressedRow{0xDB, 0xE8, 0xFB};
inline constexpr ColorValue kInk{0x1A, 0x1F, 0x24};
inline constexpr ColorValue kAccent{0x1A, 0x73, 0xE8};
inline constexpr ColorValue kDivider{0xE1, 0xE5, 0xEA};

inline NodeModel row_element(SkinModel& model, ColorValue ink) {
    NodeModel row = typed(model, u"node", nullptr);
    row.points = {{u"element_size", PointValue{0, 40}}};
    NodeModel text = label(model, u"#text", ink, u"LEFT");
    text.points = {{u"border_min", PointValue{16, 0}}, {u"border_max", PointValue{40, 0}}};
    NodeModel separator = colour(model, u"separator", kDivider, {{u"design_size", {0, 1}}});
    anchor(model, separator, nullptr, u"MAX_SIDE");
    NodeModel check =
        colour(model, u"checked", kAccent, {{u"design_size", {10, 10}}, {u"border_max", {16, 0}}});
    anchor(model, check, u"MAX_SIDE", u"CENTER");
    row.children = {colour(model, u"#vlist_normal", {255, 255, 255}),
                    colour(model, u"#vlist_pressed", kPressedRow), text, separator, check};
    return row;
}

inline SkinModel menu_skin() {
    SkinModel model;
    model.fonts = {u"10 0 0 0 DejaVu Sans", u"11 1 0 0 DejaVu Sans"};
    NodeModel menu = typed(model, u"node", u"Menu");
    NodeModel panel = typed(model, u"node", u"panel");
    anchor(model, panel, nullptr, u"MAX_SIDE");
    panel.strings.push_back({u"visibility_animation", model.intern_string(u"bottom")});
    NodeModel column = typed(model, u"vtable", u"column");
    NodeModel caption = label(model, u"caption", kInk, u"CENTER");
    caption.fonts = {{u"font", 1}};
    caption.points = {{u"design_size", PointValue{0, 36}}};
    NodeModel list = typed(model, u"vlist", u"vlist");
    list.integers = {{u"grow", 1}};
    list.points = {{u"scroll_border_min", PointValue{0, 0}},
                   {u"scroll_border_max", PointValue{0, 0}}};
    NodeModel cancel = typed(model, u"button", u"cancel");
    cancel.points = {{u"design_size", PointValue{0, 44}}};
    cancel.children = {colour(model, u"#normal", kSurface), colour(model, u"#pressed", kPressedRow),
                       label(model, u"cancel_text", kAccent, u"CENTER")};
    column.children = {caption, list, cancel};
    panel.children = {colour(model, u"panel_back", kSurface), column};
    menu.children = {colour(model, u"shade", {0x5E, 0x6B, 0x78}), panel};
    model.nodes.push_back({u"Menu", menu});
    model.nodes.push_back({u"MenuElement", row_element(model, kInk)});
    model.nodes.push_back({u"MenuElementDisabled", row_element(model, {0x9A, 0xA4, 0xAE})});
    model.nodes.push_back({u"DangerElement", row_element(model, {0xD9, 0x30, 0x25})});
    // An element is loaded as a list element whatever its type: the row of
    // buttons is a table inside it.
    NodeModel magic = typed(model, u"node", nullptr);
    magic.points = {{u"element_size", PointValue{0, 48}}};
    NodeModel buttons = typed(model, u"htable", nullptr);
    for (const char16_t* id : {u"About", u"Help", u"Minimize"}) {
        NodeModel button = typed(model, u"button", id);
        button.children = {
            colour(model, u"#normal", kDivider, {{u"border_min", {4, 4}}, {u"border_max", {4, 4}}}),
            colour(model, u"#pressed", kPressedRow)};
        button.integers = {{u"table_ratio", 1}};
        buttons.children.push_back(button);
    }
    magic.children = {colour(model, u"#vlist_normal", {255, 255, 255}), buttons};
    model.nodes.push_back({u"MagicRow", magic});
    NodeModel broken = typed(model, u"node", u"Broken");
    broken.children = {typed(model, u"node", u"panel")};
    model.nodes.push_back({u"Broken", broken});
    NodeModel bare = typed(model, u"node", u"Bare");
    NodeModel bare_panel = typed(model, u"node", u"panel");
    bare_panel.children = {typed(model, u"vlist", u"vlist")};
    bare.children = {bare_panel};
    model.nodes.push_back({u"Bare", bare});
    return model;
}

} // namespace telvara::ui::test
