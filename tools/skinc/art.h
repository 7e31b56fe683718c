#pragma once
// Skin art: reading PNG and rasterising SVG sources into 8-bit RGBA, and
// turning RGBA into 16-bit 5-6-5 pictures (key colour, mask or backdrop for
// transparency, ordered dithering) written as BMP files the program reads.

#include "skinc/xml_reader.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace telvara::skinc {

class ArtError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Straight (not premultiplied) 8-bit RGBA, rows top-down.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba; // width * height * 4

    const std::uint8_t* at(int x, int y) const {
        return rgba.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
    }
};

// 5-6-5 pixels, rows top-down.
struct Image565 {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;
};

RgbaImage read_png(const std::string& file);
// Writes RGBA as PNG (tests use it to make sources).
void write_png(const std::string& file, const RgbaImage& image);

// The size an SVG file declares (width and height in px or plain numbers,
// else its viewBox), rounded up to whole pixels.
struct ArtSize {
    int width = 0;
    int height = 0;
};
ArtSize svg_size(const std::string& file);

// Renders the SVG at exactly width x height through rsvg-convert (`program`
// is looked up on PATH when it has no slash).
RgbaImage rasterise_svg(const std::string& file, int width, int height,
                        const std::string& program = "rsvg-convert");

// Each pixel becomes a factor x factor block.
RgbaImage scale_up(const RgbaImage& image, int factor);

struct ConvertedPicture {
    Image565 colour;
    std::optional<Image565> mask; // with Transparency::Mask: grey alpha
};

// Applies the picture's transparency rule and dithering.
ConvertedPicture convert_picture(const RgbaImage& image, const PictureSettings& settings);

// A 16-bit BMP with BI_BITFIELDS 5-6-5 masks, rows bottom-up.
std::vector<std::uint8_t> encode_bmp565(const Image565& image);
void write_file(const std::string& file, const std::vector<std::uint8_t>& bytes);

} // namespace telvara::skinc
