// The row kernels over 16 pixels at a time. This unit alone is built with
// -mavx2 (x86-64 only) and is entered only after a processor check; without
// the flag it compiles to nothing.
#include "ui/pixel_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>

namespace telvara::ui::pixel_rows {

namespace {
struct Avx2 {
    using V = __m256i;
    static constexpr std::int32_t kLanes = 16;
    static V load(const Pixel* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void store(Pixel* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V splat(Pixel p) { return _mm256_set1_epi16(static_cast<short>(p)); }
    static V bit_and(V a, V b) { return _mm256_and_si256(a, b); }
    static V bit_or(V a, V b) { return _mm256_or_si256(a, b); }
    static V and_not(V a, V b) { return _mm256_andnot_si256(a, b); }
    static V bit_xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static V add(V a, V b) { return _mm256_add_epi16(a, b); }
    static V sub(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V mul(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V eq(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    template <int N> static V shr(V a) { return _mm256_srli_epi16(a, N); }
    template <int N> static V shl(V a) { return _mm256_slli_epi16(a, N); }
};
} // namespace

namespace avx2 {

void fill(Pixel* dst, std::int32_t count, Pixel colour) {
    fill_vec<Avx2>(dst, count, colour);
}

void key(Pixel* dst, const Pixel* src, std::int32_t count) {
    level_vec<Avx2, 0>(dst, src, count);
}

void alpha(Pixel* dst, const Pixel* src, std::int32_t count, int level) {
    alpha_vec<Avx2>(dst, src, count, level);
}

void mask(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count) {
    mask_vec<Avx2>(dst, src, mask, count);
}

} // namespace avx2
} // namespace telvara::ui::pixel_rows

#endif
