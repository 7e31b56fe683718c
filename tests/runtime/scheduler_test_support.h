#pragma once
// A message pump that gives up (after ten seconds unless told) instead of hanging.
#include "platform/messages.h"
#include <chrono>
#include <functional>

namespace telvara::test {
// `done` may turn true on another thread without a message, so it is polled every few ms.
inline bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit,
                       const std::function<void(platform::Message&)>& offer = {}) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        platform::wait(std::chrono::milliseconds(5));
        platform::Message message;
        while (platform::peek(message, platform::Peek::remove)) {
            if (offer)
                offer(message);
            platform::dispatch(message);
        }
    }
    return true;
}
inline bool pump_until(const std::function<bool()>& done,
                       const std::function<void(platform::Message&)>& offer = {}) {
    return pump_until(done, std::chrono::seconds(10), offer);
}
// Lets the loop run for a while (what must not happen has its chance).
inline void pump_for(std::chrono::milliseconds time) {
    pump_until([] { return false; }, time);
}

} // namespace telvara::test
