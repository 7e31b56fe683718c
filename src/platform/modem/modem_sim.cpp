// The simulated modem: AT command parsing, its call list and the far end's
// behaviour over time.

#include "platform/modem/modem_sim.h"

#include "platform/modem/modem.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace telvara::platform::modem {

namespace {

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

} // namespace

ModemSimulator::ModemSimulator(SimTiming timing) : m_timing(timing) {}

void ModemSimulator::connect() {
    std::lock_guard lock(m_mutex);
    m_input.clear();
    m_output.clear();
    m_echo = true;
    m_clip = m_crc = m_ccwa = m_cmee = false;
}

void ModemSimulator::result(std::string_view text) {
    m_output += "\r\n";
    m_output += text;
    m_output += "\r\n";
}

void ModemSimulator::info(std::string_view text) {
    result(text);
}

void ModemSimulator::feed(std::string_view bytes, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    for (char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!m_input.empty()) {
                command(std::exchange(m_input, {}), now);
                offer_waiting(now);
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
    bool ok = true;
    while (ok && !rest.empty()) {
        char c = rest.front();
        if (c == '+' || c == '*' || c == '^') {
            auto end = rest.find(';');
            std::string one(rest.substr(0, end));
            ok = extended(one, original.substr(0, one.size()), now);
            auto skip = end == std::string_view::npos ? rest.size() : end + 1;
            rest.remove_prefix(skip);
            original.remove_prefix(skip);
            continue;
        }
        rest.remove_prefix(1);
        original.remove_prefix(1);
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
                ok = false;
            }
            break;
        case 'H':
            m_calls.clear();
            break;
        default:
            ok = false;
        }
    }
    result(ok ? "OK" : (m_cmee ? "+CME ERROR: 4" : "ERROR"));
}

bool ModemSimulator::extended(const std::string& command, std::string_view original,
                              Clock::time_point now) {
    auto value = [&](std::string_view prefix) -> std::optional<std::string> {
        if (command.rfind(prefix, 0) != 0) {
            return std::nullopt;
        }
        return command.substr(prefix.size());
    };
    if (auto v = value("+CMEE=")) {
        m_cmee = *v != "0";
        return true;
    }
    if (auto v = value("+CLIP=")) {
        m_clip = *v == "1";
        return true;
    }
    if (auto v = value("+CRC=")) {
        m_crc = *v == "1";
        return true;
    }
    if (auto v = value("+CCWA=")) {
        m_ccwa = !v->empty() && (*v)[0] == '1';
        return true;
    }
    if (command == "+CLCC=?" || command == "+CMUT=?") {
        return true;
    }
    if (command == "+CHLD=?") {
        info("+CHLD: (0,1,1x,2,2x,3)");
        return true;
    }
    if (command == "+CLCC") {
        m_output += clcc_lines();
        return true;
    }
    if (command == "+CMUT?") {
        info("+CMUT: " + std::to_string(m_mute));
        return true;
    }
    if (auto v = value("+CMUT=")) {
        if (*v != "0" && *v != "1") {
            return false;
        }
        // As on a network modem: there is no microphone to mute outside a call.
        if (*v == "1" && m_calls.empty()) {
            return false;
        }
        m_mute = *v == "1";
        return true;
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
        return true;
    }
    if (auto v = value("+CHLD=")) {
        if (*v == "0") {
            remove_if_stat({1, 5});
        } else if (*v == "1") {
            remove_if_stat({0});
            if (Call* call = find_stat({5, 1})) {
                call->stat = 0;
            }
        } else if (*v == "2") {
            Call* waiting = find_stat({5});
            bool had_active = false;
            std::vector<int> held;
            for (auto& call : m_calls) {
                if (call.stat == 1) {
                    held.push_back(call.id);
                }
            }
            for (auto& call : m_calls) {
                if (call.stat == 0) {
                    call.stat = 1;
                    had_active = true;
                }
            }
            if (waiting) {
                waiting->stat = 0;
            } else {
                for (auto& call : m_calls) {
                    if (std::find(held.begin(), held.end(), call.id) != held.end()) {
                        call.stat = 0;
                    }
                }
            }
            return had_active || waiting || !held.empty();
        } else if (v->size() == 2 && (*v)[0] == '1') {
            int id = (*v)[1] - '0';
            auto it = std::find_if(m_calls.begin(), m_calls.end(),
                                   [&](const Call& call) { return call.id == id; });
            if (it == m_calls.end()) {
                return false;
            }
            m_calls.erase(it);
        } else if (*v == "3") {
            for (auto& call : m_calls) {
                if (call.stat == 1) {
                    call.stat = 0;
                }
            }
        } else {
            return false;
        }
        return true;
    }
    if (auto v = value("+VTS=")) {
        std::string digit = *v;
        digit.erase(std::remove(digit.begin(), digit.end(), '"'), digit.end());
        if (digit.size() != 1 || !tone_string(digit) || !find_stat({0})) {
            return false;
        }
        return true;
    }
    if (auto v = value("+CUSD=")) {
        // +CUSD=1,"code"[,dcs]: the reply comes later, as on a network.
        auto first = original.find('"');
        auto last = original.rfind('"');
        if (first == std::string_view::npos || last == first) {
            return false;
        }
        auto code = original.substr(first + 1, last - first - 1);
        if (!service_string(code)) {
            return false;
        }
        m_later.emplace_back(now + m_timing.service_reply_after,
                             "+CUSD: 0,\"Reply to " + std::string(code) + "\",15");
        return true;
    }
    if (command == "+CPIN?") {
        info("+CPIN: READY");
        return true;
    }
    if (command == "+CSQ") {
        info("+CSQ: 20,99");
        return true;
    }
    if (command == "+CGMI") {
        info("Telvara");
        return true;
    }
    return false;
}

void ModemSimulator::dial(std::string_view rest, Clock::time_point now) {
    // Voice calls end in ';'; the number must be a clean dial string.
    if (rest.empty() || rest.back() != ';') {
        result(m_cmee ? "+CME ERROR: 4" : "ERROR");
        return;
    }
    auto number = dial_string(rest.substr(0, rest.size() - 1));
    if (!number || find_stat({2, 3})) {
        result(m_cmee ? "+CME ERROR: 3" : "ERROR");
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

void ModemSimulator::ring_now(Call& call) {
    if (call.stat == 4) {
        info(m_crc ? "+CRING: VOICE" : "RING");
        if (m_clip) {
            info(call.number.empty() ? "+CLIP: \"\",128,,,,1"
                                     : "+CLIP: \"" + call.number + "\"," +
                                           (call.number[0] == '+' ? "145" : "129") + ",,,,0");
        }
    } else if (call.stat == 5 && m_ccwa) {
        info("+CCWA: \"" + call.number + "\",129,1");
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
    offer_waiting(now);
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
               std::to_string(call.stat) + ",0,0";
        if (!call.number.empty()) {
            out += ",\"" + call.number + "\"," + (call.number[0] == '+' ? "145" : "129");
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

void ModemSimulator::remove_if_stat(std::initializer_list<int> stats) {
    std::erase_if(m_calls, [&](const Call& call) {
        return std::find(stats.begin(), stats.end(), call.stat) != stats.end();
    });
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

std::string ModemSimulator::control(std::string_view line, Clock::time_point now) {
    std::lock_guard lock(m_mutex);
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
        auto caller = number();
        if (!caller) {
            return "ERROR not a number\n";
        }
        Call call;
        call.id = free_id();
        call.incoming = true;
        call.stat = m_calls.empty() ? 4 : 5;
        call.number = *caller;
        call.since = now;
        call.next_ring = now + m_timing.ring_interval;
        m_calls.push_back(call);
        if (!m_silent) {
            ring_now(m_calls.back());
        }
        return "OK\n";
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
        if (std::all_of(m_calls.begin(), m_calls.end(),
                        [](const Call& call) { return call.stat == 1; })) {
            return "ERROR no call\n";
        }
        remove_if_stat({0, 2, 3, 4, 5});
        if (!m_silent) {
            result("NO CARRIER");
        }
        return "OK\n";
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
        return "OK\n";
    }
    return "ERROR unknown command\n";
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
