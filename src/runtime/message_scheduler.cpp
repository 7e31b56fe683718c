// Pending scheduler messages, their numbers and the events their senders
// wait on.

#include "runtime/message_scheduler.h"

#include "runtime/fatal_error.h"

#include <condition_variable>

namespace telvara::runtime {

namespace {

thread_local MessageScheduler* t_scheduler = nullptr;

// An auto-reset event: one wait consumes one signal.
class Event {
  public:
    void signal() {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_cv.notify_all();
    }
    void wait() {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_signalled; });
        m_signalled = false;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};

} // namespace

struct MessageScheduler::Pending {
    MessageScheduler* scheduler = nullptr;
    std::uint32_t number = 0;
    Target target;
    Event event;
};

MessageScheduler::MessageScheduler(platform::TargetRef window) : m_window(std::move(window)) {
    if (t_scheduler)
        fatal_error(u"MessageScheduler", u"MessageScheduler already instantiate");
    t_scheduler = this;
    m_queue = platform::this_thread_queue();
}

MessageScheduler::~MessageScheduler() {
    bool empty = false;
    {
        std::lock_guard lock(m_mutex);
        empty = m_pending.empty();
    }
    if (!empty)
        fatal_error(u"MessageScheduler", u"Messages are not empty");
    if (t_scheduler == this)
        t_scheduler = nullptr;
}

MessageScheduler* MessageScheduler::current() {
    return t_scheduler;
}

bool MessageScheduler::send(Target target) {
    // Posting to ourselves and waiting would never return.
    if (std::this_thread::get_id() == m_thread) {
        target();
        return true;
    }
    const std::uint32_t number = register_message(std::move(target));
    const bool posted = post_message(number);
    if (posted)
        wait_message(number);
    remove_message(number);
    return posted;
}

std::uint32_t MessageScheduler::register_message(Target target) {
    auto pending = std::make_shared<Pending>();
    pending->scheduler = this;
    pending->target = std::move(target);
    std::lock_guard lock(m_mutex);
    pending->number = m_counter++;
    m_pending[pending->number] = pending;
    return pending->number;
}

bool MessageScheduler::post_message(std::uint32_t number) {
    platform::Message message;
    message.id = platform::WM_SCHEDULED_MESSAGE;
    message.wparam = number;
    if (m_window) {
        message.target = m_window;
        return platform::post(std::move(message));
    }
    return platform::post_thread(m_queue, std::move(message));
}

void MessageScheduler::wait_message(std::uint32_t number) {
    if (auto pending = find(number))
        pending->event.wait();
}

void MessageScheduler::remove_message(std::uint32_t number) {
    std::lock_guard lock(m_mutex);
    m_pending.erase(number);
}

bool MessageScheduler::handle(const platform::Message& message) {
    if (message.id != platform::WM_SCHEDULED_MESSAGE)
        return false;
    auto pending = find(static_cast<std::uint32_t>(message.wparam));
    if (!pending)
        return true;
    if (pending->scheduler != this || std::this_thread::get_id() != m_thread)
        fatal_error(u"MessageScheduler", u"Messages is sent on another thread");
    pending->target();
    // The sender may have given up and removed it meanwhile.
    if (find(pending->number))
        pending->event.signal();
    return true;
}

std::shared_ptr<MessageScheduler::Pending> MessageScheduler::find(std::uint32_t number) {
    std::lock_guard lock(m_mutex);
    auto it = m_pending.find(number);
    return it == m_pending.end() ? nullptr : it->second;
}

} // namespace telvara::runtime
