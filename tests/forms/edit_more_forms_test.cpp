// The address, date and categories editors on the shipped default skin with
// a real Document and a real contact volume: what each writes when left, the
// card opening them in edit mode, and an editor closing when its contact is
// removed.
#include "card_editing_test_support.h"
#include "data/contact_store.h"
#include "data/document_test_support.h"
#include "data/vcard.h"
#include "form_stack_host.h"
#include "forms/contact_form.h"
#include "forms/edit_categories_form.h"
#include "forms/edit_contact_address_form.h"
#include "forms/edit_date_form.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "forms/select_field_form.h"
#include "forms/skin_types.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/multinode.h"
#include "ui/properties.h"
#include "ui/text_input_service.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::person;
using data::testing::phone;
using Box = EditContactAddressForm::Box;

FieldType part(int id) {
    return static_cast<FieldType>(id);
}

// --- The stored birthday and the wheels ------------------------------------------------------

TEST(BirthdayDates, StoredMillisecondsBecomeTheDateAndBack) {
    // 1980-05-21, midnight UTC.
    const auto may = date_of_birthday(u"327715200000");
    ASSERT_TRUE(may);
    EXPECT_EQ(*may, (ui::SpinnerDateTime{1980, 5, 21, 0, 0}));
    EXPECT_EQ(birthday_of_date(*may), u"327715200000");
    // Before 1970, with a time of day.
    const ui::SpinnerDateTime old{1604, 2, 29, 10, 30};
    const WString stored = birthday_of_date(old);
    EXPECT_EQ(stored.front(), u'-');
    EXPECT_EQ(date_of_birthday(stored), old);
    EXPECT_EQ(date_of_birthday(u"-1"), (ui::SpinnerDateTime{1969, 12, 31, 23, 59}));
    for (const char16_t* bad : {u"", u"12a", u"1980-05-21", u" 5", u"99999999999999999999"})
        EXPECT_FALSE(date_of_birthday(bad)) << to_utf8(bad);
}

// --- The editors with the card -----------------------------------------------------------------

class EditMoreFormsTest : public test::CardEditingTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        start("edit_more.vol",
              person(0, u"Anna", u"Berg", u"",
                     {phone(FieldType::Mobile, u"+1 555 0100"),
                      {FieldType::Birthday, u"327715200000"},
                      {FieldType::Categories, u"Golf, Family"},
                      {FieldType::WorkAddress1, u"1 Main St"},
                      {part(25), u"Springfield"},
                      {FieldType::HomeAddress1, u"2 Elm Rd"},
                      {part(30), u"Shelbyville"}}),
              {u"Work", u"Family", u"Golf"});
        set_form_host(&m_host);
    }

    void tap_card(FieldType type) {
        const std::int32_t row = card_row(type);
        ASSERT_GE(row, 0) << int(type);
        m_card->press_row_button(row, ContactForm::RowButton::Action);
    }
    void remove_contact() {
        m_store.contacts.erase(m_oid);
        m_document->on_contact_removed(m_oid);
    }
    // Stores the contact without its birthday, then picks "Birthday" in the
    // card's field chooser; returns the contact as stored.
    data::ContactRecord choose_new_birthday() {
        data::ContactRecord without = stored();
        std::erase_if(without.fields,
                      [](const data::ContactField& f) { return f.type == FieldType::Birthday; });
        EXPECT_TRUE(m_volume->update_contact(without));
        m_store.put(without);
        m_document->on_contact_changed(m_oid);
        show_card();
        m_card->add_field();
        const auto rows =
            select_field_rows(offered_field_types(&m_card->contact(), FieldChoice::All));
        const auto at = std::find(rows.begin(), rows.end(), int(FieldType::Birthday));
        EXPECT_NE(at, rows.end());
        if (at != rows.end())
            m_card->field_chooser().choose_row(std::int32_t(at - rows.begin()));
        return without;
    }
};

TEST_F(EditMoreFormsTest, TheAddressEditorWritesAllFivePartsOfThatAddressOnly) {
    show_card();
    tap_card(FieldType::WorkAddress1);
    EditContactAddressForm& editor = m_card->address_editor();
    ASSERT_TRUE(editor.is_open());
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.address(), FieldType::WorkAddress1);
    EXPECT_EQ(editor.box(Box::Street).text(), u"1 Main St");
    EXPECT_EQ(editor.box(Box::City).text(), u"Springfield");
    EXPECT_EQ(editor.box(Box::Zip).text(), u"");
    // Typing goes into the street box first.
    type(u", floor 2");
    editor.box(Box::City).set_text(u"Capital City");
    editor.box(Box::Zip).set_text(u"12345");
    editor.box(Box::State).set_text(u"Oregon");
    editor.box(Box::Country).set_text(u"USA");
    click(editor.cancel_button());
    EXPECT_FALSE(editor.is_open());
    EXPECT_FALSE(m_host.is_shown(editor));

    const data::ContactRecord record = stored();
    EXPECT_EQ(value(record, FieldType::WorkAddress1), u"1 Main St, floor 2");
    EXPECT_EQ(value(record, part(25)), u"Capital City");
    // The store keeps the region before the postal code.
    EXPECT_EQ(value(record, part(26)), u"Oregon");
    EXPECT_EQ(value(record, part(27)), u"12345");
    EXPECT_EQ(value(record, part(28)), u"USA");
    // The home address is untouched, and no empty home parts appeared.
    EXPECT_EQ(value(record, FieldType::HomeAddress1), u"2 Elm Rd");
    EXPECT_EQ(value(record, part(30)), u"Shelbyville");
    for (int id = 31; id <= 33; ++id)
        EXPECT_EQ(value(m_card->contact(), part(id)), u"<none>") << id;
    // The card shows the edit at once.
    EXPECT_EQ(value(m_card->contact(), part(27)), u"12345");
}

TEST_F(EditMoreFormsTest, ASavedAddressReadsTheSameBeforeAndAfterTheStoresNotice) {
    show_card();
    tap_card(FieldType::WorkAddress1);
    EditContactAddressForm& editor = m_card->address_editor();
    editor.box(Box::Zip).set_text(u"12345");
    editor.box(Box::State).set_text(u"Oregon");
    editor.box(Box::Country).set_text(u"USA");
    editor.leave();
    const auto shown = [this] {
        const std::int32_t row = card_row(FieldType::WorkAddress1);
        return row < 0 ? WString(u"<no row>")
                       : field_text(m_card->contact().fields,
                                    std::size_t(m_card->rows()[std::size_t(row)]),
                                    [](WStringView key) { return WString(key); });
    };
    const WString before = shown();
    EXPECT_EQ(before, u"1 Main St, Springfield, Oregon, 12345, USA");
    const std::vector<int> rows = m_card->rows();
    m_store.put(stored());
    m_document->on_contact_changed(m_oid);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(m_card->rows(), rows);
}

TEST_F(EditMoreFormsTest, EmptyingAnAddressRemovesItsRow) {
    show_card();
    tap_card(FieldType::HomeAddress1);
    EditContactAddressForm& editor = m_card->address_editor();
    ASSERT_EQ(editor.address(), FieldType::HomeAddress1);
    editor.box(Box::Street).set_text(u"");
    editor.box(Box::City).set_text(u"");
    editor.leave();
    EXPECT_EQ(card_row(FieldType::HomeAddress1), -1);
    EXPECT_EQ(card_row(part(30)), -1);
    EXPECT_EQ(value(stored(), part(30)), u"<none>");
    EXPECT_EQ(value(stored(), part(25)), u"Springfield");
}

TEST_F(EditMoreFormsTest, TheDateEditorStoresTheSpinnersDate) {
    show_card();
    tap_card(FieldType::Birthday);
    EditDateForm& editor = m_card->date_editor();
    ASSERT_TRUE(editor.is_open());
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.spinner().date_time(), (ui::SpinnerDateTime{1980, 5, 21, 0, 0}));
    editor.spinner().set_date_time({1999, 12, 31, 0, 0});
    click(editor.cancel_button());
    EXPECT_FALSE(m_host.is_shown(editor));
    // 1999-12-31 00:00 UTC.
    EXPECT_EQ(value(stored(), FieldType::Birthday), u"946598400000");
    EXPECT_EQ(value(m_card->contact(), FieldType::Birthday), u"946598400000");
}

TEST_F(EditMoreFormsTest, TheMonthWheelSpeaksTheChosenLanguage) {
    struct Case {
        const char16_t* language;
        WStringView may;
        WStringView october;
    };
    for (const Case& c : {Case{u"russian", u"май", u"окт"}, Case{u"english", u"May", u"Oct"}}) {
        // As a language choice does: the new words, then the screens built again.
        ASSERT_TRUE(
            m_skin.language().load_language_file(u"%app_path%/" + WString(c.language) + u".lng"));
        m_card->bind(m_skin, &*m_volume);
        show_card();
        tap_card(FieldType::Birthday);
        EditDateForm& editor = m_card->date_editor();
        ASSERT_TRUE(editor.is_open());
        EXPECT_EQ(editor.spinner().label(ui::SpinnerWheelId::Month, 4), c.may);
        EXPECT_EQ(editor.spinner().label(ui::SpinnerWheelId::Month, 9), c.october);
        EXPECT_EQ(editor.spinner().label(ui::SpinnerWheelId::Day, 8), u"9");
        click(editor.cancel_button());
    }
}

TEST_F(EditMoreFormsTest, LeftLeavesTheDateEditorOnReleaseAndSaves) {
    show_card();
    tap_card(FieldType::Birthday);
    EditDateForm& editor = m_card->date_editor();
    editor.spinner().set_date_time({1985, 3, 1, 0, 0});
    EXPECT_TRUE(editor.on_key({ui::key::Left, true, true}));
    EXPECT_TRUE(editor.is_open());
    EXPECT_TRUE(editor.on_key({ui::key::Left, false, true}));
    EXPECT_FALSE(editor.is_open());
    EXPECT_EQ(date_of_birthday(value(stored(), FieldType::Birthday)),
              (ui::SpinnerDateTime{1985, 3, 1, 0, 0}));
    // Closed, Left is no longer the editor's.
    EXPECT_FALSE(editor.on_key({ui::key::Left, false, true}));
}

TEST_F(EditMoreFormsTest, ABirthdayChosenFromTheChooserOpensTheDateEditor) {
    choose_new_birthday();
    EditDateForm& editor = m_card->date_editor();
    ASSERT_TRUE(editor.is_open());
    editor.spinner().set_date_time({2001, 2, 3, 0, 0});
    editor.leave();
    EXPECT_EQ(date_of_birthday(value(stored(), FieldType::Birthday)),
              (ui::SpinnerDateTime{2001, 2, 3, 0, 0}));
}

TEST_F(EditMoreFormsTest, TheDateEditorLeftUntouchedAddsNoBirthday) {
    data::ContactRecord without = choose_new_birthday();
    EditDateForm& editor = m_card->date_editor();
    ASSERT_TRUE(editor.is_open());
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::Birthday), u"<none>");
    EXPECT_EQ(card_row(FieldType::Birthday), -1);
    // A birthday that is not a date stays as it was when the wheels stay.
    field_of(without, FieldType::Birthday).value = u"next May";
    m_store.put(without);
    m_document->on_contact_changed(m_oid);
    tap_card(FieldType::Birthday);
    ASSERT_TRUE(editor.is_open());
    editor.leave();
    EXPECT_EQ(value(m_card->contact(), FieldType::Birthday), u"next May");
}

// What the date editor leaves stored for a birthday with or without its
// year, or with a time of day, after each thing the user may do: nothing
// touched leaves it byte for byte, a year-less one keeps the vCard's year
// that means none, and a changed date is a day at midnight.
TEST_F(EditMoreFormsTest, BirthdaysWithoutAYearOrWithATimeSurviveTheDateEditor) {
    const data::VCardFile imported = data::parse_vcards(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Berg;Anna\r\nBDAY:--0521\r\nEND:VCARD\r\n");
    ASSERT_EQ(imported.contacts.size(), 1u);
    const WString year_less = value(imported.contacts[0].record, FieldType::Birthday);
    const WString dated = u"327715200000"; // 1980-05-21
    const WString timed = birthday_of_date({1980, 5, 21, 10, 30});
    enum class Act { Nothing, Day22, SwitchYear, SwitchYearTwice };
    const struct {
        const char* name;
        WString before;
        Act act;
        bool shown_without_year;
        WString after; // empty: checked below
    } rows[] = {
        {"year-less, untouched", year_less, Act::Nothing, true, year_less},
        {"year-less, day moved", year_less, Act::Day22, true,
         birthday_of_date({data::kBirthdayNoYear, 5, 22, 0, 0})},
        {"year-less, year given", year_less, Act::SwitchYear, true, {}},
        {"dated, year taken", dated, Act::SwitchYear, false, year_less},
        {"dated, switched and back", dated, Act::SwitchYearTwice, false, dated},
        {"with a time, untouched", timed, Act::Nothing, false, timed},
        {"with a time, day moved", timed, Act::Day22, false, birthday_of_date({1980, 5, 22, 0, 0})},
    };
    for (const auto& row : rows) {
        data::ContactRecord record = stored();
        field_of(record, FieldType::Birthday).value = row.before;
        ASSERT_TRUE(m_volume->update_contact(record)) << row.name;
        m_store.put(record);
        m_document->on_contact_changed(m_oid);
        show_card();
        tap_card(FieldType::Birthday);
        EditDateForm& editor = m_card->date_editor();
        ASSERT_TRUE(editor.is_open()) << row.name;
        // A birthday is a day: no hour or minute wheel; no year wheel without a year.
        EXPECT_FALSE(editor.spinner().shows(ui::SpinnerWheelId::Hour)) << row.name;
        EXPECT_FALSE(editor.spinner().shows(ui::SpinnerWheelId::Minute)) << row.name;
        EXPECT_EQ(editor.without_year(), row.shown_without_year) << row.name;
        EXPECT_EQ(editor.spinner().shows(ui::SpinnerWheelId::Year), !row.shown_without_year)
            << row.name;
        const auto switch_year = [&] {
            ui::Multinode* toggle = editor.no_year_switch();
            ASSERT_NE(toggle, nullptr);
            auto* button = dynamic_cast<ui::ButtonNode*>(
                toggle->find(toggle->current() == 0 ? u"no_year_off" : u"no_year_on"));
            ASSERT_NE(button, nullptr);
            click(*button);
        };
        if (row.act == Act::Day22) {
            ui::SpinnerDateTime date = editor.spinner().date_time();
            date.day = 22;
            editor.spinner().set_date_time(date);
        } else if (row.act == Act::SwitchYear) {
            switch_year();
        } else if (row.act == Act::SwitchYearTwice) {
            switch_year();
            switch_year();
        }
        editor.leave();
        const WString after = value(stored(), FieldType::Birthday);
        if (!row.after.empty()) {
            EXPECT_EQ(after, row.after) << row.name;
        } else {
            const auto date = date_of_birthday(after);
            ASSERT_TRUE(date) << row.name;
            EXPECT_NE(date->year, data::kBirthdayNoYear) << row.name;
            EXPECT_EQ(date->month, 5) << row.name;
            EXPECT_EQ(date->day, 21) << row.name;
        }
    }
    // The year-less day the editor wrote goes out as the vCard's --MMDD.
    data::ContactRecord record = stored();
    field_of(record, FieldType::Birthday).value =
        birthday_of_date({data::kBirthdayNoYear, 5, 22, 0, 0});
    EXPECT_NE(data::write_vcard(record).find("BDAY:--0522"), std::string::npos);
}

TEST_F(EditMoreFormsTest, TheCategoriesAreListedInOrderAndTicksAreStoredInThatOrder) {
    show_card();
    tap_card(FieldType::Categories);
    EditCategoriesForm& editor = m_card->categories_editor();
    ASSERT_TRUE(editor.is_open());
    EXPECT_EQ(editor.names(), (std::vector<WString>{u"Work", u"Family", u"Golf"}));
    EXPECT_EQ(editor.checked(), (std::vector<bool>{false, true, true}));
    editor.toggle(0);
    editor.toggle(2);
    editor.toggle(7); // no such row
    click(editor.cancel_button());
    EXPECT_EQ(value(stored(), FieldType::Categories), u"Work, Family");
}

TEST_F(EditMoreFormsTest, UncheckingEveryCategoryStoresAnEmptyValue) {
    show_card();
    tap_card(FieldType::Categories);
    EditCategoriesForm& editor = m_card->categories_editor();
    for (std::int32_t row = 0; row < std::int32_t(editor.names().size()); ++row)
        if (editor.checked()[std::size_t(row)])
            editor.toggle(row);
    editor.leave();
    const WString left = value(stored(), FieldType::Categories);
    EXPECT_TRUE(left.empty() || left == u"<none>") << to_utf8(left);
    // The card keeps its categories row, showing none.
    EXPECT_GE(card_row(FieldType::Categories), 0);
}

TEST_F(EditMoreFormsTest, ANameOnlyTheContactHasKeepsItsRowAndItsTick) {
    data::ContactRecord odd = stored();
    field_of(odd, FieldType::Categories).value = u"Chess;Golf";
    ASSERT_TRUE(m_volume->update_contact(odd));
    EditCategoriesForm editor;
    editor.bind(m_skin, &*m_volume);
    editor.show(odd);
    EXPECT_EQ(editor.names(), (std::vector<WString>{u"Work", u"Family", u"Golf", u"Chess"}));
    editor.leave();
    // Re-joined in the list's order.
    EXPECT_EQ(value(stored(), FieldType::Categories), u"Golf, Chess");
}

TEST_F(EditMoreFormsTest, ANewCategoryTypedIsAppendedTickedAndOffered) {
    show_card();
    tap_card(FieldType::Categories);
    EditCategoriesForm& editor = m_card->categories_editor();
    editor.toggle(0); // Work ticked before the new name
    editor.add_category();
    EditFieldForm& names = editor.name_editor();
    ASSERT_TRUE(names.is_open());
    EXPECT_EQ(m_host.top_form(), &names);
    type(u"Chess");
    names.leave();
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.names().back(), u"Chess");
    EXPECT_TRUE(editor.checked().back());
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::Categories), u"Work, Family, Golf, Chess");
    std::vector<WString> folder;
    m_volume->load_categories(folder);
    EXPECT_NE(std::find(folder.begin(), folder.end(), u"Chess"), folder.end());
}

// The notice of the new-name editor's own save arrives while the user goes
// on ticking: the ticks stand, names new in the stored record join ticked.
TEST_F(EditMoreFormsTest, AChangeNoticeKeepsTheTicksMadeMeanwhile) {
    show_card();
    tap_card(FieldType::Categories);
    EditCategoriesForm& editor = m_card->categories_editor();
    editor.add_category();
    type(u"Chess");
    editor.name_editor().leave();
    const auto row = [&](WStringView name) {
        const auto& names = editor.names();
        return std::int32_t(std::find(names.begin(), names.end(), name) - names.begin());
    };
    const auto ticked = [&](WStringView name) {
        const std::int32_t at = row(name);
        return at < std::int32_t(editor.names().size()) && editor.checked()[std::size_t(at)];
    };
    editor.toggle(row(u"Work"));
    editor.toggle(row(u"Family"));
    ASSERT_TRUE(ticked(u"Work"));
    ASSERT_FALSE(ticked(u"Family"));

    data::ContactRecord notice = stored();
    field_of(notice, FieldType::Categories).value += u", Tennis";
    m_store.put(notice);
    m_document->on_contact_changed(m_oid);
    ASSERT_TRUE(editor.is_open());
    EXPECT_TRUE(ticked(u"Work"));
    EXPECT_FALSE(ticked(u"Family"));
    EXPECT_TRUE(ticked(u"Golf"));
    EXPECT_TRUE(ticked(u"Chess"));
    EXPECT_TRUE(ticked(u"Tennis"));
    editor.leave();
    const auto kept = data::split_category_text(value(stored(), FieldType::Categories));
    EXPECT_EQ(std::set<WString>(kept.begin(), kept.end()),
              (std::set<WString>{u"Work", u"Golf", u"Chess", u"Tennis"}));
}

TEST_F(EditMoreFormsTest, ARemovedContactClosesAnOpenEditorWithoutWriting) {
    show_card();
    tap_card(FieldType::Birthday);
    EditDateForm& date = m_card->date_editor();
    date.spinner().set_date_time({2010, 1, 1, 0, 0});
    m_document->on_contact_removed(m_oid + 100); // not ours
    EXPECT_TRUE(date.is_open());
    remove_contact();
    EXPECT_FALSE(date.is_open());
    EXPECT_FALSE(m_host.is_shown(date));
    date.leave(); // nothing left to write
    EXPECT_EQ(value(stored(), FieldType::Birthday), u"327715200000");
}

TEST_F(EditMoreFormsTest, ARemovedContactClosesTheAddressAndCategoriesEditors) {
    data::ContactRecord copy = stored();
    EditContactAddressForm address;
    address.bind(m_skin, &*m_volume);
    EditCategoriesForm categories;
    categories.bind(m_skin, &*m_volume);
    address.show(copy, FieldType::HomeAddress5);
    categories.show(copy);
    ASSERT_TRUE(address.is_open());
    ASSERT_TRUE(categories.is_open());
    EXPECT_EQ(address.address(), FieldType::HomeAddress1);
    remove_contact();
    EXPECT_FALSE(address.is_open());
    EXPECT_FALSE(categories.is_open());
    EXPECT_FALSE(m_host.is_shown(address));
    EXPECT_FALSE(m_host.is_shown(categories));
}

TEST_F(EditMoreFormsTest, AChangeOfTheContactIsReadIntoTheOpenDateEditor) {
    show_card();
    tap_card(FieldType::Birthday);
    data::ContactRecord changed = m_store.contacts[m_oid];
    field_of(changed, FieldType::Birthday).value = birthday_of_date({1990, 7, 4, 0, 0});
    m_store.put(changed);
    m_document->on_contact_changed(m_oid);
    EXPECT_EQ(m_card->date_editor().spinner().date_time(), (ui::SpinnerDateTime{1990, 7, 4, 0, 0}));
}

TEST_F(EditMoreFormsTest, BindingFailsWithoutTheirNodes) {
    // The card's node has a "cancel" but none of the editors' own nodes.
    struct CardAsAddress final : ContactEditorForm {
        CardAsAddress() : ContactEditorForm(u"ContactForm") {}
        void bind_boxes() override { (void)required<ui::SpinnerNode>(*this, u"date"); }
        ui::LabelEditNode* first_box() const override { return nullptr; }
        void fill(const data::ContactRecord&) override {}
        void write_back(data::ContactRecord&) override {}
        void refill(const data::ContactRecord&) override {}
        const char16_t* log_name() const override { return u"CardAsAddress"; }
    };
    CardAsAddress wrong;
    EXPECT_THROW(wrong.bind(m_skin), ui::vadode::NodeNotFound);
    EditDateForm date;
    EXPECT_NO_THROW(date.bind(m_skin));
}

} // namespace
} // namespace telvara::forms
