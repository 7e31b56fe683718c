// Fuzzes the AT engine with whatever a modem may say. The input is a modem's
// side of a conversation: one answer per command the engine sends, answers
// separated by form feeds. An answer that starts with '!' and a letter first
// has the user act (dial, answer, hold, enter a PIN...) or lets time pass;
// "!*" and a byte says the rest of the answer many times over, so that
// answers and lines outgrow their bounds.
//
// Each answer goes to two engines: to one whole, to the other with its first
// line cut into pieces of 1 to 13 bytes (a cut after a whole line would let
// the engine ask its next question earlier, and the script's answers would
// no longer meet the same questions). Both must ask and see the same.
// Whatever is said, every number reported is a number, a call index is 1-7
// (or a dial's own, below 0), what the engine says of a failure and its log
// never show a PIN, the log holds no control character, and an engine never
// keeps more than a line and an answer of the input.
#include "platform/modem/at_engine.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace telvara::platform::modem;
using Kind = ModemEvent::Kind;

constexpr char separator = '\f';
// Twice an answer's bound: past it, and past a line's, without slowing every run.
constexpr std::size_t max_amplified = 2 * AtEngine::max_answer_bytes;
const std::string pin = "2468";

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// The user's side: a letter after '!'.
void act(AtEngine& engine, char what) {
    using Action = void (*)(AtEngine&);
    static constexpr std::pair<char, Action> actions[] = {
        {'d', [](AtEngine& e) { e.dial("0301234"); }},
        {'a', [](AtEngine& e) { e.answer(); }},
        {'h', [](AtEngine& e) { e.hang_up(); }},
        {'o', [](AtEngine& e) { e.hold(); }},
        {'u', [](AtEngine& e) { e.unhold(); }},
        {'w', [](AtEngine& e) { e.hold_and_accept(); }},
        {'r', [](AtEngine& e) { e.release_and_accept(); }},
        {'x', [](AtEngine& e) { e.reject_waiting(); }},
        {'j', [](AtEngine& e) { e.join(); }},
        {'p', [](AtEngine& e) { e.enter_pin(pin); }},
        {'k', [](AtEngine& e) { e.enter_puk("12345678", pin); }},
        {'t', [](AtEngine& e) { e.tones("12#"); }},
        {'m', [](AtEngine& e) { e.mute(MuteState::muted); }},
        {'s', [](AtEngine& e) { e.service_code("*100#"); }},
    };
    for (const auto& [letter, action] : actions) {
        if (letter == what) {
            action(engine);
        }
    }
}

bool is_number(const std::string& number) {
    auto reported = reported_number(number);
    return reported && *reported == number;
}

// A PIN command is masked wherever it shows: "+CPIN=" is followed by stars.
bool masked(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (auto at = lower.find("+cpin="); at != std::string::npos;
         at = lower.find("+cpin=", at + 1)) {
        if (lower.compare(at + 6, std::string::npos, "****") != 0) {
            return false;
        }
    }
    return true;
}

void take_checked(AtEngine& engine, std::vector<ModemEvent>& seen, std::string& sent) {
    for (auto& event : engine.take_events()) {
        if (event.kind == Kind::command_failed || event.kind == Kind::line_closed) {
            check(masked(event.detail));
        }
        if (event.kind == Kind::new_call || event.kind == Kind::call_info) {
            check(is_number(event.number));
        }
        if (event.kind == Kind::new_call) {
            check((event.call >= 1 && event.call <= 7) || event.call < 0);
        }
        seen.push_back(std::move(event));
    }
    for (const auto& line : engine.take_log()) {
        check(std::none_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        }));
        check(masked(line));
    }
    sent += engine.take_output();
    check(engine.held_bytes() <= AtEngine::max_line_bytes + AtEngine::max_answer_bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    Clock::time_point now = Clock::time_point() + std::chrono::seconds(1000);
    AtEngine whole{ModemTiming{}};
    AtEngine pieces{ModemTiming{}};
    whole.start(now);
    pieces.start(now);
    std::vector<ModemEvent> whole_events;
    std::vector<ModemEvent> piece_events;
    std::string whole_sent;
    std::string piece_sent;
    std::size_t cut = 0;
    while (!input.empty()) {
        auto end = input.find(separator);
        std::string_view answer = input.substr(0, end);
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);

        std::string said;
        if (answer.size() >= 2 && answer[0] == '!') {
            if (answer[1] == '*' && answer.size() >= 3) {
                const auto times = std::size_t(1) << (static_cast<unsigned char>(answer[2]) % 16);
                const std::string_view text = answer.substr(3);
                for (std::size_t i = 0; i < times && said.size() + text.size() <= max_amplified;
                     ++i) {
                    said += text;
                }
            } else {
                act(whole, answer[1]);
                act(pieces, answer[1]);
                if (answer[1] == 'z') {
                    now += std::chrono::seconds(40); // every timeout runs out
                }
                said = answer.substr(2);
            }
        } else {
            said = answer;
        }
        whole.tick(now);
        pieces.tick(now);
        take_checked(whole, whole_events, whole_sent);
        take_checked(pieces, piece_events, piece_sent);

        whole.receive(said, now);
        take_checked(whole, whole_events, whole_sent);
        const std::size_t first_line = std::min(said.find_first_of("\r\n"), said.size());
        for (std::size_t at = 0; at < first_line;) {
            const std::size_t length = std::min(first_line - at, cut++ % 13 + 1);
            pieces.receive(std::string_view(said).substr(at, length), now);
            take_checked(pieces, piece_events, piece_sent);
            at += length;
        }
        pieces.receive(std::string_view(said).substr(first_line), now);
        take_checked(pieces, piece_events, piece_sent);
        now += std::chrono::milliseconds(100);
    }
    whole.tick(now);
    pieces.tick(now);
    take_checked(whole, whole_events, whole_sent);
    take_checked(pieces, piece_events, piece_sent);
    check(whole_sent == piece_sent);
    check(whole_events == piece_events);
    check(whole.closed() == pieces.closed());
    return 0;
}
