#pragma once
// The visibility animations a skin names: "scale", "pop", the four slides
// ("right", "bottom", "left", "top") and "flip". Each draws the node's cached
// picture at a position between hidden (0) and shown (1), eased out while
// showing and eased in while hiding; a reversal mid-way runs back from the
// position reached.

#include "ui/blender.h"
#include "ui/visibility_animation.h"

#include <memory>
#include <vector>

namespace telvara::ui {

// How long a full run takes each way and how it is eased.
struct AnimationTiming {
    double show_seconds = 0.22;
    double hide_seconds = 0.18;
    double (*show_ease)(double) = nullptr; // null: cubic ease-out
    double (*hide_ease)(double) = nullptr; // null: cubic ease-in
};

class TimedVisibilityAnimation : public VisibilityAnimation {
  public:
    explicit TimedVisibilityAnimation(AnimationTiming timing) : m_timing(timing) {}

    bool is_running() const override { return m_running; }
    void advance(double seconds) override;
    void draw(RenderSurface& target, Point origin, const RenderSurface& cache) final;
    void reverse() override;
    void start(AnimationDirection direction, std::unique_ptr<Blender> blender) override;

    // 0 hidden, 1 shown; "pop" passes a little beyond 1 on its way in.
    double position() const;
    AnimationDirection direction() const { return m_direction; }
    // Seconds left of the current run.
    double remaining() const { return m_running ? m_duration - m_elapsed : 0.0; }
    const AnimationTiming& timing() const { return m_timing; }

  protected:
    // Draws the picture at `position`; at 1 it must look exactly like the
    // node drawn through its blender.
    virtual void draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                         double position) = 0;
    // The node's blender, or plain key-colour transparency.
    const Blender& blender() const { return m_blender ? *m_blender : key_blender(); }

  private:
    // Runs from `from` towards the end of `direction`, taking the share of a
    // full run that the distance asks for.
    void run(AnimationDirection direction, double from);

    AnimationTiming m_timing;
    std::unique_ptr<Blender> m_blender;
    AnimationDirection m_direction = AnimationDirection::Show;
    double m_from = 0.0;
    double m_to = 1.0;
    double m_elapsed = 0.0;
    double m_duration = 0.0;
    bool m_running = false;
};

// The picture grows from (or shrinks to) `smallest` of its size about its
// centre, fading in (out) as it goes.
class ScaleAnimation final : public TimedVisibilityAnimation {
  public:
    explicit ScaleAnimation(double smallest, AnimationTiming timing = {});
    double smallest() const { return m_smallest; }

  protected:
    void draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                 double position) override;

  private:
    double m_smallest = 0.0;
    std::vector<Pixel> m_row;
    std::vector<std::int32_t> m_columns;
};

// Where a sliding node comes from and goes to.
enum class SlideDirection : int { Right = 0, Bottom = 1, Left = 2, Top = 3 };

// The picture moves in from (out past) one edge of the surface it is drawn
// on, so that it starts and ends wholly outside it wherever the node stands.
class SlideAnimation final : public TimedVisibilityAnimation {
  public:
    explicit SlideAnimation(SlideDirection direction, AnimationTiming timing = {0.25, 0.2});
    SlideDirection slide_direction() const { return m_slide; }
    // Where the picture's top-left stands at `position`: the node is at
    // `origin` with `size`, on a surface `bounds` large.
    Point offset_at(Point origin, Size size, Size bounds, double position) const;

  protected:
    void draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                 double position) override;

  private:
    SlideDirection m_slide;
};

// The picture turns about its vertical centre line, in perspective, from
// edge-on to facing the viewer (and back when hiding).
class FlipAnimation final : public TimedVisibilityAnimation {
  public:
    explicit FlipAnimation(AnimationTiming timing = {0.26, 0.2});

  protected:
    void draw_at(RenderSurface& target, Point origin, const RenderSurface& cache,
                 double position) override;

  private:
    std::vector<double> m_source_x;
    std::vector<double> m_shrink; // 1 / vertical stretch per column
    std::vector<Pixel> m_row;
    std::vector<std::int32_t> m_columns;
};

} // namespace telvara::ui
