#pragma once
// The display layer's boundary: something that shows the application's 16-bit
// 5-6-5 back buffer and reports the screen's size and density. Two kinds:
// an SDL2 window and a headless presenter that needs no display at all.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace telvara::display {

// A read-only view of 5-6-5 pixels: rows `pitch` bytes apart.
struct Frame565 {
    const std::uint16_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t pitch = 0;

    const std::uint16_t* row(std::int32_t y) const {
        return reinterpret_cast<const std::uint16_t*>(
            reinterpret_cast<const std::uint8_t*>(pixels) + std::ptrdiff_t(y) * pitch);
    }
};

// An owned copy of a frame, rows packed (pitch = 2 x width).
struct Image565 {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint16_t> pixels;

    static Image565 copy_of(const Frame565& frame);
    Frame565 view() const { return {pixels.data(), width, height, width * 2}; }
    std::uint16_t at(std::int32_t x, std::int32_t y) const {
        return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
    }
};

// What the screen offers: the size of the area we draw into and its density.
struct ScreenMetrics {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpi = 96;
    // 0 = the natural orientation of the screen.
    std::int32_t orientation = 0;
};

enum class PointerAction : std::uint8_t { Down, Move, Up };
enum class KeyAction : std::uint8_t { Press, Repeat, Release };

// Receives the window's events. Key codes are SDL key codes (SDL_Keycode);
// the shell maps them onto the program's virtual keys.
class EventSink {
  public:
    virtual void on_key(std::int32_t sdl_key, KeyAction action) = 0;
    // Typed text, UTF-8 (what a keyboard or an input method produced).
    virtual void on_text(std::string_view utf8) = 0;
    // Coordinates in back-buffer pixels.
    virtual void on_pointer(PointerAction action, std::int32_t x, std::int32_t y) = 0;
    // The pointer capture was taken away (the window lost the input focus
    // while the pen was down).
    virtual void on_capture_lost() = 0;
    virtual void on_activate(bool active) = 0;
    // The drawable area changed size (the window was resized).
    virtual void on_resize(std::int32_t width, std::int32_t height) = 0;
    // The user asked to close the window.
    virtual void on_close() = 0;

  protected:
    ~EventSink() = default;
};

class Display {
  public:
    virtual ~Display() = default;

    // Prepares to show frames of the given size; false when the display
    // cannot be opened (the caller then runs without one).
    virtual bool open(std::int32_t width, std::int32_t height) = 0;
    virtual void close() = 0;
    virtual bool is_ready() const = 0;

    // Shows the frame as it is (no conversion on our side); false when the
    // display is not ready.
    virtual bool present(const Frame565& frame) = 0;
    // Shows a frame whether or not the display is open: the painting path of
    // windowed mode. False when there is nothing to paint on.
    virtual bool paint(const Frame565& frame) = 0;

    // The current screen (window) size, density and orientation.
    virtual ScreenMetrics metrics() const = 0;

    // Hands pending window events to `sink`, waiting up to `wait` for the
    // first; true when any was handed over. A display without an event source
    // returns false at once.
    virtual bool pump_events(EventSink& sink, std::chrono::milliseconds wait) = 0;
    // True when pump_events has events to wait for (a real window).
    virtual bool has_event_source() const = 0;

    // The pen is captured (pressed inside the window); input outside the
    // window keeps coming to us meanwhile.
    virtual void set_capture(bool captured) = 0;
    // Text input (the stand-in for the input panel) on or off.
    virtual void set_text_input(bool enabled) = 0;
    virtual bool text_input() const = 0;
    // Where the field being typed into is, in back-buffer pixels: an input
    // method puts its candidate window next to it.
    virtual void set_text_input_area(std::int32_t x, std::int32_t y, std::int32_t width,
                                     std::int32_t height) = 0;
    // Brings the window to the front (restoring it when minimized).
    virtual void raise() = 0;
    // Minimizes the window to the task bar; the program keeps running.
    virtual void minimize() = 0;
};

} // namespace telvara::display
