// Checks that keep numbers and codes from users and the network out of the
// command stream: each gives back only characters that are data to the modem.

#include "platform/modem/modem.h"

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

std::string clean_number(std::string_view reported) {
    std::string out;
    for (char c : reported) {
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
    }
    return "?";
}

} // namespace telvara::platform::modem
