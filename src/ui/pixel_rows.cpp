// Plain and SSE2 row kernels for fills and blenders. Built with -O3; the plain
// loops are written so the compiler can vectorise them too.
#include "ui/pixel_rows.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define TELVARA_PIXELS_SSE2 1
#else
#define TELVARA_PIXELS_SSE2 0
#endif

namespace telvara::ui::pixel_rows {

namespace {

constexpr Pixel kMarkBit = 0x0020;
constexpr Pixel kQuarterMask = 0xE79F; // drops the two low bits of each field
constexpr Pixel kHalfMask = 0xF7DF;    // drops the low bit of each field

inline Pixel level_formula(Pixel s, Pixel d, int level) {
    switch (level) {
    case 1:
        return Pixel(s + ((d & kQuarterMask) >> 2));
    case 2:
        return Pixel(s + ((d & kHalfMask) >> 1));
    default: {
        // Per-field floor average of level 2 and the destination; averaging
        // packed fields this way never carries from one field into the next.
        const Pixel two = Pixel(s + ((d & kHalfMask) >> 1));
        return Pixel((two & d) + (((two ^ d) & kHalfMask) >> 1));
    }
    }
}

inline Pixel select(Pixel s, Pixel d, Pixel mixed) {
    if (s == kKeyColour)
        return d;
    return (s & kMarkBit) ? s : mixed;
}

inline Pixel mask_mix(Pixel s, Pixel d, Pixel m) {
    const unsigned g = (m >> 5) & 63;
    const unsigned w = g + (g >> 5);
    const unsigned iw = 64 - w;
    const unsigned r = (((s >> 11) * w) + ((d >> 11) * iw)) >> 6;
    const unsigned gr = ((((s >> 5) & 63) * w) + (((d >> 5) & 63) * iw)) >> 6;
    const unsigned b = (((s & 31) * w) + ((d & 31) * iw)) >> 6;
    return Pixel((r << 11) | (gr << 5) | b);
}

void fill_plain(Pixel* dst, std::int32_t count, Pixel colour) {
    if (count <= 0)
        return;
    if (reinterpret_cast<std::uintptr_t>(dst) & 2) {
        *dst++ = colour;
        --count;
    }
    // Two pixels per 32-bit store; memcpy keeps the store free of aliasing
    // questions and compiles to a single move.
    const std::uint32_t pair = std::uint32_t(colour) | (std::uint32_t(colour) << 16);
    const std::int32_t pairs = count / 2;
    for (std::int32_t i = 0; i < pairs; ++i)
        std::memcpy(dst + 2 * i, &pair, sizeof pair);
    if (count & 1)
        dst[count - 1] = colour;
}

void key_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        dst[i] = s == kKeyColour ? dst[i] : s;
    }
}

void level4_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        dst[i] = (s & kMarkBit) ? s : dst[i];
    }
}

template <int Level> void level_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        const Pixel d = dst[i];
        dst[i] = select(s, d, level_formula(s, d, Level));
    }
}

void alpha_plain(Pixel* dst, const Pixel* src, std::int32_t count, int level) {
    switch (level) {
    case 0:
        return key_plain(dst, src, count);
    case 1:
        return level_plain<1>(dst, src, count);
    case 2:
        return level_plain<2>(dst, src, count);
    case 3:
        return level_plain<3>(dst, src, count);
    default:
        return level4_plain(dst, src, count);
    }
}

void mask_plain(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        const Pixel d = dst[i];
        dst[i] = select(s, d, mask_mix(s, d, mask[i]));
    }
}

#if TELVARA_PIXELS_SSE2

inline __m128i load(const Pixel* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void store(Pixel* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline __m128i choose(__m128i mask, __m128i if_set, __m128i if_clear) {
    return _mm_or_si128(_mm_and_si128(mask, if_set), _mm_andnot_si128(mask, if_clear));
}

void fill_sse2(Pixel* dst, std::int32_t count, Pixel colour) {
    const __m128i v = _mm_set1_epi16(static_cast<short>(colour));
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8)
        store(dst + i, v);
    fill_plain(dst + i, count - i, colour);
}

void key_sse2(Pixel* dst, const Pixel* src, std::int32_t count) {
    const __m128i key = _mm_set1_epi16(static_cast<short>(kKeyColour));
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i s = load(src + i);
        store(dst + i, choose(_mm_cmpeq_epi16(s, key), load(dst + i), s));
    }
    key_plain(dst + i, src + i, count - i);
}

template <int Level> void level_sse2(Pixel* dst, const Pixel* src, std::int32_t count) {
    const __m128i key = _mm_set1_epi16(static_cast<short>(kKeyColour));
    const __m128i mark = _mm_set1_epi16(kMarkBit);
    const __m128i quarter = _mm_set1_epi16(static_cast<short>(kQuarterMask));
    const __m128i half = _mm_set1_epi16(static_cast<short>(kHalfMask));
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i s = load(src + i);
        const __m128i d = load(dst + i);
        __m128i mixed;
        if constexpr (Level == 1) {
            mixed = _mm_add_epi16(s, _mm_srli_epi16(_mm_and_si128(d, quarter), 2));
        } else if constexpr (Level == 2) {
            mixed = _mm_add_epi16(s, _mm_srli_epi16(_mm_and_si128(d, half), 1));
        } else if constexpr (Level == 3) {
            const __m128i two = _mm_add_epi16(s, _mm_srli_epi16(_mm_and_si128(d, half), 1));
            mixed = _mm_add_epi16(_mm_and_si128(two, d),
                                  _mm_srli_epi16(_mm_and_si128(_mm_xor_si128(two, d), half), 1));
        } else {
            mixed = d;
        }
        const __m128i marked = _mm_cmpeq_epi16(_mm_and_si128(s, mark), mark);
        const __m128i keyed = _mm_cmpeq_epi16(s, key);
        store(dst + i, choose(keyed, d, choose(marked, s, mixed)));
    }
    if constexpr (Level == 4)
        level4_plain(dst + i, src + i, count - i);
    else
        level_plain<Level>(dst + i, src + i, count - i);
}

void alpha_sse2(Pixel* dst, const Pixel* src, std::int32_t count, int level) {
    switch (level) {
    case 0:
        return key_sse2(dst, src, count);
    case 1:
        return level_sse2<1>(dst, src, count);
    case 2:
        return level_sse2<2>(dst, src, count);
    case 3:
        return level_sse2<3>(dst, src, count);
    default:
        return level_sse2<4>(dst, src, count);
    }
}

void mask_sse2(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count) {
    const __m128i key = _mm_set1_epi16(static_cast<short>(kKeyColour));
    const __m128i mark = _mm_set1_epi16(kMarkBit);
    const __m128i six = _mm_set1_epi16(63);
    const __m128i five = _mm_set1_epi16(31);
    const __m128i full = _mm_set1_epi16(64);
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i s = load(src + i);
        const __m128i d = load(dst + i);
        __m128i w = _mm_and_si128(_mm_srli_epi16(load(mask + i), 5), six);
        w = _mm_add_epi16(w, _mm_srli_epi16(w, 5));
        const __m128i iw = _mm_sub_epi16(full, w);
        // Products stay below 64 x 64, so 16-bit lanes hold them.
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_srli_epi16(s, 11), w),
                                                       _mm_mullo_epi16(_mm_srli_epi16(d, 11), iw)),
                                         6);
        const __m128i g = _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(s, 5), six), w),
                          _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi16(d, 5), six), iw)),
            6);
        const __m128i b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_and_si128(s, five), w),
                                                       _mm_mullo_epi16(_mm_and_si128(d, five), iw)),
                                         6);
        const __m128i mixed =
            _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
        const __m128i marked = _mm_cmpeq_epi16(_mm_and_si128(s, mark), mark);
        const __m128i keyed = _mm_cmpeq_epi16(s, key);
        store(dst + i, choose(keyed, d, choose(marked, s, mixed)));
    }
    mask_plain(dst + i, src + i, mask + i, count - i);
}

#endif

} // namespace

bool has_vector_path() {
    return TELVARA_PIXELS_SSE2 != 0;
}

void fill(Pixel* dst, std::int32_t count, Pixel colour, Path path) {
#if TELVARA_PIXELS_SSE2
    if (path == Path::Fast)
        return fill_sse2(dst, count, colour);
#endif
    (void)path;
    fill_plain(dst, count, colour);
}

void key(Pixel* dst, const Pixel* src, std::int32_t count, Path path) {
#if TELVARA_PIXELS_SSE2
    if (path == Path::Fast)
        return key_sse2(dst, src, count);
#endif
    (void)path;
    key_plain(dst, src, count);
}

void alpha(Pixel* dst, const Pixel* src, std::int32_t count, int level, Path path) {
#if TELVARA_PIXELS_SSE2
    if (path == Path::Fast)
        return alpha_sse2(dst, src, count, level);
#endif
    (void)path;
    alpha_plain(dst, src, count, level);
}

void mask(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count, Path path) {
#if TELVARA_PIXELS_SSE2
    if (path == Path::Fast)
        return mask_sse2(dst, src, mask, count);
#endif
    (void)path;
    mask_plain(dst, src, mask, count);
}

void gather(Pixel* dst, const Pixel* src, const std::int32_t* columns, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = src[columns[i]];
}

} // namespace telvara::ui::pixel_rows
