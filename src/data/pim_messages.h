#pragma once
// The contact store's change messages. Their numbers are those of the
// personal-information store the program was first written against, so that
// every log line and dispatch table keyed by them stays true. The message's
// parameter is the contact's oid.

#include <cstdint>

namespace telvara::data {

inline constexpr std::uint32_t WM_APP = 0x8000;

// Written by this process (this store's connection).
inline constexpr std::uint32_t PIM_ITEM_CREATED_LOCAL = WM_APP + 0x100;
inline constexpr std::uint32_t PIM_ITEM_DELETED_LOCAL = WM_APP + 0x101;
inline constexpr std::uint32_t PIM_ITEM_CHANGED_LOCAL = WM_APP + 0x102;
// Written by another process.
inline constexpr std::uint32_t PIM_ITEM_CREATED_REMOTE = WM_APP + 0x105;
inline constexpr std::uint32_t PIM_ITEM_DELETED_REMOTE = WM_APP + 0x106;
inline constexpr std::uint32_t PIM_ITEM_CHANGED_REMOTE = WM_APP + 0x107;

} // namespace telvara::data
