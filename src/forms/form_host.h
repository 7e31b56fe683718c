#pragma once
// What a form may ask of the application that shows it: the form stack, the
// redraw request and the window. The application implements it; forms reach
// it through form_host() without depending on the application's library.

namespace telvara::forms {

class Form;

enum class ShowMode { Push, Replace }; // Replace drops the previous top form
enum class Animate { No, Yes };        // run the form's transition, if any

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

  protected:
    ~FormHost() = default;
};

// The running application's form stack; null while no application exists.
FormHost* form_host();
// Set by the application for its lifetime (null on destruction).
void set_form_host(FormHost* host);

} // namespace telvara::forms
