// The AT conversation: set-up, one command at a time, +CLCC as the truth
// about calls and every other line as a reason to ask it again; the SIM and
// the network from their own answers and unsolicited lines.

#include "platform/modem/at_engine.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace telvara::platform::modem {

namespace {

// Call indexes are 1-7: +CHLD=1x and 2x name a call with one digit.
constexpr int max_call_index = 7;
// Bad lines are logged this far into one batch of input, not without end.
constexpr std::size_t max_logged = 64;
// Names from the network beyond this are cut: a screen line, not a letter.
constexpr std::size_t max_name = 80;

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
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

// Whether field `index` of an information line is quoted: a location area
// code ("00C3") may look like a number once its quotes are gone.
bool quoted_field(std::string_view text, std::size_t index) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    bool quoted = false;
    std::size_t at = colon + 1;
    for (; at < text.size() && index > 0; ++at) {
        if (text[at] == '"') {
            quoted = !quoted;
        } else if (text[at] == ',' && !quoted) {
            --index;
        }
    }
    text.remove_prefix(std::min(at, text.size()));
    text = trim(text);
    return !text.empty() && text.front() == '"';
}

std::optional<int> to_int(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Codes never reach a log line or an event: whatever follows +CPIN= is masked.
std::string redacted(std::string_view text) {
    constexpr std::string_view marker = "+CPIN=";
    for (std::size_t i = 0; i + marker.size() <= text.size(); ++i) {
        if (same_text(text.substr(i, marker.size()), marker)) {
            return std::string(text.substr(0, i + marker.size())) + "****";
        }
    }
    return std::string(text);
}

// The number of a +CME ERROR, also in its verbose form (a modem that
// ignored AT+CMEE=1); -1 for anything else.
int cme_code(std::string_view result) {
    constexpr std::string_view prefix = "+CME ERROR:";
    if (!starts_with(result, prefix)) {
        return -1;
    }
    auto rest = trim(result.substr(prefix.size()));
    if (auto code = to_int(rest)) {
        return *code;
    }
    static constexpr std::pair<std::string_view, int> verbose[] = {
        {"operation not allowed", 3},
        {"operation not supported", 4},
        {"SIM not inserted", 10},
        {"SIM PIN required", 11},
        {"SIM PUK required", 12},
        {"SIM failure", 13},
        {"SIM busy", 14},
        {"SIM wrong", 15},
        {"incorrect password", 16},
        {"no network service", 30},
        {"network timeout", 31},
        {"network not allowed - emergency calls only", 32},
    };
    for (auto [text, code] : verbose) {
        if (same_text(rest, text)) {
            return code;
        }
    }
    return -1;
}

// The modem's text for a log line: short, whole as far as it goes.
std::string quoted(std::string_view text) {
    constexpr std::size_t shown = 80;
    return "\"" + std::string(text.substr(0, shown)) + (text.size() > shown ? "...\"" : "\"");
}

std::optional<int> in_range(std::string_view text, int low, int high) {
    auto value = to_int(text);
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return value;
}

// Text from the network for the screen (caller names, operator names): no
// control characters, whole characters only, at most max_name of them.
std::string display_text(std::string_view text) {
    WString wide = from_utf8(text);
    WString kept;
    std::size_t count = 0;
    for (std::size_t i = 0; i < wide.size() && count < max_name; ++i) {
        char16_t c = wide[i];
        if (c < 0x20 || (c >= 0x7f && c < 0xa0)) {
            continue;
        }
        kept += c;
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < wide.size()) {
            kept += wide[++i];
        }
        ++count;
    }
    return to_utf8(kept);
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

SimState sim_state(std::string_view code) {
    if (code == "READY" || code == "SIM PIN2" || code == "SIM PUK2") {
        // PIN2 guards only a few services: the SIM itself works.
        return SimState::ready;
    }
    if (code == "SIM PIN") {
        return SimState::pin_required;
    }
    if (code == "SIM PUK") {
        return SimState::puk_required;
    }
    if (code == "NOT INSERTED") {
        return SimState::absent; // what some modems say when the SIM is taken out
    }
    if (code == "NOT READY") {
        return SimState::unknown;
    }
    return SimState::failed; // PH-SIM PIN, PH-NET PIN, ...: no code this phone can take
}

// +CPIN? answered with an error: the error is the state.
std::optional<SimState> sim_error_state(int code) {
    switch (code) {
    case 10:
        return SimState::absent;
    case 11:
        return SimState::pin_required;
    case 12:
        return SimState::puk_required;
    case 13:
    case 15:
        return SimState::failed;
    default:
        return std::nullopt;
    }
}

Registration registration_of(int stat) {
    switch (stat) {
    case 0:
        return Registration::none;
    case 1:
    case 6: // SMS only, or CS fallback not preferred: registered all the same
    case 9:
        return Registration::home;
    case 2:
        return Registration::searching;
    case 3:
    case 8: // emergency calls only
        return Registration::denied;
    case 5:
    case 7:
    case 10:
        return Registration::roaming;
    default:
        return Registration::unknown;
    }
}

int rank(Registration registration) {
    switch (registration) {
    case Registration::unknown:
        return 0;
    case Registration::none:
        return 1;
    case Registration::denied:
        return 2;
    case Registration::searching:
        return 3;
    case Registration::roaming:
        return 4;
    case Registration::home:
        return 5;
    }
    return 0;
}

// "+CHLD: (0,1,1x,2,2x,3)": whether 3 (join) is in the list, also as a range.
bool lists_join(std::string_view text) {
    auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string list;
    for (char c : text.substr(colon + 1)) {
        if (c != '(' && c != ')' && c != ' ') {
            list += c;
        }
    }
    std::string_view rest(list);
    while (!rest.empty()) {
        auto comma = rest.find(',');
        auto item = rest.substr(0, comma);
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        auto dash = item.find('-');
        auto low = to_int(item.substr(0, dash));
        auto high = dash == std::string_view::npos ? low : to_int(item.substr(dash + 1));
        if (low && high && *low <= 3 && 3 <= *high) {
            return true;
        }
    }
    return false;
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

// UCS-2 as hex, four digits a character; nothing when it is not that.
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

const std::string creg_query = "AT+CREG?";
const std::string cereg_query = "AT+CEREG?";
const std::string cops_query = "AT+COPS?";
const std::string csq_query = "AT+CSQ";
const std::string cpin_query = "AT+CPIN?";

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
    // The network comes after the calls: the line opens without waiting for it.
    for (const char* text : {"AT+CPIN?", "AT+CREG=2", "AT+CREG?", "AT+CEREG=2", "AT+CEREG?",
                             "AT+COPS=3,0", "AT+COPS?", "AT+CSQ", "AT+CNAP=1"}) {
        ask_network(text);
    }
    send_next(now);
}

void AtEngine::queue(Command command) {
    m_queue.push_back(std::move(command));
}

bool AtEngine::ask_network(const std::string& text, bool first) {
    if (m_refused.count(text) > 0 || network_queued(text)) {
        return false;
    }
    Command command{text, Role::network, text};
    if (first) {
        m_network_queue.push_front(std::move(command));
    } else {
        m_network_queue.push_back(std::move(command));
    }
    return true;
}

bool AtEngine::network_queued(std::string_view prefix) const {
    return std::any_of(m_network_queue.begin(), m_network_queue.end(),
                       [&](const Command& command) { return starts_with(command.text, prefix); });
}

void AtEngine::send_next(Clock::time_point now) {
    if (m_closed || m_current) {
        return;
    }
    if (m_queue.empty() && m_ready) {
        if (m_poll_wanted) {
            m_queue.push_back({"AT+CLCC", Role::poll, "poll"});
        } else if (!m_network_queue.empty()) {
            m_queue.push_back(std::move(m_network_queue.front()));
            m_network_queue.pop_front();
        }
    }
    if (m_queue.empty()) {
        return;
    }
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_answered = false;
    m_answer_lines = 0;
    m_answer_bytes = 0;
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
        if (m_current && ++m_answer_bytes > max_answer_bytes) {
            overflow(now);
            return;
        }
        if (c == '\r' || c == '\n') {
            m_in_quotes = false;
            if (m_discarding) {
                m_discarding = false; // the next line starts clean
                continue;
            }
            std::string text;
            text.swap(m_input);
            auto trimmed = trim(text);
            if (trimmed.empty()) {
                continue;
            }
            if (m_current && ++m_answer_lines > max_answer_lines) {
                overflow(now);
                return;
            }
            line(trimmed, now);
            if (m_closed) {
                return;
            }
            continue;
        }
        if (m_discarding) {
            continue;
        }
        // Line noise (NULs, bytes of a wrong speed) is dropped; UTF-8 in
        // service replies is kept. Inside quotes a control character is part
        // of the text (a caller ID that holds one is then refused, not read
        // as the digits around it).
        if (c == '"') {
            m_in_quotes = !m_in_quotes;
        } else if (!m_in_quotes && (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)) {
            continue;
        }
        if (m_input.size() >= max_line_bytes) {
            // Its tail is no line of its own: dropped up to the line end.
            log("modem: overlong line dropped");
            m_input.clear();
            m_in_quotes = false;
            m_discarding = true;
            continue;
        }
        m_input += c;
    }
    send_next(now);
    report_network();
}

void AtEngine::overflow(Clock::time_point now) {
    // The command last: a PIN in it is masked up to the end of the text.
    const std::string why = "answer too long (over " + std::to_string(max_answer_lines) +
                            " lines or " + std::to_string(max_answer_bytes) + " bytes) to " +
                            m_current->text;
    // An operation fails as a refused one does (the set-up, polls and
    // network questions have nobody waiting); then the conversation starts
    // over, and what the modem still has to say of it is never read.
    switch (m_current->role) {
    case Role::setup:
    case Role::setup_optional:
    case Role::poll:
    case Role::network:
        m_current.reset();
        break;
    case Role::operation:
    case Role::dial:
    case Role::hang_up:
    case Role::pin:
        finish("answer too long", now);
        break;
    }
    m_input.clear();
    m_in_quotes = false;
    m_discarding = false;
    m_clcc_lines.clear();
    m_output.clear(); // nothing more is said to this modem before it is opened again
    close(why);
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

bool AtEngine::take_answer(std::string_view query) {
    if (!m_current || m_current->text != query || m_answered) {
        return false;
    }
    m_answered = true;
    return true;
}

void AtEngine::finish(std::string_view result, Clock::time_point now) {
    Command command = std::move(*m_current);
    m_current.reset();
    // The line opens as the set-up ends, before the calls it found.
    if (!m_ready && m_queue.empty() &&
        (command.role == Role::setup || command.role == Role::setup_optional ||
         command.role == Role::poll)) {
        m_ready = true;
        m_next_network_poll = now + m_timing.network_poll_interval;
        log("modem: ready");
        event({.kind = ModemEvent::Kind::line_open});
    }
    bool ok = result == "OK" || starts_with(result, "CONNECT");
    int code = cme_code(result);
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
    case Role::network:
        finish_network(command, result, ok, code);
        break;
    case Role::pin:
        event({.kind = ModemEvent::Kind::pin_result, .code = ok ? 0 : code});
        // The SIM says what it asks now and how many tries are left, in one
        // event; then the network it may have registered with meanwhile.
        ask_network(creg_query, true);
        m_network_held = ask_network(cpin_query, true);
        break;
    case Role::operation:
        if (!ok) {
            failed(command, result, code);
        }
        poll_now();
        break;
    case Role::hang_up:
        if (!ok && command.text == "AT+CHUP") {
            // Older modems know only ATH.
            m_queue.push_front({"ATH", Role::hang_up, "hang_up"});
        } else if (!ok) {
            m_hang_up_pending = false;
            failed(command, result, code);
        }
        poll_now();
        break;
    case Role::dial:
        if (!ok) {
            auto reason = end_result(result);
            if (reason) {
                m_end_hint = reason;
            } else {
                failed(command, result, code);
            }
            if (command.name == "dial" && m_dial_pending) {
                // The call ended before any list showed it: report it whole, so
                // the owner still sees the dial and its end.
                m_dial_pending = false;
                Call call{.id = m_synthetic_id--,
                          .direction = Direction::outgoing,
                          .state = CallState::dialing,
                          .number = m_dial_number};
                event({.kind = ModemEvent::Kind::new_call,
                       .call = call.id,
                       .direction = call.direction,
                       .number = call.number});
                state_event(call);
                end_call(call, dial_refusal(result, code));
                m_end_hint.reset();
            }
        }
        poll_now();
        break;
    }
    send_next(now);
}

void AtEngine::finish_network(const Command& command, std::string_view result, bool ok, int code) {
    if (!ok) {
        log("modem: " + command.text + " answered " + std::string(result));
        if (command.text == "AT+CREG=2") {
            ask_network("AT+CREG=1", true); // no location reports on older modems
        }
        if (command.text == cpin_query) {
            if (auto state = sim_error_state(code)) {
                set_sim(*state);
                if (*state == SimState::pin_required || *state == SimState::puk_required) {
                    ask_retries();
                }
            }
        }
        // A refusal is for good; an error in the middle of things is not.
        if (code < 0 || code == 3 || code == 4) {
            m_refused.insert(command.text);
            if (!pollable()) {
                m_next_network_poll.reset();
            }
        }
    }
    if (command.text == cpin_query && !network_queued("AT+CPINR")) {
        m_network_held = false;
    }
    if (starts_with(command.text, "AT+CPINR")) {
        m_network_held = false;
    }
}

void AtEngine::failed(const Command& command, std::string_view result, int code) {
    event({.kind = ModemEvent::Kind::command_failed,
           .detail = command.name + ": " + redacted(result),
           .code = code});
}

EndReason AtEngine::dial_refusal(std::string_view result, int code) const {
    if (code == 30 || code == 31 || code == 32) {
        return EndReason::no_service;
    }
    if (code == 10 || code == 11 || code == 12) {
        return EndReason::sim_locked;
    }
    auto reason = end_result(result);
    if (reason == EndReason::busy || reason == EndReason::no_answer) {
        return *reason;
    }
    // A bare refusal says little; what the SIM and the network said before
    // tells why.
    SimState sim = m_network.sim;
    if (sim == SimState::pin_required || sim == SimState::puk_required || sim == SimState::absent) {
        return EndReason::sim_locked;
    }
    if (m_network.registration != Registration::unknown && !m_network.registered()) {
        return EndReason::no_service;
    }
    return reason.value_or(EndReason::failed);
}

void AtEngine::unsolicited(std::string_view text) {
    if (text == "RING" || starts_with(text, "+CRING")) {
        poll_now();
        return;
    }
    if (starts_with(text, "+CLIP:") || starts_with(text, "+CCWA:")) {
        caller_line(text);
        return;
    }
    if (starts_with(text, "+CNAP:")) {
        name_line(text);
        return;
    }
    if (starts_with(text, "+CDIP:")) {
        return; // the number that was called here: nothing to show
    }
    if (network_line(text)) {
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
        event({.kind = ModemEvent::Kind::service_reply,
               .detail = service_text(reply, coding),
               .code = parts.empty() ? -1 : to_int(parts[0]).value_or(-1)});
        return;
    }
    if (text == "OK" || text == "ERROR") {
        log("modem: stray " + std::string(text));
        return;
    }
    // Vendor call-status lines (*ECAV, ^DSCI, +CIEV, unsolicited +CLCC) and
    // everything else we do not know: the list will tell.
    if (m_log.size() < max_logged) {
        log("modem: unknown line " + quoted(text));
    }
    if (m_ready) {
        poll_now();
    }
}

bool AtEngine::network_line(std::string_view text) {
    if (starts_with(text, "+CPIN:")) {
        sim_line(text);
    } else if (starts_with(text, "+CPINR:")) {
        auto parts = fields(text);
        auto left = parts.size() > 1 ? to_int(parts[1]) : std::nullopt;
        bool asked = (parts[0] == "SIM PIN" && m_network.sim == SimState::pin_required) ||
                     (parts[0] == "SIM PUK" && m_network.sim == SimState::puk_required);
        if (asked && left) {
            m_network.pin_retries = *left;
        }
    } else if (starts_with(text, "+CREG:")) {
        registration_line(text, false);
    } else if (starts_with(text, "+CEREG:")) {
        registration_line(text, true);
    } else if (starts_with(text, "+COPS:")) {
        // +COPS: <mode>[,<format>,<oper>[,<AcT>]]; numeric names are no names.
        auto parts = fields(text);
        bool named = parts.size() > 2 && (parts[1] == "0" || parts[1] == "1");
        set_operator(named ? display_text(parts[2]) : std::string());
    } else if (starts_with(text, "+CSQ:")) {
        auto parts = fields(text);
        m_network.signal_bars = signal_bars(to_int(parts[0]).value_or(99));
    } else if (starts_with(text, "+CHLD:")) {
        m_supports_join = lists_join(text);
    } else {
        return false;
    }
    return true;
}

void AtEngine::sim_line(std::string_view text) {
    auto colon = text.find(':');
    auto code = trim(text.substr(colon + 1));
    if (code.size() >= 2 && code.front() == '"' && code.back() == '"') {
        code = code.substr(1, code.size() - 2);
    }
    bool answer = take_answer(cpin_query);
    SimState state = sim_state(code);
    bool changed = set_sim(state);
    if ((answer || changed) &&
        (state == SimState::pin_required || state == SimState::puk_required)) {
        ask_retries();
    }
}

bool AtEngine::set_sim(SimState state) {
    if (state == m_network.sim) {
        return false;
    }
    m_network.sim = state;
    m_network.pin_retries = -1; // they were the tries of another code
    if (state == SimState::ready) {
        ask_network(creg_query);
    }
    return true;
}

void AtEngine::ask_retries() {
    const char* which = m_network.sim == SimState::puk_required ? "SIM PUK" : "SIM PIN";
    if (ask_network("AT+CPINR=\"" + std::string(which) + "\"", true)) {
        m_network_held = true;
    }
}

void AtEngine::registration_line(std::string_view text, bool eps) {
    // The answer to the query has <n> first (+CREG: 2,1,"00C3","0102",7);
    // the unsolicited line starts with <stat> (+CREG: 1,"00C3","0102",7).
    auto parts = fields(text);
    std::optional<int> stat;
    if (parts.size() >= 2 && !quoted_field(text, 1) && to_int(parts[1]) &&
        take_answer(eps ? cereg_query : creg_query)) {
        stat = to_int(parts[1]);
    } else {
        stat = to_int(parts[0]);
        if (!eps && stat) {
            m_creg_unsolicited = true;
        }
    }
    if (stat) {
        set_registration(eps, registration_of(*stat));
    }
}

void AtEngine::set_registration(bool eps, Registration registration) {
    (eps ? m_cereg : m_creg) = registration;
    Registration best = rank(m_cereg) > rank(m_creg) ? m_cereg : m_creg;
    if (best == m_network.registration) {
        return;
    }
    m_network.registration = best;
    if (best != Registration::unknown && !m_network.registered()) {
        m_network.operator_name.clear();
        if (!m_calls.empty()) {
            poll_now(); // calls seldom outlive the network
        }
    }
    ask_network(cops_query);
    ask_network(csq_query);
}

void AtEngine::set_operator(std::string name) {
    // An operator only counts while registered (or while nobody says).
    if (m_network.registration != Registration::unknown && !m_network.registered()) {
        name.clear();
    }
    m_network.operator_name = std::move(name);
}

void AtEngine::report_network() {
    if (m_network_held || m_network == m_reported_network) {
        return;
    }
    m_reported_network = m_network;
    event({.kind = ModemEvent::Kind::network, .network = m_network});
}

bool AtEngine::pollable() const {
    return m_refused.count(csq_query) == 0 ||
           (!m_creg_unsolicited && m_refused.count(creg_query) == 0);
}

AtEngine::Call* AtEngine::incoming_call(bool waiting_first) {
    auto first = waiting_first ? CallState::waiting : CallState::offering;
    auto second = waiting_first ? CallState::offering : CallState::waiting;
    for (auto state : {first, second}) {
        for (auto& [id, call] : m_calls) {
            if (call.direction == Direction::incoming && call.state == state) {
                return &call;
            }
        }
    }
    return nullptr;
}

std::string AtEngine::caller_number(std::string_view number, std::string_view type,
                                    std::string_view what) {
    auto out = reported_number(number);
    if (!out) {
        if (m_log.size() < max_logged) {
            log("modem: " + std::string(what) +
                " number is no number, taken as unknown: " + quoted(number));
        }
        return {};
    }
    // 145 is an international number, which some modems give without its
    // '+' (calling it back as given would dial a different, national number).
    if (!out->empty() && out->front() != '+' && to_int(type) == 145) {
        out->insert(out->begin(), '+');
    }
    return *out;
}

void AtEngine::caller_line(std::string_view text) {
    auto parts = fields(text);
    std::string number = caller_number(parts[0], parts.size() > 1 ? parts[1] : "",
                                       starts_with(text, "+CCWA:") ? "+CCWA" : "+CLIP");
    // +CLIP speaks of the call ringing here, +CCWA of the one waiting.
    Call* call = incoming_call(starts_with(text, "+CCWA:"));
    if (call) {
        m_caller_call = call->id;
        if (!number.empty() && number != call->number) {
            call->number = number;
            info_event(*call);
        }
    } else {
        m_caller_call = 0;
        m_pending_caller = number;
    }
    poll_now();
}

void AtEngine::name_line(std::string_view text) {
    // +CNAP: "<name>",<CNI validity>: 1 withheld, 2 not available.
    auto parts = fields(text);
    int validity = parts.size() > 1 ? to_int(parts[1]).value_or(0) : 0;
    std::string name = validity == 0 ? display_text(parts[0]) : std::string();
    Call* call = nullptr;
    if (auto known = m_calls.find(m_caller_call);
        known != m_calls.end() &&
        (known->second.state == CallState::offering || known->second.state == CallState::waiting)) {
        call = &known->second;
    } else if (m_caller_call == 0 && m_pending_caller.empty()) {
        call = incoming_call(false);
    }
    if (!call) {
        m_pending_name = name;
        return;
    }
    if (name != call->name) {
        call->name = name;
        info_event(*call);
    }
}

std::optional<AtEngine::Call> AtEngine::list_entry(std::string_view text) {
    // +CLCC: <idx>,<dir>,<stat>,<mode>,<mpty>[,<number>,<type>[,<alpha>...]]
    auto parts = fields(text);
    const char* fault = nullptr;
    std::optional<int> id;
    std::optional<int> dir;
    std::optional<int> stat;
    std::optional<int> mode;
    std::optional<int> mpty;
    if (parts.size() < 5) {
        fault = "too few fields";
    } else if (!(id = in_range(parts[0], 1, max_call_index))) {
        fault = "call index";
    } else if (!(dir = in_range(parts[1], 0, 1))) {
        fault = "direction";
    } else if (!(stat = in_range(parts[2], 0, 5))) {
        fault = "state";
    } else if (!(mode = in_range(parts[3], 0, 9))) {
        fault = "mode";
    } else if (!(mpty = in_range(parts[4], 0, 1))) {
        fault = "conference flag";
    } else if (parts.size() > 6 && !parts[6].empty() && !in_range(parts[6], 0, 255)) {
        fault = "type of number";
    }
    if (fault) {
        if (m_log.size() < max_logged) {
            log("modem: call list line left out (" + std::string(fault) + "): " + quoted(text));
        }
        return std::nullopt;
    }
    if (*mode != 0) {
        return Call{}; // a data or fax call: none of ours
    }
    return Call{.id = *id,
                .direction = *dir == 1 ? Direction::incoming : Direction::outgoing,
                .state = *clcc_state(*stat),
                .number = parts.size() > 5
                              ? caller_number(parts[5], parts.size() > 6 ? parts[6] : "", "+CLCC")
                              : std::string(),
                .multiparty = *mpty == 1};
}

void AtEngine::apply_call_list(Clock::time_point now) {
    std::map<int, Call> listed;
    // Calls a left-out line named: the list says nothing sure of them.
    std::set<int> garbled;
    for (const auto& text : m_clcc_lines) {
        auto call = list_entry(text);
        if (!call) {
            auto parts = fields(text);
            if (auto id = in_range(parts.empty() ? "" : parts[0], 1, max_call_index)) {
                garbled.insert(*id);
            }
            continue;
        }
        if (call->id == 0) {
            continue;
        }
        if (!listed.emplace(call->id, *call).second && m_log.size() < max_logged) {
            log("modem: call list line left out (index listed twice): " + quoted(text));
        }
    }
    m_clcc_lines.clear();

    // Calls gone from the list have ended, with or without a NO CARRIER.
    bool ended = false;
    for (auto it = m_calls.begin(); it != m_calls.end();) {
        auto found = listed.find(it->first);
        if (found == listed.end() && garbled.count(it->first) > 0) {
            ++it; // still there, as far as anyone can tell
        } else if (found == listed.end() || found->second.direction != it->second.direction) {
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
            if (call.direction == Direction::incoming) {
                // What +CLIP and +CNAP said before the list showed the call.
                if (m_pending_caller.empty() || m_pending_caller == call.number) {
                    call.name = m_pending_name;
                }
                if (call.number.empty()) {
                    call.number = m_pending_caller;
                }
                m_pending_caller.clear();
                m_pending_name.clear();
            } else {
                if (call.number.empty() && m_dial_pending) {
                    call.number = m_dial_number;
                }
                m_dial_pending = false;
            }
            event({.kind = ModemEvent::Kind::new_call,
                   .call = id,
                   .direction = call.direction,
                   .state = call.state,
                   .number = call.number});
            if (!call.number.empty() || !call.name.empty()) {
                info_event(call);
            }
            state_event(call);
            m_calls[id] = call;
            continue;
        }
        Call& old = known->second;
        if (!call.number.empty() && call.number != old.number) {
            old.number = call.number;
            info_event(old);
        }
        if (call.state != old.state || call.multiparty != old.multiparty) {
            old.state = call.state;
            old.multiparty = call.multiparty;
            state_event(old);
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

void AtEngine::info_event(const Call& call) {
    event({.kind = ModemEvent::Kind::call_info,
           .call = call.id,
           .direction = call.direction,
           .state = call.state,
           .number = call.number,
           .name = call.name});
}

void AtEngine::state_event(const Call& call) {
    event({.kind = ModemEvent::Kind::call_state,
           .call = call.id,
           .direction = call.direction,
           .state = call.state,
           .number = call.number,
           .multiparty = call.multiparty});
}

void AtEngine::end_call(const Call& call, EndReason reason) {
    // An ended call is part of no conference any more.
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
    if (m_ready && m_next_network_poll && now >= *m_next_network_poll) {
        // The signal drifts without a word from the modem; so does the
        // registration on modems that never report it.
        ask_network(csq_query);
        if (!m_creg_unsolicited) {
            ask_network(creg_query);
        }
        m_next_network_poll =
            pollable() ? std::optional(now + m_timing.network_poll_interval) : std::nullopt;
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
    if (!m_queue.empty() || (m_ready && (m_poll_wanted || !m_network_queue.empty()))) {
        return Clock::time_point::min();
    }
    auto next = m_next_poll;
    if (m_ready && m_next_network_poll && (!next || *m_next_network_poll < *next)) {
        next = m_next_network_poll;
    }
    return next;
}

void AtEngine::close(std::string_view why) {
    if (m_closed) {
        return;
    }
    std::string reason = redacted(why);
    m_closed = true;
    m_ready = false;
    log("modem: closed, " + reason);
    for (const auto& [id, call] : m_calls) {
        end_call(call, EndReason::modem_lost);
    }
    m_calls.clear();
    m_queue.clear();
    m_network_queue.clear();
    m_current.reset();
    // Without its modem nothing is known of the SIM or the network.
    m_network = {};
    m_network_held = false;
    m_supports_join = false;
    report_network();
    event({.kind = ModemEvent::Kind::line_closed, .detail = reason});
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

void AtEngine::hold_and_accept() {
    queue({"AT+CHLD=2", Role::operation, "hold_and_accept"});
}

void AtEngine::release_and_accept() {
    queue({"AT+CHLD=1", Role::operation, "release_and_accept"});
}

void AtEngine::reject_waiting() {
    queue({"AT+CHLD=0", Role::operation, "reject_waiting"});
}

void AtEngine::join() {
    queue({"AT+CHLD=3", Role::operation, "join"});
}

void AtEngine::enter_pin(const std::string& pin) {
    queue({"AT+CPIN=\"" + pin + "\"", Role::pin, "enter_pin"});
}

void AtEngine::enter_puk(const std::string& puk, const std::string& new_pin) {
    queue({"AT+CPIN=\"" + puk + "\",\"" + new_pin + "\"", Role::pin, "enter_puk"});
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

void AtEngine::log(std::string_view text) {
    // The modem's own text ends up here: no control character reaches the
    // log file (a terminal showing it would obey it).
    std::string line;
    for (char c : redacted(text)) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            constexpr char hex[] = "0123456789abcdef";
            line += "\\x";
            line += hex[byte >> 4];
            line += hex[byte & 0xf];
        } else {
            line += c;
        }
    }
    m_log.push_back(std::move(line));
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

std::size_t AtEngine::held_bytes() const {
    std::size_t held = m_input.size();
    for (const auto& text : m_clcc_lines) {
        held += text.size();
    }
    return held;
}

} // namespace telvara::platform::modem
