// The telephone line over the modem layer. The modem's events are turned
// into the line call-backs the call-state machine was written for (a new
// call, its caller ID, its states), so the state handling, its log lines and
// its refresh events stay in one place.
//
// The phone program's own call windows that a handset shows do not exist
// here: the steps that hid them (and slept on the UI thread while waiting for
// them) keep their log lines and events but run once, without sleeping.
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
        return DisconnectMode::Unavailable;
    case modem::EndReason::modem_lost:
        return DisconnectMode::Unknown;
    }
    return DisconnectMode::Unknown;
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

void Telephone::on_command_failed(const std::string& detail) {
    log_line() << u"Telephone: command failed: " << from_utf8(detail) << u"\n";
    if (detail.rfind("dial:", 0) == 0)
        m_dial_pending = false;
    if (detail.rfind("mute:", 0) != 0 || !m_mute_toggled)
        return;
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

bool Telephone::dial(WStringView number) {
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
    m_dial_pending = m_modem && m_modem->dial(to_utf8(number));
    return m_dial_pending;
}

bool Telephone::send_service_code(WStringView code) {
    return m_modem && m_modem->send_service_code(to_utf8(code));
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
        break;
    }
    case Kind::call_info: {
        TrackedCall& call = m_calls[event.call];
        if (call.start == 0)
            call.start = file_time_now();
        call.number = event.number;
        if (call.direction == modem::Direction::outgoing)
            break;
        call.info_pending = !call.had_state;
        if (call.had_state)
            LineCallbackFunc({device, LineMessage::CallInfo, 0, 0, 0, event.number});
        break;
    }
    case Kind::call_state: {
        auto known = m_calls.find(event.call);
        if (known == m_calls.end()) {
            if (!is_live(event.state))
                return; // the end of a call we never saw
            // A call whose start we missed (it waited behind another call).
            TrackedCall& call = m_calls[event.call];
            call.direction = event.direction;
            call.start = file_time_now();
            call.number = event.number;
            call.info_pending =
                !event.number.empty() && event.direction == modem::Direction::incoming;
            LineCallbackFunc({device, LineMessage::AppNewCall, 0, device, 0, {}});
            known = m_calls.find(event.call);
        } else if (known->second.logged && is_live(event.state)) {
            return; // dropped here; the modem has not caught up yet
        } else if (m_call == 0 && m_enabled && is_live(event.state)) {
            // It waited while another call was current; now it is the one.
            LineCallbackFunc({device, LineMessage::AppNewCall, 0, device, 0, {}});
        }
        TrackedCall& call = known->second;
        if (event.state == modem::CallState::connected && !call.was_connected) {
            call.was_connected = true;
            call.connected_at = file_time_now();
        }
        const auto state = line_state(event.state);
        if (!state)
            return;
        call.had_state = true;
        LineEvent line{device, LineMessage::CallState, static_cast<std::uint64_t>(*state), 0, 0,
                       {}};
        if (event.state == modem::CallState::disconnected)
            line.param2 = static_cast<std::uint64_t>(disconnect_mode(event.reason));
        if (event.state == modem::CallState::disconnected ||
            event.state == modem::CallState::idle) {
            write_log_entry(event.call);
            m_calls.erase(event.call);
            LineCallbackFunc(line);
            return;
        }
        LineCallbackFunc(line);
        if (auto it = m_calls.find(event.call); it != m_calls.end() && it->second.info_pending) {
            it->second.info_pending = false;
            LineCallbackFunc({device, LineMessage::CallInfo, 0, 0, 0, it->second.number});
        }
        break;
    }
    case Kind::line_open:
        log_line() << u"Telephone: line open\n";
        break;
    case Kind::line_closed:
        m_dial_pending = false; // the modem forgot it
        log_line() << u"Telephone: line closed: " << from_utf8(event.detail) << u"\n";
        break;
    case Kind::command_failed:
        on_command_failed(event.detail);
        break;
    case Kind::service_reply:
        log_line() << u"Telephone: service reply: " << from_utf8(event.detail) << u"\n";
        break;
    }
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
    } else {
        entry.direction = CallDirection::Missed;
        // A call the user turned away was seen: it is logged as missed but
        // adds nothing to the "you missed calls" count.
        if (!call.rejected)
            increment_missed_call_count();
    }
    if (!call.number.empty()) {
        const WString number = from_utf8(call.number);
        entry.number = number;
        const data::PhoneRef contact = m_document.find_by_phone_number(number);
        if (contact.entry != nullptr)
            entry.name = data::display_name(contact.entry->record);
    }
    if (m_call_log != nullptr)
        m_call_log->add(entry);
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
