#pragma once
// LinePrompts: what the main screen shows of the telephone line beside a
// call: the SIM's PIN prompt (PinForm) when the SIM asks for a code, the
// panel with a service code's reply (MessagePanel), the brief notices
// (NoticeForm), the operator and signal (or why there is no service) on the
// dialer keypad while no number is typed ("text_network", optional), and a
// call dialled while the SIM was locked, placed once the network took the
// phone.

#include "forms/document_subscription.h"
#include "forms/message_panel.h"
#include "forms/notice_form.h"
#include "forms/pin_form.h"
#include "platform/text.h"

#include <cstdint>

namespace telvara::ui {
class Node;
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

class KeyboardContainer;

class LinePrompts final : private data::DocumentListener {
  public:
    // How long a call dialled while the SIM was locked waits for the network.
    static constexpr std::uint32_t kCallAfterUnlockMs = 30000;

    LinePrompts();
    LinePrompts(const LinePrompts&) = delete;
    LinePrompts& operator=(const LinePrompts&) = delete;

    // Binds the notice, the panel and the PIN form, and finds the keypad's
    // network line (vadode errors for a missing part but that line).
    void bind(const ui::Properties& skin, KeyboardContainer& keypad);
    void set_scheduler(runtime::CActiveScheduler* scheduler);

    // The keypad's number changed: the network line shows while it is empty.
    void on_keypad_text(const WString& text);
    // The line as the Telephone says it now (also at start).
    void refresh();

    NoticeForm& notice() { return m_notice; }
    MessagePanel& panel() { return m_panel; }
    PinForm& pin() { return m_pin; }
    // The network line's text ("Telvara Mobile ▂▄▆█", "No service", ...).
    WString network_text() const;
    const WString& call_after_unlock() const { return m_call_after_unlock; }

  private:
    void on_document_refresh(const data::RefreshMessage& message) override;
    void show_network();
    void try_call_after_unlock();

    const ui::Properties* m_skin = nullptr;
    DocumentSubscription m_document{*this};
    NoticeForm m_notice;
    MessagePanel m_panel;
    PinForm m_pin;
    ui::TextNode* m_network = nullptr;
    bool m_keypad_empty = true;
    std::uint64_t m_replies_seen = 0;
    WString m_call_after_unlock;
    std::uint32_t m_unlocked_at = 0;
};

} // namespace telvara::forms
