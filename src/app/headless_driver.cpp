// The headless driver.
#include "app/headless_driver.h"

#include "app/application.h"
#include "app/key_map.h"
#include "data/document.h"
#include "display/png_writer.h"
#include "phone/phone_manager.h"
#include "phone/telephone.h"
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"
#include "runtime/log.h"
#include "ui/key_names.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

namespace telvara::app {

namespace {

class ScriptFailure {
  public:
    explicit ScriptFailure(std::string message) : m_message(std::move(message)) {}
    const std::string& message() const { return m_message; }

  private:
    std::string m_message;
};

void advance(GameBase& game, std::uint32_t ms) {
    if (!game.advance(ms))
        throw ScriptFailure("the program ended here (exit status " +
                            std::to_string(game.exit_code()) + ")");
}

void dispatch(GameBase& game) {
    if (!game.dispatch_pending())
        throw ScriptFailure("the program ended here (exit status " +
                            std::to_string(game.exit_code()) + ")");
}

std::int32_t sdl_key(std::int32_t code) {
    const auto key = sdl_key_for_code(code);
    if (!key)
        throw ScriptFailure("no key of the device produces \"" + std::string(ui::key_name(code)) +
                            "\"");
    return *key;
}

void pointer(GameBase& game, display::PointerAction action, std::int32_t x, std::int32_t y) {
    game.inject_pointer(action, x, y);
    dispatch(game);
}

void shot(GameBase& game, const std::string& file) {
    const display::Frame565 frame = game.back_buffer_frame();
    if (frame.pixels == nullptr || frame.width == 0)
        throw ScriptFailure("nothing has been drawn yet (wait first)");
    const std::filesystem::path path(file);
    if (path.has_parent_path()) {
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
    }
    if (!display::write_png(file, frame))
        throw ScriptFailure("cannot write " + file);
}

// --- the telephone line --------------------------------------------------------

phone::Telephone& telephone() {
    phone::Telephone* line = phone::Telephone::instance();
    if (line == nullptr)
        throw ScriptFailure("there is no telephone yet (wait until the main screen is up)");
    return *line;
}

// Handles messages in real time until `done` holds; the modem's events reach
// the telephone meanwhile, the virtual clock stands still.
void wait_for_line(GameBase& game, const std::function<bool()>& done, const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineWaitMs);
    for (;;) {
        dispatch(game);
        if (done())
            return;
        if (std::chrono::steady_clock::now() > deadline)
            throw ScriptFailure("the telephone did not see " + what + " within " +
                                std::to_string(kLineWaitMs / 1000) + " s");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The line must be open for the modem to hear or say anything.
phone::Telephone& open_line(GameBase& game) {
    phone::Telephone& line = telephone();
    wait_for_line(
        game, [&] { return line.line_open(); }, "the modem line open");
    return line;
}

void simulator_control(phone::Telephone& line, const std::string& text) {
    platform::modem::ModemSimulator* simulator =
        line.modem() != nullptr ? line.modem()->simulator() : nullptr;
    if (simulator == nullptr)
        throw ScriptFailure("the modem is not the built-in simulator (setting \"Modem\")");
    const std::string reply = simulator->control(text, std::chrono::steady_clock::now());
    const auto last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
    const std::string tail = reply.substr(last == std::string::npos ? 0 : last + 1);
    if (tail.rfind("OK", 0) != 0) {
        std::string why = tail;
        while (!why.empty() && why.back() == '\n')
            why.pop_back();
        throw ScriptFailure("modem " + text + ": " + why);
    }
}

// Counts the calls the telephone reported ended. A call the user turned
// away is over for the telephone at once, but the modem's word that it is
// gone comes later: the script waits for that too, so that the next call
// never meets the end of the previous one.
class CallEndWatch final : public data::DocumentListener {
  public:
    explicit CallEndWatch(data::Document& document) : m_document(document) {
        m_document.add_listener(*this);
    }
    ~CallEndWatch() override { m_document.remove_listener(*this); }
    CallEndWatch(const CallEndWatch&) = delete;
    CallEndWatch& operator=(const CallEndWatch&) = delete;

    void on_document_refresh(const data::RefreshMessage& message) override {
        if (message.has(data::RefreshFlag::CallEnded))
            ++m_ended;
    }
    std::uint64_t ended() const { return m_ended; }

  private:
    data::Document& m_document;
    std::uint64_t m_ended = 0;
};

// What the driver keeps between commands: the watch, made at the first
// telephone command (the Document is the UI thread's by then).
struct LineState {
    std::unique_ptr<CallEndWatch> watch;

    CallEndWatch& calls() {
        if (!watch) {
            data::Document* document = data::Document::instance();
            if (document == nullptr)
                throw ScriptFailure("there are no contact data");
            watch = std::make_unique<CallEndWatch>(*document);
        }
        return *watch;
    }
};

void wait_for_call_end(GameBase& game, phone::Telephone& line, CallEndWatch& calls,
                       std::uint64_t ended_before) {
    wait_for_line(
        game, [&] { return line.current_call() == 0 && calls.ended() > ended_before; },
        "the call end");
}

bool ringing(const phone::Telephone& line) {
    return line.current_call() != 0 && !line.connected();
}

void modem_command(GameBase& game, LineState& state, const ScriptCommand& command) {
    phone::Telephone& line = open_line(game);
    CallEndWatch& calls = state.calls();
    switch (command.action) {
    case LineAction::Ring: {
        simulator_control(line, "ring " + command.number);
        const WString number = from_utf8(command.number);
        wait_for_line(
            game,
            [&] {
                return ringing(line) && (number.empty() || line.facts().caller_number == number);
            },
            "the incoming call" + (number.empty() ? "" : " from " + command.number));
        break;
    }
    case LineAction::Answer:
        simulator_control(line, "answer");
        wait_for_line(
            game, [&] { return line.connected(); }, "the call connected");
        break;
    case LineAction::Hangup: {
        const std::uint64_t ended = calls.ended();
        simulator_control(line, "hangup");
        wait_for_call_end(game, line, calls, ended);
        break;
    }
    case LineAction::Busy:
        simulator_control(line, "busy " + command.number);
        break;
    case LineAction::Dial:
        break; // not a modem action (the parser never makes it)
    }
}

void phone_command(GameBase& game, LineState& state, const ScriptCommand& command) {
    phone::Telephone& line = open_line(game);
    CallEndWatch& calls = state.calls();
    switch (command.action) {
    case LineAction::Answer:
        if (!ringing(line))
            throw ScriptFailure("no call is ringing");
        line.answer_call();
        wait_for_line(
            game, [&] { return line.connected(); }, "the call connected");
        break;
    case LineAction::Hangup: {
        if (line.current_call() == 0)
            throw ScriptFailure("there is no call to end");
        const std::uint64_t ended = calls.ended();
        line.drop_call();
        wait_for_call_end(game, line, calls, ended);
        break;
    }
    case LineAction::Dial: {
        phone::PhoneManager* phones = phone::PhoneManager::instance();
        if (phones == nullptr)
            throw ScriptFailure("there is no phone manager yet");
        if (line.current_call() != 0)
            throw ScriptFailure("a call is already in progress");
        phones->call_number(from_utf8(command.number));
        wait_for_line(
            game, [&] { return line.current_call() != 0; }, "the outgoing call");
        break;
    }
    case LineAction::Ring:
    case LineAction::Busy:
        break; // modem actions only
    }
}

void run_command(GameBase& game, LineState& state, const ScriptCommand& command) {
    using display::PointerAction;
    switch (command.op) {
    case ScriptOp::Wait:
        advance(game, command.ms);
        break;
    case ScriptOp::Tap:
        pointer(game, PointerAction::Down, command.x, command.y);
        advance(game, kTapHoldMs);
        pointer(game, PointerAction::Up, command.x, command.y);
        break;
    case ScriptOp::Down:
        pointer(game, PointerAction::Down, command.x, command.y);
        break;
    case ScriptOp::Move:
        pointer(game, PointerAction::Move, command.x, command.y);
        break;
    case ScriptOp::Up:
        pointer(game, PointerAction::Up, command.x, command.y);
        break;
    case ScriptOp::Drag: {
        pointer(game, PointerAction::Down, command.x, command.y);
        const std::uint32_t steps = std::max<std::uint32_t>(1, command.ms / kDragStepMs);
        for (std::uint32_t i = 1; i <= steps; ++i) {
            const std::int64_t dx = std::int64_t(command.x2 - command.x) * i / steps;
            const std::int64_t dy = std::int64_t(command.y2 - command.y) * i / steps;
            advance(game, command.ms / steps);
            pointer(game, PointerAction::Move, command.x + std::int32_t(dx),
                    command.y + std::int32_t(dy));
        }
        pointer(game, PointerAction::Up, command.x2, command.y2);
        break;
    }
    case ScriptOp::Key: {
        const std::int32_t key = sdl_key(command.key);
        game.inject_key(key, display::KeyAction::Press);
        dispatch(game);
        game.inject_key(key, display::KeyAction::Release);
        dispatch(game);
        break;
    }
    case ScriptOp::KeyDown:
        game.inject_key(sdl_key(command.key), display::KeyAction::Press);
        dispatch(game);
        break;
    case ScriptOp::KeyUp:
        game.inject_key(sdl_key(command.key), display::KeyAction::Release);
        dispatch(game);
        break;
    case ScriptOp::Type:
        game.inject_text(to_utf8(command.text));
        dispatch(game);
        break;
    case ScriptOp::CommandLine:
        game.inject_command_line(command.text);
        dispatch(game);
        break;
    case ScriptOp::Shot:
        shot(game, command.file);
        break;
    case ScriptOp::Modem:
        modem_command(game, state, command);
        break;
    case ScriptOp::Phone:
        phone_command(game, state, command);
        break;
    }
}

} // namespace

int run_headless_script(Application& application, const ParsedScript& script,
                        const std::string& script_name) {
    GameBase& game = application.game();
    LineState state; // let go here, while the Document still exists
    for (const ScriptCommand& command : script.commands) {
        try {
            run_command(game, state, command);
        } catch (const ScriptFailure& failure) {
            std::fprintf(stderr, "%s:%d: %s\n", script_name.c_str(), command.line,
                         failure.message().c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace telvara::app
