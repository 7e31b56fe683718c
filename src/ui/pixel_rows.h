#pragma once
// Row kernels behind fills and blenders: one call handles a whole row, so no
// function is called per pixel. Each kernel has a portable plain loop, an
// SSE2 path and an AVX2 path; all give identical pixels, and tests pick the
// path to compare.

#include "ui/colour.h"

#include <cstdint>

namespace telvara::ui::pixel_rows {

enum class Path {
    Plain, // portable loops, two pixels per 32-bit word where it matters
    Sse2,  // 8 pixels per step (x86-64 builds)
    Avx2,  // 16 pixels per step, when the processor has AVX2
    Fast,  // the widest path this machine runs
};

// Whether this build on this processor runs the path; an unavailable path
// falls back to Plain.
bool path_available(Path path);

void fill(Pixel* dst, std::int32_t count, Pixel colour, Path path = Path::Fast);

// Copies every source pixel except the key colour.
void key(Pixel* dst, const Pixel* src, std::int32_t count, Path path = Path::Fast);

// Alpha levels 0-4 (larger: more of the destination shows). Key-colour source
// pixels leave the destination; source pixels with bit 5 (the lowest green
// bit) set are copied at every level. Otherwise, with s and d the pixels:
//   0: s    1: s + d/4    2: s + d/2    3: (s + d/2 + d) / 2    4: d
// where every division truncates per channel on the 5-6-5 fields. Levels 1
// and 2 expect a source already scaled down and wrap like 16-bit additions
// when it is not. Level 3 is the per-channel average of levels 2 and 4, so it
// always lies between them; over a source halved for level 2 it shows a
// quarter of the source over three quarters of the destination.
void alpha(Pixel* dst, const Pixel* src, std::int32_t count, int level, Path path = Path::Fast);

// Mixes source into destination by the mask pixel's green field g (0-63,
// taken as the weight w = g + g/32, 0-64): per channel
// (s x w + d x (64 - w)) / 64 truncated, so a white mask pixel gives the
// source and a black one keeps the destination. Key-colour and bit-5-marked
// source pixels behave as in the alpha levels.
void mask(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count,
          Path path = Path::Fast);

// Source pixel for each destination pixel: dst[i] = src[columns[i]].
void gather(Pixel* dst, const Pixel* src, const std::int32_t* columns, std::int32_t count);

} // namespace telvara::ui::pixel_rows
