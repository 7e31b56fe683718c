#pragma once
// Screen transitions: how the picture of the screen before a form change
// (its snapshot) gives way to the screen after it.

#include "ui/render_surface.h"

#include <memory>

namespace telvara::forms {

// The strength of the previous screen at the start of a transition.
inline constexpr int kFullStrength = 256;

class FormTransition {
  public:
    virtual ~FormTransition() = default;

    // Advances by `seconds`; returns the strength left of the previous screen,
    // from kFullStrength at the start down to 0 when finished.
    virtual int advance(double seconds) = 0;
    // `target` already holds the new screen; draws the snapshot over it at
    // the given strength.
    virtual void draw(ui::RenderSurface& target, const ui::RenderSurface& snapshot,
                      int strength) const = 0;
};

// The previous screen fades out over the new one.
class FadeTransition final : public FormTransition {
  public:
    explicit FadeTransition(double seconds = 0.25) : m_duration(seconds) {}

    int advance(double seconds) override;
    void draw(ui::RenderSurface& target, const ui::RenderSurface& snapshot,
              int strength) const override;

  private:
    double m_duration;
    double m_elapsed = 0;
};

} // namespace telvara::forms
