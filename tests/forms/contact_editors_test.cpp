// The contact editors with a real Document and contact volume: what each writes when left.
#include "data/contact_store.h"
#include "data/vcard.h"
#include "forms/contact_form.h"
#include "forms/edit_categories_form.h"
#include "forms/edit_contact_address_form.h"
#include "forms/edit_contact_header_form.h"
#include "forms/edit_date_form.h"
#include "forms/edit_field_form.h"
#include "forms/select_field_form.h"
#include "screen_test_support.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/multinode.h"
#include "ui/text_input_service.h"

#include <set>

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::person;
using data::testing::phone;
using Box = EditContactAddressForm::Box;
using Date = ui::SpinnerDateTime;
using Names = std::vector<WString>;

FieldType part(int id) {
    return static_cast<FieldType>(id);
}
std::vector<int> ids(const std::vector<FieldType>& types) {
    std::vector<int> out;
    for (FieldType t : types)
        out.push_back(int(t));
    return out;
}
std::ptrdiff_t count_of(const std::vector<int>& rows, FieldType type) {
    return std::count(rows.begin(), rows.end(), int(type));
}
// Types as the desktop keyboard does: into the focused box.
void type(WStringView text) {
    ui::TextInputService::instance().on_text_input(text);
}
WString value(const data::ContactRecord& r, FieldType type) {
    const data::ContactField* f = r.field(type);
    return f != nullptr ? f->value : u"<none>";
}

TEST(SelectFieldKinds, WhatIsOfferedAndHowItIsGrouped) {
    // An address part takes that whole address off the list, not the other.
    data::ContactRecord contact = person(
        1, u"Anna", u"Berg", u"", {phone(FieldType::Mobile, u"1"), {part(26), u"Springfield"}});
    const auto offered = ids(offered_field_types(&contact, FieldChoice::All));
    const auto offers = [&](int id) { return count_of(offered, part(id)) == 1; };
    for (int id = 24; id <= 28; ++id)
        EXPECT_FALSE(offers(id)) << id;
    EXPECT_TRUE(offers(int(FieldType::HomeAddress1)));
    EXPECT_FALSE(offers(int(FieldType::Mobile)));
    EXPECT_TRUE(offers(int(FieldType::BusinessTel)));
    EXPECT_FALSE(offers(int(FieldType::Unknown)));
    // The home address is one row, under its first id.
    const auto rows = select_field_rows(offered_field_types(&contact, FieldChoice::All));
    EXPECT_EQ(count_of(rows, FieldType::HomeAddress1), 1);
    for (int id = 30; id <= 33; ++id)
        EXPECT_EQ(count_of(rows, part(id)), 0) << id;
    // Phones only: the telephone kinds the contact lacks, or all without one.
    data::ContactRecord home = person(
        1, u"Anna", u"", u"", {phone(FieldType::HomeTel, u"1"), {FieldType::Email1, u"a@b"}});
    EXPECT_EQ(ids(offered_field_types(&home, FieldChoice::PhonesOnly)),
              (std::vector<int>{0, 1, 2, 4, 5, 6, 7, 8}));
    EXPECT_EQ(ids(offered_field_types(nullptr, FieldChoice::PhonesOnly)),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(select_field_rows({FieldType::Mobile, FieldType::HomeTel, FieldType::Email2,
                                 FieldType::WorkAddress1, part(25), FieldType::Birthday}),
              (std::vector<int>{-1, 0, -2, 3, -1, 10, -1, 24, -1, 22}));
    EXPECT_TRUE(select_field_rows({}).empty());
    // Without a contact everything from 0 to 33, in group order.
    const auto all = offered_field_types(nullptr, FieldChoice::All);
    EXPECT_EQ(all.size(), 34u);
    EXPECT_EQ(all.front(), FieldType::Mobile);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](FieldType a, FieldType b) {
        return data::kind_of(a) < data::kind_of(b);
    }));
}

// A contact in a real volume (the editors write there) and in the Document,
// and the card bound to both.
class EditorsTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        m_volume.emplace(root() + "/edit.vol");
        ASSERT_TRUE(m_volume->is_open());
        data::ContactRecord contact = person(0, u"Anna", u"Berg", u"",
                                             {phone(FieldType::Mobile, u"+1 555 0100"),
                                              {FieldType::Email1, u"anna@berg.example"},
                                              {FieldType::Birthday, u"327715200000"},
                                              {FieldType::Categories, u"Golf, Family"},
                                              {FieldType::WorkAddress1, u"1 Main St"},
                                              {part(25), u"Springfield"},
                                              {FieldType::HomeAddress1, u"2 Elm Rd"},
                                              {part(30), u"Shelbyville"}});
        ASSERT_TRUE(m_volume->create_contact(contact));
        ASSERT_TRUE(m_volume->set_categories(u"Work, Family, Golf"));
        m_oid = contact.oid;
        m_store.categories = {u"Work", u"Family", u"Golf"};
        m_store.put(contact);
        open_document();
        m_card.emplace();
        m_card->bind(m_skin, &*m_volume);
    }
    void TearDown() override {
        ui::TextInputService::instance().drop_focus();
        m_card.reset();
        m_document.reset();
        m_volume.reset();
        ScreenTest::TearDown();
    }
    void show_card() {
        const data::ContactEntry* entry = m_document->find_contact(m_oid);
        ASSERT_NE(entry, nullptr);
        m_card->show(*entry, CardMode::Edit);
        test::lay_out(*m_card);
    }
    void show_new_card() {
        m_card->show(data::ContactRecord{}, CardMode::Edit);
        test::lay_out(*m_card);
    }
    // The card row showing the field of `type`; -1 when none does.
    std::int32_t card_row(FieldType type) {
        const auto& rows = m_card->rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i] >= 0 && m_card->contact().fields[std::size_t(rows[i])].type == type)
                return std::int32_t(i);
        return -1;
    }
    ui::Node* card_button(std::int32_t index, WStringView name) {
        m_card->list().scroll_to_item(index);
        test::lay_out(*m_card);
        ui::ListElement* element = m_card->list().element_for(index);
        return element != nullptr ? element->find(name) : nullptr;
    }
    void tap_card(std::int32_t index, WStringView name) { test::click(card_button(index, name)); }
    void open_editor(FieldType type) {
        ASSERT_GE(card_row(type), 0) << int(type);
        m_card->press_row_button(card_row(type), ContactForm::RowButton::Action);
    }
    // Chooses the kind from the card's "new field" chooser.
    void choose_kind(FieldType type, bool open = true) {
        if (open)
            m_card->add_field();
        const auto& rows = m_card->field_chooser().rows();
        const auto at = std::find(rows.begin(), rows.end(), int(type));
        ASSERT_NE(at, rows.end()) << int(type);
        m_card->field_chooser().choose_row(std::int32_t(at - rows.begin()));
    }
    data::ContactRecord stored(std::uint32_t oid = 0) {
        data::ContactRecord record;
        record.oid = oid != 0 ? oid : m_oid;
        EXPECT_TRUE(m_volume->read_contact(record));
        return record;
    }
    std::size_t stored_count() {
        std::vector<data::ContactRecord> all;
        return m_volume->load_contacts(all);
    }
    // Stores `record` and tells the Document, as the store's notice does.
    void store(const data::ContactRecord& record) {
        ASSERT_TRUE(m_volume->update_contact(record));
        m_store.put(record);
        m_document->on_contact_changed(m_oid);
    }
    void remove_contact() {
        m_store.contacts.erase(m_oid);
        m_document->on_contact_removed(m_oid);
    }
    bool in_folder(WStringView name) {
        Names names;
        m_volume->load_categories(names);
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    std::optional<data::ContactStore> m_volume;
    std::optional<ContactForm> m_card;
    std::uint32_t m_oid = 0;
};

TEST_F(EditorsTest, ANewFieldIsChosenEditedAndStoredOrLeftEmptyAndDropped) {
    show_card();
    const std::size_t rows = m_card->rows().size();
    ASSERT_EQ(m_card->rows().back(), kButtonsRow);
    tap_card(std::int32_t(rows - 1), u"new_field");
    SelectFieldForm& chooser = m_card->field_chooser();
    ASSERT_EQ(m_host.top_form(), &chooser);
    // Not phones only: e-mail and web too; what the contact has not.
    EXPECT_EQ(count_of(chooser.rows(), FieldType::Mobile), 0);
    EXPECT_EQ(count_of(chooser.rows(), FieldType::Email2), 1);
    EXPECT_EQ(count_of(chooser.rows(), FieldType::WebPage), 1);
    choose_kind(FieldType::HomeTel, false);
    EditFieldForm& editor = m_card->field_editor();
    EXPECT_FALSE(m_host.is_shown(chooser));
    ASSERT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.field_type(), FieldType::HomeTel);
    EXPECT_EQ(editor.edit_box().text(), u"");
    EXPECT_GE(card_row(FieldType::HomeTel), 0) << "the empty field is on the card already";
    type(u"555 0200");
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::HomeTel), u"555 0200");
    // An existing field: typing lands at its end; it shows at once, before the store's notice.
    tap_card(card_row(FieldType::Mobile), u"action");
    EXPECT_EQ(editor.edit_box().text(), u"+1 555 0100");
    type(u" 9");
    test::click(editor.cancel_button());
    EXPECT_FALSE(m_host.is_shown(editor));
    EXPECT_EQ(value(stored(), FieldType::Mobile), u"+1 555 0100 9");
    EXPECT_EQ(value(m_card->contact(), FieldType::Mobile), u"+1 555 0100 9");
    const std::size_t with_home = m_card->rows().size();
    choose_kind(FieldType::WebPage);
    EXPECT_GE(card_row(FieldType::WebPage), 0);
    editor.leave();
    EXPECT_EQ(card_row(FieldType::WebPage), -1);
    EXPECT_EQ(m_card->rows().size(), with_home);
    EXPECT_EQ(value(stored(), FieldType::WebPage), u"<none>");
}

// The store's notice of a removal comes later; an editor left before it
// must not write the removed value back.
TEST_F(EditorsTest, ARemovedFieldStaysRemovedWhenAnEditorSavesBeforeTheNotice) {
    show_card();
    const std::int32_t mail = card_row(FieldType::Email1);
    ASSERT_GE(mail, 0);
    m_card->press_row_button(mail, ContactForm::RowButton::Remove);
    m_card->press_row_button(mail, ContactForm::RowButton::ConfirmRemove);
    EXPECT_EQ(value(stored(), FieldType::Email1), u"<none>");
    EXPECT_EQ(card_row(FieldType::Email1), -1);
    open_editor(FieldType::Mobile);
    type(u"9");
    m_card->field_editor().leave();
    EXPECT_EQ(value(stored(), FieldType::Mobile), u"+1 555 01009");
    EXPECT_EQ(value(stored(), FieldType::Email1), u"<none>");
}

TEST_F(EditorsTest, TheNamesEditorWritesAllThreeAndOpenEditorsReadChanges) {
    show_card();
    tap_card(0, u"edit_header");
    EditContactHeaderForm& editor = m_card->header_editor();
    ASSERT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.first_name_box().text(), u"Anna");
    EXPECT_EQ(editor.last_name_box().text(), u"Berg");
    EXPECT_EQ(editor.company_box().text(), u"");
    EXPECT_TRUE(editor.first_name_box().edit().has_focus());
    type(u"lena");
    editor.last_name_box().set_text(u"Lind");
    editor.company_box().set_text(u"Acme");
    test::click(editor.cancel_button());
    const data::ContactRecord record = stored();
    EXPECT_EQ(record.first_name, u"Annalena");
    EXPECT_EQ(record.last_name, u"Lind");
    EXPECT_EQ(record.company, u"Acme");
    EXPECT_EQ(m_card->contact().company, u"Acme");
    EXPECT_FALSE(m_host.is_shown(editor));
    // A change of the contact is read into the open editors.
    tap_card(0, u"edit_header");
    open_editor(FieldType::Birthday);
    data::ContactRecord changed = m_store.contacts[m_oid];
    changed.first_name = u"Dora";
    field_of(changed, FieldType::Birthday).value = birthday_of_date({1990, 7, 4, 0, 0});
    m_store.put(changed);
    m_document->on_contact_changed(m_oid);
    EXPECT_EQ(m_card->header_editor().first_name_box().text(), u"Dora");
    EXPECT_EQ(m_card->date_editor().spinner().date_time(), (Date{1990, 7, 4, 0, 0}));
    m_card->header_editor().leave();
    EXPECT_EQ(stored().first_name, u"Dora");
}

// An editor whose contact is removed closes without writing, also when left later.
TEST_F(EditorsTest, ARemovedContactClosesEveryEditorWithoutWriting) {
    show_card();
    open_editor(FieldType::Email1);
    type(u"x");
    open_editor(FieldType::Birthday);
    m_card->date_editor().spinner().set_date_time({2010, 1, 1, 0, 0});
    data::ContactRecord copy = stored();
    EditContactAddressForm address;
    address.bind(m_skin, &*m_volume);
    address.show(copy, FieldType::HomeAddress5);
    EXPECT_EQ(address.address(), FieldType::HomeAddress1);
    address.box(Box::City).set_text(u"Ogdenville");
    EditCategoriesForm categories;
    categories.bind(m_skin, &*m_volume);
    categories.show(copy);
    categories.toggle(0);
    std::vector<ContactEditorForm*> editors = {&m_card->field_editor(), &m_card->date_editor(),
                                               &address, &categories};
    m_document->on_contact_removed(m_oid + 100); // not ours
    for (ContactEditorForm* editor : editors)
        EXPECT_TRUE(editor->is_open()) << to_utf8(editor->name());
    remove_contact();
    for (ContactEditorForm* editor : editors) {
        EXPECT_FALSE(editor->is_open()) << to_utf8(editor->name());
        EXPECT_FALSE(m_host.is_shown(*editor)) << to_utf8(editor->name());
        editor->leave();
    }
    EXPECT_EQ(stored().fields, copy.fields);
}

// "New contact" opens an empty card in edit mode: leaving its editors
// without typing must not leave a nameless contact (or one born today).
TEST_F(EditorsTest, ANewContactLeftEmptyIsNotStoredAndOneWithANameIs) {
    const std::size_t before = stored_count();
    show_new_card();
    EXPECT_EQ(card_row(FieldType::Categories), -1);
    EXPECT_FALSE(test::visible(card_button(0, u"button_choose_photo")));
    m_card->edit_header();
    ASSERT_TRUE(m_card->header_editor().is_open());
    m_card->header_editor().leave();
    choose_kind(FieldType::HomeTel);
    ASSERT_TRUE(m_card->field_editor().is_open());
    m_card->field_editor().leave();
    choose_kind(FieldType::Birthday);
    ASSERT_TRUE(m_card->date_editor().is_open());
    m_card->date_editor().leave();
    EXPECT_EQ(stored_count(), before);
    EXPECT_EQ(m_card->oid(), 0u);
    EXPECT_EQ(card_row(FieldType::Birthday), -1);
    m_card->edit_header();
    type(u"Nina");
    m_card->header_editor().leave();
    EXPECT_EQ(stored_count(), before + 1);
    ASSERT_NE(m_card->oid(), 0u);
    EXPECT_EQ(stored(m_card->oid()).first_name, u"Nina");
    // As the store will read it back: an empty categories field, and a photo to choose.
    EXPECT_EQ(value(m_card->contact(), FieldType::Categories), u"");
    EXPECT_GE(card_row(FieldType::Categories), 0);
    EXPECT_TRUE(test::visible(card_button(0, u"button_choose_photo")));
    // The next edit updates the same contact rather than creating another.
    choose_kind(FieldType::HomeTel);
    type(u"555");
    m_card->field_editor().leave();
    EXPECT_EQ(stored_count(), before + 1);
}

// The editor appends parts in box order, the store returns them by type: the card must read
// the same before and after the store's notice.
TEST_F(EditorsTest, TheAddressEditorWritesAllFivePartsOfThatAddressOnly) {
    show_card();
    open_editor(FieldType::WorkAddress1);
    EditContactAddressForm& editor = m_card->address_editor();
    ASSERT_TRUE(editor.is_open());
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.box(Box::City).text(), u"Springfield");
    EXPECT_EQ(editor.box(Box::Zip).text(), u"");
    type(u", floor 2"); // into the street box first
    editor.box(Box::Zip).set_text(u"12345");
    editor.box(Box::State).set_text(u"Oregon");
    editor.box(Box::Country).set_text(u"USA");
    test::click(editor.cancel_button());
    EXPECT_FALSE(m_host.is_shown(editor));
    const data::ContactRecord record = stored();
    // The store keeps the region before the postal code.
    const std::pair<int, WStringView> parts[] = {{24, u"1 Main St, floor 2"},
                                                 {25, u"Springfield"},
                                                 {26, u"Oregon"},
                                                 {27, u"12345"},
                                                 {28, u"USA"},
                                                 {30, u"Shelbyville"}};
    for (const auto& [id, text] : parts)
        EXPECT_EQ(value(record, part(id)), text) << id;
    for (int id = 31; id <= 33; ++id)
        EXPECT_EQ(value(m_card->contact(), part(id)), u"<none>") << "no empty home parts";
    const auto shown = [this] {
        const std::int32_t row = card_row(FieldType::WorkAddress1);
        return row < 0 ? WString(u"<no row>")
                       : field_text(m_card->contact().fields,
                                    std::size_t(m_card->rows()[std::size_t(row)]),
                                    [](WStringView key) { return WString(key); });
    };
    const WString want = u"1 Main St, floor 2, Springfield, Oregon, 12345, USA";
    EXPECT_EQ(shown(), want) << "the card shows it at once";
    const std::vector<int> rows = m_card->rows();
    m_store.put(stored());
    m_document->on_contact_changed(m_oid);
    EXPECT_EQ(shown(), want);
    EXPECT_EQ(m_card->rows(), rows);
    // Emptying an address removes its row and its parts.
    open_editor(FieldType::HomeAddress1);
    ASSERT_EQ(editor.address(), FieldType::HomeAddress1);
    editor.box(Box::Street).set_text(u"");
    editor.box(Box::City).set_text(u"");
    editor.leave();
    EXPECT_EQ(card_row(FieldType::HomeAddress1), -1);
    EXPECT_EQ(value(stored(), part(30)), u"<none>");
    EXPECT_EQ(value(stored(), part(25)), u"Springfield");
}

TEST_F(EditorsTest, TheDateEditorStoresTheSpinnersDateAndLeavesOnLeftsRelease) {
    show_card();
    open_editor(FieldType::Birthday);
    EditDateForm& editor = m_card->date_editor();
    ASSERT_TRUE(editor.is_open());
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.spinner().date_time(), (Date{1980, 5, 21, 0, 0}));
    editor.spinner().set_date_time({1999, 12, 31, 0, 0});
    test::click(editor.cancel_button());
    EXPECT_FALSE(m_host.is_shown(editor));
    EXPECT_EQ(value(stored(), FieldType::Birthday), u"946598400000"); // 1999-12-31 00:00 UTC
    EXPECT_EQ(value(m_card->contact(), FieldType::Birthday), u"946598400000");
    open_editor(FieldType::Birthday);
    editor.spinner().set_date_time({1985, 3, 1, 0, 0});
    EXPECT_TRUE(editor.on_key({ui::key::Left, true, true}));
    EXPECT_TRUE(editor.is_open());
    EXPECT_TRUE(editor.on_key({ui::key::Left, false, true}));
    EXPECT_FALSE(editor.is_open());
    EXPECT_EQ(date_of_birthday(value(stored(), FieldType::Birthday)), (Date{1985, 3, 1, 0, 0}));
    EXPECT_FALSE(editor.on_key({ui::key::Left, false, true})) << "closed, Left is not its own";
}

// Untouched birthdays stay byte for byte, year-less ones keep "no year", changed dates
// become a day at midnight.
TEST_F(EditorsTest, BirthdaysWithoutAYearOrWithATimeSurviveTheDateEditor) {
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
        WString after; // empty: a dated 21 May
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
        SCOPED_TRACE(row.name);
        data::ContactRecord record = stored();
        field_of(record, FieldType::Birthday).value = row.before;
        store(record);
        show_card();
        open_editor(FieldType::Birthday);
        EditDateForm& editor = m_card->date_editor();
        ASSERT_TRUE(editor.is_open());
        // A birthday is a day: no hour or minute wheel; no year wheel without a year.
        EXPECT_FALSE(editor.spinner().shows(ui::SpinnerWheelId::Hour));
        EXPECT_FALSE(editor.spinner().shows(ui::SpinnerWheelId::Minute));
        EXPECT_EQ(editor.without_year(), row.shown_without_year);
        EXPECT_EQ(editor.spinner().shows(ui::SpinnerWheelId::Year), !row.shown_without_year);
        const int switches = row.act == Act::SwitchYear        ? 1
                             : row.act == Act::SwitchYearTwice ? 2
                                                               : 0;
        for (int i = 0; i < switches; ++i) {
            ui::Multinode* toggle = editor.no_year_switch();
            ASSERT_NE(toggle, nullptr);
            test::click(toggle->find(toggle->current() == 0 ? u"no_year_off" : u"no_year_on"));
        }
        if (row.act == Act::Day22) {
            Date date = editor.spinner().date_time();
            date.day = 22;
            editor.spinner().set_date_time(date);
        }
        editor.leave();
        const WString after = value(stored(), FieldType::Birthday);
        if (!row.after.empty()) {
            EXPECT_EQ(after, row.after);
        } else {
            const auto date = date_of_birthday(after);
            ASSERT_TRUE(date);
            EXPECT_NE(date->year, data::kBirthdayNoYear);
            EXPECT_EQ(std::pair(date->month, date->day), std::pair(5, 21));
        }
    }
    // The year-less day the editor wrote goes out as the vCard's --MMDD.
    data::ContactRecord record = stored();
    field_of(record, FieldType::Birthday).value =
        birthday_of_date({data::kBirthdayNoYear, 5, 22, 0, 0});
    EXPECT_NE(data::write_vcard(record).find("BDAY:--0522"), std::string::npos);
    EXPECT_EQ(date_of_birthday(u"-1"), (Date{1969, 12, 31, 23, 59})) << "before 1970";
    for (const char16_t* bad : {u"", u"12a", u"1980-05-21", u" 5", u"99999999999999999999"})
        EXPECT_FALSE(date_of_birthday(bad)) << to_utf8(bad);
}

// A new name is appended ticked and offered; the notice of its own save,
// arriving while the user goes on ticking, keeps the ticks made meanwhile.
TEST_F(EditorsTest, ANewCategoryTypedIsAppendedTickedAndKeptThroughTheNotice) {
    show_card();
    open_editor(FieldType::Categories);
    EditCategoriesForm& editor = m_card->categories_editor();
    editor.add_category();
    EditFieldForm& names = editor.name_editor();
    ASSERT_TRUE(names.is_open());
    EXPECT_EQ(m_host.top_form(), &names);
    type(u"Chess");
    names.leave();
    EXPECT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.names().back(), u"Chess");
    EXPECT_TRUE(editor.checked().back());
    EXPECT_TRUE(in_folder(u"Chess"));
    const auto row = [&](WStringView name) {
        const auto& all = editor.names();
        return std::int32_t(std::find(all.begin(), all.end(), name) - all.begin());
    };
    editor.toggle(row(u"Work"));
    editor.toggle(row(u"Family"));
    data::ContactRecord notice = stored();
    field_of(notice, FieldType::Categories).value += u", Tennis";
    m_store.put(notice);
    m_document->on_contact_changed(m_oid);
    ASSERT_TRUE(editor.is_open());
    std::set<WString> ticked;
    for (std::size_t i = 0; i < editor.names().size(); ++i)
        if (editor.checked()[i])
            ticked.insert(editor.names()[i]);
    const std::set<WString> expected{u"Work", u"Golf", u"Chess", u"Tennis"};
    EXPECT_EQ(ticked, expected);
    editor.leave();
    const auto kept = data::split_category_text(value(stored(), FieldType::Categories));
    EXPECT_EQ(std::set<WString>(kept.begin(), kept.end()), expected);
}

} // namespace
} // namespace telvara::forms
