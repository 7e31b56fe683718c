#pragma once
// The motion rules of the virtual list, free of nodes: friction, the springs
// at both borders, the return to a border at a fixed speed, drag resistance
// beyond a border and the fling clamp. Everything is computed from the frame
// time, so the list moves alike at any frame rate.

#include <optional>

namespace telvara::ui::list_physics {

// Fastest fling a release may start, pixels per second.
inline constexpr double kMaxFling = 2000.0;
// Speed at which a resting list returns to a border, pixels per second.
inline constexpr double kReturnSpeed = 400.0;
// Stiffness of the border springs, per second.
inline constexpr double kSpringRate = 50.0;
// Friction grows this much while a finger holds a moving list.
inline constexpr double kCatchFactor = 5.0;

// Whether a finger rests on the list without holding an element: it catches
// a moving list, which then stops much sooner.
enum class Catch { No, Yes };
// Whether the pen is down at all.
enum class Pen { Up, Down };

// The geometry the rules look at, as of this frame.
struct Bounds {
    double border_min = 0.0;       // gap kept above the first item at rest
    double border_max = 0.0;       // gap kept below the last item at rest
    double list_height = 0.0;      // the list's own height
    double content_height = 0.0;   // height of the rows laid out from `offset`
    bool first_item_at_top = true; // the rows start with item 0
    bool last_item_visible = true; // the rows end with the last item
    bool has_rows = true;
};

struct Motion {
    double offset = 0.0;   // top of the rows relative to the list's top
    double velocity = 0.0; // pixels per second, positive moves content down
};

// Pixels the content is pulled below its top rest position (positive: beyond
// the top border); nothing while item 0 is not the first row.
std::optional<double> top_overshoot(const Motion& motion, const Bounds& bounds);
// Pixels the content is pulled above its bottom rest position (positive:
// beyond the bottom border); nothing while the last item is not in view.
std::optional<double> bottom_overshoot(const Motion& motion, const Bounds& bounds);

// Deceleration in pixels per second squared.
double friction(double velocity, Catch caught);

// One frame of inertia: moves by the velocity, slows by friction and the
// border springs, and lets a resting list glide back to a border.
void advance(Motion& motion, const Bounds& bounds, double dt, Pen pen, Catch caught);

// The share of a finger movement `dy` that moves content already pulled
// beyond a border: 1 inside, falling to 0 at half the list height of overshoot.
double drag_factor(double dy, const Motion& motion, const Bounds& bounds);

// The release velocity of a drag, kept within +-kMaxFling.
double clamp_fling(double velocity);

// `value` moved toward `target` by at most `step` (step >= 0).
double move_toward(double value, double target, double step);

} // namespace telvara::ui::list_physics
