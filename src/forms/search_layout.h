#pragma once
// SearchLayout: lays a contact list out for searching while its keypad is
// open: the bars that do not help a search (the title bar, whose add button
// the keypad repeats, and the bottom bars) make way; in portrait the list
// ends where the keypad begins, in landscape the keypad stands beside it.
// Browsing again gives every node the layout its skin gave it.

#include "ui/geometry.h"
#include "ui/layout.h"

#include <vector>

namespace telvara::ui {
class Node;
}

namespace telvara::forms {

struct SearchLayoutNodes {
    // Holds the list column; its borders leave room for a bottom bar.
    ui::Node* frame = nullptr;
    // The title bar over the list and the list itself.
    ui::Node* column = nullptr;
    // Hidden while searching (may be null).
    ui::Node* top_bar = nullptr;
    ui::Node* keypad = nullptr;
    // Hidden while searching (tab bar, cancel bar).
    std::vector<ui::Node*> bottom_bars;
};

enum class SearchMode { Browsing, Searching };
enum class Orientation { Portrait, Landscape };

class SearchLayout {
  public:
    // Remembers the skin's layout of the nodes. Without a frame, a column or
    // a keypad the layout stays the skin's whatever the mode.
    void bind(SearchLayoutNodes nodes);
    // Forgets the nodes without touching them (their tree is going away).
    void unbind();

    // Lays the nodes out for `mode` on a screen of `screen` pixels.
    void set_mode(SearchMode mode, ui::Size screen);
    // Lays the nodes out again when the screen turned since the last time.
    void follow(ui::Size screen);

    SearchMode mode() const { return m_mode; }
    Orientation orientation() const { return m_orientation; }

    static Orientation orientation_of(ui::Size screen);

  private:
    struct Saved {
        ui::Point border_min;
        ui::Point border_max;
        ui::Size design_size;
        ui::ScaleType anchor_x = ui::ScaleType::BothSide;
        ui::ScaleType anchor_y = ui::ScaleType::BothSide;
    };
    static Saved save(const ui::Node& node);
    static void restore(ui::Node& node, const Saved& saved);
    void apply(ui::Size screen);

    SearchLayoutNodes m_nodes;
    Saved m_frame;
    Saved m_column;
    Saved m_keypad;
    bool m_bound = false;
    SearchMode m_mode = SearchMode::Browsing;
    Orientation m_orientation = Orientation::Portrait;
};

} // namespace telvara::forms
