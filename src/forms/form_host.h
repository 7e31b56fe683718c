#pragma once
// What a form may ask of the application that shows it: the form stack, the
// redraw request and the window. The application implements it; forms reach
// it through form_host() without depending on the application's library.

namespace telvara::forms {

class Form;

enum class ShowMode { Push, Replace }; // Replace drops the previous top form
enum class Animate { No, Yes };        // run the form's transition, if any

// Forms drawn over the stack, never on it, and updated every frame: the
// strip of a running call over the top of every screen but the call screen
// (the screens are laid out below it), and the brief notice.
enum class OverlaySlot { CallStrip, Notice };

class FormHost {
  public:
    // Makes the form the top form; the caller keeps ownership.
    virtual void show_form(Form& form, ShowMode mode, Animate animate) = 0;
    // Takes the form off the stack; false when it is not on it.
    virtual bool close_form(Form& form, Animate animate) = 0;
    virtual bool is_shown(const Form& form) const = 0;
    // Null while the stack is empty.
    virtual Form* top_form() const = 0;
    // A redraw is due.
    virtual void set_dirty() = 0;
    // Puts the program's window away (to the task bar); it keeps running.
    virtual void minimize_window() = 0;

    // Puts `form` (null: nothing) into the slot; it shows while it is
    // visible and, for the call strip, while `owner` is not the top form.
    // The caller keeps ownership and clears the slot before the form goes.
    virtual void set_overlay(OverlaySlot slot, Form* form, const Form* owner = nullptr) = 0;
    virtual Form* overlay(OverlaySlot slot) const = 0;

  protected:
    ~FormHost() = default;
};

// The running application's form stack; null while no application exists.
FormHost* form_host();
// Set by the application for its lifetime (null on destruction).
void set_form_host(FormHost* host);

} // namespace telvara::forms
