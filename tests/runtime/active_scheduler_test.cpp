// Active objects: notification, timers, cancellation from every state, runs
// on the scheduler's thread, and every misuse ending the process.

#include "runtime/active_scheduler.h"

#include "platform/clock.h"
#include "scheduler_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace telvara;
using namespace telvara::runtime;
using telvara::test::pump_until;
using namespace std::chrono_literals;

namespace {

class Probe : public CActive {
  public:
    void run() override {
        ++runs;
        ran_at = platform::tick_count();
        ran_on = std::this_thread::get_id();
        if (order)
            order->push_back(this);
        if (on_run)
            on_run();
    }
    int runs = 0;
    std::uint32_t ran_at = 0;
    std::thread::id ran_on;
    std::vector<Probe*>* order = nullptr;
    std::function<void()> on_run;
};

bool has_posted(const platform::TargetRef& target, std::uint32_t id) {
    platform::Message message;
    return platform::peek(message, platform::Peek::keep) && message.target == target &&
           message.id == id;
}

} // namespace

TEST(ActiveScheduler, HiddenWindowIsNamedAfterTheWindowClass) {
    CActiveScheduler scheduler(u"RezuvirClass_Telvara");
    EXPECT_EQ(scheduler.window().name(), u"CActiveRezuvirClass_Telvara");
}

TEST(ActiveScheduler, ObjectsHaveProcessUniqueNumbers) {
    Probe a, b;
    EXPECT_NE(a.number(), b.number());
}

TEST(ActiveScheduler, NotifiedObjectRunsAtTheNextProcessMessage) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.set_active(probe);
    EXPECT_TRUE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 1);
    scheduler.notify(probe);
    EXPECT_EQ(probe.runs, 0);
    EXPECT_TRUE(has_posted(scheduler.window(), platform::WM_PROCESS_ACTIVES));
    ASSERT_TRUE(pump_until([&] { return probe.runs == 1; }));
    EXPECT_FALSE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, NotifyFromAnotherThreadRunsOnTheSchedulerThread) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.set_active(probe);
    std::thread worker([&] { scheduler.notify(probe); });
    ASSERT_TRUE(pump_until([&] { return probe.runs == 1; }));
    worker.join();
    EXPECT_EQ(probe.ran_on, std::this_thread::get_id());
}

TEST(ActiveScheduler, AfterZeroRunsAtTheNextProcessMessage) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.after(probe, 0);
    EXPECT_EQ(probe.runs, 0);
    EXPECT_TRUE(has_posted(scheduler.window(), platform::WM_PROCESS_ACTIVES));
    platform::Message message;
    ASSERT_TRUE(platform::peek(message, platform::Peek::remove));
    platform::dispatch(message);
    EXPECT_EQ(probe.runs, 1);
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, TimersRunInDueOrderAndNeverEarly) {
    CActiveScheduler scheduler(u"T");
    std::vector<Probe*> order;
    Probe late, soon;
    late.order = soon.order = &order;
    const std::uint32_t start = platform::tick_count();
    // Added later-first, so a run in list order would show.
    scheduler.after(late, 0.25);
    scheduler.after(soon, 0.02);
    ASSERT_TRUE(pump_until([&] { return order.size() == 2; }));
    EXPECT_GE(soon.ran_at - start, 20u);
    EXPECT_GE(late.ran_at - start, 250u);
    // Timer 1 was re-armed with the time left for the later one. Only a
    // stall longer than the gap could make both due in one pass.
    if (soon.ran_at - start < 200) {
        EXPECT_EQ(order[0], &soon);
        EXPECT_EQ(order[1], &late);
    }
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, RunNowMakesAWaitingTimerDue) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.after(probe, 600);
    scheduler.run_now(probe);
    ASSERT_TRUE(pump_until([&] { return probe.runs == 1; }));
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, AfterOnAWaitingObjectRestartsIt) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.after(probe, 600);
    scheduler.after(probe, 0);
    EXPECT_EQ(scheduler.active_count(), 1);
    ASSERT_TRUE(pump_until([&] { return probe.runs == 1; }));
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, OddDelaysAreClampedNotOverflowed) {
    CActiveScheduler scheduler(u"T");
    Probe negative, huge;
    scheduler.after(negative, -5);
    scheduler.after(huge, 1e12);
    ASSERT_TRUE(pump_until([&] { return negative.runs == 1; }));
    EXPECT_TRUE(huge.is_active());
    scheduler.cancel(huge);
}

TEST(ActiveScheduler, CancelTakesAnObjectOutOfTheReadyList) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.set_active(probe);
    scheduler.notify(probe);
    scheduler.cancel(probe);
    EXPECT_FALSE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 0);
    platform::Message message;
    while (platform::peek(message, platform::Peek::remove))
        platform::dispatch(message);
    EXPECT_EQ(probe.runs, 0);
}

TEST(ActiveScheduler, CancelTakesAWaitingTimerBackWithoutWaiting) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.after(probe, 600);
    scheduler.cancel(probe);
    EXPECT_FALSE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 0);
    scheduler.run_now(probe); // no longer waiting: nothing becomes due
    platform::Message message;
    while (platform::peek(message, platform::Peek::remove))
        platform::dispatch(message);
    EXPECT_EQ(probe.runs, 0);
}

TEST(ActiveScheduler, CancelOfAnIdleObjectDoesNothing) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.cancel(probe);
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, CancelWaitsForALateNotifyAndKeepsOthersRunning) {
    CActiveScheduler scheduler(u"T");
    Probe pending, other;
    scheduler.set_active(other);
    scheduler.notify(other); // its process message is queued first
    scheduler.set_active(pending);
    std::thread worker([&] {
        std::this_thread::sleep_for(20ms);
        scheduler.notify(pending);
    });
    scheduler.cancel(pending);
    worker.join();
    EXPECT_FALSE(pending.is_active());
    EXPECT_EQ(scheduler.active_count(), 1);
    // Both process messages were taken while waiting; one was posted again.
    ASSERT_TRUE(pump_until([&] { return other.runs == 1; }));
    EXPECT_EQ(pending.runs, 0);
}

TEST(ActiveScheduler, AnObjectMayActivateItselfAgainInsideRun) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    probe.on_run = [&] {
        if (probe.runs < 3)
            scheduler.after(probe, 0);
    };
    scheduler.after(probe, 0);
    ASSERT_TRUE(pump_until([&] { return probe.runs == 3; }));
    EXPECT_FALSE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, OtherMessagesPassThroughTheHiddenWindow) {
    CActiveScheduler scheduler(u"T");
    Probe probe;
    scheduler.set_active(probe);
    EXPECT_EQ(platform::send(scheduler.window(), platform::WM_TIMER, 2), 0); // not timer 1
    EXPECT_EQ(platform::send(scheduler.window(), platform::WM_USER + 6), 0);
    EXPECT_EQ(probe.runs, 0);
    scheduler.notify(probe);
    scheduler.cancel(probe);
}

using ActiveSchedulerDeath = testing::Test;

TEST(ActiveSchedulerDeath, SetActiveTwice) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CActiveScheduler scheduler(u"T");
            Probe probe;
            scheduler.set_active(probe);
            scheduler.set_active(probe);
        },
        testing::ExitedWithCode(1),
        "Gluck: Object [0-9]+ is already active @ CActiveScheduler::set_active\\(\\)");
}

TEST(ActiveSchedulerDeath, NotifyOfAnUnmarkedObject) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CActiveScheduler scheduler(u"T");
            Probe probe;
            scheduler.notify(probe);
        },
        testing::ExitedWithCode(1),
        "Gluck: Active object [0-9]+ is not active @ CActiveScheduler::notify\\(\\)");
}

TEST(ActiveSchedulerDeath, NotifyTwiceBeforeTheRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CActiveScheduler scheduler(u"T");
            Probe probe;
            scheduler.set_active(probe);
            scheduler.notify(probe);
            scheduler.notify(probe);
            scheduler.process_actives();
        },
        testing::ExitedWithCode(1),
        "Gluck: Active object [0-9]+ is not marked active @ "
        "CActiveScheduler::process_actives\\(\\)");
}

TEST(ActiveSchedulerDeath, DestroyingAMarkedObject) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CActiveScheduler scheduler(u"T");
            Probe probe;
            scheduler.after(probe, 600);
        },
        testing::ExitedWithCode(1),
        "Gluck: Active object [0-9]+ is already active @ CActive::~CActive\\(\\)");
}

TEST(ActiveSchedulerDeath, SchedulerEndingWithMarkedObjects) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Probe first; // both outlive the scheduler
            Probe second;
            CActiveScheduler scheduler(u"T");
            scheduler.set_active(first);
            scheduler.set_active(second);
        },
        testing::ExitedWithCode(1),
        "Gluck: Some active objects still live while scheduler is terminating "
        "active_counter=2 @ \n");
}
