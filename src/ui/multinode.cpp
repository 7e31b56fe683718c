// The multinode: one child at a time, advanced by time or by its owner.
#include "ui/multinode.h"

#include "ui/properties.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace telvara::ui {

namespace {

// Sums of frame times drift below the exact delay (ten steps of 0.1 s fall
// just short of 1 s); this much is close enough.
constexpr double kTimeSlack = 1e-6;

} // namespace

double parse_delay(WStringView text) {
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F)
            return Multinode::kNoDelay;
        narrow.push_back(char(c));
    }
    if (narrow.empty())
        return Multinode::kNoDelay;
    char* end = nullptr;
    const double value = std::strtod(narrow.c_str(), &end);
    if (end != narrow.c_str() + narrow.size() || !std::isfinite(value))
        return Multinode::kNoDelay;
    return value;
}

void Multinode::show(std::size_t index) {
    if (index >= child_count())
        return;
    m_elapsed = 0.0;
    if (index == m_current && child(index).is_visible())
        return;
    const std::size_t previous = m_current;
    m_current = index;
    if (previous < child_count() && previous != index)
        child(previous).set_visible_animated(false);
    child(index).set_visible_animated(true);
    mark_redraw();
}

void Multinode::show_next() {
    if (child_count() > 0)
        show((m_current + 1) % child_count());
}

void Multinode::set_playing(bool playing) {
    m_playing = playing;
    m_elapsed = 0.0;
}

double Multinode::delay_of(std::size_t index) const {
    if (index >= m_delays.size())
        return m_default_delay;
    return m_delays[index] >= 0.0 ? m_delays[index] : m_default_delay;
}

void Multinode::set_delay_of(std::size_t index, double seconds) {
    if (index < m_delays.size())
        m_delays[index] = seconds;
}

void Multinode::set_text(WString text) {
    m_text = std::move(text);
    if (m_text.empty())
        return;
    for (std::size_t i = 0; i < child_count(); ++i) {
        if (auto* button = dynamic_cast<ButtonNode*>(&child(i)))
            button->set_text(m_text);
    }
}

void Multinode::load(const Properties& skin, NodeRecord record) {
    m_elapsed = 0.0;
    const std::size_t first = child_count();
    Node::load(skin, record);
    // Children were appended from the valid child records in order (a
    // damaged entry builds nothing), so the n-th valid record is child n.
    std::size_t index = first;
    const std::uint32_t records = skin.child_count(record);
    for (std::uint32_t i = 0; i < records && index < child_count(); ++i) {
        const NodeRecord child_record = skin.child(record, i);
        if (!child_record)
            continue;
        m_delays[index++] = parse_delay(skin.read_string(child_record, u"delay", u""));
    }
    m_default_delay = parse_delay(skin.read_string(record, u"delay", u""));
    m_playing = skin.read_int(record, u"movie", 0) != 0;
    const WString text = skin.read_string(record, u"text", u"");
    if (!text.empty())
        set_text(skin.translate(text));
}

Node& Multinode::insert_child(std::unique_ptr<Node> child, std::size_t index) {
    index = std::min(index, child_count());
    if (child_count() > 0)
        child->set_visible(false);
    if (auto* button = dynamic_cast<ButtonNode*>(child.get()))
        button->set_listener(this);
    m_delays.insert(m_delays.begin() + std::ptrdiff_t(index), kNoDelay);
    if (index <= m_current && child_count() > 0)
        ++m_current;
    return Node::insert_child(std::move(child), index);
}

void Multinode::remove_child(Node* child, std::size_t index) {
    std::size_t found = child_count();
    for (std::size_t i = 0; i < child_count(); ++i) {
        if (&this->child(i) == child) {
            found = i;
            break;
        }
    }
    if (found == child_count())
        return;
    const bool was_shown = found == m_current;
    m_delays.erase(m_delays.begin() + std::ptrdiff_t(found));
    Node::remove_child(child, index == found ? index : found);
    if (found < m_current)
        --m_current;
    if (m_current >= child_count())
        m_current = 0;
    if (was_shown && child_count() > 0) {
        m_elapsed = 0.0;
        this->child(m_current).set_visible(true);
    }
}

void Multinode::on_visibility_changed(bool effective) {
    Node::on_visibility_changed(effective);
    if (effective)
        m_elapsed = 0.0;
}

void Multinode::tick(double seconds) {
    Node::tick(seconds);
    if (!m_playing || !is_effectively_visible() || child_count() < 2)
        return;
    m_elapsed += seconds;
    const double delay = delay_of(m_current);
    if (delay <= 0.0 || m_elapsed + kTimeSlack < delay)
        return;
    // Keep the remainder so that the show keeps its pace over uneven frames.
    const double remainder = std::max(0.0, m_elapsed - delay);
    show_next();
    m_elapsed = remainder;
}

void Multinode::on_click(ButtonNode& button) {
    if (m_listener)
        m_listener->on_click(button);
}

void Multinode::on_button_press(ButtonNode& button, bool pressed, Point point) {
    if (m_listener)
        m_listener->on_button_press(button, pressed, point);
}

Point Multinode::on_button_drag(ButtonNode& button, Point position, Point delta) {
    return m_listener ? m_listener->on_button_drag(button, position, delta) : Point{};
}

} // namespace telvara::ui
