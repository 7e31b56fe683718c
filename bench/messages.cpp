// What a message costs on its way through the loop: a post taken and
// dispatched on the same thread, a send answered by another thread, and an
// active object notified and run.
#include "platform/messages.h"
#include "runtime/active_scheduler.h"

#include <benchmark/benchmark.h>

#include <future>
#include <thread>

using namespace telvara;
using namespace telvara::platform;

namespace {

void post_and_dispatch(benchmark::State& state) {
    std::int64_t handled = 0;
    MessageTarget target(u"Bench", [&](Message&) { return ++handled; });
    Message message;
    for (auto _ : state) {
        post(target.ref(), WM_USER, 1);
        peek(message, Peek::remove);
        benchmark::DoNotOptimize(dispatch(message));
    }
}
BENCHMARK(post_and_dispatch);

void send_across_threads(benchmark::State& state) {
    std::promise<std::pair<TargetRef, QueueRef>> ready;
    std::thread loop([&ready] {
        MessageTarget target(
            u"Echo", [](Message& message) { return static_cast<std::intptr_t>(message.wparam); });
        ready.set_value({target.ref(), this_thread_queue()});
        Message message;
        while (get(message))
            dispatch(message);
    });
    auto [target, queue] = ready.get_future().get();
    for (auto _ : state)
        benchmark::DoNotOptimize(send(target, WM_USER, 7));
    post_quit(queue, 0);
    loop.join();
}
BENCHMARK(send_across_threads)->UseRealTime();

class Counter : public runtime::CActive {
  public:
    void run() override { ++runs; }
    std::int64_t runs = 0;
};

void notify_and_run(benchmark::State& state) {
    runtime::CActiveScheduler scheduler(u"Bench");
    Counter counter;
    Message message;
    for (auto _ : state) {
        scheduler.set_active(counter);
        scheduler.notify(counter);
        peek(message, Peek::remove);
        dispatch(message);
    }
    benchmark::DoNotOptimize(counter.runs);
}
BENCHMARK(notify_and_run);

} // namespace
