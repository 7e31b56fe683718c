// The AT conversation: set-up, one command at a time, +CLCC as the truth
// about calls and every other line as a reason to ask it again.

#include "platform/modem/at_engine.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace telvara::platform::modem {

namespace {

// A line longer than this without an end is noise, not a result.
constexpr std::size_t max_line = 4096;

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The fields of "+XXX: a,"b,c",d": commas inside quotes belong to the field.
std::vector<std::string> fields(std::string_view text) {
    std::vector<std::string> out;
    auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return out;
    }
    text.remove_prefix(colon + 1);
    std::string field;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back(trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    out.emplace_back(trim(field));
    return out;
}

std::optional<int> to_int(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// A reported number with its type of address: 145 is an international
// number, which some modems give without its '+' (calling it back as given
// would dial a different, national number).
std::string reported_number(std::string_view number, std::string_view type) {
    std::string out = clean_number(number);
    if (!out.empty() && out.front() >= '0' && out.front() <= '9' && to_int(type) == 145) {
        out.insert(out.begin(), '+');
    }
    return out;
}

std::optional<CallState> clcc_state(int stat) {
    switch (stat) {
    case 0:
        return CallState::connected;
    case 1:
        return CallState::on_hold;
    case 2:
        return CallState::dialing;
    case 3:
        return CallState::alerting;
    case 4:
        return CallState::offering;
    case 5:
        return CallState::waiting;
    default:
        return std::nullopt;
    }
}

std::optional<EndReason> end_result(std::string_view text) {
    if (text == "NO CARRIER") {
        return EndReason::no_carrier;
    }
    if (text == "BUSY") {
        return EndReason::busy;
    }
    if (text == "NO ANSWER") {
        return EndReason::no_answer;
    }
    return std::nullopt;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A service reply in UCS-2 (data coding 72) comes as hex; other codings are
// taken as text. Control characters never reach the screen.
std::optional<std::u16string> ucs2_hex(const std::string& text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::u16string wide;
    for (std::size_t i = 0; i + 3 < text.size(); i += 4) {
        int value = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            int digit = hex_value(text[i + j]);
            if (digit < 0) {
                return std::nullopt;
            }
            value = value * 16 + digit;
        }
        wide += static_cast<char16_t>(value);
    }
    return wide;
}

// A service reply in UCS-2 (data coding 72) comes as hex; other codings are
// taken as text. Control characters never reach the screen.
std::string service_text(const std::string& text, int coding) {
    std::string decoded = text;
    if (coding == 72) {
        if (auto wide = ucs2_hex(text)) {
            decoded = to_utf8(*wide);
        }
    }
    std::string out;
    for (char c : decoded) {
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\n') {
            out += c;
        }
    }
    return out;
}

} // namespace

void AtEngine::start(Clock::time_point now) {
    *this = AtEngine(m_timing);
    for (const char* text : {"AT", "ATE0", "ATV1"}) {
        queue({text, Role::setup, text});
    }
    // Optional: many modems refuse one or another; none of them is needed to
    // follow calls, only helpful.
    for (const char* text :
         {"AT+CMEE=1", "AT+CLIP=1", "AT+CRC=1", "AT+CCWA=1", "AT+CLCC=?", "AT+CHLD=?"}) {
        queue({text, Role::setup_optional, text});
    }
    queue({"AT+CLCC", Role::poll, "poll"});
    send_next(now);
}

void AtEngine::queue(Command command) {
    m_queue.push_back(std::move(command));
}

void AtEngine::send_next(Clock::time_point now) {
    if (m_closed || m_current) {
        return;
    }
    if (m_queue.empty() && m_poll_wanted && m_ready) {
        m_queue.push_back({"AT+CLCC", Role::poll, "poll"});
    }
    if (m_queue.empty()) {
        return;
    }
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    if (m_current->role == Role::poll) {
        m_poll_wanted = false;
        m_next_poll.reset();
        m_clcc_lines.clear();
    }
    if (m_current->role == Role::dial && m_current->name == "dial") {
        m_dial_since = now;
    }
    m_sent_at = now;
    m_output += m_current->text;
    m_output += '\r';
}

void AtEngine::receive(std::string_view bytes, Clock::time_point now) {
    if (m_closed) {
        return;
    }
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            std::string text;
            text.swap(m_input);
            auto trimmed = trim(text);
            if (!trimmed.empty()) {
                line(trimmed, now);
            }
            if (m_closed) {
                return;
            }
            continue;
        }
        // Line noise (NULs, bytes of a wrong speed) is dropped; UTF-8 in
        // service replies is kept.
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            continue;
        }
        if (m_input.size() >= max_line) {
            log("modem: overlong line dropped");
            m_input.clear();
        }
        m_input += c;
    }
    send_next(now);
}

bool AtEngine::final_result(std::string_view text) const {
    if (text == "OK" || text == "ERROR" || starts_with(text, "+CME ERROR") ||
        starts_with(text, "+CMS ERROR")) {
        return true;
    }
    if (m_current && m_current->role == Role::dial) {
        return end_result(text).has_value() || text == "NO DIALTONE" ||
               starts_with(text, "CONNECT");
    }
    return false;
}

void AtEngine::line(std::string_view text, Clock::time_point now) {
    if (m_current) {
        if (text == m_current->text) {
            return; // the echo before ATE0 took effect
        }
        if (final_result(text)) {
            finish(text, now);
            return;
        }
        if (m_current->role == Role::poll && starts_with(text, "+CLCC:")) {
            m_clcc_lines.emplace_back(text);
            return;
        }
    }
    unsolicited(text);
}

void AtEngine::finish(std::string_view result, Clock::time_point now) {
    Command command = std::move(*m_current);
    m_current.reset();
    // The line opens as the set-up ends, before the calls it found.
    if (!m_ready && m_queue.empty() &&
        (command.role == Role::setup || command.role == Role::setup_optional ||
         command.role == Role::poll)) {
        m_ready = true;
        log("modem: ready");
        event({.kind = ModemEvent::Kind::line_open});
    }
    bool ok = result == "OK" || starts_with(result, "CONNECT");
    switch (command.role) {
    case Role::setup:
    case Role::setup_optional:
        if (!ok) {
            log("modem: " + command.text + " answered " + std::string(result));
        }
        break;
    case Role::poll:
        if (ok) {
            apply_call_list(now);
        } else {
            log("modem: AT+CLCC answered " + std::string(result));
            m_clcc_lines.clear();
        }
        break;
    case Role::operation:
        if (!ok) {
            event({.kind = ModemEvent::Kind::command_failed,
                   .detail = command.name + ": " + std::string(result)});
        }
        poll_now();
        break;
    case Role::hang_up:
        if (!ok && command.text == "AT+CHUP") {
            // Older modems know only ATH.
            m_queue.push_front({"ATH", Role::hang_up, "hang_up"});
        } else if (!ok) {
            m_hang_up_pending = false;
            event({.kind = ModemEvent::Kind::command_failed,
                   .detail = command.name + ": " + std::string(result)});
        }
        poll_now();
        break;
    case Role::dial:
        if (!ok) {
            auto reason = end_result(result);
            if (reason) {
                m_end_hint = reason;
            } else {
                event({.kind = ModemEvent::Kind::command_failed,
                       .detail = command.name + ": " + std::string(result)});
            }
            if (command.name == "dial" && m_dial_pending) {
                // The call ended before any list showed it: report it whole, so
                // the owner still sees the dial and its end.
                m_dial_pending = false;
                Call call{m_synthetic_id--, Direction::outgoing, CallState::dialing, m_dial_number};
                event({.kind = ModemEvent::Kind::new_call,
                       .call = call.id,
                       .direction = call.direction,
                       .number = call.number});
                event({.kind = ModemEvent::Kind::call_state,
                       .call = call.id,
                       .direction = call.direction,
                       .state = CallState::dialing,
                       .number = call.number});
                end_call(call, reason.value_or(EndReason::failed));
                m_end_hint.reset();
            }
        }
        poll_now();
        break;
    }
    send_next(now);
}

void AtEngine::unsolicited(std::string_view text) {
    if (text == "RING" || starts_with(text, "+CRING")) {
        poll_now();
        return;
    }
    if (starts_with(text, "+CLIP:") || starts_with(text, "+CCWA:")) {
        auto parts = fields(text);
        std::string number = parts.empty()
                                 ? std::string()
                                 : reported_number(parts[0], parts.size() > 1 ? parts[1] : "");
        bool applied = false;
        for (auto& [id, call] : m_calls) {
            if (call.direction == Direction::incoming &&
                (call.state == CallState::offering || call.state == CallState::waiting)) {
                applied = true;
                if (!number.empty() && number != call.number) {
                    call.number = number;
                    event({.kind = ModemEvent::Kind::call_info,
                           .call = id,
                           .direction = call.direction,
                           .state = call.state,
                           .number = number});
                }
                break;
            }
        }
        if (!applied) {
            m_pending_caller = number;
        }
        poll_now();
        return;
    }
    if (auto reason = end_result(text)) {
        if (!m_hang_up_pending) {
            m_end_hint = reason;
        }
        poll_now();
        return;
    }
    if (starts_with(text, "+CUSD:")) {
        auto parts = fields(text);
        std::string reply = parts.size() > 1 ? parts[1] : std::string();
        int coding = parts.size() > 2 ? to_int(parts[2]).value_or(15) : 15;
        event({.kind = ModemEvent::Kind::service_reply, .detail = service_text(reply, coding)});
        return;
    }
    if (text == "OK" || text == "ERROR") {
        log("modem: stray " + std::string(text));
        return;
    }
    // Vendor call-status lines (*ECAV, ^DSCI, +CIEV, unsolicited +CLCC) and
    // everything else we do not know: the list will tell.
    if (m_log.size() < 64) {
        log("modem: unknown line " + std::string(text.substr(0, 80)));
    }
    if (m_ready) {
        poll_now();
    }
}

void AtEngine::apply_call_list(Clock::time_point now) {
    std::map<int, Call> listed;
    for (const auto& text : m_clcc_lines) {
        auto parts = fields(text);
        if (parts.size() < 5) {
            continue;
        }
        auto id = to_int(parts[0]);
        auto dir = to_int(parts[1]);
        auto stat = to_int(parts[2]);
        auto mode = to_int(parts[3]);
        if (!id || !dir || !stat || !mode || *id <= 0 || *mode != 0) {
            continue; // garbled, or a data or fax call
        }
        auto state = clcc_state(*stat);
        if (!state) {
            continue;
        }
        Call call{*id, *dir == 1 ? Direction::incoming : Direction::outgoing, *state,
                  parts.size() > 5 ? reported_number(parts[5], parts.size() > 6 ? parts[6] : "")
                                   : std::string()};
        listed[call.id] = call;
    }
    m_clcc_lines.clear();

    // Calls gone from the list have ended, with or without a NO CARRIER.
    bool ended = false;
    for (auto it = m_calls.begin(); it != m_calls.end();) {
        auto found = listed.find(it->first);
        if (found == listed.end() || found->second.direction != it->second.direction) {
            EndReason reason =
                m_hang_up_pending ? EndReason::normal : m_end_hint.value_or(EndReason::normal);
            end_call(it->second, reason);
            it = m_calls.erase(it);
            ended = true;
        } else {
            ++it;
        }
    }
    if (ended) {
        m_end_hint.reset();
        m_hang_up_pending = false;
    }

    for (auto& [id, call] : listed) {
        auto known = m_calls.find(id);
        if (known == m_calls.end()) {
            if (call.number.empty() && call.direction == Direction::incoming) {
                call.number = m_pending_caller;
            }
            if (call.number.empty() && call.direction == Direction::outgoing && m_dial_pending) {
                call.number = m_dial_number;
            }
            if (call.direction == Direction::incoming) {
                m_pending_caller.clear();
            } else {
                m_dial_pending = false;
            }
            event({.kind = ModemEvent::Kind::new_call,
                   .call = id,
                   .direction = call.direction,
                   .state = call.state,
                   .number = call.number});
            if (!call.number.empty()) {
                event({.kind = ModemEvent::Kind::call_info,
                       .call = id,
                       .direction = call.direction,
                       .state = call.state,
                       .number = call.number});
            }
            event({.kind = ModemEvent::Kind::call_state,
                   .call = id,
                   .direction = call.direction,
                   .state = call.state,
                   .number = call.number});
            m_calls[id] = call;
            continue;
        }
        Call& old = known->second;
        if (!call.number.empty() && call.number != old.number) {
            old.number = call.number;
            event({.kind = ModemEvent::Kind::call_info,
                   .call = id,
                   .direction = old.direction,
                   .state = old.state,
                   .number = old.number});
        }
        if (call.state != old.state) {
            old.state = call.state;
            event({.kind = ModemEvent::Kind::call_state,
                   .call = id,
                   .direction = old.direction,
                   .state = old.state,
                   .number = old.number});
        }
    }

    if (m_dial_pending && now - m_dial_since > m_timing.dial_timeout) {
        m_dial_pending = false;
        event({.kind = ModemEvent::Kind::command_failed, .detail = "dial: no call appeared"});
    }

    if (m_dial_pending || has_call_in({CallState::dialing, CallState::alerting, CallState::offering,
                                       CallState::waiting, CallState::on_hold})) {
        m_next_poll = now + m_timing.poll_interval;
    } else if (!m_calls.empty()) {
        m_next_poll = now + m_timing.connected_poll_interval;
    } else {
        m_next_poll.reset();
    }
}

void AtEngine::end_call(const Call& call, EndReason reason) {
    ModemEvent base{.kind = ModemEvent::Kind::call_state,
                    .call = call.id,
                    .direction = call.direction,
                    .number = call.number};
    if (reason == EndReason::busy) {
        base.state = CallState::busy;
        event(base);
    }
    base.state = CallState::disconnected;
    base.reason = reason;
    event(base);
    base.state = CallState::idle;
    event(base);
}

bool AtEngine::has_call_in(std::initializer_list<CallState> states) const {
    return std::any_of(m_calls.begin(), m_calls.end(), [&](const auto& entry) {
        return std::find(states.begin(), states.end(), entry.second.state) != states.end();
    });
}

void AtEngine::poll_now() {
    m_poll_wanted = true;
}

void AtEngine::tick(Clock::time_point now) {
    if (m_closed) {
        return;
    }
    if (m_current) {
        auto limit =
            m_current->role == Role::dial ? m_timing.dial_timeout : m_timing.command_timeout;
        if (now - m_sent_at >= limit) {
            close("no answer to " + m_current->text);
        }
        return;
    }
    if (m_next_poll && now >= *m_next_poll) {
        m_poll_wanted = true;
    }
    send_next(now);
}

std::optional<Clock::time_point> AtEngine::next_deadline() const {
    if (m_closed) {
        return std::nullopt;
    }
    if (m_current) {
        return m_sent_at +
               (m_current->role == Role::dial ? m_timing.dial_timeout : m_timing.command_timeout);
    }
    if (!m_queue.empty() || (m_poll_wanted && m_ready)) {
        return Clock::time_point::min();
    }
    return m_next_poll;
}

void AtEngine::close(std::string_view why) {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_ready = false;
    log("modem: closed, " + std::string(why));
    for (const auto& [id, call] : m_calls) {
        end_call(call, EndReason::modem_lost);
    }
    m_calls.clear();
    m_queue.clear();
    m_current.reset();
    event({.kind = ModemEvent::Kind::line_closed, .detail = std::string(why)});
}

void AtEngine::dial(const std::string& dial_string) {
    m_dial_pending = true;
    m_dial_number = clean_number(dial_string);
    queue({"ATD" + dial_string + ";", Role::dial, "dial"});
}

void AtEngine::answer() {
    queue({"ATA", Role::dial, "answer"});
}

void AtEngine::hang_up() {
    m_hang_up_pending = true;
    queue({"AT+CHUP", Role::hang_up, "hang_up"});
}

void AtEngine::hold() {
    queue({"AT+CHLD=2", Role::operation, "hold"});
}

void AtEngine::unhold() {
    queue({"AT+CHLD=2", Role::operation, "unhold"});
}

void AtEngine::tones(const std::string& digits) {
    for (char c : digits) {
        queue({std::string("AT+VTS=") + c, Role::operation, "tones"});
    }
}

void AtEngine::mute(MuteState state) {
    queue({state == MuteState::muted ? "AT+CMUT=1" : "AT+CMUT=0", Role::operation, "mute"});
}

void AtEngine::service_code(const std::string& code) {
    queue({"AT+CUSD=1,\"" + code + "\",15", Role::operation, "service_code"});
}

void AtEngine::event(ModemEvent event) {
    m_events.push_back(std::move(event));
}

void AtEngine::log(std::string text) {
    m_log.push_back(std::move(text));
}

std::string AtEngine::take_output() {
    return std::exchange(m_output, {});
}

std::vector<ModemEvent> AtEngine::take_events() {
    return std::exchange(m_events, {});
}

std::vector<std::string> AtEngine::take_log() {
    return std::exchange(m_log, {});
}

} // namespace telvara::platform::modem
