// The SDL2 window and its event translation.
#include "display/sdl_display.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace telvara::display {

namespace {

// A desktop larger than this is not a phone screen: open a phone-sized window
// on it instead of covering it.
constexpr std::int32_t kPhoneMaxWidth = 800;
constexpr std::int32_t kPhoneMaxHeight = 1280;
constexpr std::int32_t kDesktopWindowWidth = 480;
constexpr std::int32_t kDesktopWindowHeight = 640;

// The drivers SDL falls back to when it finds no display: a window there is
// seen by nobody.
bool is_displayless_driver(const char* driver) {
    return driver != nullptr &&
           (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

} // namespace

std::unique_ptr<SdlDisplay> SdlDisplay::create(const SdlDisplayOptions& options,
                                               std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (error)
            *error = SDL_GetError();
        return nullptr;
    }
    // SDL_VIDEODRIVER names the user's own choice (tests, a frame-buffer
    // console); without it, landing on a driver without a display means there
    // is none, and a window nobody sees would also hold the single instance.
    const char* chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if ((chosen == nullptr || *chosen == '\0') &&
        is_displayless_driver(SDL_GetCurrentVideoDriver())) {
        if (error)
            *error = std::string("SDL found only its \"") + SDL_GetCurrentVideoDriver() +
                     "\" video driver";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return nullptr;
    }
    std::unique_ptr<SdlDisplay> display(new SdlDisplay());

    std::int32_t width = options.width;
    std::int32_t height = options.height;
    Uint32 flags = SDL_WINDOW_RESIZABLE;
    SDL_DisplayMode mode{};
    const bool have_mode = SDL_GetDesktopDisplayMode(0, &mode) == 0;
    if (width <= 0 || height <= 0) {
        if (have_mode && mode.w <= kPhoneMaxWidth && mode.h <= kPhoneMaxHeight) {
            // A phone: the whole screen is ours.
            width = mode.w;
            height = mode.h;
            flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        } else {
            width = kDesktopWindowWidth;
            height = kDesktopWindowHeight;
        }
    }
    if (options.dpi > 0) {
        display->m_dpi = options.dpi;
    } else {
        float vertical = 0;
        if (SDL_GetDisplayDPI(0, nullptr, nullptr, &vertical) == 0 && vertical > 1)
            display->m_dpi = std::int32_t(std::lround(vertical));
    }
    display->m_window = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED,
                                         SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!display->m_window) {
        if (error)
            *error = SDL_GetError();
        return nullptr;
    }
    // Characters come as text events while text input is on (the input panel
    // stand-in); the program starts with it on, as a keyboard phone would.
    SDL_StartTextInput();
    return display;
}

SdlDisplay::~SdlDisplay() {
    close();
    if (m_renderer)
        SDL_DestroyRenderer(m_renderer);
    if (m_window)
        SDL_DestroyWindow(m_window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlDisplay::open(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0)
        return false;
    if (!m_renderer)
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
    m_open = m_renderer != nullptr;
    return m_open;
}

void SdlDisplay::close() {
    m_open = false;
    if (m_texture) {
        SDL_DestroyTexture(m_texture);
        m_texture = nullptr;
    }
}

bool SdlDisplay::present(const Frame565& frame) {
    return m_open && show(frame);
}

bool SdlDisplay::paint(const Frame565& frame) {
    if (!m_renderer)
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
    return m_renderer && show(frame);
}

bool SdlDisplay::show(const Frame565& frame) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0)
        return false;
    if (!m_texture || m_texture_width != frame.width || m_texture_height != frame.height) {
        if (m_texture)
            SDL_DestroyTexture(m_texture);
        m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565,
                                      SDL_TEXTUREACCESS_STREAMING, frame.width, frame.height);
        if (!m_texture)
            return false;
        m_texture_width = frame.width;
        m_texture_height = frame.height;
    }
    if (SDL_UpdateTexture(m_texture, nullptr, frame.pixels, frame.pitch) != 0)
        return false;
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
    SDL_RenderPresent(m_renderer);
    return true;
}

ScreenMetrics SdlDisplay::metrics() const {
    ScreenMetrics metrics;
    SDL_GetWindowSize(m_window, &metrics.width, &metrics.height);
    metrics.dpi = m_dpi;
    return metrics;
}

void SdlDisplay::to_frame(std::int32_t& x, std::int32_t& y) const {
    std::int32_t width = 0;
    std::int32_t height = 0;
    SDL_GetWindowSize(m_window, &width, &height);
    // Until the back buffer follows a resize, the texture is stretched.
    if (m_texture && width > 0 && height > 0 &&
        (width != m_texture_width || height != m_texture_height)) {
        x = std::int32_t(std::int64_t(x) * m_texture_width / width);
        y = std::int32_t(std::int64_t(y) * m_texture_height / height);
    }
}

bool SdlDisplay::pump_events(EventSink& sink, std::chrono::milliseconds wait) {
    SDL_Event event;
    bool any = false;
    if (wait.count() > 0 &&
        SDL_WaitEventTimeout(&event, int(std::min<long long>(wait.count(), 1000)))) {
        handle(event, sink);
        any = true;
    }
    while (SDL_PollEvent(&event)) {
        handle(event, sink);
        any = true;
    }
    return any;
}

void SdlDisplay::handle(const SDL_Event& event, EventSink& sink) {
    switch (event.type) {
    case SDL_QUIT:
        sink.on_close();
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            sink.on_activate(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (m_captured) {
                set_capture(false);
                sink.on_capture_lost();
            }
            m_pen_down = false;
            sink.on_activate(false);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            sink.on_resize(event.window.data1, event.window.data2);
            break;
        default:
            break;
        }
        break;
    case SDL_KEYDOWN:
        sink.on_key(event.key.keysym.sym, event.key.repeat ? KeyAction::Repeat : KeyAction::Press);
        break;
    case SDL_KEYUP:
        sink.on_key(event.key.keysym.sym, KeyAction::Release);
        break;
    case SDL_TEXTINPUT:
        sink.on_text(event.text.text);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT) {
            std::int32_t x = event.button.x;
            std::int32_t y = event.button.y;
            to_frame(x, y);
            m_pen_down = event.type == SDL_MOUSEBUTTONDOWN;
            sink.on_pointer(m_pen_down ? PointerAction::Down : PointerAction::Up, x, y);
        }
        break;
    case SDL_MOUSEMOTION:
        // A pen does not hover: moves matter only while it touches.
        if (m_pen_down) {
            std::int32_t x = event.motion.x;
            std::int32_t y = event.motion.y;
            to_frame(x, y);
            sink.on_pointer(PointerAction::Move, x, y);
        }
        break;
    default:
        break;
    }
}

void SdlDisplay::set_capture(bool captured) {
    m_captured = captured;
    SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}

void SdlDisplay::set_text_input(bool enabled) {
    if (enabled)
        SDL_StartTextInput();
    else
        SDL_StopTextInput();
}

bool SdlDisplay::text_input() const {
    return SDL_IsTextInputActive() == SDL_TRUE;
}

void SdlDisplay::raise() {
    SDL_ShowWindow(m_window);
    SDL_RestoreWindow(m_window);
    SDL_RaiseWindow(m_window);
}

void SdlDisplay::set_text_input_area(std::int32_t x, std::int32_t y, std::int32_t width,
                                     std::int32_t height) {
    // The back buffer fills the window, pixel for pixel.
    SDL_Rect area{x, y, width, height};
    SDL_SetTextInputRect(&area);
}

void SdlDisplay::minimize() {
    SDL_MinimizeWindow(m_window);
}

} // namespace telvara::display
