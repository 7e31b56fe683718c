#pragma once
// NoticeForm ("Notice"): one short line over whatever screen shows, for a
// moment: something was handed to another program ("Opening messages…") or
// could not be ("No program for text messages"), or a problem met while the
// program started (damaged settings). It takes no input; the application
// draws it over the stack from the notice slot.

#include "forms/form.h"
#include "platform/text.h"

#include <cstddef>
#include <deque>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

// Replace: the notice shows at once, over one showing (what the user just
// did). AfterOthers: it waits until the notices before it have had their
// time, so several problems found together are each read.
enum class NoticeOrder { Replace, AfterOthers };

class NoticeForm final : public Form {
  public:
    // How long a notice stays before it goes.
    static constexpr double kShownSeconds = 2.5;
    // Notices waiting beyond this are dropped: a flood would hold the line
    // for minutes and say nothing new.
    static constexpr std::size_t kMaxWaiting = 8;

    NoticeForm();
    // Leaves the form host's notice slot.
    ~NoticeForm() override;
    NoticeForm(const NoticeForm&) = delete;
    NoticeForm& operator=(const NoticeForm&) = delete;

    // Loads "Notice" with its text "txtNotice" (vadode errors otherwise) and
    // takes the form host's notice slot. Starts hidden, nothing waiting.
    void bind(const ui::Properties& skin);

    // Shows the translation of `key` (a placeholder "%1" in it becomes
    // `detail`) for kShownSeconds, at once or after the waiting ones (see
    // NoticeOrder). A text already showing or waiting is not queued again.
    void show(WStringView key, WStringView detail = {}, NoticeOrder order = NoticeOrder::Replace);
    // Takes the notice showing away before its time (what it said is over);
    // the next waiting one follows.
    void hide();
    bool is_showing() const { return m_left > 0; }
    const WString& text() const;
    std::size_t waiting() const { return m_waiting.size(); }

    // Counts the time down; the notice hides itself, or gives way to the next
    // waiting one, when it is over.
    void update(double seconds) override;

  private:
    void present(WString text);
    void next_or_hide();

    const ui::Properties* m_skin = nullptr;
    ui::TextNode* m_text = nullptr;
    double m_left = 0;
    std::deque<WString> m_waiting;
};

// Shows a notice through the form host's notice slot; nothing without one.
void show_notice(WStringView key, WStringView detail = {},
                 NoticeOrder order = NoticeOrder::Replace);

} // namespace telvara::forms
