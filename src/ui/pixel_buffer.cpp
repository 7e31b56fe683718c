// Allocation and hand-over of pixel buffers.
#include "ui/pixel_buffer.h"

#include <utility>

namespace telvara::ui {

PixelBuffer::PixelBuffer(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1)
        return;
    m_pitch = pitch_for(width);
    const std::size_t words = std::size_t(m_pitch) / 4 * std::size_t(height);
    m_words = std::make_unique<std::uint32_t[]>(words);
    m_width = width;
    m_height = height;
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : m_width(std::exchange(other.m_width, 0)), m_height(std::exchange(other.m_height, 0)),
      m_pitch(std::exchange(other.m_pitch, 0)), m_words(std::move(other.m_words)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        m_width = std::exchange(other.m_width, 0);
        m_height = std::exchange(other.m_height, 0);
        m_pitch = std::exchange(other.m_pitch, 0);
        m_words = std::move(other.m_words);
    }
    return *this;
}

} // namespace telvara::ui
