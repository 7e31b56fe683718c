// Day numbers and dates agree both ways over a wide range; times before 1970 land on their own day.
#include "data/civil_date.h"
#include <gtest/gtest.h>

namespace telvara::data {
namespace {

TEST(CivilDate, DayNumbersDatesAndMillisecondsRoundTrip) {
    EXPECT_EQ(days_from_civil(1970, 1, 1), 0);
    EXPECT_EQ(days_from_civil(2000, 3, 1) - days_from_civil(2000, 2, 28), 2); // 2000 is leap
    EXPECT_EQ(days_from_civil(1900, 3, 1) - days_from_civil(1900, 2, 28), 1); // 1900 is not
    for (std::int64_t day = -800'000; day <= 800'000; day += 997) {
        const CivilDate d = civil_from_days(day);
        ASSERT_TRUE(d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31) << day;
        ASSERT_EQ(days_from_civil(d.year, d.month, d.day), day) << day;
    }
    const std::pair<std::int64_t, std::int64_t> days[] = {
        {0, 0}, {kDayMs - 1, 0}, {-1, -1}, {-kDayMs, -1}, {-kDayMs - 1, -2}};
    for (auto [ms, day] : days)
        EXPECT_EQ(day_of_millis(ms), day) << ms;
    const CivilDate before = civil_from_days(day_of_millis(-1));
    EXPECT_EQ(std::tuple(before.year, before.month, before.day),
              std::tuple(std::int64_t{1969}, 12u, 31u));
}

} // namespace
} // namespace telvara::data
