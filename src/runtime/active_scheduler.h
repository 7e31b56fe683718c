#pragma once
// Active objects: work that completes later (a timer, a request finished by
// another thread) runs as an object's run() on the UI thread, delivered
// through a hidden message target of the scheduler.

#include "platform/messages.h"
#include "platform/text.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace telvara::runtime {

class CActive {
  public:
    CActive();
    // Ends the process when the object is still marked active.
    virtual ~CActive();
    CActive(const CActive&) = delete;
    CActive& operator=(const CActive&) = delete;

    virtual void run() = 0;

    bool is_active() const { return m_active.load(); }
    // Process-unique, written into the error messages.
    std::uint32_t number() const { return m_number; }

  private:
    friend class CActiveScheduler;

    std::atomic<bool> m_active{false};
    std::uint32_t m_number = 0;
    std::uint32_t m_due = 0; // tick count, while waiting as a timer
};

class CActiveScheduler {
  public:
    // Creates the hidden target "CActive" + window_class on the calling
    // thread, which becomes the thread that runs the objects.
    explicit CActiveScheduler(WStringView window_class);
    // Ends the process when objects are still marked active.
    ~CActiveScheduler();
    CActiveScheduler(const CActiveScheduler&) = delete;
    CActiveScheduler& operator=(const CActiveScheduler&) = delete;

    void set_active(CActive& object);
    // Any thread: the marked object's run becomes due.
    void notify(CActive& object);
    void process_actives();
    void process_timers();
    // Runs the object after the given time (rounded to milliseconds).
    void after(CActive& object, double seconds);
    // A waiting timer object becomes due now.
    void run_now(CActive& object);
    // Takes a marked object back; it will not run.
    void cancel(CActive& object);

    int active_count() const { return m_active_counter.load(); }
    platform::TargetRef window() const { return m_window.ref(); }

  private:
    std::intptr_t window_procedure(platform::Message& message);
    bool take_ready(CActive& object);
    void unmark(CActive& object);

    std::mutex m_mutex; // guards m_ready
    std::atomic<int> m_active_counter{0};
    std::deque<CActive*> m_ready;
    std::vector<CActive*> m_timers; // UI thread only, in insertion order
    platform::MessageTarget m_window;
};

} // namespace telvara::runtime
