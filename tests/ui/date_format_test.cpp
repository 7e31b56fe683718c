// Date texts: the day-month rule, date pictures, the forms the C locale
// (month first) and a generated German locale (day first) give, and the
// names and order a language file gives instead.
#include "ui/date_format.h"

#include "runtime/paths.h"
#include "ui/lang/language_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <string>
#include <vector>

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

// A language as the lookup sees it: the text of a key, or the key itself.
TextLookup language(std::map<WString, WString> table) {
    return [table = std::move(table)](WStringView key) {
        const auto found = table.find(WString(key));
        return found != table.end() ? found->second : WString(key);
    };
}

TEST_F(DateFormatC, ALanguagesWordsAndOrderReplaceTheLocales) {
    const DateWords words = date_words(language({
        {u"skinMonth10", u"октября"},
        {u"skinMonthShort12", u"дек."},
        {u"skinMonthWheel10", u"окт"},
        {u"skinWeekday1", u"понедельник"},
        {u"skinWeekdayShort7", u"Вс"},
        {u"skinDateFormat", u"d MMMM yyyy"},
        {u"skinShortDateFormat", u"d MMM"},
    }));
    const struct {
        CalendarDate date;
        WStringView picture;
        WStringView expected;
    } cases[] = {
        {{1974, 10, 9}, words.date, u"9 октября 1974"},
        {{2023, 12, 6}, words.short_date, u"6 дек."},
        {{2001, 3, 5}, u"dddd", u"понедельник"},     // weekday keys count from Monday
        {{2001, 3, 11}, u"ddd", u"Вс"},              // and end on Sunday
        {{2001, 3, 6}, u"dddd ddd", u"Tuesday Tue"}, // what the language does not name
        {{1974, 11, 9}, u"MMMM MMM", u"November Nov"},
        {{1974, 10, 9}, u"dd.MM.yy", u"09.10.74"}, // numbers stay numbers
        {{2001, 2, 29}, words.date, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_date_picture(c.date, c.picture, words), c.expected) << to_utf8(c.picture);
    EXPECT_EQ(words.wheel_months[9], u"окт");
    EXPECT_EQ(words.wheel_months[0], u"Jan") << "the wheel falls back to the short name";
    // Pictures the language leaves out follow the locale's order (C: month first).
    EXPECT_EQ(words.day_month, u"MMMM d");
    EXPECT_EQ(words.short_date_year, u"MMM d, yyyy");
    for (const TextLookup& lookup :
         {TextLookup{}, language({}), TextLookup([](WStringView) { return WString(); })}) {
        const DateWords none = date_words(lookup);
        EXPECT_EQ(format_date_picture({1974, 10, 9}, none.date, none), u"October 9, 1974");
        EXPECT_EQ(none.months[11], u"December");
        EXPECT_EQ(none.short_weekdays[0], u"Sun");
        EXPECT_EQ(none.weekdays[6], u"Saturday");
    }
}
