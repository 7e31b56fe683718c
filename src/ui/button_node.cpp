// The button: state children, pointer and key presses, drags and clicks.
#include "ui/button_node.h"

#include "ui/key_names.h"
#include "ui/properties.h"
#include "ui/text_node.h"

namespace telvara::ui {

void ButtonNode::set_text(WString text) {
    m_text = std::move(text);
    apply_text();
}

void ButtonNode::apply_text() {
    // Every text node of this button's own subtree shows the caption; a
    // button nested inside keeps its own.
    const auto hand = [this](auto& self, Node& node) -> void {
        for (std::size_t i = 0; i < node.child_count(); ++i) {
            Node& below = node.child(i);
            if (dynamic_cast<ButtonNode*>(&below))
                continue;
            if (auto* text = dynamic_cast<TextNode*>(&below))
                text->set_text(m_text);
            self(self, below);
        }
    };
    hand(hand, *this);
}

void ButtonNode::set_held(bool held) {
    if (held == m_held)
        return;
    m_held = held;
    show_state();
}

void ButtonNode::cancel_press() {
    if (!m_pointer_pressed && !m_key_pressed)
        return;
    const bool was_pressed = is_pressed();
    m_key_cancelled = m_key_cancelled || m_key_pressed;
    m_pointer_pressed = false;
    m_key_pressed = false;
    handle_press_change(was_pressed, Release::Cancelled, centre(), PressSource::Pointer);
}

ButtonState ButtonNode::state() const {
    if (!is_effectively_enabled())
        return ButtonState::Disabled;
    return is_pressed() ? ButtonState::Pressed : ButtonState::Normal;
}

Node* ButtonNode::state_child(ButtonState state) const {
    switch (state) {
    case ButtonState::Normal:
        return m_normal;
    case ButtonState::Pressed:
        return m_pressed;
    case ButtonState::Disabled:
        return m_disabled;
    }
    return nullptr;
}

void ButtonNode::find_state_children() {
    m_normal = find(u"#normal");
    m_pressed = find(u"#pressed");
    m_disabled = find(u"#disabled");
    m_state_shown = false;
    show_state();
}

void ButtonNode::show_state() {
    Node* wanted = state_child(state());
    if (!wanted)
        wanted = m_normal;
    m_shown = wanted;
    m_state_shown = true;
    for (Node* child : {m_normal, m_pressed, m_disabled}) {
        if (child)
            child->set_visible(child == wanted);
    }
}

void ButtonNode::load(const Properties& skin, NodeRecord record) {
    m_pointer_pressed = false;
    m_key_pressed = false;
    m_key_cancelled = false;
    m_held = false;
    Node::load(skin, record);
    m_normal = find(u"#normal");
    m_pressed = find(u"#pressed");
    m_disabled = find(u"#disabled");
    m_bound_key = key_code(skin.read_string(record, u"bind_key", u"")).value_or(key::None);
    const WString text = skin.read_string(record, u"text", u"");
    if (!text.empty())
        set_text(skin.translate(text));
    show_state();
}

void ButtonNode::refresh() {
    Node::refresh();
    show_state();
}

void ButtonNode::remove_child(Node* child, std::size_t index) {
    for (Node** kept : {&m_normal, &m_pressed, &m_disabled, &m_shown}) {
        if (*kept == child)
            *kept = nullptr;
    }
    Node::remove_child(child, index);
}

void ButtonNode::on_visibility_changed(bool effective) {
    Node::on_visibility_changed(effective);
    if (effective || !is_pressed())
        return;
    // A held key or finger on a button that disappears must not leave it
    // pressed, and must not click.
    const bool was_pressed = is_pressed();
    m_pointer_pressed = false;
    m_key_pressed = false;
    handle_press_change(was_pressed, Release::Cancelled, centre(), PressSource::Pointer);
}

void ButtonNode::draw(RenderSurface& surface, Point origin) {
    // Enabling or disabling an ancestor does not reach the button; catch up
    // before drawing.
    const Node* wanted = state_child(state());
    if (!wanted)
        wanted = m_normal;
    if (!m_state_shown || wanted != m_shown)
        show_state();
    Node::draw(surface, origin);
}

void ButtonNode::forward_to_captured(std::int32_t x, std::int32_t y) {
    drag_to({x, y});
}

void ButtonNode::drag_to(Point position) {
    if (!m_pointer_pressed)
        return;
    const Point delta{position.x - m_last.x, position.y - m_last.y};
    const Point used = m_listener ? m_listener->on_button_drag(*this, position, delta) : Point{};
    m_last.x += delta.x - used.x;
    m_last.y += delta.y - used.y;
}

bool ButtonNode::on_touch(const PointerEvent& event) {
    const Point point{event.x, event.y};
    if (event.kind == PointerKind::Down && !is_effectively_enabled())
        return false;
    if (event.kind == PointerKind::Move && !event.cancelled) {
        drag_to(point);
        return true;
    }
    const bool was_pressed = is_pressed();
    m_pointer_pressed = event.is_pressed() && !event.cancelled;
    m_last = point;
    if (m_pointer_pressed && m_listener)
        m_listener->on_button_drag(*this, point, Point{});
    handle_press_change(was_pressed, event.cancelled ? Release::Cancelled : Release::Normal, point,
                        PressSource::Pointer);
    return true;
}

bool ButtonNode::on_key(const KeyEvent& event) {
    if (m_bound_key == key::None || event.code != m_bound_key)
        return false;
    if (m_key_cancelled) {
        // The rest of a cancelled press: its repeats and its release.
        if (!event.pressed || !event.first) {
            m_key_cancelled = event.pressed;
            return true;
        }
        m_key_cancelled = false;
    }
    const bool was_pressed = is_pressed();
    if (!is_effectively_enabled()) {
        // A key held while the button got disabled is let go without a click.
        if (event.pressed || !m_key_pressed)
            return false;
        m_key_pressed = false;
        handle_press_change(was_pressed, Release::Cancelled, centre(), PressSource::Key);
        return true;
    }
    m_key_pressed = event.pressed;
    handle_press_change(was_pressed, Release::Normal, centre(), PressSource::Key);
    return true;
}

void ButtonNode::handle_press_change(bool was_pressed, Release release, Point point,
                                     PressSource source) {
    const bool pressed = is_pressed();
    if (pressed == was_pressed)
        return;
    show_state();
    mark_redraw();
    if (!m_listener)
        return;
    ButtonListener& listener = *m_listener;
    const bool clicked = !pressed && release == Release::Normal && is_effectively_enabled() &&
                         (source == PressSource::Key || hit_test(point));
    listener.on_button_press(*this, pressed, point);
    // Last: the listener may rebuild the screen this button belongs to.
    if (clicked)
        listener.on_click(*this);
}

} // namespace telvara::ui
