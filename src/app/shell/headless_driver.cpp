// The headless driver.
#include "app/shell/headless_driver.h"

#include "app/log.h"
#include "app/shell/application.h"
#include "app/shell/key_map.h"
#include "display/png_writer.h"
#include "ui/key_names.h"

#include <cstdio>
#include <filesystem>

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

void run_command(GameBase& game, const ScriptCommand& command) {
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
    }
}

} // namespace

int run_headless_script(Application& application, const ParsedScript& script,
                        const std::string& script_name) {
    GameBase& game = application.game();
    for (const ScriptCommand& command : script.commands) {
        try {
            run_command(game, command);
        } catch (const ScriptFailure& failure) {
            std::fprintf(stderr, "%s:%d: %s\n", script_name.c_str(), command.line,
                         failure.message().c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace telvara::app
