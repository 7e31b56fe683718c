// 16-bit BMP decoding and picture loading. The files come with skins that
// anyone can replace, so every header field is checked before it is used.
#include "ui/picture.h"

#include "platform/atomic_file.h"
#include "platform/text.h"
#include "runtime/log.h"

#include <climits>
#include <cstring>
#include <vector>

namespace telvara::ui {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
// A maximal picture with row padding and generous headers fits well below this.
constexpr std::size_t kMaxFileSize = std::size_t(kMaxPicturePixels) * 2 + (std::size_t(1) << 24);

std::uint32_t read_u32(std::span<const std::byte> data, std::size_t at) {
    return std::uint32_t(data[at]) | (std::uint32_t(data[at + 1]) << 8) |
           (std::uint32_t(data[at + 2]) << 16) | (std::uint32_t(data[at + 3]) << 24);
}

std::int32_t read_i32(std::span<const std::byte> data, std::size_t at) {
    return static_cast<std::int32_t>(read_u32(data, at));
}

std::uint16_t read_u16(std::span<const std::byte> data, std::size_t at) {
    return std::uint16_t(std::uint32_t(data[at]) | (std::uint32_t(data[at + 1]) << 8));
}

// Only a regular file of at most kMaxFileSize bytes: a FIFO or device named
// like a picture must not block or flood the skin's loading.
std::optional<std::vector<std::byte>> read_file(const std::string& name, std::string& why) {
    const auto text = platform::read_whole_file(name, kMaxFileSize, &why);
    if (!text)
        return std::nullopt;
    const auto* begin = reinterpret_cast<const std::byte*>(text->data());
    return std::vector<std::byte>(begin, begin + text->size());
}

} // namespace

std::optional<PixelBuffer> decode_bmp565(std::span<const std::byte> file) {
    if (file.size() < kHeadersSize)
        return std::nullopt;
    if (file[0] != std::byte{'B'} || file[1] != std::byte{'M'})
        return std::nullopt;
    const std::uint32_t pixel_offset = read_u32(file, 10);
    const std::uint32_t info_size = read_u32(file, kFileHeaderSize);
    const std::int32_t width = read_i32(file, kFileHeaderSize + 4);
    const std::int32_t raw_height = read_i32(file, kFileHeaderSize + 8);
    const std::uint16_t bit_count = read_u16(file, kFileHeaderSize + 14);

    // Older core headers place width and height differently; refuse them.
    if (info_size < kInfoHeaderSize || bit_count != 16)
        return std::nullopt;
    if (width < 1 || raw_height == 0 || raw_height == INT_MIN)
        return std::nullopt;
    const bool top_down = raw_height < 0;
    const std::int32_t height = top_down ? -raw_height : raw_height;
    if (std::int64_t(width) * height > kMaxPicturePixels)
        return std::nullopt;

    // Rows are padded to 4 bytes in the file; the last one may lack its padding.
    const std::uint64_t file_stride = (std::uint64_t(16) * width + 31) / 32 * 4;
    const std::uint64_t row_bytes = std::uint64_t(width) * 2;
    const std::uint64_t needed =
        std::uint64_t(pixel_offset) + file_stride * (height - 1) + row_bytes;
    if (pixel_offset < kHeadersSize || needed > file.size())
        return std::nullopt;

    PixelBuffer buffer(width, height);
    for (std::int32_t i = 0; i < height; ++i) {
        const std::int32_t y = top_down ? i : height - 1 - i;
        const std::byte* source = file.data() + pixel_offset + file_stride * std::uint64_t(i);
        // Little-endian 16-bit words, which is also the in-memory pixel order here.
        Pixel* target = buffer.row(y);
        for (std::int32_t x = 0; x < width; ++x)
            target[x] =
                Pixel(std::uint32_t(source[2 * x]) | (std::uint32_t(source[2 * x + 1]) << 8));
    }
    return buffer;
}

Picture load_picture(const std::string& path) {
    std::optional<PixelBuffer> pixels;
    std::string why;
    if (auto bytes = read_file(path + ".bmp", why))
        pixels = decode_bmp565(*bytes);
    if (!pixels) {
        runtime::log() << u"load_565 " << from_utf8(path) << u" is not 16bit bitmap"
                       << (why.empty() ? WString() : u" (" + from_utf8(why) + u")") << u"\n";
        return {};
    }
    Picture picture;
    picture.width = pixels->width();
    picture.height = pixels->height();
    picture.points = {Point{0, 0}, Point{0, 0}, Point{picture.width, picture.height},
                      Point{picture.width, picture.height}};
    picture.data = std::make_shared<const PictureData>(PictureData{path, std::move(*pixels)});
    return picture;
}

} // namespace telvara::ui
