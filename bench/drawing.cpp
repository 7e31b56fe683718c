// Drawing primitives over a full 480 x 640 frame, against memcpy of the same
// frame: the physical limit of any per-pixel work.
#include "ui/drawing.h"
#include "ui/blender.h"
#include "ui/picture.h"
#include "ui/render_surface.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

using namespace telvara::ui;

namespace {

constexpr std::int32_t kWidth = 480;
constexpr std::int32_t kHeight = 640;
constexpr std::int64_t kFrameBytes = std::int64_t(kWidth) * kHeight * 2;

// A frame of random pixels, one in eight the key colour.
void scramble(RenderSurface& surface, unsigned seed) {
    std::mt19937 random(seed);
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x)
            surface.row(y)[x] = random() % 8 == 0 ? kKeyColour : Pixel(random());
}

struct Frames {
    RenderSurface source;
    RenderSurface target;
    Frames() {
        source.resize(kWidth, kHeight);
        target.resize(kWidth, kHeight);
        scramble(source, 1);
        scramble(target, 2);
    }
};

void finish(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}

void BM_Memcpy(benchmark::State& state) {
    Frames frames;
    for (auto _ : state) {
        std::memcpy(frames.target.row(0), frames.source.row(0), std::size_t(kFrameBytes));
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_Memcpy);

void BM_Fill(benchmark::State& state) {
    Frames frames;
    for (auto _ : state) {
        fill_pixel(frames.target, {0, 0}, {kWidth, kHeight}, 0x39E7);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_Fill);

void BM_KeyBlit(benchmark::State& state) {
    Frames frames;
    for (auto _ : state) {
        blit(frames.target, {0, 0}, frames.source, key_blender());
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_KeyBlit);

void BM_AlphaBlit(benchmark::State& state) {
    Frames frames;
    const AlphaBlender blender(state.range(0) * 64);
    for (auto _ : state) {
        blit(frames.target, {0, 0}, frames.source, blender);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_AlphaBlit)->DenseRange(0, 4)->ArgName("level");

void BM_MaskBlit(benchmark::State& state) {
    Frames frames;
    RenderSurface mask_surface;
    mask_surface.resize(kWidth, kHeight);
    scramble(mask_surface, 3);
    Picture mask;
    mask.width = kWidth;
    mask.height = kHeight;
    mask.data = std::make_shared<const PictureData>(PictureData{"mask", mask_surface.release()});
    const MaskBlender blender(mask);
    for (auto _ : state) {
        blit(frames.target, {0, 0}, frames.source, blender);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_MaskBlit);

// A 48 x 48 button picture with 16-pixel borders stretched over the frame.
void BM_ThreeSliceStretch(benchmark::State& state) {
    Frames frames;
    RenderSurface art;
    art.resize(48, 48);
    scramble(art, 4);
    Picture picture;
    picture.width = 48;
    picture.height = 48;
    picture.points = {Point{0, 0}, Point{16, 16}, Point{32, 32}, Point{48, 48}};
    picture.data = std::make_shared<const PictureData>(PictureData{"button", art.release()});
    const Blender& blender = state.range(0) ? key_blender() : copy_blender();
    for (auto _ : state) {
        draw_picture(frames.target, {0, 0}, {kWidth, kHeight}, picture, blender);
        benchmark::ClobberMemory();
    }
    finish(state);
}
BENCHMARK(BM_ThreeSliceStretch)->Arg(0)->Arg(1)->ArgName("key");

} // namespace
