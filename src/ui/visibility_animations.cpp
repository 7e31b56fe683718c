// The visibility animations: timing shared by all, and the scale, slide and
// flip drawings of the node's cached picture.
#include "ui/visibility_animations.h"

#include "ui/drawing.h"
#include "ui/easing.h"
#include "ui/pixel_rows.h"
#include "ui/render_surface.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace telvara::ui {

// --- Timing ----------------------------------------------------------------------

void TimedVisibilityAnimation::start(AnimationDirection direction,
                                     std::unique_ptr<Blender> blender) {
    m_blender = std::move(blender);
    if (m_running) {
        if (direction != m_direction)
            reverse();
        return;
    }
    run(direction, direction == AnimationDirection::Show ? 0.0 : 1.0);
}

void TimedVisibilityAnimation::reverse() {
    if (!m_running)
        return;
    run(m_direction == AnimationDirection::Show ? AnimationDirection::Hide
                                                : AnimationDirection::Show,
        position());
}

void TimedVisibilityAnimation::run(AnimationDirection direction, double from) {
    const bool showing = direction == AnimationDirection::Show;
    m_direction = direction;
    m_from = from;
    m_to = showing ? 1.0 : 0.0;
    const double full = showing ? m_timing.show_seconds : m_timing.hide_seconds;
    // A reversal close to the end it returns to takes only the time that
    // distance needs at the full run's pace.
    const double distance = std::min(std::fabs(m_to - m_from), 1.0);
    m_duration = std::max(full, 0.0) * distance;
    m_elapsed = 0.0;
    m_running = m_duration > 0.0;
}

void TimedVisibilityAnimation::advance(double seconds) {
    if (!m_running)
        return;
    m_elapsed += std::max(seconds, 0.0);
    if (m_elapsed >= m_duration)
        m_running = false;
}

double TimedVisibilityAnimation::position() const {
    if (!m_running)
        return m_to;
    const double t = m_elapsed / m_duration;
    const bool showing = m_direction == AnimationDirection::Show;
    double (*ease)(double) = showing ? m_timing.show_ease : m_timing.hide_ease;
    if (!ease)
        ease = showing ? &easing::out_cubic : &easing::in_cubic;
    return m_from + (m_to - m_from) * ease(t);
}

void TimedVisibilityAnimation::draw(RenderSurface& target, Point origin,
                                    const RenderSurface& cache) {
    if (cache.empty() || target.empty())
        return;
    draw_at(target, origin, cache, position());
}

namespace {

// The 5-6-5 mask pixel whose weight (green field g, weight g + g/32) is
// closest to `weight` of 64.
Pixel fade_mask(int weight) {
    weight = std::clamp(weight, 0, 64);
    const int green = weight <= 32 ? std::min(weight, 31) : weight - 1;
    return Pixel(green << 5);
}

} // namespace

// --- Scale -------------------------------------------------------------------------

ScaleAnimation::ScaleAnimation(double smallest, AnimationTiming timing)
    : TimedVisibilityAnimation(timing), m_smallest(std::clamp(smallest, 0.0, 1.0)) {}

void ScaleAnimation::draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                             double position) {
    const double factor = m_smallest + (1.0 - m_smallest) * position;
    const int weight = int(std::lround(std::clamp(position, 0.0, 1.0) * 64.0));
    if (weight <= 0)
        return;
    const std::int32_t width = cache.width();
    const std::int32_t height = cache.height();
    const auto scaled_width = std::int32_t(std::lround(width * factor));
    const auto scaled_height = std::int32_t(std::lround(height * factor));
    if (scaled_width == width && scaled_height == height && weight >= 64) {
        blit(target, origin, cache, blender());
        return;
    }
    if (scaled_width <= 0 || scaled_height <= 0)
        return;
    const auto left = origin.x + std::int32_t(std::floor((width - scaled_width) / 2.0));
    const auto top = origin.y + std::int32_t(std::floor((height - scaled_height) / 2.0));
    const Rect area =
        Rect{left, top, left + scaled_width, top + scaled_height}.intersect(target.clip());
    if (area.is_empty())
        return;
    const std::int32_t count = area.width();
    m_columns.resize(std::size_t(count));
    m_row.resize(std::size_t(count));
    // Nearest source pixel to each destination pixel's centre.
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t column = area.left + i - left;
        m_columns[std::size_t(i)] = std::int32_t(
            std::min<std::int64_t>((2 * column + 1) * width / (2 * scaled_width), width - 1));
    }
    std::vector<Pixel> mask;
    if (weight < 64)
        mask.assign(std::size_t(count), fade_mask(weight));
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const std::int64_t row = y - top;
        const auto source_y = std::int32_t(
            std::min<std::int64_t>((2 * row + 1) * height / (2 * scaled_height), height - 1));
        pixel_rows::gather(m_row.data(), cache.row(source_y), m_columns.data(), count);
        Pixel* destination = target.row(y) + area.left;
        if (mask.empty())
            blender().blend_gathered_row(destination, m_row.data(), count, m_columns.data(),
                                         source_y);
        else
            pixel_rows::mask(destination, m_row.data(), mask.data(), count);
    }
}

// --- Slide -------------------------------------------------------------------------

SlideAnimation::SlideAnimation(SlideDirection direction, AnimationTiming timing)
    : TimedVisibilityAnimation(timing), m_slide(direction) {}

Point SlideAnimation::offset_at(Point origin, Size size, Size bounds, double position) const {
    const double away = 1.0 - position;
    const auto moved = [away](std::int32_t distance) {
        return std::int32_t(std::lround(std::max(distance, 0) * away));
    };
    switch (m_slide) {
    case SlideDirection::Right:
        return {origin.x + moved(bounds.width - origin.x), origin.y};
    case SlideDirection::Bottom:
        return {origin.x, origin.y + moved(bounds.height - origin.y)};
    case SlideDirection::Left:
        return {origin.x - moved(origin.x + size.width), origin.y};
    case SlideDirection::Top:
        return {origin.x, origin.y - moved(origin.y + size.height)};
    }
    return origin;
}

void SlideAnimation::draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                             double position) {
    const Point at = offset_at(origin, {cache.width(), cache.height()},
                               {target.width(), target.height()}, position);
    blit(target, at, cache, blender());
}

// --- Flip --------------------------------------------------------------------------

FlipAnimation::FlipAnimation(AnimationTiming timing) : TimedVisibilityAnimation(timing) {}

void FlipAnimation::draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                            double position) {
    position = std::clamp(position, 0.0, 1.0);
    if (position >= 1.0) {
        blit(target, origin, cache, blender());
        return;
    }
    // Turned by `angle` about the vertical centre line, seen from a camera
    // two widths away: a column at x (from the centre) lands at
    // x' = x cos / (1 + x sin / d) and is stretched by 1 / (1 + x sin / d).
    const double angle = (1.0 - position) * std::numbers::pi / 2.0;
    const double cosine = std::cos(angle);
    const double sine = std::sin(angle);
    const std::int32_t width = cache.width();
    const std::int32_t height = cache.height();
    const double centre_x = width / 2.0;
    const double centre_y = height / 2.0;
    const double camera = 2.0 * width;
    // The near edge reaches at most a third past the picture on each side.
    const auto reach_x = std::int32_t(std::ceil(width / 6.0)) + 1;
    const auto reach_y = std::int32_t(std::ceil(height / 6.0)) + 1;
    const Rect area = Rect{origin.x - reach_x, origin.y - reach_y, origin.x + width + reach_x,
                           origin.y + height + reach_y}
                          .intersect(target.clip());
    if (area.is_empty())
        return;
    const std::int32_t count = area.width();
    m_source_x.assign(std::size_t(count), -1.0);
    m_shrink.assign(std::size_t(count), 0.0);
    for (std::int32_t i = 0; i < count; ++i) {
        const double projected = area.left + i - origin.x + 0.5 - centre_x;
        const double denominator = cosine - projected * sine / camera;
        if (denominator <= 1e-6)
            continue;
        const double x = projected / denominator;
        if (x < -centre_x || x >= centre_x)
            continue;
        m_source_x[std::size_t(i)] = x + centre_x;
        // Kept as its inverse: rows map back by a product, not a division.
        m_shrink[std::size_t(i)] = 1.0 + x * sine / camera;
    }
    m_row.resize(std::size_t(count));
    m_columns.resize(std::size_t(count));
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const double offset_y = y - origin.y + 0.5 - centre_y;
        Pixel* destination = target.row(y) + area.left;
        // Runs of pixels that land on the picture, each blended at once.
        std::int32_t run_start = 0;
        std::int32_t run_length = 0;
        std::int32_t run_row = 0;
        const auto flush = [&] {
            if (run_length > 0)
                blender().blend_gathered_row(destination + run_start, m_row.data(), run_length,
                                             m_columns.data(), run_row);
            run_length = 0;
        };
        for (std::int32_t i = 0; i < count; ++i) {
            const double source_x = m_source_x[std::size_t(i)];
            const double source_y =
                source_x < 0.0 ? -1.0 : centre_y + offset_y * m_shrink[std::size_t(i)];
            if (source_x < 0.0 || source_y < 0.0 || source_y >= height) {
                flush();
                continue;
            }
            const auto column = std::min(std::int32_t(source_x), width - 1);
            const auto row = std::min(std::int32_t(source_y), height - 1);
            if (run_length == 0) {
                run_start = i;
                run_row = row;
            }
            m_row[std::size_t(run_length)] = cache.row(row)[column];
            m_columns[std::size_t(run_length)] = column;
            ++run_length;
        }
        flush();
    }
}

} // namespace telvara::ui
