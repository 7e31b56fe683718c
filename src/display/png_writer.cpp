// PNG output through libpng, with its error jumps kept inside this file.
#include "display/png_writer.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace telvara::display {

Rgb8 widen_565(std::uint16_t pixel) {
    const unsigned r = (pixel >> 11) & 0x1F;
    const unsigned g = (pixel >> 5) & 0x3F;
    const unsigned b = pixel & 0x1F;
    return {std::uint8_t((r << 3) | (r >> 2)), std::uint8_t((g << 2) | (g >> 4)),
            std::uint8_t((b << 3) | (b >> 2))};
}

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The part that may longjmp: no objects with destructors live in it.
bool encode(std::FILE* file, const Frame565& frame, std::vector<png_byte>& row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(frame.width), png_uint_32(frame.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < frame.height; ++y) {
        const std::uint16_t* source = frame.row(y);
        for (std::int32_t x = 0; x < frame.width; ++x) {
            const Rgb8 rgb = widen_565(source[x]);
            row[std::size_t(x) * 3] = rgb.red;
            row[std::size_t(x) * 3 + 1] = rgb.green;
            row[std::size_t(x) * 3 + 2] = rgb.blue;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool write_png(const std::string& path, const Frame565& frame) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0)
        return false;
    std::vector<png_byte> row(std::size_t(frame.width) * 3);
    bool ok = false;
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
        if (!file)
            return false;
        ok = encode(file.get(), frame, row) && std::fflush(file.get()) == 0;
    }
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

} // namespace telvara::display
