#pragma once
// Message numbers. The system ones keep their Windows values so that every
// table and log line written against them stays true; the program's own sit
// above WM_USER.

#include <cstdint>

namespace telvara::platform {

inline constexpr std::uint32_t WM_DESTROY = 0x0002;
inline constexpr std::uint32_t WM_ACTIVATE = 0x0006;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_QUIT = 0x0012;
inline constexpr std::uint32_t WM_COPYDATA = 0x004A;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;
inline constexpr std::uint32_t WM_TIMER = 0x0113;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_CAPTURECHANGED = 0x0215;
inline constexpr std::uint32_t WM_HOTKEY = 0x0312;
inline constexpr std::uint32_t WM_USER = 0x0400;

// The active-object scheduler's hidden window: run the ready objects.
inline constexpr std::uint32_t WM_PROCESS_ACTIVES = WM_USER + 5;
// A MessageScheduler message; the first parameter carries its number.
inline constexpr std::uint32_t WM_SCHEDULED_MESSAGE = WM_USER + 7;
// Hand the next command line received from a second start to the listener.
inline constexpr std::uint32_t WM_NEXT_COMMAND_LINE = WM_USER + 34;
// A program a hand-off started has ended (wparam: the hand-off, lparam: its
// exit status).
inline constexpr std::uint32_t WM_HAND_OFF_ENDED = WM_USER + 61;

// The timer ids the program uses on its windows.
inline constexpr std::uintptr_t SCHEDULER_TIMER_ID = 1;
inline constexpr std::uintptr_t FRAME_TIMER_ID = 2;

} // namespace telvara::platform
