// The press tracker: dead zone, sample window and release velocity.
#include "ui/press_tracker.h"

#include <gtest/gtest.h>

using namespace telvara::ui;

TEST(PressTracker, DeadZoneSwallowsJitterUntilTheFingerReallyMoves) {
    PressTracker tracker;
    tracker.press({100, 100}, 1000);
    EXPECT_TRUE(tracker.in_dead_zone());
    EXPECT_FALSE(tracker.sample({109, 91}, 1010)) << "9 pixels on both axes is jitter";
    EXPECT_FALSE(tracker.sample({91, 109}, 1020));
    EXPECT_EQ(tracker.sample_count(), 1u);
    EXPECT_TRUE(tracker.sample({100, 110}, 1030)) << "10 on one axis leaves it";
    EXPECT_FALSE(tracker.in_dead_zone());
    EXPECT_TRUE(tracker.sample({100, 101}, 1040)) << "for the rest of the gesture";
    EXPECT_EQ(tracker.sample_count(), 3u);
    tracker.press({0, 0}, 2000); // a new press starts over
    EXPECT_TRUE(tracker.in_dead_zone());
    EXPECT_EQ(tracker.sample_count(), 1u);
    EXPECT_FALSE(tracker.sample({5, 5}, 2010));
    PressTracker scaled(1); // the dead zone grows with the scale
    EXPECT_EQ(scaled.dead_zone(), 20);
    scaled.press({0, 0}, 0);
    EXPECT_FALSE(scaled.sample({19, -19}, 10));
    EXPECT_TRUE(scaled.sample({-20, 0}, 20));
}

TEST(PressTracker, VelocityInWholePixelsPerSecondAlongTheMovement) {
    PressTracker tracker;
    tracker.press({0, 0}, 0);
    for (std::uint32_t t = 10; t <= 100; t += 10)
        tracker.sample({std::int32_t(t * 2), -std::int32_t(t)}, t);
    EXPECT_DOUBLE_EQ(tracker.velocity().x, 2000.0);
    EXPECT_DOUBLE_EQ(tracker.velocity().y, -1000.0);
    tracker.press({0, 0}, 0);
    tracker.sample({40, 0}, 49);
    EXPECT_EQ(tracker.velocity(), Velocity{}) << "too short a span";
    tracker.sample({50, 0}, 50);
    EXPECT_DOUBLE_EQ(tracker.velocity().x, 1000.0);
    tracker.press({0, 0}, 0);
    tracker.sample({100, 0}, 70); // 1428.57... truncated
    EXPECT_DOUBLE_EQ(tracker.velocity().x, 1428.0);
    const std::uint32_t start = 0xFFFFFFFFu - 30; // the tick counter wraps
    tracker.press({0, 0}, start);
    tracker.sample({0, 100}, start + 100);
    EXPECT_DOUBLE_EQ(tracker.velocity().y, 1000.0);
}

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
