// Active objects: notification, timers, cancellation, the scheduler thread and misuse.
#include "platform/clock.h"
#include "runtime/active_scheduler.h"
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

TEST(ActiveScheduler, NotifiedObjectsRunOnTheSchedulerThreadAtTheNextProcessMessage) {
    CActiveScheduler scheduler(u"RezuvirClass_Telvara");
    EXPECT_EQ(scheduler.window().name(), u"CActiveRezuvirClass_Telvara");
    Probe probe, other;
    EXPECT_NE(probe.number(), other.number());
    scheduler.set_active(probe);
    EXPECT_TRUE(probe.is_active());
    EXPECT_EQ(scheduler.active_count(), 1);
    std::thread worker([&] { scheduler.notify(probe); });
    worker.join();
    EXPECT_EQ(probe.runs, 0);
    EXPECT_TRUE(has_posted(scheduler.window(), platform::WM_PROCESS_ACTIVES));
    ASSERT_TRUE(pump_until([&] { return probe.runs == 1; }));
    EXPECT_EQ(probe.ran_on, std::this_thread::get_id());
    EXPECT_FALSE(probe.is_active());
    // after(0) runs at the next process message too, and may re-arm itself inside run().
    probe.on_run = [&] {
        if (probe.runs < 3)
            scheduler.after(probe, 0);
    };
    scheduler.after(probe, 0);
    ASSERT_TRUE(pump_until([&] { return probe.runs == 3; }));
    EXPECT_FALSE(probe.is_active());
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
    EXPECT_TRUE(soon.ran_at - start >= 20u && late.ran_at - start >= 250u) << "never early";
    // Timer 1 was re-armed with the time left for the later one. Only a
    // stall longer than the gap could make both due in one pass.
    if (soon.ran_at - start < 200) {
        EXPECT_EQ(order, (std::vector<Probe*>{&soon, &late}));
    }
    EXPECT_EQ(scheduler.active_count(), 0);
}

TEST(ActiveScheduler, WaitingTimersRestartHurryAndClampOddDelays) {
    CActiveScheduler scheduler(u"T");
    Probe hurried, restarted, negative, huge;
    scheduler.after(hurried, 600);
    scheduler.run_now(hurried);
    scheduler.after(restarted, 600);
    scheduler.after(restarted, 0);
    scheduler.after(negative, -5);
    scheduler.after(huge, 1e12);
    EXPECT_EQ(scheduler.active_count(), 4);
    ASSERT_TRUE(pump_until([&] { return hurried.runs + restarted.runs + negative.runs == 3; }));
    EXPECT_TRUE(huge.is_active()) << "not overflowed into the past";
    EXPECT_EQ(scheduler.active_count(), 1);
    scheduler.cancel(huge);
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

TEST(ActiveSchedulerDeath, MisuseEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    using S = CActiveScheduler;
    const std::pair<std::function<void(S&, Probe&)>, const char*> rows[] = {
        {[](S& s, Probe& p) { s.set_active(p), s.set_active(p); }, "already active @ CActiveSch"},
        {[](S& s, Probe& p) { s.notify(p); }, "is not active @ CActiveScheduler::notify"},
        {[](S& s, Probe& p) { s.set_active(p), s.notify(p), s.notify(p), s.process_actives(); },
         "is not marked active @ CActiveScheduler::process_actives"},
        {[](S& s, Probe& p) { s.after(p, 600); }, "already active @ CActive::~CActive"}};
    for (const auto& [misuse, says] : rows)
        EXPECT_EXIT(
            {
                S scheduler(u"T");
                Probe probe;
                misuse(scheduler, probe);
            },
            testing::ExitedWithCode(1), says);
    EXPECT_EXIT(
        {
            Probe first; // both outlive the scheduler
            Probe second;
            S scheduler(u"T");
            scheduler.set_active(first);
            scheduler.set_active(second);
        },
        testing::ExitedWithCode(1), "active objects still live while scheduler is terminating");
}
