// 16-bit BMP decoding and loading, well-formed and malformed.
#include "ui/picture.h"

#include "skin_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <sys/stat.h>

using namespace telvara::ui;
using telvara::ui::test::bmp_bytes;
using telvara::ui::test::PixelRows;
using Bytes = std::vector<std::uint8_t>;

namespace {

const PixelRows kRows = {{0x0001, 0x0002, 0x0003}, {0x1001, 0x1002, 0x1003}};

std::optional<PixelBuffer> decode(const Bytes& file) {
    return decode_bmp565(std::as_bytes(std::span(file)));
}

PixelRows rows_of(const PixelBuffer& buffer) {
    PixelRows rows;
    for (std::int32_t y = 0; y < buffer.height(); ++y)
        rows.emplace_back(buffer.row(y), buffer.row(y) + buffer.width());
    return rows;
}

Bytes with(Bytes file, std::size_t at, std::uint32_t value, std::size_t at2 = 0,
           std::uint32_t value2 = 0) {
    for (int i = 0; i < 4; ++i) {
        file[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
        if (at2)
            file[at2 + std::size_t(i)] = std::uint8_t(value2 >> (8 * i));
    }
    return file;
}

} // namespace

TEST(Bmp, BottomUpAndTopDownGiveTheSamePicture) {
    const Bytes bottom_up = bmp_bytes(kRows);
    EXPECT_EQ(bottom_up[54], 0x01) << "the first stored row is the bottom one";
    EXPECT_EQ(bottom_up[55], 0x10);
    for (const Bytes& file : {bottom_up, bmp_bytes(kRows, 16, true), with(bottom_up, 30, 3)}) {
        auto decoded = decode(file); // compression and masks (30: BI_BITFIELDS) are ignored
        ASSERT_TRUE(decoded);
        EXPECT_EQ(rows_of(*decoded), kRows);
    }
    Bytes short_padding = bmp_bytes(kRows, 16, true);
    short_padding.resize(short_padding.size() - 2); // width 3: 6 bytes of pixels, 2 of padding
    EXPECT_TRUE(decode(short_padding)) << "the last row may lack its padding";
    short_padding.pop_back();
    EXPECT_FALSE(decode(short_padding)) << "one pixel byte short";
}

TEST(Bmp, RejectsEveryMalformedHeader) {
    const Bytes good = bmp_bytes(kRows);
    Bytes no_magic = good;
    no_magic[0] = 'X';
    const struct {
        Bytes file;
        const char* what;
    } cases[] = {
        {bmp_bytes(kRows, 24), "not 16 bits"},
        {bmp_bytes(kRows, 8), "8 bits"},
        {Bytes(good.begin(), good.begin() + 53), "truncated header"},
        {Bytes{}, "empty file"},
        {no_magic, "no magic"},
        {with(good, 14, 12), "core header"},
        {with(good, 18, 0), "zero width"},
        {with(good, 18, std::uint32_t(-3)), "negative width"},
        {with(good, 18, 0x7FFFFFFF), "huge width"},
        {with(good, 22, 0), "zero height"},
        {with(good, 22, std::uint32_t(INT_MIN)), "height INT_MIN"},
        {with(good, 22, 5000), "rows beyond the data"},
        {with(good, 18, 5000), "row wider than the data"},
        {with(good, 10, 0xFFFFFFF0), "pixel offset beyond the file"},
        {with(good, 10, 20), "pixel offset inside the headers"},
        {with(good, 18, 4096, 22, 4096), "within the pixel cap but not in the file"},
        {with(good, 18, 8192, 22, std::uint32_t(-4096)), "beyond the pixel cap"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(decode(c.file)) << c.what;
}
