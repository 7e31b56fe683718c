// The main screen on the default skin with a real Document.
#include "forms/contact_selector_form.h"
#include "forms/main_form.h"
#include "phone/phone_manager.h"
#include "runtime/registry.h"
#include "screen_test_support.h"
#include "ui/key_names.h"
#include "ui/render_surface.h"

namespace telvara::forms {
namespace {

using data::testing::person;
using data::testing::phone;
using Oids = std::vector<std::uint32_t>;
using Keys = std::vector<WString>;

constexpr char16_t kSettings[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";

bool checked(const ui::PopupMenu& menu, WStringView identifier) {
    for (const ui::ChoiceItem& item : menu.items())
        if (item.identifier == identifier)
            return item.checked;
    return false;
}

class MainFormTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(person(2, u"Boris", u"Adams", u"Acme",
                           {data::ContactField(data::FieldType::Categories, u"Work")}));
        m_store.put(person(3, u"", u"", u"Zeta Labs"));
        m_store.categories = {u"Work"};
        open_document();
    }
    void TearDown() override {
        m_form.reset();
        ScreenTest::TearDown();
    }
    MainForm& form() {
        if (!m_form)
            m_form.emplace(m_skin);
        return *m_form;
    }
    data::Document& document() { return *m_document; }
    int state(MainTab tab) { return form().tab(tab).state(); }
    bool shown(WStringView name) { return test::visible(form().find(name)); }
    // Shown with every node above it: what the screen draws.
    bool drawn(WStringView name) {
        for (ui::Node* node = form().find(name); node != nullptr; node = node->parent())
            if (!node->is_visible())
                return false;
        return form().find(name) != nullptr;
    }
    Oids listed() { return oids(document().filtered_contacts()); }
    void choose_category(WStringView name) {
        test::click(form().contacts().category_button());
        ASSERT_TRUE(form().main_menu().is_open());
        form().main_menu().choose_key(name);
    }
    void choose_field(data::FieldType type) {
        SelectFieldForm& chooser = form().field_chooser();
        ASSERT_TRUE(chooser.is_open());
        const auto at = std::find(chooser.rows().begin(), chooser.rows().end(), int(type));
        ASSERT_NE(at, chooser.rows().end());
        chooser.choose_row(std::int32_t(at - chooser.rows().begin()));
    }
    std::optional<MainForm> m_form;
};

TEST_F(MainFormTest, StartsOnTheContactsListAndArrowKeysWalkTheTabs) {
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_EQ((std::vector{state(MainTab::Contacts), state(MainTab::Favorites),
                           state(MainTab::Recents), state(MainTab::Menu)}),
              (std::vector{2, 0, 0, 0}));
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_TRUE(shown(u"ContactSelectorContainer"));
    EXPECT_TRUE(shown(u"open_keyboard"));
    for (const char16_t* hidden :
         {u"RecentsContainer", u"FavoritesContainer", u"FavoritesContainer2", u"recent_count"})
        EXPECT_FALSE(shown(hidden)) << to_utf8(hidden);
    // Arrow keys walk the tabs and are consumed at the ends.
    const std::pair<std::int32_t, MainTab> steps[] = {
        {ui::key::Left, MainTab::Contacts},  {ui::key::Right, MainTab::Favorites},
        {ui::key::Right, MainTab::Recents},  {ui::key::Right, MainTab::Recents},
        {ui::key::Left, MainTab::Favorites},
    };
    for (const auto& [code, tab] : steps) {
        EXPECT_TRUE(form().on_key({code, true, true}));
        EXPECT_EQ(form().current_tab(), tab);
    }
}

TEST_F(MainFormTest, TheKeypadSearchesAndClosingItClearsTheSearch) {
    form().select_tab(MainTab::Contacts);
    EXPECT_TRUE(form().keyboard().is_open());
    EXPECT_EQ(state(MainTab::Contacts), 1);
    form().keyboard().set_text(u"25");
    EXPECT_TRUE(form().on_key({ui::key::Backspace, true, true}));
    EXPECT_EQ(form().keyboard().text(), u"2");
    EXPECT_EQ(document().filter_words(), Keys{u"2"});
    EXPECT_TRUE(form().on_key({ui::key::Backspace, true, true}));
    EXPECT_EQ(form().keyboard().text(), u"");
    // An empty number: the key is the children's business, nothing changes.
    form().on_key({ui::key::Backspace, true, true});
    EXPECT_TRUE(form().keyboard().is_open());
    // The keypad leaves with the list and comes back with its number.
    form().keyboard().set_text(u"2");
    ASSERT_TRUE(drawn(u"KeyboardContainer"));
    form().select_tab(MainTab::Favorites);
    EXPECT_FALSE(drawn(u"KeyboardContainer"));
    form().select_tab(MainTab::Recents);
    EXPECT_FALSE(drawn(u"KeyboardContainer"));
    form().select_tab(MainTab::Contacts);
    EXPECT_TRUE(drawn(u"KeyboardContainer"));
    EXPECT_EQ(state(MainTab::Contacts), 1);
    EXPECT_EQ(form().keyboard().text(), u"2");
    EXPECT_EQ(document().filter_words(), Keys{u"2"});
    EXPECT_EQ(listed().size(), 2u);
    // Closing it clears the search.
    form().select_tab(MainTab::Contacts);
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_EQ(state(MainTab::Contacts), 2);
    EXPECT_TRUE(document().filter_words().empty());
    EXPECT_EQ(listed().size(), 3u);
}

TEST_F(MainFormTest, FavouritesTabTwiceSwitchesTheLayoutAndStoresIt) {
    runtime::reg_write_dword(kSettings, u"FavoriteMode", 0); // a stored 0 starts as layout 1
    form().select_tab(MainTab::Favorites);
    EXPECT_EQ(state(MainTab::Favorites), 1);
    EXPECT_TRUE(shown(u"FavoritesContainer"));
    EXPECT_FALSE(shown(u"FavoritesContainer2"));
    EXPECT_FALSE(shown(u"ContactSelectorContainer"));
    EXPECT_FALSE(shown(u"open_keyboard")) << "the list's keypad button stays with the list";
    form().select_tab(MainTab::Favorites);
    EXPECT_EQ(state(MainTab::Favorites), 2);
    EXPECT_FALSE(shown(u"FavoritesContainer"));
    EXPECT_TRUE(shown(u"FavoritesContainer2"));
    std::uint32_t stored = 0;
    ASSERT_TRUE(runtime::reg_read_dword(kSettings, u"FavoriteMode", stored));
    EXPECT_EQ(stored, 2u);
}

TEST_F(MainFormTest, MissedCallsShowOnTheBadgeUntilTheRecentsTabIsOpened) {
    runtime::reg_write_dword(u"HKEY_CURRENT_USER\\System\\State\\Phone", u"Missed Call Count", 3);
    EXPECT_EQ(state(MainTab::Recents), 2);
    EXPECT_TRUE(shown(u"recent_count"));
    EXPECT_EQ(form().tab(MainTab::Recents).button()->text(), u"3");
    // The first tap makes it current without its menu; the count is shown
    // once and the platform's counter goes back to 0.
    form().select_tab(MainTab::Recents);
    EXPECT_EQ(state(MainTab::Recents), 1);
    EXPECT_FALSE(form().main_menu().is_open());
    EXPECT_EQ(form().tab(MainTab::Recents).button()->text(), u"3");
    EXPECT_EQ(phone::PhoneManager::missed_call_count(), 0u);
    EXPECT_TRUE(shown(u"RecentsContainer"));
    // Tapped again: the recents menu, not the main one.
    form().select_tab(MainTab::Recents);
    ASSERT_TRUE(form().recents_menu().is_open());
    EXPECT_FALSE(form().main_menu().is_open());
    EXPECT_EQ(test::menu_keys(form().recents_menu()),
              (Keys{u"menuFilter", u"menuDeleteAll", u"Cancel"}));
}

TEST_F(MainFormTest, CommandLinesSwitchTabsAndOpenOrOfferToStoreNumbers) {
    form().on_command_line(u"recents");
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    form().on_command_line(u"Contacts"); // case matters
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    form().on_command_line(u"contacts");
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    form().on_command_line(u"open:+44 20 7946 0000");
    EXPECT_EQ(form().pending_number(), u"+44 20 7946 0000");
    ASSERT_TRUE(form().main_menu().is_open());
    EXPECT_EQ(test::menu_keys(form().main_menu()),
              (Keys{u"Add2NewContact", u"Add2Existing", u"Cancel"}));
    form().main_menu().cancel();
    // A known number (the last seven digits) opens its card; the search is cleared.
    form().keyboard().set_text(u"9");
    form().on_command_line(u"open:555-0100");
    EXPECT_EQ(form().keyboard().text(), u"");
    EXPECT_TRUE(document().filter_words().empty());
    EXPECT_EQ(form().contact_card().contact().oid, 1u);
    EXPECT_EQ(form().contact_card().mode(), CardMode::View);
    // "open:" with no number (anywhere in a longer text) starts a new contact.
    form().on_command_line(u"xopen:");
    EXPECT_EQ(form().contact_card().contact().oid, 0u);
    EXPECT_EQ(form().contact_card().mode(), CardMode::Edit);
}

// An unknown number becomes a new contact with the phone kind the user picks,
// or joins an existing one and ends on that contact's card with the number.
TEST_F(MainFormTest, AnUnknownNumberIsStoredInANewOrAnExistingContact) {
    form().on_command_line(u"open:+44 20 7946 0000");
    form().main_menu().choose_key(u"Add2NewContact");
    choose_field(data::FieldType::Mobile);
    EXPECT_TRUE(form().pending_number().empty());
    EXPECT_EQ(form().contact_card().mode(), CardMode::Edit);
    const data::ContactRecord& fresh = form().contact_card().contact();
    ASSERT_EQ(fresh.fields.size(), 1u);
    EXPECT_EQ(fresh.fields[0].type, data::FieldType::Mobile);
    EXPECT_EQ(fresh.fields[0].value, u"+44 20 7946 0000");
    form().on_command_line(u"open:+44 20 7946 0000");
    form().main_menu().choose_key(u"Add2Existing");
    ContactSelectorForm& picker = form().contact_picker();
    ASSERT_EQ(m_host.top_form(), &picker);
    test::lay_out(picker);
    ui::ListElement* first = picker.container().list()->element_for(0);
    ASSERT_NE(first, nullptr);
    const std::int32_t x = first->x() + 40, y = first->y() + first->height() / 2;
    picker.on_touch({x, y, ui::PointerKind::Down, false});
    picker.on_touch({x, y, ui::PointerKind::Up, false});
    choose_field(data::FieldType::BusinessTel);
    EXPECT_FALSE(m_host.is_shown(picker));
    ASSERT_TRUE(m_host.is_shown(form().contact_card()));
    EXPECT_EQ(form().contact_card().mode(), CardMode::View);
    const data::ContactRecord& shown = form().contact_card().contact();
    EXPECT_EQ(shown.oid, document().filtered_contacts()[0]->oid());
    ASSERT_NE(shown.field(data::FieldType::BusinessTel), nullptr);
    EXPECT_EQ(shown.field(data::FieldType::BusinessTel)->value, u"+44 20 7946 0000");
}

TEST_F(MainFormTest, MainMenuSortingDialerAboutAndMinimize) {
    form().select_tab(MainTab::Menu);
    EXPECT_EQ(state(MainTab::Menu), 1);
    ui::PopupMenu& menu = form().main_menu();
    ASSERT_TRUE(menu.is_open());
    EXPECT_TRUE(checked(menu, u"Dialer")); // default on, nothing stored
    menu.choose_key(u"Settings");
    menu.choose_key(u"Sort");
    EXPECT_TRUE(checked(menu, u"SortByLastname"));
    menu.choose_key(u"SortByFirstname");
    EXPECT_EQ(document().sorting(), data::SortMode::FirstName);
    EXPECT_FALSE(menu.is_open());
    // Done: the menu tab is off and the contacts tab has its look back.
    EXPECT_EQ(state(MainTab::Menu), 0);
    EXPECT_EQ(state(MainTab::Contacts), 2);
    form().select_tab(MainTab::Menu);
    menu.choose_key(u"Dialer");
    EXPECT_FALSE(document().dialer());
    EXPECT_EQ(state(MainTab::Contacts), 2);
    EXPECT_FALSE(form().about().is_shown());
    form().select_tab(MainTab::Menu);
    menu.choose_key(u"About");
    ASSERT_TRUE(form().about().is_shown());
    auto* list = dynamic_cast<ui::VirtualList*>(form().about().root()->find(u"list"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->item_count(), 1);
    EXPECT_TRUE(form().on_key({ui::key::Left, true, true}));
    EXPECT_FALSE(form().about().is_shown());
    EXPECT_EQ(form().current_tab(), MainTab::Contacts) << "Left went to the page, not the tabs";
    form().select_tab(MainTab::Menu);
    menu.choose_key(u"Minimize");
    EXPECT_EQ(m_host.minimized, 1);
    EXPECT_FALSE(menu.is_open());
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_EQ(state(MainTab::Menu), 0);
}

// A message goes out only once the menu is gone: a half-closed menu would take the next tap.
TEST_F(MainFormTest, SendMessageHandsOffOnlyOnceTheRecentCallsMenuHasClosed) {
    ASSERT_TRUE(runtime::reg_write_string(kSettings, u"SmsCommand", u"/nonexistent/sms %1"));
    phone::PhoneManager phones(nullptr);
    std::vector<WString> notices;
    phones.set_hooks({[&](WStringView key, WStringView) { notices.emplace_back(key); }});
    data::CallRecord call;
    call.number = u"+1 555 0100";
    document().add_recent_call(call);
    form().select_tab(MainTab::Recents);
    form().place_x(0, 240);
    form().place_y(0, 320);
    auto* row = dynamic_cast<RecentsListElement*>(form().recents().list()->element_for(0));
    ASSERT_NE(row, nullptr);
    test::click(row->direction_button());
    ui::PopupMenu& menu = form().main_menu();
    for (int frame = 0; frame < 40 && menu.state() == ui::MenuState::Opening; ++frame)
        form().tick(0.05);
    ASSERT_EQ(menu.state(), ui::MenuState::Open);
    menu.choose_key(u"SendSMS");
    ASSERT_EQ(menu.state(), ui::MenuState::Closing);
    EXPECT_TRUE(notices.empty()) << "handed off while the menu was still on the screen";
    for (int frame = 0; frame < 40 && menu.state() != ui::MenuState::Closed; ++frame)
        form().tick(0.05);
    EXPECT_FALSE(menu.is_visible());
    EXPECT_EQ(notices, Keys{phone::kNoticeNoMessages});
    form().tick(0.05);
    EXPECT_EQ(notices.size(), 1u) << "once only";
}

TEST_F(MainFormTest, TheCategoryMenuTakesAnyNameAndCancellingOrReturnKeepsTheCategory) {
    form().select_tab(MainTab::Menu);
    ui::PopupMenu& menu = form().main_menu();
    menu.choose_key(u"Categories");
    EXPECT_EQ(test::menu_keys(menu), (Keys{u"skinNoCategory", u"Work", u"skinReturn"}));
    EXPECT_TRUE(checked(menu, u"skinNoCategory"));
    menu.choose_key(u"Work");
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_FALSE(form().category_choice());
    form().select_tab(MainTab::Menu);
    menu.choose_key(u"Categories");
    menu.choose_key(u"skinReturn");
    choose_category(ui::PopupMenu::kCancel); // a tap beside the panel
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_FALSE(form().category_choice());
    EXPECT_EQ(listed(), Oids{2});
    // A category named like a menu command is still a category.
    data::ContactRecord zeta = m_store.contacts[3];
    zeta.fields.emplace_back(data::FieldType::Categories, u"Exit");
    m_store.put(zeta);
    document().on_contact_changed(3);
    choose_category(u"Exit");
    EXPECT_EQ(document().category(), u"Exit");
    EXPECT_EQ(listed(), Oids{3});
    EXPECT_FALSE(form().category_choice());
}

// Keyboard users see where Enter will go: the focused row is tinted.
TEST_F(MainFormTest, TheListsKeyboardFocusIsDrawn) {
    ui::RenderSurface screen;
    screen.resize(240, 320);
    const auto frame = [&] {
        test::lay_out(form());
        form().draw_form(screen);
        return screen.row(50)[200]; // row 0, clear of text and ruler
    };
    EXPECT_EQ(frame(), ui::to_565(255, 255, 255));
    form().contacts().list()->on_key({ui::key::Down, true, true});
    form().contacts().list()->on_key({ui::key::Down, false, true});
    form().update(0.5);
    EXPECT_EQ(frame(), ui::to_565(0xD3, 0xE1, 0xF5));
}

} // namespace
} // namespace telvara::forms
