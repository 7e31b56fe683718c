// The visibility animations as the user sees them: frames drawn while a node
// shows or hides, from the first step to the last, and reversals mid-way.
#include "node_test_support.h"
#include "ui/drawing.h"
#include "ui/easing.h"
#include "ui/visibility_animations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr Colour kBackground{20, 40, 200};
const Pixel kBackgroundPixel = to_565(kBackground);
const char* const kWords[] = {"scale", "pop", "right", "bottom", "left", "top", "flip"};

// A card of 60 x 80 at (30, 40) on a 120 x 160 screen: a white face with a
// dark frame line and a see-through (key colour) hole in the middle.
class Card : public Node {
  public:
    void draw(RenderSurface& surface, Point origin) override {
        fill(surface, origin, {width(), height()}, Colour{30, 30, 30});
        fill(surface, {origin.x + 2, origin.y + 2}, {width() - 4, height() - 4},
             Colour{250, 250, 250});
        fill(surface, {origin.x + 4, origin.y + 4}, {width() / 2 - 4, 10}, Colour{220, 30, 30});
        fill_pixel(surface, {origin.x + 25, origin.y + 35}, {10, 10}, kKeyColour);
    }
};

struct Stage {
    // Starts shown, or hidden and then animated to shown.
    explicit Stage(const char* word, bool start_showing = false) {
        card = &add<Card>(screen);
        card->set_visibility_animation(create_visibility_animation(from_utf8(word)));
        card->set_borders({30, 40}, {30, 40});
        test::place(screen, 0, 0, 120, 160);
        frame.resize(120, 160);
        if (start_showing) {
            card->set_visible(false);
            card->set_visible_animated(true);
        }
    }
    TimedVisibilityAnimation& animation() {
        return dynamic_cast<TimedVisibilityAnimation&>(*card->visibility_animation());
    }
    void draw() {
        fill(frame, {}, {120, 160}, kBackground);
        screen.draw_node(frame, {});
    }
    // Pixels of the card's rectangle that differ from the background.
    int covered() const {
        int count = 0;
        for (int y = 40; y < 120; ++y)
            for (int x = 30; x < 90; ++x)
                count += frame.row(y)[x] != kBackgroundPixel;
        return count;
    }
    std::vector<Pixel> pixels() const {
        std::vector<Pixel> all;
        for (int y = 0; y < 160; ++y)
            all.insert(all.end(), frame.row(y), frame.row(y) + 120);
        return all;
    }
    Node screen;
    Card* card = nullptr;
    RenderSurface frame;
};

// The card drawn with no animation at all.
std::vector<Pixel> still_picture(bool visible) {
    Stage stage("none");
    stage.card->set_visible(visible);
    stage.draw();
    return stage.pixels();
}

} // namespace

// Each word shows from nothing to the still picture steadily, then hides
// from the still picture to nothing, letting its picture go.
TEST(VisibilityAnimations, EachShowsAndHidesSteadilyBetweenNothingAndTheStillPicture) {
    const std::vector<Pixel> shown = still_picture(true), hidden = still_picture(false);
    for (const char* word : kWords) {
        Stage stage(word, true);
        ASSERT_TRUE(stage.animation().is_running()) << word;
        EXPECT_TRUE(stage.card->is_visible());
        stage.draw();
        EXPECT_LT(stage.covered(), (60 * 80 - 100) / 10) << word << ": first frame nearly hidden";
        int previous = stage.covered(), frames = 0;
        double previous_position = stage.animation().position();
        while (stage.animation().is_running()) {
            stage.screen.tick(kFrame);
            stage.draw();
            ++frames;
            // "pop" passes the end a little and settles back: steady until then.
            const double position = std::min(stage.animation().position(), 1.0);
            if (position < 1.0) {
                EXPECT_GE(stage.covered(), previous) << word << " frame " << frames;
            }
            EXPECT_GE(position, previous_position) << word;
            previous = stage.covered();
            previous_position = position;
            ASSERT_LT(frames, 60);
        }
        EXPECT_GE(frames, 9) << word << ": at least 150 ms of motion";
        EXPECT_EQ(stage.pixels(), shown) << word << ": last frame is the still picture";
        stage.card->set_visible_animated(false);
        EXPECT_FALSE(stage.card->is_visible());
        ASSERT_TRUE(stage.animation().is_running()) << word;
        stage.draw();
        const std::vector<Pixel> first = stage.pixels();
        std::size_t differing = 0;
        for (std::size_t i = 0; i < shown.size(); ++i)
            differing += first[i] != shown[i];
        EXPECT_LT(differing, shown.size() / 50) << word << ": the first frame is the card";
        for (frames = 0; stage.animation().is_running(); ++frames) {
            ASSERT_LT(frames, 60);
            stage.screen.tick(kFrame);
            stage.draw();
            EXPECT_LE(stage.animation().position(), previous_position) << word;
            previous_position = stage.animation().position();
        }
        EXPECT_EQ(stage.pixels(), hidden) << word;
        EXPECT_TRUE(stage.card->cache_surface().empty()) << word << ": the picture is let go";
    }
}
