// The telephone line over the modem layer. The modem's events are turned
// into the line call-backs the call-state machine was written for (a new
// call, its caller ID, its states), so the state handling, its log lines and
// its refresh events stay in one place.
//
// The phone program's own call windows that a handset shows do not exist
// here: the steps that hid them (and slept on the UI thread while waiting for
// them) keep their log lines and events but run once, without sleeping.
//
// The line-callback state machine follows the current call; a second call
// (waiting, then held or joined) is kept beside it here, and the current
// call is always the active one of the two.
#include "phone/telephone.h"

#include "data/contact_entry.h"
#include "data/document.h"
#include "phone/call_log.h"
#include "phone/phone_settings.h"
#include "platform/clock.h"
#include "runtime/fatal_error.h"
#include "runtime/log.h"

#include <algorithm>

namespace telvara::phone {
namespace {

namespace modem = platform::modem;

Telephone* g_instance = nullptr;

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

void flush_log() {
    runtime::log().flush();
}

std::optional<LineCallState> line_state(modem::CallState state) {
    switch (state) {
    case modem::CallState::idle:
        return LineCallState::Idle;
    case modem::CallState::dialing:
        return LineCallState::Dialing;
    case modem::CallState::alerting:
        return LineCallState::Proceeding;
    case modem::CallState::offering:
        return LineCallState::Offering;
    case modem::CallState::connected:
        return LineCallState::Connected;
    case modem::CallState::on_hold:
        return LineCallState::OnHold;
    case modem::CallState::busy:
        return LineCallState::Busy;
    case modem::CallState::disconnected:
        return LineCallState::Disconnected;
    case modem::CallState::waiting:
        // A second call knocking while one is in progress: nothing the line
        // follows (the modem offers it once the first call is over).
        return std::nullopt;
    }
    return std::nullopt;
}

DisconnectMode disconnect_mode(modem::EndReason reason) {
    switch (reason) {
    case modem::EndReason::normal:
        return DisconnectMode::Normal;
    case modem::EndReason::busy:
        return DisconnectMode::Busy;
    case modem::EndReason::no_answer:
        return DisconnectMode::NoAnswer;
    case modem::EndReason::no_carrier:
    case modem::EndReason::failed:
    case modem::EndReason::no_service:
    case modem::EndReason::sim_locked:
        return DisconnectMode::Unavailable;
    case modem::EndReason::modem_lost:
        return DisconnectMode::Unknown;
    }
    return DisconnectMode::Unknown;
}

// The same mapping for an ended call's facts: the screen's reasons.
CallEnd call_end(modem::EndReason reason) {
    switch (reason) {
    case modem::EndReason::normal:
        return CallEnd::normal;
    case modem::EndReason::busy:
        return CallEnd::busy;
    case modem::EndReason::no_answer:
        return CallEnd::no_answer;
    case modem::EndReason::no_carrier:
    case modem::EndReason::failed:
        return CallEnd::failed;
    case modem::EndReason::modem_lost:
        return CallEnd::no_network;
    case modem::EndReason::no_service:
        return CallEnd::no_service;
    case modem::EndReason::sim_locked:
        return CallEnd::sim_locked;
    }
    return CallEnd::failed;
}

bool sim_locked(modem::SimState sim) {
    return sim == modem::SimState::pin_required || sim == modem::SimState::puk_required ||
           sim == modem::SimState::absent || sim == modem::SimState::failed;
}

// Known not to be on a network (an unknown state is given the benefit of
// the doubt: some modems never say).
bool no_service(modem::Registration registration) {
    return registration == modem::Registration::none ||
           registration == modem::Registration::denied ||
           registration == modem::Registration::searching;
}

const char* waiting_answer_name(WaitingAnswer how) {
    switch (how) {
    case WaitingAnswer::hold_current:
        return "hold_current";
    case WaitingAnswer::end_current:
        return "end_current";
    case WaitingAnswer::reject:
        return "reject";
    }
    return "?";
}

bool is_live(modem::CallState state) {
    return state != modem::CallState::idle && state != modem::CallState::disconnected &&
           state != modem::CallState::waiting;
}

} // namespace

Telephone::Telephone(data::Document& document, runtime::CActiveScheduler& scheduler,
                     CallLog* call_log)
    : m_document(document), m_scheduler(scheduler), m_call_log(call_log) {
    if (g_instance != nullptr)
        runtime::fatal_error(u"Singleton::Singleton()", u"Singleton is already instantiated");
    g_instance = this;
}

Telephone::~Telephone() {
    m_scheduler.cancel(m_answer_timer);
    m_scheduler.cancel(m_log_timer);
    m_modem.reset();
    // Calls still going at shutdown end here as far as the log knows.
    for (const auto& [index, call] : m_calls)
        if (!call.logged)
            write_log_entry(index);
    if (g_instance == this)
        g_instance = nullptr;
}

Telephone* Telephone::instance() {
    return g_instance;
}

// --- the line ----------------------------------------------------------------

void Telephone::init_line() {
    modem::ModemConfig config;
    config.device = modem_device();
    init_line(std::move(config));
}

void Telephone::init_line(platform::modem::ModemConfig config) {
    m_connected = false;
    if (m_modem)
        return;
    if (!m_target) {
        m_target = std::make_unique<platform::MessageTarget>(
            u"TelephoneLine", [this](platform::Message& message) -> std::intptr_t {
                if (message.id == modem::WM_MODEM_EVENTS)
                    process_modem_events();
                return 0;
            });
    }
    config.notify_target = m_target->ref();
    config.notify_message = modem::WM_MODEM_EVENTS;
    if (!config.log) {
        config.log = [](std::string_view text) {
            log_line() << u"Modem: " << from_utf8(text) << u"\n";
        };
    }
    const std::string device = config.device;
    m_modem = std::make_unique<modem::Modem>(std::move(config));
    log_line() << u"lineInitializeEx = 0 num_dev = 1\n";
    log_line() << u"lineNegotiateAPIVersion = 0\n";
    log_line() << u"lineOpen = 0 (" << from_utf8(device) << u")\n";
}

void Telephone::reset() {
    m_scheduler.cancel(m_answer_timer);
    m_answer_presses = 0;
    m_call = 0;
    m_connected = false;
    // The next call starts on the earpiece with the microphone on.
    if (m_modem && m_facts.speaker_on)
        m_modem->set_speaker(modem::SpeakerState::off);
    if (m_modem && m_facts.muted)
        m_modem->set_mute(modem::MuteState::unmuted);
    m_facts.speaker_on = false;
    m_facts.muted = false;
    m_facts.on_hold = false;
    m_mute_toggled = false;
    if (!m_modem)
        init_line();
}

bool Telephone::line_open() const {
    return m_modem && m_modem->is_open();
}

bool Telephone::ringing() const {
    const auto call = m_calls.find(m_call);
    return m_call != 0 && !m_connected && call != m_calls.end() &&
           call->second.direction == modem::Direction::incoming;
}

std::optional<std::uint32_t> Telephone::connected_since() const {
    const auto call = m_calls.find(m_call);
    if (m_call == 0 || call == m_calls.end() || !call->second.was_connected)
        return std::nullopt;
    return call->second.connected_tick;
}

bool Telephone::dialing() const {
    if (m_dial_pending)
        return true;
    const auto call = m_calls.find(m_call);
    return m_call != 0 && !m_connected && call != m_calls.end() &&
           call->second.direction == modem::Direction::outgoing;
}

void Telephone::set_caller_number(WStringView number, CallerNotify notify) {
    if (notify == CallerNotify::if_changed && m_facts.caller_number == number)
        return;
    m_facts.caller_number.assign(number);
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallerChanged));
}

void Telephone::broadcast(std::uint8_t flag) {
    m_document.broadcast(data::RefreshMessage(static_cast<data::RefreshFlag>(flag)));
}

void Telephone::bring_to_front() {
    if (m_hooks.bring_to_front)
        m_hooks.bring_to_front();
}

void Telephone::refresh_call_log() {
    m_document.update_log();
}

// --- operations --------------------------------------------------------------

void Telephone::answer_call() {
    log_line() << u"Telephone::answer_call\n";
    if (!line_open() || m_call == 0 || m_connected)
        return;
    m_modem->answer();
    m_answer_presses = 4;
    m_scheduler.after(m_answer_timer, 1.0);
}

void Telephone::on_answer_timer() {
    if (m_call == 0 || m_connected || !m_modem)
        return;
    m_modem->answer();
    log_line() << u"CALLLOG TIMER\n";
    if (--m_answer_presses > 0)
        m_scheduler.after(m_answer_timer, 1.0);
}

void Telephone::drop_call() {
    log_line() << u"Telephone::drop_call\n";
    if (!line_open() || m_call == 0)
        return;
    if (m_other != 0 && m_facts.other && m_facts.other->state == OtherCall::State::held &&
        m_connected) {
        // End this one and take the held one back, as the user expects of
        // the end button with a call on hold.
        log_line() << u"Telephone::drop_call: the held call comes back\n";
        m_modem->release_and_accept();
        return;
    }
    m_modem->hang_up();
    if (m_connected)
        return; // the disconnected state follows
    log_line() << u"Telephone::drop_call (not connected)\n";
    // The call is over for us now: log it before the list is read again.
    if (auto it = m_calls.find(m_call); it != m_calls.end()) {
        it->second.rejected = true;
        write_log_entry(m_call);
    }
    m_call = 0;
    reset();
    m_document.update_log();
    m_facts.caller_number = u"skinUnknown";
}

void Telephone::send_digit(WStringView text) {
    if (!line_open() || m_call == 0 || !m_connected || text.empty())
        return;
    m_modem->send_tones(to_utf8(text.substr(text.size() - 1)));
}

void Telephone::toggle_hold() {
    if (!line_open() || m_call == 0)
        return;
    if (m_facts.on_hold)
        m_modem->unhold();
    else
        m_modem->hold();
    m_facts.on_hold = !m_facts.on_hold;
}

void Telephone::toggle_mute() {
    if (!line_open()) {
        log_line() << u"Telephone::toggle_mute: no line\n";
        return;
    }
    m_modem->set_mute(m_facts.muted ? modem::MuteState::unmuted : modem::MuteState::muted);
    // Shown at once (the modem answers later); a refusal takes it back.
    m_facts.muted = !m_facts.muted;
    m_mute_toggled = true;
}

void Telephone::on_command_failed(const platform::modem::ModemEvent& event) {
    const std::string& detail = event.detail;
    log_line() << u"Telephone: command failed: " << from_utf8(detail) << u"\n";
    if (detail.rfind("dial:", 0) == 0) {
        CallEnd reason = CallEnd::failed;
        if (event.code == 10 || event.code == 11 || event.code == 12)
            reason = CallEnd::sim_locked;
        else if (event.code >= 30 && event.code <= 32)
            reason = CallEnd::no_service;
        end_pending_dial(reason);
        return;
    }
    if (detail.rfind("service_code:", 0) == 0) {
        m_service_reply = ServiceReply{{}, true, false};
        ++m_service_replies;
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        return;
    }
    if (detail.rfind("mute:", 0) != 0 || !m_mute_toggled) {
        // A refused hold, swap or join: the screen shows the calls as they are.
        if (m_other != 0)
            broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        return;
    }
    // The modem kept the microphone as it was: the screen must not claim
    // otherwise.
    m_facts.muted = !m_facts.muted;
    log_line() << u"Telephone: mute refused, muted= " << (m_facts.muted ? 1 : 0) << u"\n";
    if (m_hooks.facts_changed)
        m_hooks.facts_changed();
}

void Telephone::toggle_speaker() {
    if (!m_modem) {
        log_line() << u"Telephone::toggle_speaker: no line\n";
        return;
    }
    m_modem->set_speaker(m_facts.speaker_on ? modem::SpeakerState::off : modem::SpeakerState::on);
    m_facts.speaker_on = !m_facts.speaker_on;
}

bool Telephone::dial(WStringView number, DialKind kind) {
    if (m_call != 0) {
        log_line() << u"Telephone::dial: a call is in progress\n";
        return false;
    }
    if (m_dial_pending) {
        // A second tap on Call: the modem would refuse a second dial and a
        // made-up failed call would be logged.
        log_line() << u"Telephone::dial: an earlier dial is still on its way\n";
        return false;
    }
    if (!m_modem)
        init_line();
    if (!modem::dial_string(to_utf8(number))) {
        fail_dial(number, CallEnd::invalid_number);
        return false;
    }
    if (!line_open()) {
        fail_dial(number, CallEnd::no_network);
        return false;
    }
    if (kind == DialKind::normal && sim_locked(m_network.sim)) {
        fail_dial(number, CallEnd::sim_locked);
        return false;
    }
    if (kind == DialKind::normal && no_service(m_network.registration)) {
        fail_dial(number, CallEnd::no_service);
        return false;
    }
    if (!m_modem->dial(to_utf8(number))) {
        fail_dial(number, CallEnd::invalid_number);
        return false;
    }
    m_dial_pending = true;
    // The call screen shows now, not when the modem has got round to it.
    m_facts.caller_number.assign(number);
    m_facts.network_name.clear();
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::Dialing));
    bring_to_front();
    return true;
}

void Telephone::fail_dial(WStringView number, CallEnd reason) {
    log_line() << u"Telephone::dial: cannot dial " << number << u", reason "
               << static_cast<unsigned>(reason) << u"\n";
    // The call screen shows the number and why it did not go out.
    m_facts.caller_number.assign(number);
    m_facts.network_name.clear();
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::Dialing));
    m_facts.last_end = reason;
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallEnded));
    m_facts.caller_number = u"skinUnknown";
}

void Telephone::end_pending_dial(CallEnd reason) {
    if (!m_dial_pending)
        return;
    m_dial_pending = false;
    if (m_call != 0)
        return; // the call showed up; its own end tells
    m_facts.last_end = reason;
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallEnded));
    m_facts.caller_number = u"skinUnknown";
}

bool Telephone::send_service_code(WStringView code) {
    return m_modem && m_modem->send_service_code(to_utf8(code));
}

// --- the second call -------------------------------------------------------------

void Telephone::answer_waiting(WaitingAnswer how) {
    log_line() << u"Telephone::answer_waiting " << from_utf8(waiting_answer_name(how)) << u"\n";
    if (!line_open() || m_other == 0 || !m_facts.other ||
        m_facts.other->state != OtherCall::State::waiting)
        return;
    switch (how) {
    case WaitingAnswer::hold_current:
        m_modem->hold_and_accept();
        break;
    case WaitingAnswer::end_current:
        m_modem->release_and_accept();
        break;
    case WaitingAnswer::reject:
        if (auto it = m_calls.find(m_other); it != m_calls.end())
            it->second.rejected = true;
        m_modem->reject_waiting();
        break;
    }
}

void Telephone::swap_calls() {
    log_line() << u"Telephone::swap_calls\n";
    if (!line_open() || m_other == 0 || !m_facts.other ||
        m_facts.other->state != OtherCall::State::held)
        return;
    m_modem->hold_and_accept();
}

void Telephone::join_calls() {
    log_line() << u"Telephone::join_calls\n";
    if (!can_join() || !m_facts.other || m_facts.other->state != OtherCall::State::held)
        return;
    m_modem->join();
}

bool Telephone::can_join() const {
    return line_open() && m_other != 0 && m_modem->supports_join();
}

// --- the SIM -----------------------------------------------------------------------

bool Telephone::enter_pin(WStringView pin) {
    log_line() << u"Telephone::enter_pin\n";
    return line_open() && m_modem->enter_pin(to_utf8(pin));
}

bool Telephone::enter_puk(WStringView puk, WStringView new_pin) {
    log_line() << u"Telephone::enter_puk\n";
    return line_open() && m_modem->enter_puk(to_utf8(puk), to_utf8(new_pin));
}

// --- modem events --------------------------------------------------------------

void Telephone::process_modem_events() {
    if (!m_modem)
        return;
    for (const modem::ModemEvent& event : m_modem->take_events())
        on_modem_event(event);
}

void Telephone::on_modem_event(const platform::modem::ModemEvent& event) {
    using Kind = modem::ModemEvent::Kind;
    const auto device = static_cast<std::uint32_t>(event.call);
    switch (event.kind) {
    case Kind::new_call: {
        if (event.direction == modem::Direction::outgoing)
            m_dial_pending = false;
        TrackedCall& call = m_calls[event.call];
        call.direction = event.direction;
        if (call.start == 0)
            call.start = file_time_now();
        if (!event.number.empty()) {
            call.number = event.number;
            // The number of an outgoing call is the one the user chose; the
            // modem's cleaned copy of it is no news.
            call.info_pending = event.direction == modem::Direction::incoming;
        }
        LineCallbackFunc({device, LineMessage::AppNewCall, 0, device, 0, {}});
        if (m_call != 0 && m_call != event.call && m_other == 0)
            m_other = event.call; // shown with its first state
        break;
    }
    case Kind::call_info: {
        TrackedCall& call = m_calls[event.call];
        if (call.start == 0)
            call.start = file_time_now();
        if (!event.number.empty())
            call.number = event.number;
        if (!event.name.empty())
            call.name = event.name;
        if (call.direction == modem::Direction::outgoing)
            break;
        if (event.call == m_other) {
            show_other_call();
            break;
        }
        call.info_pending = !call.had_state;
        if (!call.had_state)
            break;
        if (event.call == m_call) {
            const WString name = from_utf8(call.name);
            const bool renamed = name != m_facts.network_name;
            m_facts.network_name = name;
            const bool renumbered = from_utf8(call.number) != m_facts.caller_number;
            LineCallbackFunc({device, LineMessage::CallInfo, 0, 0, 0, call.number});
            if (renamed && !renumbered)
                broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallerChanged));
        } else {
            LineCallbackFunc({device, LineMessage::CallInfo, 0, 0, 0, call.number});
        }
        break;
    }
    case Kind::call_state:
        on_modem_call_state(event);
        break;
    case Kind::line_open:
        log_line() << u"Telephone: line open\n";
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        break;
    case Kind::line_closed:
        log_line() << u"Telephone: line closed: " << from_utf8(event.detail) << u"\n";
        // A dial the modem took with it failed for want of a line.
        end_pending_dial(CallEnd::no_network);
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        break;
    case Kind::command_failed:
        on_command_failed(event);
        break;
    case Kind::service_reply:
        log_line() << u"Telephone: service reply (" << event.code << u")\n";
        m_service_reply.text = from_utf8(event.detail);
        // Ended, unsupported or timed out without a word: it failed.
        m_service_reply.failed = event.code >= 2 && event.detail.empty();
        m_service_reply.more = event.code == 1;
        ++m_service_replies;
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        break;
    case Kind::network:
        if (event.network == m_network)
            break;
        m_network = event.network;
        log_line() << u"Telephone: network sim=" << from_utf8(modem::to_string(m_network.sim))
                   << u" registration=" << from_utf8(modem::to_string(m_network.registration))
                   << u" operator=" << from_utf8(m_network.operator_name) << u" bars="
                   << m_network.signal_bars << u"\n";
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        break;
    case Kind::pin_result:
        log_line() << u"Telephone: code answered " << event.code << u"\n";
        m_pin_result = event.code;
        ++m_pin_answers;
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        break;
    }
}

void Telephone::on_modem_call_state(const platform::modem::ModemEvent& event) {
    const auto device = static_cast<std::uint32_t>(event.call);
    const bool live = is_live(event.state) || event.state == modem::CallState::waiting;
    auto known = m_calls.find(event.call);
    if (known == m_calls.end()) {
        if (!live)
            return; // the end of a call we never saw
        // A call whose start we missed.
        TrackedCall& call = m_calls[event.call];
        call.direction = event.direction;
        call.start = file_time_now();
        call.number = event.number;
        call.info_pending = !event.number.empty() && event.direction == modem::Direction::incoming;
        LineCallbackFunc({device, LineMessage::AppNewCall, 0, device, 0, {}});
        if (m_call != 0 && m_call != event.call && m_other == 0)
            m_other = event.call;
        known = m_calls.find(event.call);
    } else if (known->second.logged && live) {
        return; // dropped here; the modem has not caught up yet
    } else if (m_call == 0 && m_enabled && is_live(event.state)) {
        // It waited while another call was current; now it is the one.
        if (m_other == event.call)
            m_other = 0;
        LineCallbackFunc({device, LineMessage::AppNewCall, 0, device, 0, {}});
    }
    TrackedCall& call = known->second;
    if (live)
        call.state = event.state;
    call.multiparty = event.multiparty;
    if (event.state == modem::CallState::connected && !call.was_connected) {
        call.was_connected = true;
        call.connected_at = file_time_now();
        call.connected_tick = platform::tick_count();
    }
    if (m_call != 0 && event.call != m_call) {
        on_other_call_state(event);
        return;
    }
    const auto state = line_state(event.state);
    if (!state)
        return;
    call.had_state = true;
    LineEvent line{device, LineMessage::CallState, static_cast<std::uint64_t>(*state), 0, 0, {}};
    if (event.state == modem::CallState::disconnected)
        line.param2 = static_cast<std::uint64_t>(disconnect_mode(event.reason));
    if (event.state == modem::CallState::disconnected || event.state == modem::CallState::idle) {
        const CallEnd end = end_of(call, event.reason);
        write_log_entry(event.call);
        m_calls.erase(event.call);
        if (m_other != 0) {
            auto other = m_calls.find(m_other);
            if (other != m_calls.end() && other->second.state != modem::CallState::waiting &&
                other->second.state != modem::CallState::offering) {
                log_line() << u"Telephone: call " << device << u" ended, call " << m_other
                           << u" goes on\n";
                promote_other_call();
                return;
            }
            // A waiting call rings as a new one once this one is over.
            m_other = 0;
            m_facts.other.reset();
        }
        m_facts.last_end = end;
        LineCallbackFunc(line);
        return;
    }
    LineCallbackFunc(line);
    if (auto it = m_calls.find(event.call); it != m_calls.end() && it->second.info_pending) {
        it->second.info_pending = false;
        m_facts.network_name = from_utf8(it->second.name);
        LineCallbackFunc({device, LineMessage::CallInfo, 0, 0, 0, it->second.number});
    }
    if (m_other != 0) {
        arrange_calls();
        show_other_call();
    }
}

void Telephone::on_other_call_state(const platform::modem::ModemEvent& event) {
    // Its caller ID and name are shown as they come, also once it is current.
    if (auto it = m_calls.find(event.call); it != m_calls.end())
        it->second.had_state = true;
    if (event.state == modem::CallState::disconnected || event.state == modem::CallState::idle) {
        write_log_entry(event.call);
        m_calls.erase(event.call);
        if (event.call == m_other) {
            log_line() << u"Telephone: second call " << event.call << u" ended\n";
            m_other = 0;
            m_facts.other.reset();
            broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
        }
        return;
    }
    if (event.call != m_other) {
        if (m_other != 0)
            return; // a third call: nothing this line can show
        m_other = event.call;
    }
    if (m_call == 0)
        return;
    arrange_calls();
    show_other_call();
}

void Telephone::arrange_calls() {
    auto current = m_calls.find(m_call);
    auto other = m_calls.find(m_other);
    if (current == m_calls.end() || other == m_calls.end())
        return;
    // The active call is the current one: after a swap or a held call's
    // return, the two change places.
    if (current->second.state == modem::CallState::on_hold &&
        other->second.state == modem::CallState::connected) {
        log_line() << u"Telephone: call " << m_other << u" is active, call " << m_call
                   << u" held\n";
        std::swap(m_call, m_other);
        m_connected = true;
        m_facts.caller_number = caller_of(other->second);
        m_facts.network_name = from_utf8(other->second.name);
        m_facts.on_hold = false;
        broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallerChanged));
    }
}

void Telephone::show_other_call() {
    std::optional<OtherCall> shown;
    if (auto it = m_calls.find(m_other); m_other != 0 && it != m_calls.end()) {
        const TrackedCall& call = it->second;
        OtherCall other;
        other.number = caller_of(call);
        other.network_name = from_utf8(call.name);
        if (call.state == modem::CallState::on_hold)
            other.state = OtherCall::State::held;
        else if (call.state == modem::CallState::connected)
            other.state = OtherCall::State::joined;
        else
            other.state = OtherCall::State::waiting;
        shown = other;
    }
    auto current = m_calls.find(m_call);
    const bool held =
        current != m_calls.end() && current->second.state == modem::CallState::on_hold;
    if (shown == m_facts.other && held == m_facts.on_hold)
        return;
    m_facts.other = shown;
    m_facts.on_hold = held;
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
}

void Telephone::promote_other_call() {
    m_call = m_other;
    m_other = 0;
    m_facts.other.reset();
    const TrackedCall& call = m_calls[m_call];
    m_connected = call.was_connected;
    m_facts.caller_number = caller_of(call);
    m_facts.network_name = from_utf8(call.name);
    m_facts.on_hold = call.state == modem::CallState::on_hold;
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::CallerChanged));
    broadcast(static_cast<std::uint8_t>(data::RefreshFlag::LineChanged));
    // The call that ended shows in the recents.
    m_scheduler.after(m_log_timer, 2.0);
}

CallEnd Telephone::end_of(const TrackedCall& call, platform::modem::EndReason reason) const {
    // Only a call of ours that never connected failed; everything else just ended.
    if (call.was_connected || call.direction != modem::Direction::outgoing)
        return CallEnd::normal;
    return call_end(reason);
}

WString Telephone::caller_of(const TrackedCall& call) const {
    return call.number.empty() ? WString(u"skinUnknown") : from_utf8(call.number);
}

void Telephone::write_log_entry(int call_index) {
    auto it = m_calls.find(call_index);
    if (it == m_calls.end() || it->second.logged)
        return;
    TrackedCall& call = it->second;
    call.logged = true;
    CallLogEntry entry;
    // Listed at the moment it was first seen, but as long as the call screen
    // counted: from connect to end, nothing for a call never connected.
    entry.start = call.start;
    entry.end = call.start;
    if (call.was_connected)
        entry.end += std::max<std::int64_t>(0, file_time_now() - call.connected_at);
    if (call.direction == modem::Direction::outgoing) {
        entry.direction = CallDirection::Outgoing;
    } else if (call.was_connected) {
        entry.direction = CallDirection::Incoming;
    } else if (call.rejected) {
        // Turned away: seen, so it adds nothing to the "you missed calls"
        // count, and the recents show it apart from the missed ones.
        entry.direction = CallDirection::Rejected;
    } else {
        entry.direction = CallDirection::Missed;
        increment_missed_call_count();
    }
    if (!call.number.empty()) {
        const WString number = from_utf8(call.number);
        entry.number = number;
        const data::PhoneRef contact = m_document.find_by_phone_number(number);
        if (contact.entry != nullptr)
            entry.name = data::display_name(contact.entry->record);
    }
    // A caller who is no contact keeps the name the network gave.
    if (!entry.name && !call.name.empty())
        entry.name = from_utf8(call.name);
    if (m_call_log != nullptr && !m_call_log->add(entry) && m_hooks.call_not_logged)
        m_hooks.call_not_logged(m_call_log->last_write_failure());
}

// --- the line callback ---------------------------------------------------------

void Telephone::LineCallbackFunc(const LineEvent& event) {
    if (m_enabled) {
        log_line() << u"LineCallbackFunc device= " << event.device << u", msg= "
                   << static_cast<std::uint32_t>(event.message) << u", P1="
                   << static_cast<unsigned long long>(event.param1) << u", P2="
                   << static_cast<unsigned long long>(event.param2) << u", P3="
                   << static_cast<unsigned long long>(event.param3) << u"\n";
    }
    switch (event.message) {
    case LineMessage::CallInfo:
        if (m_enabled)
            on_call_info(event);
        break;
    case LineMessage::CallState:
        on_call_state(event);
        break;
    case LineMessage::AppNewCall:
        if (m_enabled)
            on_new_call(event);
        break;
    }
}

void Telephone::on_call_info(const LineEvent& event) {
    log_line() << u"CALLS LOG: LINE_CALLINFO\n";
    flush_log();
    if (event.device != static_cast<std::uint32_t>(m_call)) {
        log_line() << u"LINE_CALLINFO: Another call\n";
        return;
    }
    log_line() << u"CALLS LOG: lineGetCallInfo ret = 0\n";
    flush_log();
    if (!event.number.empty()) {
        const WString number = from_utf8(event.number);
        log_line() << u"Caller ID: " << number << u"\n";
        set_caller_number(number);
    }
    log_line() << u"CALLS LOG: LINE_CALLINFO SUCCESS\n";
    flush_log();
}

void Telephone::on_new_call(const LineEvent& event) {
    log_line() << u"CALLS LOG: APPNEWCALL\n";
    const int call = static_cast<int>(event.param2);
    if (m_call != 0 && m_call != call) {
        // The modem cannot end one call of several by itself (a hang-up
        // would end the current one): the newcomer is left alone and its
        // states are ignored while this call lasts.
        log_line() << u"LINE_APPNEWCALL: Another call\n";
        return;
    }
    m_call = call;
}

void Telephone::on_call_state(const LineEvent& event) {
    if (m_call != 0 && event.device != static_cast<std::uint32_t>(m_call)) {
        log_line() << u"LINE_CALLSTATE: Another call\n";
        return;
    }
    using data::RefreshFlag;
    switch (static_cast<LineCallState>(event.param1)) {
    case LineCallState::Offering:
        if (!m_enabled)
            break;
        log_line() << u"CALLS LOG: LINECALLSTATE_OFFERING\n";
        flush_log();
        log_line() << u"LINECALLSTATE_OFFERING: Phone incoming iteration 1\n";
        flush_log();
        bring_to_front();
        log_line() << u"LINE_OFFERING bring_to_front\n";
        bring_to_front();
        log_line() << u"LINECALLSTATE_OFFERING: Dialog Phone - Incoming window hidden\n";
        // Nothing known of this caller yet: a withheld number must not show
        // whatever number an earlier call or dial left behind.
        m_facts.caller_number = u"skinUnknown";
        m_facts.network_name.clear();
        ++m_calls_offered;
        broadcast(static_cast<std::uint8_t>(RefreshFlag::IncomingCall));
        log_line() << u"LINECALLSTATE_OFFERING hint.incoming call refreshed\n";
        break;
    case LineCallState::Dialing:
        if (!m_enabled)
            break;
        log_line() << u"CALLS LOG: LINECALLSTATE_DIALING\n";
        broadcast(static_cast<std::uint8_t>(RefreshFlag::Dialing));
        log_line() << u"LINECALLSTATE_OFFERING: Phone outgoing iteration 1\n";
        flush_log();
        bring_to_front();
        break;
    case LineCallState::Proceeding:
        if (!m_enabled)
            break;
        log_line() << u"CALLS LOG: LINECALLSTATE_PROCEEDING\n";
        flush_log();
        log_line() << u"LINECALLSTATE_PROCEEDING: Phone outgoing iteration 1\n";
        break;
    case LineCallState::Connected:
        if (!m_enabled)
            break;
        log_line() << u"CALLS LOG: LINECALLSTATE_CONNECTED\n";
        flush_log();
        // Back from hold counts as connected too; only the first matters here.
        if (m_connected)
            break;
        m_connected = true;
        m_scheduler.cancel(m_answer_timer);
        m_answer_presses = 0;
        log_line() << u"LINECALLSTATE_CONNECTED: Phone iteration 1\n";
        broadcast(static_cast<std::uint8_t>(RefreshFlag::Connected));
        bring_to_front();
        break;
    case LineCallState::Disconnected:
        log_line() << u"CALLS LOG: LINECALLSTATE_DISCONNECTED MODE: "
                   << static_cast<unsigned long long>(event.param2) << u"\n";
        if (m_call != 0 && event.device == static_cast<std::uint32_t>(m_call)) {
            // The modem has ended the call already; a hang-up now could only
            // end some other call.
            log_line() << u"DISCONNECTED: RetDrop = 0, retDealloc = 0\n";
            m_call = 0;
            reset();
            m_scheduler.after(m_log_timer, 2.0);
        }
        broadcast(static_cast<std::uint8_t>(RefreshFlag::CallEnded));
        m_facts.caller_number = u"skinUnknown";
        break;
    case LineCallState::Idle:
        if (m_enabled)
            log_line() << u"CALLS LOG: LINECALLSTATE_IDLE\n";
        break;
    case LineCallState::Busy:
        if (m_enabled)
            log_line() << u"CALLS LOG: Line busy, shutting down.\n";
        break;
    case LineCallState::SpecialInfo:
        log_line() << u"CALLS LOG: Special Information, couldn't dial number\n";
        break;
    case LineCallState::OnHold:
        break;
    }
}

} // namespace telvara::phone
