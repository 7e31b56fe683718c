// Parser of the headless script language.
#include "app/headless_script.h"

#include "platform/modem/modem.h"
#include "ui/key_names.h"

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

void parse_line_command(std::string_view verb, const std::vector<std::string_view>& args,
                        ScriptCommand& command) {
    const bool modem = verb == "modem";
    const std::string usage = modem ? "modem ring [NUMBER] | modem answer | modem hangup | "
                                      "modem busy [NUMBER]"
                                    : "phone answer | phone hangup | phone dial NUMBER";
    if (args.size() < 2)
        throw LineError{"usage: " + usage};
    command.op = modem ? ScriptOp::Modem : ScriptOp::Phone;
    const std::string_view what = args[1];
    bool takes_number = false;
    bool number_needed = false;
    if (what == "answer") {
        command.action = LineAction::Answer;
    } else if (what == "hangup") {
        command.action = LineAction::Hangup;
    } else if (modem && what == "ring") {
        command.action = LineAction::Ring;
        takes_number = true;
    } else if (modem && what == "busy") {
        command.action = LineAction::Busy;
        takes_number = true;
    } else if (!modem && what == "dial") {
        command.action = LineAction::Dial;
        takes_number = true;
        number_needed = true;
    } else {
        throw LineError{"usage: " + usage};
    }
    if ((!takes_number && args.size() > 2) || (number_needed && args.size() < 3))
        throw LineError{"usage: " + usage};
    if (args.size() > 2) {
        // A number may be written with blanks ("+49 30 1234"): the rest of
        // the line, its formatting dropped as for dialling.
        std::string text;
        for (std::size_t i = 2; i < args.size(); ++i)
            text += std::string(i > 2 ? " " : "") + std::string(args[i]);
        command.number = phone_number(text);
        // A service code is no call: nothing would ring to wait for.
        if (command.action == LineAction::Dial && command.number.front() == '*')
            throw LineError{"phone dial takes a phone number, not a service code"};
    }
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
    } else if (verb == "modem" || verb == "phone") {
        parse_line_command(verb, args, command);
    } else {
        throw LineError{"unknown command \"" + std::string(verb) +
                        "\" (wait, tap, down, move, up, drag, key, keydown, keyup, type, "
                        "cmdline, shot, modem, phone)"};
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
