// The date editor, with its conversion between the stored birthday and the
// spinner's wheels.
#include "forms/edit_date_form.h"

#include "forms/required_node.h"
#include "ui/properties.h"

#include <charconv>
#include <chrono>
#include <string>

namespace telvara::forms {

namespace {

constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kMinuteMs = 60'000;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

ui::SpinnerDateTime civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    ui::SpinnerDateTime out;
    out.day = static_cast<std::int32_t>(doy - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<std::int32_t>(mp < 10 ? mp + 3 : mp - 9);
    out.year =
        static_cast<std::int32_t>(static_cast<std::int64_t>(yoe) + era * 400 + (out.month <= 2));
    return out;
}

ui::SpinnerDateTime from_millis(std::int64_t ms) {
    const std::int64_t days = ms >= 0 ? ms / kDayMs : -((-ms + kDayMs - 1) / kDayMs);
    const std::int64_t in_day = ms - days * kDayMs;
    ui::SpinnerDateTime out = civil_from_days(days);
    out.hour = static_cast<std::int32_t>(in_day / kHourMs);
    out.minute = static_cast<std::int32_t>(in_day % kHourMs / kMinuteMs);
    return out;
}

} // namespace

std::optional<ui::SpinnerDateTime> date_of_birthday(WStringView stored) {
    std::string text;
    for (char16_t c : stored) {
        if (c > 0x7F)
            return std::nullopt;
        text.push_back(static_cast<char>(c));
    }
    std::int64_t ms = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    // Far outside any calendar the wheels show: not a date.
    constexpr std::int64_t kLimit = 200'000'000'000'000LL;
    if (ms < -kLimit || ms > kLimit)
        return std::nullopt;
    return from_millis(ms);
}

WString birthday_of_date(const ui::SpinnerDateTime& date) {
    const std::int64_t days = days_from_civil(date.year, unsigned(date.month), unsigned(date.day));
    const std::int64_t ms = days * kDayMs + date.hour * kHourMs + date.minute * kMinuteMs;
    return from_utf8(std::to_string(ms));
}

EditDateForm::EditDateForm() : ContactEditorForm(u"EditDateForm") {}

void EditDateForm::bind_boxes() {
    m_date = &required<ui::SpinnerNode>(*this, u"date");
}

void EditDateForm::show(data::ContactRecord& contact, ContactEditListener* listener) {
    open(contact, listener);
}

void EditDateForm::fill(const data::ContactRecord& contact) {
    const data::ContactField* field = contact.field(data::FieldType::Birthday);
    std::optional<ui::SpinnerDateTime> date;
    if (field != nullptr)
        date = date_of_birthday(field->value);
    if (!date) {
        // Nothing to show: the wheels start on today.
        using namespace std::chrono;
        const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
        date = from_millis(now.count() / kDayMs * kDayMs);
    }
    m_date->set_date_time(*date);
}

void EditDateForm::write_back(data::ContactRecord& contact) {
    field_of(contact, data::FieldType::Birthday).value = birthday_of_date(m_date->date_time());
}

} // namespace telvara::forms
