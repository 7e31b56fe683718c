#pragma once
// Internal to the row kernels: the per-pixel rules as plain loops and as
// loops over a vector type, shared by the SSE2 and AVX2 translation units.
// Everything here has internal linkage so that the AVX2 unit's copies never
// stand in for the baseline ones.

#include "ui/colour.h"

#include <cstdint>
#include <cstring>

namespace telvara::ui::pixel_rows {

// Entry points of the AVX2 unit; called only where the processor has AVX2.
namespace avx2 {
void fill(Pixel* dst, std::int32_t count, Pixel colour);
void key(Pixel* dst, const Pixel* src, std::int32_t count);
void alpha(Pixel* dst, const Pixel* src, std::int32_t count, int level);
void mask(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count);
} // namespace avx2

namespace {

constexpr Pixel kMarkBit = 0x0020;
constexpr Pixel kQuarterMask = 0xE79F; // drops the two low bits of each field
constexpr Pixel kHalfMask = 0xF7DF;    // drops the low bit of each field

template <int Level> inline Pixel level_formula(Pixel s, Pixel d) {
    if constexpr (Level == 1) {
        return Pixel(s + ((d & kQuarterMask) >> 2));
    } else if constexpr (Level == 2) {
        return Pixel(s + ((d & kHalfMask) >> 1));
    } else {
        // Per-field floor average of level 2 and the destination; averaging
        // packed fields this way never carries from one field into the next.
        const Pixel two = Pixel(s + ((d & kHalfMask) >> 1));
        return Pixel((two & d) + (((two ^ d) & kHalfMask) >> 1));
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

inline void fill_plain(Pixel* dst, std::int32_t count, Pixel colour) {
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

inline void key_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        dst[i] = s == kKeyColour ? dst[i] : s;
    }
}

inline void level4_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        dst[i] = (s & kMarkBit) ? s : dst[i];
    }
}

template <int Level> inline void level_plain(Pixel* dst, const Pixel* src, std::int32_t count) {
    if constexpr (Level == 0) {
        key_plain(dst, src, count);
    } else if constexpr (Level == 4) {
        level4_plain(dst, src, count);
    } else {
        for (std::int32_t i = 0; i < count; ++i) {
            const Pixel s = src[i];
            const Pixel d = dst[i];
            dst[i] = select(s, d, level_formula<Level>(s, d));
        }
    }
}

inline void alpha_plain(Pixel* dst, const Pixel* src, std::int32_t count, int level) {
    switch (level) {
    case 0:
        return level_plain<0>(dst, src, count);
    case 1:
        return level_plain<1>(dst, src, count);
    case 2:
        return level_plain<2>(dst, src, count);
    case 3:
        return level_plain<3>(dst, src, count);
    default:
        return level_plain<4>(dst, src, count);
    }
}

inline void mask_plain(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const Pixel s = src[i];
        const Pixel d = dst[i];
        dst[i] = select(s, d, mask_mix(s, d, mask[i]));
    }
}

// The vector loops. `Ops` wraps one instruction set's 16-bit lane operations:
// V, kLanes, load, store, splat, bit_and, bit_or, and_not (~a & b), bit_xor,
// add, sub, mul (low 16 bits), eq, shr<n>, shl<n>.

template <class Ops>
inline typename Ops::V choose(typename Ops::V mask, typename Ops::V if_set,
                              typename Ops::V if_clear) {
    return Ops::bit_or(Ops::bit_and(mask, if_set), Ops::and_not(mask, if_clear));
}

template <class Ops> inline void fill_vec(Pixel* dst, std::int32_t count, Pixel colour) {
    const auto v = Ops::splat(colour);
    std::int32_t i = 0;
    for (; i + Ops::kLanes <= count; i += Ops::kLanes)
        Ops::store(dst + i, v);
    fill_plain(dst + i, count - i, colour);
}

template <class Ops, int Level>
inline void level_vec(Pixel* dst, const Pixel* src, std::int32_t count) {
    using V = typename Ops::V;
    const V key = Ops::splat(kKeyColour);
    const V mark = Ops::splat(kMarkBit);
    const V quarter = Ops::splat(kQuarterMask);
    const V half = Ops::splat(kHalfMask);
    std::int32_t i = 0;
    for (; i + Ops::kLanes <= count; i += Ops::kLanes) {
        const V s = Ops::load(src + i);
        const V d = Ops::load(dst + i);
        const V keyed = Ops::eq(s, key);
        if constexpr (Level == 0) {
            Ops::store(dst + i, choose<Ops>(keyed, d, s));
            continue;
        } else {
            V mixed = d;
            if constexpr (Level == 1) {
                mixed = Ops::add(s, Ops::template shr<2>(Ops::bit_and(d, quarter)));
            } else if constexpr (Level == 2) {
                mixed = Ops::add(s, Ops::template shr<1>(Ops::bit_and(d, half)));
            } else if constexpr (Level == 3) {
                const V two = Ops::add(s, Ops::template shr<1>(Ops::bit_and(d, half)));
                mixed = Ops::add(Ops::bit_and(two, d),
                                 Ops::template shr<1>(Ops::bit_and(Ops::bit_xor(two, d), half)));
            }
            const V marked = Ops::eq(Ops::bit_and(s, mark), mark);
            // Level 4 needs no key test: the key colour has bit 5 clear.
            if constexpr (Level == 4)
                Ops::store(dst + i, choose<Ops>(marked, s, d));
            else
                Ops::store(dst + i, choose<Ops>(keyed, d, choose<Ops>(marked, s, mixed)));
        }
    }
    level_plain<Level>(dst + i, src + i, count - i);
}

template <class Ops>
inline void alpha_vec(Pixel* dst, const Pixel* src, std::int32_t count, int level) {
    switch (level) {
    case 0:
        return level_vec<Ops, 0>(dst, src, count);
    case 1:
        return level_vec<Ops, 1>(dst, src, count);
    case 2:
        return level_vec<Ops, 2>(dst, src, count);
    case 3:
        return level_vec<Ops, 3>(dst, src, count);
    default:
        return level_vec<Ops, 4>(dst, src, count);
    }
}

template <class Ops>
inline void mask_vec(Pixel* dst, const Pixel* src, const Pixel* mask, std::int32_t count) {
    using V = typename Ops::V;
    const V key = Ops::splat(kKeyColour);
    const V mark = Ops::splat(kMarkBit);
    const V six = Ops::splat(63);
    const V five = Ops::splat(31);
    const V full = Ops::splat(64);
    std::int32_t i = 0;
    for (; i + Ops::kLanes <= count; i += Ops::kLanes) {
        const V s = Ops::load(src + i);
        const V d = Ops::load(dst + i);
        V w = Ops::bit_and(Ops::template shr<5>(Ops::load(mask + i)), six);
        w = Ops::add(w, Ops::template shr<5>(w));
        const V iw = Ops::sub(full, w);
        // Products stay below 64 x 64, so 16-bit lanes hold them.
        auto mix = [&](V sf, V df) {
            return Ops::template shr<6>(Ops::add(Ops::mul(sf, w), Ops::mul(df, iw)));
        };
        const V r = mix(Ops::template shr<11>(s), Ops::template shr<11>(d));
        const V g = mix(Ops::bit_and(Ops::template shr<5>(s), six),
                        Ops::bit_and(Ops::template shr<5>(d), six));
        const V b = mix(Ops::bit_and(s, five), Ops::bit_and(d, five));
        const V mixed =
            Ops::bit_or(Ops::bit_or(Ops::template shl<11>(r), Ops::template shl<5>(g)), b);
        const V marked = Ops::eq(Ops::bit_and(s, mark), mark);
        Ops::store(dst + i, choose<Ops>(Ops::eq(s, key), d, choose<Ops>(marked, s, mixed)));
    }
    mask_plain(dst + i, src + i, mask + i, count - i);
}

} // namespace
} // namespace telvara::ui::pixel_rows
