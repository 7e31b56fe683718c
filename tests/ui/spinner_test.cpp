// The date and time spinner: set and read back, the day kept within its
// month, wheels turned by finger with flings that settle on whole values,
// wrapping and stopping wheels, taps, the listener.
#include "node_test_support.h"
#include "text_test_support.h"
#include "ui/spinner_node.h"
#include "ui/spinner_wheel.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace telvara;
using namespace telvara::ui;

namespace {

PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y) {
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

struct Changes : SpinnerListener {
    void on_spinner_changed(SpinnerNode& spinner) override { seen.push_back(spinner.date_time()); }
    std::vector<SpinnerDateTime> seen;
};

class SpinnerTest : public testing::Test {
  protected:
    void SetUp() override {
        spinner.set_font(test::test_font());
        spinner.set_listener(&changes);
        spinner.place_x(0, 240);
        spinner.place_y(0, 150); // rows of 30 pixels
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
    std::int32_t column_centre(SpinnerWheelId id) const {
        return spinner.column_left(id) + spinner.column_width(id) / 2;
    }
    // A finger drag on one wheel: `steps` moves of `dy` pixels, one frame
    // apart; the finger then rests `hold` seconds before it lifts (a resting
    // finger leaves no fling).
    void drag(SpinnerWheelId id, std::int32_t dy, int steps, double hold = 0.0) {
        const std::int32_t x = column_centre(id);
        std::int32_t y = 75;
        ASSERT_TRUE(spinner.on_touch(pen(PointerKind::Down, x, y)));
        for (int i = 0; i < steps; ++i) {
            spinner.tick(1.0 / 60.0);
            y += dy;
            spinner.on_touch(pen(PointerKind::Move, x, y));
        }
        spinner.tick(1.0 / 60.0 + hold);
        spinner.on_touch(pen(PointerKind::Up, x, y));
    }

    Changes changes;
    SpinnerNode spinner;
};

} // namespace

TEST(SpinnerDays, MonthLengthsAndLeapYears) {
    EXPECT_EQ(days_in_month(2023, 1), 31);
    EXPECT_EQ(days_in_month(2023, 4), 30);
    EXPECT_EQ(days_in_month(2023, 2), 28);
    EXPECT_EQ(days_in_month(2024, 2), 29);
    EXPECT_EQ(days_in_month(1900, 2), 28);
    EXPECT_EQ(days_in_month(2000, 2), 29);
    EXPECT_EQ(days_in_month(2023, 12), 31);
    EXPECT_EQ(days_in_month(2023, 0), 0);
    EXPECT_EQ(days_in_month(2023, 13), 0);
}

TEST_F(SpinnerTest, DateSetIsDateReadBack) {
    const SpinnerDateTime value{2024, 7, 15, 13, 45};
    spinner.set_date_time(value);
    EXPECT_EQ(spinner.date_time(), value);
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Year).value(), 2023);
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Month).value(), 6);
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Day).value(), 14);
    const SpinnerDateTime edges{1, 1, 1, 0, 0};
    spinner.set_date_time(edges);
    EXPECT_EQ(spinner.date_time(), edges);
    const SpinnerDateTime last{4000, 12, 31, 23, 59};
    spinner.set_date_time(last);
    EXPECT_EQ(spinner.date_time(), last);
    EXPECT_TRUE(changes.seen.empty()); // set by the program, not the user
}

TEST_F(SpinnerTest, FieldsOutOfRangeAreBroughtIn) {
    spinner.set_date_time({2023, 2, 29, 10, 0});
    EXPECT_EQ(spinner.date_time(), (SpinnerDateTime{2023, 2, 28, 10, 0}));
    spinner.set_date_time({2024, 2, 29, 10, 0});
    EXPECT_EQ(spinner.date_time().day, 29);
    spinner.set_date_time({1900, 2, 29, 10, 0});
    EXPECT_EQ(spinner.date_time().day, 28);
    spinner.set_date_time({0, 13, 0, 25, 60});
    EXPECT_EQ(spinner.date_time(), (SpinnerDateTime{1, 12, 1, 23, 59}));
    spinner.set_date_time({9999, -4, 40, -1, -1});
    EXPECT_EQ(spinner.date_time(), (SpinnerDateTime{4000, 1, 31, 0, 0}));
}

TEST_F(SpinnerTest, LeapDayClampsWhenTheYearWheelLeavesALeapYear) {
    spinner.set_date_time({2024, 2, 29, 8, 30});
    // The finger pushes the year wheel up by one row: the next year.
    drag(SpinnerWheelId::Year, -6, 5, 0.4);
    ASSERT_TRUE(run_until_still());
    const SpinnerDateTime shown = spinner.date_time();
    EXPECT_EQ(shown.year, 2025);
    EXPECT_EQ(shown.day, 28);
    // The day wheel itself moved back onto the 28th.
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Day).value(), 27);
    ASSERT_FALSE(changes.seen.empty());
    EXPECT_EQ(changes.seen.back(), (SpinnerDateTime{2025, 2, 28, 8, 30}));
}

TEST_F(SpinnerTest, AFlingOnTheDayWheelSettlesOnAWholeValue) {
    spinner.set_date_time({2024, 1, 10, 0, 0});
    drag(SpinnerWheelId::Day, -23, 6); // a quick upward flick
    const SpinnerWheel& day = spinner.wheel(SpinnerWheelId::Day);
    EXPECT_TRUE(day.is_moving());
    EXPECT_LT(day.velocity(), 0.0);
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(day.position(), std::round(day.position()));
    EXPECT_GE(day.position(), 0.0);
    EXPECT_LT(day.position(), 31.0);
    // It coasted beyond where the finger left it.
    EXPECT_NE(spinner.date_time().day, 10);
    EXPECT_EQ(changes.seen.size(), 1u);
}

TEST_F(SpinnerTest, MinuteWheelWrapsBothWays) {
    spinner.set_date_time({2024, 5, 5, 7, 59});
    drag(SpinnerWheelId::Minute, -6, 5, 0.4); // one row up: the next minute
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().minute, 0);
    EXPECT_EQ(spinner.date_time().hour, 7); // wheels turn on their own
    drag(SpinnerWheelId::Minute, 6, 5, 0.4);
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().minute, 59);
}

TEST_F(SpinnerTest, YearWheelStopsAtItsEnds) {
    spinner.set_date_time({4000, 1, 1, 0, 0});
    drag(SpinnerWheelId::Year, -30, 8);
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().year, 4000);
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Year).position(), 3999.0);
    spinner.set_date_time({1, 1, 1, 0, 0});
    drag(SpinnerWheelId::Year, 30, 8);
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().year, 1);
}

TEST_F(SpinnerTest, TapAboveOrBelowTheMiddleTurnsToThatRow) {
    spinner.set_date_time({2024, 5, 5, 7, 30});
    const std::int32_t x = column_centre(SpinnerWheelId::Hour);
    spinner.on_touch(pen(PointerKind::Down, x, 75 + 30));
    spinner.on_touch(pen(PointerKind::Up, x, 75 + 30));
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().hour, 8);
    spinner.on_touch(pen(PointerKind::Down, x, 75 - 60));
    spinner.on_touch(pen(PointerKind::Up, x, 75 - 60));
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().hour, 6);
    // A tap on the middle row changes nothing and tells nothing.
    const std::size_t told = changes.seen.size();
    spinner.on_touch(pen(PointerKind::Down, x, 75));
    spinner.on_touch(pen(PointerKind::Up, x, 75));
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.date_time().hour, 6);
    EXPECT_EQ(changes.seen.size(), told);
}

TEST_F(SpinnerTest, HidingDuringADragLetsTheWheelSettle) {
    spinner.set_date_time({2024, 5, 5, 7, 30});
    const std::int32_t x = column_centre(SpinnerWheelId::Minute);
    spinner.on_touch(pen(PointerKind::Down, x, 75));
    spinner.tick(0.02);
    spinner.on_touch(pen(PointerKind::Move, x, 60));
    spinner.tick(0.02);
    spinner.on_touch(pen(PointerKind::Move, x, 45));
    spinner.set_visible(false);
    EXPECT_FALSE(spinner.wheel(SpinnerWheelId::Minute).is_pressed());
    ASSERT_TRUE(run_until_still());
    EXPECT_EQ(spinner.wheel(SpinnerWheelId::Minute).position(),
              std::round(spinner.wheel(SpinnerWheelId::Minute).position()));
}

TEST(SpinnerWheel, SettlesAlikeAtDifferentFrameRates) {
    auto settle = [](double frame) {
        SpinnerWheel wheel(60, WheelWrap::Around);
        wheel.set_geometry(30, 150);
        wheel.set_value(10);
        wheel.press();
        wheel.drag(-40);
        wheel.release(-900);
        for (int i = 0; i < 100000 && wheel.is_moving(); ++i)
            wheel.step(frame);
        EXPECT_FALSE(wheel.is_moving());
        return wheel.value();
    };
    const std::int32_t fast = settle(1.0 / 120.0);
    const std::int32_t slow = settle(1.0 / 25.0);
    EXPECT_GT(fast, 11);
    EXPECT_LE(std::abs(fast - slow), 1);
}

TEST(SpinnerWheel, ScrollToTakesTheShortWayRound) {
    SpinnerWheel wheel(60, WheelWrap::Around);
    wheel.set_geometry(30, 150);
    wheel.set_value(58);
    wheel.scroll_to(1);
    wheel.step(0.01);
    EXPECT_GT(wheel.position(), 58.0); // forward over 59, not back through 30
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
