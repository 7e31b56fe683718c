#pragma once
// The SDL2 window: shows the 5-6-5 back buffer through an RGB565 streaming
// texture (SDL does any conversion the screen needs, we do none), turns the
// window's events into EventSink calls, and reports the window's size and the
// screen's density. Resizable: a new size reaches the sink as on_resize.

#include "display/display.h"

#include <memory>
#include <string>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace telvara::display {

struct SdlDisplayOptions {
    std::string title = "Telvara";
    // Forced screen size and density; 0 = ask the screen.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpi = 0;
};

class SdlDisplay final : public Display {
  public:
    // The window, or null when SDL video cannot start (no display server) or,
    // with no driver chosen in SDL_VIDEODRIVER, would land on SDL's offscreen
    // or dummy driver; `error` then says why.
    static std::unique_ptr<SdlDisplay> create(const SdlDisplayOptions& options,
                                              std::string* error = nullptr);
    ~SdlDisplay() override;
    SdlDisplay(const SdlDisplay&) = delete;
    SdlDisplay& operator=(const SdlDisplay&) = delete;

    bool open(std::int32_t width, std::int32_t height) override;
    void close() override;
    bool is_ready() const override { return m_open; }
    bool present(const Frame565& frame) override;
    ScreenMetrics metrics() const override;
    bool pump_events(EventSink& sink, std::chrono::milliseconds wait) override;
    bool has_event_source() const override { return true; }
    void set_capture(bool captured) override;
    void set_text_input(bool enabled) override;
    bool text_input() const override;
    void raise() override;
    void minimize() override;
    void set_text_input_area(std::int32_t x, std::int32_t y, std::int32_t width,
                             std::int32_t height) override;
    bool paint(const Frame565& frame) override;

  private:
    SdlDisplay() = default;
    bool show(const Frame565& frame);
    void handle(const SDL_Event& event, EventSink& sink);
    // Window coordinates to back-buffer pixels.
    void to_frame(std::int32_t& x, std::int32_t& y) const;

    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    std::int32_t m_texture_width = 0;
    std::int32_t m_texture_height = 0;
    std::int32_t m_dpi = 96;
    bool m_open = false;
    bool m_captured = false;
    bool m_pen_down = false;
};

} // namespace telvara::display
