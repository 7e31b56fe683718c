// The date editor, with its conversion between the stored birthday and the
// spinner's wheels.
#include "forms/edit_date_form.h"

#include "data/civil_date.h"
#include "data/vcard.h"
#include "forms/required_node.h"
#include "ui/multinode.h"
#include "ui/properties.h"

#include <charconv>
#include <chrono>
#include <string>

namespace telvara::forms {

namespace {

using data::kDayMs;
constexpr std::int64_t kHourMs = 3'600'000;
constexpr std::int64_t kMinuteMs = 60'000;

ui::SpinnerDateTime from_millis(std::int64_t ms) {
    const std::int64_t days = data::day_of_millis(ms);
    const std::int64_t in_day = ms - days * kDayMs;
    const data::CivilDate date = data::civil_from_days(days);
    ui::SpinnerDateTime out;
    out.year = static_cast<std::int32_t>(date.year);
    out.month = static_cast<std::int32_t>(date.month);
    out.day = static_cast<std::int32_t>(date.day);
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
    const std::int64_t days =
        data::days_from_civil(date.year, unsigned(date.month), unsigned(date.day));
    const std::int64_t ms = days * kDayMs + date.hour * kHourMs + date.minute * kMinuteMs;
    return from_utf8(std::to_string(ms));
}

EditDateForm::EditDateForm() : ContactEditorForm(u"EditDateForm") {}

void EditDateForm::bind_boxes() {
    m_date = &required<ui::SpinnerNode>(*this, u"date");
    m_no_year = dynamic_cast<ui::Multinode*>(find(u"no_year"));
    if (m_no_year != nullptr)
        m_no_year->set_listener(this);
}

void EditDateForm::on_button(ui::ButtonNode& button) {
    if (m_no_year != nullptr && button.parent() == m_no_year)
        set_without_year(!m_without_year);
}

void EditDateForm::set_without_year(bool without_year) {
    if (m_date == nullptr)
        return;
    if (without_year != m_without_year) {
        ui::SpinnerDateTime date = m_date->date_time();
        if (without_year) {
            m_year_before = date.year;
            // The stored year that stands for none; a leap year, so that the
            // 29th of February stays a birthday.
            date.year = data::kBirthdayNoYear;
        } else {
            date.year = m_year_before;
        }
        m_date->set_date_time(date);
    }
    m_without_year = without_year;
    m_date->set_wheels(without_year ? ui::SpinnerWheels::MonthDay : ui::SpinnerWheels::Date);
    if (m_no_year != nullptr)
        m_no_year->show(without_year ? 1 : 0);
}

void EditDateForm::show(data::ContactRecord& contact, ContactEditListener* listener) {
    open(contact, listener);
}

void EditDateForm::fill(const data::ContactRecord& contact) {
    const data::ContactField* field = contact.field(data::FieldType::Birthday);
    std::optional<ui::SpinnerDateTime> date;
    if (field != nullptr)
        date = date_of_birthday(field->value);
    const ui::SpinnerDateTime today = [] {
        using namespace std::chrono;
        const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
        return from_millis(now.count() / kDayMs * kDayMs);
    }();
    // Nothing to show: the wheels start on today.
    if (!date)
        date = today;
    m_date->set_date_time(*date);
    // A year-less birthday gets this year back should "no year" go off.
    m_without_year = date->year == data::kBirthdayNoYear;
    m_year_before = m_without_year ? today.year : date->year;
    set_without_year(m_without_year);
    m_shown = m_date->date_time();
    m_shown_without_year = m_without_year;
}

void EditDateForm::write_back(data::ContactRecord& contact) {
    // Wheels and switch left as they were change nothing: a contact without
    // a birthday is not given today's, and a stored value (a year-less one,
    // one with a time of day) stays as it is.
    ui::SpinnerDateTime chosen = m_date->date_time();
    if (chosen == m_shown && m_without_year == m_shown_without_year)
        return;
    // A birthday is a day: it is kept at midnight, as a vCard's date is.
    chosen.hour = 0;
    chosen.minute = 0;
    if (m_without_year)
        chosen.year = data::kBirthdayNoYear;
    field_of(contact, data::FieldType::Birthday).value = birthday_of_date(chosen);
}

} // namespace telvara::forms
