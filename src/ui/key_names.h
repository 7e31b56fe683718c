#pragma once
// The engine's key codes 0-68 and their names, the words a skin's "bind_key"
// and the headless scripts use ("Left", "5", "CALL_MAKE").

#include "platform/text.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace telvara::ui {

inline constexpr std::int32_t kKeyCodeCount = 69;

// Named codes the program refers to directly.
namespace key {
inline constexpr std::int32_t None = 0;
inline constexpr std::int32_t Left = 4;
inline constexpr std::int32_t Right = 5;
inline constexpr std::int32_t Up = 6;
inline constexpr std::int32_t Down = 7;
inline constexpr std::int32_t Esc = 8;
inline constexpr std::int32_t Enter = 9;
inline constexpr std::int32_t Backspace = 11;
inline constexpr std::int32_t A = 20;
inline constexpr std::int32_t Digit0 = 46;
inline constexpr std::int32_t Star = 56;
inline constexpr std::int32_t Hash = 57;
inline constexpr std::int32_t CallMake = 58;
inline constexpr std::int32_t CallEnd = 59;
inline constexpr std::int32_t SoftLeft = 61;
inline constexpr std::int32_t SoftRight = 62;
} // namespace key

// The name of a code; empty outside 0-68.
std::string_view key_name(std::int32_t code);

// The code of a name, matched exactly (case-sensitive, whole string);
// nothing for an unknown name. "None" is code 0.
std::optional<std::int32_t> key_code(std::string_view name);
std::optional<std::int32_t> key_code(WStringView name);

} // namespace telvara::ui
