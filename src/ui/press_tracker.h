#pragma once
// The press tracker: turns the pointer samples of one gesture (position and
// time) into a release velocity for flinging lists. Small jitter around the
// press point is ignored until the finger has clearly moved.

#include "ui/geometry.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace telvara::ui {

struct Velocity {
    double x = 0.0; // pixels per second, in the direction the finger moved
    double y = 0.0;
    friend bool operator==(const Velocity&, const Velocity&) = default;
};

class PressTracker {
  public:
    // Samples kept at most, and how far back (milliseconds) they may reach.
    static constexpr std::size_t kMaxSamples = 25;
    static constexpr std::uint32_t kWindowMs = 251;
    // Below this span (milliseconds) the samples are too close to tell a speed.
    static constexpr std::uint32_t kMinSpanMs = 50;
    // The dead zone at design resolution; doubled for each scale step.
    static constexpr std::int32_t kDeadZone = 10;

    explicit PressTracker(unsigned scale_shift = 0) { set_scale_shift(scale_shift); }

    void set_scale_shift(unsigned scale_shift);
    std::int32_t dead_zone() const { return m_dead_zone; }

    // Starts a new gesture at the press point, with the dead zone on.
    void press(Point point, std::uint32_t time_ms);
    // A further sample; false when the dead zone swallowed it.
    bool sample(Point point, std::uint32_t time_ms);

    bool in_dead_zone() const { return m_in_dead_zone; }
    std::size_t sample_count() const { return m_samples.size(); }
    // From the oldest to the newest kept sample; (0, 0) over too short a span.
    Velocity velocity() const;

  private:
    struct Sample {
        Point point;
        std::uint32_t time_ms = 0;
    };

    std::deque<Sample> m_samples;
    Point m_press;
    bool m_in_dead_zone = false;
    std::int32_t m_dead_zone = kDeadZone;
};

} // namespace telvara::ui
