#pragma once
// GameBase: the application window and its loop. The window is a message
// target on the UI thread whose procedure turns window messages into key,
// character and pen events for the Application; SDL events (through the
// display layer) become those same messages. The loop drives frames: in
// direct mode by idling (a frame, then 10 ms of sleep), in windowed mode by a
// 40 ms timer. A driver (headless runs, tests) can step it on a virtual clock.

#include "app/frame_recorder.h"
#include "app/screen_info.h"
#include "display/display.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/text.h"
#include "runtime/active_scheduler.h"
#include "runtime/message_scheduler.h"
#include "ui/geometry.h"
#include "ui/input_event.h"
#include "ui/render_surface.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace telvara::app {

class Application;

// Window messages the window procedure serves besides those of the message
// system's list.
inline constexpr std::uint32_t WM_SETTINGCHANGE = 0x001A;
inline constexpr std::uint32_t WM_HELP = 0x0053;
// The lParam bit of WM_KEYDOWN: the key was down before (auto-repeat).
inline constexpr std::intptr_t kKeyWasDown = std::intptr_t(1) << 30;
// The WM_HOTKEY modifier bit of a release.
inline constexpr std::uint32_t kHotKeyUp = 0x1000;
// WM_SETTINGCHANGE codes that re-read the screen: reset, work area, input panel.
inline constexpr std::uintptr_t kSettingReset = 0x3002;
inline constexpr std::uintptr_t kSettingWorkArea = 47;
inline constexpr std::uintptr_t kSettingInputPanel = 224;

// Pen coordinates in a message parameter: x in the low, y in the high 16 bits.
std::intptr_t pack_point(std::int32_t x, std::int32_t y);
ui::Point unpack_point(std::intptr_t lparam);

struct GameBaseOptions {
    // The display layer (an SDL window or the headless presenter); null runs
    // without one: the screen then has the fallback size and frames come from
    // the windowed timer only.
    std::unique_ptr<display::Display> display;
    display::ScreenMetrics fallback_metrics{240, 320, 96, 0};
    // Null: the steady tick count. Otherwise the program's clock for the
    // game's lifetime (platform/clock.h), moved only by advance().
    platform::VirtualClock* clock = nullptr;
    // Look for the frame recorder's trigger picture (off in tests that do
    // not want a stray file in the device root to start one).
    bool allow_recorder = true;
};

enum class SkipIdle { No, Yes };
enum class TaskBar { Hidden, Shown };

class GameBase final : private display::EventSink {
  public:
    GameBase(Application& application, WStringView name, GameBaseOptions options);
    // Kills the timer and closes the display.
    ~GameBase();
    GameBase(const GameBase&) = delete;
    GameBase& operator=(const GameBase&) = delete;

    static GameBase* instance();

    // The message loop; returns the quit message's exit code.
    int run();

    void set_windowed(TaskBar task_bar);
    void set_direct(std::int32_t orientation);
    bool is_windowed() const { return m_windowed; }
    void set_direct_keyboard_input(bool wanted) { m_direct_keyboard = wanted; }

    void update_layout();
    void resolution_changed();
    ScreenInfo read_screen_info() const;
    const ScreenInfo& screen_info() const { return m_screen_info; }

    // One frame of direct mode; false when skipped (same millisecond).
    bool frame_step(SkipIdle skip);
    // The tick count the frames run on (the virtual clock, when given).
    std::uint32_t ticks() const;

    bool is_inactive() const { return m_inactive; }
    bool is_idle() const { return m_idle; }
    // Frames pause until the next input.
    void set_idle() { m_idle = true; }
    // Frames go on, idle or not: something the user must see happened (a
    // call rang or was placed).
    void wake() { m_idle = false; }

    platform::TargetRef window() const { return m_window->ref(); }
    const WString& window_class() const { return m_class_name; }
    display::Display* display() const { return m_display.get(); }
    bool display_ready() const { return m_display && m_display->is_ready(); }
    ui::RenderSurface& back_buffer() { return m_back_buffer; }
    display::Frame565 back_buffer_frame() const;
    FrameRecorder* recorder() const { return m_recorder.get(); }
    // Replaces the recorder (tests, tools); null stops recording.
    void set_recorder(std::unique_ptr<FrameRecorder> recorder);

    runtime::CActiveScheduler& active_scheduler() { return *m_active_scheduler; }
    runtime::MessageScheduler& message_scheduler() { return *m_message_scheduler; }

    // Two optional hooks see every message the scheduler did not take; a
    // hook that returns true has handled it (result in the second argument).
    using MessageHook = std::function<bool(platform::Message&, std::intptr_t&)>;
    void set_hook(int slot, MessageHook hook);

    // The input-panel preference ("SIPPreference").
    bool input_panel_preference() const { return m_sip_preference; }
    const std::deque<WString>& queued_command_lines() const { return m_command_lines; }

    // Shows and raises the window.
    void bring_to_front();
    // Minimizes the window; nothing while there is no display.
    void minimize();
    // The focused field's rectangle, for an input method's candidate window.
    void set_text_input_area(const ui::Rect& area);

    // --- Driving ---------------------------------------------------------------
    // Input as the display layer delivers it: each call posts the window
    // messages an SDL event would, handled at the next dispatch.
    void inject_key(std::int32_t sdl_key, display::KeyAction action) { on_key(sdl_key, action); }
    void inject_text(std::string_view utf8) { on_text(utf8); }
    void inject_pointer(display::PointerAction action, std::int32_t x, std::int32_t y) {
        on_pointer(action, x, y);
    }
    void inject_capture_lost() { on_capture_lost(); }
    void inject_activate(bool active) { on_activate(active); }
    // A command line as a second start hands it over (WM_COPYDATA, data id 0).
    void inject_command_line(WStringView text);
    // Handles every message waiting now (and the display's pending events);
    // false once the quit message came.
    bool dispatch_pending();
    // Runs the loop for `ms` of virtual time (a VirtualClock is required):
    // frames every `frame_ms` as direct mode idles, the 40 ms timer's work in
    // windowed mode, messages in between. False once the quit message came.
    bool advance(std::uint32_t ms, std::uint32_t frame_ms = 10);
    // The same on the real clock: the loop as run() runs it, for `ms`.
    bool run_for(std::uint32_t ms);
    bool quit_received() const { return m_quit; }
    int exit_code() const { return m_exit_code; }

    // The window procedure.
    std::intptr_t window_procedure(platform::Message& message);

  private:
    // display::EventSink: SDL events become window messages.
    void on_key(std::int32_t sdl_key, display::KeyAction action) override;
    void on_text(std::string_view utf8) override;
    void on_pointer(display::PointerAction action, std::int32_t x, std::int32_t y) override;
    void on_capture_lost() override;
    void on_activate(bool active) override;
    void on_resize(std::int32_t width, std::int32_t height) override;
    void on_close() override;

    double elapsed_seconds(std::uint32_t now);
    void key_message(platform::Message& message, bool pressed);
    void hot_key(platform::Message& message);
    void pen_message(platform::Message& message);
    void paint();
    void windowed_tick();
    void destroy_window();
    bool blocking() const;
    // Blocks for the next message, pumping window events meanwhile; false
    // for the quit message.
    bool wait_message(platform::Message& out);
    void post_to_window(std::uint32_t id, std::uintptr_t wparam = 0, std::intptr_t lparam = 0);

    Application& m_application;
    WString m_class_name;
    std::unique_ptr<platform::MessageTarget> m_window;
    std::unique_ptr<display::Display> m_display;
    display::ScreenMetrics m_fallback_metrics;
    platform::VirtualClock* m_clock = nullptr;
    std::optional<platform::ScopedVirtualClock> m_clock_scope;
    std::unique_ptr<runtime::CActiveScheduler> m_active_scheduler;
    std::unique_ptr<runtime::MessageScheduler> m_message_scheduler;
    std::unique_ptr<FrameRecorder> m_recorder;
    MessageHook m_hooks[2];

    bool m_inactive = false;
    bool m_idle = false;
    bool m_windowed = false;
    bool m_task_bar = false;
    bool m_direct_keyboard = false;
    bool m_destroyed = false;
    bool m_quit = false;
    int m_exit_code = 0;
    bool m_paint_pending = false;
    bool m_sip_preference = false;
    bool m_panel_up = false; // we raised text input for an edit
    std::int32_t m_orientation = -1;
    std::uint32_t m_last_tick = 0;
    std::uint32_t m_windowed_due = 0; // virtual ms of the next timer tick
    ScreenInfo m_screen_info;
    std::deque<WString> m_command_lines;
    std::set<std::uint32_t> m_keys_down; // virtual keys held
    ui::RenderSurface m_back_buffer;

    // Pen state: where it was released last; kPenHeld while it is down.
    ui::Point m_release{0, 0};
    ui::Point m_pen{0, 0};
    bool m_pen_down = false;
};

} // namespace telvara::app
