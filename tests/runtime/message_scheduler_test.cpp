// The MessageScheduler: a worker hands work to the owning thread and waits; misuse is fatal.
#include "runtime/message_scheduler.h"
#include "scheduler_test_support.h"
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
using namespace telvara;
using namespace telvara::runtime;
using telvara::test::pump_until;

TEST(MessageScheduler, WithoutWindowTheMessagesGoToTheThread) {
    {
        MessageScheduler scheduler;
        std::atomic<int> done{0};
        int runs = 0;
        std::vector<std::thread> workers;
        for (int i = 0; i < 3; ++i)
            workers.emplace_back([&] {
                scheduler.send([&] { ++runs; });
                ++done;
            });
        ASSERT_TRUE(pump_until([&] { return done.load() == 3; },
                               [&](platform::Message& message) { scheduler.handle(message); }));
        for (auto& worker : workers)
            worker.join();
        EXPECT_EQ(runs, 3);
        bool ran = false;
        EXPECT_TRUE(scheduler.send([&] { ran = true; })) << "on the owning thread: at once";
        EXPECT_TRUE(ran);
    }
    EXPECT_EQ(MessageScheduler::current(), nullptr) << "the thread's slot is freed";
}

TEST(MessageScheduler, NumbersCountUpAndUnknownOnesAreIgnored) {
    MessageScheduler scheduler;
    int runs = 0;
    auto first = scheduler.register_message([&] { ++runs; });
    auto second = scheduler.register_message([&] { ++runs; });
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(second, 1u);
    scheduler.remove_message(first);
    platform::Message message;
    message.id = platform::WM_SCHEDULED_MESSAGE;
    for (std::uintptr_t ignored : {std::uintptr_t{first}, std::uintptr_t{77}}) {
        message.wparam = ignored;
        EXPECT_TRUE(scheduler.handle(message));
    }
    EXPECT_EQ(runs, 0);
    message.wparam = second;
    EXPECT_TRUE(scheduler.handle(message));
    EXPECT_EQ(runs, 1);
    message.id = platform::WM_USER + 5;
    EXPECT_FALSE(scheduler.handle(message));
    scheduler.remove_message(second);
}

TEST(MessageSchedulerDeath, MisuseEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto one_on_another_thread = [] {
        MessageScheduler scheduler;
        platform::Message message;
        message.id = platform::WM_SCHEDULED_MESSAGE;
        message.wparam = scheduler.register_message([] {});
        std::thread([&] { scheduler.handle(message); }).join();
    };
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[] { MessageScheduler first, second; }, "MessageScheduler already instantiate"},
        {one_on_another_thread, "Messages is sent on another thread"},
        {[] { MessageScheduler().register_message([] {}); }, "Messages are not empty"}};
    for (const auto& [misuse, says] : rows)
        EXPECT_EXIT(misuse(), testing::ExitedWithCode(1),
                    std::string("Gluck: ") + says + " @ MessageScheduler");
}
