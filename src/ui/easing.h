#pragma once
// Easing curves for motion: each maps linear progress 0..1 to eased progress,
// with 0 -> 0 and 1 -> 1. Showing eases out (starts quick, settles gently),
// hiding eases in (leaves gently, ends quick), so nothing starts or stops
// with a linear jerk.

#include <algorithm>

namespace telvara::ui::easing {

inline double clamp01(double t) {
    return std::clamp(t, 0.0, 1.0);
}

// Cubic ease-out: fast start, zero speed at the end.
inline double out_cubic(double t) {
    t = clamp01(t);
    const double u = 1.0 - t;
    return 1.0 - u * u * u;
}

// Cubic ease-in: zero speed at the start, fast end.
inline double in_cubic(double t) {
    t = clamp01(t);
    return t * t * t;
}

// Ease-out that overshoots the end a little before settling: a "pop". The
// peak lies about 10% past the end.
inline double out_back(double t) {
    t = clamp01(t);
    constexpr double s = 1.70158;
    const double u = t - 1.0;
    return 1.0 + u * u * ((s + 1.0) * u + s);
}

} // namespace telvara::ui::easing
