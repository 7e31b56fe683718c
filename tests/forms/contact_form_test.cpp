// The contact card on the default skin with a real Document.
#include "data/contact_store.h"
#include "data/test_contacts.h"
#include "forms/contact_form.h"
#include "forms/notice_form.h"
#include "runtime/registry.h"
#include "screen_test_support.h"
#include "ui/image_node.h"
#include "ui/key_names.h"
#include "ui/multinode.h"
#include "ui/vadode.h"

namespace telvara::forms {
namespace {

using data::FieldType;
using data::testing::person;
using data::testing::phone;
using Button = ContactForm::RowButton;

struct RecordedActions final : FieldActions {
    void call(WStringView n) override { done.push_back(u"call " + WString(n)); }
    void message(WStringView n) override { done.push_back(u"sms " + WString(n)); }
    void mail(WStringView a) override { done.push_back(u"mail " + WString(a)); }
    void web(WStringView a) override { done.push_back(u"web " + WString(a)); }
    std::vector<WString> done;
};

constexpr std::uint32_t kAnna = 1;
constexpr std::uint32_t kZeta = 3;

class ContactFormTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        m_store.put(person(kAnna, u"Anna", u"Berg", u"",
                           {{FieldType::Email1, u"anna@berg.example"},
                            phone(FieldType::Mobile, u"+1 555 0100"),
                            phone(FieldType::HomeTel, u"555 0200"),
                            {FieldType::WebPage, u"berg.example"},
                            {FieldType::Categories, u""},
                            {FieldType::Birthday, u"327715200000"}}));
        m_store.put(person(2, u"Boris", u"Adams", u"Acme"));
        m_store.put(person(kZeta, u"", u"", u"Zeta Labs"));
        open_document();
        m_form.emplace();
        m_form->bind(m_skin);
        m_form->set_actions(m_actions);
    }
    void TearDown() override {
        m_form.reset();
        ScreenTest::TearDown();
    }
    void show(std::uint32_t oid, CardMode mode = CardMode::View) {
        const data::ContactEntry* entry = m_document->find_contact(oid);
        ASSERT_NE(entry, nullptr);
        m_form->show(*entry, mode);
        test::lay_out(*m_form);
    }
    ui::ListElement& row(std::int32_t index) {
        ui::ListElement* element = m_form->list().element_for(index);
        if (element == nullptr) { // below the screen: bring it in
            m_form->list().scroll_to_item(index);
            test::lay_out(*m_form);
            element = m_form->list().element_for(index);
        }
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    std::string text(std::int32_t index, WStringView name) {
        ui::Node* node = row(index).find(name);
        return node == nullptr      ? "<missing>"
               : node->is_visible() ? to_utf8(test::text_of(node))
                                    : "<hidden>";
    }
    bool visible(std::int32_t index, WStringView name) {
        return test::visible(row(index).find(name));
    }
    std::size_t state(std::int32_t index, WStringView name) {
        auto* node = dynamic_cast<ui::Multinode*>(row(index).find(name));
        EXPECT_NE(node, nullptr) << to_utf8(name);
        return node != nullptr ? node->current() : 99;
    }
    std::int32_t row_of(FieldType type) {
        const auto& rows = m_form->rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i] >= 0 && m_form->contact().fields[std::size_t(rows[i])].type == type)
                return std::int32_t(i);
        ADD_FAILURE() << "no row for field " << int(type);
        return -1;
    }
    std::int32_t last_row() { return std::int32_t(m_form->rows().size() - 1); }
    void tap(std::int32_t index, WStringView button) { test::click(row(index).find(button)); }
    RecordedActions m_actions;
    std::optional<ContactForm> m_form;
};

TEST_F(ContactFormTest, TheHeadShowsTheNamesOrTheCompanyOrUnknown) {
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
    show(kZeta);
    EXPECT_EQ(text(0, u"firstname"), "Zeta Labs");
    EXPECT_EQ(text(0, u"lastname"), "<hidden>");
    EXPECT_EQ(text(0, u"company"), "Zeta Labs");
    EXPECT_EQ(m_form->rows(), std::vector<int>{kHeadRow});
    m_store.put(person(9, u"", u"", u"", {phone(FieldType::Mobile, u"555")}));
    m_document->contact_added(m_store.contacts[9]);
    show(9);
    EXPECT_EQ(text(0, u"firstname"), "skinUnknown");
}

TEST_F(ContactFormTest, TappingAFieldCallsWritesOrOpensIt) {
    show(kAnna);
    tap(row_of(FieldType::Mobile), u"action");
    tap(row_of(FieldType::HomeTel), u"sms");
    tap(row_of(FieldType::Email1), u"action");
    tap(row_of(FieldType::WebPage), u"action");
    // A birthday, the categories, a hidden mail sms button, the head and a
    // separator have nothing to act with.
    tap(row_of(FieldType::Birthday), u"action");
    m_form->press_row_button(row_of(FieldType::Categories), Button::Action);
    m_form->press_row_button(row_of(FieldType::Email1), Button::Sms);
    m_form->press_row_button(0, Button::Action);
    m_form->press_row_button(1, Button::Action);
    EXPECT_EQ(m_actions.done,
              (std::vector<WString>{u"call +1 555 0100", u"sms 555 0200", u"mail anna@berg.example",
                                    u"web berg.example"}));
}

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

class ContactFormVolumeTest : public ContactFormTest {
  protected:
    void SetUp() override {
        ContactFormTest::SetUp();
        m_volume.emplace(root() + "/card.vol");
        ASSERT_TRUE(m_volume->is_open());
        data::ContactRecord stored = m_store.contacts[kAnna];
        stored.first_name = u"Dora";
        // The volume numbers from 1 as the fake store does: take an oid the
        // Document does not have yet.
        do {
            stored.oid = 0;
            ASSERT_TRUE(m_volume->create_contact(stored));
        } while (m_store.contacts.count(stored.oid) != 0);
        m_oid = stored.oid;
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

TEST_F(ContactFormVolumeTest, DeleteAsksFirstCancelOrEscKeepAndConfirmingDeletesAndCloses) {
    show(m_oid, CardMode::Edit);
    ASSERT_EQ(m_form->rows().back(), kButtonsRow);
    tap(last_row(), u"delete_contact");
    EXPECT_TRUE(m_form->menu().is_open());
    EXPECT_EQ(m_form->menu().key(), u"ConfirDeleteContact");
    EXPECT_EQ(test::menu_keys(m_form->menu()),
              (std::vector<WString>{u"ReallyDelete@MenuElementRed", u"Cancel"}));
    m_form->menu().choose_key(u"Cancel");
    // Esc closes the confirmation, not the card.
    m_form->ask_delete();
    EXPECT_TRUE(m_form->menu_takes_key({ui::key::Esc, true, true}));
    EXPECT_FALSE(m_form->menu().is_open());
    EXPECT_TRUE(stored());
    EXPECT_NE(m_document->find_contact(m_oid), nullptr);
    EXPECT_TRUE(m_host.closed.empty());
    EXPECT_EQ(m_form->oid(), m_oid);
    // Confirmed: gone from the store and the Document, and the card closes.
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
// too; the contact's other favourite stays.
TEST_F(ContactFormVolumeTest, RemovingAStarredNumberTakesItsFavouriteWithIt) {
    ASSERT_TRUE(m_document->add_favorite(m_oid, std::int32_t(FieldType::Mobile)));
    ASSERT_TRUE(m_document->add_favorite(m_oid, std::int32_t(FieldType::HomeTel)));
    show(m_oid, CardMode::Edit);
    const std::int32_t mobile = row_of(FieldType::Mobile);
    tap(mobile, u"remove");
    tap(mobile, u"confirm_remove");
    ASSERT_EQ(m_document->favorites().size(), 1u);
    EXPECT_EQ(m_document->favorites().at(0).value, std::int32_t(FieldType::HomeTel));
    data::ContactRecord record;
    record.oid = m_oid;
    ASSERT_TRUE(m_volume->read_contact(record));
    EXPECT_EQ(record.field(FieldType::Mobile), nullptr);
    ASSERT_NE(record.field(FieldType::HomeTel), nullptr) << "the next field stays";
    EXPECT_EQ(record.field(FieldType::HomeTel)->value, u"555 0200");
    std::vector<data::FavoriteLine> saved;
    ASSERT_EQ(data::read_favorites_file(files().favorites, saved).state, data::FavoritesFile::Read);
    EXPECT_EQ(saved, (std::vector<data::FavoriteLine>{{m_oid, std::int32_t(FieldType::HomeTel)}}));
}

// No photo: the chooser at once; a photo: change or remove. Cancel or a bad file keep it.
TEST_F(ContactFormVolumeTest, ThePhotoIsChosenReplacedAndRemovedFromTheHead) {
    const std::string face = root() + "/face.png";
    const std::vector<std::byte> image = data::make_test_contact_photo(0);
    std::ofstream(face, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    const auto chooser = [&](const std::string& command) {
        ASSERT_TRUE(runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara",
                                              u"PictureChooser", from_utf8(command)));
    };
    const auto photo_button = [&] {
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
    EXPECT_FALSE(m_form->menu().is_open()) << "no photo yet: straight to the chooser";
    EXPECT_EQ(m_volume->get_picture(self), image);
    EXPECT_EQ(photo_button(), m_skin.translate(u"EditPhoto"));
    chooser("echo '" + root() + "/missing.png'");
    tap(0, u"button_choose_photo");
    ASSERT_TRUE(m_form->menu().is_open());
    EXPECT_EQ(test::menu_keys(m_form->menu()),
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

TEST_F(ContactFormTest, TheEditSwitchTogglesTheModeAndLeftOrBackCloseTheCard) {
    show(kAnna);
    test::click(m_form->find(u"edit_mode_edit"));
    EXPECT_EQ(m_form->mode(), CardMode::Edit);
    EXPECT_EQ(m_form->rows().back(), kButtonsRow);
    test::click(m_form->find(u"edit_mode_done"));
    EXPECT_EQ(m_form->mode(), CardMode::View);
    EXPECT_NE(m_form->rows().back(), kButtonsRow);
    EXPECT_TRUE(m_form->on_key({ui::key::Left, true, true}));
    EXPECT_TRUE(m_host.closed.empty()) << "closes on release";
    EXPECT_TRUE(m_form->on_key({ui::key::Left, false, true}));
    EXPECT_EQ(m_host.closed, std::vector<Form*>{&*m_form});
    show(kZeta);
    test::click(m_form->cancel_button());
    EXPECT_EQ(m_host.closed.size(), 2u);
    ui::Properties empty;
    ContactForm card;
    EXPECT_THROW(card.bind(empty), ui::vadode::NodeNotFoundInSkin);
}

} // namespace
} // namespace telvara::forms
