#pragma once
// A small menu skin: a "Menu" whose panel rises from the bottom, with a
// caption, a growing list and a cancel button; the row elements
// "MenuElement", "MenuElementDisabled", "DangerElement" and "MagicRow"
// (special buttons, "Exit" left out); "Broken" lacks its list and "Bare" has
// nothing optional.

#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

namespace telvara::ui::test {

// A row element of the menu, its text in `ink`.
inline std::string menu_row(const std::string& id, const std::string& ink) {
    std::string row = R"(<node id="ID" element_size="0 40">
      <color id="#vlist_normal" color="#FFFFFF"/><color id="#vlist_pressed" color="#DBE8FB"/>
      <text id="#text" color="INK" halign="LEFT" font="10 0 0 0 DejaVu Sans"
            border_min="16 0" border_max="40 0"/>
      <color id="separator" color="#E1E5EA" design_size="0 1" anchor_y="MAX_SIDE"/>
      <color id="checked" color="#1A73E8" design_size="10 10" border_max="16 0"
             anchor_x="MAX_SIDE" anchor_y="CENTER"/></node>)";
    row.replace(row.find("ID"), 2, id);
    return row.replace(row.find("INK"), 3, ink);
}

inline skinc::SkinModel menu_skin() {
    std::string magic; // a table of special buttons inside a list element
    for (const char* id : {"About", "Help", "Minimize"})
        magic += std::string("<button id=\"") + id + R"(" table_ratio="1">
          <color id="#normal" color="#E1E5EA" border_min="4 4" border_max="4 4"/>
          <color id="#pressed" color="#DBE8FB"/></button>)";
    return xml_skin(R"(<node id="Menu"><color id="shade" color="#5E6B78"/>
      <node id="panel" anchor_y="MAX_SIDE" visibility_animation="bottom">
        <color id="panel_back" color="#F3F5F7"/>
        <vtable id="column">
          <text id="caption" color="#1A1F24" halign="CENTER" font="11 1 0 0 DejaVu Sans"
                design_size="0 36"/>
          <vlist id="vlist" grow="1" scroll_border_min="0 0" scroll_border_max="0 0"/>
          <button id="cancel" design_size="0 44">
            <color id="#normal" color="#F3F5F7"/><color id="#pressed" color="#DBE8FB"/>
            <text id="cancel_text" color="#1A73E8" halign="CENTER" font="10 0 0 0 DejaVu Sans"/>
          </button></vtable></node></node>
      <node id="MagicRow" element_size="0 48"><color id="#vlist_normal" color="#FFFFFF"/>
        <htable>)" + magic +
                    R"(</htable></node>
      <node id="Broken"><node id="panel"/></node>
      <node id="Bare"><node id="panel"><vlist id="vlist"/></node></node>)" +
                    menu_row("MenuElement", "#1A1F24") +
                    menu_row("MenuElementDisabled", "#9AA4AE") +
                    menu_row("DangerElement", "#D93025"));
}

} // namespace telvara::ui::test
