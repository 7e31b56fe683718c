// The application window: construction, the window procedure, output modes,
// the frame step and the loop.
#include "app/game_base.h"

#include "app/application.h"
#include "app/key_map.h"
#include "platform/clock.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/key_names.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace telvara::app {

using platform::Message;

namespace {

GameBase* g_game = nullptr; // the singleton slot

constexpr char16_t kKelmaKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA";
constexpr std::uint32_t kWindowedFrameMs = 40;
constexpr auto kIdleSleep = std::chrono::milliseconds(10);
// SDL events and our queue share no waitable handle: a blocking wait listens
// to the window for this long at a time, then looks at the queue, so posted
// messages and timers wait at most this long while window input comes at once.
constexpr auto kWaitSlice = std::chrono::milliseconds(10);
// The release position while the pen is down.
constexpr ui::Point kPenHeld{-1000000, -1000000};
constexpr WStringView kEmptyCommandLine = u"%CommandLineEmpty%";

bool same(ui::Point a, ui::Point b) {
    return a.x == b.x && a.y == b.y;
}

} // namespace

std::intptr_t pack_point(std::int32_t x, std::int32_t y) {
    return std::intptr_t(std::uint16_t(std::int16_t(x))) |
           (std::intptr_t(std::uint16_t(std::int16_t(y))) << 16);
}

ui::Point unpack_point(std::intptr_t lparam) {
    return {std::int16_t(std::uint16_t(lparam & 0xFFFF)),
            std::int16_t(std::uint16_t((lparam >> 16) & 0xFFFF))};
}

GameBase::GameBase(Application& application, WStringView name, GameBaseOptions options)
    : m_application(application), m_class_name(u"RezuvirClass_" + WString(name)),
      m_display(std::move(options.display)), m_fallback_metrics(options.fallback_metrics),
      m_clock(options.clock) {
    if (g_game)
        runtime::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
    g_game = this;
    if (m_clock)
        m_clock_scope.emplace(*m_clock);

    std::uint32_t preference = 0;
    runtime::reg_read_dword(kKelmaKey, u"SIPPreference", preference);
    m_sip_preference = preference != 0;

    if (options.allow_recorder)
        m_recorder = FrameRecorder::from_trigger_file();

    runtime::log() << ticks() << u" GameBase 0\n";
    runtime::log() << ticks() << u" GameBase 1\n";
    m_window = std::make_unique<platform::MessageTarget>(
        m_class_name, [this](Message& message) { return window_procedure(message); });
    runtime::log() << ticks() << u" GameBase 2\n";
    runtime::log() << ticks() << u" GameBase 3\n";
    m_screen_info = read_screen_info();
    m_application.set_screen_size(m_screen_info.current_width, m_screen_info.current_height);
    m_back_buffer.resize(m_screen_info.current_width, m_screen_info.current_height);
    runtime::log() << ticks() << u" GameBase 4\n";
    runtime::log() << ticks() << u" GameBase 5\n";

    m_active_scheduler = std::make_unique<runtime::CActiveScheduler>(m_class_name);
    m_message_scheduler = std::make_unique<runtime::MessageScheduler>(m_window->ref());
    // The input panel starts down; only an edit raises it.
    if (m_display)
        m_display->set_text_input(false);
    platform::set_timer(m_window->ref(), platform::FRAME_TIMER_ID, kWindowedFrameMs);
    m_last_tick = ticks();
    update_layout();
}

GameBase::~GameBase() {
    platform::kill_timer(m_window->ref(), platform::FRAME_TIMER_ID);
    if (m_display)
        m_display->close();
    m_recorder.reset();
    m_message_scheduler.reset();
    m_active_scheduler.reset();
    m_window.reset();
    g_game = nullptr;
}

GameBase* GameBase::instance() {
    return g_game;
}

std::uint32_t GameBase::ticks() const {
    return platform::tick_count();
}

void GameBase::set_hook(int slot, MessageHook hook) {
    if (slot >= 0 && slot < 2)
        m_hooks[slot] = std::move(hook);
}

void GameBase::set_recorder(std::unique_ptr<FrameRecorder> recorder) {
    m_recorder = std::move(recorder);
}

display::Frame565 GameBase::back_buffer_frame() const {
    if (m_back_buffer.empty())
        return {};
    return {m_back_buffer.row(0), m_back_buffer.width(), m_back_buffer.height(),
            m_back_buffer.pitch()};
}

void GameBase::bring_to_front() {
    if (m_display)
        m_display->raise();
}

void GameBase::minimize() {
    if (m_display)
        m_display->minimize();
}

void GameBase::set_text_input_area(const ui::Rect& area) {
    if (m_display)
        m_display->set_text_input_area(area.left, area.top, area.width(), area.height());
}

// --- Screen and output modes -----------------------------------------------------------

ScreenInfo GameBase::read_screen_info() const {
    return make_screen_info(m_display ? m_display->metrics() : m_fallback_metrics);
}

void GameBase::resolution_changed() {
    const ScreenInfo info = read_screen_info();
    if (info != m_screen_info) {
        m_screen_info = info;
        runtime::log() << u"Application::ResolutionChanged 2\n";
        m_application.set_screen_size(info.current_width, info.current_height);
        if (ApplicationListener* listener = m_application.listener())
            listener->on_resolution_changed();
    }
    update_layout();
}

void GameBase::update_layout() {
    // On this platform the window always covers the screen; what remains of
    // the layout rules is the back buffer's size and the input panel.
    if (m_back_buffer.resize(m_screen_info.current_width, m_screen_info.current_height))
        m_application.set_dirty();
    if (!m_display)
        return;
    const bool editing = m_application.text_focus() != nullptr;
    if (editing) {
        // A desktop's keyboard types only while text input is on, so a focused
        // field always starts it; the preference remembers the user's choice.
        if (!m_display->text_input()) {
            m_display->set_text_input(true);
            m_panel_up = true;
        }
    } else if (m_panel_up) {
        // Remember whether the user kept the panel up for the next edit.
        m_sip_preference = m_display->text_input();
        runtime::reg_write_dword(kKelmaKey, u"SIPPreference", m_sip_preference ? 1 : 0);
        m_display->set_text_input(false);
        m_panel_up = false;
    }
}

void GameBase::set_windowed(TaskBar task_bar) {
    m_windowed = true;
    m_task_bar = task_bar == TaskBar::Shown;
    if (m_application.text_focus())
        return;
    m_application.set_dirty();
    if (m_display)
        m_display->close();
    platform::set_timer(m_window->ref(), platform::FRAME_TIMER_ID, kWindowedFrameMs);
    m_windowed_due = ticks() + kWindowedFrameMs;
    update_layout();
}

void GameBase::set_direct(std::int32_t orientation) {
    if (orientation == m_orientation && !m_windowed)
        return;
    m_orientation = orientation;
    m_windowed = false;
    if (m_display)
        m_display->close();
    if (m_application.text_focus())
        return;
    m_application.set_dirty();
    if (m_display && m_display->open(m_screen_info.current_width, m_screen_info.current_height)) {
        platform::kill_timer(m_window->ref(), platform::FRAME_TIMER_ID);
    } else {
        // Without a display the timer and the painting path keep frames coming.
        m_windowed = true;
        platform::set_timer(m_window->ref(), platform::FRAME_TIMER_ID, kWindowedFrameMs);
        m_windowed_due = ticks() + kWindowedFrameMs;
    }
    update_layout();
}

// --- Frames ------------------------------------------------------------------------------

double GameBase::elapsed_seconds(std::uint32_t now) {
    const double dt = std::clamp(double(std::uint32_t(now - m_last_tick)) / 1000.0, 0.001, 0.1);
    m_last_tick = now;
    return dt;
}

bool GameBase::frame_step(SkipIdle skip) {
    const std::uint32_t now = ticks();
    if (now == m_last_tick && skip == SkipIdle::Yes)
        return false;
    double dt = elapsed_seconds(now);
    if (m_recorder) {
        dt = kRecordedFrameSeconds;
        if (display_ready()) {
            m_recorder->set_pen(m_pen_down, m_pen.x, m_pen.y);
            m_recorder->capture(back_buffer_frame());
        }
    }
    m_application.update(dt);
    if (m_application.needs_redraw(true) && display_ready()) {
        m_application.draw(m_back_buffer);
        // Every recorded frame is drawn, changed or not.
        if (m_recorder)
            m_application.set_dirty();
        m_display->present(back_buffer_frame());
    }
    return true;
}

void GameBase::windowed_tick() {
    if (!m_windowed || m_inactive || m_idle)
        return;
    m_application.update(elapsed_seconds(ticks()));
    if (!m_paint_pending) {
        m_paint_pending = true;
        post_to_window(platform::WM_PAINT);
    }
}

void GameBase::paint() {
    m_paint_pending = false;
    if (m_back_buffer.empty())
        return;
    m_application.draw(m_back_buffer);
    if (m_display)
        m_display->paint(back_buffer_frame());
}

// --- The loop ---------------------------------------------------------------------------

bool GameBase::blocking() const {
    return m_inactive || m_idle || !display_ready();
}

void GameBase::post_to_window(std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam) {
    platform::post(m_window->ref(), id, wparam, lparam);
}

bool GameBase::wait_message(Message& out) {
    if (!m_display || !m_display->has_event_source()) {
        if (m_display)
            m_display->pump_events(*this, {});
        return platform::get(out);
    }
    for (;;) {
        if (platform::peek(out, platform::Peek::remove))
            return out.id != platform::WM_QUIT;
        m_display->pump_events(*this, kWaitSlice);
    }
}

int GameBase::run() {
    Message message;
    for (;;) {
        if (blocking()) {
            if (!wait_message(message))
                break;
        } else {
            if (m_display)
                m_display->pump_events(*this, {});
            if (!platform::peek(message, platform::Peek::remove)) {
                frame_step(SkipIdle::Yes);
                std::this_thread::sleep_for(kIdleSleep);
                continue;
            }
            if (message.id == platform::WM_QUIT)
                break;
        }
        platform::dispatch(message);
    }
    m_quit = true;
    m_exit_code = int(message.wparam);
    return m_exit_code;
}

bool GameBase::dispatch_pending() {
    if (m_quit)
        return false;
    if (m_display)
        m_display->pump_events(*this, {});
    Message message;
    while (platform::peek(message, platform::Peek::remove)) {
        if (message.id == platform::WM_QUIT) {
            m_quit = true;
            m_exit_code = int(message.wparam);
            return false;
        }
        platform::dispatch(message);
    }
    return true;
}

bool GameBase::advance(std::uint32_t ms, std::uint32_t frame_ms) {
    if (!m_clock)
        runtime::fatal_error(u"GameBase::advance", u"no virtual clock");
    frame_ms = std::max<std::uint32_t>(frame_ms, 1);
    if (!dispatch_pending())
        return false;
    std::uint32_t left = ms;
    while (left > 0) {
        const std::uint32_t step = std::min(left, frame_ms);
        m_clock->advance(step);
        left -= step;
        if (!dispatch_pending())
            return false;
        if (m_windowed) {
            // The 40 ms timer on the virtual clock.
            while (std::int32_t(m_clock->now() - m_windowed_due) >= 0) {
                m_windowed_due += kWindowedFrameMs;
                windowed_tick();
                if (!dispatch_pending())
                    return false;
            }
        } else if (!blocking()) {
            frame_step(SkipIdle::Yes);
        }
    }
    return true;
}

bool GameBase::run_for(std::uint32_t ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (!dispatch_pending())
            return false;
        if (!m_windowed && !blocking())
            frame_step(SkipIdle::Yes);
        const auto now = Clock::now();
        if (now >= deadline)
            return true;
        // Messages that arrive meanwhile (the modem's) end the nap early.
        platform::wait(std::min(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), kIdleSleep));
    }
}

// --- Window events into messages -----------------------------------------------------

void GameBase::on_key(std::int32_t sdl_key, display::KeyAction action) {
    const std::uint32_t key = virtual_key_for_sdl(sdl_key);
    if (key == 0)
        return;
    const bool release = action == display::KeyAction::Release;
    const bool was_down = m_keys_down.contains(key);
    if (release)
        m_keys_down.erase(key);
    else
        m_keys_down.insert(key);
    if (is_soft_key(key)) {
        // The soft keys come as hot keys, once per press.
        if (!release && was_down)
            return;
        post_to_window(platform::WM_HOTKEY, 0,
                       (std::intptr_t(key) << 16) | (release ? kHotKeyUp : 0));
        return;
    }
    if (release)
        post_to_window(platform::WM_KEYUP, key, kKeyWasDown | (std::intptr_t(1) << 31));
    else
        post_to_window(platform::WM_KEYDOWN, key,
                       was_down || action == display::KeyAction::Repeat ? kKeyWasDown : 0);
}

void GameBase::on_text(std::string_view utf8) {
    for (char16_t unit : from_utf8(utf8))
        post_to_window(platform::WM_CHAR, unit);
}

void GameBase::on_pointer(display::PointerAction action, std::int32_t x, std::int32_t y) {
    const std::uint32_t id = action == display::PointerAction::Down ? platform::WM_LBUTTONDOWN
                             : action == display::PointerAction::Up ? platform::WM_LBUTTONUP
                                                                    : platform::WM_MOUSEMOVE;
    post_to_window(id, 0, pack_point(x, y));
}

void GameBase::on_capture_lost() {
    post_to_window(platform::WM_CAPTURECHANGED);
}

void GameBase::on_activate(bool active) {
    post_to_window(platform::WM_ACTIVATE, active ? 1 : 0);
}

void GameBase::on_resize(std::int32_t, std::int32_t) {
    post_to_window(WM_SETTINGCHANGE, kSettingReset);
}

void GameBase::on_close() {
    post_to_window(platform::WM_CLOSE);
}

void GameBase::inject_command_line(WStringView text) {
    const WStringView sent = text.empty() ? kEmptyCommandLine : text;
    Message message;
    message.target = m_window->ref();
    message.id = platform::WM_COPYDATA;
    message.data_id = 0;
    for (char16_t unit : sent) {
        message.data.push_back(std::uint8_t(unit));
        message.data.push_back(std::uint8_t(unit >> 8));
    }
    platform::post(std::move(message));
}

// --- The window procedure -------------------------------------------------------------

void GameBase::destroy_window() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    platform::kill_timer(m_window->ref(), platform::FRAME_TIMER_ID);
    // WM_DESTROY
    platform::post_quit(0);
}

void GameBase::key_message(Message& message, bool pressed) {
    m_idle = false;
    const auto key = std::uint32_t(message.wparam);
    ui::KeyEvent event;
    event.code = key_code_for_virtual_key(key);
    event.pressed = pressed;
    event.first = pressed ? (message.lparam & kKeyWasDown) == 0 : true;
    runtime::log() << (pressed ? u"WM_KEYDOWN = " : u"WM_KEYUP = ") << key << u" "
                   << from_ascii(ui::key_name(event.code)) << u" lParam="
                   << (long long)message.lparam << u" " << ticks() << u"\n";
    ApplicationListener* listener = m_application.listener();
    if (listener && listener->on_key_preview(event))
        return;
    m_application.on_key(event);
}

void GameBase::hot_key(Message& message) {
    m_idle = false;
    const auto key = std::uint32_t((message.lparam >> 16) & 0xFFFF);
    const auto modifiers = std::uint32_t(message.lparam & 0xFFFF);
    ui::KeyEvent event;
    event.code = key_code_for_virtual_key(key);
    event.pressed = (modifiers & kHotKeyUp) == 0;
    event.first = true;
    runtime::log() << u"WM_HOTKEY = " << key << u" " << from_ascii(ui::key_name(event.code))
                   << u" lParam=" << (long long)message.lparam << u" " << ticks() << u"\n";
    m_application.on_key(event);
}

void GameBase::pen_message(Message& message) {
    m_idle = false;
    ui::PointerEvent event;
    if (message.id == platform::WM_CAPTURECHANGED) {
        // Lost while still pressed: the gesture ends without a click.
        if (!same(m_release, kPenHeld))
            return;
        m_release = m_pen;
        m_pen_down = false;
        event.x = m_pen.x;
        event.y = m_pen.y;
        event.kind = ui::PointerKind::Up;
        event.cancelled = true;
        m_application.on_pointer(event);
        return;
    }
    const ui::Point at = unpack_point(message.lparam);
    event.x = at.x;
    event.y = at.y;
    m_pen = at;
    switch (message.id) {
    case platform::WM_LBUTTONDOWN:
        m_release = kPenHeld;
        m_pen_down = true;
        if (m_display)
            m_display->set_capture(true);
        event.kind = ui::PointerKind::Down;
        break;
    case platform::WM_LBUTTONUP:
        m_release = at;
        m_pen_down = false;
        if (m_display)
            m_display->set_capture(false);
        event.kind = ui::PointerKind::Up;
        break;
    default:
        event.kind = ui::PointerKind::Move;
        break;
    }
    m_application.on_pointer(event);
}

std::intptr_t GameBase::window_procedure(Message& message) {
    if (m_message_scheduler && m_message_scheduler->handle(message))
        return 0;
    for (auto& hook : m_hooks) {
        std::intptr_t result = 0;
        if (hook && hook(message, result))
            return result;
    }
    ApplicationListener* listener = m_application.listener();
    switch (message.id) {
    case platform::WM_DESTROY:
        platform::post_quit(0);
        return 0;
    case platform::WM_ACTIVATE:
        if (message.wparam != 0) {
            update_layout();
            m_inactive = false;
            m_idle = false;
            if (listener)
                listener->on_activate();
        } else {
            m_inactive = true;
            if (listener)
                listener->on_deactivate();
        }
        return 0;
    case platform::WM_PAINT:
        paint();
        return 0;
    case platform::WM_CLOSE:
        if (listener && !listener->can_close())
            return 0;
        destroy_window();
        return 0;
    case WM_SETTINGCHANGE:
        if (message.wparam == kSettingReset || message.wparam == kSettingWorkArea ||
            message.wparam == kSettingInputPanel)
            resolution_changed();
        return 0;
    case platform::WM_COPYDATA: {
        if (message.data_id != 0)
            return 0;
        WString text;
        for (std::size_t i = 0; i + 1 < message.data.size(); i += 2)
            text.push_back(char16_t(message.data[i] | (message.data[i + 1] << 8)));
        if (text == kEmptyCommandLine)
            text.clear();
        m_command_lines.push_back(std::move(text));
        post_to_window(platform::WM_NEXT_COMMAND_LINE);
        return 1;
    }
    case platform::WM_NEXT_COMMAND_LINE:
        // Kept until a listener exists to take it (set_listener asks again).
        if (!m_command_lines.empty() && listener) {
            WString text = std::move(m_command_lines.front());
            m_command_lines.pop_front();
            listener->on_command_line(text);
        }
        return 0;
    case WM_HELP:
        if (listener)
            listener->on_help();
        return 0;
    case platform::WM_KEYDOWN:
        key_message(message, true);
        return 0;
    case platform::WM_KEYUP:
        key_message(message, false);
        return 0;
    case platform::WM_HOTKEY:
        hot_key(message);
        return 0;
    case platform::WM_CHAR: {
        const auto unit = char16_t(message.wparam);
        runtime::log() << u"WM_CHAR=" << WStringView(&unit, 1) << u"\n";
        if (unit >= 32)
            m_application.on_char(WStringView(&unit, 1));
        return 0;
    }
    case platform::WM_TIMER:
        if (message.wparam == platform::FRAME_TIMER_ID && !m_clock)
            windowed_tick();
        return 0;
    case platform::WM_LBUTTONDOWN:
    case platform::WM_MOUSEMOVE:
    case platform::WM_LBUTTONUP:
    case platform::WM_CAPTURECHANGED:
        pen_message(message);
        return 0;
    default:
        return 0;
    }
}

} // namespace telvara::app
