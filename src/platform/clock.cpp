#include "platform/clock.h"

#include <chrono>

namespace telvara::platform {

namespace {

std::atomic<const VirtualClock*> g_virtual{nullptr};

} // namespace

std::int64_t clock_ms() {
    if (const VirtualClock* clock = g_virtual.load(std::memory_order_acquire))
        return clock->now_ms();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::uint32_t tick_count() {
    return static_cast<std::uint32_t>(clock_ms());
}

ScopedVirtualClock::ScopedVirtualClock(VirtualClock& clock) {
    g_virtual.store(&clock, std::memory_order_release);
}

ScopedVirtualClock::~ScopedVirtualClock() {
    g_virtual.store(nullptr, std::memory_order_release);
}

} // namespace telvara::platform
