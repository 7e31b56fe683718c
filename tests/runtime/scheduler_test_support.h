#pragma once
// Shared by the scheduler tests: a message pump that gives up instead of
// hanging when what it waits for never happens.

#include "platform/messages.h"

#include <chrono>
#include <functional>

namespace telvara::test {

// Dispatches this thread's messages until `done` holds; false after ten
// seconds. `done` may be made true by another thread without any message, so
// it is looked at again every few milliseconds.
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
