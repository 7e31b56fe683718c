#pragma once
// The "multinode": shows one child at a time, as a slide show that can play
// by itself ("movie") with a time per child ("delay"), or as a switch between
// looks that its owner flips. Clicks on its button children reach its own
// listener.

#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/node.h"

#include <cstddef>
#include <vector>

namespace telvara::ui {

class Multinode : public Node, public ButtonListener {
  public:
    // "delay" when a skin gives none.
    static constexpr double kNoDelay = -1.0;

    // The index of the child shown; 0 when there are no children.
    std::size_t current() const { return m_current; }
    // Shows the child at `index` (through its visibility animation, if any)
    // and starts its time over; an index past the end is ignored.
    void show(std::size_t index);
    // The child after the current one, the first after the last.
    void show_next();

    bool is_playing() const { return m_playing; }
    void set_playing(bool playing);

    // The time (seconds) the child shows while playing: its own "delay", or
    // the multinode's when it has none. Non-positive: stays until moved on.
    double delay_of(std::size_t index) const;
    void set_delay_of(std::size_t index, double seconds);
    double default_delay() const { return m_default_delay; }
    void set_default_delay(double seconds) { m_default_delay = seconds; }

    // The caption, handed to the button children.
    const WString& text() const { return m_text; }
    void set_text(WString text);

    // Told the clicks, presses and drags of the button children.
    ButtonListener* listener() const { return m_listener; }
    void set_listener(ButtonListener* listener) { m_listener = listener; }

    void load(const Properties& skin, NodeRecord record) override;
    Node& insert_child(std::unique_ptr<Node> child, std::size_t index) override;
    void remove_child(Node* child, std::size_t index) override;
    void on_visibility_changed(bool effective) override;
    void tick(double seconds) override;

    void on_click(ButtonNode& button) override;
    void on_button_press(ButtonNode& button, bool pressed, Point point) override;
    Point on_button_drag(ButtonNode& button, Point position, Point delta) override;

  private:
    std::vector<double> m_delays; // one per child
    std::size_t m_current = 0;
    double m_elapsed = 0.0;
    double m_default_delay = kNoDelay;
    bool m_playing = false;
    WString m_text;
    ButtonListener* m_listener = nullptr;
};

// The seconds of a "delay" text ("1.5"); kNoDelay when empty or not a number.
double parse_delay(WStringView text);

} // namespace telvara::ui
