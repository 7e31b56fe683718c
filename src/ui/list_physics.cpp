// The list's inertia, springs, border return and drag resistance.
#include "ui/list_physics.h"

#include <algorithm>
#include <cmath>

namespace telvara::ui::list_physics {

std::optional<double> top_overshoot(const Motion& motion, const Bounds& bounds) {
    if (!bounds.first_item_at_top)
        return std::nullopt;
    return motion.offset - bounds.border_min;
}

std::optional<double> bottom_overshoot(const Motion& motion, const Bounds& bounds) {
    if (!bounds.last_item_visible)
        return std::nullopt;
    return (bounds.list_height - bounds.border_max - bounds.content_height) - motion.offset;
}

double friction(double velocity, Catch caught) {
    const double a = 2.0 * std::abs(velocity) + 9.0;
    return caught == Catch::Yes ? a * kCatchFactor : a;
}

double move_toward(double value, double target, double step) {
    if (value < target)
        return std::min(value + step, target);
    return std::max(value - step, target);
}

void advance(Motion& motion, const Bounds& bounds, double dt, Pen pen, Catch caught) {
    motion.offset += motion.velocity * dt;
    if (!bounds.has_rows) {
        motion.offset = bounds.border_min;
        motion.velocity = 0.0;
        return;
    }
    const double a = friction(motion.velocity, caught);
    if (motion.velocity < 0.0) {
        motion.velocity = std::min(motion.velocity + a * dt, 0.0);
        const auto below = bottom_overshoot(motion, bounds);
        if (below && *below > 0.0)
            motion.velocity = std::min(motion.velocity + (*below + 1.0) * kSpringRate * dt, 0.0);
    } else if (motion.velocity > 0.0) {
        motion.velocity = std::max(motion.velocity - a * dt, 0.0);
        const auto above = top_overshoot(motion, bounds);
        if (pen == Pen::Up && above && *above > 0.0)
            motion.velocity = std::max(motion.velocity - (*above + 1.0) * kSpringRate * dt, 0.0);
    }
    if (pen == Pen::Up && motion.velocity == 0.0) {
        const auto above = top_overshoot(motion, bounds);
        const auto below = bottom_overshoot(motion, bounds);
        if (above && *above >= 0.0) {
            motion.offset = move_toward(motion.offset, bounds.border_min, kReturnSpeed * dt);
        } else if (below && *below >= 0.0) {
            const double rest = bounds.list_height - bounds.border_max - bounds.content_height;
            motion.offset = move_toward(motion.offset, rest, kReturnSpeed * dt);
        }
    }
}

double drag_factor(double dy, const Motion& motion, const Bounds& bounds) {
    double overshoot = 0.0;
    if (dy > 0.0) {
        overshoot = top_overshoot(motion, bounds).value_or(0.0);
    } else if (dy < 0.0) {
        overshoot = bottom_overshoot(motion, bounds).value_or(0.0);
    }
    if (overshoot <= 0.0 || bounds.list_height <= 0.0)
        return 1.0;
    return std::max(0.0, 1.0 - 2.0 * overshoot / bounds.list_height);
}

double clamp_fling(double velocity) {
    if (!std::isfinite(velocity))
        return 0.0;
    return std::clamp(velocity, -kMaxFling, kMaxFling);
}

} // namespace telvara::ui::list_physics
