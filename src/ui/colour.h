#pragma once
// Colours as the skin states them and their 16-bit 5-6-5 pixel form.

#include <cstdint>

namespace telvara::ui {

using Pixel = std::uint16_t;

// Red 255, green 0, blue 255: pixels of this value are transparent wherever a
// blender copies pixels, so 16-bit pictures need no alpha channel.
inline constexpr Pixel kKeyColour = 0xF81F;

struct Colour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    friend bool operator==(const Colour&, const Colour&) = default;
};

// Truncates each channel to its field: red in bits 15-11, green 10-5, blue 4-0.
constexpr Pixel to_565(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<Pixel>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
}

constexpr Pixel to_565(const Colour& colour) {
    return to_565(colour.red, colour.green, colour.blue);
}

} // namespace telvara::ui
