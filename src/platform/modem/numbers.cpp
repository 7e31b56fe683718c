// Checks that keep numbers and codes from users and the network out of the
// command stream: each gives back only characters that are data to the modem.

#include "platform/modem/modem.h"

#include <algorithm>

namespace telvara::platform::modem {

namespace {

constexpr std::size_t max_number = 64;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_formatting(char c) {
    return c == ' ' || c == '-' || c == '.' || c == '/' || c == '(' || c == ')';
}

} // namespace

std::optional<std::string> dial_string(std::string_view number) {
    std::string out;
    for (char c : number) {
        if (is_formatting(c)) {
            continue;
        }
        if (c == '+') {
            // Only a leading '+' means "international"; anywhere else it is noise
            // a modem may take as something else.
            if (!out.empty()) {
                return std::nullopt;
            }
            out += c;
        } else if (is_digit(c) || c == '*' || c == '#' || c == ',' || (c >= 'A' && c <= 'D')) {
            out += c;
        } else if (c == 'p' || c == 'P' || c == 'w' || c == 'W') {
            out += static_cast<char>(c | 0x20);
        } else {
            // ';' ends the dial string and starts a new command; quotes, '$',
            // control characters and everything else have no place here.
            return std::nullopt;
        }
        if (out.size() > max_number) {
            return std::nullopt;
        }
    }
    if (out.empty() || out == "+") {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> tone_string(std::string_view digits) {
    std::string out;
    for (char c : digits) {
        if (!(is_digit(c) || c == '*' || c == '#' || (c >= 'A' && c <= 'D'))) {
            return std::nullopt;
        }
        out += c;
    }
    if (out.empty() || out.size() > max_number) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> service_string(std::string_view code) {
    std::string out;
    for (char c : code) {
        if (!(is_digit(c) || c == '*' || c == '#' || c == '+')) {
            return std::nullopt;
        }
        out += c;
    }
    if (out.empty() || out.size() > max_number) {
        return std::nullopt;
    }
    return out;
}

std::string clean_number(std::string_view dial) {
    std::string out;
    for (char c : dial) {
        if (out.size() >= max_number) {
            break;
        }
        if (is_digit(c) || c == '*' || c == '#' || (c == '+' && out.empty()) ||
            (c >= 'A' && c <= 'D')) {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> reported_number(std::string_view reported) {
    std::string out;
    for (char c : reported) {
        if (is_formatting(c)) {
            continue;
        }
        if (!(is_digit(c) || c == '*' || c == '#' || (c >= 'A' && c <= 'D') ||
              (c == '+' && out.empty()))) {
            return std::nullopt;
        }
        out += c;
        if (out.size() > max_number) {
            return std::nullopt;
        }
    }
    if (out == "+") {
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> pin_string(std::string_view code) {
    // Digits only: a code is never formatted, and anything else would end
    // up inside the quotes of AT+CPIN.
    if (code.size() < 4 || code.size() > 8 || !std::all_of(code.begin(), code.end(), is_digit)) {
        return std::nullopt;
    }
    return std::string(code);
}

int signal_bars(int rssi) {
    if (rssi < 0 || rssi > 31) {
        return -1; // 99: not known
    }
    if (rssi <= 1) {
        return 0;
    }
    if (rssi <= 9) {
        return 1;
    }
    if (rssi <= 14) {
        return 2;
    }
    return rssi <= 19 ? 3 : 4;
}

std::string_view to_string(CallState state) {
    switch (state) {
    case CallState::idle:
        return "idle";
    case CallState::dialing:
        return "dialing";
    case CallState::alerting:
        return "alerting";
    case CallState::offering:
        return "offering";
    case CallState::waiting:
        return "waiting";
    case CallState::connected:
        return "connected";
    case CallState::on_hold:
        return "on_hold";
    case CallState::busy:
        return "busy";
    case CallState::disconnected:
        return "disconnected";
    }
    return "?";
}

std::string_view to_string(EndReason reason) {
    switch (reason) {
    case EndReason::normal:
        return "normal";
    case EndReason::busy:
        return "busy";
    case EndReason::no_answer:
        return "no_answer";
    case EndReason::no_carrier:
        return "no_carrier";
    case EndReason::modem_lost:
        return "modem_lost";
    case EndReason::failed:
        return "failed";
    case EndReason::no_service:
        return "no_service";
    case EndReason::sim_locked:
        return "sim_locked";
    }
    return "?";
}

std::string_view to_string(ModemEvent::Kind kind) {
    switch (kind) {
    case ModemEvent::Kind::new_call:
        return "new_call";
    case ModemEvent::Kind::call_info:
        return "call_info";
    case ModemEvent::Kind::call_state:
        return "call_state";
    case ModemEvent::Kind::line_open:
        return "line_open";
    case ModemEvent::Kind::line_closed:
        return "line_closed";
    case ModemEvent::Kind::command_failed:
        return "command_failed";
    case ModemEvent::Kind::service_reply:
        return "service_reply";
    case ModemEvent::Kind::network:
        return "network";
    case ModemEvent::Kind::pin_result:
        return "pin_result";
    }
    return "?";
}

std::string_view to_string(SimState state) {
    switch (state) {
    case SimState::unknown:
        return "unknown";
    case SimState::ready:
        return "ready";
    case SimState::pin_required:
        return "pin_required";
    case SimState::puk_required:
        return "puk_required";
    case SimState::absent:
        return "absent";
    case SimState::failed:
        return "failed";
    }
    return "?";
}

std::string_view to_string(Registration registration) {
    switch (registration) {
    case Registration::unknown:
        return "unknown";
    case Registration::none:
        return "none";
    case Registration::home:
        return "home";
    case Registration::searching:
        return "searching";
    case Registration::denied:
        return "denied";
    case Registration::roaming:
        return "roaming";
    }
    return "?";
}

} // namespace telvara::platform::modem
