#pragma once
// An owned block of 5-6-5 pixels: width, height and rows padded to 4 bytes.
// Surfaces draw into one; pictures keep their decoded file in one.

#include "ui/colour.h"

#include <cstdint>
#include <memory>

namespace telvara::ui {

class PixelBuffer {
  public:
    PixelBuffer() = default;
    // Zero-filled (black). A width or height below 1 gives the empty buffer.
    PixelBuffer(std::int32_t width, std::int32_t height);

    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    // (width x 2 + 3) rounded down to a multiple of 4.
    static std::int32_t pitch_for(std::int32_t width) { return (width * 2 + 3) & ~3; }

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::int32_t pitch() const { return m_pitch; }
    bool empty() const { return m_width == 0; }

    Pixel* pixels() { return reinterpret_cast<Pixel*>(m_words.get()); }
    const Pixel* pixels() const { return reinterpret_cast<const Pixel*>(m_words.get()); }

    Pixel* row(std::int32_t y) {
        return reinterpret_cast<Pixel*>(reinterpret_cast<std::uint8_t*>(m_words.get()) +
                                        std::ptrdiff_t(y) * m_pitch);
    }
    const Pixel* row(std::int32_t y) const {
        return reinterpret_cast<const Pixel*>(reinterpret_cast<const std::uint8_t*>(m_words.get()) +
                                              std::ptrdiff_t(y) * m_pitch);
    }

  private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_pitch = 0;
    // Words keep every row start on a 4-byte boundary.
    std::unique_ptr<std::uint32_t[]> m_words;
};

} // namespace telvara::ui
