// The per-thread queues behind the message functions. Each queue has one
// mutex and one condition variable; only its own thread ever waits on it, for
// its next message and for the replies to its own sends.

#include "platform/messages.h"

#include "platform/clock.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace telvara::platform {

using Clock = std::chrono::steady_clock;

struct TargetSlot {
    std::weak_ptr<MessageQueue> owner;
    // Cleared when the target is destroyed; read from any thread.
    std::atomic<MessageTarget*> target{nullptr};
    WString name;
};

namespace {

// A send waiting for its reply; the sender's queue guards `result` and `done`.
struct SentMessage {
    Message message;
    QueueRef sender;
    std::intptr_t result = 0;
    bool done = false;
};

// Timers run on the program's clock (clock_ms), which a scripted run may
// replace by a virtual one; waits for them still sleep on the steady clock.
struct Timer {
    std::shared_ptr<TargetSlot> target;
    std::uintptr_t id = 0;
    std::int64_t interval = 0; // ms
    std::int64_t due = 0;      // clock_ms()
};

// When to wake on the steady clock for a timer due at `due` (program clock).
Clock::time_point wake_time(std::int64_t due) {
    return Clock::now() + std::chrono::milliseconds(std::max<std::int64_t>(0, due - clock_ms()));
}

// Restricts a retrieval to one message number of one target.
struct Filter {
    const TargetSlot* target = nullptr;
    std::uint32_t id = 0;

    bool matches(const TargetSlot* slot, std::uint32_t message_id) const {
        return slot == target && message_id == id;
    }
};

std::intptr_t call_target(const std::shared_ptr<TargetSlot>& slot, Message& message) {
    if (!slot)
        return 0;
    MessageTarget* target = slot->target.load();
    return target ? target->handle(message) : 0;
}

} // namespace

class MessageQueue {
  public:
    bool post(Message message) {
        {
            std::lock_guard lock(m_mutex);
            const auto& slot = message.target.slot();
            if (m_closed || (slot && !slot->target.load()))
                return false;
            m_posted.push_back(std::move(message));
        }
        m_cv.notify_all();
        return true;
    }

    bool enqueue_sent(std::shared_ptr<SentMessage> sent) {
        {
            std::lock_guard lock(m_mutex);
            if (m_closed || !sent->message.target.alive())
                return false;
            m_sent.push_back(std::move(sent));
        }
        m_cv.notify_all();
        return true;
    }

    // Called on the sender's queue by the thread that handled the send.
    void complete(SentMessage& sent, std::intptr_t result) {
        {
            std::lock_guard lock(m_mutex);
            sent.result = result;
            sent.done = true;
        }
        m_cv.notify_all();
    }

    std::intptr_t wait_reply(SentMessage& sent) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (sent.done)
                return sent.result;
            if (!m_sent.empty())
                handle_sent(lock);
            else
                m_cv.wait(lock);
        }
    }

    void quit(int exit_code) {
        {
            std::lock_guard lock(m_mutex);
            m_quit = exit_code;
        }
        m_cv.notify_all();
    }

    void wake() {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_cv.notify_all();
    }

    // Blocks until a message (matching the filter, if any) can be taken.
    void take(Message& out, const Filter* filter) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            handle_sent(lock);
            if (find(out, filter, Peek::remove, clock_ms()))
                return;
            if (auto due = next_due(filter))
                m_cv.wait_until(lock, wake_time(*due));
            else
                m_cv.wait(lock);
        }
    }

    bool peek(Message& out, Peek mode) {
        std::unique_lock lock(m_mutex);
        handle_sent(lock);
        return find(out, nullptr, mode, clock_ms());
    }

    bool wait(std::chrono::milliseconds timeout) {
        // A day stands for "forever" and keeps the deadline arithmetic finite.
        const auto limit = std::chrono::milliseconds(24 * 3600 * 1000);
        const auto deadline = Clock::now() + std::clamp(timeout, decltype(timeout)::zero(), limit);
        std::unique_lock lock(m_mutex);
        for (;;) {
            auto now = Clock::now();
            if (m_woken) {
                m_woken = false;
                return true;
            }
            auto due = next_due(nullptr);
            if (!m_sent.empty() || !m_posted.empty() || m_quit || (due && *due <= clock_ms()))
                return true;
            if (now >= deadline)
                return false;
            m_cv.wait_until(lock, due ? std::min(wake_time(*due), deadline) : deadline);
        }
    }

    void set_timer(const std::shared_ptr<TargetSlot>& target, std::uintptr_t id,
                   std::chrono::milliseconds interval) {
        // A zero interval would fire on every turn of the loop.
        interval = std::max(interval, std::chrono::milliseconds(1));
        {
            std::lock_guard lock(m_mutex);
            if (m_closed || !target->target.load())
                return;
            auto due = clock_ms() + interval.count();
            auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& timer) {
                return timer.target == target && timer.id == id;
            });
            if (it != m_timers.end()) {
                it->interval = interval.count();
                it->due = due;
            } else {
                m_timers.push_back(Timer{target, id, interval.count(), due});
            }
        }
        m_cv.notify_all();
    }

    bool kill_timer(const TargetSlot* target, std::uintptr_t id) {
        std::lock_guard lock(m_mutex);
        return std::erase_if(m_timers, [&](const Timer& timer) {
                   return timer.target.get() == target && timer.id == id;
               }) > 0;
    }

    // The target is gone: drop what waits for it, answer its senders with 0.
    void forget(const TargetSlot* target) {
        std::deque<std::shared_ptr<SentMessage>> orphans;
        {
            std::lock_guard lock(m_mutex);
            std::erase_if(m_posted, [&](const Message& message) {
                return message.target.slot().get() == target;
            });
            std::erase_if(m_timers,
                          [&](const Timer& timer) { return timer.target.get() == target; });
            auto moved = std::stable_partition(m_sent.begin(), m_sent.end(), [&](const auto& sent) {
                return sent->message.target.slot().get() != target;
            });
            orphans.assign(moved, m_sent.end());
            m_sent.erase(moved, m_sent.end());
        }
        for (auto& sent : orphans)
            sent->sender->complete(*sent, 0);
    }

    // The owning thread ends: nothing more arrives, nobody waits in vain.
    void close() {
        std::deque<std::shared_ptr<SentMessage>> orphans;
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
            m_posted.clear();
            m_timers.clear();
            orphans.swap(m_sent);
        }
        for (auto& sent : orphans)
            sent->sender->complete(*sent, 0);
    }

  private:
    // Runs the messages sent to this thread; the lock is released meanwhile.
    void handle_sent(std::unique_lock<std::mutex>& lock) {
        while (!m_sent.empty()) {
            auto sent = std::move(m_sent.front());
            m_sent.pop_front();
            lock.unlock();
            auto result = call_target(sent->message.target.slot(), sent->message);
            sent->sender->complete(*sent, result);
            lock.lock();
        }
    }

    bool find(Message& out, const Filter* filter, Peek mode, std::int64_t now) {
        auto posted = std::find_if(m_posted.begin(), m_posted.end(), [&](const Message& message) {
            return !filter || filter->matches(message.target.slot().get(), message.id);
        });
        if (posted != m_posted.end()) {
            if (mode == Peek::remove) {
                out = std::move(*posted);
                m_posted.erase(posted);
            } else {
                out = *posted;
            }
            return true;
        }
        if (!filter && m_quit) {
            out = Message{};
            out.id = WM_QUIT;
            out.wparam = static_cast<std::uintptr_t>(*m_quit);
            if (mode == Peek::remove)
                m_quit.reset();
            return true;
        }
        Timer* earliest = nullptr;
        for (auto& timer : m_timers) {
            if (timer.due <= now && matches(filter, timer) &&
                (!earliest || timer.due < earliest->due))
                earliest = &timer;
        }
        if (!earliest)
            return false;
        out = Message{};
        out.target = TargetRef(earliest->target);
        out.id = WM_TIMER;
        out.wparam = earliest->id;
        if (mode == Peek::remove) {
            // Keep the beat, but never queue up missed periods.
            earliest->due += earliest->interval;
            if (earliest->due <= now)
                earliest->due = now + earliest->interval;
        }
        return true;
    }

    static bool matches(const Filter* filter, const Timer& timer) {
        return !filter || filter->matches(timer.target.get(), WM_TIMER);
    }

    std::optional<std::int64_t> next_due(const Filter* filter) const {
        std::optional<std::int64_t> due;
        for (const auto& timer : m_timers) {
            if (matches(filter, timer) && (!due || timer.due < *due))
                due = timer.due;
        }
        return due;
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Message> m_posted;
    std::deque<std::shared_ptr<SentMessage>> m_sent;
    std::vector<Timer> m_timers;
    std::optional<int> m_quit;
    bool m_woken = false;
    bool m_closed = false;
};

namespace {

// Closes the thread's queue when the thread ends.
struct ThreadQueue {
    QueueRef queue;
    ~ThreadQueue() {
        if (queue)
            queue->close();
    }
};

thread_local ThreadQueue t_queue;

QueueRef owner_of(const TargetRef& target) {
    return target.slot() ? target.slot()->owner.lock() : nullptr;
}

} // namespace

bool TargetRef::alive() const {
    return m_slot && m_slot->target.load() != nullptr;
}

const WString& TargetRef::name() const {
    static const WString none;
    return m_slot ? m_slot->name : none;
}

MessageTarget::MessageTarget(WString class_name, Procedure procedure)
    : m_slot(std::make_shared<TargetSlot>()), m_procedure(std::move(procedure)) {
    m_slot->owner = this_thread_queue();
    m_slot->name = std::move(class_name);
    m_slot->target = this;
}

MessageTarget::~MessageTarget() {
    m_slot->target = nullptr;
    if (auto owner = m_slot->owner.lock())
        owner->forget(m_slot.get());
}

const WString& MessageTarget::name() const {
    return m_slot->name;
}

std::intptr_t MessageTarget::handle(Message& message) {
    return m_procedure ? m_procedure(message) : 0;
}

QueueRef this_thread_queue() {
    if (!t_queue.queue)
        t_queue.queue = std::make_shared<MessageQueue>();
    return t_queue.queue;
}

bool post(Message message) {
    auto owner = owner_of(message.target);
    return owner && owner->post(std::move(message));
}

bool post(const TargetRef& target, std::uint32_t id, std::uintptr_t wparam, std::intptr_t lparam) {
    Message message;
    message.target = target;
    message.id = id;
    message.wparam = wparam;
    message.lparam = lparam;
    return post(std::move(message));
}

bool post_thread(const QueueRef& queue, Message message) {
    message.target = TargetRef();
    return queue && queue->post(std::move(message));
}

std::intptr_t send(Message message) {
    auto owner = owner_of(message.target);
    if (!owner)
        return 0;
    auto self = this_thread_queue();
    if (owner == self)
        return call_target(message.target.slot(), message);
    auto sent = std::make_shared<SentMessage>();
    sent->message = std::move(message);
    sent->sender = self;
    if (!owner->enqueue_sent(sent))
        return 0;
    return self->wait_reply(*sent);
}

std::intptr_t send(const TargetRef& target, std::uint32_t id, std::uintptr_t wparam,
                   std::intptr_t lparam) {
    Message message;
    message.target = target;
    message.id = id;
    message.wparam = wparam;
    message.lparam = lparam;
    return send(std::move(message));
}

void post_quit(int exit_code) {
    this_thread_queue()->quit(exit_code);
}

void post_quit(const QueueRef& queue, int exit_code) {
    if (queue)
        queue->quit(exit_code);
}

bool get(Message& out) {
    this_thread_queue()->take(out, nullptr);
    return out.id != WM_QUIT;
}

bool peek(Message& out, Peek mode) {
    return this_thread_queue()->peek(out, mode);
}

void wait_for(const TargetRef& target, std::uint32_t id, Message& out) {
    Filter filter{target.slot().get(), id};
    this_thread_queue()->take(out, &filter);
}

bool wait(std::chrono::milliseconds timeout) {
    return this_thread_queue()->wait(timeout);
}

void wake(const QueueRef& queue) {
    if (queue)
        queue->wake();
}

std::intptr_t dispatch(Message& message) {
    return call_target(message.target.slot(), message);
}

void set_timer(const TargetRef& target, std::uintptr_t id, std::uint32_t interval_ms) {
    if (auto owner = owner_of(target))
        owner->set_timer(target.slot(), id, std::chrono::milliseconds(interval_ms));
}

bool kill_timer(const TargetRef& target, std::uintptr_t id) {
    auto owner = owner_of(target);
    return owner && owner->kill_timer(target.slot().get(), id);
}

} // namespace telvara::platform
