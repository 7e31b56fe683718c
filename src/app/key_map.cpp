// The key tables.
#include "app/key_map.h"

#include <SDL_keycode.h>

namespace telvara::app {

std::uint32_t virtual_key_for_sdl(std::int32_t sdl_key) {
    if (sdl_key >= SDLK_0 && sdl_key <= SDLK_9)
        return vk::Digit0 + std::uint32_t(sdl_key - SDLK_0);
    if (sdl_key >= SDLK_a && sdl_key <= SDLK_z)
        return vk::A + std::uint32_t(sdl_key - SDLK_a);
    // SDL numbers the keypad 1-9 then 0.
    if (sdl_key >= SDLK_KP_1 && sdl_key <= SDLK_KP_9)
        return vk::Numpad0 + 1 + std::uint32_t(sdl_key - SDLK_KP_1);
    if (sdl_key >= SDLK_F1 && sdl_key <= SDLK_F12)
        return vk::F1 + std::uint32_t(sdl_key - SDLK_F1);
    switch (sdl_key) {
    case SDLK_BACKSPACE:
        return vk::Back;
    case SDLK_TAB:
        return vk::Tab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return vk::Return;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return vk::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return vk::Control;
    case SDLK_LALT:
    case SDLK_RALT:
        return vk::Menu;
    case SDLK_ESCAPE:
    case SDLK_AC_BACK:
        return vk::Escape;
    case SDLK_SPACE:
        return vk::Space;
    case SDLK_PAGEUP:
        return vk::Prior;
    case SDLK_PAGEDOWN:
        return vk::Next;
    case SDLK_END:
        return vk::End;
    case SDLK_HOME:
        return vk::Home;
    case SDLK_LEFT:
        return vk::Left;
    case SDLK_UP:
        return vk::Up;
    case SDLK_RIGHT:
        return vk::Right;
    case SDLK_DOWN:
        return vk::Down;
    case SDLK_INSERT:
        return vk::Insert;
    case SDLK_DELETE:
        return vk::Delete;
    case SDLK_APPLICATION:
    case SDLK_MENU:
        return vk::Apps;
    case SDLK_KP_0:
        return vk::Numpad0;
    case SDLK_KP_MULTIPLY:
    case SDLK_ASTERISK:
        return vk::Multiply;
    case SDLK_KP_PLUS:
        return vk::Add;
    case SDLK_KP_MINUS:
        return vk::Subtract;
    case SDLK_KP_PERIOD:
        return vk::Decimal;
    case SDLK_KP_DIVIDE:
        return vk::Divide;
    case SDLK_HASH:
        return vk::F9;
    case SDLK_SOFTLEFT:
        return vk::F1;
    case SDLK_SOFTRIGHT:
        return vk::F2;
    case SDLK_CALL:
        return vk::F3;
    case SDLK_ENDCALL:
        return vk::F4;
    case SDLK_VOLUMEUP:
        return vk::F6;
    case SDLK_VOLUMEDOWN:
        return vk::F7;
    default:
        return 0;
    }
}

std::int32_t key_code_for_virtual_key(std::uint32_t key) {
    if (key >= vk::Digit0 && key <= vk::Digit0 + 9)
        return 46 + std::int32_t(key - vk::Digit0);
    if (key >= vk::Numpad0 && key <= vk::Numpad0 + 9)
        return 46 + std::int32_t(key - vk::Numpad0);
    if (key >= vk::A && key <= vk::A + 25)
        return 20 + std::int32_t(key - vk::A);
    switch (key) {
    case vk::Back:
    case vk::Escape:
        return 11;
    case vk::Tab:
        return 18;
    case vk::Return:
        return 9;
    case vk::Shift:
        return 1;
    case vk::Control:
        return 2;
    case vk::Menu:
        return 3;
    case vk::Space:
        return 10;
    case vk::Prior:
        return 17;
    case vk::Next:
        return 16;
    case vk::End:
        return 15;
    case vk::Home:
        return 14;
    case vk::Left:
        return 4;
    case vk::Up:
        return 6;
    case vk::Right:
        return 5;
    case vk::Down:
        return 7;
    case vk::Insert:
        return 13;
    case vk::Delete:
        return 12;
    case vk::Apps:
        return 19;
    case vk::Multiply:
    case vk::F8:
        return 56;
    case vk::Add:
        return 65;
    case vk::Subtract:
        return 66;
    case vk::Decimal:
        return 67;
    case vk::Divide:
        return 68;
    case vk::F1:
        return 61;
    case vk::F2:
        return 62;
    case vk::F3:
        return 58;
    case vk::F4:
        return 59;
    case vk::F6:
        return 63;
    case vk::F7:
        return 64;
    case vk::F9:
        return 57;
    default:
        return 0;
    }
}

bool is_soft_key(std::uint32_t virtual_key) {
    return virtual_key == vk::F1 || virtual_key == vk::F2;
}

std::optional<std::int32_t> sdl_key_for_code(std::int32_t code) {
    // Candidates in table order; the first that maps to the code wins.
    static constexpr std::int32_t kCandidates[] = {
        SDLK_BACKSPACE, SDLK_TAB,       SDLK_RETURN,      SDLK_LSHIFT,   SDLK_LCTRL,
        SDLK_LALT,      SDLK_SPACE,     SDLK_PAGEUP,      SDLK_PAGEDOWN, SDLK_END,
        SDLK_HOME,      SDLK_LEFT,      SDLK_UP,          SDLK_RIGHT,    SDLK_DOWN,
        SDLK_INSERT,    SDLK_DELETE,    SDLK_APPLICATION, SDLK_F8,       SDLK_KP_PLUS,
        SDLK_KP_MINUS,  SDLK_KP_PERIOD, SDLK_KP_DIVIDE,   SDLK_F1,       SDLK_F2,
        SDLK_F3,        SDLK_F4,        SDLK_F6,          SDLK_F7,       SDLK_F9,
    };
    if (code >= 46 && code <= 55)
        return SDLK_0 + (code - 46);
    if (code >= 20 && code <= 45)
        return SDLK_a + (code - 20);
    if (code <= 0)
        return std::nullopt;
    for (std::int32_t key : kCandidates)
        if (key_code_for_virtual_key(virtual_key_for_sdl(key)) == code)
            return key;
    return std::nullopt;
}

} // namespace telvara::app
