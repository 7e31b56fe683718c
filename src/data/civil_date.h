#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar: the day number
// (days since 1970-01-01) of a date and the date of a day number, exact for
// any year; and the day number of a stored millisecond time (floor, so times
// before 1970 land on the right day). Birthdays are kept as milliseconds.

#include <cstdint>

namespace telvara::data {

struct CivilDate {
    std::int64_t year = 1970;
    unsigned month = 1; // 1-12
    unsigned day = 1;   // 1-31
};

inline constexpr std::int64_t kDayMs = 86'400'000;

std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day);
CivilDate civil_from_days(std::int64_t days);
// The day a millisecond time (since 1970, UTC) falls on.
std::int64_t day_of_millis(std::int64_t ms);

} // namespace telvara::data
