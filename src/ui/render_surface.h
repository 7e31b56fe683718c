#pragma once
// A 16-bit 5-6-5 pixel buffer with a clip rectangle and clip nesting: the
// back buffer and every node's cache surface.

#include <cstdint>
#include <vector>

namespace telvara::ui {

using Pixel = std::uint16_t;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0; // exclusive
    std::int32_t bottom = 0; // exclusive

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    bool is_empty() const { return right <= left || bottom <= top; }
};

class RenderSurface {
public:
    RenderSurface() = default;

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // Bytes per row; rows start on 4-byte boundaries.
    std::int32_t pitch() const { return m_pitch; }

    Pixel* row(std::int32_t y) {
        return reinterpret_cast<Pixel*>(reinterpret_cast<std::uint8_t*>(m_pixels) + y * m_pitch);
    }
    const Pixel* row(std::int32_t y) const {
        return reinterpret_cast<const Pixel*>(reinterpret_cast<const std::uint8_t*>(m_pixels) +
                                              y * m_pitch);
    }

    const Rect& clip() const { return m_clip; }

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_pitch = 0;
    Pixel* m_pixels = nullptr;
    Rect m_clip;
};

} // namespace telvara::ui
