// The headless driver.
#include "app/headless_driver.h"

#include "app/application.h"
#include "app/key_map.h"
#include "app/screen_info.h"
#include "data/document.h"
#include "display/png_writer.h"
#include "phone/phone_manager.h"
#include "phone/telephone.h"
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"
#include "platform/modem/sim_server.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/key_names.h"
#include "ui/layout_lint.h"
#include "ui/popup_menu.h"
#include "ui/text_node.h"
#include "ui/vlist.h"

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

// --- the script's clock ---------------------------------------------------------

// Runs the program for the script: on the virtual clock only "wait" moves
// time; on the real clock the loop runs as it would in a window.
class Runner {
  public:
    Runner(GameBase& game, ScriptClock clock) : m_game(game), m_clock(clock) {}

    GameBase& game() { return m_game; }

    void wait(std::uint32_t ms) {
        const bool running =
            m_clock == ScriptClock::Virtual ? m_game.advance(ms) : m_game.run_for(ms);
        if (!running)
            throw ScriptFailure("the program ended here (exit status " +
                                std::to_string(m_game.exit_code()) + ")");
        if (m_clock == ScriptClock::Virtual)
            let_the_line_open(ms);
    }

    // A moment of real time: the program hears from the modem meanwhile;
    // on the virtual clock the frames wait for "wait".
    void pause(std::uint32_t ms) {
        if (m_clock == ScriptClock::Real) {
            wait(ms);
            return;
        }
        dispatch(m_game);
        platform::wait(std::chrono::milliseconds(ms));
        dispatch(m_game);
    }

    // Real time passes until `done` holds; at most `limit_ms`.
    void until(const std::function<bool()>& done, const std::string& what, std::uint32_t limit_ms) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        for (;;) {
            dispatch(m_game);
            if (done())
                return;
            if (std::chrono::steady_clock::now() > deadline)
                throw ScriptFailure("did not see " + what + " within " + seconds(limit_ms));
            pause(2);
        }
    }

  private:
    // The modem answers its set-up in real time, which the virtual clock
    // does not pass: a call placed right after a quick "wait" would find no
    // line where a user, who waited that long, finds one. So the first wait
    // after the modem started also lasts, in real time, until the line is
    // open, at most as long as the wait.
    void let_the_line_open(std::uint32_t ms) {
        if (m_line_settled)
            return;
        phone::Telephone* line = phone::Telephone::instance();
        if (line == nullptr || line->modem() == nullptr)
            return;
        m_line_settled = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!line->line_open() && std::chrono::steady_clock::now() < deadline)
            pause(2);
    }

    static std::string seconds(std::uint32_t ms) {
        return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
    }

    GameBase& m_game;
    ScriptClock m_clock;
    bool m_line_settled = false;
};

// --- the telephone line --------------------------------------------------------

phone::Telephone& telephone() {
    phone::Telephone* line = phone::Telephone::instance();
    if (line == nullptr)
        throw ScriptFailure("there is no telephone yet (wait until the main screen is up)");
    return *line;
}

// The line must be open for the modem to hear or say anything.
// A call just placed reaches the modem in real time.
void wait_for_dial_at_modem(Runner& runner, phone::Telephone& line) {
    if (line.dialing())
        runner.until([&] { return line.current_call() != 0 || !line.dialing(); },
                     "the call at the modem", kLineWaitMs);
}

phone::Telephone& open_line(Runner& runner) {
    phone::Telephone& line = telephone();
    runner.until([&] { return line.line_open(); }, "the modem line open", kLineWaitMs);
    return line;
}

// Where the far end is played: the built-in simulator, or the one the
// settings name for a modem on TCP.
std::string simulator_control(phone::Telephone& line, const std::string& text) {
    platform::modem::ModemSimulator* simulator =
        line.modem() != nullptr ? line.modem()->simulator() : nullptr;
    std::string reply;
    if (simulator != nullptr) {
        reply = simulator->control(text, std::chrono::steady_clock::now());
    } else {
        WString to;
        if (!runtime::reg_read_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara",
                                      kModemControlValue, to) ||
            to.empty())
            throw ScriptFailure("the modem is not the built-in simulator, and the setting "
                                "\"ModemControl\" names no simulator to control");
        std::string error;
        if (!platform::modem::sim_control(to_utf8(to), text, reply, error))
            throw ScriptFailure("modem " + text + ": " + error);
    }
    const auto last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
    std::string tail = reply.substr(last == std::string::npos ? 0 : last + 1);
    while (!tail.empty() && tail.back() == '\n')
        tail.pop_back();
    if (tail.rfind("OK", 0) != 0)
        throw ScriptFailure("modem " + text + ": " + tail);
    return reply;
}

// Counts the calls the telephone reported placed and ended. A call the user
// turned away is over for the telephone at once, but the modem's word that it
// is gone comes later: the script waits for that too, so that the next call
// never meets the end of the previous one.
class CallWatch final : public data::DocumentListener {
  public:
    explicit CallWatch(data::Document& document) : m_document(document) {
        m_document.add_listener(*this);
    }
    ~CallWatch() override { m_document.remove_listener(*this); }
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;

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
    std::unique_ptr<CallWatch> watch;

    CallWatch& calls() {
        if (!watch) {
            data::Document* document = data::Document::instance();
            if (document == nullptr)
                throw ScriptFailure("there are no contact data");
            watch = std::make_unique<CallWatch>(*document);
        }
        return *watch;
    }
};

void wait_for_call_end(Runner& runner, phone::Telephone& line, CallWatch& calls,
                       std::uint64_t ended_before) {
    runner.until([&] { return line.current_call() == 0 && calls.ended() > ended_before; },
                 "the call end", kLineWaitMs);
}

bool ringing(const phone::Telephone& line) {
    return line.current_call() != 0 && !line.connected();
}

bool second_call(const phone::Telephone& line, phone::OtherCall::State state) {
    return line.facts().other && line.facts().other->state == state;
}

void modem_command(Runner& runner, LineState& state, const ScriptCommand& command) {
    phone::Telephone& line = open_line(runner);
    CallWatch& calls = state.calls();
    switch (command.action) {
    case LineAction::Ring: {
        // During a call the newcomer knocks instead of ringing.
        const bool knocks = line.current_call() != 0;
        simulator_control(line, command.control);
        const WString number = from_utf8(command.number);
        const auto from = [&](const WString& shown) { return number.empty() || shown == number; };
        runner.until(
            [&] {
                return knocks ? second_call(line, phone::OtherCall::State::waiting) &&
                                    from(line.facts().other->number)
                              : ringing(line) && from(line.facts().caller_number);
            },
            std::string(knocks ? "the waiting call" : "the incoming call") +
                (number.empty() ? "" : " from " + command.number),
            kLineWaitMs);
        break;
    }
    case LineAction::Answer:
        // A call just placed shows at once; the far end can take it once
        // the modem has it.
        wait_for_dial_at_modem(runner, line);
        simulator_control(line, command.control);
        runner.until([&] { return line.connected(); }, "the call connected", kLineWaitMs);
        break;
    case LineAction::Hangup: {
        const std::uint64_t ended = calls.ended();
        const bool two_calls = line.other_call() != 0;
        simulator_control(line, command.control);
        if (two_calls) {
            // One of two ends: the other goes on.
            runner.until([&] { return line.other_call() == 0 || line.current_call() == 0; },
                         "one of the calls end", kLineWaitMs);
        } else {
            wait_for_call_end(runner, line, calls, ended);
        }
        break;
    }
    case LineAction::Busy:
    case LineAction::Control:
        simulator_control(line, command.control);
        break;
    case LineAction::Dial:
        break; // not a modem action (the parser never makes it)
    }
}

void phone_command(Runner& runner, LineState& state, const ScriptCommand& command) {
    phone::Telephone& line = open_line(runner);
    CallWatch& calls = state.calls();
    switch (command.action) {
    case LineAction::Answer:
        if (!ringing(line))
            throw ScriptFailure("no call is ringing");
        line.answer_call();
        runner.until([&] { return line.connected(); }, "the call connected", kLineWaitMs);
        break;
    case LineAction::Hangup: {
        // Ended once the modem has it, as a user's later tap on End would.
        wait_for_dial_at_modem(runner, line);
        if (line.current_call() == 0)
            throw ScriptFailure("there is no call to end");
        const std::uint64_t ended = calls.ended();
        line.drop_call();
        wait_for_call_end(runner, line, calls, ended);
        break;
    }
    case LineAction::Dial: {
        phone::PhoneManager* phones = phone::PhoneManager::instance();
        if (phones == nullptr)
            throw ScriptFailure("there is no phone manager yet");
        if (line.current_call() != 0)
            throw ScriptFailure("a call is already in progress");
        const std::uint64_t ended = calls.ended();
        phones->call_number(from_utf8(command.number));
        // A far end busy at once ends the call before a look could find it:
        // its end is as good a sign that it was placed.
        runner.until([&] { return line.current_call() != 0 || calls.ended() > ended; },
                     "the outgoing call", kLineWaitMs);
        break;
    }
    case LineAction::Ring:
    case LineAction::Busy:
    case LineAction::Control:
        break; // modem actions only
    }
}

// --- expect --------------------------------------------------------------------------

// The node of that name in the screen in front, the call strip or the notice;
// "NAME#N" is the N-th shown text node of that name (list rows repeat names).
const ui::TextNode* shown_text_node(Application& application, const std::string& name) {
    WString wanted = from_utf8(name);
    std::size_t nth = 0;
    if (const auto hash = wanted.rfind(u'#'); hash != WString::npos && hash > 0) {
        const std::string number = to_utf8(wanted.substr(hash + 1));
        if (!number.empty() && number.size() < 6 &&
            number.find_first_not_of("0123456789") == std::string::npos && std::stoul(number) > 0) {
            nth = std::stoul(number);
            wanted.resize(hash);
        }
    }
    std::vector<const ui::Node*> roots;
    if (const forms::Form* top = application.top_form())
        roots.push_back(top);
    for (auto slot : {forms::OverlaySlot::CallStrip, forms::OverlaySlot::Notice})
        if (const forms::Form* overlay = application.overlay(slot))
            roots.push_back(overlay);
    if (nth == 0) {
        for (const ui::Node* root : roots) {
            auto* node =
                dynamic_cast<const ui::TextNode*>(const_cast<ui::Node*>(root)->find(wanted));
            if (node != nullptr && node->is_effectively_visible())
                return node;
        }
        return nullptr;
    }
    std::vector<const ui::TextNode*> shown;
    const std::function<void(const ui::Node&)> collect = [&](const ui::Node& node) {
        if (!node.is_visible())
            return;
        if (auto* text = dynamic_cast<const ui::TextNode*>(&node);
            text != nullptr && node.name() == wanted && node.is_effectively_visible())
            shown.push_back(text);
        for (std::size_t i = 0; i < node.child_count(); ++i)
            collect(node.child(i));
    };
    for (const ui::Node* root : roots)
        collect(*root);
    return nth <= shown.size() ? shown[nth - 1] : nullptr;
}

bool screen_is(const Application& application, const std::string& name) {
    const forms::Form* top = application.top_form();
    if (top == nullptr)
        return false;
    const std::string shown = to_utf8(top->skin_name());
    return shown == name || shown == name + "Form";
}

std::string state_name(ExpectWhat what) {
    switch (what) {
    case ExpectWhat::Incoming:
        return "an incoming call";
    case ExpectWhat::Dialing:
        return "a call being dialled";
    case ExpectWhat::Connected:
        return "a connected call";
    case ExpectWhat::Ended:
        return "no call";
    case ExpectWhat::Waiting:
        return "a waiting call";
    case ExpectWhat::Held:
        return "a call on hold";
    case ExpectWhat::Conference:
        return "a conference";
    case ExpectWhat::Screen:
    case ExpectWhat::Text:
        break;
    }
    return "?";
}

void expect_command(Runner& runner, Application& application, const ScriptCommand& command) {
    if (command.expect == ExpectWhat::Screen) {
        runner.until([&] { return screen_is(application, command.name); },
                     "the screen " + command.name + " in front", command.ms);
        return;
    }
    if (command.expect == ExpectWhat::Text) {
        const ui::TextNode* last = nullptr;
        try {
            runner.until(
                [&] {
                    last = shown_text_node(application, command.name);
                    return last != nullptr && last->text() == command.text;
                },
                "\"" + to_utf8(command.text) + "\" in " + command.name, command.ms);
        } catch (const ScriptFailure& failure) {
            throw ScriptFailure(failure.message() +
                                (last != nullptr ? " (it shows \"" + to_utf8(last->text()) + "\")"
                                                 : " (no such node is shown)"));
        }
        return;
    }
    phone::Telephone& line = telephone();
    const auto holds = [&] {
        using State = phone::OtherCall::State;
        switch (command.expect) {
        case ExpectWhat::Incoming:
            return line.ringing();
        case ExpectWhat::Dialing:
            return line.dialing();
        case ExpectWhat::Connected:
            return line.current_call() != 0 && line.connected();
        case ExpectWhat::Ended:
            return line.current_call() == 0;
        case ExpectWhat::Waiting:
            return second_call(line, State::waiting);
        case ExpectWhat::Held:
            return second_call(line, State::held) || line.facts().on_hold;
        case ExpectWhat::Conference:
            return second_call(line, State::joined);
        case ExpectWhat::Screen:
        case ExpectWhat::Text:
            break;
        }
        return false;
    };
    runner.until(holds, state_name(command.expect), command.ms);
}

// --- taps by name --------------------------------------------------------------------

ui::Point middle(const ui::Node& node) {
    return {node.x() + node.width() / 2, node.y() + node.height() / 2};
}

// Where a tap on NAME lands: an item of an open menu of the screen in front
// (by its key), else a shown node of that name in front or on the strip.
ui::Point tap_point(Application& application, const std::string& name) {
    forms::Form* top = application.top_form();
    if (top == nullptr)
        throw ScriptFailure("there is no screen to tap on yet");
    const WString wanted = from_utf8(name);
    for (std::size_t i = top->child_count(); i-- > 0;) {
        auto* menu = dynamic_cast<ui::PopupMenu*>(&top->child(i));
        if (menu == nullptr || !menu->is_open())
            continue;
        for (std::size_t item = 0; item < menu->items().size(); ++item) {
            if (menu->items()[item].identifier != wanted)
                continue;
            if (const ui::ListElement* row =
                    menu->list().element_for(static_cast<std::int32_t>(item)))
                return middle(*row);
            throw ScriptFailure("the menu item " + name + " is not in view");
        }
    }
    // "NAME#N": the N-th shown node of that name (list rows repeat names).
    // "NAME#-N": the N-th from the end.
    WString node_name = wanted;
    long nth = 1;
    if (const auto hash = node_name.rfind(u'#'); hash != WString::npos && hash > 0) {
        std::string number = to_utf8(node_name.substr(hash + 1));
        const bool from_end = !number.empty() && number.front() == '-';
        if (from_end)
            number.erase(0, 1);
        if (!number.empty() && number.size() < 6 &&
            number.find_first_not_of("0123456789") == std::string::npos) {
            nth = std::stol(number) * (from_end ? -1 : 1);
            node_name.resize(hash);
        }
    }
    std::vector<ui::Node*> roots{top};
    if (forms::Form* strip = application.overlay(forms::OverlaySlot::CallStrip);
        strip != nullptr && application.stack_area().top > 0)
        roots.push_back(strip);
    std::vector<const ui::Node*> shown;
    const std::function<void(const ui::Node&)> collect = [&](const ui::Node& node) {
        if (!node.is_visible())
            return;
        if (node.name() == node_name && node.width() > 0 && node.height() > 0)
            shown.push_back(&node);
        for (std::size_t i = 0; i < node.child_count(); ++i)
            collect(node.child(i));
    };
    for (ui::Node* root : roots)
        collect(*root);
    const long count = static_cast<long>(shown.size());
    const long index = nth > 0 ? nth - 1 : count + nth;
    if (nth == 0 || index < 0 || index >= count)
        throw ScriptFailure("no node " + name + " is shown to tap on");
    return middle(*shown[static_cast<std::size_t>(index)]);
}

// --- lint ---------------------------------------------------------------------------

// The layout of the screen in front (and of the strip over it); the
// findings as lines.
std::vector<std::string> lint(Application& application) {
    std::vector<std::string> lines;
    forms::Form* top = application.top_form();
    if (top == nullptr)
        throw ScriptFailure("there is no screen to look at yet");
    ui::LintOptions options;
    options.screen = {0, 0, application.screen_width(), application.screen_height()};
    // A fingertip at the skin's scale: 40 design pixels, less a pixel of rounding.
    options.min_target = (40 << scale_shift(application.game().screen_info())) - 1;
    std::vector<forms::Form*> roots{top};
    forms::Form* strip = application.overlay(forms::OverlaySlot::CallStrip);
    if (strip != nullptr && strip->is_visible() && application.stack_area().top > 0)
        roots.push_back(strip);
    for (forms::Form* root : roots)
        for (const ui::LintFinding& finding : ui::lint_layout(*root, options))
            lines.push_back("lint: " + finding.describe());
    return lines;
}

void run_command(Runner& runner, Application& application, LineState& state,
                 const ScriptCommand& command) {
    using display::PointerAction;
    GameBase& game = runner.game();
    switch (command.op) {
    case ScriptOp::Wait:
        runner.wait(command.ms);
        break;
    case ScriptOp::Sleep:
        runner.pause(command.ms);
        break;
    case ScriptOp::Tap: {
        const ui::Point at = command.name.empty() ? ui::Point{command.x, command.y}
                                                  : tap_point(application, command.name);
        pointer(game, PointerAction::Down, at.x, at.y);
        runner.wait(kTapHoldMs);
        pointer(game, PointerAction::Up, at.x, at.y);
        break;
    }
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
            runner.wait(command.ms / steps);
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
        modem_command(runner, state, command);
        break;
    case ScriptOp::Phone:
        phone_command(runner, state, command);
        break;
    case ScriptOp::Expect:
        expect_command(runner, application, command);
        break;
    case ScriptOp::Lint:
        break; // run_headless_script reports its findings
    }
}

} // namespace

int run_headless_script(Application& application, const ParsedScript& script,
                        const std::string& script_name, ScriptClock clock) {
    Runner runner(application.game(), clock);
    LineState state; // let go here, while the Document still exists
    bool findings = false;
    for (const ScriptCommand& command : script.commands) {
        try {
            run_command(runner, application, state, command);
            if (command.op == ScriptOp::Lint) {
                for (const std::string& line : lint(application)) {
                    std::fprintf(stderr, "%s:%d: %s\n", script_name.c_str(), command.line,
                                 line.c_str());
                    findings = true;
                }
            }
        } catch (const ScriptFailure& failure) {
            std::fprintf(stderr, "%s:%d: %s\n", script_name.c_str(), command.line,
                         failure.message().c_str());
            return 1;
        }
    }
    return findings ? kLintFailed : 0;
}

} // namespace telvara::app
