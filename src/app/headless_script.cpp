// Parser of the headless script language.
#include "app/headless_script.h"

#include "platform/modem/modem.h"
#include "ui/key_names.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace telvara::app {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && is_blank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !is_blank(text[i]))
            ++i;
        if (i > start)
            out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<std::int64_t> to_number(std::string_view word) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size())
        return std::nullopt;
    return value;
}

struct LineError {
    std::string message;
};

std::int32_t coordinate(std::string_view word) {
    const auto value = to_number(word);
    if (!value || *value < -100000 || *value > 100000)
        throw LineError{"\"" + std::string(word) + "\" is not a screen coordinate"};
    return std::int32_t(*value);
}

std::uint32_t milliseconds(std::string_view word) {
    const auto value = to_number(word);
    if (!value || *value < 0 || *value > kMaxScriptMs)
        throw LineError{"\"" + std::string(word) + "\" is not a number of milliseconds (0.." +
                        std::to_string(kMaxScriptMs) + ")"};
    return std::uint32_t(*value);
}

std::int32_t key(std::string_view word) {
    const auto code = ui::key_code(word);
    if (!code)
        throw LineError{"\"" + std::string(word) +
                        "\" is not a key name (names as in bind_key: Left, 5, CALL_MAKE, ...)"};
    return *code;
}

void expect_arguments(const std::vector<std::string_view>& args, std::size_t count,
                      std::string_view usage) {
    if (args.size() != count + 1)
        throw LineError{"usage: " + std::string(usage)};
}

// A number as the modem would take it: the dial string (formatting dropped).
std::string phone_number(std::string_view word) {
    const auto dialled = platform::modem::dial_string(word);
    if (!dialled)
        throw LineError{"\"" + std::string(word) + "\" is not a phone number"};
    return *dialled;
}

// Words that are part of a number as written ("+49", "(30)", "123-45"): any
// word with a digit, so that a number with a stray character is refused as a
// number rather than taken for a name.
bool is_number_word(std::string_view word) {
    return word.find_first_of("0123456789") != std::string_view::npos || word == "+";
}

// The number at the start of `words` (from `first` on), joined; how many words
// it took goes into `used`.
std::string leading_number(const std::vector<std::string_view>& words, std::size_t first,
                           std::size_t& used) {
    std::string text;
    used = 0;
    for (std::size_t i = first; i < words.size() && is_number_word(words[i]); ++i, ++used)
        text += std::string(used > 0 ? " " : "") + std::string(words[i]);
    return text;
}

std::string joined(const std::vector<std::string_view>& words, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < words.size(); ++i)
        text += std::string(i > first ? " " : "") + std::string(words[i]);
    return text;
}

constexpr char kModemUsage[] =
    "modem ring [NUMBER [NAME]] | answer | hangup [ID] | busy [NUMBER] | noanswer NUMBER | "
    "sim pin CODE|puk CODE|ready|absent | register home|roaming|searching|denied|off | "
    "operator NAME | signal N | ussd CODE [REPLY] | silent on|off";

void parse_modem(const std::vector<std::string_view>& args, ScriptCommand& command) {
    if (args.size() < 2)
        throw LineError{std::string("usage: ") + kModemUsage};
    command.op = ScriptOp::Modem;
    const std::string_view what = args[1];
    command.action = LineAction::Control;
    if (what == "ring" || what == "busy" || what == "noanswer") {
        std::size_t used = 0;
        const std::string number = leading_number(args, 2, used);
        if (!number.empty())
            command.number = phone_number(number);
        const bool named = 2 + used < args.size();
        if ((what != "ring" && named) || (what == "noanswer" && number.empty()))
            throw LineError{std::string("usage: ") + kModemUsage};
        if (what == "ring")
            command.action = LineAction::Ring;
        else if (what == "busy")
            command.action = LineAction::Busy;
        // The name, if any, goes as it is written.
        command.control = std::string(what) + (command.number.empty() ? "" : " " + command.number) +
                          (named ? " " + joined(args, 2 + used) : "");
        return;
    }
    if (what == "answer" || what == "hangup") {
        const bool with_id = what == "hangup" && args.size() == 3 && to_number(args[2]);
        if (args.size() > 2 && !with_id)
            throw LineError{std::string("usage: ") + kModemUsage};
        command.action = what == "answer" ? LineAction::Answer : LineAction::Hangup;
        command.control = joined(args, 1);
        return;
    }
    static constexpr std::string_view kOthers[] = {"sim",    "register", "operator",
                                                   "signal", "ussd",     "silent"};
    if (std::find(std::begin(kOthers), std::end(kOthers), what) == std::end(kOthers) ||
        args.size() < 3)
        throw LineError{std::string("usage: ") + kModemUsage};
    command.control = joined(args, 1);
}

void parse_phone(const std::vector<std::string_view>& args, ScriptCommand& command) {
    const std::string usage = "usage: phone answer | phone hangup | phone dial NUMBER";
    if (args.size() < 2)
        throw LineError{usage};
    command.op = ScriptOp::Phone;
    const std::string_view what = args[1];
    if (what == "answer" || what == "hangup") {
        if (args.size() > 2)
            throw LineError{usage};
        command.action = what == "answer" ? LineAction::Answer : LineAction::Hangup;
        return;
    }
    if (what != "dial" || args.size() < 3)
        throw LineError{usage};
    command.action = LineAction::Dial;
    // A number may be written with blanks ("+49 30 1234"): the rest of the
    // line, its formatting dropped as for dialling.
    command.number = phone_number(joined(args, 2));
    // A service code is no call: nothing would ring to wait for.
    if (command.number.front() == '*')
        throw LineError{"phone dial takes a phone number, not a service code"};
}

std::uint32_t expect_timeout(std::string_view word) {
    const auto value = to_number(word);
    if (!value || *value < 0 || *value > kMaxExpectMs)
        throw LineError{"\"" + std::string(word) + "\" is not a time-out in milliseconds (0.." +
                        std::to_string(kMaxExpectMs) + ")"};
    return std::uint32_t(*value);
}

void parse_expect(const std::vector<std::string_view>& args, std::string_view rest,
                  ScriptCommand& command) {
    const std::string usage =
        "usage: expect incoming|dialing|connected|ended|waiting|held|conference [MS] | "
        "expect screen NAME [MS] | expect text NODE TEXT | expect text NODE \"TEXT\" [MS]";
    if (args.size() < 2)
        throw LineError{usage};
    command.op = ScriptOp::Expect;
    command.ms = kLineWaitMs;
    const std::string_view what = args[1];
    static constexpr std::pair<std::string_view, ExpectWhat> kStates[] = {
        {"incoming", ExpectWhat::Incoming},    {"dialing", ExpectWhat::Dialing},
        {"connected", ExpectWhat::Connected},  {"ended", ExpectWhat::Ended},
        {"waiting", ExpectWhat::Waiting},      {"held", ExpectWhat::Held},
        {"conference", ExpectWhat::Conference}};
    std::size_t timeout_at = 2;
    if (what == "text") {
        if (args.size() < 4)
            throw LineError{usage};
        command.expect = ExpectWhat::Text;
        command.name = std::string(args[2]);
        // The text is the rest of the line after the node's name, or a text
        // in double quotes followed by a time-out.
        const std::size_t at = rest.find(args[2], rest.find("text") + 4);
        const std::string_view text = trim(rest.substr(at + args[2].size()));
        if (text.empty() || text.front() != '"') {
            command.text = from_utf8(text);
            return;
        }
        const std::size_t close = text.find('"', 1);
        if (close == std::string_view::npos)
            throw LineError{usage};
        command.text = from_utf8(text.substr(1, close - 1));
        const std::vector<std::string_view> after = words(text.substr(close + 1));
        if (after.size() > 1)
            throw LineError{usage};
        if (after.size() == 1)
            command.ms = expect_timeout(after[0]);
        return;
    }
    if (what == "screen") {
        if (args.size() < 3)
            throw LineError{usage};
        command.expect = ExpectWhat::Screen;
        command.name = std::string(args[2]);
        timeout_at = 3;
    } else {
        const auto* state = std::find_if(std::begin(kStates), std::end(kStates),
                                         [&](const auto& entry) { return entry.first == what; });
        if (state == std::end(kStates))
            throw LineError{usage};
        command.expect = state->second;
    }
    if (args.size() > timeout_at + 1)
        throw LineError{usage};
    if (args.size() == timeout_at + 1)
        command.ms = expect_timeout(args[timeout_at]);
}

ScriptCommand parse_line(std::string_view line) {
    const std::vector<std::string_view> args = words(line);
    const std::string_view verb = args.front();
    ScriptCommand command;
    // Text payloads keep their inner and trailing blanks: everything after the
    // verb and the one blank that ends it.
    const auto rest = [&] {
        return verb.size() < line.size() ? line.substr(verb.size() + 1) : std::string_view();
    };
    if (verb == "wait") {
        expect_arguments(args, 1, "wait MS");
        command.op = ScriptOp::Wait;
        command.ms = milliseconds(args[1]);
    } else if (verb == "tap" && args.size() == 2) {
        // A node by its name, or an item of the open menu by its key.
        command.op = ScriptOp::Tap;
        command.name = std::string(args[1]);
    } else if (verb == "tap" || verb == "down" || verb == "move" || verb == "up") {
        expect_arguments(args, 2, std::string(verb) + " X Y");
        command.op = verb == "tap"    ? ScriptOp::Tap
                     : verb == "down" ? ScriptOp::Down
                     : verb == "move" ? ScriptOp::Move
                                      : ScriptOp::Up;
        command.x = coordinate(args[1]);
        command.y = coordinate(args[2]);
    } else if (verb == "drag") {
        expect_arguments(args, 5, "drag X1 Y1 X2 Y2 MS");
        command.op = ScriptOp::Drag;
        command.x = coordinate(args[1]);
        command.y = coordinate(args[2]);
        command.x2 = coordinate(args[3]);
        command.y2 = coordinate(args[4]);
        command.ms = milliseconds(args[5]);
    } else if (verb == "key" || verb == "keydown" || verb == "keyup") {
        expect_arguments(args, 1, std::string(verb) + " NAME");
        command.op = verb == "key"       ? ScriptOp::Key
                     : verb == "keydown" ? ScriptOp::KeyDown
                                         : ScriptOp::KeyUp;
        command.key = key(args[1]);
    } else if (verb == "type") {
        command.op = ScriptOp::Type;
        command.text = from_utf8(rest());
        if (command.text.empty())
            throw LineError{"usage: type TEXT"};
    } else if (verb == "cmdline") {
        // No text is the empty command line of a second start without arguments.
        command.op = ScriptOp::CommandLine;
        command.text = from_utf8(rest());
    } else if (verb == "shot") {
        command.op = ScriptOp::Shot;
        command.file = std::string(trim(rest()));
        const std::string_view file = command.file;
        if (file.size() <= 4 || file.substr(file.size() - 4) != ".png")
            throw LineError{"usage: shot FILE.png"};
    } else if (verb == "modem") {
        parse_modem(args, command);
    } else if (verb == "phone") {
        parse_phone(args, command);
    } else if (verb == "lint") {
        expect_arguments(args, 0, "lint");
        command.op = ScriptOp::Lint;
    } else if (verb == "sleep") {
        expect_arguments(args, 1, "sleep MS");
        command.op = ScriptOp::Sleep;
        command.ms = milliseconds(args[1]);
    } else if (verb == "expect") {
        parse_expect(args, rest(), command);
    } else {
        throw LineError{"unknown command \"" + std::string(verb) +
                        "\" (wait, sleep, tap, down, move, up, drag, key, keydown, keyup, type, "
                        "cmdline, shot, lint, expect, modem, phone)"};
    }
    return command;
}

} // namespace

ParsedScript parse_script(std::string_view text) {
    ParsedScript script;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view content = trim(line);
        if (content.empty() || content.front() == '#')
            continue;
        try {
            ScriptCommand command = parse_line(line.substr(line.find(content.front())));
            command.line = number;
            script.commands.push_back(std::move(command));
        } catch (const LineError& error) {
            script.error_line = number;
            script.error = error.message;
            return script;
        }
    }
    return script;
}

} // namespace telvara::app
