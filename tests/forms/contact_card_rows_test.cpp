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

WString key_of(WStringView key) {
    return WString(u"<") + WString(key) + u">";
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
}

TEST(ContactCardRows, AnAddressIsOneRowAndTheNextAddressAnother) {
    const auto fields = sorted({{FieldType::Mobile, u"1"},
                                {FieldType::WorkAddress1, u"Main St 1"},
                                {static_cast<FieldType>(25), u"Springfield"},
                                {static_cast<FieldType>(26), u""},
                                {static_cast<FieldType>(27), u"12345"},
                                {FieldType::WorkAddress5, u"Freedonia"},
                                {FieldType::HomeAddress1, u"Elm St 2"}});
    EXPECT_EQ(build_rows(fields, CardMode::Edit),
              (std::vector<int>{kHeadRow, kGroupSeparatorRow, 0, kGroupSeparatorRow, 1,
                                kGroupSeparatorRow, 6, kGroupSeparatorRow, kButtonsRow}));
    EXPECT_EQ(row_field_end(fields, 1), 6u);
    // Empty parts leave no doubled commas.
    EXPECT_EQ(field_text(fields, 1, key_of), u"Main St 1, Springfield, 12345, Freedonia");
    EXPECT_EQ(field_text(fields, 6, key_of), u"Elm St 2");
    EXPECT_EQ(field_label_key(fields[1].type), u"WorkAddress");
}

TEST(ContactCardRows, IconsFollowTheFieldType) {
    const std::pair<FieldType, std::size_t> icons[] = {
        {FieldType::Mobile, 0},       {FieldType::BusinessTel, 1},  {FieldType::AssistantTel, 1},
        {FieldType::Email1, 2},       {FieldType::Email3, 2},       {FieldType::WebPage, 3},
        {FieldType::WorkAddress1, 4}, {FieldType::HomeAddress5, 4}, {FieldType::Categories, 5},
        {FieldType::Birthday, 6},     {FieldType::NickName, 7},     {FieldType::PagerNumber, 7}};
    for (const auto& [type, icon] : icons)
        EXPECT_EQ(icon_state(type), icon) << int(type);
}

// The card dates a birthday in the words and order of the chosen language,
// never in the C library's: a Russian card reads "21 мая 1980".
TEST(ContactCardRows, BirthdaysSpeakTheChosenLanguage) {
    ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    struct Case {
        const char* file;
        WStringView with_year;
        WStringView without_year;
    };
    for (const Case& c : {Case{"english.lng", u"21 May 1980", u"21 May"},
                          Case{"russian.lng", u"21 мая 1980", u"21 мая"}}) {
        const auto table =
            ui::read_language_file(runtime::file_path(u"%app_path%/" + from_utf8(c.file)));
        ASSERT_TRUE(table) << c.file;
        const auto translate = [&](WStringView key) {
            const auto found = table->find(key);
            return found != table->end() ? found->second : WString(key);
        };
        const std::vector<ContactField> fields{{FieldType::Birthday, u"327715200000"},
                                               {FieldType::Birthday, u"-11537683200000"}};
        EXPECT_EQ(field_text(fields, 0, translate), c.with_year) << c.file;
        EXPECT_EQ(field_text(fields, 1, translate), c.without_year) << c.file;
    }
    // What is not a date stays as it was typed; past the end of the fields, nothing.
    EXPECT_EQ(birthday_text(u"next May"), u"next May");
    EXPECT_EQ(field_text({{FieldType::Categories, u""}}, 5, key_of), u"");
}

} // namespace
} // namespace telvara::forms
