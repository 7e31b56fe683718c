#pragma once
// NoticeForm ("Notice"): one short line over whatever screen shows, for a
// moment: something was handed to another program ("Opening messages…") or
// could not be ("No program for text messages"). It takes no input; the
// application draws it over the stack from the notice slot.

#include "forms/form.h"
#include "platform/text.h"

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class NoticeForm final : public Form {
  public:
    // How long a notice stays before it goes.
    static constexpr double kShownSeconds = 2.5;

    NoticeForm();
    // Leaves the form host's notice slot.
    ~NoticeForm() override;
    NoticeForm(const NoticeForm&) = delete;
    NoticeForm& operator=(const NoticeForm&) = delete;

    // Loads "Notice" with its text "txtNotice" (vadode errors otherwise) and
    // takes the form host's notice slot. Starts hidden.
    void bind(const ui::Properties& skin);

    // Shows the translation of `key` (a placeholder "%1" in it becomes
    // `detail`), replacing a notice already showing, for kShownSeconds.
    void show(WStringView key, WStringView detail = {});
    // Takes a notice away before its time (what it said is over).
    void hide();
    bool is_showing() const { return m_left > 0; }
    const WString& text() const;

    // Counts the time down; the notice hides itself when it is over.
    void update(double seconds) override;

  private:
    const ui::Properties* m_skin = nullptr;
    ui::TextNode* m_text = nullptr;
    double m_left = 0;
};

// Shows a notice through the form host's notice slot; nothing without one.
void show_notice(WStringView key, WStringView detail = {});

} // namespace telvara::forms
