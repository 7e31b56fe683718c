// The date and time spinner: the day kept within its month, wheels turned by
// finger that settle on whole values, wrapping and stopping wheels, taps.
#include "node_test_support.h"
#include "text_test_support.h"
#include "ui/spinner_node.h"
#include "ui/spinner_wheel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::pen;
using Id = SpinnerWheelId;

namespace {

struct Changes : SpinnerListener {
    void on_spinner_changed(SpinnerNode& spinner) override { seen.push_back(spinner.date_time()); }
    std::vector<SpinnerDateTime> seen;
};

// A 240 x 150 spinner: rows of 30 pixels, the middle row at 75.
class SpinnerTest : public testing::Test {
  protected:
    void SetUp() override {
        spinner.set_font(test::test_font());
        spinner.set_listener(&changes);
        test::place(spinner, 0, 0, 240, 150);
    }
    // Runs frames of 1/60 s until every wheel rests; false after 20 s.
    bool run_until_still() {
        for (int frame = 0; frame < 1200; ++frame) {
            spinner.tick(1.0 / 60.0);
            if (!spinner.is_moving())
                return true;
        }
        return false;
    }
    std::int32_t centre(Id id) const {
        return spinner.column_left(id) + spinner.column_width(id) / 2;
    }
    // A finger drag on one wheel: `steps` moves of `dy` pixels, one frame
    // apart; the finger then rests `hold` seconds (leaving no fling) and lifts.
    void drag(Id id, std::int32_t dy, int steps, double hold = 0.0) {
        const std::int32_t x = centre(id);
        std::int32_t y = 75;
        ASSERT_TRUE(spinner.on_touch(pen(PointerKind::Down, x, y)));
        for (int i = 0; i < steps; ++i) {
            spinner.tick(1.0 / 60.0);
            spinner.on_touch(pen(PointerKind::Move, x, y += dy));
        }
        spinner.tick(1.0 / 60.0 + hold);
        spinner.on_touch(pen(PointerKind::Up, x, y));
        ASSERT_TRUE(run_until_still());
    }
    void tap(Id id, std::int32_t y) {
        spinner.on_touch(pen(PointerKind::Down, centre(id), y));
        spinner.on_touch(pen(PointerKind::Up, centre(id), y));
        ASSERT_TRUE(run_until_still());
    }
    const SpinnerWheel& wheel(Id id) { return spinner.wheel(id); }

    Changes changes;
    SpinnerNode spinner;
};

} // namespace

TEST_F(SpinnerTest, LeapDayClampsWhenTheYearWheelLeavesALeapYear) {
    spinner.set_date_time({2024, 2, 29, 8, 30});
    drag(Id::Year, -6, 5, 0.4); // one row up: the next year
    EXPECT_EQ(spinner.date_time(), (SpinnerDateTime{2025, 2, 28, 8, 30}));
    EXPECT_EQ(wheel(Id::Day).value(), 27) << "the day wheel itself moved onto the 28th";
    ASSERT_FALSE(changes.seen.empty());
    EXPECT_EQ(changes.seen.back(), (SpinnerDateTime{2025, 2, 28, 8, 30}));
}

TEST_F(SpinnerTest, MinuteWheelWrapsAndYearWheelStopsAtItsEnds) {
    spinner.set_date_time({2024, 5, 5, 7, 59});
    drag(Id::Minute, -6, 5, 0.4);
    EXPECT_EQ(spinner.date_time().minute, 0);
    EXPECT_EQ(spinner.date_time().hour, 7) << "wheels turn on their own";
    drag(Id::Minute, 6, 5, 0.4);
    EXPECT_EQ(spinner.date_time().minute, 59);
    spinner.set_date_time({4000, 1, 1, 0, 0});
    drag(Id::Year, -30, 8);
    EXPECT_EQ(spinner.date_time().year, 4000);
    EXPECT_EQ(wheel(Id::Year).position(), 3999.0);
    spinner.set_date_time({1, 1, 1, 0, 0});
    drag(Id::Year, 30, 8);
    EXPECT_EQ(spinner.date_time().year, 1);
}

TEST_F(SpinnerTest, TapAboveOrBelowTheMiddleTurnsToThatRow) {
    spinner.set_date_time({2024, 5, 5, 7, 30});
    tap(Id::Hour, 75 + 30);
    EXPECT_EQ(spinner.date_time().hour, 8);
    tap(Id::Hour, 75 - 60);
    EXPECT_EQ(spinner.date_time().hour, 6);
    const std::size_t told = changes.seen.size();
    tap(Id::Hour, 75);
    EXPECT_EQ(spinner.date_time().hour, 6) << "the middle row changes nothing";
    EXPECT_EQ(changes.seen.size(), told) << "and tells nothing";
}

TEST(SpinnerWheel, ScrollToTakesTheShortWayRound) {
    SpinnerWheel wheel(60, WheelWrap::Around);
    wheel.set_geometry(30, 150);
    wheel.set_value(58);
    wheel.scroll_to(1);
    wheel.step(0.01);
    EXPECT_GT(wheel.position(), 58.0) << "forward over 59, not back through 30";
    while (wheel.is_moving())
        wheel.step(0.02);
    EXPECT_EQ(wheel.value(), 1);
    EXPECT_EQ(wheel.position(), 1.0);
    EXPECT_EQ(wheel.value_at(-2), 59);
    EXPECT_EQ(wheel.value_at(2), 3);
    SpinnerWheel stop(10, WheelWrap::Stop);
    stop.set_value(0);
    EXPECT_EQ(stop.value_at(-1), -1);
    stop.set_value(99);
    EXPECT_EQ(stop.value(), 9);
}

TEST_F(SpinnerTest, HidingDuringADragLetsTheWheelSettle) {
    const std::int32_t x = centre(Id::Minute);
    spinner.on_touch(pen(PointerKind::Down, x, 75));
    for (std::int32_t y : {60, 45}) {
        spinner.tick(0.02);
        spinner.on_touch(pen(PointerKind::Move, x, y));
    }
    spinner.set_visible(false);
    EXPECT_FALSE(wheel(Id::Minute).is_pressed());
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(wheel(Id::Minute).position(), std::round(wheel(Id::Minute).position()));
}
