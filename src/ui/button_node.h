#pragma once
// The "button" node: shows one of its state children ("#normal", "#pressed",
// "#disabled"), follows pointer presses and drags and its bound key, and
// reports presses, drags and clicks to its listener.

#include "platform/text.h"
#include "ui/node.h"

#include <cstdint>

namespace telvara::ui {

class ButtonNode;

// Told what happens to a button. Clicks are what forms act on; the press and
// drag notifications serve lists and sliders.
class ButtonListener {
  public:
    // Released over the button (pointer) or the bound key released, not cancelled.
    virtual void on_click(ButtonNode& button) = 0;
    // The button became pressed or released; `point` is the pointer position
    // (the button's centre for a key).
    virtual void on_button_press(ButtonNode& /*button*/, bool /*pressed*/, Point /*point*/) {}
    // The held pointer is at `position`, `delta` since the last one told.
    // Returns the part of `delta` the listener used up; the button remembers
    // only the rest of the movement as made.
    virtual Point on_button_drag(ButtonNode& /*button*/, Point /*position*/, Point /*delta*/) {
        return {};
    }

  protected:
    ~ButtonListener() = default;
};

// The look a button shows.
enum class ButtonState { Normal, Pressed, Disabled };

class ButtonNode : public Node {
  public:
    ButtonListener* listener() const { return m_listener; }
    void set_listener(ButtonListener* listener) { m_listener = listener; }

    // The engine key code that presses the button; 0 for none.
    std::int32_t bound_key() const { return m_bound_key; }
    void set_bound_key(std::int32_t code) { m_bound_key = code; }

    // The caption, handed to the button's text nodes.
    const WString& text() const { return m_text; }
    void set_text(WString text);

    bool is_pointer_pressed() const { return m_pointer_pressed; }
    bool is_key_pressed() const { return m_key_pressed; }
    bool is_held() const { return m_held; }
    bool is_pressed() const { return m_pointer_pressed || m_key_pressed || m_held; }
    // Shown pressed without a finger or key on it: the pressed row of a list,
    // the current tab. No click comes of it.
    void set_held(bool held);
    // Lets go of a finger or key press without a click, as when a listener
    // took the press over (a long press). The finger or key still down is
    // ignored until it is lifted; key repeats do not press again.
    void cancel_press();

    // What the button should show now.
    ButtonState state() const;
    Node* state_child(ButtonState state) const;
    // Looks the state children up again below the button (after building a
    // button in code) and shows the state.
    void find_state_children();
    // Makes exactly the wanted state child visible.
    void show_state();

    void load(const Properties& skin, NodeRecord record) override;
    void refresh() override;
    void remove_child(Node* child, std::size_t index) override;
    void on_visibility_changed(bool effective) override;
    void draw(RenderSurface& surface, Point origin) override;
    void forward_to_captured(std::int32_t x, std::int32_t y) override;
    bool on_touch(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

  private:
    enum class PressSource { Pointer, Key };
    enum class Release { Normal, Cancelled };

    void drag_to(Point position);
    void handle_press_change(bool was_pressed, Release release, Point point, PressSource source);
    void apply_text();
    Point centre() const { return {x() + width() / 2, y() + height() / 2}; }

    ButtonListener* m_listener = nullptr;
    Node* m_normal = nullptr;
    Node* m_pressed = nullptr;
    Node* m_disabled = nullptr;
    Node* m_shown = nullptr;
    bool m_state_shown = false;
    std::int32_t m_bound_key = 0;
    bool m_pointer_pressed = false;
    bool m_key_pressed = false;
    bool m_key_cancelled = false; // the bound key is down but its press was cancelled
    bool m_held = false;
    Point m_last;
    WString m_text;
};

} // namespace telvara::ui
