#pragma once
// A message pump that gives up after ten seconds instead of hanging.
#include "platform/messages.h"

#include <chrono>
#include <functional>

namespace telvara::test {

// `done` may turn true on another thread without a message, so it is polled every few ms.
inline bool pump_until(const std::function<bool()>& done,
                       const std::function<void(platform::Message&)>& offer = {}) {
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        platform::wait(5ms);
        platform::Message message;
        while (platform::peek(message, platform::Peek::remove)) {
            if (offer)
                offer(message);
            platform::dispatch(message);
        }
    }
    return true;
}

} // namespace telvara::test
