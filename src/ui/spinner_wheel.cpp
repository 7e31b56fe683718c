// The wheel's motion: dragging, the list's friction and border springs while
// it coasts, and the glide onto a whole value.
#include "ui/spinner_wheel.h"

#include "ui/list_physics.h"

#include <algorithm>
#include <cmath>

namespace telvara::ui {

namespace {

// The wheel as a list seen through its window: offset is the top of value
// 0's row relative to the window's top.
struct Frame {
    list_physics::Bounds bounds;
    double centre = 0.0; // offset at which value 0 is centred
};

} // namespace

SpinnerWheel::SpinnerWheel(std::int32_t count, WheelWrap wrap)
    : m_count(std::max(count, 1)), m_wrap(wrap) {}

void SpinnerWheel::set_geometry(double row_height, double view_height) {
    m_row_height = std::max(row_height, 1.0);
    m_view_height = std::max(view_height, m_row_height);
}

double SpinnerWheel::wrapped(double position) const {
    if (m_wrap == WheelWrap::Stop)
        return std::clamp(position, 0.0, double(m_count - 1));
    const double n = m_count;
    double r = std::fmod(position, n);
    if (r < 0)
        r += n;
    return r;
}

std::int32_t SpinnerWheel::whole(double position) const {
    const auto rounded = static_cast<std::int64_t>(std::llround(position));
    if (m_wrap == WheelWrap::Stop)
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(rounded, 0, m_count - 1));
    std::int64_t r = rounded % m_count;
    if (r < 0)
        r += m_count;
    return static_cast<std::int32_t>(r);
}

std::int32_t SpinnerWheel::value() const {
    return whole(m_position);
}

std::int32_t SpinnerWheel::value_at(std::int64_t row) const {
    const std::int64_t at = std::llround(std::floor(m_position)) + row;
    if (m_wrap == WheelWrap::Stop)
        return at < 0 || at >= m_count ? -1 : static_cast<std::int32_t>(at);
    std::int64_t r = at % m_count;
    if (r < 0)
        r += m_count;
    return static_cast<std::int32_t>(r);
}

void SpinnerWheel::set_value(std::int32_t value) {
    m_position = wrapped(std::clamp(value, 0, m_count - 1));
    m_velocity = 0.0;
    m_phase = Phase::Rest;
}

void SpinnerWheel::scroll_to(std::int32_t value) {
    value = std::clamp(value, 0, m_count - 1);
    double target = value;
    if (m_wrap == WheelWrap::Around) {
        // The shorter way round from where the wheel is now.
        double delta = std::fmod(value - m_position, double(m_count));
        if (delta > m_count / 2.0)
            delta -= m_count;
        else if (delta < -m_count / 2.0)
            delta += m_count;
        target = m_position + delta;
    }
    m_velocity = 0.0;
    settle_toward(target);
}

void SpinnerWheel::press() {
    m_pressed = true;
    m_velocity = 0.0;
    m_phase = Phase::Rest;
}

void SpinnerWheel::drag(double dy) {
    if (!m_pressed || !std::isfinite(dy))
        return;
    double factor = 1.0;
    if (m_wrap == WheelWrap::Stop) {
        // Pulling past an end meets the list's growing resistance.
        const double centre = (m_view_height - m_row_height) / 2.0;
        list_physics::Bounds bounds;
        bounds.border_min = centre;
        bounds.border_max = m_view_height - centre - m_row_height;
        bounds.list_height = m_view_height;
        bounds.content_height = m_count * m_row_height;
        const list_physics::Motion motion{centre - m_position * m_row_height, 0.0};
        factor = list_physics::drag_factor(dy, motion, bounds);
    }
    m_position -= dy * factor / m_row_height;
}

void SpinnerWheel::release(double velocity) {
    m_pressed = false;
    m_velocity = list_physics::clamp_fling(velocity);
    m_phase = Phase::Fling;
    if (std::abs(m_velocity) < kSettleSpeed * m_row_height)
        settle_toward(std::round(m_position));
}

void SpinnerWheel::settle_toward(double target) {
    if (m_wrap == WheelWrap::Stop)
        target = std::clamp(target, 0.0, double(m_count - 1));
    m_target = target;
    m_velocity = 0.0;
    m_phase = Phase::Settle;
}

bool SpinnerWheel::step(double seconds) {
    if (m_pressed || m_phase == Phase::Rest || !(seconds > 0.0))
        return false;
    if (m_phase == Phase::Fling) {
        const double centre = (m_view_height - m_row_height) / 2.0;
        list_physics::Bounds bounds;
        bounds.border_min = centre;
        bounds.border_max = m_view_height - centre - m_row_height;
        bounds.list_height = m_view_height;
        bounds.content_height = m_count * m_row_height;
        // A wheel that goes round has no ends to spring back from.
        bounds.first_item_at_top = m_wrap == WheelWrap::Stop;
        bounds.last_item_visible = m_wrap == WheelWrap::Stop;
        list_physics::Motion motion{centre - m_position * m_row_height, m_velocity};
        list_physics::advance(motion, bounds, seconds, list_physics::Pen::Up,
                              list_physics::Catch::No);
        m_position = (centre - motion.offset) / m_row_height;
        m_velocity = motion.velocity;
        if (std::abs(m_velocity) < kSettleSpeed * m_row_height) {
            // Onto the next whole value in the direction of travel unless
            // the wheel is nearly on one already.
            const double ahead = m_velocity < 0 ? 0.25 : m_velocity > 0 ? -0.25 : 0.0;
            settle_toward(std::round(m_position + ahead));
        }
        return false;
    }
    m_position = m_target + (m_position - m_target) * std::exp(-kSettleRate * seconds);
    if (std::abs(m_position - m_target) >= kSnap)
        return false;
    m_position = wrapped(m_target);
    m_phase = Phase::Rest;
    return true;
}

} // namespace telvara::ui
