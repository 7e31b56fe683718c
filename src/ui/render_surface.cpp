// Surface buffer replacement, clip nesting and the process-wide pixel count.
#include "ui/render_surface.h"

#include "runtime/fatal_error.h"

#include <atomic>
#include <utility>

namespace telvara::ui {

namespace {
// Surfaces are created on the start-up worker as well as the UI thread.
std::atomic<std::int64_t> g_total_pixels{0};

std::int64_t area(const PixelBuffer& buffer) {
    return std::int64_t(buffer.width()) * buffer.height();
}
} // namespace

RenderSurface::~RenderSurface() {
    g_total_pixels -= area(m_buffer);
}

void RenderSurface::replace(PixelBuffer buffer) {
    // A clip rectangle in effect refers to the old size; dropping it silently
    // would let the matching pop restore a rectangle outside the new buffer.
    if (m_clip_depth != 0)
        runtime::fatal_error(u"RenderSurface::recreate", u"Clip is in effect, cannot resize");
    g_total_pixels += area(buffer) - area(m_buffer);
    m_buffer = std::move(buffer);
    m_width = m_buffer.width();
    m_height = m_buffer.height();
    m_pitch = m_buffer.pitch();
    m_pixels = m_buffer.pixels();
    m_clip = bounds();
}

bool RenderSurface::resize(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1)
        width = height = 0;
    if (m_clip_depth != 0)
        runtime::fatal_error(u"RenderSurface::recreate", u"Clip is in effect, cannot resize");
    if (width == m_width && height == m_height)
        return false;
    replace(PixelBuffer(width, height));
    return true;
}

void RenderSurface::attach(PixelBuffer buffer) {
    replace(std::move(buffer));
}

PixelBuffer RenderSurface::release() {
    if (m_clip_depth != 0)
        runtime::fatal_error(u"RenderSurface::recreate", u"Clip is in effect, cannot resize");
    PixelBuffer released = std::move(m_buffer);
    replace(PixelBuffer());
    g_total_pixels -= area(released);
    return released;
}

ClipToken RenderSurface::push(const Rect& rect) {
    ClipToken token{m_clip};
    m_clip = m_clip.intersect(rect);
    ++m_clip_depth;
    return token;
}

void RenderSurface::pop(ClipToken token) {
    if (m_clip_depth == 0)
        runtime::fatal_error(u"RenderSurface::pop", u"No clip in effect");
    m_clip = token.previous;
    --m_clip_depth;
}

std::int64_t RenderSurface::total_pixels() {
    return g_total_pixels.load();
}

} // namespace telvara::ui
