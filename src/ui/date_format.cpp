// Date formatting over the C library's LC_TIME locale: wcsftime for every
// locale-dependent piece, nl_langinfo(D_FMT) for the short date format.
#include "ui/date_format.h"

#include <chrono>
#include <cwchar>
#include <langinfo.h>

namespace telvara::ui {

namespace {

// What the platform's date call could give at most, terminator included.
constexpr std::size_t kOutputLimit = 128;

std::wstring to_wide(WStringView text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        wide.push_back(static_cast<wchar_t>(c));
    }
    return wide;
}

void append_wide(WString& out, const wchar_t* text) {
    for (; *text; ++text) {
        const auto c = static_cast<char32_t>(*text);
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
}

std::tm to_tm(const CalendarDate& date) {
    using namespace std::chrono;
    const year_month_day ymd{year{date.year}, month{static_cast<unsigned>(date.month)},
                             day{static_cast<unsigned>(date.day)}};
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_wday = static_cast<int>(weekday{sys_days{ymd}}.c_encoding());
    tm.tm_yday =
        static_cast<int>((sys_days{ymd} - sys_days{year{date.year} / January / 1}).count());
    tm.tm_isdst = -1;
    return tm;
}

// One wcsftime call; empty when the result does not fit the output limit.
WString strftime_wide(const std::tm& tm, const std::wstring& format) {
    wchar_t buffer[kOutputLimit];
    WString out;
    if (std::wcsftime(buffer, kOutputLimit, format.c_str(), &tm) > 0)
        append_wide(out, buffer);
    return out;
}

WString number(int value, int digits) {
    WString text = to_wstring(value);
    while (static_cast<int>(text.size()) < digits)
        text.insert(text.begin(), u'0');
    return text;
}

// The name a language gives, or the locale's when it gives none.
WString name_or(const WString& name, const std::tm& tm, const wchar_t* format) {
    return name.empty() ? strftime_wide(tm, format) : name;
}

WString render_token(const std::tm& tm, const CalendarDate& date, char16_t letter,
                     std::size_t count, const DateWords* words) {
    const auto month = static_cast<std::size_t>(date.month - 1);
    const auto weekday = static_cast<std::size_t>(tm.tm_wday);
    switch (letter) {
    case u'd':
        if (count <= 2)
            return number(date.day, static_cast<int>(count));
        if (words == nullptr)
            return strftime_wide(tm, count == 3 ? L"%a" : L"%A");
        return count == 3 ? name_or(words->short_weekdays[weekday], tm, L"%a")
                          : name_or(words->weekdays[weekday], tm, L"%A");
    case u'M':
        if (count <= 2)
            return number(date.month, static_cast<int>(count));
        if (words == nullptr)
            return strftime_wide(tm, count == 3 ? L"%b" : L"%B");
        return count == 3 ? name_or(words->short_months[month], tm, L"%b")
                          : name_or(words->months[month], tm, L"%B");
    default: // 'y'
        if (count <= 2)
            return number(date.year % 100, static_cast<int>(count));
        return number(date.year, 4);
    }
}

WString render_picture(const CalendarDate& date, WStringView picture, const DateWords* words) {
    if (!is_valid_date(date))
        return {};
    const std::tm tm = to_tm(date);
    WString out;
    for (std::size_t at = 0; at < picture.size();) {
        const char16_t c = picture[at];
        if (c == u'\'') {
            // Quoted text; two quotes in a row stand for one.
            std::size_t end = at + 1;
            for (; end < picture.size(); ++end) {
                if (picture[end] != u'\'')
                    out.push_back(picture[end]);
                else if (end + 1 < picture.size() && picture[end + 1] == u'\'')
                    out.push_back(picture[++end]);
                else
                    break;
            }
            at = end + 1;
            continue;
        }
        if (c != u'd' && c != u'M' && c != u'y') {
            out.push_back(c);
            ++at;
            continue;
        }
        std::size_t count = 1;
        while (at + count < picture.size() && picture[at + count] == c)
            ++count;
        out += render_token(tm, date, c, count, words);
        at += count;
    }
    if (out.size() >= kOutputLimit)
        out.resize(kOutputLimit - 1);
    return out;
}

// What a language says for the key; empty when it says nothing (the lookup
// gives the key back, or nothing).
WString looked_up(const TextLookup& lookup, const WString& key) {
    if (!lookup)
        return {};
    WString text = lookup(key);
    return text == key ? WString() : text;
}

// The long form in the locale's day-month order, since C locales carry no
// long date format of their own.
constexpr WStringView kLongDayFirst = u"dddd, d MMMM yyyy";
constexpr WStringView kLongMonthFirst = u"dddd, MMMM d, yyyy";

} // namespace

bool is_valid_date(const CalendarDate& date) {
    using namespace std::chrono;
    if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1)
        return false;
    return year_month_day{year{date.year}, month{static_cast<unsigned>(date.month)},
                          day{static_cast<unsigned>(date.day)}}
        .ok();
}

CalendarDate local_date(std::time_t moment) {
    std::tm tm{};
    localtime_r(&moment, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

DayMonthOrder day_month_order_of(WStringView short_date) {
    const std::size_t month = short_date.find(u"11");
    const std::size_t day = short_date.find(u"22");
    // npos is the largest position: a missing "22" counts as last, a missing
    // "11" can never come first.
    return month < day ? DayMonthOrder::MonthFirst : DayMonthOrder::DayFirst;
}

WStringView day_month_picture(DayMonthOrder order, MonthStyle month) {
    if (order == DayMonthOrder::MonthFirst)
        return month == MonthStyle::Name ? u"MMMM dd" : u"MM.dd";
    return month == MonthStyle::Name ? u"dd MMMM" : u"dd.MM";
}

DayMonthOrder day_month_order() {
    return day_month_order_of(format_date_system({2000, 11, 22}, DateLength::Short));
}

WStringView day_month_order_picture(MonthStyle month) {
    return day_month_picture(day_month_order(), month);
}

WString format_date_system(const CalendarDate& date, DateLength length) {
    if (!is_valid_date(date))
        return {};
    if (length == DateLength::Long)
        return format_date_picture(
            date, day_month_order() == DayMonthOrder::MonthFirst ? kLongMonthFirst : kLongDayFirst);
    return strftime_wide(to_tm(date), to_wide(from_utf8(nl_langinfo(D_FMT))));
}

WString format_date_list(const CalendarDate& date, MonthStyle month) {
    return format_date_picture(date, day_month_order_picture(month));
}

WString format_date_picture(const CalendarDate& date, WStringView picture) {
    return render_picture(date, picture, nullptr);
}

WString format_date_picture(const CalendarDate& date, WStringView picture, const DateWords& words) {
    return render_picture(date, picture, &words);
}

DateWords date_words(const TextLookup& lookup) {
    DateWords words;
    for (std::size_t m = 0; m < 12; ++m) {
        const WString n = to_wstring(static_cast<std::int64_t>(m + 1));
        // The first of the month is a real day in every month.
        const std::tm tm = to_tm({2000, static_cast<int>(m + 1), 1});
        words.months[m] = name_or(looked_up(lookup, u"skinMonth" + n), tm, L"%B");
        words.short_months[m] = name_or(looked_up(lookup, u"skinMonthShort" + n), tm, L"%b");
        WString wheel = looked_up(lookup, u"skinMonthWheel" + n);
        words.wheel_months[m] = wheel.empty() ? words.short_months[m] : std::move(wheel);
    }
    for (std::size_t d = 0; d < 7; ++d) {
        // Keys count from Monday (1) to Sunday (7); the table from Sunday.
        const WString n = to_wstring(static_cast<std::int64_t>(d == 0 ? 7 : d));
        // 2 January 2000 was a Sunday.
        const std::tm tm = to_tm({2000, 1, 2 + static_cast<int>(d)});
        words.weekdays[d] = name_or(looked_up(lookup, u"skinWeekday" + n), tm, L"%A");
        words.short_weekdays[d] = name_or(looked_up(lookup, u"skinWeekdayShort" + n), tm, L"%a");
    }
    const DayMonthOrder order = day_month_order();
    const auto picture = [&](const char16_t* key, WStringView fallback) {
        WString text = looked_up(lookup, key);
        return text.empty() ? WString(fallback) : text;
    };
    const bool month_first = order == DayMonthOrder::MonthFirst;
    words.day_month = picture(u"skinDayMonthFormat", month_first ? u"MMMM d" : u"d MMMM");
    words.date = picture(u"skinDateFormat", month_first ? u"MMMM d, yyyy" : u"d MMMM yyyy");
    words.short_date = picture(u"skinShortDateFormat", month_first ? u"MMM d" : u"d MMM");
    words.short_date_year =
        picture(u"skinShortDateYearFormat", month_first ? u"MMM d, yyyy" : u"d MMM yyyy");
    return words;
}

} // namespace telvara::ui
