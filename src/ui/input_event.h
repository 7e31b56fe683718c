#pragma once
// Pointer and key events as they travel through the node tree.

#include <cstdint>

namespace telvara::ui {

enum class PointerKind : std::uint8_t { Down, Move, Up };

struct PointerEvent {
    std::int32_t x = 0; // screen coordinates
    std::int32_t y = 0;
    PointerKind kind = PointerKind::Down;
    bool cancelled = false; // the gesture ends without a click

    // The pointer is (still) down.
    bool is_pressed() const { return kind != PointerKind::Up; }
};

struct KeyEvent {
    std::int32_t code = 0; // engine key code, 0 = none
    bool pressed = true;   // false on release
    bool first = true;     // false for auto-repeated presses
};

} // namespace telvara::ui
