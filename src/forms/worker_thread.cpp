// The worker base.
#include "forms/worker_thread.h"

#include <system_error>

namespace telvara::forms {

Thread::~Thread() {
    wait();
}

bool Thread::start() {
    if (m_thread.joinable())
        return false;
    m_running.store(true, std::memory_order_release);
    try {
        m_thread = std::thread([this] {
            run();
            // Everything run() wrote is visible to whoever sees this.
            m_running.store(false, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        m_running.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void Thread::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace telvara::forms
