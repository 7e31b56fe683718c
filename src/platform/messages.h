#pragma once
// The message system: per-thread message queues, message targets ("windows",
// hidden ones included) with their procedures, posting, synchronous sending,
// the quit message and timers. It stands in for the window manager's queues
// and keeps their rules: a target belongs to the thread that created it and
// its procedure only ever runs there.

#include "platform/message_ids.h"
#include "platform/text.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace telvara::platform {

class MessageQueue;
class MessageTarget;
struct TargetSlot;

using QueueRef = std::shared_ptr<MessageQueue>;

// Names a target without owning it, like a window handle: it may outlive the
// target, and messages for a target that is gone are dropped.
class TargetRef {
  public:
    TargetRef() = default;

    explicit operator bool() const { return m_slot != nullptr; }
    // True while the target exists (any thread).
    bool alive() const;
    // The class name the target was created with.
    const WString& name() const;

    friend bool operator==(const TargetRef&, const TargetRef&) = default;

    // The message system's own bookkeeping; opaque to everyone else.
    explicit TargetRef(std::shared_ptr<TargetSlot> slot) : m_slot(std::move(slot)) {}
    const std::shared_ptr<TargetSlot>& slot() const { return m_slot; }

  private:
    std::shared_ptr<TargetSlot> m_slot;
};

struct Message {
    TargetRef target; // empty for a message posted to a thread
    std::uint32_t id = 0;
    std::uintptr_t wparam = 0;
    std::intptr_t lparam = 0;
    // WM_COPYDATA: the data identifier and the bytes handed over.
    std::uintptr_t data_id = 0;
    std::vector<std::uint8_t> data;
};

// A receiver of messages: subclasses override handle(), or pass a procedure.
// Created and destroyed on its owning thread; destruction drops its pending
// messages and timers and answers its pending sends with 0.
class MessageTarget {
  public:
    using Procedure = std::function<std::intptr_t(Message&)>;

    explicit MessageTarget(WString class_name = {}, Procedure procedure = {});
    virtual ~MessageTarget();
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    TargetRef ref() const { return TargetRef(m_slot); }
    const WString& name() const;

    // The window procedure; the default one calls the procedure if any.
    virtual std::intptr_t handle(Message& message);

  private:
    std::shared_ptr<TargetSlot> m_slot;
    Procedure m_procedure;
};

// The calling thread's queue, created on first use.
QueueRef this_thread_queue();

// Any thread. False when the target is gone or its thread has ended.
bool post(Message message);
bool post(const TargetRef& target, std::uint32_t id, std::uintptr_t wparam = 0,
          std::intptr_t lparam = 0);
// A message to the thread itself (empty target); its loop sees it from get().
bool post_thread(const QueueRef& queue, Message message);

// Runs the target's procedure and returns its result. On the owning thread
// this is a direct call; from another thread the message is queued to the
// owner and the caller blocks, still handling messages sent to its own
// thread so that two threads sending to each other cannot deadlock. Returns
// 0 when the target is gone or its thread ends before handling it.
std::intptr_t send(Message message);
std::intptr_t send(const TargetRef& target, std::uint32_t id, std::uintptr_t wparam = 0,
                   std::intptr_t lparam = 0);

// Ends the calling thread's loop: get() returns false with WM_QUIT and the
// exit code as wparam once the posted messages before it are taken.
void post_quit(int exit_code);
// The same for another thread's loop (any thread).
void post_quit(const QueueRef& queue, int exit_code);

// The calling thread's queue from here on. Each of these first handles the
// messages sent to this thread. Posted messages come before timers.

// Blocks for the next message; false when it is WM_QUIT.
bool get(Message& out);

enum class Peek { keep, remove };
// Takes (or only looks at) the next message without blocking.
bool peek(Message& out, Peek mode);

// Blocks until a posted message with this number for this target arrives and
// takes it out of the queue; everything else stays where it is.
void wait_for(const TargetRef& target, std::uint32_t id, Message& out);

// Blocks until a message is ready, wake() is called or the timeout passes;
// true unless it timed out. Lets a loop also wait on other event sources.
bool wait(std::chrono::milliseconds timeout);
// Any thread: ends the queue's current or next wait().
void wake(const QueueRef& queue);

// Calls the procedure of the message's target; 0 for thread messages and
// targets that are gone. Call on the owning thread.
std::intptr_t dispatch(Message& message);

// Timers: WM_TIMER with the id as wparam, posted to the target every
// interval; at most one is pending per timer. Setting an existing id restarts
// it with the new interval. Any thread.
void set_timer(const TargetRef& target, std::uintptr_t id, std::uint32_t interval_ms);
bool kill_timer(const TargetRef& target, std::uintptr_t id);

} // namespace telvara::platform
