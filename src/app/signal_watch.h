#pragma once
// Ending on SIGINT and SIGTERM as on closing the window: the signals are
// taken by a thread of their own (never by a handler interrupting whatever
// runs), which asks the application window to close, so the shut-down runs
// in its usual order: forms, telephone line, call log, log file. A second
// signal while that is under way ends the process at once.

#include "platform/messages.h"

#include <atomic>
#include <thread>

namespace telvara::app {

// Blocks SIGINT and SIGTERM for the calling thread and every thread it
// starts from here on. Call first thing, before any thread exists, so that
// no thread is left for the signals to kill the process through.
void block_termination_signals();

class SignalWatch {
  public:
    // Starts watching; `window` receives WM_CLOSE on the first signal.
    explicit SignalWatch(platform::TargetRef window);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

  private:
    void watch();

    platform::TargetRef m_window;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace telvara::app
