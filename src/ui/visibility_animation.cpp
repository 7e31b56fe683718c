// Factory of the visibility animations named by skins.
#include "ui/visibility_animation.h"

#include "ui/easing.h"
#include "ui/visibility_animations.h"

namespace telvara::ui {

std::unique_ptr<VisibilityAnimation> create_visibility_animation(WStringView word) {
    if (word == u"scale")
        return std::make_unique<ScaleAnimation>(0.0);
    if (word == u"pop")
        return std::make_unique<ScaleAnimation>(
            0.5, AnimationTiming{0.22, 0.16, &easing::out_back, &easing::in_cubic});
    if (word == u"right")
        return std::make_unique<SlideAnimation>(SlideDirection::Right);
    if (word == u"bottom")
        return std::make_unique<SlideAnimation>(SlideDirection::Bottom);
    if (word == u"left")
        return std::make_unique<SlideAnimation>(SlideDirection::Left);
    if (word == u"top")
        return std::make_unique<SlideAnimation>(SlideDirection::Top);
    if (word == u"flip")
        return std::make_unique<FlipAnimation>();
    return nullptr;
}

} // namespace telvara::ui
