#pragma once
// Thread: the worker base. One body at a time; is_running() stays true until
// the body has returned, so the thread that started it can poll for the end
// and only then touch what the body built.

#include <atomic>
#include <thread>

namespace telvara::forms {

class Thread {
  public:
    Thread() = default;
    // A derived class must wait() in its own destructor: the body uses it.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts run() unless a body is still held (running or not yet waited
    // for); true when a thread was started.
    bool start();
    bool is_running() const { return m_running.load(std::memory_order_acquire); }
    // Blocks until the body has returned and lets the thread go. Nothing to do
    // when no thread is held.
    void wait();

  protected:
    virtual void run() = 0;

  private:
    std::thread m_thread;
    std::atomic<bool> m_running = false;
};

} // namespace telvara::forms
