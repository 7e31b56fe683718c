#pragma once
// ApplicationListener: what the main form hears from the application window
// (command lines of a second start, closing, activation, resolution changes,
// the help key, keys before anyone else). Defaults as noted.

#include "platform/text.h"
#include "ui/input_event.h"

namespace telvara::forms {
class Form;
}

namespace telvara::app {

class ApplicationListener {
  public:
    virtual ~ApplicationListener() = default;

    // A command line handed over by a second start. Default: bring the
    // application window to the front.
    virtual void on_command_line(WStringView text);
    // Asked before the window closes; false keeps it open.
    virtual bool can_close() { return true; }
    // The window never calls this itself; a listener that wants it when the
    // application comes back calls it from on_activate.
    virtual void on_resume() {}
    // A form was taken off the stack (told before it goes).
    virtual void on_form_closed(forms::Form&) {}
    // The screen's size, orientation or density changed.
    virtual void on_resolution_changed() {}
    virtual void on_help() {}
    virtual void on_deactivate() {}
    virtual void on_activate() {}
    // Sees key presses first; true consumes the key.
    virtual bool on_key_preview(const ui::KeyEvent&) { return false; }
};

// Receives typed characters while it has the input focus (the edit box).
class TextInputFocus {
  public:
    virtual void on_text_input(WStringView text) = 0;

  protected:
    ~TextInputFocus() = default;
};

} // namespace telvara::app
