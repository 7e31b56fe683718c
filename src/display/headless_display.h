#pragma once
// The headless presenter: no window and no SDL video at all. It keeps the
// last frame presented so that a driver or a test can look at it or save it.

#include "display/display.h"

#include <array>
#include <deque>
#include <functional>

namespace telvara::display {

class HeadlessDisplay final : public Display {
  public:
    explicit HeadlessDisplay(ScreenMetrics metrics);

    bool open(std::int32_t width, std::int32_t height) override;
    void close() override;
    bool is_ready() const override { return m_open; }
    bool present(const Frame565& frame) override;
    bool paint(const Frame565& frame) override;
    ScreenMetrics metrics() const override { return m_metrics; }
    bool pump_events(EventSink& sink, std::chrono::milliseconds wait) override;
    bool has_event_source() const override { return false; }
    void set_capture(bool captured) override { m_captured = captured; }
    void set_text_input(bool enabled) override { m_text_input = enabled; }
    bool text_input() const override { return m_text_input; }
    void set_text_input_area(std::int32_t x, std::int32_t y, std::int32_t width,
                             std::int32_t height) override {
        m_text_input_area = {x, y, width, height};
    }
    // The last area given: x, y, width, height.
    const std::array<std::int32_t, 4>& text_input_area() const { return m_text_input_area; }
    void raise() override { m_minimized = false; }
    void minimize() override { m_minimized = true; }

    // The screen changes size, as a rotated or resized screen would: the new
    // size is reported from now on and a resize event is delivered by the
    // next pump_events.
    void resize_screen(std::int32_t width, std::int32_t height);

    // The last frame presented (empty before the first).
    const Image565& last_frame() const { return m_last; }
    std::uint64_t frames_presented() const { return m_presented; }
    bool captured() const { return m_captured; }
    bool minimized() const { return m_minimized; }

  private:
    ScreenMetrics m_metrics;
    bool m_open = false;
    bool m_captured = false;
    bool m_minimized = false;
    std::array<std::int32_t, 4> m_text_input_area{};
    bool m_text_input = false;
    Image565 m_last;
    std::uint64_t m_presented = 0;
    std::deque<std::function<void(EventSink&)>> m_pending;
};

} // namespace telvara::display
