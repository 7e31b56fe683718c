#pragma once
// The MessageScheduler: lets another thread hand work to the thread that owns
// the scheduler (the UI thread) and wait until that thread has done it. At
// most one per thread; the owning thread's message procedure offers it every
// message (thread messages included).

#include "platform/messages.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace telvara::runtime {

class MessageScheduler {
  public:
    using Target = std::function<void()>;

    // Messages go to `window` when given, else to the creating thread itself.
    explicit MessageScheduler(platform::TargetRef window = {});
    // Ends the process when messages are still registered.
    ~MessageScheduler();
    MessageScheduler(const MessageScheduler&) = delete;
    MessageScheduler& operator=(const MessageScheduler&) = delete;

    // The calling thread's scheduler, or null.
    static MessageScheduler* current();

    // Runs `target` on the owning thread and returns once it has run (at
    // once, on the owning thread itself). False when it could not be
    // delivered because the window or the thread is gone.
    bool send(Target target);

    // The steps of send(), for a sender that does more between them.
    // Registering gives the message the next number.
    std::uint32_t register_message(Target target);
    bool post_message(std::uint32_t number);
    // Blocks until the owning thread has handled the message.
    void wait_message(std::uint32_t number);
    void remove_message(std::uint32_t number);

    // The owning thread's procedure calls this for every message; true when
    // it was a scheduler message (handled or unknown).
    bool handle(const platform::Message& message);

    std::thread::id thread() const { return m_thread; }

  private:
    struct Pending;
    std::shared_ptr<Pending> find(std::uint32_t number);

    std::thread::id m_thread = std::this_thread::get_id();
    platform::QueueRef m_queue;
    platform::TargetRef m_window;
    std::mutex m_mutex; // guards the counter and the map
    std::uint32_t m_counter = 0;
    std::map<std::uint32_t, std::shared_ptr<Pending>> m_pending;
};

} // namespace telvara::runtime
