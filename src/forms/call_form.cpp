// The call screen: binding, the telephone's refresh flags, the caller lookup,
// its buttons, the tone keypad and the running time.
#include "forms/call_form.h"

#include "data/contact_entry.h"
#include "data/contact_photo.h"
#include "data/document.h"
#include "forms/form_host.h"
#include "forms/notice_form.h"
#include "forms/required_node.h"
#include "phone/phone_settings.h"
#include "phone/process.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/image_node.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"CallForm";
// The program "buttonNote" starts (a command template, see phone/process.h).
constexpr char16_t kNotesSetting[] = u"NotesCommand";
constexpr char kNotesDefault[] = "notes";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

phone::Telephone* telephone() {
    return phone::Telephone::instance();
}

// Characters a DTMF tone exists for; the keypad's long presses also type
// "+" and a blank, which must not reach the line.
bool is_tone(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || (c >= u'A' && c <= u'D');
}

void show(ui::Node* node, bool visible) {
    if (node != nullptr && node->is_visible() != visible)
        node->set_visible(visible);
}

// What the status line says of a call that could not be made; empty for a
// call that simply ended.
WStringView end_reason_key(phone::CallEnd end) {
    switch (end) {
    case phone::CallEnd::normal:
        return {};
    case phone::CallEnd::busy:
        return u"skinBusy";
    case phone::CallEnd::no_answer:
        return u"skinNoAnswer";
    case phone::CallEnd::failed:
        return u"skinCallFailed";
    case phone::CallEnd::no_network:
        return u"skinCallNoNetwork";
    case phone::CallEnd::no_service:
        return u"skinNoService";
    case phone::CallEnd::sim_locked:
        return u"skinSimLocked";
    case phone::CallEnd::invalid_number:
        return u"skinNumberNotValid";
    }
    return u"skinCallFailed";
}

WString fill(WString text, WStringView value) {
    if (const auto at = text.find(u"%1"); at != WString::npos)
        text.replace(at, 2, value);
    return text;
}

} // namespace

CallForm::CallForm(data::ContactPhotoCache* photos) : Form(kFormName), m_photos(photos) {
    if (data::Document* document = data::Document::instance())
        document->add_listener(*this);
}

CallForm::~CallForm() {
    if (data::Document* document = data::Document::instance())
        document->remove_listener(*this);
    if (FormHost* host = form_host(); host != nullptr && host->is_shown(*this))
        host->close_form(*this, Animate::No);
}

void CallForm::bind(const ui::Properties& skin) {
    // The old tree goes away with the load: forget what pointed into it.
    m_keyboard.unbind();
    m_first_name = m_last_name = m_number = m_status = m_duration = nullptr;
    m_photo = nullptr;
    m_answer = m_ignore = m_end = m_speaker = m_mute = m_hold = nullptr;
    m_note = m_contacts = m_open_keyboard = nullptr;
    m_switch_speaker = m_switch_mute = m_switch_hold = nullptr;
    m_waiting_panel = m_held_row = nullptr;
    m_waiting_caller = m_held_caller = nullptr;
    m_hold_answer = m_end_answer = m_reject_waiting = m_swap = m_join = nullptr;
    m_skin = nullptr;

    load_form(skin);
    auto& first_name = required<ui::TextNode>(*this, u"firstname");
    auto& last_name = required<ui::TextNode>(*this, u"lastname");
    auto& number = required<ui::TextNode>(*this, u"company");
    auto& status = required<ui::TextNode>(*this, u"txtStatus");
    auto& photo = required<ui::ImageNode>(*this, u"photo");
    auto& answer = required<ui::ButtonNode>(*this, u"buttonAnswer");
    auto& ignore = required<ui::ButtonNode>(*this, u"buttonIgnore");
    auto& end = required<ui::ButtonNode>(*this, u"buttonEndCall");
    auto& speaker = required<ui::ButtonNode>(*this, u"buttonSpeaker");
    auto& mute = required<ui::ButtonNode>(*this, u"buttonMute");
    auto& hold = required<ui::ButtonNode>(*this, u"buttonHold");
    auto& note = required<ui::ButtonNode>(*this, u"buttonNote");
    auto& contacts = required<ui::ButtonNode>(*this, u"buttonContacts");
    auto& open_keyboard = required<ui::ButtonNode>(*this, u"buttonKeyboard");
    auto& switch_speaker = required<ui::Node>(*this, u"switchSpeaker");
    auto& switch_mute = required<ui::Node>(*this, u"switchMute");
    auto& switch_hold = required<ui::Node>(*this, u"switchHold");
    m_keyboard.bind(*this, *this, &skin);

    m_first_name = &first_name;
    m_last_name = &last_name;
    m_number = &number;
    m_status = &status;
    m_duration = dynamic_cast<ui::TextNode*>(find(u"txtDuration"));
    m_photo = &photo;
    m_default_photo = photo.picture();
    m_answer = &answer;
    m_ignore = &ignore;
    m_end = &end;
    m_speaker = &speaker;
    m_mute = &mute;
    m_hold = &hold;
    m_note = &note;
    m_contacts = &contacts;
    m_open_keyboard = &open_keyboard;
    m_switch_speaker = &switch_speaker;
    m_switch_mute = &switch_mute;
    m_switch_hold = &switch_hold;
    for (ui::ButtonNode* button : {m_answer, m_ignore, m_end, m_speaker, m_mute, m_hold, m_note,
                                   m_contacts, m_open_keyboard})
        button->set_listener(this);
    // The second call's parts come whole or not at all.
    auto* waiting_panel = find(u"waiting_panel");
    auto* waiting_caller = dynamic_cast<ui::TextNode*>(find(u"txtWaitingCaller"));
    auto* hold_answer = dynamic_cast<ui::ButtonNode*>(find(u"buttonHoldAnswer"));
    auto* end_answer = dynamic_cast<ui::ButtonNode*>(find(u"buttonEndAnswer"));
    auto* reject_waiting = dynamic_cast<ui::ButtonNode*>(find(u"buttonRejectWaiting"));
    if (waiting_panel && waiting_caller && hold_answer && end_answer && reject_waiting) {
        m_waiting_panel = waiting_panel;
        m_waiting_caller = waiting_caller;
        m_hold_answer = hold_answer;
        m_end_answer = end_answer;
        m_reject_waiting = reject_waiting;
        for (ui::ButtonNode* button : {m_hold_answer, m_end_answer, m_reject_waiting})
            button->set_listener(this);
    }
    auto* held_row = find(u"held_row");
    auto* held_caller = dynamic_cast<ui::TextNode*>(find(u"txtHeldCaller"));
    auto* swap = dynamic_cast<ui::ButtonNode*>(find(u"buttonSwap"));
    auto* join = dynamic_cast<ui::ButtonNode*>(find(u"buttonJoin"));
    if (held_row && held_caller && swap && join) {
        m_held_row = held_row;
        m_held_caller = held_caller;
        m_swap = swap;
        m_join = join;
        m_swap->set_listener(this);
        m_join->set_listener(this);
    }
    for (ui::Node* part : {m_waiting_panel, m_held_row})
        if (part != nullptr)
            part->set_visible(false);
    if (skin.find_node(u"CallStrip"))
        m_strip.bind(skin);
    m_skin = &skin;
    m_tones.clear();
    m_shown_seconds = -1;

    // A skin reloaded during a call shows that call again.
    if (in_call())
        lookup_caller();
    show_buttons();
    show_status();
    show_switches();
    show_duration();
    show_other_call();
    if (in_call())
        m_strip.show(
            *this, [this] { return strip_text(); }, [this] { back_to_call(); });
}

void CallForm::set_scheduler(runtime::CActiveScheduler* scheduler) {
    m_keyboard.set_scheduler(scheduler);
}

WString CallForm::translate(WStringView key) const {
    return m_skin != nullptr ? m_skin->translate(key) : WString(key);
}

std::uint32_t CallForm::now() const {
    return platform::tick_count();
}

// --- Telephone events -----------------------------------------------------------

void CallForm::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    const bool incoming = message.has(RefreshFlag::IncomingCall);
    const bool dialing = message.has(RefreshFlag::Dialing);
    if (incoming || dialing) {
        call_starts(incoming ? CallPhase::Incoming : CallPhase::Dialing);
    } else if (message.has(RefreshFlag::Connected)) {
        call_connected();
    } else if (message.has(RefreshFlag::CallEnded)) {
        log_line() << u"CallForm visibility2= " << (is_visible() ? 1 : 0) << u"\n";
        const phone::Telephone* line = telephone();
        const WStringView reason = line != nullptr && m_phase == CallPhase::Dialing
                                       ? end_reason_key(line->facts().last_end)
                                       : WStringView();
        if (reason.empty())
            call_ended();
        else
            call_failed(reason);
    } else if (message.has(RefreshFlag::CallerChanged)) {
        lookup_caller();
    } else if (message.has(RefreshFlag::LineChanged)) {
        show_other_call();
        show_switches();
        show_status();
    }
}

void CallForm::call_starts(CallPhase phase) {
    m_phase = phase;
    m_answered = false;
    m_ended_status.clear();
    // Dialled numbers were looked up at their caller-changed event already;
    // looking again costs little and never shows the previous call's name.
    lookup_caller();
    show_buttons();
    show_status();
    show_switches();
    show_duration();
    m_keyboard.set_text({});
    show_other_call();
    log_line() << u"CallForm::on_document_refresh before add_modal_form\n";
    runtime::log().flush();
    bring_to_top();
    runtime::log().flush();
    // After the screen is in front, so its way in never shows the strip.
    m_strip.show(
        *this, [this] { return strip_text(); }, [this] { back_to_call(); });
}

void CallForm::call_connected() {
    if (m_phase != CallPhase::Connected)
        m_connected_at = now();
    m_phase = CallPhase::Connected;
    m_shown_seconds = -1;
    show_status();
    // However the call was answered (here, by the Talk key, by the answer
    // timer), a connected call needs its end button.
    show_buttons();
    show_duration();
}

void CallForm::call_ended() {
    m_phase = CallPhase::Idle;
    m_answered = false;
    m_keyboard.hide(Animate::No);
    m_strip.hide();
    show_duration();
    show_other_call();
    close_screen();
}

void CallForm::call_failed(WStringView reason_key) {
    log_line() << u"CallForm call failed: " << reason_key << u"\n";
    FormHost* host = form_host();
    if (host == nullptr || host->top_form() != this) {
        // The user went elsewhere meanwhile: a notice tells them.
        call_ended();
        show_notice(reason_key);
        return;
    }
    m_phase = CallPhase::Ended;
    m_ended_status.assign(reason_key);
    m_ended_at = now();
    m_answered = false;
    m_keyboard.hide(Animate::No);
    m_strip.hide();
    show_status();
    show_buttons();
    show_duration();
}

void CallForm::lookup_caller() {
    if (m_first_name == nullptr)
        return;
    const phone::Telephone* line = telephone();
    const WString number = line != nullptr ? line->facts().caller_number : WString(u"skinUnknown");
    const data::Document* document = data::Document::instance();
    const data::PhoneRef found =
        document != nullptr ? document->find_by_phone_number(number) : data::PhoneRef{};
    ui::Picture picture = m_default_photo;
    if (found.entry != nullptr) {
        log_line() << u"CallFrom -> contact found for " << number << u"\n";
        const data::ContactRecord& record = found.entry->record;
        WString first = record.first_name;
        // A contact known only by its company still has a name to show.
        if (first.empty() && record.last_name.empty())
            first = data::display_name(record);
        m_first_name->set_text(std::move(first));
        m_last_name->set_text(record.last_name);
        if (m_photos != nullptr) {
            std::int32_t size = std::min(m_photo->width(), m_photo->height());
            if (size <= 0)
                size = m_photo->source_width();
            if (auto own = m_photos->get(found.entry->oid(), size))
                picture = *own;
        }
    } else {
        log_line() << u"CallFrom -> contact not found for " << number << u"\n";
        // No contact: the name the network gives, if any.
        const WString network_name = line != nullptr ? line->facts().network_name : WString();
        m_first_name->set_text(network_name);
        m_last_name->set_text({});
    }
    // Empty name lines give their room to the rest of the caller.
    m_first_name->set_visible(!m_first_name->text().empty());
    m_last_name->set_visible(!m_last_name->text().empty());
    m_photo->set_picture(std::move(picture));
    // A placeholder key ("skinUnknown") shows in the user's language.
    m_number->set_text(translate(number));
    m_caller_name = name_for(number, line != nullptr ? line->facts().network_name : WString());
}

WString CallForm::name_for(WStringView number, WStringView network_name) const {
    const data::Document* document = data::Document::instance();
    const data::PhoneRef found =
        document != nullptr ? document->find_by_phone_number(number) : data::PhoneRef{};
    if (found.entry != nullptr)
        return data::display_name(found.entry->record);
    if (!network_name.empty())
        return WString(network_name);
    return translate(number);
}

WString CallForm::strip_text() const {
    const WString tail = m_phase == CallPhase::Connected ? duration_text()
                         : m_status != nullptr           ? m_status->text()
                                                         : WString();
    return tail.empty() ? m_caller_name : m_caller_name + u"  \u00B7  " + tail;
}

void CallForm::show_other_call() {
    const phone::Telephone* line = telephone();
    const std::optional<phone::OtherCall> other =
        line != nullptr && in_call() ? line->facts().other : std::nullopt;
    const bool waiting = other && other->state == phone::OtherCall::State::waiting;
    const bool beside = other && !waiting;
    if (m_waiting_panel != nullptr) {
        if (waiting)
            m_waiting_caller->set_text(name_for(other->number, other->network_name));
        if (m_waiting_panel->is_visible() != waiting) {
            m_waiting_panel->set_visible_animated(waiting);
            // The tone keypad shares the room.
            if (waiting)
                m_keyboard.hide(Animate::No);
        }
    }
    if (m_held_row != nullptr) {
        if (beside) {
            const WString name = name_for(other->number, other->network_name);
            const bool joined = other->state == phone::OtherCall::State::joined;
            m_held_caller->set_text(
                fill(translate(joined ? u"skinConferenceWith" : u"skinOnHoldCaller"), name));
            show(m_swap, !joined);
            show(m_join, !joined && line->can_join());
        }
        show(m_held_row, beside);
    }
}

// --- What the screen shows ---------------------------------------------------------

void CallForm::show_buttons() {
    if (m_answer == nullptr)
        return;
    const bool ringing = m_phase == CallPhase::Incoming && !m_answered;
    show(m_answer, ringing);
    show(m_ignore, ringing);
    // While it says why a call failed, the end button closes the screen.
    show(m_end, !ringing);
}

void CallForm::show_switches() {
    if (m_switch_mute == nullptr)
        return;
    const phone::Telephone* line = telephone();
    const phone::CallFacts facts = line != nullptr ? line->facts() : phone::CallFacts{};
    show(m_switch_mute, !facts.muted);
    show(m_switch_speaker, facts.speaker_on);
    show(m_switch_hold, facts.on_hold);
}

void CallForm::show_status() {
    if (m_status == nullptr)
        return;
    switch (m_phase) {
    case CallPhase::Incoming:
        m_status->set_text(translate(u"IncomingCall"));
        break;
    case CallPhase::Dialing:
        m_status->set_text(translate(u"Dialing"));
        break;
    case CallPhase::Connected: {
        const phone::Telephone* line = telephone();
        const auto& other = line != nullptr ? line->facts().other : std::nullopt;
        if (other && other->state == phone::OtherCall::State::joined)
            m_status->set_text(translate(u"skinConference"));
        else if (line != nullptr && line->facts().on_hold)
            m_status->set_text(translate(u"skinOnHold"));
        else
            m_status->set_text(translate(u"Connected"));
        break;
    }
    case CallPhase::Ended:
        m_status->set_text(translate(m_ended_status));
        break;
    case CallPhase::Idle:
        break;
    }
}

std::uint32_t CallForm::connected_at() const {
    // The line knows when this very call connected (also after a swap).
    const phone::Telephone* line = telephone();
    const auto since = line != nullptr ? line->connected_since() : std::nullopt;
    return since ? *since : m_connected_at;
}

WString CallForm::duration_text() const {
    if (m_phase != CallPhase::Connected)
        return {};
    const std::uint32_t total = (now() - connected_at()) / 1000u;
    const std::uint32_t hours = total / 3600u;
    const std::uint32_t minutes = total / 60u % 60u;
    const std::uint32_t seconds = total % 60u;
    auto two = [](std::uint32_t value) {
        return WString(1, char16_t(u'0' + value / 10)) + char16_t(u'0' + value % 10);
    };
    WString text = hours > 0 ? to_wstring(hours) + u":" + two(minutes) : to_wstring(minutes);
    return text + u":" + two(seconds);
}

void CallForm::show_duration() {
    if (m_duration == nullptr)
        return;
    const std::int64_t seconds =
        m_phase == CallPhase::Connected ? std::int64_t((now() - connected_at()) / 1000u) : -1;
    if (seconds == m_shown_seconds)
        return;
    m_shown_seconds = seconds;
    m_duration->set_text(duration_text());
}

void CallForm::update(double seconds) {
    if (m_phase == CallPhase::Ended && now() - m_ended_at >= kEndedShownMs)
        call_ended();
    show_duration();
    // The line may take a toggle back (a mute the modem refused): the
    // switches show what it says, not what was tapped.
    show_switches();
    Form::update(seconds);
}

std::unique_ptr<FormTransition> CallForm::make_transition(TransitionKind) {
    return std::make_unique<FadeTransition>(0.2);
}

// --- The form stack ------------------------------------------------------------------

void CallForm::bring_to_top() {
    FormHost* host = form_host();
    if (host == nullptr || host->top_form() == this)
        return;
    host->close_form(*this, Animate::No);
    host->show_form(*this, ShowMode::Push, Animate::Yes);
}

void CallForm::close_screen() {
    if (FormHost* host = form_host())
        host->close_form(*this, Animate::Yes);
}

void CallForm::back_to_call() {
    if (!in_call())
        return;
    m_keyboard.hide(Animate::No);
    log_line() << u"Start call timer\n";
    show_duration();
    bring_to_top();
}

// --- Buttons and keypad ----------------------------------------------------------------

void CallForm::on_click(ui::ButtonNode& button) {
    log_line() << u"CallForm::on_click_broadcast\n";
    phone::Telephone* line = telephone();
    if (&button == m_answer) {
        log_line() << u"btnAnswer clicked\n";
        if (line != nullptr)
            line->answer_call();
        // At once: the connected state may take a few seconds to come.
        m_answered = true;
        show_buttons();
    } else if (m_phase == CallPhase::Ended && &button == m_end) {
        call_ended();
    } else if (&button == m_end || &button == m_ignore) {
        log_line() << u"btnEndCall clicked\n";
        if (line != nullptr)
            line->drop_call();
        log_line() << u"CallForm visibility1= " << (is_visible() ? 1 : 0) << u"\n";
        // With a call on hold the end button ends only this one: the held
        // call comes back and the screen stays.
        if (line != nullptr && line->facts().other &&
            line->facts().other->state == phone::OtherCall::State::held && line->connected())
            return;
        // A call that never connected ends without a further event of ours.
        m_phase = CallPhase::Idle;
        m_answered = false;
        m_keyboard.hide(Animate::No);
        m_strip.hide();
        close_screen();
    } else if (&button == m_mute) {
        if (line != nullptr)
            line->toggle_mute();
        show_switches();
    } else if (&button == m_speaker) {
        if (line != nullptr)
            line->toggle_speaker();
        show_switches();
    } else if (&button == m_hold) {
        log_line() << u"btnHold pressed\n";
        if (line != nullptr)
            line->toggle_hold();
        show_switches();
    } else if (&button == m_note) {
        log_line() << u"btnNote pressed\n";
        start_notes();
    } else if (&button == m_open_keyboard) {
        m_tones = m_keyboard.text();
        m_keyboard.show(CallButton::Hidden);
        // The keypad takes the toggles' place; they come back with its close.
        show(find(u"toggles"), false);
    } else if (&button == m_contacts) {
        close_screen();
    } else if (&button == m_hold_answer || &button == m_end_answer || &button == m_reject_waiting) {
        log_line() << u"CallForm waiting call: "
                   << (&button == m_hold_answer  ? u"hold and answer"
                       : &button == m_end_answer ? u"end and answer"
                                                 : u"reject")
                   << u"\n";
        if (line != nullptr)
            line->answer_waiting(&button == m_hold_answer  ? phone::WaitingAnswer::hold_current
                                 : &button == m_end_answer ? phone::WaitingAnswer::end_current
                                                           : phone::WaitingAnswer::reject);
    } else if (&button == m_swap) {
        if (line != nullptr)
            line->swap_calls();
    } else if (&button == m_join) {
        if (line != nullptr)
            line->join_calls();
    }
}

void CallForm::start_notes() {
    const phone::Argv argv =
        phone::split_command(phone::command_setting(kNotesSetting, kNotesDefault));
    // Whether it started changes nothing on this screen.
    if (!phone::spawn_program(argv))
        log_line() << u"CallForm notes not started: " << phone::describe_command(argv) << u"\n";
}

void CallForm::on_keyboard_text(const WString& text) {
    // Only a typed key is a tone: a shorter or replaced text (cleared, a
    // long press) sends nothing, so no tone is ever sent twice.
    const bool typed = text.size() == m_tones.size() + 1 && text.starts_with(m_tones);
    m_tones = text;
    if (!typed || !is_tone(text.back()))
        return;
    if (phone::Telephone* line = telephone())
        line->send_digit(text);
}

void CallForm::on_keyboard_closed() {
    show(find(u"toggles"), true);
    m_tones.clear();
    if (!m_keyboard.text().empty())
        m_keyboard.set_text({});
}

void CallForm::on_keyboard_call(const WString&) {
    // The tone keypad has no call button.
}

} // namespace telvara::forms
