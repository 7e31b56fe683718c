#include "platform/clock.h"

#include <chrono>

namespace telvara::platform {

std::uint32_t tick_count() {
    using namespace std::chrono;
    // Wraps after 49.7 days like the tick count it stands in for; callers
    // compare differences, which stay right across the wrap.
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace telvara::platform
