#pragma once
// Writes a 5-6-5 frame as an 8-bit RGB PNG file, for screenshots of headless
// runs. Each channel is widened by repeating its top bits, so white stays
// white and black stays black.

#include "display/display.h"

#include <string>

namespace telvara::display {

// False (and no file left behind) when the frame is empty or the file cannot
// be written.
bool write_png(const std::string& path, const Frame565& frame);

// The 8-bit red, green and blue of a 5-6-5 pixel, as write_png stores them.
struct Rgb8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};
Rgb8 widen_565(std::uint16_t pixel);

} // namespace telvara::display
