// The main screen on the shipped default skin: tabs and their states, the
// keypad over the contacts tab, the missed-call badge, keys, command lines
// and the main menu's commands, with a real Document behind them.
#include "form_stack_host.h"

#include "data/document_test_support.h"
#include "forms/contact_selector_form.h"
#include "forms/main_form.h"
#include "forms/skin_types.h"
#include "phone/phone_manager.h"
#include "runtime/registry.h"
#include "ui/key_names.h"
#include "ui/node_registry.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace telvara::forms {
namespace {

using data::testing::FakeStore;
using data::testing::person;
using data::testing::phone;

constexpr char16_t kSettings[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
constexpr char16_t kPhoneState[] = u"HKEY_CURRENT_USER\\System\\State\\Phone";

std::vector<WString> identifiers(const ui::PopupMenu& menu) {
    std::vector<WString> out;
    for (const ui::ChoiceItem& item : menu.items())
        out.push_back(item.identifier);
    return out;
}

bool checked(const ui::PopupMenu& menu, WStringView identifier) {
    for (const ui::ChoiceItem& item : menu.items())
        if (item.identifier == identifier)
            return item.checked;
    return false;
}

class MainFormTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ASSERT_TRUE(forms::test::install_default_skin(m_skin, m_impl));
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(person(2, u"Boris", u"Adams", u"Acme",
                           {data::ContactField(data::FieldType::Categories, u"Work")}));
        m_store.put(person(3, u"", u"", u"Zeta Labs"));
        m_store.categories = {u"Work"};
        m_document.emplace(m_store, nullptr, files());
        m_document->load();
    }
    void TearDown() override {
        m_form.reset();
        m_document.reset();
        DocumentTest::TearDown();
    }

    MainForm& form() {
        if (!m_form)
            m_form.emplace(m_skin);
        return *m_form;
    }
    data::Document& document() { return *m_document; }
    int state(MainTab tab) { return form().tab(tab).state(); }
    bool shown(WStringView name) {
        ui::Node* node = form().find(name);
        return node != nullptr && node->is_visible();
    }
    // Shown with every node above it: what the screen draws.
    bool drawn(WStringView name) {
        for (ui::Node* node = form().find(name); node != nullptr; node = node->parent())
            if (!node->is_visible())
                return false;
        return form().find(name) != nullptr;
    }
    std::vector<std::uint32_t> listed() {
        std::vector<std::uint32_t> oids;
        for (const data::ContactEntry* entry : document().filtered_contacts())
            oids.push_back(entry->oid());
        return oids;
    }
    void choose_category(WStringView name) {
        ui::ButtonNode* button = form().contacts().category_button();
        ASSERT_NE(button, nullptr);
        button->listener()->on_click(*button);
        ASSERT_TRUE(form().main_menu().is_open());
        form().main_menu().choose_key(name);
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    FakeStore m_store;
    std::optional<data::Document> m_document;
    std::optional<MainForm> m_form;
};

TEST_F(MainFormTest, StartsOnTheContactsListWithEverythingElseHidden) {
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_EQ(state(MainTab::Contacts), 2);
    EXPECT_EQ(state(MainTab::Favorites), 0);
    EXPECT_EQ(state(MainTab::Recents), 0);
    EXPECT_EQ(state(MainTab::Menu), 0);
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_TRUE(shown(u"ContactSelectorContainer"));
    EXPECT_FALSE(shown(u"RecentsContainer"));
    EXPECT_FALSE(shown(u"FavoritesContainer"));
    EXPECT_FALSE(shown(u"FavoritesContainer2"));
    EXPECT_FALSE(shown(u"recent_count"));
    EXPECT_TRUE(shown(u"open_keyboard"));
}

TEST_F(MainFormTest, ContactsTabOpensAndClosesTheKeypad) {
    form().select_tab(MainTab::Contacts);
    EXPECT_TRUE(form().keyboard().is_open());
    EXPECT_EQ(state(MainTab::Contacts), 1);

    form().keyboard().set_text(u"2");
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"2"});

    form().select_tab(MainTab::Contacts);
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_EQ(state(MainTab::Contacts), 2);
    // Closing cleared the number and with it the search.
    EXPECT_TRUE(document().filter_words().empty());
    EXPECT_EQ(document().filtered_contacts().size(), 3u);
}

TEST_F(MainFormTest, FavouritesTabTwiceSwitchesTheLayoutAndStoresIt) {
    runtime::reg_write_dword(kSettings, u"FavoriteMode", 0); // a stored 0 starts as layout 1
    form().select_tab(MainTab::Favorites);
    EXPECT_EQ(state(MainTab::Favorites), 1);
    EXPECT_TRUE(shown(u"FavoritesContainer"));
    EXPECT_FALSE(shown(u"FavoritesContainer2"));
    EXPECT_FALSE(shown(u"ContactSelectorContainer"));

    // The list's floating keypad button stays with the list.
    EXPECT_FALSE(shown(u"open_keyboard"));
    form().select_tab(MainTab::Favorites);
    EXPECT_EQ(state(MainTab::Favorites), 2);
    EXPECT_FALSE(shown(u"FavoritesContainer"));
    EXPECT_TRUE(shown(u"FavoritesContainer2"));
    std::uint32_t stored = 0;
    ASSERT_TRUE(runtime::reg_read_dword(kSettings, u"FavoriteMode", stored));
    EXPECT_EQ(stored, 2u);
}

TEST_F(MainFormTest, MissedCallsShowOnTheBadgeUntilTheRecentsTabIsOpened) {
    runtime::reg_write_dword(kPhoneState, u"Missed Call Count", 3);
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
    EXPECT_EQ(identifiers(form().recents_menu()),
              (std::vector<WString>{u"menuFilter", u"menuDeleteAll", u"Cancel"}));
}

TEST_F(MainFormTest, ArrowKeysWalkTheTabsAndAreConsumedAtTheEnds) {
    EXPECT_TRUE(form().on_key({ui::key::Left, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_TRUE(form().on_key({ui::key::Right, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Favorites);
    EXPECT_TRUE(form().on_key({ui::key::Right, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    EXPECT_TRUE(form().on_key({ui::key::Right, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    EXPECT_TRUE(form().on_key({ui::key::Left, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Favorites);
}

TEST_F(MainFormTest, BackspaceEditsTheNumberAndOtherwiseGoesOn) {
    form().select_tab(MainTab::Contacts);
    form().keyboard().set_text(u"25");
    EXPECT_TRUE(form().on_key({ui::key::Backspace, true, true}));
    EXPECT_EQ(form().keyboard().text(), u"2");
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"2"});
    EXPECT_TRUE(form().on_key({ui::key::Backspace, true, true}));
    EXPECT_EQ(form().keyboard().text(), u"");
    // An empty number: the key is the children's business, nothing changes.
    form().on_key({ui::key::Backspace, true, true});
    EXPECT_EQ(form().keyboard().text(), u"");
    EXPECT_TRUE(form().keyboard().is_open());
}

TEST_F(MainFormTest, AHardwareDigitOnTheListOpensTheKeypadAndIsTyped) {
    form().on_key({ui::key::Digit0 + 5, true, true});
    form().on_key({ui::key::Digit0 + 5, false, true});
    EXPECT_TRUE(form().keyboard().is_open());
    EXPECT_EQ(form().keyboard().text(), u"5");
    form().on_key({ui::key::Digit0 + 6, true, true});
    form().on_key({ui::key::Digit0 + 6, false, true});
    EXPECT_EQ(form().keyboard().text(), u"56");
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"56"});

    // On another tab a digit does not pull the list back.
    form().select_tab(MainTab::Contacts);
    form().select_tab(MainTab::Favorites);
    form().on_key({ui::key::Digit0 + 5, true, true});
    EXPECT_EQ(form().current_tab(), MainTab::Favorites);
    EXPECT_FALSE(form().keyboard().is_open());
}

TEST_F(MainFormTest, CommandLinesSwitchTabsAndOfferToStoreUnknownNumbers) {
    form().on_command_line(u"recents");
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    form().on_command_line(u"Contacts"); // case matters
    EXPECT_EQ(form().current_tab(), MainTab::Recents);
    form().on_command_line(u"contacts");
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);

    form().on_command_line(u"open:+44 20 7946 0000");
    EXPECT_EQ(form().pending_number(), u"+44 20 7946 0000");
    ASSERT_TRUE(form().main_menu().is_open());
    EXPECT_EQ(identifiers(form().main_menu()),
              (std::vector<WString>{u"Add2NewContact", u"Add2Existing", u"Cancel"}));
    form().main_menu().cancel();

    // A known number (the last seven digits) opens its contact's card: the
    // search is cleared.
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

// A number added to an existing contact ends on that contact's card, with
// the number in it, not silently back on the list.
TEST_F(MainFormTest, ANumberAddedToAContactOpensItsCard) {
    test::StackHost host;
    form().on_command_line(u"open:+44 20 7946 0000");
    form().main_menu().choose_key(u"Add2Existing");
    ContactSelectorForm& picker = form().contact_picker();
    ASSERT_EQ(host.top_form(), &picker);
    picker.fit_to_screen(240, 320);
    picker.layout_x();
    picker.layout_y();
    ui::ListElement* first = picker.container().list()->element_for(0);
    ASSERT_NE(first, nullptr);
    const std::int32_t x = first->x() + 40;
    const std::int32_t y = first->y() + first->height() / 2;
    picker.on_touch({x, y, ui::PointerKind::Down, false});
    picker.on_touch({x, y, ui::PointerKind::Up, false});
    SelectFieldForm& chooser = form().field_chooser();
    ASSERT_TRUE(chooser.is_open());
    const auto work = std::find(chooser.rows().begin(), chooser.rows().end(),
                                static_cast<int>(data::FieldType::BusinessTel));
    ASSERT_NE(work, chooser.rows().end());
    chooser.choose_row(static_cast<std::int32_t>(work - chooser.rows().begin()));

    EXPECT_FALSE(host.is_shown(picker));
    ASSERT_TRUE(host.is_shown(form().contact_card()));
    EXPECT_EQ(form().contact_card().mode(), CardMode::View);
    const data::ContactRecord& shown = form().contact_card().contact();
    EXPECT_EQ(shown.oid, document().filtered_contacts()[0]->oid());
    const data::ContactField* added = shown.field(data::FieldType::BusinessTel);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->value, u"+44 20 7946 0000");
}

// The contacts list says so when there is nobody to list: no contacts at
// all, or nobody in the chosen category; a search that finds nobody is the
// keypad's to show.
TEST_F(MainFormTest, AnEmptyContactsListSaysSo) {
    const ui::Node* words = form().contacts_empty_state().node();
    ASSERT_NE(words, nullptr);
    EXPECT_FALSE(drawn(u"ContactSelectorContainer_empty"));
    document().set_category(u"Family");
    EXPECT_TRUE(drawn(u"ContactSelectorContainer_empty"));
    document().set_category(u"Work");
    EXPECT_FALSE(drawn(u"ContactSelectorContainer_empty"));
    form().select_tab(MainTab::Contacts);
    form().keyboard().set_text(u"999");
    EXPECT_FALSE(words->is_visible());
    form().keyboard().set_text({});
    for (std::uint32_t oid : {1u, 2u, 3u}) {
        m_store.contacts.erase(oid);
        document().on_contact_removed(oid);
    }
    form().select_tab(MainTab::Contacts);
    EXPECT_TRUE(drawn(u"ContactSelectorContainer_empty"));
}

TEST_F(MainFormTest, MainMenuSortingAndDialerCommands) {
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
}

// An unknown number handed over by a second start becomes a new contact:
// the user picks the kind of phone, the contact is stored with it and its
// card opens for editing; or it joins an existing contact the same way.
TEST_F(MainFormTest, AnUnknownNumberIsStoredInANewOrAnExistingContact) {
    form().on_command_line(u"open:+44 20 7946 0000");
    form().main_menu().choose_key(u"Add2NewContact");
    SelectFieldForm& chooser = form().field_chooser();
    ASSERT_TRUE(chooser.is_open());
    const auto mobile = std::find(chooser.rows().begin(), chooser.rows().end(),
                                  static_cast<int>(data::FieldType::Mobile));
    ASSERT_NE(mobile, chooser.rows().end());
    chooser.choose_row(static_cast<std::int32_t>(mobile - chooser.rows().begin()));
    EXPECT_TRUE(form().pending_number().empty());
    EXPECT_EQ(form().contact_card().mode(), CardMode::Edit);
    const data::ContactRecord& shown = form().contact_card().contact();
    ASSERT_EQ(shown.fields.size(), 1u);
    EXPECT_EQ(shown.fields[0].type, data::FieldType::Mobile);
    EXPECT_EQ(shown.fields[0].value, u"+44 20 7946 0000");
}

TEST_F(MainFormTest, RecentCallMenusOfferWhatFitsTheNumber) {
    ui::PopupMenu& menu = form().main_menu();
    ASSERT_TRUE(menu.open(u"RecentClickKnownContact"));
    EXPECT_EQ(identifiers(menu), (std::vector<WString>{u"OpenContact", u"SendSMS", u"Cancel"}));
    menu.cancel();
    ASSERT_TRUE(menu.open(u"RecentClickUnknownContact"));
    EXPECT_EQ(identifiers(menu),
              (std::vector<WString>{u"Add2NewContact", u"Add2Existing", u"SendSMS", u"Cancel"}));
    menu.cancel();
    // No call in progress: no way back to one.
    ASSERT_TRUE(menu.open(u"MainMenu"));
    for (const WString& key : identifiers(menu))
        EXPECT_NE(key, u"skinBackToCall");
}

// A message goes to its program only once the menu is gone: a window sent
// to the background gets no frames to finish the closing, and a menu left
// half-closed over the list would take the next tap.
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
    row->direction_button().listener()->on_click(row->direction_button());
    ui::PopupMenu& menu = form().main_menu();
    for (int frame = 0; frame < 40 && menu.state() == ui::MenuState::Opening; ++frame)
        form().tick(0.05);
    ASSERT_EQ(menu.state(), ui::MenuState::Open);

    menu.choose_key(u"SendSMS");
    ASSERT_EQ(menu.state(), ui::MenuState::Closing);
    EXPECT_TRUE(notices.empty()) << "handed off while the menu was still on the screen";
    for (int frame = 0; frame < 40 && menu.state() != ui::MenuState::Closed; ++frame)
        form().tick(0.05);
    EXPECT_EQ(menu.state(), ui::MenuState::Closed);
    EXPECT_FALSE(menu.is_visible());
    EXPECT_EQ(notices, std::vector<WString>{phone::kNoticeNoMessages});
    // Once only, however many frames follow.
    form().tick(0.05);
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(MainFormTest, AboutFromTheMenuShowsTheVersionAndLeftClosesIt) {
    EXPECT_FALSE(form().about().is_shown());
    form().select_tab(MainTab::Menu);
    form().main_menu().choose_key(u"About");
    ASSERT_TRUE(form().about().is_shown());
    auto* list = dynamic_cast<ui::VirtualList*>(form().about().root()->find(u"list"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->item_count(), 1);
    EXPECT_TRUE(form().on_key({ui::key::Left, true, true}));
    EXPECT_FALSE(form().about().is_shown());
    // Left went to the page, not to the tabs.
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
}

TEST_F(MainFormTest, MinimizeFromTheMenuPutsTheWindowAwayAndKeepsTheScreen) {
    test::StackHost host;
    form().select_tab(MainTab::Menu);
    form().main_menu().choose_key(u"Minimize");
    EXPECT_EQ(host.minimized, 1);
    EXPECT_FALSE(form().main_menu().is_open());
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_EQ(state(MainTab::Menu), 0);
}

TEST_F(MainFormTest, CategoryChoiceAndReturn) {
    form().select_tab(MainTab::Menu);
    ui::PopupMenu& menu = form().main_menu();
    menu.choose_key(u"Categories");
    EXPECT_EQ(identifiers(menu), (std::vector<WString>{u"skinNoCategory", u"Work", u"skinReturn"}));
    EXPECT_TRUE(checked(menu, u"skinNoCategory"));
    menu.choose_key(u"Work");
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_FALSE(form().category_choice());

    // A later "skinReturn" leaves the category alone.
    form().select_tab(MainTab::Menu);
    menu.choose_key(u"Categories");
    menu.choose_key(u"skinReturn");
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_FALSE(form().category_choice());
}

// --- The list's filter across the keypad, the tabs and the menus ----------------------------

TEST_F(MainFormTest, TheChosenCategoryOutlivesTheKeypadTheTabsAndTheCard) {
    choose_category(u"Work");
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(state(MainTab::Contacts), 2);

    // The open keypad searches everyone; closing it brings the category back.
    form().select_tab(MainTab::Contacts);
    ASSERT_TRUE(form().keyboard().is_open());
    form().keyboard().set_text(u"2");
    EXPECT_EQ(listed().size(), 2u); // Anna and Boris by "2"
    form().select_tab(MainTab::Contacts);
    EXPECT_FALSE(form().keyboard().is_open());
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{2}));

    form().select_tab(MainTab::Favorites);
    form().select_tab(MainTab::Contacts);
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{2}));
    form().on_command_line(u"open:555-0100"); // Anna's card
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{2}));
}

TEST_F(MainFormTest, TheKeypadLeavesWithTheListAndComesBackWithItsNumber) {
    form().select_tab(MainTab::Contacts);
    form().keyboard().set_text(u"2");
    ASSERT_TRUE(drawn(u"KeyboardContainer"));
    form().select_tab(MainTab::Favorites);
    EXPECT_FALSE(drawn(u"KeyboardContainer")); // not over the favourites
    form().select_tab(MainTab::Recents);
    EXPECT_FALSE(drawn(u"KeyboardContainer"));

    form().select_tab(MainTab::Contacts);
    EXPECT_TRUE(drawn(u"KeyboardContainer"));
    EXPECT_EQ(state(MainTab::Contacts), 1);
    EXPECT_EQ(form().keyboard().text(), u"2");
    // The list answers the number still on the keypad.
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"2"});
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(MainFormTest, MenusOpenedOffTheMenuTabLeaveTheTabLooksAlone) {
    form().select_tab(MainTab::Recents);
    ASSERT_EQ(state(MainTab::Recents), 1);
    ASSERT_TRUE(form().main_menu().open(u"RecentClickUnknownContact"));
    form().main_menu().cancel();
    EXPECT_EQ(state(MainTab::Recents), 1);
    // Tapped again, the recents tab still offers its own menu.
    form().select_tab(MainTab::Recents);
    EXPECT_TRUE(form().recents_menu().is_open());
    form().recents_menu().cancel();

    form().select_tab(MainTab::Favorites);
    form().select_tab(MainTab::Contacts);
    choose_category(u"Work");
    EXPECT_EQ(state(MainTab::Contacts), 2); // not the keypad's look
    EXPECT_FALSE(form().keyboard().is_open());
}

TEST_F(MainFormTest, TheCategoryMenuTakesAnyNameAndCancellingKeepsTheCategory) {
    choose_category(u"Work");
    choose_category(ui::PopupMenu::kCancel); // a tap beside the panel
    EXPECT_EQ(document().category(), u"Work");
    EXPECT_FALSE(form().category_choice());
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{2}));

    // A category named like a menu command is still a category.
    data::ContactRecord zeta = m_store.contacts[3];
    zeta.fields.emplace_back(data::FieldType::Categories, u"Exit");
    m_store.put(zeta);
    document().on_contact_changed(3);
    choose_category(u"Exit");
    EXPECT_EQ(document().category(), u"Exit");
    EXPECT_EQ(listed(), (std::vector<std::uint32_t>{3}));
    EXPECT_FALSE(form().category_choice());
}

TEST_F(MainFormTest, AfterThePickerTheListAnswersTheKeypadAgain) {
    form().select_tab(MainTab::Contacts);
    form().keyboard().set_text(u"2");
    form().main_menu().open(u"PhoneToContact");
    form().main_menu().choose_key(u"Add2Existing");
    ContactSelectorForm& picker = form().contact_picker();
    picker.open_keyboard_button()->listener()->on_click(*picker.open_keyboard_button());
    picker.keyboard().set_text(u"9");
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"9"});

    picker.cancel_button()->listener()->on_click(*picker.cancel_button());
    EXPECT_EQ(document().filter_words(), std::vector<WString>{u"2"});
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(MainFormTest, AnOpenMenuTakesTheKeysBeforeTheScreen) {
    EXPECT_FALSE(form().menu_takes_key({ui::key::Right, true, true}));
    form().select_tab(MainTab::Menu);
    ASSERT_TRUE(form().main_menu().is_open());
    // Not the tabs, not the list behind the menu.
    EXPECT_TRUE(form().menu_takes_key({ui::key::Right, true, true}));
    EXPECT_TRUE(form().menu_takes_key({ui::key::Down, true, true}));
    EXPECT_EQ(form().current_tab(), MainTab::Contacts);
    EXPECT_EQ(form().contacts().list()->focus_position(), -1.0);

    EXPECT_TRUE(form().menu_takes_key({ui::key::Esc, true, true}));
    EXPECT_FALSE(form().main_menu().is_open());
    form().update(1.0); // the panel's closing motion, if any, is over
    EXPECT_FALSE(form().menu_takes_key({ui::key::Right, true, true}));
}

// Keyboard users see where Enter will go: the focused row is tinted.
TEST_F(MainFormTest, TheListsKeyboardFocusIsDrawn) {
    ui::RenderSurface screen;
    screen.resize(240, 320);
    auto frame = [&] {
        form().fit_to_screen(240, 320);
        form().layout_x();
        form().layout_y();
        form().draw_form(screen);
        return screen.row(50)[200]; // row 0, clear of text and ruler
    };
    EXPECT_EQ(frame(), ui::to_565(255, 255, 255));
    form().contacts().list()->on_key({ui::key::Down, true, true});
    form().contacts().list()->on_key({ui::key::Down, false, true});
    form().update(0.5);
    EXPECT_EQ(frame(), ui::to_565(0xD3, 0xE1, 0xF5));
}

TEST_F(MainFormTest, ThePickersHeaderButtonsOpenNothingUnderIt) {
    ContactSelectorContainer& picker = form().contact_picker().container();
    for (ui::ButtonNode* button : {picker.category_button(), picker.add_button()}) {
        ASSERT_NE(button, nullptr);
        button->listener()->on_click(*button);
        EXPECT_FALSE(form().main_menu().is_open());
        EXPECT_FALSE(form().category_choice());
    }
}

} // namespace
} // namespace telvara::forms
