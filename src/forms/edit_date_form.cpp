// The date editor, with its conversion between the stored birthday and the
// spinner's wheels.
#include "forms/edit_date_form.h"

#include "data/civil_date.h"
#include "forms/required_node.h"
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
    m_shown = m_date->date_time();
}

void EditDateForm::write_back(data::ContactRecord& contact) {
    // Wheels left where they were change nothing: a contact without a
    // birthday is not given today's, and a stored value stays as it is.
    const ui::SpinnerDateTime chosen = m_date->date_time();
    if (chosen == m_shown)
        return;
    field_of(contact, data::FieldType::Birthday).value = birthday_of_date(chosen);
}

} // namespace telvara::forms
