// The key table from the SDL key to the engine's code, and the reverse look-up the
// script driver uses: every code a key produces maps back to it.
#include "app/key_map.h"
#include <SDL_keycode.h>
#include <gtest/gtest.h>
namespace telvara::app {
namespace {
std::int32_t code_of(std::int32_t sdl_key) {
    return key_code_for_virtual_key(virtual_key_for_sdl(sdl_key));
}
// The aliases: several keys for one device key; digits and letters by range.
TEST(KeyMap, SdlKeysStandForTheDeviceKeys) {
    // clang-format off
    const std::pair<std::int32_t, std::int32_t> keys[] = {
        {SDLK_F1, 61}, {SDLK_SOFTLEFT, 61}, {SDLK_F2, 62}, {SDLK_SOFTRIGHT, 62}, {SDLK_F3, 58},
        {SDLK_CALL, 58}, {SDLK_F4, 59}, {SDLK_ENDCALL, 59}, {SDLK_F6, 63}, {SDLK_VOLUMEUP, 63},
        {SDLK_F7, 64}, {SDLK_VOLUMEDOWN, 64}, {SDLK_F8, 56}, {SDLK_ASTERISK, 56},
        {SDLK_KP_MULTIPLY, 56}, {SDLK_F9, 57}, {SDLK_HASH, 57}, {SDLK_ESCAPE, 11},
        {SDLK_BACKSPACE, 11}, {SDLK_AC_BACK, 11}, {SDLK_RETURN, 9}, {SDLK_KP_ENTER, 9},
        {SDLK_RSHIFT, 1}, {SDLK_RCTRL, 2}, {SDLK_RALT, 3}, {SDLK_APPLICATION, 19},
        {SDLK_KP_PLUS, 65}, {SDLK_KP_DIVIDE, 68},
        // The keypad runs 1-9 then 0 in SDL; the engine's digits do not care.
        {SDLK_KP_0, 46}, {SDLK_KP_1, 47}, {SDLK_KP_9, 55}, {SDLK_0, 46}, {SDLK_9, 55},
        {SDLK_a, 20}, {SDLK_z, 45}, {SDLK_F5, 0}, {SDLK_CAPSLOCK, 0}};
    // clang-format on
    for (const auto& [sdl, code] : keys)
        EXPECT_EQ(code_of(sdl), code) << "SDL key " << sdl;
    EXPECT_EQ(virtual_key_for_sdl(SDLK_F5), 116u); // a key the table leaves at 0
    EXPECT_EQ(virtual_key_for_sdl(SDLK_CAPSLOCK), 0u);
    for (std::uint32_t vk : {0u, 1u, 10u, 19u, 31u, 41u, 47u, 58u, 64u, 91u, 94u, 108u, 116u, 121u,
                             123u, 255u, 0xFFFFu})
        EXPECT_EQ(key_code_for_virtual_key(vk), 0) << "virtual key " << vk;
    EXPECT_TRUE(is_soft_key(virtual_key_for_sdl(SDLK_F1)));
    EXPECT_TRUE(is_soft_key(virtual_key_for_sdl(SDLK_F2)));
    EXPECT_FALSE(is_soft_key(virtual_key_for_sdl(SDLK_F3)));
}

TEST(KeyMap, EveryProducibleCodeHasAnSdlKeyThatMapsBack) {
    for (std::int32_t code = -1; code < 70; ++code) {
        const auto key = sdl_key_for_code(code);
        // "Esc" and "SLIDE" no key produces; nor codes out of the table.
        if (code < 1 || code > 68 || code == 8 || code == 60) {
            EXPECT_FALSE(key) << code;
            continue;
        }
        ASSERT_TRUE(key) << code;
        EXPECT_EQ(code_of(*key), code);
    }
}
} // namespace
} // namespace telvara::app
