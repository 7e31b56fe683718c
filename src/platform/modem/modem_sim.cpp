// The simulated modem: AT command parsing, its call list, its SIM and network,
// and the far end's behaviour over time.

#include "platform/modem/modem_sim.h"

#include "platform/modem/modem.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace telvara::platform::modem {

namespace {

// The +CME ERROR numbers the simulator answers with.
namespace cme {
constexpr int none = -1; // no error: OK
constexpr int not_allowed = 3;
constexpr int not_supported = 4;
constexpr int sim_absent = 10;
constexpr int sim_pin = 11;
constexpr int sim_puk = 12;
constexpr int sim_failure = 13;
constexpr int wrong_code = 16;
constexpr int no_service = 30;
constexpr int bad_parameters = 50;
} // namespace cme

// As AT+CMEE=2 gives them.
std::string_view cme_text(int code) {
    switch (code) {
    case cme::not_allowed:
        return "operation not allowed";
    case cme::sim_absent:
        return "SIM not inserted";
    case cme::sim_pin:
        return "SIM PIN required";
    case cme::sim_puk:
        return "SIM PUK required";
    case cme::sim_failure:
        return "SIM failure";
    case cme::wrong_code:
        return "incorrect password";
    case cme::no_service:
        return "no network service";
    case cme::bad_parameters:
        return "incorrect parameters";
    default:
        return "operation not supported";
    }
}

std::string upper(std::string_view text) {
    std::string out;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        }
        out += quoted ? c : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view word(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    auto end = text.find(' ');
    auto out = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    return out;
}

std::optional<int> to_int(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The parameters of a set command: a,"b,c" gives a and b,c.
std::vector<std::string> parameters(std::string_view text) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// The wildcards of +CPINR: '*' any run, '?' any one character.
bool matches(std::string_view pattern, std::string_view text) {
    if (pattern.empty()) {
        return text.empty();
    }
    if (pattern.front() == '*') {
        for (std::size_t skip = 0; skip <= text.size(); ++skip) {
            if (matches(pattern.substr(1), text.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !text.empty() && (pattern.front() == '?' || pattern.front() == text.front()) &&
           matches(pattern.substr(1), text.substr(1));
}

// Control text that ends up between quotes on the AT port.
bool quotable(std::string_view text) {
    return !text.empty() && text.size() <= 160 &&
           std::none_of(text.begin(), text.end(), [](char c) {
               auto byte = static_cast<unsigned char>(c);
               return c == '"' || byte < 0x20 || byte == 0x7f;
           });
}

// The words after the first one that still belong to a ring's number
// ("ring +49 30 1234 Anna"): digits and formatting only.
bool number_word(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) ||
               std::string_view("+*#-.()/").find(c) != std::string_view::npos;
    });
}

// What a flood may send at once: enough to swamp any answer, not the
// simulator's memory.
constexpr int max_flood = 100000;
constexpr std::size_t max_flood_bytes = 8 << 20;

bool emergency(const std::string& number) {
    return number == "112" || number == "911";
}

std::string address_type(const std::string& number) {
    return !number.empty() && number[0] == '+' ? "145" : "129";
}

} // namespace

ModemSimulator::ModemSimulator(SimTiming timing) : m_timing(timing) {}

void ModemSimulator::connect() {
    std::lock_guard lock(m_mutex);
    m_input.clear();
    m_output.clear();
    m_echo = true;
    m_clip = m_crc = m_ccwa = m_cnap = false;
    m_cmee = m_creg = m_cereg = m_cops_format = 0;
}

void ModemSimulator::result(std::string_view text) {
    m_output += "\r\n";
    m_output += text;
    m_output += "\r\n";
}

void ModemSimulator::info(std::string_view text) {
    result(text);
}

std::string ModemSimulator::error(int code) const {
    if (m_cmee == 0) {
        return "ERROR";
    }
    return "+CME ERROR: " + (m_cmee == 1 ? std::to_string(code) : std::string(cme_text(code)));
}

void ModemSimulator::feed(std::string_view bytes, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!m_input.empty()) {
                command(std::exchange(m_input, {}), now);
                settle(now);
            }
            continue;
        }
        if (m_input.size() < 1024) {
            m_input += c;
        }
    }
}

void ModemSimulator::command(std::string line, Clock::time_point now) {
    m_received.push_back(line);
    if (m_silent) {
        return;
    }
    if (m_echo) {
        m_output += line;
        m_output += '\r';
    }
    std::string text = upper(line);
    if (text.substr(0, 2) != "AT") {
        result("ERROR");
        return;
    }
    std::string_view rest(text);
    rest.remove_prefix(2);
    std::string_view original(line);
    original.remove_prefix(2);
    if (!rest.empty() && rest.front() == 'D') {
        dial(original.substr(1), now);
        return;
    }
    int failure = cme::none;
    while (failure == cme::none && !rest.empty()) {
        char c = rest.front();
        if (c == '+' || c == '*' || c == '^') {
            auto end = rest.find(';');
            std::string one(rest.substr(0, end));
            failure = extended(one, original.substr(0, one.size()), now);
            auto skip = end == std::string_view::npos ? rest.size() : end + 1;
            rest.remove_prefix(skip);
            original.remove_prefix(skip);
            continue;
        }
        rest.remove_prefix(1);
        original.remove_prefix(1);
        if (c == ';') {
            continue; // "ATE0;+CMEE=1": tolerated after basic commands, as most modems do
        }
        int value = 0;
        while (!rest.empty() && std::isdigit(static_cast<unsigned char>(rest.front()))) {
            value = value * 10 + (rest.front() - '0');
            rest.remove_prefix(1);
            original.remove_prefix(1);
        }
        switch (c) {
        case 'E':
            m_echo = value != 0;
            break;
        case 'V':
        case 'Q':
        case 'X':
        case 'Z':
            break;
        case 'I':
            info("Telvara modem simulator");
            break;
        case 'A':
            if (Call* call = find_stat({4})) {
                call->stat = 0;
                call->since = now;
            } else {
                failure = cme::not_supported;
            }
            break;
        case 'H':
            m_calls.clear();
            break;
        default:
            failure = cme::not_supported;
        }
    }
    result(failure == cme::none ? "OK" : error(failure));
}

int ModemSimulator::extended(const std::string& command, std::string_view original,
                             Clock::time_point now) {
    auto value = [&](std::string_view prefix) -> std::optional<std::string> {
        if (command.rfind(prefix, 0) != 0) {
            return std::nullopt;
        }
        return command.substr(prefix.size());
    };
    if (auto v = value("+CMEE=")) {
        if (*v != "0" && *v != "1" && *v != "2") {
            return cme::not_supported;
        }
        m_cmee = (*v)[0] - '0';
        return cme::none;
    }
    if (auto v = value("+CLIP=")) {
        m_clip = *v == "1";
        return cme::none;
    }
    if (auto v = value("+CRC=")) {
        m_crc = *v == "1";
        return cme::none;
    }
    if (auto v = value("+CCWA=")) {
        m_ccwa = !v->empty() && (*v)[0] == '1';
        return cme::none;
    }
    if (auto v = value("+CNAP=")) {
        if (*v != "0" && *v != "1") {
            return cme::not_supported;
        }
        m_cnap = *v == "1";
        return cme::none;
    }
    if (command == "+CNAP?") {
        info("+CNAP: " + std::to_string(m_cnap) + ",1"); // the service is provisioned
        return cme::none;
    }
    if (command == "+CLCC=?" || command == "+CMUT=?") {
        return cme::none;
    }
    if (command == "+CHLD=?") {
        info("+CHLD: (0,1,1x,2,2x,3)");
        return cme::none;
    }
    if (command == "+CLCC") {
        m_output += clcc_lines();
        return cme::none;
    }
    if (command == "+CMUT?") {
        info("+CMUT: " + std::to_string(m_mute));
        return cme::none;
    }
    if (auto v = value("+CMUT=")) {
        if (*v != "0" && *v != "1") {
            return cme::not_supported;
        }
        // As on a network modem: there is no microphone to mute outside a call.
        if (*v == "1" && m_calls.empty()) {
            return cme::not_supported;
        }
        m_mute = *v == "1";
        return cme::none;
    }
    if (command == "+CHUP") {
        // The calls in progress go; with none, a ringing one is rejected;
        // with neither, the held ones.
        auto before = m_calls.size();
        remove_if_stat({0, 2, 3});
        if (m_calls.size() == before) {
            remove_if_stat({4});
        }
        if (m_calls.size() == before) {
            remove_if_stat({1, 5});
        }
        return cme::none;
    }
    if (auto v = value("+CHLD=")) {
        return chld(*v, now);
    }
    if (auto v = value("+VTS=")) {
        std::string digit = *v;
        digit.erase(std::remove(digit.begin(), digit.end(), '"'), digit.end());
        if (digit.size() != 1 || !tone_string(digit) || !find_stat({0})) {
            return cme::not_supported;
        }
        return cme::none;
    }
    if (value("+CUSD=")) {
        return service_code(original.substr(6), now);
    }
    if (auto handled = sim_command(command)) {
        return *handled;
    }
    if (auto handled = network_command(command)) {
        return *handled;
    }
    if (command == "+CGMI") {
        info("Telvara");
        return cme::none;
    }
    return cme::not_supported;
}

std::optional<int> ModemSimulator::sim_command(const std::string& command) {
    if (command == "+CPIN?") {
        if (m_sim == Sim::absent)
            return cme::sim_absent;
        if (m_sim == Sim::blocked)
            return cme::sim_failure;
        info(cpin_line(m_sim));
        return cme::none;
    }
    if (command.rfind("+CPIN=", 0) == 0) {
        return enter_code(parameters(std::string_view(command).substr(6)));
    }
    if (command == "+CPINR" || command.rfind("+CPINR=", 0) == 0) {
        if (m_sim == Sim::absent) {
            return cme::sim_absent;
        }
        std::string pattern = command.size() > 7 ? parameters(command.substr(7))[0] : "*";
        pattern = upper(pattern);
        if (matches(pattern, "SIM PIN")) {
            info("+CPINR: SIM PIN," + std::to_string(m_pin_left) + ",3");
        }
        if (matches(pattern, "SIM PUK")) {
            info("+CPINR: SIM PUK," + std::to_string(m_puk_left) + ",10");
        }
        return cme::none;
    }
    return std::nullopt;
}

int ModemSimulator::enter_code(const std::vector<std::string>& codes) {
    if (codes.size() > 2 || !pin_string(codes[0])) {
        return cme::bad_parameters;
    }
    switch (m_sim) {
    case Sim::absent:
        return cme::sim_absent;
    case Sim::blocked:
        return cme::sim_failure;
    case Sim::ready:
        return cme::not_allowed; // no code is asked for
    case Sim::pin:
        if (codes[0] == m_pin) {
            m_sim = Sim::ready;
            m_pin_left = 3;
            return cme::none;
        }
        if (--m_pin_left == 0) {
            m_sim = Sim::puk;
            m_puk_left = 10;
        }
        return cme::wrong_code;
    case Sim::puk:
        // The PUK comes with the PIN that replaces the forgotten one.
        if (codes.size() != 2 || !pin_string(codes[1])) {
            return cme::bad_parameters;
        }
        if (codes[0] == m_puk) {
            m_pin = codes[1];
            m_sim = Sim::ready;
            m_pin_left = 3;
            m_puk_left = 10;
            return cme::none;
        }
        if (--m_puk_left == 0) {
            m_sim = Sim::blocked;
        }
        return cme::wrong_code;
    }
    return cme::not_allowed;
}

std::optional<int> ModemSimulator::network_command(const std::string& command) {
    for (bool eps : {false, true}) {
        std::string name = eps ? "+CEREG" : "+CREG";
        if (command == name + "?") {
            info(registration_text(eps, true));
            return cme::none;
        }
        if (command == name + "=?") {
            info(name + ": (0-2)");
            return cme::none;
        }
        if (command.rfind(name + "=", 0) == 0) {
            auto n = to_int(std::string_view(command).substr(name.size() + 1));
            if (!n || *n < 0 || *n > 2) {
                return cme::not_supported;
            }
            (eps ? m_cereg : m_creg) = *n;
            return cme::none;
        }
    }
    if (command == "+COPS?") {
        if (!registered()) {
            info("+COPS: 0");
        } else {
            info("+COPS: 0," + std::to_string(m_cops_format) + ",\"" +
                 (m_cops_format == 2 ? std::string("00101") : m_operator) + "\",7");
        }
        return cme::none;
    }
    if (command.rfind("+COPS=", 0) == 0) {
        // Automatic selection, or the format of the name (3,<format>).
        auto values = parameters(std::string_view(command).substr(6));
        if (values[0] == "0") {
            return cme::none;
        }
        auto format = values.size() == 2 && values[0] == "3" ? to_int(values[1]) : std::nullopt;
        if (!format || *format < 0 || *format > 2) {
            return cme::not_supported;
        }
        m_cops_format = *format;
        return cme::none;
    }
    if (command == "+CSQ") {
        // No cell in reach: the strength is not known.
        info("+CSQ: " + std::to_string(m_coverage == Coverage::off ? 99 : m_signal) + ",99");
        return cme::none;
    }
    return std::nullopt;
}

int ModemSimulator::chld(std::string_view value, Clock::time_point now) {
    bool active = find_stat({0}) != nullptr;
    bool held = find_stat({1}) != nullptr;
    Call* waiting = find_stat({5});
    if (value == "0") {
        // The waiting caller is turned away (and hears busy); else the held
        // calls end.
        if (!waiting && !held) {
            return cme::not_allowed;
        }
        remove_if_stat({waiting ? 5 : 1});
        return cme::none;
    }
    if (value == "1") {
        if (!active && !waiting && !held) {
            return cme::not_allowed;
        }
        remove_if_stat({0});
        if (Call* call = find_stat({5})) {
            call->stat = 0;
            call->since = now;
        } else {
            for (auto& call : m_calls) {
                call.stat = call.stat == 1 ? 0 : call.stat;
            }
        }
        return cme::none;
    }
    if (value == "2") {
        // A waiting call cannot be taken with one call active and one held:
        // there would be two on hold.
        if (waiting ? active && held : !active && !held) {
            return cme::not_allowed;
        }
        for (auto& call : m_calls) {
            if (call.stat == 0) {
                call.stat = 1;
            } else if (call.stat == 1 && !waiting) {
                call.stat = 0;
            }
        }
        if (waiting) {
            waiting->stat = 0;
            waiting->since = now;
        }
        return cme::none;
    }
    if (value.size() > 1 && (value[0] == '1' || value[0] == '2')) {
        auto id = to_int(value.substr(1));
        Call* call = id ? find_id(*id) : nullptr;
        if (!call) {
            return cme::not_allowed;
        }
        if (value[0] == '1') {
            std::erase_if(m_calls, [&](const Call& other) { return other.id == *id; });
            return cme::none;
        }
        // A private word with one party of the conference; the others wait
        // on hold (where nobody else may wait already).
        if (call->stat != 0 || held) {
            return cme::not_allowed;
        }
        for (auto& other : m_calls) {
            if (other.stat == 0 && other.id != *id) {
                other.stat = 1;
            }
        }
        call->multiparty = false;
        return cme::none;
    }
    if (value == "3") {
        if (!active || !held) {
            return cme::not_allowed;
        }
        for (auto& call : m_calls) {
            if (call.stat == 0 || call.stat == 1) {
                call.stat = 0;
                call.multiparty = true;
            }
        }
        return cme::none;
    }
    return cme::not_supported;
}

int ModemSimulator::service_code(std::string_view arguments, Clock::time_point now) {
    // +CUSD=<n>[,"code"[,<dcs>]]: the reply comes later, as on a network.
    auto values = parameters(arguments);
    if (values[0] != "0" && values[0] != "1" && values[0] != "2") {
        return cme::not_supported;
    }
    if (values.size() < 2) {
        return cme::none; // reports on or off, or a session cancelled
    }
    auto code = service_string(values[1]);
    if (!code) {
        return cme::not_supported;
    }
    if (!registered()) {
        return cme::no_service;
    }
    std::string reply = "Reply to " + *code;
    int more = 0;
    if (auto set = m_ussd.find(*code); set != m_ussd.end()) {
        reply = set->second;
        if (reply.front() == '?') {
            more = 1;
            reply.erase(0, 1);
        }
    }
    m_later.emplace_back(now + m_timing.service_reply_after,
                         "+CUSD: " + std::to_string(more) + ",\"" + reply + "\",15");
    return cme::none;
}

void ModemSimulator::dial(std::string_view rest, Clock::time_point now) {
    // Voice calls end in ';'; the number must be a clean dial string.
    if (rest.empty() || rest.back() != ';') {
        result(error(cme::not_supported));
        return;
    }
    auto number = dial_string(rest.substr(0, rest.size() - 1));
    if (!number || find_stat({2, 3})) {
        result(error(cme::not_allowed));
        return;
    }
    if (int refused = dial_refusal(emergency(*number)); refused != cme::none) {
        // Without error numbers a call that finds no network ends like one
        // that lost it.
        result(refused == cme::no_service && m_cmee == 0 ? "NO CARRIER" : error(refused));
        return;
    }
    for (auto& call : m_calls) {
        if (call.stat == 0) {
            call.stat = 1;
        }
    }
    Call call;
    call.id = free_id();
    call.stat = 2;
    call.number = *number;
    call.since = now;
    call.busy = m_busy_next || m_busy_numbers.count(*number) > 0;
    call.never_answered = m_never_answering.count(*number) > 0;
    m_busy_next = false;
    m_calls.push_back(call);
    result("OK");
}

int ModemSimulator::dial_refusal(bool emergency) const {
    // Emergency calls need a cell in reach, not a SIM or a registration.
    if (emergency) {
        return m_coverage == Coverage::off ? cme::no_service : cme::none;
    }
    switch (m_sim) {
    case Sim::absent:
        return cme::sim_absent;
    case Sim::pin:
        return cme::sim_pin;
    case Sim::puk:
        return cme::sim_puk;
    case Sim::blocked:
        return cme::sim_failure;
    case Sim::ready:
        break;
    }
    return registered() ? cme::none : cme::no_service;
}

void ModemSimulator::ring_now(Call& call) {
    if (call.stat == 4) {
        info(m_crc ? "+CRING: VOICE" : "RING");
        if (m_clip) {
            info(call.number.empty()
                     ? "+CLIP: \"\",128,,,,1"
                     : "+CLIP: \"" + call.number + "\"," + address_type(call.number) + ",,,,0");
        }
    } else if (call.stat == 5 && m_ccwa) {
        info(call.number.empty()
                 ? "+CCWA: \"\",128,1,,1"
                 : "+CCWA: \"" + call.number + "\"," + address_type(call.number) + ",1");
    } else {
        return;
    }
    if (m_cnap && !call.name.empty()) {
        info("+CNAP: \"" + call.name + "\",0");
    }
}

void ModemSimulator::advance(Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_calls.begin(); it != m_calls.end();) {
        Call& call = *it;
        auto age = now - call.since;
        if (call.busy && age >= m_timing.busy_after) {
            it = m_calls.erase(it);
            if (!m_silent) {
                result("BUSY");
            }
            continue;
        }
        if (!call.busy && call.stat == 2 && age >= m_timing.dial_to_alert) {
            call.stat = 3;
        }
        if (call.stat == 3 && !call.never_answered &&
            age >= m_timing.dial_to_alert + m_timing.alert_to_answer) {
            call.stat = 0;
            call.since = now;
        }
        if ((call.stat == 3 || call.stat == 4 || call.stat == 5) &&
            age >= m_timing.no_answer_after) {
            bool outgoing = !call.incoming;
            it = m_calls.erase(it);
            if (!m_silent) {
                result(outgoing ? "NO ANSWER" : "NO CARRIER");
            }
            continue;
        }
        if ((call.stat == 4 || call.stat == 5) && now >= call.next_ring) {
            call.next_ring = now + m_timing.ring_interval;
            if (!m_silent) {
                ring_now(call);
            }
        }
        ++it;
    }
    settle(now);
    for (auto it = m_later.begin(); it != m_later.end();) {
        if (now >= it->first) {
            if (!m_silent) {
                info(it->second);
            }
            it = m_later.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<ModemSimulator::Clock::time_point> ModemSimulator::next_deadline() const {
    std::lock_guard lock(m_mutex);
    std::optional<Clock::time_point> next;
    auto take = [&](Clock::time_point when) {
        if (!next || when < *next) {
            next = when;
        }
    };
    for (const auto& call : m_calls) {
        if (call.busy) {
            take(call.since + m_timing.busy_after);
        } else if (call.stat == 2) {
            take(call.since + m_timing.dial_to_alert);
        } else if (call.stat == 3) {
            take(call.since + m_timing.dial_to_alert + m_timing.alert_to_answer);
        }
        if (call.stat >= 3) {
            take(call.since + m_timing.no_answer_after);
        }
        if (call.stat == 4 || call.stat == 5) {
            take(call.next_ring);
        }
    }
    for (const auto& later : m_later) {
        take(later.first);
    }
    return next;
}

std::string ModemSimulator::take_output() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_output, {});
}

std::string ModemSimulator::clcc_lines() const {
    std::string out;
    for (const auto& call : m_calls) {
        out += "\r\n+CLCC: " + std::to_string(call.id) + "," + (call.incoming ? "1" : "0") + "," +
               std::to_string(call.stat) + ",0," + (call.multiparty ? "1" : "0");
        if (!call.number.empty()) {
            out += ",\"" + call.number + "\"," + address_type(call.number);
        }
        out += "\r\n";
    }
    return out;
}

int ModemSimulator::free_id() const {
    for (int id = 1;; ++id) {
        if (std::none_of(m_calls.begin(), m_calls.end(),
                         [&](const Call& call) { return call.id == id; })) {
            return id;
        }
    }
}

ModemSimulator::Call* ModemSimulator::find_stat(std::initializer_list<int> stats) {
    for (int stat : stats) {
        for (auto& call : m_calls) {
            if (call.stat == stat) {
                return &call;
            }
        }
    }
    return nullptr;
}

ModemSimulator::Call* ModemSimulator::find_id(int id) {
    auto found = std::find_if(m_calls.begin(), m_calls.end(),
                              [&](const Call& call) { return call.id == id; });
    return found == m_calls.end() ? nullptr : &*found;
}

void ModemSimulator::remove_if_stat(std::initializer_list<int> stats) {
    std::erase_if(m_calls, [&](const Call& call) {
        return std::find(stats.begin(), stats.end(), call.stat) != stats.end();
    });
}

void ModemSimulator::settle(Clock::time_point now) {
    update_registration();
    offer_waiting(now);
    update_multiparty();
}

void ModemSimulator::offer_waiting(Clock::time_point now) {
    if (find_stat({0, 1, 2, 3, 4})) {
        return;
    }
    Call* waiting = find_stat({5});
    if (!waiting) {
        return;
    }
    // It rings afresh: the no-answer time starts now.
    waiting->stat = 4;
    waiting->since = now;
    waiting->next_ring = now + m_timing.ring_interval;
    if (!m_silent) {
        ring_now(*waiting);
    }
}

void ModemSimulator::update_multiparty() {
    // A conference of one is a plain call again.
    auto members = std::count_if(m_calls.begin(), m_calls.end(),
                                 [](const Call& call) { return call.multiparty; });
    if (members < 2) {
        for (auto& call : m_calls) {
            call.multiparty = false;
        }
    }
}

int ModemSimulator::stat() const {
    // Without a working SIM the modem can only look for a cell that would
    // take an emergency call.
    if (m_sim != Sim::ready) {
        return m_coverage == Coverage::off ? 0 : 2;
    }
    switch (m_coverage) {
    case Coverage::home:
        return 1;
    case Coverage::roaming:
        return 5;
    case Coverage::searching:
        return 2;
    case Coverage::denied:
        return 3;
    case Coverage::off:
        break;
    }
    return 0;
}

bool ModemSimulator::registered() const {
    int now = stat();
    return now == 1 || now == 5;
}

std::string ModemSimulator::registration_text(bool eps, bool query) const {
    int n = eps ? m_cereg : m_creg;
    std::string out = eps ? "+CEREG: " : "+CREG: ";
    if (query) {
        out += std::to_string(n) + ",";
    }
    out += std::to_string(stat());
    if (n == 2 && registered()) {
        out += eps ? ",\"00C3\",\"00000102\",7" : ",\"00C3\",\"0102\",7";
    }
    return out;
}

void ModemSimulator::update_registration() {
    int now = stat();
    if (now == m_stat) {
        return;
    }
    m_stat = now;
    if (!m_silent && m_creg > 0) {
        info(registration_text(false, false));
    }
    if (!m_silent && m_cereg > 0) {
        info(registration_text(true, false));
    }
    if (!registered() && !m_calls.empty()) {
        // No call outlives the network it was on.
        m_calls.clear();
        if (!m_silent) {
            result("NO CARRIER");
        }
    }
}

std::string_view ModemSimulator::cpin_line(Sim sim) {
    switch (sim) {
    case Sim::ready:
        return "+CPIN: READY";
    case Sim::pin:
        return "+CPIN: SIM PIN";
    case Sim::puk:
        return "+CPIN: SIM PUK";
    case Sim::absent:
        return "+CPIN: NOT INSERTED";
    case Sim::blocked:
        break;
    }
    return {};
}

void ModemSimulator::report_sim() {
    // As many modems do when a SIM is swapped; the standard leaves it open.
    if (m_silent) {
        return;
    }
    if (m_sim != Sim::blocked)
        info(cpin_line(m_sim));
}

std::string ModemSimulator::control(std::string_view line, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    std::string reply = control_locked(line, now);
    settle(now);
    return reply;
}

std::string ModemSimulator::control_locked(std::string_view line, Clock::time_point now) {
    std::string_view rest = line;
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n' || rest.back() == ' ')) {
        rest.remove_suffix(1);
    }
    std::string verb(word(rest));
    std::string argument(rest);
    auto number = [&]() -> std::optional<std::string> {
        // Control input is data too: the number must be a plain number.
        if (argument.empty()) {
            return std::string();
        }
        return dial_string(argument);
    };
    if (verb == "ring") {
        return control_ring(argument, now);
    }
    if (verb == "answer") {
        Call* call = find_stat({3, 2});
        if (!call || call->busy) {
            return "ERROR no outgoing call is ringing\n";
        }
        call->stat = 0;
        call->since = now;
        return "OK\n";
    }
    if (verb == "hangup") {
        return control_hangup(argument);
    }
    if (verb == "busy" || verb == "noanswer") {
        auto callee = number();
        if (!callee || (verb == "noanswer" && callee->empty())) {
            return "ERROR not a number\n";
        }
        if (callee->empty()) {
            m_busy_next = true;
        } else if (verb == "busy") {
            m_busy_numbers.insert(*callee);
        } else {
            m_never_answering.insert(*callee);
        }
        return "OK\n";
    }
    if (verb == "sim") {
        return control_sim(argument);
    }
    if (verb == "register" || verb == "operator" || verb == "signal") {
        return control_network(verb, argument);
    }
    if (verb == "ussd") {
        return control_ussd(argument);
    }
    if (verb == "send" || verb == "flood") {
        // Raw lines, for modems that misbehave: nothing is checked.
        std::string_view text = argument;
        int times = 1;
        if (verb == "flood") {
            auto count = to_int(word(text));
            if (!count || *count < 1 || *count > max_flood) {
                return "ERROR say how many times: 1-" + std::to_string(max_flood) + "\n";
            }
            times = *count;
        }
        if (text.empty()) {
            return "ERROR nothing to send\n";
        }
        if (static_cast<std::size_t>(times) * (text.size() + 4) > max_flood_bytes) {
            return "ERROR more than " + std::to_string(max_flood_bytes) + " bytes at once\n";
        }
        for (int i = 0; i < times; ++i) {
            info(text);
        }
        return "OK\n";
    }
    if (verb == "silent") {
        if (argument != "on" && argument != "off") {
            return "ERROR say on or off\n";
        }
        m_silent = argument == "on";
        return "OK\n";
    }
    if (verb == "calls") {
        std::string out;
        for (const auto& call : m_calls) {
            out += std::to_string(call.id) + " " + (call.incoming ? "in" : "out") + " " +
                   std::to_string(call.stat) + " " + call.number + "\n";
        }
        return out + "OK\n";
    }
    if (verb == "received") {
        std::string out;
        for (const auto& text : m_received) {
            out += text + "\n";
        }
        return out + "OK\n";
    }
    if (verb == "reset") {
        m_calls.clear();
        m_busy_numbers.clear();
        m_never_answering.clear();
        m_received.clear();
        m_later.clear();
        m_busy_next = m_silent = false;
        m_sim = Sim::ready;
        m_pin = "0000";
        m_puk = "12345678";
        m_pin_left = 3;
        m_puk_left = 10;
        m_coverage = Coverage::home;
        m_operator = "Telvara Mobile";
        m_signal = 22;
        m_ussd.clear();
        return "OK\n";
    }
    return "ERROR unknown command\n";
}

std::string ModemSimulator::control_ring(std::string_view argument, Clock::time_point now) {
    // ring [NUMBER [NAME...]]: the number may be written with spaces.
    std::string_view rest = argument;
    std::string written(word(rest));
    while (!rest.empty()) {
        std::string_view next = rest;
        auto part = word(next);
        if (!number_word(part)) {
            break;
        }
        written += part;
        rest = next;
    }
    auto caller = written.empty() ? std::optional<std::string>("") : dial_string(written);
    if (!caller) {
        return "ERROR not a number\n";
    }
    if (!rest.empty() && !quotable(rest)) {
        return "ERROR not a name\n";
    }
    if (!registered()) {
        return "ERROR not registered: no call can come in\n";
    }
    Call call;
    call.id = free_id();
    call.incoming = true;
    call.stat = m_calls.empty() ? 4 : 5;
    call.number = *caller;
    call.name = std::string(rest);
    call.since = now;
    call.next_ring = now + m_timing.ring_interval;
    m_calls.push_back(call);
    if (!m_silent) {
        ring_now(m_calls.back());
    }
    return "OK\n";
}

std::string ModemSimulator::control_hangup(std::string_view argument) {
    if (!argument.empty()) {
        auto id = to_int(argument);
        if (!id || !find_id(*id)) {
            return "ERROR no call " + std::string(argument) + "\n";
        }
        std::erase_if(m_calls, [&](const Call& call) { return call.id == *id; });
    } else {
        if (std::all_of(m_calls.begin(), m_calls.end(),
                        [](const Call& call) { return call.stat == 1; })) {
            return "ERROR no call\n";
        }
        remove_if_stat({0, 2, 3, 4, 5});
    }
    if (!m_silent) {
        result("NO CARRIER");
    }
    return "OK\n";
}

std::string ModemSimulator::control_sim(std::string_view argument) {
    std::string_view rest = argument;
    std::string what(word(rest));
    Sim before = m_sim;
    if (what == "pin" || what == "puk") {
        auto code = pin_string(rest);
        if (!code || (what == "puk" && code->size() != 8)) {
            return "ERROR not a code\n";
        }
        if (what == "puk") {
            m_puk = *code;
            return "OK\n";
        }
        m_pin = *code;
        m_sim = Sim::pin;
    } else if (what == "ready" && rest.empty()) {
        m_sim = Sim::ready;
    } else if (what == "absent" && rest.empty()) {
        m_sim = Sim::absent;
    } else {
        return "ERROR say pin CODE, puk CODE, ready or absent\n";
    }
    m_pin_left = 3;
    m_puk_left = 10;
    if (m_sim != before) {
        report_sim();
    }
    return "OK\n";
}

std::string ModemSimulator::control_network(const std::string& verb, std::string_view argument) {
    if (verb == "register") {
        static constexpr std::pair<std::string_view, Coverage> names[] = {
            {"home", Coverage::home},
            {"roaming", Coverage::roaming},
            {"searching", Coverage::searching},
            {"denied", Coverage::denied},
            {"off", Coverage::off},
        };
        for (auto [name, coverage] : names) {
            if (argument == name) {
                m_coverage = coverage;
                return "OK\n";
            }
        }
        return "ERROR say home, roaming, searching, denied or off\n";
    }
    if (verb == "operator") {
        if (!quotable(argument)) {
            return "ERROR not a name\n";
        }
        m_operator = std::string(argument);
        return "OK\n";
    }
    auto rssi = to_int(argument);
    if (!rssi || !((*rssi >= 0 && *rssi <= 31) || *rssi == 99)) {
        return "ERROR say 0-31 or 99\n";
    }
    m_signal = *rssi;
    return "OK\n";
}

std::string ModemSimulator::control_ussd(std::string_view argument) {
    std::string_view rest = argument;
    auto code = service_string(word(rest));
    if (!code) {
        return "ERROR not a service code\n";
    }
    if (rest.empty()) {
        m_ussd.erase(*code);
        return "OK\n";
    }
    if (!quotable(rest) || rest == "?") {
        return "ERROR not a reply\n";
    }
    m_ussd[*code] = std::string(rest);
    return "OK\n";
}

std::vector<std::string> ModemSimulator::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::vector<ModemSimulator::Call> ModemSimulator::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

} // namespace telvara::platform::modem
