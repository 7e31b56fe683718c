#pragma once
// The tick count: milliseconds on a steady clock, the time base of frames,
// timers and log lines.

#include <cstdint>

namespace telvara::platform {

std::uint32_t tick_count();

} // namespace telvara::platform
