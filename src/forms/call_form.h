#pragma once
// CallForm: the call screen ("CallForm"), on the form stack while a call
// rings, is being dialled or is connected. The Telephone owns the call; this
// screen follows its refresh flags (19 incoming, 20 dialing, 21 connected,
// 22 ended, 23 caller changed, 10 the line beside the call), shows the caller
// found among the contacts (name, photo) or named by the network, the
// number, the status and the running time, why a call could not be made, a
// second call (waiting, held or joined) with its choices, and turns taps
// into telephone operations: answer, ignore or end, speaker, mute, hold,
// swap, join, tones from its own keypad, the notes program and back to the
// contacts. While it is not in front, its strip leads back to it.

#include "data/refresh_message.h"
#include "forms/call_strip.h"
#include "forms/form.h"
#include "forms/keyboard_container.h"
#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/picture.h"

#include <cstdint>
#include <functional>

namespace telvara::runtime {
class CActiveScheduler;
}

namespace telvara::data {
class ContactPhotoCache;
}

namespace telvara::ui {
class ImageNode;
class Properties;
class TextNode;
} // namespace telvara::ui

namespace telvara::forms {

// Where the call the screen shows stands; Ended while it says why a call
// could not be made, for a moment before it closes.
enum class CallPhase { Idle, Incoming, Dialing, Connected, Ended };

class CallForm final : public Form,
                       private ui::ButtonListener,
                       private KeyboardListener,
                       private data::DocumentListener {
  public:
    // Listens to the Document of the process (if there is one yet). The
    // photo cache may be null: every caller then shows the default photo.
    explicit CallForm(data::ContactPhotoCache* photos = nullptr);
    ~CallForm() override;
    CallForm(const CallForm&) = delete;
    CallForm& operator=(const CallForm&) = delete;

    // Loads "CallForm" and finds its nodes (throws vadode::NodeNotFoundInSkin
    // / vadode::NodeNotFound). The skin translates the status texts and must
    // outlive the binding. Binding again during a call shows that call again.
    void bind(const ui::Properties& skin);
    // The keypad's long presses run on this scheduler (or none).
    void set_scheduler(runtime::CActiveScheduler* scheduler);
    void set_photo_cache(data::ContactPhotoCache* photos) { m_photos = photos; }

    // "skinBackToCall" of the main menu: the screen comes back on top with
    // its keypad closed. Does nothing without a call.
    void back_to_call();

    // How long the screen says why a call could not be made.
    static constexpr std::uint32_t kEndedShownMs = 2500;

    // Between the first incoming or dialing event and the end of the call.
    bool in_call() const { return m_phase != CallPhase::Idle && m_phase != CallPhase::Ended; }
    CallPhase phase() const { return m_phase; }
    // The running time as shown ("0:07", "1:02:03"); empty before connected.
    WString duration_text() const;
    KeyboardContainer& keyboard() { return m_keyboard; }
    CallStrip& strip() { return m_strip; }
    // The caller as the strip names them: contact, network name or number.
    const WString& caller_name() const { return m_caller_name; }

    // Keeps the running time current.
    void update(double seconds) override;
    std::unique_ptr<FormTransition> make_transition(TransitionKind kind) override;

  private:
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;
    // KeyboardListener.
    void on_keyboard_text(const WString& text) override;
    void on_keyboard_closed() override;
    void on_keyboard_call(const WString& text) override;
    // DocumentListener.
    void on_document_refresh(const data::RefreshMessage& message) override;

    void call_starts(CallPhase phase);
    void call_connected();
    void call_ended();
    // The dial did not go out or the far end never took it: say why.
    void call_failed(WStringView reason_key);
    void show_other_call();
    WString name_for(WStringView number, WStringView network_name) const;
    WString strip_text() const;
    void lookup_caller();
    void show_buttons();
    void show_switches();
    void show_status();
    void show_duration();
    void bring_to_top();
    void close_screen();
    void start_notes();
    WString translate(WStringView key) const;
    std::uint32_t now() const;
    std::uint32_t connected_at() const;

    data::ContactPhotoCache* m_photos = nullptr;
    const ui::Properties* m_skin = nullptr;
    CallPhase m_phase = CallPhase::Idle;
    bool m_answered = false;          // answer tapped, waiting for connected
    std::uint32_t m_connected_at = 0; // clock at the connected event
    std::int64_t m_shown_seconds = -1;
    std::uint32_t m_ended_at = 0; // clock when the Ended phase began
    WString m_ended_status;       // its status text's key
    WString m_caller_name;
    WString m_tones; // the keypad text whose last tone went out

    ui::TextNode* m_first_name = nullptr;
    ui::TextNode* m_last_name = nullptr;
    ui::TextNode* m_number = nullptr;
    ui::TextNode* m_status = nullptr;
    ui::TextNode* m_duration = nullptr; // optional
    ui::ImageNode* m_photo = nullptr;
    ui::Picture m_default_photo;
    ui::ButtonNode* m_answer = nullptr;
    ui::ButtonNode* m_ignore = nullptr;
    ui::ButtonNode* m_end = nullptr;
    ui::ButtonNode* m_speaker = nullptr;
    ui::ButtonNode* m_mute = nullptr;
    ui::ButtonNode* m_hold = nullptr;
    ui::ButtonNode* m_note = nullptr;
    ui::ButtonNode* m_contacts = nullptr;
    ui::ButtonNode* m_open_keyboard = nullptr;
    ui::Node* m_switch_speaker = nullptr;
    ui::Node* m_switch_mute = nullptr;
    ui::Node* m_switch_hold = nullptr;
    // The second call (optional in a skin: without them it is not shown).
    ui::Node* m_waiting_panel = nullptr;
    ui::TextNode* m_waiting_caller = nullptr;
    ui::ButtonNode* m_hold_answer = nullptr;
    ui::ButtonNode* m_end_answer = nullptr;
    ui::ButtonNode* m_reject_waiting = nullptr;
    ui::Node* m_held_row = nullptr;
    ui::TextNode* m_held_caller = nullptr;
    ui::ButtonNode* m_swap = nullptr;
    ui::ButtonNode* m_join = nullptr;
    CallStrip m_strip;
    // Destroyed before the tree it points into (members go before the base).
    KeyboardContainer m_keyboard{SwitchVisibility::No};
};

} // namespace telvara::forms
