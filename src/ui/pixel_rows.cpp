// Row kernel dispatch: the plain loops, the SSE2 loops (every x86-64 has
// SSE2) and, where the processor offers it, the AVX2 unit.
#include "ui/pixel_rows.h"

#include "ui/pixel_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define TELVARA_PIXELS_SSE2 1
#else
#define TELVARA_PIXELS_SSE2 0
#endif

#if TELVARA_PIXELS_SSE2 && defined(TELVARA_PIXELS_AVX2)
#define TELVARA_PIXELS_HAVE_AVX2 1
#else
#define TELVARA_PIXELS_HAVE_AVX2 0
#endif

namespace telvara::ui::pixel_rows {

namespace {

#if TELVARA_PIXELS_SSE2
struct Sse2 {
    using V = __m128i;
    static constexpr std::int32_t kLanes = 8;
    static V load(const Pixel* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void store(Pixel* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V splat(Pixel p) { return _mm_set1_epi16(static_cast<short>(p)); }
    static V bit_and(V a, V b) { return _mm_and_si128(a, b); }
    static V bit_or(V a, V b) { return _mm_or_si128(a, b); }
    static V and_not(V a, V b) { return _mm_andnot_si128(a, b); }
    static V bit_xor(V a, V b) { return _mm_xor_si128(a, b); }
    static V add(V a, V b) { return _mm_add_epi16(a, b); }
    static V sub(V a, V b) { return _mm_sub_epi16(a, b); }
    static V mul(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V eq(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    template <int N> static V shr(V a) { return _mm_srli_epi16(a, N); }
    template <int N> static V shl(V a) { return _mm_slli_epi16(a, N); }
};
#endif

bool cpu_has_avx2() {
#if TELVARA_PIXELS_HAVE_AVX2
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

// What Fast means on this machine.
Path resolve(Path path) {
    if (path != Path::Fast)
        return path_available(path) ? path : Path::Plain;
    if (cpu_has_avx2())
        return Path::Avx2;
    return TELVARA_PIXELS_SSE2 ? Path::Sse2 : Path::Plain;
}

} // namespace

bool path_available(Path path) {
    switch (path) {
    case Path::Sse2:
        return TELVARA_PIXELS_SSE2 != 0;
    case Path::Avx2:
        return cpu_has_avx2();
    default:
        return true;
    }
}

void fill(Pixel* dst, std::int32_t count, Pixel colour, Path path) {
    switch (resolve(path)) {
#if TELVARA_PIXELS_SSE2
    case Path::Sse2:
        return fill_vec<Sse2>(dst, count, colour);
#endif
#if TELVARA_PIXELS_HAVE_AVX2
    case Path::Avx2:
        return avx2::fill(dst, count, colour);
#endif
    default:
        return fill_plain(dst, count, colour);
    }
}

void key(Pixel* dst, const Pixel* src, std::int32_t count, Path path) {
    switch (resolve(path)) {
#if TELVARA_PIXELS_SSE2
    case Path::Sse2:
        return level_vec<Sse2, 0>(dst, src, count);
#endif
#if TELVARA_PIXELS_HAVE_AVX2
    case Path::Avx2:
        return avx2::key(dst, src, count);
#endif
    default:
        return key_plain(dst, src, count);
    }
}

void alpha(Pixel* dst, const Pixel* src, std::int32_t count, int level, Path path) {
    switch (resolve(path)) {
#if TELVARA_PIXELS_SSE2
    case Path::Sse2:
        return alpha_vec<Sse2>(dst, src, count, level);
#endif
#if TELVARA_PIXELS_HAVE_AVX2
    case Path::Avx2:
        return avx2::alpha(dst, src, count, level);
#endif
    default:
        return alpha_plain(dst, src, count, level);
    }
}

void mask(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count, Path path) {
    switch (resolve(path)) {
#if TELVARA_PIXELS_SSE2
    case Path::Sse2:
        return mask_vec<Sse2>(dst, src, mask, count);
#endif
#if TELVARA_PIXELS_HAVE_AVX2
    case Path::Avx2:
        return avx2::mask(dst, src, mask, count);
#endif
    default:
        return mask_plain(dst, src, mask, count);
    }
}

void gather(Pixel* dst, const Pixel* src, const std::int32_t* columns, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = src[columns[i]];
}

} // namespace telvara::ui::pixel_rows
