// The card's rows without a skin: which rows a contact makes, icons and texts.
#include "data/contact_record.h"
#include "forms/contact_card_rows.h"
#include "runtime/paths.h"
#include "ui/lang/language_file.h"

#include <gtest/gtest.h>

#include <clocale>

namespace telvara::forms {
namespace {

using data::ContactField;
using data::FieldType;

std::vector<ContactField> sorted(std::vector<ContactField> fields) {
    sort_fields_by_group(fields);
    return fields;
}

TEST(ContactCardRows, RowsPerFieldWithSeparatorsAndBands) {
    EXPECT_EQ(build_rows({}, CardMode::View), (std::vector<int>{kHeadRow}));
    EXPECT_EQ(build_rows({}, CardMode::Edit),
              (std::vector<int>{kHeadRow, kGroupSeparatorRow, kButtonsRow}));
    const auto fields = sorted(
        {{FieldType::Email1, u"a@b.org"}, {FieldType::Mobile, u"1"}, {FieldType::Mobile, u"2"}});
    EXPECT_EQ(std::pair(fields[0].value, fields[1].value), std::pair(WString(u"1"), WString(u"2")))
        << "sorting by group keeps the mobiles in their order";
    EXPECT_EQ(build_rows(fields, CardMode::View),
              (std::vector<int>{kHeadRow, kGroupSeparatorRow, 0, kSeparatorRow, 1,
                                kGroupSeparatorRow, 2}));
    // The generated contacts' erase marker makes no row; a real suffix does.
    const auto marked = sorted({{FieldType::Mobile, u"1"},
                                {FieldType::Suffix, u"##F"},
                                {FieldType::JobTitle, u"Accountant"}});
    std::vector<int> rows = build_rows(marked, CardMode::View);
    for (int row : rows)
        EXPECT_TRUE(row < 0 || marked[std::size_t(row)].value != u"##F");
    EXPECT_EQ(rows.size(), 5u); // head, band, mobile, band or line, job title
    EXPECT_EQ(build_rows(sorted({{FieldType::Suffix, u"Jr."}}), CardMode::View).size(), 3u);
    EXPECT_EQ(icon_state(FieldType::AssistantTel), 1u) << "a work number's icon";
    EXPECT_EQ(icon_state(FieldType::PagerNumber), 7u) << "the icon of the other fields";
}

} // namespace
} // namespace telvara::forms
