// The press tracker: dead zone, sample window and velocity.
#include "ui/press_tracker.h"

#include <algorithm>
#include <cstdlib>

namespace telvara::ui {

void PressTracker::set_scale_shift(unsigned scale_shift) {
    m_dead_zone = kDeadZone << std::min(scale_shift, 16u);
}

void PressTracker::press(Point point, std::uint32_t time_ms) {
    m_samples.clear();
    m_samples.push_back({point, time_ms});
    m_press = point;
    m_in_dead_zone = true;
}

bool PressTracker::sample(Point point, std::uint32_t time_ms) {
    if (m_in_dead_zone) {
        const std::int64_t dx = std::llabs(std::int64_t(point.x) - m_press.x);
        const std::int64_t dy = std::llabs(std::int64_t(point.y) - m_press.y);
        if (dx < m_dead_zone && dy < m_dead_zone)
            return false;
        m_in_dead_zone = false;
    }
    m_samples.push_back({point, time_ms});
    if (m_samples.size() > kMaxSamples)
        m_samples.pop_front();
    // Unsigned differences survive the tick counter wrapping; a clock that
    // went backwards looks like a huge span and drops everything older.
    while (m_samples.back().time_ms - m_samples.front().time_ms >= kWindowMs)
        m_samples.pop_front();
    return true;
}

Velocity PressTracker::velocity() const {
    if (m_samples.size() < 2)
        return {};
    const Sample& oldest = m_samples.front();
    const Sample& newest = m_samples.back();
    const std::uint32_t span = newest.time_ms - oldest.time_ms;
    if (span < kMinSpanMs)
        return {};
    // Whole pixels per second, as the list's fling expects.
    const auto per_second = [span](std::int32_t from, std::int32_t to) {
        return double((std::int64_t(to) - from) * 1000 / std::int64_t(span));
    };
    return {per_second(oldest.point.x, newest.point.x), per_second(oldest.point.y, newest.point.y)};
}

} // namespace telvara::ui
