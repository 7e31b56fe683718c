// Date texts: the day-month rule, date pictures and the forms the C locale (month first) gives.
#include "ui/date_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>

using namespace telvara;
using namespace telvara::ui;

TEST(DateOrderRule, FindsTheFirstElevenAndTwentyTwoAndPicksThePicture) {
    const std::pair<const char16_t*, DayMonthOrder> rows[] = {
        {u"11/22/00", DayMonthOrder::MonthFirst},   {u"2000-11-22", DayMonthOrder::MonthFirst},
        {u"22.11.2000", DayMonthOrder::DayFirst},   {u"22/11/00", DayMonthOrder::DayFirst},
        {u"Nov. 2000", DayMonthOrder::DayFirst},    {u"", DayMonthOrder::DayFirst},
        {u"Nov 22, 2000", DayMonthOrder::DayFirst}, // only the day as a number
    };
    for (const auto& [text, order] : rows)
        EXPECT_EQ(day_month_order_of(text), order) << to_utf8(text);
    EXPECT_EQ(day_month_picture(DayMonthOrder::MonthFirst, MonthStyle::Name), u"MMMM dd");
    EXPECT_EQ(day_month_picture(DayMonthOrder::MonthFirst, MonthStyle::Number), u"MM.dd");
    EXPECT_EQ(day_month_picture(DayMonthOrder::DayFirst, MonthStyle::Name), u"dd MMMM");
    EXPECT_EQ(day_month_picture(DayMonthOrder::DayFirst, MonthStyle::Number), u"dd.MM");
    const CalendarDate today = local_date(std::time(nullptr));
    EXPECT_TRUE(is_valid_date(today));
    EXPECT_GE(today.year, 2024);
    const CalendarDate then = local_date(1'000'000'000); // 2001-09-09 01:46:40 UTC
    EXPECT_EQ(then.year, 2001);
    EXPECT_EQ(then.month, 9);
}

class DateFormatC : public testing::Test {
  protected:
    void SetUp() override { ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr); }
};

TEST_F(DateFormatC, PictureTokensAndInvalidDates) {
    const struct {
        CalendarDate date;
        const char16_t* picture;
        const char16_t* text;
    } rows[] = {
        {{2001, 3, 5}, u"dd.MM", u"05.03"}, // a Monday
        {{2001, 3, 5}, u"d/M/yy", u"5/3/01"},
        {{2001, 3, 5}, u"yyyy", u"2001"},
        {{2001, 3, 5}, u"ddd dddd MMM MMMM", u"Mon Monday Mar March"},
        {{2001, 3, 5}, u"'day' d 'o''clock'", u"day 5 o'clock"},
        {{2001, 3, 5}, u"", u""},
        {{2001, 2, 29}, u"dd.MM", u""},
        {{2000, 13, 1}, u"dd.MM", u""},
        {{2000, 2, 29}, u"dd.MM", u"29.02"}, // a leap day is real
    };
    for (const auto& r : rows)
        EXPECT_EQ(format_date_picture(r.date, r.picture), r.text) << to_utf8(r.picture);
    EXPECT_EQ(format_date_list({2000, 1, 0}, MonthStyle::Name), u"");
    EXPECT_EQ(format_date_system({0, 1, 1}, DateLength::Short), u"");
}

TEST_F(DateFormatC, MonthFirstLocale) {
    const CalendarDate date{2000, 11, 22};
    EXPECT_EQ(format_date_system(date, DateLength::Short), u"11/22/00");
    EXPECT_EQ(day_month_order(), DayMonthOrder::MonthFirst);
    EXPECT_EQ(format_date_list(date, MonthStyle::Name), u"November 22");
    EXPECT_EQ(format_date_list({2000, 3, 5}, MonthStyle::Number), u"03.05");
    EXPECT_EQ(format_date_system(date, DateLength::Long), u"Wednesday, November 22, 2000");
}
