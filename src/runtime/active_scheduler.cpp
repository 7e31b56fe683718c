// Active objects and their scheduler: marking, the ready list, the timer list
// and the hidden target that runs them on the UI thread.

#include "runtime/active_scheduler.h"

#include "platform/clock.h"
#include "runtime/fatal_error.h"

#include <algorithm>
#include <cmath>

namespace telvara::runtime {

namespace {

// "No timer waits": the longest wait process_timers ever arms.
constexpr std::int64_t kNoWait = 10'000'000;
// Keeps due - now within the signed range of the 32-bit tick count.
constexpr std::int64_t kLongestDelay = 2'000'000'000;

std::uint32_t next_object_number() {
    static std::atomic<std::uint32_t> counter{0};
    return ++counter;
}

WString active_object(const CActive& object, WStringView what) {
    return u"Active object " + to_wstring(object.number()) + WString(what);
}

} // namespace

CActive::CActive() : m_number(next_object_number()) {}

CActive::~CActive() {
    if (m_active.load())
        fatal_error(u"CActive::~CActive()", active_object(*this, u" is already active"));
}

CActiveScheduler::CActiveScheduler(WStringView window_class)
    : m_window(u"CActive" + WString(window_class),
               [this](platform::Message& message) { return window_procedure(message); }) {}

CActiveScheduler::~CActiveScheduler() {
    if (int counter = m_active_counter.load(); counter != 0)
        fatal_error(u"", u"Some active objects still live while scheduler is terminating "
                         u"active_counter=" +
                             to_wstring(counter));
}

std::intptr_t CActiveScheduler::window_procedure(platform::Message& message) {
    if (message.id == platform::WM_PROCESS_ACTIVES)
        process_actives();
    else if (message.id == platform::WM_TIMER && message.wparam == platform::SCHEDULER_TIMER_ID)
        process_timers();
    return 0;
}

void CActiveScheduler::set_active(CActive& object) {
    if (object.m_active.exchange(true))
        fatal_error(u"CActiveScheduler::set_active()",
                    u"Object " + to_wstring(object.number()) + u" is already active");
    ++m_active_counter;
}

void CActiveScheduler::notify(CActive& object) {
    if (!object.m_active.load())
        fatal_error(u"CActiveScheduler::notify()", active_object(object, u" is not active"));
    std::lock_guard lock(m_mutex);
    m_ready.push_back(&object);
    platform::post(m_window.ref(), platform::WM_PROCESS_ACTIVES);
}

void CActiveScheduler::process_actives() {
    for (;;) {
        CActive* object = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_ready.empty())
                return;
            object = m_ready.front();
            m_ready.pop_front();
        }
        if (!object->m_active.load())
            fatal_error(u"CActiveScheduler::process_actives()",
                        active_object(*object, u" is not marked active"));
        unmark(*object);
        object->run();
    }
}

void CActiveScheduler::process_timers() {
    platform::kill_timer(m_window.ref(), platform::SCHEDULER_TIMER_ID);
    const std::uint32_t now = platform::tick_count();
    std::int64_t shortest = kNoWait;
    bool waiting = false;
    // notify() never touches the timer list, so erasing while walking is safe.
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        CActive& object = **it;
        const std::int64_t left = static_cast<std::int32_t>(object.m_due - now);
        if (left < 1) {
            it = m_timers.erase(it);
            notify(object);
        } else {
            shortest = std::min(shortest, left);
            waiting = true;
            ++it;
        }
    }
    // A wait beyond the sentinel is re-examined after it rather than dropped.
    if (waiting)
        platform::set_timer(m_window.ref(), platform::SCHEDULER_TIMER_ID,
                            static_cast<std::uint32_t>(shortest));
}

void CActiveScheduler::after(CActive& object, double seconds) {
    cancel(object);
    // Negative, huge and NaN delays are clamped rather than left to overflow.
    double ms = seconds * 1000 + 0.5;
    if (!(ms > 0))
        ms = 0;
    const auto delay = static_cast<std::int64_t>(std::min(ms, double(kLongestDelay)));
    object.m_due = platform::tick_count() + static_cast<std::uint32_t>(delay);
    set_active(object);
    m_timers.push_back(&object);
    process_timers();
}

void CActiveScheduler::run_now(CActive& object) {
    if (std::find(m_timers.begin(), m_timers.end(), &object) != m_timers.end())
        object.m_due = platform::tick_count();
    process_timers();
}

void CActiveScheduler::cancel(CActive& object) {
    if (!object.m_active.load())
        return;
    // Still waiting for its time: nothing will notify it, take it back now.
    if (auto it = std::find(m_timers.begin(), m_timers.end(), &object); it != m_timers.end()) {
        m_timers.erase(it);
        unmark(object);
        return;
    }
    // Its completion is still on the way (possibly from another thread):
    // wait for the notification, then take it out of the ready list.
    bool taken = false;
    while (!take_ready(object)) {
        platform::Message message;
        platform::wait_for(m_window.ref(), platform::WM_PROCESS_ACTIVES, message);
        taken = true;
    }
    unmark(object);
    if (taken)
        platform::post(m_window.ref(), platform::WM_PROCESS_ACTIVES);
}

bool CActiveScheduler::take_ready(CActive& object) {
    std::lock_guard lock(m_mutex);
    auto it = std::find(m_ready.begin(), m_ready.end(), &object);
    if (it == m_ready.end())
        return false;
    m_ready.erase(it);
    return true;
}

void CActiveScheduler::unmark(CActive& object) {
    object.m_active = false;
    --m_active_counter;
}

} // namespace telvara::runtime
