// One frame of each visibility animation over a full 480 x 640 screen, at
// the middle of a show: the cost a frame pays while a screen moves in. A
// frame at 60 Hz has 16 ms for everything.
#include "ui/drawing.h"
#include "ui/render_surface.h"
#include "ui/visibility_animations.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace telvara::ui;

namespace {

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 640;

const char16_t* const kWords[] = {u"scale", u"pop", u"right", u"bottom", u"left", u"top", u"flip"};

void animation_frame(benchmark::State& state) {
    const char16_t* word = kWords[state.range(0)];
    RenderSurface picture;
    picture.resize(kWidth, kHeight);
    std::mt19937 random(1);
    for (std::int32_t y = 0; y < kHeight; ++y)
        for (std::int32_t x = 0; x < kWidth; ++x)
            picture.row(y)[x] = random() % 8 == 0 ? kKeyColour : Pixel(random());
    RenderSurface screen;
    screen.resize(kWidth, kHeight);

    auto animation = create_visibility_animation(word);
    auto& timed = dynamic_cast<TimedVisibilityAnimation&>(*animation);
    timed.start(AnimationDirection::Show, nullptr);
    timed.advance(timed.timing().show_seconds * 0.3);
    for (auto _ : state) {
        animation->draw(screen, {}, picture);
        benchmark::DoNotOptimize(screen.row(kHeight / 2)[kWidth / 2]);
    }
    state.SetLabel(std::string(word, word + std::char_traits<char16_t>::length(word)));
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(animation_frame)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);
