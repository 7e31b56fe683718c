#pragma once
// The Application (one per process): the stack of forms with their
// transitions, the update and redraw decisions of every frame, and the global
// key, character and pen input. Its window and loop half is GameBase, which
// it owns.

#include "app/application_listener.h"
#include "app/game_base.h"
#include "app/text_input_bridge.h"
#include "forms/form.h"
#include "forms/form_host.h"
#include "platform/text.h"
#include "ui/input_event.h"
#include "ui/render_surface.h"

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace telvara::app {

// The default font of the program's own texts.
inline constexpr char16_t kDefaultFontFace[] = u"Tahoma";
inline constexpr int kDefaultFontSize = 10;

// Registry value (string under HKEY_CURRENT_USER\Software\KELMA\Telvara):
// the emergency numbers, separated by ",". Default "112,911".
inline constexpr char16_t kEmergencyNumbersValue[] = u"EmergencyNumbers";

class Application final : public forms::FormHost {
  public:
    // Registers the node types, creates the window (GameBase) and reads the
    // emergency numbers. A second one ends the process.
    explicit Application(WString name, GameBaseOptions options = {});
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The live application, or null.
    static Application* instance();

    const WString& name() const { return m_name; }
    GameBase& game() { return *m_game; }

    // Any thread (the start-up worker hands over the main form). Command lines
    // that arrived while there was no listener are handed over now.
    void set_listener(ApplicationListener* listener);
    ApplicationListener* listener() const { return m_listener.load(); }

    // --- Form stack (FormHost) -------------------------------------------------
    void show_form(forms::Form& form, forms::ShowMode mode, forms::Animate animate) override;
    // The stack owns the form from here on.
    forms::Form& show_form(std::unique_ptr<forms::Form> form, forms::ShowMode mode,
                           forms::Animate animate);
    bool close_form(forms::Form& form, forms::Animate animate) override;
    bool is_shown(const forms::Form& form) const override;
    forms::Form* top_form() const override;
    void set_dirty() override { m_dirty = true; }
    void minimize_window() override { m_game->minimize(); }
    void set_overlay(forms::OverlaySlot slot, forms::Form* form,
                     const forms::Form* owner = nullptr) override;
    forms::Form* overlay(forms::OverlaySlot slot) const override;
    // Where the forms on the stack are laid out: the screen, less the call
    // strip while it shows.
    ui::Rect stack_area();
    std::size_t form_count() const { return m_forms.size(); }
    forms::Form& form_at(std::size_t index) const { return *m_forms[index].form; }
    bool transition_running() const { return m_transition != nullptr; }
    int transition_strength() const { return m_strength; }

    // --- Frames ----------------------------------------------------------------
    // From the first frame of the main screen on, settings problems met at
    // run time (a change not saved) are put on the notice line.
    void show_settings_problems() { m_show_settings_problems = true; }
    void update(double seconds);
    bool needs_redraw(bool default_result);
    void draw(ui::RenderSurface& surface);
    bool dirty() const { return m_dirty; }

    // The screen forms are sized to (GameBase keeps it current).
    void set_screen_size(std::int32_t width, std::int32_t height);
    std::int32_t screen_width() const { return m_screen_width; }
    std::int32_t screen_height() const { return m_screen_height; }

    // --- Input -------------------------------------------------------------------
    // The emergency shortcut, then the top form.
    void on_key(const ui::KeyEvent& event);
    // Characters for the edit box that has the input focus.
    void on_char(WStringView text);
    void on_pointer(const ui::PointerEvent& event);

    void set_text_focus(TextInputFocus* focus);
    TextInputFocus* text_focus() const { return m_text_focus; }

    // Digits typed since the last other key.
    const WString& typed_digits() const { return m_typed_digits; }
    void clear_typed_digits() { m_typed_digits.clear(); }
    const std::vector<WString>& emergency_numbers() const { return m_emergency_numbers; }
    // Places an emergency call; true when it was placed. Until the telephone
    // layer sets one, the Talk key is never taken for an emergency call.
    using EmergencyDialler = std::function<bool(WStringView number)>;
    void set_emergency_dialler(EmergencyDialler dialler) { m_dialler = std::move(dialler); }
    // The telephony layer's emergency shortcut: sees every key before the top
    // form and returns true for a key it used up (an emergency call placed).
    // While one is set it keeps the typed digits and the numbers itself, and
    // the built-in check above stands aside. Empty: the built-in check again.
    using EmergencyShortcut = std::function<bool(const ui::KeyEvent& event)>;
    void set_emergency_shortcut(EmergencyShortcut shortcut) { m_shortcut = std::move(shortcut); }

  private:
    struct Entry {
        forms::Form* form = nullptr;
        std::unique_ptr<forms::Form> owned; // set when the stack owns it
    };

    void push(forms::Form& form, std::unique_ptr<forms::Form> owned, forms::ShowMode mode,
              forms::Animate animate);
    void start_transition(std::unique_ptr<forms::FormTransition> transition);
    void draw_stack(ui::RenderSurface& surface);
    // The call strip, when it shows now (placed on the screen), else null.
    forms::Form* shown_strip();
    void update_overlays(double seconds);
    bool emergency_call();

    WString m_name;
    bool m_dirty = true;
    bool m_last_needs_redraw = false;
    bool m_show_settings_problems = false;
    std::atomic<ApplicationListener*> m_listener{nullptr};
    std::vector<Entry> m_forms;
    struct Overlay {
        forms::Form* form = nullptr;
        const forms::Form* owner = nullptr;
    };
    Overlay m_overlays[2];
    // The stack's area the forms were last laid out in.
    ui::Rect m_stack_area{};
    // The pen went down on the call strip: the rest of its press goes there.
    bool m_pen_on_strip = false;
    // Owned forms taken off the stack; they may still be on the call stack
    // (a form closing itself), so they go at the next update.
    std::vector<std::unique_ptr<forms::Form>> m_retired;
    std::unique_ptr<forms::FormTransition> m_transition;
    ui::RenderSurface m_snapshot;
    int m_strength = forms::kFullStrength;
    std::int32_t m_screen_width = 0;
    std::int32_t m_screen_height = 0;
    TextInputFocus* m_text_focus = nullptr;
    std::vector<WString> m_emergency_numbers;
    WString m_typed_digits;
    EmergencyDialler m_dialler;
    EmergencyShortcut m_shortcut;
    std::unique_ptr<GameBase> m_game;
    // Declared after the game: it may clear the focus, which lays out again.
    std::unique_ptr<TextInputBridge> m_text_input;
};

} // namespace telvara::app
