// The Application: form stack, frame decisions, global input.
#include "app/application.h"

#include "app/node_types.h"
#include "app/startup_notices.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/colour.h"
#include "ui/drawing.h"
#include "ui/node_registry.h"

#include <algorithm>
#include <cstdio>

namespace telvara::app {

namespace {

Application* g_application = nullptr; // the singleton slot

constexpr char16_t kTelvaraKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
// As the shell's list: at most this many characters are read.
constexpr std::size_t kEmergencyListLimit = 2047;

std::vector<WString> read_emergency_numbers() {
    WString list = u"112,911";
    runtime::reg_read_string(kTelvaraKey, kEmergencyNumbersValue, list);
    if (list.size() > kEmergencyListLimit)
        list.resize(kEmergencyListLimit);
    std::vector<WString> numbers;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(u',', start);
        if (end == WString::npos)
            end = list.size();
        WString number = list.substr(start, end - start);
        std::erase(number, u' ');
        if (!number.empty())
            numbers.push_back(std::move(number));
        start = end + 1;
    }
    return numbers;
}

WString address_text(const void* address) {
    char text[32];
    std::snprintf(text, sizeof text, "%p", address);
    return from_ascii(text);
}

} // namespace

void ApplicationListener::on_command_line(WStringView) {
    if (Application* application = Application::instance())
        application->game().bring_to_front();
}

Application::Application(WString name, GameBaseOptions options) : m_name(std::move(name)) {
    if (g_application)
        runtime::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
    g_application = this;
    forms::set_form_host(this);
    register_application_node_types(ui::NodeRegistry::instance());
    m_game = std::make_unique<GameBase>(*this, m_name, std::move(options));
    m_text_input = std::make_unique<TextInputBridge>(*this);
    runtime::log() << u"Application::Application() this=" << address_text(this) << u"\n";
    m_emergency_numbers = read_emergency_numbers();
}

Application::~Application() {
    runtime::log() << u"Application::~Application()\n";
    m_text_input.reset();
    m_game.reset();
    m_transition.reset();
    m_forms.clear();
    m_retired.clear();
    unregister_application_node_types(ui::NodeRegistry::instance());
    forms::set_form_host(nullptr);
    g_application = nullptr;
}

Application* Application::instance() {
    return g_application;
}

void Application::set_listener(ApplicationListener* listener) {
    m_listener = listener;
    // Command lines that came before the main form existed wait for it.
    if (listener)
        for (std::size_t i = 0; i < m_game->queued_command_lines().size(); ++i)
            platform::post(m_game->window(), platform::WM_NEXT_COMMAND_LINE);
}

// --- Form stack ------------------------------------------------------------------

void Application::show_form(forms::Form& form, forms::ShowMode mode, forms::Animate animate) {
    push(form, nullptr, mode, animate);
}

forms::Form& Application::show_form(std::unique_ptr<forms::Form> form, forms::ShowMode mode,
                                    forms::Animate animate) {
    forms::Form& shown = *form;
    push(shown, std::move(form), mode, animate);
    return shown;
}

void Application::push(forms::Form& form, std::unique_ptr<forms::Form> owned, forms::ShowMode mode,
                       forms::Animate animate) {
    if (animate == forms::Animate::Yes)
        start_transition(form.make_transition(forms::TransitionKind::Show));
    // A form is on the stack once: showing it again brings it to the top.
    auto it = std::find_if(m_forms.begin(), m_forms.end(),
                           [&](const Entry& entry) { return entry.form == &form; });
    if (it != m_forms.end()) {
        if (!owned)
            owned = std::move(it->owned);
        m_forms.erase(it);
    }
    if (mode == forms::ShowMode::Replace && !m_forms.empty()) {
        if (m_forms.back().owned)
            m_retired.push_back(std::move(m_forms.back().owned));
        m_forms.pop_back();
    }
    m_forms.push_back(Entry{&form, std::move(owned)});
    form.fit_to_area(stack_area());
    m_dirty = true;
}

bool Application::close_form(forms::Form& form, forms::Animate animate) {
    auto find = [&] {
        return std::find_if(m_forms.begin(), m_forms.end(),
                            [&](const Entry& entry) { return entry.form == &form; });
    };
    if (find() == m_forms.end())
        return false;
    if (animate == forms::Animate::Yes)
        start_transition(form.make_transition(forms::TransitionKind::Close));
    if (ApplicationListener* listener = m_listener.load())
        listener->on_form_closed(form);
    // The listener may have rearranged the stack meanwhile.
    auto it = find();
    if (it != m_forms.end()) {
        if (it->owned)
            m_retired.push_back(std::move(it->owned));
        m_forms.erase(it);
    }
    m_dirty = true;
    return true;
}

bool Application::is_shown(const forms::Form& form) const {
    return std::any_of(m_forms.begin(), m_forms.end(),
                       [&](const Entry& entry) { return entry.form == &form; });
}

forms::Form* Application::top_form() const {
    return m_forms.empty() ? nullptr : m_forms.back().form;
}

void Application::start_transition(std::unique_ptr<forms::FormTransition> transition) {
    if (!transition || m_screen_width <= 0 || m_screen_height <= 0)
        return;
    // The screen as it is before the change, a running transition included.
    ui::RenderSurface before;
    before.resize(m_screen_width, m_screen_height);
    draw_stack(before);
    if (m_transition)
        m_transition->draw(before, m_snapshot, m_strength);
    m_snapshot.attach(before.release());
    m_transition = std::move(transition);
    m_strength = forms::kFullStrength;
}

// --- Frames ------------------------------------------------------------------------

// --- Overlays ------------------------------------------------------------------------

void Application::set_overlay(forms::OverlaySlot slot, forms::Form* form,
                              const forms::Form* owner) {
    Overlay& overlay = m_overlays[static_cast<std::size_t>(slot)];
    if (overlay.form == form && overlay.owner == owner)
        return;
    overlay = {form, owner};
    if (slot == forms::OverlaySlot::CallStrip)
        m_pen_on_strip = false;
    m_dirty = true;
}

forms::Form* Application::overlay(forms::OverlaySlot slot) const {
    return m_overlays[static_cast<std::size_t>(slot)].form;
}

forms::Form* Application::shown_strip() {
    const Overlay& strip = m_overlays[static_cast<std::size_t>(forms::OverlaySlot::CallStrip)];
    if (strip.form == nullptr || !strip.form->is_visible() || m_forms.empty() ||
        top_form() == strip.owner)
        return nullptr;
    strip.form->fit_to_screen(m_screen_width, m_screen_height);
    return strip.form;
}

ui::Rect Application::stack_area() {
    ui::Rect area{0, 0, m_screen_width, m_screen_height};
    if (forms::Form* strip = shown_strip())
        area.top = std::clamp(strip->y() + strip->height(), 0, m_screen_height);
    return area;
}

void Application::update_overlays(double seconds) {
    const ui::Rect area = stack_area();
    if (area.top != m_stack_area.top || area.bottom != m_stack_area.bottom ||
        area.right != m_stack_area.right) {
        // The strip came or went: every screen below moves.
        m_stack_area = area;
        for (Entry& entry : m_forms)
            entry.form->mark_layout();
        m_dirty = true;
    }
    for (const Overlay& overlay : m_overlays) {
        if (overlay.form == nullptr)
            continue;
        overlay.form->fit_to_screen(m_screen_width, m_screen_height);
        overlay.form->update(seconds);
    }
}

// --- Frames ------------------------------------------------------------------------

void Application::update(double seconds) {
    m_retired.clear();
    if (m_show_settings_problems)
        post_settings_problems();
    update_overlays(seconds);
    if (m_transition) {
        m_strength = m_transition->advance(seconds);
        m_dirty = true;
        if (m_strength > 0)
            return;
        m_transition.reset();
        m_snapshot.resize(0, 0);
    }
    forms::Form* top = top_form();
    if (!top)
        return;
    top->fit_to_area(stack_area());
    top->update(seconds);
}

bool Application::needs_redraw(bool default_result) {
    if (forms::Form* top = top_form(); top && (top->is_animating() || top->is_changing()))
        return true;
    for (const Overlay& overlay : m_overlays) {
        forms::Form* form = overlay.form;
        if (form != nullptr && (form->is_animating() || form->is_changing()))
            return true;
    }
    if (m_dirty)
        return true;
    return default_result ? m_last_needs_redraw : false;
}

void Application::draw(ui::RenderSurface& surface) {
    m_last_needs_redraw = needs_redraw(false);
    m_dirty = false;
    draw_stack(surface);
    if (m_transition)
        m_transition->draw(surface, m_snapshot, m_strength);
}

void Application::draw_stack(ui::RenderSurface& surface) {
    ui::fill_pixel(surface, {}, {surface.width(), surface.height()}, ui::to_565(0, 0, 0));
    const ui::Rect area = stack_area();
    for (Entry& entry : m_forms) {
        entry.form->fit_to_area(area);
        entry.form->draw_form(surface);
    }
    if (forms::Form* strip = shown_strip())
        strip->draw_form(surface);
    const Overlay& notice = m_overlays[static_cast<std::size_t>(forms::OverlaySlot::Notice)];
    if (notice.form != nullptr) {
        notice.form->fit_to_area(area);
        notice.form->draw_form(surface);
    }
}

void Application::set_screen_size(std::int32_t width, std::int32_t height) {
    if (width == m_screen_width && height == m_screen_height)
        return;
    m_screen_width = width;
    m_screen_height = height;
    for (Entry& entry : m_forms)
        entry.form->mark_layout();
    for (const Overlay& overlay : m_overlays)
        if (overlay.form != nullptr)
            overlay.form->mark_layout();
    m_dirty = true;
}

// --- Input ---------------------------------------------------------------------------

bool Application::emergency_call() {
    runtime::log() << u"try call " << m_typed_digits << u"\n";
    if (!m_dialler)
        return false;
    for (const WString& number : m_emergency_numbers) {
        if (m_typed_digits.size() >= number.size() && m_typed_digits.ends_with(number)) {
            m_typed_digits.clear();
            runtime::log() << u"emergency call " << number << u"\n";
            m_dialler(number);
            return true;
        }
    }
    return false;
}

void Application::on_key(const ui::KeyEvent& event) {
    if (m_shortcut) {
        if (m_shortcut(event))
            return;
    } else if (event.pressed) {
        constexpr std::int32_t kTalk = 58;
        if (event.code == kTalk) {
            if (emergency_call())
                return;
        } else if (event.code >= 46 && event.code <= 55) {
            m_typed_digits.push_back(char16_t(u'0' + (event.code - 46)));
        } else if (event.code > 0) {
            m_typed_digits.clear();
        }
    }
    forms::Form* top = top_form();
    if (top != nullptr && top->menu_takes_key(event))
        return;
    // A focused edit box takes its editing and typing keys before the form.
    if (ui::TextInputService::instance().on_key(event))
        return;
    if (top != nullptr)
        top->on_key(event);
}

void Application::on_char(WStringView text) {
    if (m_text_focus)
        m_text_focus->on_text_input(text);
}

void Application::on_pointer(const ui::PointerEvent& event) {
    if (event.kind == ui::PointerKind::Down) {
        forms::Form* strip = shown_strip();
        m_pen_on_strip = strip != nullptr && strip->hit_test({event.x, event.y});
    }
    if (m_pen_on_strip) {
        if (event.kind == ui::PointerKind::Up || event.cancelled)
            m_pen_on_strip = false;
        if (forms::Form* strip = overlay(forms::OverlaySlot::CallStrip))
            strip->on_touch(event);
        return;
    }
    if (forms::Form* top = top_form())
        top->on_touch(event);
}

void Application::set_text_focus(TextInputFocus* focus) {
    if (focus == m_text_focus)
        return;
    m_text_focus = focus;
    m_game->update_layout();
}

} // namespace telvara::app
