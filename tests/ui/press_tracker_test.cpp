// The press tracker: dead zone, sample window and release velocity.
#include "ui/press_tracker.h"

#include <gtest/gtest.h>

using namespace telvara::ui;

TEST(PressTracker, SamplesOutsideTheWindowOrBeforeAClockResetAreDropped) {
    PressTracker tracker;
    // A slow drag for a second, then a quick flick in the other direction.
    tracker.press({0, 0}, 0);
    for (std::uint32_t t = 20; t <= 1000; t += 20)
        tracker.sample({std::int32_t(t), 0}, t);
    for (std::uint32_t t = 1020; t <= 1200; t += 20)
        tracker.sample({1000 - 10 * std::int32_t(t - 1000), 0}, t);
    // Everything before 950 has gone: oldest kept t=960 at x=960, newest -1000.
    EXPECT_DOUBLE_EQ(tracker.velocity().x, double((-1000 - 960) * 1000 / 240));
    EXPECT_LE(tracker.sample_count(), 13u);
    tracker.press({0, 0}, 0);
    for (std::uint32_t i = 1; i <= 40; ++i)
        tracker.sample({std::int32_t(20 + i), 0}, i); // one millisecond apart
    EXPECT_EQ(tracker.sample_count(), PressTracker::kMaxSamples);
    tracker.press({0, 0}, 5000);
    tracker.sample({50, 0}, 5100);
    tracker.sample({60, 0}, 100); // the clock was reset
    EXPECT_EQ(tracker.sample_count(), 1u);
    EXPECT_EQ(tracker.velocity(), Velocity{});
}
