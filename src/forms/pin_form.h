#pragma once
// PinForm ("PinForm"): the SIM asks for its PIN, or, after too many wrong
// tries, its PUK and then a new PIN. A keypad ("KeyboardContainer" with the
// dialer's keys; "button_call" is OK, "button_close" cancels) types the code,
// shown as dots; "txtPinTitle" says which code, "txtPinInfo" the tries left
// and what the SIM answered. The code goes to the Telephone and nowhere
// else. A number the user dialled while the SIM was locked is handed back
// once the SIM took its code.

#include "forms/form.h"
#include "forms/keyboard_container.h"
#include "platform/text.h"

#include <cstdint>
#include <functional>

namespace telvara::ui {
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class PinForm final : public Form, private KeyboardListener {
  public:
    enum class Step { Pin, Puk, NewPin };

    PinForm();
    ~PinForm() override;
    PinForm(const PinForm&) = delete;
    PinForm& operator=(const PinForm&) = delete;

    // Loads "PinForm", its texts and keypad (vadode errors otherwise).
    void bind(const ui::Properties& skin);
    void set_scheduler(runtime::CActiveScheduler* scheduler);
    // Told the number dialled while locked, once the SIM took its code.
    void set_unlocked_listener(std::function<void(const WString& number)> listener) {
        m_unlocked = std::move(listener);
    }

    // Puts the form on top for the code the SIM asks now (nothing when it
    // asks none). `pending_number`: a call to place once unlocked.
    void show(WStringView pending_number = {});
    void close();
    bool is_open() const;
    // The user turned it away: it does not come back on its own until the
    // user tries to call.
    bool dismissed() const { return m_dismissed; }

    // The telephone line changed: a code was answered, the SIM changed.
    void on_line_changed();

    Step step() const { return m_step; }
    const WString& info() const;
    KeyboardContainer& keyboard() { return m_keyboard; }

    bool on_key(const ui::KeyEvent& event) override;

  private:
    // KeyboardListener.
    void on_keyboard_text(const WString& text) override;
    void on_keyboard_closed() override;
    void on_keyboard_call(const WString& text) override;

    void show_step();
    void set_info(WStringView key, int retries = -1);
    void show_refusal();
    WString translate(WStringView key) const;

    const ui::Properties* m_skin = nullptr;
    ui::TextNode* m_title = nullptr;
    ui::TextNode* m_info = nullptr;
    Step m_step = Step::Pin;
    WString m_puk; // kept between the PUK and the new PIN only
    WString m_pending_number;
    bool m_waiting = false; // a code is with the SIM
    bool m_dismissed = false;
    bool m_refused = false; // the last code was refused
    std::uint64_t m_answers_seen = 0;
    std::function<void(const WString&)> m_unlocked;
    // Destroyed before the tree it points into (members go before the base).
    KeyboardContainer m_keyboard{SwitchVisibility::No};
};

} // namespace telvara::forms
