// Every row kernel, on both paths, against a plain per-pixel reference.
#include "ui/blender.h"
#include "ui/pixel_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace telvara::ui;
namespace rows = telvara::ui::pixel_rows;

namespace {

Pixel reference_alpha(Pixel s, Pixel d, int level) {
    if (s == kKeyColour)
        return d;
    if (s & 0x20)
        return s;
    switch (level) {
    case 0:
        return s;
    case 1:
        return Pixel(s + ((d & 0xE79F) >> 2));
    case 2:
        return Pixel(s + ((d & 0xF7DF) >> 1));
    case 3: {
        // Field by field: the truncated average of level 2 and the destination.
        const Pixel two = Pixel(s + ((d & 0xF7DF) >> 1));
        auto field = [&](int shift, int bits) {
            const int mask = (1 << bits) - 1;
            return (((two >> shift) & mask) + ((d >> shift) & mask)) / 2 << shift;
        };
        return Pixel(field(11, 5) | field(5, 6) | field(0, 5));
    }
    default:
        return d;
    }
}

Pixel reference_mask(Pixel s, Pixel d, Pixel m) {
    if (s == kKeyColour)
        return d;
    if (s & 0x20)
        return s;
    const int g = (m >> 5) & 63;
    const int w = g < 32 ? g : g + 1; // 0..64 with both ends exact
    auto mix = [&](int shift, int bits) {
        const int mask = (1 << bits) - 1;
        return (((s >> shift) & mask) * w + ((d >> shift) & mask) * (64 - w)) / 64 << shift;
    };
    return Pixel(mix(11, 5) | mix(5, 6) | mix(0, 5));
}

// Random pixels with plenty of key-colour and marked ones.
std::vector<Pixel> random_row(std::mt19937& random, std::size_t size) {
    std::vector<Pixel> row(size);
    for (Pixel& p : row) {
        const unsigned pick = random() % 8;
        p = pick == 0 ? kKeyColour : Pixel(random());
        if (pick == 1)
            p |= 0x20;
        if (pick == 2)
            p &= ~0x20;
    }
    return row;
}

// Every path this machine runs; Fast is whichever of them is widest.
std::vector<rows::Path> paths() {
    std::vector<rows::Path> out;
    for (rows::Path path : {rows::Path::Plain, rows::Path::Sse2, rows::Path::Avx2})
        if (rows::path_available(path))
            out.push_back(path);
    return out;
}

} // namespace

TEST(PixelRows, VectorPathsAreBuiltOnX86) {
#if defined(__x86_64__)
    EXPECT_TRUE(rows::path_available(rows::Path::Sse2));
#endif
    EXPECT_TRUE(rows::path_available(rows::Path::Plain));
}

TEST(PixelRows, FillWritesExactlyTheSpanAtEveryAlignment) {
    for (rows::Path path : paths()) {
        for (std::int32_t width = 0; width <= 67; ++width) {
            for (int offset = 0; offset < 2; ++offset) {
                std::vector<Pixel> row(80, 0x1111);
                rows::fill(row.data() + offset, width, 0xBEEF, path);
                for (int i = 0; i < 80; ++i) {
                    const bool inside = i >= offset && i < offset + width;
                    ASSERT_EQ(row[std::size_t(i)], inside ? 0xBEEF : 0x1111)
                        << "width " << width << " offset " << offset << " at " << i;
                }
            }
        }
    }
}

TEST(PixelRows, BlendersMatchThePerPixelReference) {
    std::mt19937 random(7);
    for (rows::Path path : paths()) {
        for (std::int32_t width = 1; width <= 67; ++width) {
            for (int src_offset = 0; src_offset < 2; ++src_offset) {
                for (int dst_offset = 0; dst_offset < 2; ++dst_offset) {
                    const auto src = random_row(random, 70);
                    const auto dst = random_row(random, 70);
                    const auto mask = random_row(random, 70);
                    const Pixel* s = src.data() + src_offset;
                    for (int level = -1; level <= 5; ++level) {
                        std::vector<Pixel> got = dst;
                        std::vector<Pixel> want = dst;
                        Pixel* g = got.data() + dst_offset;
                        Pixel* w = want.data() + dst_offset;
                        if (level == -1) {
                            rows::key(g, s, width, path);
                            for (int i = 0; i < width; ++i)
                                w[i] = s[i] == kKeyColour ? w[i] : s[i];
                        } else if (level == 5) {
                            rows::mask(g, s, mask.data() + dst_offset, width, path);
                            for (int i = 0; i < width; ++i)
                                w[i] =
                                    reference_mask(s[i], w[i], mask[std::size_t(dst_offset + i)]);
                        } else {
                            rows::alpha(g, s, width, level, path);
                            for (int i = 0; i < width; ++i)
                                w[i] = reference_alpha(s[i], w[i], level);
                        }
                        ASSERT_EQ(got, want)
                            << "kernel " << level << " width " << width << " offsets " << src_offset
                            << "/" << dst_offset << " path " << int(path);
                    }
                }
            }
        }
    }
}

TEST(PixelRows, AlphaLevelsFromAlphaValues) {
    EXPECT_EQ(AlphaBlender::level_for(0), 0);
    EXPECT_EQ(AlphaBlender::level_for(63), 0);
    EXPECT_EQ(AlphaBlender::level_for(64), 1);
    EXPECT_EQ(AlphaBlender::level_for(191), 2);
    EXPECT_EQ(AlphaBlender::level_for(255), 3);
    EXPECT_EQ(AlphaBlender::level_for(256), 4);
    EXPECT_EQ(AlphaBlender::level_for(0xFFFFFFFE), 4);
    EXPECT_EQ(AlphaBlender::level_for(-1), 0);
}

TEST(PixelRows, AlphaEndPointsKeyAndMarkedPixels) {
    for (rows::Path path : paths()) {
        const Pixel src[3] = {kKeyColour, 0x0020 | 0x8000, 0x4010};
        for (int level = 0; level <= 4; ++level) {
            Pixel dst[3] = {0x1234, 0x1234, 0x1234};
            rows::alpha(dst, src, 3, level, path);
            EXPECT_EQ(dst[0], 0x1234) << "key colour never shows, level " << level;
            EXPECT_EQ(dst[1], 0x8020) << "marked pixels always show, level " << level;
        }
        Pixel dst[3] = {0, 0, 0x07C0};
        rows::alpha(dst, src, 3, 0, path);
        EXPECT_EQ(dst[2], 0x4010) << "level 0 copies";
        dst[2] = 0x07C0;
        rows::alpha(dst, src, 3, 4, path);
        EXPECT_EQ(dst[2], 0x07C0) << "level 4 keeps the destination";
    }
}

// Level 3 lies between level 2 and level 4 in every channel, wherever level 2
// itself does not carry into the next field.
TEST(PixelRows, LevelThreeLiesBetweenLevelsTwoAndFour) {
    struct Field {
        int shift;
        int bits;
    };
    for (Field field : {Field{11, 5}, Field{5, 6}, Field{0, 5}}) {
        const int max = (1 << field.bits) - 1;
        for (int s = 0; s <= max; ++s) {
            if (field.shift == 5 && (s & 1))
                continue; // marked pixels are copied, not mixed
            for (int d = 0; d <= max; ++d) {
                const Pixel sp = Pixel(s << field.shift);
                const Pixel dp = Pixel(d << field.shift);
                if (((reference_alpha(sp, dp, 2) >> field.shift) & max) < s)
                    continue; // level 2 carried over
                Pixel out[3] = {dp, dp, dp};
                const Pixel in[3] = {sp, sp, sp};
                rows::alpha(&out[0], &in[0], 1, 2);
                rows::alpha(&out[1], &in[1], 1, 3);
                rows::alpha(&out[2], &in[2], 1, 4);
                const int l2 = out[0] >> field.shift;
                const int l3 = out[1] >> field.shift;
                const int l4 = out[2] >> field.shift;
                ASSERT_EQ(out[1] & ~(max << field.shift), 0) << "no carry at level 3";
                ASSERT_GE(l3, std::min(l2, l4)) << "s " << s << " d " << d;
                ASSERT_LE(l3, std::max(l2, l4)) << "s " << s << " d " << d;
            }
        }
    }
}

TEST(PixelRows, MaskEndPointsGiveSourceOrDestination) {
    for (rows::Path path : paths()) {
        std::vector<Pixel> src(19, 0xA514), white(19, 0xFFFF), black(19, 0x0000);
        std::vector<Pixel> dst(19, 0x39C7);
        rows::mask(dst.data(), src.data(), white.data(), 19, path);
        EXPECT_EQ(dst, src);
        std::vector<Pixel> kept(19, 0x39C7);
        rows::mask(kept.data(), src.data(), black.data(), 19, path);
        EXPECT_EQ(kept, std::vector<Pixel>(19, 0x39C7));
        // Half grey (green 32) mixes halfway: red 20 over red 7 gives 13.
        std::vector<Pixel> grey(19, Pixel(32 << 5));
        std::vector<Pixel> mixed(19, Pixel(7 << 11));
        const std::vector<Pixel> red(19, Pixel(20 << 11));
        rows::mask(mixed.data(), red.data(), grey.data(), 19, path);
        EXPECT_EQ(mixed[18], Pixel(13 << 11));
    }
}
