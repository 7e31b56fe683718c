// The contact card's rows: which rows a contact makes and what a field row shows.
#include "forms/contact_card_rows.h"

#include "data/civil_date.h"
#include "data/contact_store.h"

#include "data/categories.h"
#include "data/vcard.h"
#include "ui/date_format.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace telvara::forms {

using data::ContactField;
using data::FieldKind;
using data::FieldType;

namespace {

constexpr char16_t kCategoryNone[] = u"skinCategoryNone";

} // namespace

void sort_fields_by_group(std::vector<ContactField>& fields) {
    // By type within the group, as the store returns them: an edit that
    // appended parts in another order must read the same once stored.
    std::stable_sort(fields.begin(), fields.end(),
                     [](const ContactField& a, const ContactField& b) {
                         return a.kind != b.kind ? a.kind < b.kind : a.type < b.type;
                     });
}

bool is_address(FieldKind kind) {
    return kind == FieldKind::WorkAddress || kind == FieldKind::HomeAddress;
}

std::size_t row_field_end(const std::vector<ContactField>& fields, std::size_t first) {
    if (first >= fields.size())
        return fields.size();
    std::size_t end = first + 1;
    if (is_address(fields[first].kind))
        while (end < fields.size() && fields[end].kind == fields[first].kind)
            ++end;
    return end;
}

std::vector<int> build_rows(const std::vector<ContactField>& fields, CardMode mode) {
    std::vector<int> rows{kHeadRow};
    const ContactField* previous = nullptr;
    for (std::size_t i = 0; i < fields.size(); i = row_field_end(fields, i)) {
        // The generated contacts' erase marker is the store's business, not
        // the user's: it stays in the record but never makes a row.
        if (fields[i].type == data::kEraseMarkerField && fields[i].value == data::kEraseMarker)
            continue;
        const bool new_group = previous == nullptr || fields[i].kind != previous->kind;
        rows.push_back(new_group ? kGroupSeparatorRow : kSeparatorRow);
        rows.push_back(static_cast<int>(i));
        previous = &fields[i];
    }
    if (mode == CardMode::Edit) {
        rows.push_back(kGroupSeparatorRow);
        rows.push_back(kButtonsRow);
    }
    return rows;
}

std::size_t icon_state(FieldType type) {
    const auto id = static_cast<std::uint32_t>(type);
    if (id == 0)
        return 0;
    if (id <= 8)
        return 1;
    if (id <= 11)
        return 2;
    if (id == 12)
        return 3;
    if (id >= 24 && id <= 33)
        return 4;
    if (id == 23)
        return 5;
    if (id == 22)
        return 6;
    return 7;
}

WString field_label_key(FieldType type) {
    return data::field_type_name(type);
}

WString birthday_text(WStringView stored, const std::function<WString(WStringView)>& translate) {
    const std::string text = to_utf8(stored);
    std::int64_t ms = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return WString(stored);
    const data::CivilDate civil = data::civil_from_days(data::day_of_millis(ms));
    ui::CalendarDate date;
    date.day = static_cast<int>(civil.day);
    date.month = static_cast<int>(civil.month);
    const std::int64_t year = civil.year;
    if (year < 1 || year > 9999)
        return WString(stored);
    date.year = static_cast<int>(year);
    const ui::DateWords words = ui::date_words(translate);
    return ui::format_date_picture(
        date, year == data::kBirthdayNoYear ? words.day_month : words.date, words);
}

WString field_text(const std::vector<ContactField>& fields, std::size_t first,
                   const std::function<WString(WStringView)>& translate) {
    if (first >= fields.size())
        return {};
    const ContactField& field = fields[first];
    if (field.type == FieldType::Birthday)
        return birthday_text(field.value, translate);
    if (field.type == FieldType::Categories)
        // "skinNoCategory" names the list of every contact, not a category
        // the contact is in: an empty value says there is none.
        return field.value.empty() ? translate(kCategoryNone) : field.value;
    if (!is_address(field.kind))
        return field.value;
    WString joined;
    for (std::size_t i = first, end = row_field_end(fields, first); i < end; ++i) {
        if (fields[i].value.empty())
            continue;
        if (!joined.empty())
            joined += u", ";
        joined += fields[i].value;
    }
    return joined;
}

} // namespace telvara::forms
