// The contact editing forms on the shipped default skin with a real Document
// and a real contact volume: the kinds the chooser offers, the field and
// names editors storing what was typed when left, and the card opening them
// in edit mode.
#include "card_editing_test_support.h"
#include "data/contact_store.h"
#include "data/document_test_support.h"
#include "form_stack_host.h"
#include "forms/contact_form.h"
#include "forms/edit_contact_header_form.h"
#include "forms/edit_field_form.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "forms/select_field_form.h"
#include "forms/skin_types.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/properties.h"
#include "ui/text_input_service.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::person;
using data::testing::phone;

std::vector<int> ids(const std::vector<FieldType>& types) {
    std::vector<int> out;
    for (FieldType t : types)
        out.push_back(int(t));
    return out;
}

bool offers(const std::vector<FieldType>& types, FieldType type) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

// --- What the chooser offers ------------------------------------------------------------------

TEST(SelectFieldKinds, AnAddressPartTakesThatWholeAddressOffTheListButNotTheOther) {
    data::ContactRecord contact =
        person(1, u"Anna", u"Berg", u"",
               {phone(FieldType::Mobile, u"1"), {static_cast<FieldType>(26), u"Springfield"}});
    const auto offered = offered_field_types(&contact, FieldChoice::All);
    for (int id = 24; id <= 28; ++id)
        EXPECT_FALSE(offers(offered, static_cast<FieldType>(id))) << id;
    EXPECT_TRUE(offers(offered, FieldType::HomeAddress1));
    EXPECT_FALSE(offers(offered, FieldType::Mobile));
    EXPECT_TRUE(offers(offered, FieldType::BusinessTel));
    EXPECT_FALSE(offers(offered, FieldType::Unknown));
    // The home address is one row, under its first id.
    const auto rows = select_field_rows(offered);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), int(FieldType::HomeAddress1)), 1);
    for (int id = 30; id <= 33; ++id)
        EXPECT_EQ(std::count(rows.begin(), rows.end(), id), 0) << id;
}

TEST(SelectFieldKinds, PhonesOnlyListsTheTelephoneKindsTheContactLacks) {
    data::ContactRecord contact = person(
        1, u"Anna", u"", u"", {phone(FieldType::HomeTel, u"1"), {FieldType::Email1, u"a@b"}});
    EXPECT_EQ(ids(offered_field_types(&contact, FieldChoice::PhonesOnly)),
              (std::vector<int>{0, 1, 2, 4, 5, 6, 7, 8}));
    // Without a contact every telephone kind.
    EXPECT_EQ(ids(offered_field_types(nullptr, FieldChoice::PhonesOnly)),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(SelectFieldKinds, RowsAreGroupedWithSeparators) {
    const std::vector<FieldType> offered = {FieldType::Mobile,          FieldType::HomeTel,
                                            FieldType::Email2,          FieldType::WorkAddress1,
                                            static_cast<FieldType>(25), FieldType::Birthday};
    EXPECT_EQ(select_field_rows(offered), (std::vector<int>{-1, 0, -2, 3, -1, 10, -1, 24, -1, 22}));
    EXPECT_TRUE(select_field_rows({}).empty());
    // Without a contact everything from 0 to 33: in group order, the "other"
    // kinds last.
    const auto all = offered_field_types(nullptr, FieldChoice::All);
    EXPECT_EQ(all.size(), 34u);
    EXPECT_EQ(all.front(), FieldType::Mobile);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](FieldType a, FieldType b) {
        return data::kind_of(a) < data::kind_of(b);
    }));
}

// --- On the default skin ------------------------------------------------------------------------

struct Chosen final : SelectFieldListener {
    void on_field_kind_chosen(const data::ContactRecord* contact, FieldType type) override {
        oids.push_back(contact != nullptr ? contact->oid : 0);
        types.push_back(type);
    }
    std::vector<std::uint32_t> oids;
    std::vector<FieldType> types;
};

class EditFormsTest : public test::CardEditingTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        start("edit.vol", person(0, u"Anna", u"Berg", u"",
                                 {phone(FieldType::Mobile, u"+1 555 0100"),
                                  {FieldType::Email1, u"anna@berg.example"},
                                  {FieldType::Birthday, u"327715200000"}}));
        set_form_host(&m_host);
    }

    void tap_card(std::int32_t index, WStringView name) {
        m_card->list().scroll_to_item(index);
        lay_out(*m_card);
        ui::ListElement* element = m_card->list().element_for(index);
        ASSERT_NE(element, nullptr);
        auto* button = dynamic_cast<ui::ButtonNode*>(element->find(name));
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->listener(), nullptr);
        button->listener()->on_click(*button);
    }
    // Chooses the kind from the card's "new_field" chooser.
    void choose_kind(FieldType type) {
        m_card->add_field();
        const auto& rows = m_card->field_chooser().rows();
        const auto at = std::find(rows.begin(), rows.end(), int(type));
        ASSERT_NE(at, rows.end()) << int(type);
        m_card->field_chooser().choose_row(std::int32_t(at - rows.begin()));
    }
    std::size_t stored_count() {
        std::vector<data::ContactRecord> all;
        return m_volume->load_contacts(all);
    }
};

TEST_F(EditFormsTest, TheChooserListsLabelledKindsAndReportsTheChoice) {
    SelectFieldForm chooser;
    chooser.bind(m_skin);
    Chosen chosen;
    const data::ContactRecord contact = stored();
    chooser.show(&contact, chosen, FieldChoice::PhonesOnly);
    lay_out(chooser);
    EXPECT_EQ(m_host.top_form(), &chooser);
    // Mobile is taken: BusinessTel first, after the group separator.
    ASSERT_GE(chooser.rows().size(), 2u);
    EXPECT_EQ(chooser.rows()[0], -1);
    EXPECT_EQ(chooser.rows()[1], int(FieldType::BusinessTel));
    ui::ListElement* row = chooser.list().element_for(1);
    ASSERT_NE(row, nullptr);
    auto* big = dynamic_cast<ui::TextNode*>(row->find(u"big"));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->text(), m_skin.translate(u"BusinessTel"));

    chooser.choose_row(0); // a separator: nothing
    EXPECT_TRUE(chosen.types.empty());
    auto* action = dynamic_cast<ui::ButtonNode*>(row->find(u"action"));
    ASSERT_NE(action, nullptr);
    click(*action);
    EXPECT_EQ(chosen.types, std::vector<FieldType>{FieldType::BusinessTel});
    EXPECT_EQ(chosen.oids, std::vector<std::uint32_t>{m_oid});
    EXPECT_FALSE(m_host.is_shown(chooser));

    // Without a contact, and "cancel" reports nothing.
    chooser.show(nullptr, chosen, FieldChoice::PhonesOnly);
    EXPECT_EQ(chooser.rows()[1], int(FieldType::Mobile));
    click(chooser.cancel_button());
    EXPECT_FALSE(m_host.is_shown(chooser));
    EXPECT_EQ(chosen.types.size(), 1u);
}

TEST_F(EditFormsTest, TypingIntoAFieldAndLeavingStoresIt) {
    show_card();
    const std::int32_t row = card_row(FieldType::Mobile);
    ASSERT_GE(row, 0);
    tap_card(row, u"action");
    EditFieldForm& editor = m_card->field_editor();
    ASSERT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.field_type(), FieldType::Mobile);
    EXPECT_EQ(editor.edit_box().text(), u"+1 555 0100");
    // The box has the focus: typed text lands at its end.
    EXPECT_TRUE(editor.edit_box().edit().has_focus());
    type(u" 9");
    EXPECT_EQ(editor.edit_box().text(), u"+1 555 0100 9");

    click(editor.cancel_button());
    EXPECT_FALSE(m_host.is_shown(editor));
    EXPECT_FALSE(editor.is_open());
    EXPECT_FALSE(editor.edit_box().edit().has_focus());
    EXPECT_EQ(value(stored(), FieldType::Mobile), u"+1 555 0100 9");
    // The card shows it at once, before the store's notice.
    EXPECT_EQ(value(m_card->contact(), FieldType::Mobile), u"+1 555 0100 9");
    // The other fields stay as they were.
    EXPECT_EQ(value(stored(), FieldType::Email1), u"anna@berg.example");
}

TEST_F(EditFormsTest, ANewFieldIsChosenEditedAndStored) {
    show_card();
    ASSERT_EQ(m_card->rows().back(), kButtonsRow);
    tap_card(std::int32_t(m_card->rows().size() - 1), u"new_field");
    SelectFieldForm& chooser = m_card->field_chooser();
    ASSERT_EQ(m_host.top_form(), &chooser);
    // Not phones only: e-mail and the addresses are there too; Mobile not.
    const auto& rows = chooser.rows();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), int(FieldType::Mobile)), 0);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), int(FieldType::Email2)), 1);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), int(FieldType::WorkAddress1)), 1);
    const auto home = std::find(rows.begin(), rows.end(), int(FieldType::HomeTel));
    ASSERT_NE(home, rows.end());
    chooser.choose_row(std::int32_t(home - rows.begin()));

    EditFieldForm& editor = m_card->field_editor();
    EXPECT_FALSE(m_host.is_shown(chooser));
    ASSERT_EQ(m_host.top_form(), &editor);
    EXPECT_EQ(editor.field_type(), FieldType::HomeTel);
    EXPECT_EQ(editor.edit_box().text(), u"");
    // The empty field is on the card already.
    EXPECT_GE(card_row(FieldType::HomeTel), 0);
    type(u"555 0200");
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::HomeTel), u"555 0200");
    EXPECT_EQ(value(stored(), FieldType::Mobile), u"+1 555 0100");
}

TEST_F(EditFormsTest, AChosenKindLeftEmptyLeavesNoRowAndNothingStored) {
    show_card();
    const std::size_t rows = m_card->rows().size();
    m_card->add_field();
    SelectFieldForm& chooser = m_card->field_chooser();
    const auto& offered = chooser.rows();
    const auto web = std::find(offered.begin(), offered.end(), int(FieldType::WebPage));
    ASSERT_NE(web, offered.end());
    chooser.choose_row(std::int32_t(web - offered.begin()));
    EXPECT_GE(card_row(FieldType::WebPage), 0);
    m_card->field_editor().leave();
    EXPECT_EQ(card_row(FieldType::WebPage), -1);
    EXPECT_EQ(m_card->rows().size(), rows);
    EXPECT_EQ(value(stored(), FieldType::WebPage), u"<none>");
}

TEST_F(EditFormsTest, TheNamesEditorWritesAllThree) {
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
    click(editor.cancel_button());
    const data::ContactRecord record = stored();
    EXPECT_EQ(record.first_name, u"Annalena");
    EXPECT_EQ(record.last_name, u"Lind");
    EXPECT_EQ(record.company, u"Acme");
    EXPECT_EQ(m_card->contact().company, u"Acme");
    EXPECT_FALSE(m_host.is_shown(editor));
}

TEST_F(EditFormsTest, ARemovedContactClosesItsEditorWithoutWriting) {
    show_card();
    tap_card(card_row(FieldType::Email1), u"action");
    EditFieldForm& editor = m_card->field_editor();
    ASSERT_TRUE(editor.is_open());
    type(u"x");
    m_document->on_contact_removed(m_oid + 100); // not ours
    EXPECT_TRUE(editor.is_open());
    m_store.contacts.erase(m_oid);
    m_document->on_contact_removed(m_oid);
    EXPECT_FALSE(editor.is_open());
    EXPECT_FALSE(m_host.is_shown(editor));
    EXPECT_EQ(value(stored(), FieldType::Email1), u"anna@berg.example");
    // Leaving later does nothing.
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::Email1), u"anna@berg.example");
}

TEST_F(EditFormsTest, AChangeOfTheContactIsReadIntoTheOpenEditor) {
    show_card();
    tap_card(0, u"edit_header");
    data::ContactRecord changed = m_store.contacts[m_oid];
    changed.first_name = u"Dora";
    m_store.put(changed);
    m_document->on_contact_changed(m_oid);
    EXPECT_EQ(m_card->header_editor().first_name_box().text(), u"Dora");
    m_card->header_editor().leave();
    EXPECT_EQ(stored().first_name, u"Dora");
}

TEST_F(EditFormsTest, ANewCategoryIsAppendedAndJoinsTheFolder) {
    data::ContactRecord contact = stored();
    // Stored contacts always have the field (empty at creation).
    field_of(contact, FieldType::Categories).value = u"Work";
    ASSERT_TRUE(m_volume->update_contact(contact));
    EditFieldForm editor;
    editor.bind(m_skin, &*m_volume);
    editor.show(contact, FieldType::Categories);
    // A new name is typed; the ones the contact has stay out of the box.
    EXPECT_EQ(editor.edit_box().text(), u"");
    type(u"Golf");
    editor.leave();
    EXPECT_EQ(value(contact, FieldType::Categories), u"Work, Golf");
    EXPECT_EQ(value(stored(), FieldType::Categories), u"Work, Golf");
    std::vector<WString> folder;
    m_volume->load_categories(folder);
    EXPECT_NE(std::find(folder.begin(), folder.end(), u"Golf"), folder.end());

    // Leaving with an empty box changes nothing.
    editor.show(contact, FieldType::Categories);
    editor.leave();
    EXPECT_EQ(value(stored(), FieldType::Categories), u"Work, Golf");
}

TEST_F(EditFormsTest, WithoutAStoreLeavingOnlyChangesTheWorkingCopy) {
    EditFieldForm editor;
    editor.bind(m_skin);
    data::ContactRecord copy = stored();
    editor.show(copy, FieldType::WebPage);
    type(u"berg.example");
    editor.leave();
    EXPECT_EQ(value(copy, FieldType::WebPage), u"berg.example");
    EXPECT_EQ(value(stored(), FieldType::WebPage), u"<none>");
}

TEST_F(EditFormsTest, AContactNeverStoredIsCreatedOnLeaving) {
    EditContactHeaderForm editor;
    editor.bind(m_skin, &*m_volume);
    data::ContactRecord fresh;
    editor.show(fresh);
    type(u"Nina");
    editor.leave();
    ASSERT_NE(fresh.oid, 0u);
    data::ContactRecord record;
    record.oid = fresh.oid;
    ASSERT_TRUE(m_volume->read_contact(record));
    EXPECT_EQ(record.first_name, u"Nina");
}

// "New contact" opens an empty card in edit mode: leaving its editors
// without typing must not leave a nameless contact (or one born today).
TEST_F(EditFormsTest, ANewContactLeftEmptyIsNotStored) {
    const std::size_t before = stored_count();
    m_card->show(data::ContactRecord{}, CardMode::Edit);
    lay_out(*m_card);
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

    // Something typed: now it is created.
    m_card->edit_header();
    type(u"Nina");
    m_card->header_editor().leave();
    EXPECT_EQ(stored_count(), before + 1);
    EXPECT_NE(m_card->oid(), 0u);
}

TEST_F(EditFormsTest, ANewContactWithOnlyAFieldIsStored) {
    const std::size_t before = stored_count();
    m_card->show(data::ContactRecord{}, CardMode::Edit);
    choose_kind(FieldType::HomeTel);
    type(u"555 0200");
    m_card->field_editor().leave();
    EXPECT_EQ(stored_count(), before + 1);
    ASSERT_NE(m_card->oid(), 0u);
    data::ContactRecord record;
    record.oid = m_card->oid();
    ASSERT_TRUE(m_volume->read_contact(record));
    EXPECT_EQ(value(record, FieldType::HomeTel), u"555 0200");
}

TEST_F(EditFormsTest, ANewContactHasItsCategoriesRowAfterItsFirstSave) {
    m_card->show(data::ContactRecord{}, CardMode::Edit);
    EXPECT_EQ(card_row(FieldType::Categories), -1);
    m_card->edit_header();
    type(u"Nina");
    m_card->header_editor().leave();
    ASSERT_NE(m_card->oid(), 0u);
    // As the store will read it back: an empty Categories field.
    EXPECT_EQ(value(m_card->contact(), FieldType::Categories), u"");
    EXPECT_GE(card_row(FieldType::Categories), 0);
    // The next edit updates the same contact rather than creating another.
    const std::size_t count = stored_count();
    choose_kind(FieldType::HomeTel);
    type(u"555");
    m_card->field_editor().leave();
    EXPECT_EQ(stored_count(), count);
}

// The store's notice of a removal comes later; an editor left before it
// must not write the removed value back.
TEST_F(EditFormsTest, ARemovedFieldStaysRemovedWhenAnEditorSavesBeforeTheNotice) {
    show_card();
    const std::int32_t mail = card_row(FieldType::Email1);
    ASSERT_GE(mail, 0);
    m_card->press_row_button(mail, ContactForm::RowButton::Remove);
    m_card->press_row_button(mail, ContactForm::RowButton::ConfirmRemove);
    EXPECT_EQ(value(stored(), FieldType::Email1), u"<none>");
    EXPECT_EQ(value(m_card->contact(), FieldType::Email1), u"<none>");
    EXPECT_EQ(card_row(FieldType::Email1), -1);

    tap_card(card_row(FieldType::Mobile), u"action");
    type(u"9");
    m_card->field_editor().leave();
    EXPECT_EQ(value(stored(), FieldType::Mobile), u"+1 555 01009");
    EXPECT_EQ(value(stored(), FieldType::Email1), u"<none>");
}

TEST_F(EditFormsTest, ANewContactGetsThePhotoButtonOnceStored) {
    m_card->show(data::ContactRecord{}, CardMode::Edit);
    const auto photo_button = [this] {
        m_card->list().scroll_to_item(0);
        lay_out(*m_card);
        ui::ListElement* head = m_card->list().element_for(0);
        ui::Node* button = head != nullptr ? head->find(u"button_choose_photo") : nullptr;
        return button != nullptr && button->is_visible();
    };
    EXPECT_FALSE(photo_button());
    m_card->edit_header();
    type(u"Nina");
    m_card->header_editor().leave();
    ASSERT_NE(m_card->oid(), 0u);
    EXPECT_TRUE(photo_button());
}

TEST_F(EditFormsTest, BindingFailsWithoutTheEditBox) {
    // The card's node has a "cancel" but no "label_edit".
    struct Misnamed final : ContactEditorForm {
        Misnamed() : ContactEditorForm(u"ContactForm") {}
        void bind_boxes() override { box = &required_box(); }
        ui::LabelEditNode& required_box() {
            return forms::required<ui::LabelEditNode>(*this, u"label_edit");
        }
        void fill(const data::ContactRecord&) override {}
        void write_back(data::ContactRecord&) override {}
        void refill(const data::ContactRecord&) override {}
        ui::LabelEditNode* first_box() const override { return box; }
        const char16_t* log_name() const override { return u"Misnamed"; }
        ui::LabelEditNode* box = nullptr;
    };
    Misnamed form;
    EXPECT_THROW(form.bind(m_skin), ui::vadode::NodeNotFound);
}

} // namespace
} // namespace telvara::forms
