// Factory of the visibility animations named by skins.
#include "ui/visibility_animation.h"

namespace telvara::ui {

// No animation kinds exist yet; nodes asking for one simply show and hide.
std::unique_ptr<VisibilityAnimation> create_visibility_animation(WStringView) {
    return nullptr;
}

} // namespace telvara::ui
