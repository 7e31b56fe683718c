// Every row kernel, on every path this machine runs, bit for bit against a
// plain per-pixel reference.
#include "ui/blender.h"
#include "ui/pixel_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace telvara::ui;
namespace rows = telvara::ui::pixel_rows;

namespace {

// One 5/6/5 field of both pixels through `f`, put back in place.
template <class F> Pixel per_field(Pixel s, Pixel d, F f) {
    Pixel out = 0;
    for (const auto& [shift, bits] : {std::pair{11, 5}, std::pair{5, 6}, std::pair{0, 5}}) {
        const int mask = (1 << bits) - 1;
        out |= Pixel(f((s >> shift) & mask, (d >> shift) & mask) << shift);
    }
    return out;
}

Pixel reference_alpha(Pixel s, Pixel d, int level) {
    if (s == kKeyColour)
        return d;
    if ((s & 0x20) || level == 0)
        return s;
    const Pixel two = Pixel(s + ((d & 0xF7DF) >> 1));
    switch (level) {
    case 1:
        return Pixel(s + ((d & 0xE79F) >> 2));
    case 2:
        return two;
    case 3: // the truncated average of level 2 and the destination
        return per_field(two, d, [](int a, int b) { return (a + b) / 2; });
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
    return per_field(s, d, [w](int a, int b) { return (a * w + b * (64 - w)) / 64; });
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

// Every path this machine runs.
std::vector<rows::Path> paths() {
    std::vector<rows::Path> out;
    for (rows::Path path : {rows::Path::Plain, rows::Path::Sse2, rows::Path::Avx2})
        if (rows::path_available(path))
            out.push_back(path);
#if defined(__x86_64__)
    EXPECT_TRUE(rows::path_available(rows::Path::Sse2)) << "vector paths are built on x86";
#endif
    EXPECT_TRUE(rows::path_available(rows::Path::Plain));
    return out;
}

} // namespace

TEST(PixelRows, FillWritesExactlyTheSpanAtEveryAlignment) {
    for (rows::Path path : paths())
        for (std::int32_t width = 0; width <= 67; ++width)
            for (int offset = 0; offset < 2; ++offset) {
                std::vector<Pixel> row(80, 0x1111);
                rows::fill(row.data() + offset, width, 0xBEEF, path);
                for (int i = 0; i < 80; ++i)
                    ASSERT_EQ(row[std::size_t(i)],
                              i >= offset && i < offset + width ? 0xBEEF : 0x1111)
                        << "width " << width << " offset " << offset << " at " << i;
            }
}

// Kernel -1 is the key blit, 0..4 the alpha levels, 5 the mask.
TEST(PixelRows, BlendersMatchThePerPixelReference) {
    std::mt19937 random(7);
    for (rows::Path path : paths())
        for (std::int32_t width = 1; width <= 67; ++width)
            for (int src_offset = 0; src_offset < 2; ++src_offset)
                for (int dst_offset = 0; dst_offset < 2; ++dst_offset) {
                    const auto src = random_row(random, 70);
                    const auto dst = random_row(random, 70);
                    const auto mask = random_row(random, 70);
                    const Pixel* s = src.data() + src_offset;
                    const Pixel* m = mask.data() + dst_offset;
                    for (int kernel = -1; kernel <= 5; ++kernel) {
                        std::vector<Pixel> got = dst, want = dst;
                        Pixel* g = got.data() + dst_offset;
                        Pixel* w = want.data() + dst_offset;
                        if (kernel == -1)
                            rows::key(g, s, width, path);
                        else if (kernel == 5)
                            rows::mask(g, s, m, width, path);
                        else
                            rows::alpha(g, s, width, kernel, path);
                        for (int i = 0; i < width; ++i)
                            w[i] = kernel == -1  ? (s[i] == kKeyColour ? w[i] : s[i])
                                   : kernel == 5 ? reference_mask(s[i], w[i], m[i])
                                                 : reference_alpha(s[i], w[i], kernel);
                        ASSERT_EQ(got, want)
                            << "kernel " << kernel << " width " << width << " offsets "
                            << src_offset << "/" << dst_offset << " path " << int(path);
                    }
                }
}

TEST(PixelRows, AlphaLevelsFromAlphaValues) {
    const std::pair<std::int64_t, int> rows[] = {{0, 0},   {63, 0},  {64, 1},         {191, 2},
                                                 {255, 3}, {256, 4}, {0xFFFFFFFE, 4}, {-1, 0}};
    for (const auto& [alpha, level] : rows)
        EXPECT_EQ(AlphaBlender::level_for(alpha), level) << alpha;
}

TEST(PixelRows, AlphaAndMaskEndPoints) {
    for (rows::Path path : paths()) {
        const Pixel src[3] = {kKeyColour, 0x0020 | 0x8000, 0x4010};
        for (int level = 0; level <= 4; ++level) {
            Pixel dst[3] = {0x1234, 0x1234, 0x07C0};
            rows::alpha(dst, src, 3, level, path);
            EXPECT_EQ(dst[0], 0x1234) << "key colour never shows, level " << level;
            EXPECT_EQ(dst[1], 0x8020) << "marked pixels always show, level " << level;
            if (level == 0 || level == 4) {
                EXPECT_EQ(dst[2], level == 0 ? 0x4010 : 0x07C0) << "level 0 copies, 4 keeps";
            }
        }
        const std::vector<Pixel> src_row(19, 0xA514), red(19, Pixel(20 << 11));
        const struct {
            Pixel mask, destination, result;
        } masks[] = {{0xFFFF, 0x39C7, 0xA514},
                     {0x0000, 0x39C7, 0x39C7},
                     {Pixel(32 << 5), Pixel(7 << 11), Pixel(13 << 11)}}; // red 20 over 7, halfway
        for (const auto& m : masks) {
            std::vector<Pixel> dst(19, m.destination);
            const std::vector<Pixel> mask(19, m.mask);
            rows::mask(dst.data(), (m.mask == Pixel(32 << 5) ? red : src_row).data(), mask.data(),
                       19, path);
            EXPECT_EQ(dst, std::vector<Pixel>(19, m.result)) << m.mask;
        }
    }
}

// Level 3 lies between level 2 and level 4 in every channel, wherever level 2
// itself does not carry into the next field.
TEST(PixelRows, LevelThreeLiesBetweenLevelsTwoAndFour) {
    for (const auto& [shift, bits] : {std::pair{11, 5}, std::pair{5, 6}, std::pair{0, 5}}) {
        const int max = (1 << bits) - 1;
        for (int s = 0; s <= max; ++s) {
            if (shift == 5 && (s & 1))
                continue; // marked pixels are copied, not mixed
            for (int d = 0; d <= max; ++d) {
                const Pixel sp = Pixel(s << shift), dp = Pixel(d << shift);
                if (((reference_alpha(sp, dp, 2) >> shift) & max) < s)
                    continue; // level 2 carried over
                Pixel out[3] = {dp, dp, dp};
                for (int level = 2; level <= 4; ++level)
                    rows::alpha(&out[level - 2], &sp, 1, level);
                ASSERT_EQ(out[1] & ~(max << shift), 0) << "no carry at level 3";
                const int l2 = out[0] >> shift, l3 = out[1] >> shift, l4 = out[2] >> shift;
                ASSERT_GE(l3, std::min(l2, l4)) << "s " << s << " d " << d;
                ASSERT_LE(l3, std::max(l2, l4)) << "s " << s << " d " << d;
            }
        }
    }
}
