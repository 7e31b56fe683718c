#pragma once
// An Application on the headless display and a virtual clock, in a fresh
// device root, with probe forms that record what reaches them.
#include "app/application.h"
#include "display/headless_display.h"
#include "forms/form.h"
#include "runtime/device_root_fixture.h"
#include "ui/basic_nodes.h"
#include <functional>
#include <memory>
#include <vector>
namespace telvara::test_support {
class ProbeForm : public forms::Form {
  public:
    explicit ProbeForm(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~ProbeForm() override {
        if (m_destroyed)
            *m_destroyed = true;
    }
    void update(double seconds) override { updates.push_back(seconds), Form::update(seconds); }
    bool is_animating() const override { return animating; }
    bool on_key(const ui::KeyEvent& event) override { return keys.push_back(event), true; }
    bool on_touch(const ui::PointerEvent& e) override { return touches.push_back(e), true; }
    std::unique_ptr<forms::FormTransition> make_transition(forms::TransitionKind kind) override {
        return transition ? transition(kind) : nullptr;
    }
    std::vector<double> updates;
    std::vector<ui::KeyEvent> keys;
    std::vector<ui::PointerEvent> touches;
    bool animating = false;
    std::function<std::unique_ptr<forms::FormTransition>(forms::TransitionKind)> transition;

  private:
    bool* m_destroyed;
};
// A form filled by one colour node.
inline std::unique_ptr<ProbeForm> colour_form(ui::Colour colour) {
    auto form = std::make_unique<ProbeForm>();
    auto fill = std::make_unique<ui::ColorNode>();
    fill->set_color(colour);
    form->append_child(std::move(fill));
    return form;
}
struct ListenerProbe : app::ApplicationListener {
    std::vector<WString> command_lines;
    std::vector<forms::Form*> closed;
    int activations = 0;
    bool allow_close = true;
    bool swallow_keys = false;
    void on_command_line(WStringView text) override { command_lines.emplace_back(text); }
    bool can_close() override { return allow_close; }
    void on_form_closed(forms::Form& form) override { closed.push_back(&form); }
    void on_activate() override { ++activations; }
    bool on_key_preview(const ui::KeyEvent&) override { return swallow_keys; }
};
class ApplicationTest : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        auto display = std::make_unique<display::HeadlessDisplay>(
            display::ScreenMetrics{kWidth, kHeight, 96, 0});
        m_display = display.get();
        app::GameBaseOptions options;
        options.display = std::move(display);
        options.clock = &m_clock;
        options.allow_recorder = false;
        m_app = std::make_unique<app::Application>(u"Telvara", std::move(options));
        game().set_windowed(app::TaskBar::Hidden);
        game().set_direct(0);
    }
    void TearDown() override {
        m_app.reset();
        DeviceRootTest::TearDown();
    }
    app::Application& application() { return *m_app; }
    app::GameBase& game() { return m_app->game(); }
    display::HeadlessDisplay& screen() { return *m_display; }
    platform::VirtualClock& clock() { return m_clock; }
    static constexpr std::int32_t kWidth = 48;
    static constexpr std::int32_t kHeight = 64;

  private:
    platform::VirtualClock m_clock;
    display::HeadlessDisplay* m_display = nullptr;
    std::unique_ptr<app::Application> m_app;
};
} // namespace telvara::test_support
