#pragma once
// KeyboardContainer: the on-screen dialer keypad bound into a host screen. It
// edits the typed number (digits, "#", and by holding a key "+", blank, "*"
// or a cleared text), shows it in "text_button_call" and reports every change,
// the close and the call to its listener; what the number means is the host's
// business.

#include "forms/form_host.h"
#include "platform/text.h"
#include "runtime/active_scheduler.h"
#include "ui/button_node.h"

#include <array>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::data {
class KeyMap;
}

namespace telvara::forms {

class KeyboardListener {
  public:
    virtual void on_keyboard_text(const WString& text) = 0; // text changed
    virtual void on_keyboard_closed() = 0;                  // keypad closed
    virtual void on_keyboard_call(const WString& text) = 0; // call button

  protected:
    ~KeyboardListener() = default;
};

// The letters a digit key shows: the skin's own letters ("ABC"), then, in
// capitals and in the order of the language's alphabet, the letters of that
// alphabet which the key map puts on the key (`key_text`) and the skin's
// letters do not show yet: "ABC" with the Russian alphabet gives
// "ABC АБВГ". An alphabet of letters the skin shows already adds nothing.
WString key_letters(WStringView skin_letters, WStringView key_text, WStringView alphabet);

// The language key of the alphabet the keypad letters follow.
inline constexpr char16_t kAlphabetKey[] = u"skinAlphabet";

enum class SwitchVisibility { No, Yes }; // "button_backspace"/"button_close" swap with the text
enum class CallButton { Hidden, Shown };

class KeyboardContainer : private ui::ButtonListener {
  public:
    // How long "0", "1", "#" or backspace is held before its long press.
    static constexpr double long_press_seconds = 0.7;

    explicit KeyboardContainer(SwitchVisibility mode = SwitchVisibility::No);
    // Stops the long-press timer and lets go of the buttons; the bound nodes
    // must still be alive (destroy the keypad before its host's tree, or
    // unbind() first).
    ~KeyboardContainer();
    KeyboardContainer(const KeyboardContainer&) = delete;
    KeyboardContainer& operator=(const KeyboardContainer&) = delete;

    // The long-press timer runs on this scheduler (the application's, on the
    // UI thread); without one a held key simply clicks when let go. The
    // scheduler must outlive the keypad or be replaced by null first.
    void set_scheduler(runtime::CActiveScheduler* scheduler);

    // Finds "KeyboardContainer" below `host` and its buttons; throws vadode::NodeNotFound.
    // Binding again (after a skin reload) drops the old pointers.
    // The keypad starts closed with an empty text; binding reports nothing.
    // The old nodes are never touched, so the tree they lived in may already
    // be gone; on a throw the keypad is left unbound.
    // With a skin, the letters under the digits ("button2_letters", ...)
    // also show the letters of the skin's language (its "skinAlphabet")
    // that the key map (the Document's, or `key_map`) puts on each key.
    void bind(ui::Node& host, KeyboardListener& listener, const ui::Properties* skin = nullptr,
              const data::KeyMap* key_map = nullptr);
    // Forgets the nodes without touching them and stops the timer; for a host
    // whose tree goes away without a new bind.
    void unbind();

    void show(CallButton call_button);
    // Only an open keypad closes: the text is cleared (reported), then the
    // root is hidden and the close reported.
    void hide(Animate animate);
    void set_text(WString text); // reports text changed
    // A secret being typed (a PIN): the number line shows a dot per digit.
    void set_masked(bool masked);
    const WString& text() const { return m_text; }
    bool is_open() const; // the root is visible
    ui::Node* root() const { return m_root; }

    // A held key waits for its long press.
    bool is_long_press_pending() const { return m_held != nullptr; }
    // Test hook: makes the pending long press due now, through the
    // scheduler's timer list as if the time had passed; it runs when the
    // scheduler next processes its ready objects. Does nothing when none is
    // pending.
    void expire_long_press();

  private:
    class LongPressTimer final : public runtime::CActive {
      public:
        explicit LongPressTimer(KeyboardContainer& owner) : m_owner(owner) {}
        void run() override { m_owner.long_press(); }

      private:
        KeyboardContainer& m_owner;
    };

    void on_click(ui::ButtonNode& button) override;
    void on_button_press(ui::ButtonNode& button, bool pressed, ui::Point point) override;

    bool has_long_press(const ui::ButtonNode& button) const;
    void long_press();
    void stop_long_press();
    void append(char16_t character);
    void show_edit_buttons();
    void release_buttons();

    SwitchVisibility m_mode = SwitchVisibility::No;
    KeyboardListener* m_listener = nullptr;
    runtime::CActiveScheduler* m_scheduler = nullptr;
    ui::Node* m_root = nullptr;
    std::array<ui::ButtonNode*, 10> m_digits{};
    ui::ButtonNode* m_backspace = nullptr;
    ui::ButtonNode* m_hash = nullptr;
    ui::ButtonNode* m_call = nullptr;
    ui::ButtonNode* m_close = nullptr;
    ui::TextNode* m_text_node = nullptr;
    WString m_text;
    bool m_masked = false;
    // The button whose long press the timer waits for.
    ui::ButtonNode* m_held = nullptr;
    LongPressTimer m_timer{*this};
};

} // namespace telvara::forms
