#pragma once
// The hook through which a node shows or hides itself with motion: the node
// renders itself into its cache surface, the animation draws that picture in
// place of the node until it has run its course.

#include "platform/text.h"
#include "ui/render_surface.h"

#include <memory>

namespace telvara::ui {

class Blender;

enum class AnimationDirection : int { Hide = -1, Show = 1 };

class VisibilityAnimation {
  public:
    virtual ~VisibilityAnimation() = default;

    virtual bool is_running() const = 0;
    virtual void advance(double seconds) = 0;
    // Draws `cache` (the node's picture, key colour transparent) for the
    // current step into `target`, where the node itself would stand at `origin`.
    virtual void draw(RenderSurface& target, Point origin, const RenderSurface& cache) = 0;
    // Runs back the way it came: a hide becomes a show and the reverse.
    virtual void reverse() = 0;
    // `blender` is a copy of the node's cache blender, or null for plain key colour.
    virtual void start(AnimationDirection direction, std::unique_ptr<Blender> blender) = 0;
};

// The animation a "visibility_animation" word names, or null for an unknown word.
std::unique_ptr<VisibilityAnimation> create_visibility_animation(WStringView word);

} // namespace telvara::ui
