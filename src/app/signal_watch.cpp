#include "app/signal_watch.h"

#include "platform/clock.h"
#include "platform/message_ids.h"
#include "runtime/log.h"

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <pthread.h>

namespace telvara::app {

namespace {

sigset_t termination_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void block_termination_signals() {
    const sigset_t set = termination_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatch::SignalWatch(platform::TargetRef window)
    : m_window(std::move(window)), m_thread([this] { watch(); }) {}

SignalWatch::~SignalWatch() {
    m_stop = true;
    m_thread.join();
}

void SignalWatch::watch() {
    const sigset_t set = termination_signals();
    // Waits in short steps so that the destructor is never kept waiting.
    const timespec step{0, 100'000'000};
    bool closing = false;
    while (!m_stop) {
        const int signal = sigtimedwait(&set, nullptr, &step);
        if (signal < 0)
            continue;
        if (closing)
            std::_Exit(128 + signal);
        closing = true;
        runtime::log() << platform::tick_count() << u" signal " << signal << u": closing\n";
        platform::post(m_window, platform::WM_CLOSE);
    }
}

} // namespace telvara::app
