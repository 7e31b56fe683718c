#pragma once
// Keys: SDL key codes stand in for the device's virtual keys, and the virtual
// keys map onto the engine's key codes 0-68.
//
// Which SDL key plays which device key:
//   F1, F2              left and right soft key (also the SDL soft-key codes)
//   F3, F4              talk and end (also the SDL call and end-call codes)
//   F6, F7              volume up and down (also the media volume keys)
//   F8, keypad *, '*'   star
//   F9, '#'             hash
//   Escape, Backspace   back (code 11); the Android-style back key as Escape
//   Return, keypad Enter   enter
//   Menu (application)  context menu
//   digits, keypad digits, letters, cursor keys, Page Up/Down, Home, End,
//   Insert, Delete, Tab, Space, Shift, Ctrl, Alt: their own virtual keys.

#include <cstdint>
#include <optional>

namespace telvara::app {

// Virtual-key numbers of the device's keyboard driver.
namespace vk {
inline constexpr std::uint32_t Back = 8;
inline constexpr std::uint32_t Tab = 9;
inline constexpr std::uint32_t Return = 13;
inline constexpr std::uint32_t Shift = 16;
inline constexpr std::uint32_t Control = 17;
inline constexpr std::uint32_t Menu = 18; // Alt
inline constexpr std::uint32_t Escape = 27;
inline constexpr std::uint32_t Space = 32;
inline constexpr std::uint32_t Prior = 33;
inline constexpr std::uint32_t Next = 34;
inline constexpr std::uint32_t End = 35;
inline constexpr std::uint32_t Home = 36;
inline constexpr std::uint32_t Left = 37;
inline constexpr std::uint32_t Up = 38;
inline constexpr std::uint32_t Right = 39;
inline constexpr std::uint32_t Down = 40;
inline constexpr std::uint32_t Insert = 45;
inline constexpr std::uint32_t Delete = 46;
inline constexpr std::uint32_t Digit0 = 48;
inline constexpr std::uint32_t A = 65;
inline constexpr std::uint32_t Apps = 93;
inline constexpr std::uint32_t Numpad0 = 96;
inline constexpr std::uint32_t Multiply = 106;
inline constexpr std::uint32_t Add = 107;
inline constexpr std::uint32_t Subtract = 109;
inline constexpr std::uint32_t Decimal = 110;
inline constexpr std::uint32_t Divide = 111;
inline constexpr std::uint32_t F1 = 112;
inline constexpr std::uint32_t F2 = 113;
inline constexpr std::uint32_t F3 = 114;
inline constexpr std::uint32_t F4 = 115;
inline constexpr std::uint32_t F6 = 117;
inline constexpr std::uint32_t F7 = 118;
inline constexpr std::uint32_t F8 = 119;
inline constexpr std::uint32_t F9 = 120;
} // namespace vk

// The virtual key an SDL key code stands for; 0 for keys the device lacks.
std::uint32_t virtual_key_for_sdl(std::int32_t sdl_key);

// The engine key code of a virtual key (0 for any other key).
std::int32_t key_code_for_virtual_key(std::uint32_t virtual_key);

// The soft keys arrive as hot keys, not as key presses.
bool is_soft_key(std::uint32_t virtual_key);

// The SDL key a driver presses to produce an engine key code: the first
// virtual key of the table with that code, as SDL reports it. Nothing for
// codes no key produces (0, "Esc" 8, "SLIDE" 60).
std::optional<std::int32_t> sdl_key_for_code(std::int32_t code);

} // namespace telvara::app
