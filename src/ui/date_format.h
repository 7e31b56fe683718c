#pragma once
// Dates as text in the user's regional settings (the C library's LC_TIME
// locale): the locale's own short and long forms, and the short day-and-month
// forms of list rows, whose order follows the locale's short date format.

#include "platform/text.h"

#include <array>
#include <ctime>
#include <functional>

namespace telvara::ui {

struct CalendarDate {
    int year = 2000;
    int month = 1; // 1-12
    int day = 1;   // 1-31

    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
};

// A real day of the Gregorian calendar, years 1 to 9999.
bool is_valid_date(const CalendarDate& date);

// The local calendar day of a moment.
CalendarDate local_date(std::time_t moment);

enum class DateLength { Short, Long };
enum class MonthStyle { Number, Name };
enum class DayMonthOrder { DayFirst, MonthFirst };

// The rule on a formatted date: `short_date` is 22 November 2000 in some short
// date format. Month first when the first "11" comes before the first "22";
// day first otherwise, also when neither is there.
DayMonthOrder day_month_order_of(WStringView short_date);

// "dd MMMM" / "MMMM dd" with month names, "dd.MM" / "MM.dd" with numbers.
WStringView day_month_picture(DayMonthOrder order, MonthStyle month);

// The order of the current locale, worked out again at every call so that a
// changed locale shows at once.
DayMonthOrder day_month_order();
// The picture list rows use in the current locale.
WStringView day_month_order_picture(MonthStyle month);

// The date in the locale's short date format (nl_langinfo(D_FMT)), or its
// long form: weekday, day, month name and year in the locale's day-month
// order. An invalid date gives empty text.
WString format_date_system(const CalendarDate& date, DateLength length);

// Day and month only, for list rows: "22.11" / "11.22" or "22 November" /
// "November 22" by the current locale. An invalid date gives empty text.
WString format_date_list(const CalendarDate& date, MonthStyle month);

// A date picture: "d"/"dd" day, "ddd"/"dddd" weekday name short/full,
// "M"/"MM" month number, "MMM"/"MMMM" month name short/full, "yy" and
// "yyyy" year; text in single quotes and every other character as it
// stands. Names come from the current locale. Output is at most 127 code
// units. An invalid date gives empty text.
WString format_date_picture(const CalendarDate& date, WStringView picture);

// The names and date pictures of the user's language. The C library's
// locale fills in whatever the language does not say, so a language file
// without date words still shows dates.
struct DateWords {
    std::array<WString, 12> months;       // inside a date: "October", "октября"
    std::array<WString, 12> short_months; // inside a date: "Oct", "окт."
    std::array<WString, 12> wheel_months; // on their own, short: "Oct", "окт"
    std::array<WString, 7> weekdays;      // Sunday first
    std::array<WString, 7> short_weekdays;
    // Pictures in the language's own order.
    WString date;            // day, month and year: "d MMMM yyyy"
    WString day_month;       // "d MMMM"
    WString short_date;      // "d MMM"
    WString short_date_year; // "d MMM yyyy"
};

// Looks a language key up: the text, or the key itself (or nothing) when
// the language has none; LanguageStrings::translate is one.
using TextLookup = std::function<WString(WStringView key)>;

// Keys: "skinMonth1".."skinMonth12", "skinMonthShort1".., "skinMonthWheel1"..,
// "skinWeekday1".."skinWeekday7" and "skinWeekdayShort1".. (Monday first),
// "skinDateFormat", "skinDayMonthFormat", "skinShortDateFormat",
// "skinShortDateYearFormat". Without a lookup every word is the locale's.
DateWords date_words(const TextLookup& lookup);

// As format_date_picture, with the names of `words`.
WString format_date_picture(const CalendarDate& date, WStringView picture, const DateWords& words);

} // namespace telvara::ui
