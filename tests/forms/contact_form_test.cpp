// The contact card on the shipped default skin with a real Document: the
// head, the field rows and their actions, favourites, deletion after the
// confirmation menu, and the card following changes and removal of its
// contact.
#include "data/contact_store.h"
#include "data/document_test_support.h"
#include "data/test_contacts.h"
#include "form_stack_host.h"
#include "forms/contact_form.h"
#include "forms/form_host.h"
#include "forms/notice_form.h"
#include "forms/skin_types.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/button_node.h"
#include "ui/image_node.h"
#include "ui/key_names.h"
#include "ui/multinode.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::FakeStore;
using data::testing::person;
using data::testing::phone;

struct RecordedActions final : FieldActions {
    void call(WStringView n) override { done.push_back(u"call " + WString(n)); }
    void message(WStringView n) override { done.push_back(u"sms " + WString(n)); }
    void mail(WStringView a) override { done.push_back(u"mail " + WString(a)); }
    void web(WStringView a) override { done.push_back(u"web " + WString(a)); }
    std::vector<WString> done;
};

constexpr std::uint32_t kAnna = 1;
constexpr std::uint32_t kZeta = 3;

class ContactFormTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ASSERT_TRUE(forms::test::install_default_skin(m_skin, m_impl));
        m_store.put(person(kAnna, u"Anna", u"Berg", u"",
                           {{FieldType::Email1, u"anna@berg.example"},
                            phone(FieldType::Mobile, u"+1 555 0100"),
                            phone(FieldType::HomeTel, u"555 0200"),
                            {FieldType::WebPage, u"berg.example"},
                            {FieldType::Categories, u""},
                            {FieldType::Birthday, u"327715200000"}}));
        m_store.put(person(2, u"Boris", u"Adams", u"Acme"));
        m_store.put(person(kZeta, u"", u"", u"Zeta Labs"));
        m_document.emplace(m_store, nullptr, files());
        m_document->load();
        set_form_host(&m_host);
        m_form.emplace();
        m_form->bind(m_skin);
        m_form->set_actions(m_actions);
    }
    void TearDown() override {
        m_form.reset();
        set_form_host(nullptr);
        m_document.reset();
        DocumentTest::TearDown();
    }

    void show(std::uint32_t oid, CardMode mode = CardMode::View) {
        const data::ContactEntry* entry = m_document->find_contact(oid);
        ASSERT_NE(entry, nullptr);
        m_form->show(*entry, mode);
        lay_out();
    }
    void lay_out() {
        m_form->fit_to_screen(240, 320);
        m_form->layout_x();
        m_form->layout_y();
    }
    ui::ListElement& row(std::int32_t index) {
        ui::ListElement* element = m_form->list().element_for(index);
        if (element == nullptr) {
            // Below the screen: bring it in.
            m_form->list().scroll_to_item(index);
            lay_out();
            element = m_form->list().element_for(index);
        }
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    std::string text(std::int32_t index, WStringView name) {
        auto* node = dynamic_cast<ui::TextNode*>(row(index).find(name));
        if (node == nullptr)
            return "<missing>";
        return node->is_visible() ? to_utf8(node->text()) : "<hidden>";
    }
    bool visible(std::int32_t index, WStringView name) {
        ui::Node* node = row(index).find(name);
        return node != nullptr && node->is_visible();
    }
    std::size_t state(std::int32_t index, WStringView name) {
        auto* node = dynamic_cast<ui::Multinode*>(row(index).find(name));
        EXPECT_NE(node, nullptr) << to_utf8(name);
        return node != nullptr ? node->current() : 99;
    }
    // The row index showing field `type`.
    std::int32_t row_of(FieldType type) {
        const auto& rows = m_form->rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i] >= 0 && m_form->contact().fields[std::size_t(rows[i])].type == type)
                return std::int32_t(i);
        ADD_FAILURE() << "no row for field " << int(type);
        return -1;
    }
    void tap(std::int32_t index, WStringView button_name) {
        auto* button = dynamic_cast<ui::ButtonNode*>(row(index).find(button_name));
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->listener(), nullptr);
        button->listener()->on_click(*button);
    }
    std::vector<WString> menu_items() const {
        std::vector<WString> out;
        for (const ui::ChoiceItem& item : m_form->menu().items())
            out.push_back(item.identifier + (item.element.empty() ? u"" : u"@" + item.element));
        return out;
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    FakeStore m_store;
    std::optional<data::Document> m_document;
    test::StackHost m_host;
    RecordedActions m_actions;
    std::optional<ContactForm> m_form;
};

// --- Head ------------------------------------------------------------------------------

TEST_F(ContactFormTest, APersonsHeadShowsTheNamesAndTheDefaultPhotoAndIsPushed) {
    show(kAnna);
    ASSERT_EQ(m_host.shown, std::vector<Form*>{&*m_form});
    EXPECT_EQ(m_form->rows().front(), kHeadRow);
    EXPECT_EQ(text(0, u"firstname"), "Anna");
    EXPECT_EQ(text(0, u"lastname"), "Berg");
    EXPECT_EQ(text(0, u"company"), "<hidden>");
    auto* photo = dynamic_cast<ui::ImageNode*>(row(0).find(u"photo"));
    ASSERT_NE(photo, nullptr);
    EXPECT_TRUE(photo->picture().has_data()); // the silhouette
    // View mode: no editing buttons, the back button instead of the padding.
    EXPECT_FALSE(visible(0, u"edit_header"));
    EXPECT_FALSE(visible(0, u"button_choose_photo"));
    EXPECT_TRUE(m_form->cancel_button().is_visible());
    EXPECT_FALSE(m_form->find(u"padding")->is_visible());
    EXPECT_EQ(m_form->edit_mode_switch().current(), 0u);
}

TEST_F(ContactFormTest, ACompanyOnlyHeadIsTitledByTheCompany) {
    show(kZeta);
    EXPECT_EQ(text(0, u"firstname"), "Zeta Labs");
    EXPECT_EQ(text(0, u"lastname"), "<hidden>");
    EXPECT_EQ(text(0, u"company"), "Zeta Labs");
    EXPECT_EQ(m_form->rows(), std::vector<int>{kHeadRow});
}

TEST_F(ContactFormTest, ANamelessContactIsCalledUnknown) {
    m_store.put(person(9, u"", u"", u"", {phone(FieldType::Mobile, u"555")}));
    m_document->contact_added(m_store.contacts[9]);
    show(9);
    EXPECT_EQ(text(0, u"firstname"), "skinUnknown");
}

// --- Fields ----------------------------------------------------------------------------

TEST_F(ContactFormTest, FieldsAreListedByGroupWithIconsLabelsAndSeparators) {
    show(kAnna);
    const std::vector<int> expected{kHeadRow, kGroupSeparatorRow, 0, kSeparatorRow,
                                    1,        kGroupSeparatorRow, 2, kGroupSeparatorRow,
                                    3,        kGroupSeparatorRow, 4, kSeparatorRow,
                                    5};
    EXPECT_EQ(m_form->rows(), expected);
    const auto& fields = m_form->contact().fields;
    EXPECT_EQ(fields[0].type, FieldType::Mobile);
    EXPECT_EQ(fields[1].type, FieldType::HomeTel);
    EXPECT_EQ(fields[2].type, FieldType::Email1);
    EXPECT_EQ(fields[3].type, FieldType::WebPage);

    EXPECT_EQ(text(2, u"big"), "+1 555 0100");
    EXPECT_EQ(text(2, u"small"), "Mobile");
    EXPECT_EQ(state(2, u"icons"), 0u);
    EXPECT_EQ(text(4, u"small"), "HomeTel");
    EXPECT_EQ(state(4, u"icons"), 1u);
    EXPECT_EQ(text(6, u"big"), "anna@berg.example");
    EXPECT_EQ(state(6, u"icons"), 2u);
    EXPECT_EQ(state(8, u"icons"), 3u);
    // By type within a group, as the store lists them: birthday, categories.
    EXPECT_NE(text(10, u"big").find("1980"), std::string::npos); // the birthday as a date
    EXPECT_EQ(state(10, u"icons"), 6u);
    EXPECT_EQ(text(12, u"big"), "skinCategoryNone"); // no category, untranslated here
    EXPECT_EQ(state(12, u"icons"), 5u);

    // Message button and star on phone rows only; no removal in view mode.
    EXPECT_TRUE(visible(2, u"sms"));
    EXPECT_TRUE(visible(2, u"favorite"));
    EXPECT_FALSE(visible(6, u"sms"));
    EXPECT_FALSE(visible(6, u"favorite"));
    EXPECT_FALSE(visible(2, u"remove"));
    EXPECT_FALSE(visible(2, u"confirm_remove"));
}

TEST_F(ContactFormTest, TappingAFieldCallsWritesOrOpensIt) {
    show(kAnna);
    tap(row_of(FieldType::Mobile), u"action");
    tap(row_of(FieldType::HomeTel), u"sms");
    tap(row_of(FieldType::Email1), u"action");
    tap(row_of(FieldType::WebPage), u"action");
    // A birthday or the categories have nothing to act with.
    tap(row_of(FieldType::Birthday), u"action");
    m_form->press_row_button(row_of(FieldType::Categories), ContactForm::RowButton::Action);
    // The message button of a mail row is hidden and does nothing if reached.
    m_form->press_row_button(row_of(FieldType::Email1), ContactForm::RowButton::Sms);
    // Separators and the head are not fields.
    m_form->press_row_button(0, ContactForm::RowButton::Action);
    m_form->press_row_button(1, ContactForm::RowButton::Action);
    EXPECT_EQ(m_actions.done,
              (std::vector<WString>{u"call +1 555 0100", u"sms 555 0200", u"mail anna@berg.example",
                                    u"web berg.example"}));
}

TEST_F(ContactFormTest, ShowingTheCategoriesLogsTheValueAndEachCategory) {
    ASSERT_TRUE(runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 1));
    data::ContactRecord anna = m_store.contacts[kAnna];
    data::ContactField* categories = nullptr;
    for (data::ContactField& f : anna.fields)
        if (f.type == FieldType::Categories)
            categories = &f;
    ASSERT_NE(categories, nullptr);
    categories->value = u"Golf, Family;Work";
    m_store.put(anna);
    m_document->on_contact_changed(kAnna);
    show(kAnna);
    EXPECT_EQ(text(row_of(FieldType::Categories), u"big"), "Golf, Family;Work");
    runtime::log().flush();
    WString logged;
    for (const auto& entry : std::filesystem::directory_iterator(root() + "/Temp")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string raw((std::istreambuf_iterator<char>(in)), {});
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
            logged += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                            static_cast<unsigned char>(raw[i + 1]) << 8);
    }
    ASSERT_TRUE(runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 0));
    const std::string text = to_utf8(logged);
    const std::size_t value = text.find(" Contact categories value = ---Golf, Family;Work---\n");
    ASSERT_NE(value, std::string::npos) << text;
    const std::size_t golf = text.find(" Found category: ---Golf---\n", value);
    const std::size_t family = text.find(" Found category: ---Family---\n", value);
    const std::size_t work = text.find(" Found category: ---Work---\n", value);
    EXPECT_NE(golf, std::string::npos);
    EXPECT_NE(family, std::string::npos);
    EXPECT_NE(work, std::string::npos);
    EXPECT_LT(golf, family);
    EXPECT_LT(family, work);
}

// --- Favourites --------------------------------------------------------------------------

TEST_F(ContactFormTest, TheStarAddsThePhoneFieldToTheFavouritesAndTakesItOut) {
    show(kAnna);
    const std::int32_t home = row_of(FieldType::HomeTel);
    EXPECT_EQ(state(home, u"favorite"), 0u);
    tap(home, u"favorite_off");
    ASSERT_EQ(m_document->favorites().size(), 1u);
    EXPECT_EQ(m_document->favorites().at(0).entry->oid(), kAnna);
    EXPECT_EQ(m_document->favorites().at(0).value, std::int32_t(FieldType::HomeTel));
    EXPECT_EQ(state(home, u"favorite"), 1u);
    EXPECT_EQ(state(row_of(FieldType::Mobile), u"favorite"), 0u); // only that field

    tap(home, u"favorite_on");
    EXPECT_TRUE(m_document->favorites().empty());
    EXPECT_EQ(state(home, u"favorite"), 0u);
}

// --- Deleting and the photo, on a real volume --------------------------------------------

class ContactFormVolumeTest : public ContactFormTest {
  protected:
    void SetUp() override {
        ContactFormTest::SetUp();
        m_volume.emplace(root() + "/card.vol");
        ASSERT_TRUE(m_volume->is_open());
        data::ContactRecord stored = m_store.contacts[kAnna];
        stored.first_name = u"Dora";
        // The volume numbers from 1 as the fake store does: its oid must be
        // one the Document does not have yet.
        do {
            stored.oid = 0;
            ASSERT_TRUE(m_volume->create_contact(stored));
        } while (m_store.contacts.count(stored.oid) != 0);
        m_oid = stored.oid;
        // The Document knows the contact under the store's oid.
        m_store.put(stored);
        m_document->contact_added(stored);
        m_form->bind(m_skin, &*m_volume);
        m_form->set_actions(m_actions);
    }
    void TearDown() override {
        m_form.reset();
        m_volume.reset();
        ContactFormTest::TearDown();
    }
    bool stored() {
        data::ContactRecord record;
        record.oid = m_oid;
        return m_volume->read_contact(record);
    }
    std::optional<data::ContactStore> m_volume;
    std::uint32_t m_oid = 0;
};

TEST_F(ContactFormVolumeTest, DeleteAsksFirstAndCancelKeepsTheContact) {
    show(m_oid, CardMode::Edit);
    ASSERT_EQ(m_form->rows().back(), kButtonsRow);
    tap(std::int32_t(m_form->rows().size() - 1), u"delete_contact");
    EXPECT_TRUE(m_form->menu().is_open());
    EXPECT_EQ(m_form->menu().key(), u"ConfirDeleteContact");
    EXPECT_EQ(menu_items(), (std::vector<WString>{u"ReallyDelete@MenuElementRed", u"Cancel"}));
    m_form->menu().choose_key(u"Cancel");
    EXPECT_TRUE(stored());
    EXPECT_NE(m_document->find_contact(m_oid), nullptr);
    EXPECT_TRUE(m_host.closed.empty());
    EXPECT_EQ(m_form->oid(), m_oid);
}

TEST_F(ContactFormVolumeTest, EscClosesTheConfirmationNotTheCard) {
    show(m_oid);
    m_form->ask_delete();
    ASSERT_TRUE(m_form->menu().is_open());
    EXPECT_TRUE(m_form->menu_takes_key({ui::key::Esc, true, true}));
    EXPECT_FALSE(m_form->menu().is_open());
    EXPECT_TRUE(m_host.closed.empty());
    EXPECT_TRUE(stored());
}

TEST_F(ContactFormVolumeTest, ConfirmingDeletesFromTheStoreAndTheDocumentAndClosesTheCard) {
    show(m_oid);
    m_form->ask_delete();
    m_form->menu().choose_key(u"ReallyDelete");
    EXPECT_FALSE(stored());
    EXPECT_EQ(m_document->find_contact(m_oid), nullptr);
    EXPECT_EQ(m_host.closed, std::vector<Form*>{&*m_form});
    EXPECT_EQ(m_form->oid(), 0u);
    // The store's own notice of the deletion, arriving later, changes nothing.
    m_document->on_contact_removed(m_oid);
    EXPECT_EQ(m_host.closed.size(), 1u);
}

// Removing a starred number takes its favourite with it, in the saved file
// too (what the next start reads); the contact's other favourite stays.
TEST_F(ContactFormVolumeTest, RemovingAStarredNumberTakesItsFavouriteWithIt) {
    ASSERT_TRUE(m_document->add_favorite(m_oid, std::int32_t(FieldType::Mobile)));
    ASSERT_TRUE(m_document->add_favorite(m_oid, std::int32_t(FieldType::HomeTel)));
    show(m_oid, CardMode::Edit);
    const std::int32_t mobile = row_of(FieldType::Mobile);
    tap(mobile, u"remove");
    tap(mobile, u"confirm_remove");
    ASSERT_EQ(m_document->favorites().size(), 1u);
    EXPECT_EQ(m_document->favorites().at(0).value, std::int32_t(FieldType::HomeTel));
    std::vector<data::FavoriteLine> saved;
    ASSERT_EQ(data::read_favorites_file(files().favorites, saved).state, data::FavoritesFile::Read);
    EXPECT_EQ(saved, (std::vector<data::FavoriteLine>{{m_oid, std::int32_t(FieldType::HomeTel)}}));
}

// The head's photo button: without a photo it runs the chooser at once; with
// one it offers choosing another or removing it. A cancelled chooser or an
// unreadable file leaves the photo as it was.
TEST_F(ContactFormVolumeTest, ThePhotoIsChosenReplacedAndRemovedFromTheHead) {
    const std::string face = root() + "/face.png";
    const std::vector<std::byte> image = data::make_test_contact_photo(0);
    std::ofstream(face, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    const WStringView settings = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
    auto chooser = [&](const std::string& command) {
        ASSERT_TRUE(runtime::reg_write_string(settings, u"PictureChooser", from_utf8(command)));
    };
    auto photo_button = [&] {
        auto* button = dynamic_cast<ui::ButtonNode*>(row(0).find(u"button_choose_photo"));
        return button != nullptr ? button->text() : WString(u"<missing>");
    };
    data::ContactRecord self;
    self.oid = m_oid;

    show(m_oid, CardMode::Edit);
    EXPECT_EQ(photo_button(), m_skin.translate(u"AddPhoto"));

    chooser("exit 1"); // the user closed the dialog
    tap(0, u"button_choose_photo");
    EXPECT_FALSE(m_volume->has_picture(m_oid));

    chooser("echo '" + face + "'");
    tap(0, u"button_choose_photo");
    EXPECT_FALSE(m_form->menu().is_open()); // no photo yet: straight to the chooser
    EXPECT_EQ(m_volume->get_picture(self), image);
    EXPECT_EQ(photo_button(), m_skin.translate(u"EditPhoto"));

    chooser("echo '" + root() + "/missing.png'");
    tap(0, u"button_choose_photo");
    ASSERT_TRUE(m_form->menu().is_open());
    EXPECT_EQ(menu_items(),
              (std::vector<WString>{u"ChoosePhoto", u"RemovePhoto@MenuElementRed", u"Cancel"}));
    NoticeForm notice;
    notice.bind(m_skin);
    m_form->menu().choose_key(u"ChoosePhoto");
    EXPECT_EQ(m_volume->get_picture(self), image);
    EXPECT_EQ(notice.text(), m_skin.translate(u"skinPictureNotUsable")) << "said, not silent";

    tap(0, u"button_choose_photo");
    m_form->menu().choose_key(u"RemovePhoto");
    EXPECT_FALSE(m_volume->has_picture(m_oid));
    EXPECT_EQ(photo_button(), m_skin.translate(u"AddPhoto"));
}

TEST_F(ContactFormTest, ANeverStoredContactOffersNoPhotoButtons) {
    m_form->show(data::ContactRecord{}, CardMode::Edit);
    lay_out();
    EXPECT_TRUE(visible(0, u"edit_header"));
    EXPECT_FALSE(visible(0, u"button_choose_photo"));
    show(kAnna, CardMode::Edit);
    EXPECT_TRUE(visible(0, u"button_choose_photo"));
}

// A new contact has nothing stored to delete: its buttons row offers only
// a new field; a stored contact's row offers both.
TEST_F(ContactFormTest, ANeverStoredContactOffersNoDelete) {
    m_form->show(data::ContactRecord{}, CardMode::Edit);
    lay_out();
    const auto last = std::int32_t(m_form->rows().size() - 1);
    ASSERT_EQ(m_form->rows().back(), kButtonsRow);
    EXPECT_TRUE(visible(last, u"new_field"));
    EXPECT_FALSE(visible(last, u"delete_contact"));
    show(kAnna, CardMode::Edit);
    const auto anna_last = std::int32_t(m_form->rows().size() - 1);
    EXPECT_TRUE(visible(anna_last, u"new_field"));
    EXPECT_TRUE(visible(anna_last, u"delete_contact"));
}

TEST_F(ContactFormTest, WithoutAStoreConfirmingDeletesNothingAndTheCardStays) {
    show(kAnna);
    m_form->ask_delete();
    m_form->menu().choose_key(u"ReallyDelete");
    EXPECT_NE(m_document->find_contact(kAnna), nullptr);
    EXPECT_TRUE(m_host.closed.empty());
    EXPECT_EQ(m_form->oid(), kAnna);
}

// --- Following the Document --------------------------------------------------------------

TEST_F(ContactFormTest, AChangeOfTheContactFillsTheCardAgain) {
    show(kAnna);
    data::ContactRecord changed = m_store.contacts[kAnna];
    changed.last_name = u"Lind";
    changed.fields = {phone(FieldType::Mobile, u"+1 555 0199")};
    m_store.put(changed);
    // Another contact's change leaves the card alone.
    m_document->on_contact_changed(2);
    EXPECT_EQ(m_form->contact().last_name, u"Berg");

    m_document->on_contact_changed(kAnna);
    lay_out();
    EXPECT_EQ(m_form->contact().last_name, u"Lind");
    EXPECT_EQ(m_form->rows(), (std::vector<int>{kHeadRow, kGroupSeparatorRow, 0}));
    EXPECT_EQ(text(0, u"lastname"), "Lind");
    EXPECT_EQ(text(2, u"big"), "+1 555 0199");
    EXPECT_TRUE(m_host.closed.empty());
}

TEST_F(ContactFormTest, TheRemovalOfTheContactClosesTheCard) {
    show(kAnna);
    m_document->on_contact_removed(2); // not ours
    EXPECT_TRUE(m_host.closed.empty());
    m_store.contacts.erase(kAnna);
    m_document->on_contact_removed(kAnna);
    EXPECT_EQ(m_host.closed, std::vector<Form*>{&*m_form});
    EXPECT_EQ(m_form->rows(), std::vector<int>{kHeadRow});
}

// --- Modes and keys ----------------------------------------------------------------------

TEST_F(ContactFormTest, EditModeAddsRemovalAndTheButtonsRowAndHidesTheActions) {
    show(kAnna, CardMode::Edit);
    EXPECT_EQ(m_form->rows().back(), kButtonsRow);
    EXPECT_EQ(m_form->edit_mode_switch().current(), 1u);
    EXPECT_FALSE(m_form->cancel_button().is_visible());
    EXPECT_TRUE(m_form->find(u"padding")->is_visible());
    const std::int32_t mobile = row_of(FieldType::Mobile);
    EXPECT_TRUE(visible(mobile, u"remove"));
    EXPECT_FALSE(visible(mobile, u"sms"));
    EXPECT_FALSE(visible(mobile, u"icons"));
    EXPECT_TRUE(visible(mobile, u"favorite"));
    // Categories keep their icon and cannot be removed.
    const std::int32_t categories = row_of(FieldType::Categories);
    EXPECT_FALSE(visible(categories, u"remove"));
    EXPECT_TRUE(visible(categories, u"icons"));
    EXPECT_TRUE(visible(0, u"edit_header"));
    EXPECT_TRUE(visible(0, u"button_choose_photo"));
    // Tapping a field in edit mode would open its editor: nothing is called.
    tap(mobile, u"action");
    EXPECT_TRUE(m_actions.done.empty());

    // "remove" asks on that row only; without a store nothing is written.
    tap(mobile, u"remove");
    EXPECT_EQ(m_form->confirming_row(), mobile);
    EXPECT_TRUE(visible(mobile, u"confirm_remove"));
    m_form->press_row_button(row_of(FieldType::HomeTel), ContactForm::RowButton::ConfirmRemove);
    EXPECT_EQ(m_form->confirming_row(), mobile);
    tap(mobile, u"confirm_remove");
    EXPECT_EQ(m_form->confirming_row(), -1);
}

TEST_F(ContactFormTest, OnlyOneRowAsksToConfirmARemoval) {
    show(kAnna, CardMode::Edit);
    const std::int32_t mobile = row_of(FieldType::Mobile);
    const std::int32_t home = row_of(FieldType::HomeTel);
    tap(mobile, u"remove");
    ASSERT_TRUE(visible(mobile, u"confirm_remove"));
    tap(home, u"remove");
    EXPECT_EQ(m_form->confirming_row(), home);
    EXPECT_TRUE(visible(home, u"confirm_remove"));
    // The first row's button goes: it would do nothing if tapped.
    EXPECT_FALSE(visible(mobile, u"confirm_remove"));
    // Asking again on the same row keeps its button.
    tap(home, u"remove");
    EXPECT_TRUE(visible(home, u"confirm_remove"));
}

TEST_F(ContactFormTest, EnterOnAFieldActsOnItOrOpensItsEditorWhenEditing) {
    const auto enter_on = [this](std::int32_t index) {
        m_form->list().clear_focus();
        m_form->list().scroll_to_item(index);
        lay_out();
        m_form->list().on_key({ui::key::Down, true, true});
        m_form->list().on_key({ui::key::Down, false, true});
        ASSERT_EQ(m_form->list().focus_position(), double(index));
        m_form->list().on_key({ui::key::Enter, true, true});
    };
    show(kAnna);
    enter_on(row_of(FieldType::Mobile));
    EXPECT_EQ(m_actions.done, std::vector<WString>{u"call +1 555 0100"});

    show(kAnna, CardMode::Edit);
    enter_on(row_of(FieldType::HomeTel));
    EXPECT_EQ(m_actions.done.size(), 1u); // no call
    ASSERT_TRUE(m_form->field_editor().is_open());
    EXPECT_EQ(m_form->field_editor().field_type(), FieldType::HomeTel);
    EXPECT_EQ(m_host.top_form(), &m_form->field_editor());
    m_form->field_editor().close();
    // The head and separators open nothing.
    enter_on(row_of(FieldType::HomeTel) - 1);
    EXPECT_FALSE(m_form->field_editor().is_open());
}

TEST_F(ContactFormTest, TheEditSwitchTogglesTheModeInPlace) {
    show(kAnna);
    auto* edit = dynamic_cast<ui::ButtonNode*>(m_form->find(u"edit_mode_edit"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(edit->listener(), nullptr);
    edit->listener()->on_click(*edit);
    EXPECT_EQ(m_form->mode(), CardMode::Edit);
    EXPECT_EQ(m_form->rows().back(), kButtonsRow);
    auto* done = dynamic_cast<ui::ButtonNode*>(m_form->find(u"edit_mode_done"));
    ASSERT_NE(done, nullptr);
    done->listener()->on_click(*done);
    EXPECT_EQ(m_form->mode(), CardMode::View);
    EXPECT_NE(m_form->rows().back(), kButtonsRow);
}

TEST_F(ContactFormTest, LeftAndTheBackButtonCloseTheCard) {
    show(kAnna);
    ui::KeyEvent left;
    left.code = ui::key::Left;
    EXPECT_TRUE(m_form->on_key(left));
    EXPECT_TRUE(m_host.closed.empty()); // closes on release
    left.pressed = false;
    EXPECT_TRUE(m_form->on_key(left));
    EXPECT_EQ(m_host.closed, std::vector<Form*>{&*m_form});

    show(kZeta);
    m_form->cancel_button().listener()->on_click(m_form->cancel_button());
    EXPECT_EQ(m_host.closed.size(), 2u);
}

TEST_F(ContactFormTest, BindingFailsOnASkinWithoutTheCard) {
    ui::Properties empty;
    ContactForm card;
    EXPECT_THROW(card.bind(empty), ui::vadode::NodeNotFoundInSkin);
}

} // namespace
} // namespace telvara::forms
