#include "data/contact_row.h"

#include "data/contact_entry.h"

#include <algorithm>

namespace telvara::data {

namespace {

std::uint16_t clipped(std::size_t length) {
    return static_cast<std::uint16_t>(std::min<std::size_t>(length, 0xFFFF));
}

} // namespace

ContactRow ContactRow::from(const ContactRecord& record) {
    ContactRow row;
    row.oid = record.oid;
    row.first_length = clipped(record.first_name.size());
    row.last_length = clipped(record.last_name.size());
    row.company_length = clipped(record.company.size());
    const ContactField* categories = record.field(FieldType::Categories);
    row.categories_length = categories != nullptr ? clipped(categories->value.size()) : 0;
    std::size_t size = std::size_t(row.first_length) + row.last_length + row.company_length +
                       row.categories_length;
    for (const ContactField& field : record.fields)
        if (is_number_field(field.type))
            size += 2 + clipped(field.value.size());
    row.text.reserve(size);
    row.text.append(record.first_name, 0, row.first_length);
    row.text.append(record.last_name, 0, row.last_length);
    row.text.append(record.company, 0, row.company_length);
    if (categories != nullptr)
        row.text.append(categories->value, 0, row.categories_length);
    for (const ContactField& field : record.fields) {
        if (!is_number_field(field.type))
            continue;
        row.text.push_back(static_cast<char16_t>(field.type));
        row.text.push_back(static_cast<char16_t>(clipped(field.value.size())));
        row.text.append(field.value, 0, clipped(field.value.size()));
    }
    return row;
}

ContactRecord ContactRow::record() const {
    ContactRecord r;
    r.oid = oid;
    r.first_name = first_name();
    r.last_name = last_name();
    r.company = company();
    for_each_number(
        [&r](FieldType type, WStringView number) { r.fields.emplace_back(type, WString(number)); });
    r.fields.emplace_back(FieldType::Categories, WString(categories()));
    std::stable_sort(r.fields.begin(), r.fields.end(),
                     [](const ContactField& a, const ContactField& b) { return a.type < b.type; });
    return r;
}

std::array<WString, 3> row_sort_keys(const ContactRow& row) {
    ContactRecord names;
    names.first_name = row.first_name();
    names.last_name = row.last_name();
    names.company = row.company();
    return make_sort_keys(names);
}

} // namespace telvara::data
