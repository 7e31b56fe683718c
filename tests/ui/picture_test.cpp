// 16-bit BMP decoding and loading, well-formed and malformed.
#include "ui/picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <vector>

using namespace telvara::ui;

namespace {

void put32(std::vector<std::byte>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + std::size_t(i)] = std::byte(value >> (8 * i));
}

// A BMP file of `rows` (top row first) stored bottom-up or top-down.
std::vector<std::byte> make_bmp(const std::vector<std::vector<Pixel>>& rows, bool top_down,
                                std::uint16_t bits = 16) {
    const std::int32_t width = std::int32_t(rows[0].size());
    const std::int32_t height = std::int32_t(rows.size());
    const std::size_t stride = std::size_t((16 * width + 31) / 32 * 4);
    std::vector<std::byte> out(54 + stride * std::size_t(height));
    out[0] = std::byte{'B'};
    out[1] = std::byte{'M'};
    put32(out, 2, std::uint32_t(out.size()));
    put32(out, 10, 54);
    put32(out, 14, 40);
    put32(out, 18, std::uint32_t(width));
    put32(out, 22, std::uint32_t(top_down ? -height : height));
    out[26] = std::byte{1};
    out[28] = std::byte(bits);
    for (std::int32_t i = 0; i < height; ++i) {
        const auto& row = rows[std::size_t(top_down ? i : height - 1 - i)];
        for (std::int32_t x = 0; x < width; ++x) {
            out[54 + stride * std::size_t(i) + std::size_t(2 * x)] = std::byte(row[std::size_t(x)]);
            out[55 + stride * std::size_t(i) + std::size_t(2 * x)] =
                std::byte(row[std::size_t(x)] >> 8);
        }
    }
    return out;
}

const std::vector<std::vector<Pixel>> kRows = {
    {0x0001, 0x0002, 0x0003},
    {0x1001, 0x1002, 0x1003},
};

void expect_rows(const PixelBuffer& buffer, const std::vector<std::vector<Pixel>>& rows) {
    ASSERT_EQ(buffer.height(), std::int32_t(rows.size()));
    ASSERT_EQ(buffer.width(), std::int32_t(rows[0].size()));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            EXPECT_EQ(buffer.row(std::int32_t(y))[x], rows[y][x]) << x << "," << y;
}

class TempDir {
  public:
    TempDir() {
        m_path = std::filesystem::temp_directory_path() /
                 ("telvara_picture_" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string write(const std::string& name, const std::vector<std::byte>& bytes) const {
        const auto file = m_path / (name + ".bmp");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (m_path / name).string();
    }

  private:
    std::filesystem::path m_path;
};

} // namespace

TEST(Bmp, BottomUpAndTopDownGiveTheSamePicture) {
    auto bottom_up = decode_bmp565(make_bmp(kRows, false));
    ASSERT_TRUE(bottom_up);
    expect_rows(*bottom_up, kRows);
    auto top_down = decode_bmp565(make_bmp(kRows, true));
    ASSERT_TRUE(top_down);
    expect_rows(*top_down, kRows);
}

TEST(Bmp, PositiveHeightPutsTheLastFileRowOnTop) {
    const auto file = make_bmp(kRows, false);
    // The first stored row (file offset 54) is the bottom one.
    EXPECT_EQ(file[54], std::byte{0x01});
    EXPECT_EQ(file[55], std::byte{0x10});
    EXPECT_EQ(decode_bmp565(file)->row(1)[0], 0x1001);
}

TEST(Bmp, LastRowMayLackItsPadding) {
    auto file = make_bmp(kRows, true);
    file.resize(file.size() - 2); // width 3: 6 bytes of pixels, 2 of padding
    ASSERT_TRUE(decode_bmp565(file));
    file.resize(file.size() - 1);
    EXPECT_FALSE(decode_bmp565(file)) << "one pixel byte short";
}

TEST(Bmp, RejectsEveryMalformedHeader) {
    const auto good = make_bmp(kRows, false);
    auto with = [&](std::size_t at, std::uint32_t value) {
        auto file = good;
        put32(file, at, value);
        return file;
    };
    EXPECT_FALSE(decode_bmp565(make_bmp(kRows, false, 24))) << "not 16 bits";
    EXPECT_FALSE(decode_bmp565(make_bmp(kRows, false, 8)));
    EXPECT_FALSE(decode_bmp565(std::span(good).first(53))) << "truncated header";
    EXPECT_FALSE(decode_bmp565({})) << "empty file";
    auto no_magic = good;
    no_magic[0] = std::byte{'X'};
    EXPECT_FALSE(decode_bmp565(no_magic));
    EXPECT_FALSE(decode_bmp565(with(14, 12))) << "core header";
    EXPECT_FALSE(decode_bmp565(with(18, 0))) << "zero width";
    EXPECT_FALSE(decode_bmp565(with(18, std::uint32_t(-3)))) << "negative width";
    EXPECT_FALSE(decode_bmp565(with(18, 0x7FFFFFFF))) << "huge width";
    EXPECT_FALSE(decode_bmp565(with(22, 0))) << "zero height";
    EXPECT_FALSE(decode_bmp565(with(22, std::uint32_t(INT_MIN)))) << "height INT_MIN";
    EXPECT_FALSE(decode_bmp565(with(22, 5000))) << "rows beyond the data";
    EXPECT_FALSE(decode_bmp565(with(18, 5000))) << "row wider than the data";
    EXPECT_FALSE(decode_bmp565(with(10, 0xFFFFFFF0))) << "pixel offset beyond the file";
    EXPECT_FALSE(decode_bmp565(with(10, 20))) << "pixel offset inside the headers";
    // Within the pixel cap by count but the file does not hold them.
    auto big = with(18, 4096);
    put32(big, 22, 4096);
    EXPECT_FALSE(decode_bmp565(big));
    auto over_cap = with(18, 8192);
    put32(over_cap, 22, std::uint32_t(-4096));
    EXPECT_FALSE(decode_bmp565(over_cap)) << "beyond the pixel cap";
}

TEST(Bmp, IgnoresCompressionAndMasks) {
    auto file = make_bmp(kRows, false);
    put32(file, 30, 3); // BI_BITFIELDS
    auto decoded = decode_bmp565(file);
    ASSERT_TRUE(decoded);
    expect_rows(*decoded, kRows);
}

TEST(LoadPicture, AppendsBmpAndSharesTheDecodedPixels) {
    TempDir dir;
    const std::string path = dir.write("button", make_bmp(kRows, false));
    const Picture picture = load_picture(path);
    ASSERT_TRUE(picture.has_data());
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.data->path, path);
    EXPECT_EQ(picture.points[0].x, 0);
    EXPECT_EQ(picture.points[3].x, 3);
    EXPECT_EQ(picture.points[3].y, 2);
    expect_rows(picture.data->pixels, kRows);
    const Picture copy = picture;
    EXPECT_EQ(copy.data.use_count(), 2);
}

TEST(LoadPicture, FailuresGiveTheEmptyPicture) {
    TempDir dir;
    const std::string wrong_depth = dir.write("deep", make_bmp(kRows, false, 32));
    auto truncated_bytes = make_bmp(kRows, false);
    truncated_bytes.resize(60);
    const std::string truncated = dir.write("cut", truncated_bytes);
    // Named like pictures, but no files: neither may block or pour in.
    const std::string fifo = dir.write("fifo", {});
    std::filesystem::remove(fifo + ".bmp");
    ASSERT_EQ(::mkfifo((fifo + ".bmp").c_str(), 0600), 0);
    const std::string zero = dir.write("zero", {});
    std::filesystem::remove(zero + ".bmp");
    std::filesystem::create_symlink("/dev/zero", zero + ".bmp");
    for (const std::string& path : {wrong_depth, truncated, wrong_depth + "_missing", fifo, zero}) {
        const Picture picture = load_picture(path);
        EXPECT_FALSE(picture.has_data()) << path;
        EXPECT_EQ(picture.width, 0);
        EXPECT_EQ(picture.height, 0);
    }
}
