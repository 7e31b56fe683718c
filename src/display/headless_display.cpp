// The headless presenter.
#include "display/headless_display.h"

#include <cstring>

namespace telvara::display {

Image565 Image565::copy_of(const Frame565& frame) {
    Image565 image;
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0)
        return image;
    image.width = frame.width;
    image.height = frame.height;
    image.pixels.resize(std::size_t(frame.width) * std::size_t(frame.height));
    for (std::int32_t y = 0; y < frame.height; ++y)
        std::memcpy(image.pixels.data() + std::size_t(y) * std::size_t(frame.width), frame.row(y),
                    std::size_t(frame.width) * 2);
    return image;
}

HeadlessDisplay::HeadlessDisplay(ScreenMetrics metrics) : m_metrics(metrics) {}

bool HeadlessDisplay::open(std::int32_t width, std::int32_t height) {
    m_open = width > 0 && height > 0;
    return m_open;
}

void HeadlessDisplay::close() {
    m_open = false;
}

bool HeadlessDisplay::present(const Frame565& frame) {
    if (!m_open)
        return false;
    m_last = Image565::copy_of(frame);
    ++m_presented;
    return true;
}

bool HeadlessDisplay::paint(const Frame565& frame) {
    m_last = Image565::copy_of(frame);
    ++m_presented;
    return !m_last.pixels.empty();
}

bool HeadlessDisplay::pump_events(EventSink& sink, std::chrono::milliseconds) {
    if (m_pending.empty())
        return false;
    // A handler may queue more; those wait for the next pump.
    auto pending = std::move(m_pending);
    m_pending.clear();
    for (auto& deliver : pending)
        deliver(sink);
    return true;
}

void HeadlessDisplay::resize_screen(std::int32_t width, std::int32_t height) {
    m_metrics.width = width;
    m_metrics.height = height;
    m_pending.push_back([width, height](EventSink& sink) { sink.on_resize(width, height); });
}

} // namespace telvara::display
