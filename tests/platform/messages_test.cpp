// The message system: posting and sending across threads, quit, timers and the fate of messages
// for targets that are gone (timers on a virtual clock: the call screen's tests).
#include "platform/messages.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace telvara;
using namespace telvara::platform;
using namespace std::chrono_literals;

namespace {

// Records the numbers of the messages it handles.
struct Recorder : MessageTarget {
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

// Drains what is queued now (timers not yet due stay).
void drain() {
    Message message;
    while (peek(message, Peek::remove))
        dispatch(message);
}

} // namespace

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

// This thread sends to a loop whose handler sends back to a target of this thread, which must be
// served while we wait.
TEST(Messages, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    Recorder mine;
    std::promise<std::pair<TargetRef, QueueRef>> ready;
    std::thread loop([&ready, ref = mine.ref()] {
        MessageTarget target(u"Loop",
                             [ref](Message& m) { return send(ref, WM_USER + 1, m.wparam) + 1; });
        ready.set_value({target.ref(), this_thread_queue()});
        for (Message message; get(message);)
            dispatch(message);
    });
    auto [target, queue] = ready.get_future().get();
    EXPECT_EQ(send(target, WM_USER, 5), 11);
    EXPECT_EQ(mine.ids(), std::vector<std::uint32_t>{WM_USER + 1});
    EXPECT_EQ(send(mine.ref(), WM_USER, 21), 42) << "a direct call on its own thread";
    post_quit(queue, 0);
    loop.join();
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
    post_quit(3); // quit comes after what was posted before it
    ASSERT_TRUE(get(message) && !get(message));
    EXPECT_EQ(std::tie(message.id, message.wparam), std::tuple(WM_QUIT, 3u));
}
