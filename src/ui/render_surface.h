#pragma once
// A 16-bit 5-6-5 pixel buffer with a clip rectangle and clip nesting: the
// back buffer and every node's cache surface. Also counts the pixels of all
// surfaces of the process.

#include "ui/colour.h"
#include "ui/geometry.h"
#include "ui/pixel_buffer.h"

#include <cstdint>

namespace telvara::ui {

// The clip rectangle in effect before a push; handed back to pop.
struct [[nodiscard]] ClipToken {
    Rect previous;
};

class RenderSurface {
  public:
    RenderSurface() = default;
    ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // Bytes per row; rows start on 4-byte boundaries.
    std::int32_t pitch() const { return m_pitch; }
    bool empty() const { return m_width == 0; }
    Rect bounds() const { return {0, 0, m_width, m_height}; }

    Pixel* row(std::int32_t y) {
        return reinterpret_cast<Pixel*>(reinterpret_cast<std::uint8_t*>(m_pixels) +
                                        std::ptrdiff_t(y) * m_pitch);
    }
    const Pixel* row(std::int32_t y) const {
        return reinterpret_cast<const Pixel*>(reinterpret_cast<const std::uint8_t*>(m_pixels) +
                                              std::ptrdiff_t(y) * m_pitch);
    }

    // Replaces the buffer with a black one of the new size and resets the
    // clip; false (buffer kept) when the size is already this one. Sizes
    // below 1 make the surface empty.
    bool resize(std::int32_t width, std::int32_t height);
    // Takes over an existing buffer (the display layer's back buffer).
    void attach(PixelBuffer buffer);
    // Gives the buffer away and leaves the surface empty.
    PixelBuffer release();
    // All three end the process while a clip narrowing is in effect.

    const Rect& clip() const { return m_clip; }
    std::uint32_t clip_depth() const { return m_clip_depth; }
    // Narrows the clip rectangle to its intersection with `rect`.
    ClipToken push(const Rect& rect);
    // Restores the rectangle in effect before the matching push.
    void pop(ClipToken token);

    // Pixels (width x height) of all surfaces alive in the process.
    static std::int64_t total_pixels();

  private:
    void replace(PixelBuffer buffer);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::int32_t m_pitch = 0;
    Pixel* m_pixels = nullptr;
    Rect m_clip;
    std::uint32_t m_clip_depth = 0;
    PixelBuffer m_buffer;
};

// Push on construction, pop on destruction.
class ClipScope {
  public:
    ClipScope(RenderSurface& surface, const Rect& rect)
        : m_surface(surface), m_token(surface.push(rect)) {}
    ~ClipScope() { m_surface.pop(m_token); }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

  private:
    RenderSurface& m_surface;
    ClipToken m_token;
};

} // namespace telvara::ui
