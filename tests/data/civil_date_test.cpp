// Calendar arithmetic: day numbers and dates agree both ways over a wide
// range, leap days fall where the calendar puts them, and times before 1970
// land on their own day.
#include "data/civil_date.h"

#include <gtest/gtest.h>

namespace telvara::data {
namespace {

TEST(CivilDate, DayNumbersAndDatesRoundTrip) {
    EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(days_from_civil(1969, 12, 31), -1);
    EXPECT_EQ(days_from_civil(2000, 3, 1) - days_from_civil(2000, 2, 28), 2); // 2000 is leap
    EXPECT_EQ(days_from_civil(1900, 3, 1) - days_from_civil(1900, 2, 28), 1); // 1900 is not
    for (std::int64_t day = -800'000; day <= 800'000; day += 997) {
        const CivilDate date = civil_from_days(day);
        ASSERT_GE(date.month, 1u);
        ASSERT_LE(date.month, 12u);
        ASSERT_GE(date.day, 1u);
        ASSERT_LE(date.day, 31u);
        ASSERT_EQ(days_from_civil(date.year, date.month, date.day), day) << day;
    }
}

TEST(CivilDate, MillisecondsBefore1970FallOnTheirOwnDay) {
    EXPECT_EQ(day_of_millis(0), 0);
    EXPECT_EQ(day_of_millis(kDayMs - 1), 0);
    EXPECT_EQ(day_of_millis(-1), -1);
    EXPECT_EQ(day_of_millis(-kDayMs), -1);
    EXPECT_EQ(day_of_millis(-kDayMs - 1), -2);
    const CivilDate before = civil_from_days(day_of_millis(-1));
    EXPECT_EQ(before.year, 1969);
    EXPECT_EQ(before.month, 12u);
    EXPECT_EQ(before.day, 31u);
}

} // namespace
} // namespace telvara::data
