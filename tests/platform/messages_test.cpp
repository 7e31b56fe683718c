// The message system: posting and sending across threads, quit, timers and
// the fate of messages for targets that are gone.
#include "platform/messages.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace telvara;
using namespace telvara::platform;
using namespace std::chrono_literals;

namespace {

// Records the numbers of the messages it handles.
class Recorder : public MessageTarget {
  public:
    Recorder() : MessageTarget(u"Recorder") {}
    std::intptr_t handle(Message& message) override {
        seen.push_back(message);
        return static_cast<std::intptr_t>(message.wparam) * 2;
    }
    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> out;
        for (const Message& m : seen)
            out.push_back(m.id);
        return out;
    }
    std::vector<Message> seen;
};

// A thread with a loop: runs until quit, handing its target ref out first.
class LoopThread {
  public:
    explicit LoopThread(std::function<std::intptr_t(Message&)> procedure) {
        std::promise<std::pair<TargetRef, QueueRef>> ready;
        auto future = ready.get_future();
        m_thread = std::thread([&ready, procedure = std::move(procedure)] {
            MessageTarget target(u"Loop", procedure);
            ready.set_value({target.ref(), this_thread_queue()});
            Message message;
            while (get(message))
                dispatch(message);
        });
        std::tie(m_target, m_queue) = future.get();
    }
    ~LoopThread() {
        post_quit(m_queue, 0);
        m_thread.join();
    }
    TargetRef target() const { return m_target; }
    QueueRef queue() const { return m_queue; }

  private:
    std::thread m_thread;
    TargetRef m_target;
    QueueRef m_queue;
};

// Drains what is queued now (timers not yet due stay).
void drain() {
    Message message;
    while (peek(message, Peek::remove))
        dispatch(message);
}

} // namespace

TEST(Messages, PostedMessagesArriveInOrderWithParametersAndPayload) {
    Recorder target;
    Message copy;
    copy.target = target.ref();
    copy.id = WM_COPYDATA;
    copy.data_id = 0;
    copy.data = {'r', 'e', 'c'};
    ASSERT_TRUE(post(target.ref(), WM_USER + 34, 7, -3));
    ASSERT_TRUE(post(std::move(copy)));
    drain();
    ASSERT_EQ(target.ids(), (std::vector<std::uint32_t>{WM_USER + 34, WM_COPYDATA}));
    EXPECT_EQ(std::tie(target.seen[0].wparam, target.seen[0].lparam), std::tuple(7u, -3));
    EXPECT_EQ(target.seen[1].data, (std::vector<std::uint8_t>{'r', 'e', 'c'}));
}

TEST(Messages, PeekKeepsAndQuitComesLastWithItsExitCode) {
    Recorder target;
    Message message;
    EXPECT_FALSE(peek(message, Peek::keep));
    post(target.ref(), WM_CLOSE, 1);
    ASSERT_TRUE(peek(message, Peek::keep));
    post_quit(3);
    ASSERT_TRUE(get(message));
    EXPECT_EQ(message.id, WM_CLOSE);
    EXPECT_FALSE(get(message));
    EXPECT_EQ(message.id, WM_QUIT);
    EXPECT_EQ(message.wparam, 3u);
    EXPECT_FALSE(peek(message, Peek::remove)); // taken once
    message.id = WM_USER + 7;                  // a thread message reaches the loop without a target
    message.wparam = 3;
    ASSERT_TRUE(post_thread(this_thread_queue(), message));
    ASSERT_TRUE(get(message));
    EXPECT_FALSE(message.target);
    EXPECT_EQ(message.wparam, 3u);
    EXPECT_EQ(dispatch(message), 0);
}

TEST(Messages, PostFromManyThreadsLosesNothing) {
    Recorder target;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([ref = target.ref()] {
            for (int i = 0; i < 250; ++i)
                post(ref, WM_USER, 1);
        });
    for (auto& thread : threads)
        thread.join();
    drain();
    EXPECT_EQ(target.seen.size(), 1000u);
}

TEST(Messages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    // This thread sends to the loop; inside its handler the loop sends back
    // to a target of this thread, which must be served while we wait.
    Recorder mine;
    LoopThread loop([ref = mine.ref()](Message& message) {
        return send(ref, WM_USER + 1, message.wparam) + 1;
    });
    EXPECT_EQ(send(loop.target(), WM_USER, 5), 11);
    EXPECT_EQ(mine.ids(), std::vector<std::uint32_t>{WM_USER + 1});
    EXPECT_EQ(send(mine.ref(), WM_USER, 21), 42) << "a direct call on its own thread";
}

TEST(Messages, DestroyingATargetDropsItsMessagesAndTimers) {
    Recorder survivor;
    TargetRef ref;
    {
        Recorder doomed;
        ref = doomed.ref();
        post(ref, WM_USER);
        post(survivor.ref(), WM_USER + 1);
        set_timer(ref, 9, 1);
    }
    std::this_thread::sleep_for(5ms);
    Message message;
    ASSERT_TRUE(peek(message, Peek::remove));
    EXPECT_EQ(message.target, survivor.ref());
    EXPECT_FALSE(peek(message, Peek::remove)); // no timer message either
    EXPECT_FALSE(kill_timer(ref, 9));
    EXPECT_EQ(send(ref, WM_USER, 9), 0);
    EXPECT_FALSE(post(ref, WM_USER));
}

TEST(Messages, TimersFireInDueOrderAndRearm) {
    Recorder target;
    set_timer(target.ref(), 2, 60);
    set_timer(target.ref(), 1, 20);
    std::vector<std::uintptr_t> ids;
    Message message;
    while (std::count(ids.begin(), ids.end(), 2u) < 2 && get(message)) {
        ASSERT_EQ(message.id, WM_TIMER);
        EXPECT_EQ(message.target, target.ref());
        ids.push_back(message.wparam);
    }
    kill_timer(target.ref(), 1);
    kill_timer(target.ref(), 2);
    // The 20 ms timer comes first and, re-armed, at least as often as the
    // 60 ms one however late the loop runs.
    EXPECT_EQ(ids.front(), 1u);
    EXPECT_GE(std::count(ids.begin(), ids.end(), 1u), 2);
}

TEST(Messages, OneTimerMessagePendingAtMostAndRestartedOrKilledTimersWait) {
    Recorder target;
    set_timer(target.ref(), 5, 1);
    set_timer(target.ref(), 1, 1);
    set_timer(target.ref(), 1, 60'000); // restarted
    set_timer(target.ref(), 3, 1);
    EXPECT_TRUE(kill_timer(target.ref(), 3));
    std::this_thread::sleep_for(30ms); // many periods pass unserved
    Message message;
    ASSERT_TRUE(peek(message, Peek::remove));
    EXPECT_EQ(message.wparam, 5u);
    EXPECT_FALSE(peek(message, Peek::remove));
    EXPECT_TRUE(kill_timer(target.ref(), 5));
    EXPECT_FALSE(kill_timer(target.ref(), 5));
    kill_timer(target.ref(), 1);
}

TEST(Messages, UnderAVirtualClockTimersFireOnlyAsTheClockMoves) {
    VirtualClock clock(5000);
    ScopedVirtualClock scope(clock);
    EXPECT_EQ(tick_count(), 5000u);
    Recorder target;
    set_timer(target.ref(), 7, 100);
    std::this_thread::sleep_for(20ms); // real time is no time here
    Message message;
    EXPECT_FALSE(peek(message, Peek::remove));
    clock.advance(99);
    EXPECT_FALSE(peek(message, Peek::remove));
    clock.advance(1);
    ASSERT_TRUE(peek(message, Peek::remove));
    EXPECT_EQ(message.wparam, 7u);
    // Re-armed on the same clock: a long jump gives one message, not a backlog.
    clock.advance(1000);
    EXPECT_TRUE(peek(message, Peek::remove));
    EXPECT_FALSE(peek(message, Peek::remove));
    kill_timer(target.ref(), 7);
}

TEST(Messages, WaitForTakesOnlyTheWantedMessageAndWaitWakesUp) {
    Recorder target;
    post(target.ref(), WM_USER + 1);
    post(target.ref(), WM_USER + 2);
    std::thread late([ref = target.ref()] { post(ref, WM_USER + 5, 77); });
    Message message;
    wait_for(target.ref(), WM_USER + 5, message);
    late.join();
    EXPECT_EQ(message.wparam, 77u);
    drain();
    EXPECT_EQ(target.ids(), (std::vector<std::uint32_t>{WM_USER + 1, WM_USER + 2}));
    // A bare wait times out, wakes on a wake-up and returns at once with messages queued.
    EXPECT_FALSE(wait(1ms));
    auto queue = this_thread_queue();
    std::thread waker([queue] { wake(queue); });
    EXPECT_TRUE(wait(std::chrono::hours(1)));
    waker.join();
    post(target.ref(), WM_USER);
    EXPECT_TRUE(wait(0ms));
    drain();
}
