#pragma once
// Pictures: 16-bit BMP files decoded once and shared by every reference, and
// the three-slice drawing of a picture reference into a rectangle.

#include "ui/geometry.h"
#include "ui/pixel_buffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace telvara::ui {

class Blender;
class RenderSurface;

// One decoded file; freed with the last picture that refers to it.
struct PictureData {
    std::string path; // as loaded, without ".bmp"
    PixelBuffer pixels;
};

// A picture reference: the source rectangle (x0, y0)-(x3, y3) cut in three
// on each axis by (x1, y1) and (x2, y2), already scaled by scale_shift.
struct Picture {
    std::array<Point, 4> points{};
    std::shared_ptr<const PictureData> data;
    std::uint32_t scale_shift = 0;
    std::uint8_t flags = 0;
    std::int32_t width = 0; // 0 x 0 when the file failed to load
    std::int32_t height = 0;

    bool has_data() const { return data != nullptr; }
};

// Largest picture accepted, in pixels: a skin file anyone can replace must not
// make us allocate without bound.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t(16) << 20;

// Decodes a 16-bit BMP file held in memory, bottom-up or top-down rows, the
// pixels taken as 5-6-5 whatever the compression field and colour masks say.
// Nothing for any other bit count, a truncated or inconsistent file, or a size
// beyond kMaxPicturePixels.
std::optional<PixelBuffer> decode_bmp565(std::span<const std::byte> file);

// Loads path + ".bmp" (a file system path, UTF-8). The points cover the whole
// picture with the middle part spanning it. A failure logs
// "load_565 " + path + " is not 16bit bitmap\n" and returns the empty picture.
Picture load_picture(const std::string& path);

// Three-slice drawing of the picture reference into the rectangle at
// `origin` of `size`, clipped to the surface's clip rectangle.
void draw_picture(RenderSurface& surface, Point origin, Size size, const Picture& picture,
                  const Blender& blender);

} // namespace telvara::ui
