#pragma once
// The text-input service: which edit field has the input focus, and the
// bridge from the platform's text entry (typed characters, editing keys, the
// on-screen input panel) to that field. One per process; the application
// installs the platform half (TextInputBackend) and feeds it what it types.

#include "platform/text.h"
#include "ui/geometry.h"
#include "ui/input_event.h"

namespace telvara::ui {

// What a field that can take the focus offers the service.
class TextInputClient {
  public:
    // The field's rectangle on the screen, where the input panel must not sit.
    virtual Rect input_area() const = 0;
    // Typed characters (never empty, control characters already removed).
    virtual void insert_text(WStringView text) = 0;
    // Editing keys (Backspace, Delete, cursor keys). True when used; a key
    // that is not used must leave the field untouched.
    virtual bool on_input_key(const KeyEvent& event) = 0;
    // The focus came or went.
    virtual void on_input_focus(bool focused) = 0;

  protected:
    ~TextInputClient() = default;
};

// The platform's text entry: SDL text input on a desktop, the input panel
// on a phone.
class TextInputBackend {
  public:
    virtual void start_text_input(const Rect& area) = 0;
    // The focused field moved or its text changed.
    virtual void update_text_input(const Rect& area) = 0;
    virtual void stop_text_input() = 0;

  protected:
    ~TextInputBackend() = default;
};

class TextInputService {
  public:
    static TextInputService& instance();

    TextInputService(const TextInputService&) = delete;
    TextInputService& operator=(const TextInputService&) = delete;

    // Null detaches; a focused field keeps its focus and the new backend is
    // started for it.
    void set_backend(TextInputBackend* backend);
    TextInputBackend* backend() const { return m_backend; }

    TextInputClient* focused() const { return m_focused; }
    bool has_focus(const TextInputClient& client) const { return m_focused == &client; }

    // Moves the focus to `client` (the previous field is told it lost it)
    // and starts text input.
    void focus(TextInputClient& client);
    // Nobody has the focus any more; text input stops.
    void drop_focus();
    // Drops the focus only if `client` has it (a field going away).
    void release(TextInputClient& client);
    // The focused field changed place or text; others are ignored.
    void update(TextInputClient& client);

    // --- From the application ---------------------------------------------
    // Typed text for the focused field; dropped when nobody has the focus.
    // A high surrogate that arrives alone waits for its low half, so a
    // field never holds half a character.
    void on_text_input(WStringView text);
    // True when the focused field used the key; the application then does
    // not hand it on.
    bool on_key(const KeyEvent& event);

  private:
    TextInputService() = default;

    TextInputBackend* m_backend = nullptr;
    TextInputClient* m_focused = nullptr;
    char16_t m_pending_high = 0;
};

} // namespace telvara::ui
