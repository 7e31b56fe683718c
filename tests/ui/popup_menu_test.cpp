// Pop-up menus as a screen and a user drive them: filling from the provider,
// elements built by name, translated texts, disabled items,
// commands, sub-menus, cancelling and the opening and closing animation.
#include "ui/popup_menu.h"

#include "node_test_support.h"
#include "runtime/device_root_fixture.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/menu_provider.h"
#include "ui/text_node.h"
#include "ui/vadode.h"
#include "ui/vlist.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

// A row element of the menu, its text in `ink`.
std::string menu_row(const std::string& id, const std::string& ink) {
    std::string row = R"(<node id="ID" element_size="0 40">
      <color id="#vlist_normal" color="#FFFFFF"/><color id="#vlist_pressed" color="#DBE8FB"/>
      <text id="#text" color="INK" halign="LEFT" font="10 0 0 0 DejaVu Sans"
            border_min="16 0" border_max="40 0"/>
      <color id="separator" color="#E1E5EA" design_size="0 1" anchor_y="MAX_SIDE"/>
      <color id="checked" color="#1A73E8" design_size="10 10" border_max="16 0"
             anchor_x="MAX_SIDE" anchor_y="CENTER"/></node>)";
    row.replace(row.find("ID"), 2, id);
    return row.replace(row.find("INK"), 3, ink);
}

// A menu whose panel rises from the bottom with a caption, a growing list and
// a cancel button; its rows ("MagicRow": special buttons, "Exit" left out);
// "Broken" lacks its list and "Bare" has nothing optional.
skinc::SkinModel menu_skin() {
    std::string magic; // a table of special buttons inside a list element
    for (const char* id : {"About", "Help", "Minimize"})
        magic += std::string("<button id=\"") + id + R"(" table_ratio="1">
          <color id="#normal" color="#E1E5EA" border_min="4 4" border_max="4 4"/>
          <color id="#pressed" color="#DBE8FB"/></button>)";
    return xml_skin(R"(<node id="Menu"><color id="shade" color="#5E6B78"/>
      <node id="panel" anchor_y="MAX_SIDE" visibility_animation="bottom">
        <color id="panel_back" color="#F3F5F7"/>
        <vtable id="column">
          <text id="caption" color="#1A1F24" halign="CENTER" font="11 1 0 0 DejaVu Sans"
                design_size="0 36"/>
          <vlist id="vlist" grow="1" scroll_border_min="0 0" scroll_border_max="0 0"/>
          <button id="cancel" design_size="0 44">
            <color id="#normal" color="#F3F5F7"/><color id="#pressed" color="#DBE8FB"/>
            <text id="cancel_text" color="#1A73E8" halign="CENTER" font="10 0 0 0 DejaVu Sans"/>
          </button></vtable></node></node>
      <node id="MagicRow" element_size="0 48"><color id="#vlist_normal" color="#FFFFFF"/>
        <htable>)" + magic +
                    R"(</htable></node>
      <node id="Broken"><node id="panel"/></node>
      <node id="Bare"><node id="panel"><vlist id="vlist"/></node></node>)" +
                    menu_row("MenuElement", "#1A1F24") +
                    menu_row("MenuElementDisabled", "#9AA4AE") +
                    menu_row("DangerElement", "#D93025"));
}

struct Provider : MenuProvider {
    std::vector<WString> asked;
    int closed = 0;
    void on_menu(PopupMenu& menu, WStringView key, ChoiceMenu& items) override {
        asked.emplace_back(key);
        if (key == u"MainMenu") {
            menu.set_caption(u"Telvara");
            items.add_item({u"Settings", u"", u"", true, false, false});
            items.add_item({u"SortByName", u"", u"", true, false, true});
            items.add_item({u"Import", u"", u"", false, false, false});
            items.add_item({u"DeleteAll", u"", u"DangerElement", true, true, false});
            items.add_item({u"Cancel", u"", u"", true, false, false});
        } else if (key == u"Settings") {
            items.add_item({u"Language", u"Language…", u"", true, false, false});
            items.add_item({u"Magic4Buttons", u"", u"MagicRow", true, false, false});
        }
    }
    void on_menu_closed(PopupMenu&) override { ++closed; }
};

class MenuTest : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        std::ofstream(root() + "/lang.lng")
            << "Cancel=Dismiss\nSettings=Settings\nSortByName=Sort by name\n";
        ASSERT_TRUE(built.skin.language().load_language_file(u"/lang.lng"));
        menu = &add<PopupMenu>(screen);
        menu->bind(built.skin);
        menu->set_provider(&provider);
    }
    void run(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 50.0) {
            screen.tick(1.0 / 50.0);
            place(screen, 0, 0, 240, 320);
        }
    }
    void open(const char16_t* key) {
        ASSERT_TRUE(menu->open(key));
        run(0.5);
    }
    void tap(const Node& node) {
        const std::int32_t x = node.x() + node.width() / 2, y = node.y() + node.height() / 2;
        screen.on_touch(pen(PointerKind::Down, x, y));
        screen.on_touch(pen(PointerKind::Up, x, y));
    }
    void tap_row(std::int32_t index) {
        ASSERT_NE(menu->list().element_for(index), nullptr);
        tap(*menu->list().element_for(index));
    }

    InstalledSkin built{menu_skin()};
    Node screen;
    Provider provider;
    PopupMenu* menu = nullptr;
};

} // namespace

TEST_F(MenuTest, ChoosingACommandCallsTheProviderAndCloses) {
    open(u"MainMenu");
    tap_row(1);
    EXPECT_EQ(provider.asked.back(), u"SortByName");
    EXPECT_EQ(menu->state(), MenuState::Closing);
    open(u"MainMenu");
    const std::size_t asked = provider.asked.size();
    tap_row(2);
    EXPECT_EQ(provider.asked.size(), asked) << "a disabled item does nothing";
    EXPECT_TRUE(menu->is_open());
    menu->cancel();
    run(0.5);
    EXPECT_FALSE(menu->open(u"NewContact")) << "a key that is a command never opens";
    EXPECT_EQ(provider.asked.back(), u"NewContact");
    EXPECT_EQ(menu->state(), MenuState::Closed);
}

// Beside the panel, Esc and the cancel button each cancel.
TEST_F(MenuTest, TapBesideThePanelEscOrTheCancelButtonCancels) {
    for (int way = 0; way < 3; ++way) {
        open(u"MainMenu");
        if (way == 0) {
            screen.on_touch(pen(PointerKind::Down, 100, 5));
            screen.on_touch(pen(PointerKind::Up, 100, 5));
        } else if (way == 1) {
            EXPECT_TRUE(screen.on_key(KeyEvent{8}));
        } else {
            EXPECT_EQ(menu->cancel_button()->text(), u"Dismiss") << "in the chosen language";
            tap(*menu->cancel_button());
        }
        EXPECT_EQ(provider.asked.back(), u"Cancel") << way;
        EXPECT_EQ(menu->state(), MenuState::Closing) << way;
        run(0.5);
        EXPECT_EQ(menu->state(), MenuState::Closed) << way;
        EXPECT_EQ(provider.closed, way + 1) << "told once the panel is down";
    }
}

// Only a press beside the panel dismisses: a finger that slides off a row
// and lifts beside it neither chooses nor cancels.
TEST_F(MenuTest, APressOnARowLiftedBesideThePanelKeepsTheMenu) {
    open(u"MainMenu");
    const ListElement& row = *menu->list().element_for(0);
    screen.on_touch(pen(PointerKind::Down, row.x() + 10, row.y() + 10));
    screen.on_touch(pen(PointerKind::Move, 100, 5));
    screen.on_touch(pen(PointerKind::Up, 100, 5));
    EXPECT_EQ(provider.asked, std::vector<WString>{u"MainMenu"});
    EXPECT_EQ(menu->state(), MenuState::Open);
}

TEST_F(MenuTest, SpecialButtonsActAsTheirKeys) {
    open(u"Settings");
    auto* row = dynamic_cast<MenuElement*>(menu->list().element_for(1));
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->handles_own_presses());
    EXPECT_TRUE(row->buttons_missing()) << "the skin left \"Exit\" out";
    auto* help = dynamic_cast<ButtonNode*>(row->find(u"Help"));
    ASSERT_NE(help, nullptr);
    const std::int32_t x = help->x() + help->width() / 2, y = help->y() + help->height() / 2;
    screen.on_touch(pen(PointerKind::Down, x, y));
    EXPECT_TRUE(help->is_pointer_pressed());
    screen.on_touch(pen(PointerKind::Up, x, y));
    EXPECT_EQ(provider.asked.back(), u"Help");
    EXPECT_EQ(menu->state(), MenuState::Closing);
}

TEST_F(MenuTest, MissingPartsAndElements) {
    PopupMenu broken(u"Broken");
    EXPECT_THROW(broken.bind(built.skin), vadode::NodeNotFound);
    PopupMenu absent(u"NoSuchMenu");
    EXPECT_THROW(absent.bind(built.skin), vadode::NodeNotFoundInSkin);
    // Neither caption nor cancel: still a menu.
    Node other;
    PopupMenu& bare = add<PopupMenu>(other, u"Bare");
    bare.bind(built.skin);
    bare.set_provider(&provider);
    EXPECT_EQ(bare.caption(), nullptr);
    EXPECT_EQ(bare.cancel_button(), nullptr);
    place(other, 0, 0, 240, 320);
    EXPECT_TRUE(bare.open(u"MainMenu"));
    EXPECT_EQ(bare.list().item_count(), 5);
    // An item naming an element the skin lacks is left empty (it takes no
    // room): the menu opens and its other items still show and answer.
    struct Odd : MenuProvider {
        void on_menu(PopupMenu&, WStringView key, ChoiceMenu& items) override {
            if (key == u"Open") {
                items.add_item({u"X", u"", u"NoSuchElement", true, false, false});
                items.add_item({u"Settings", u"", u"", true, false, false});
            } else {
                chosen.emplace_back(key);
            }
        }
        std::vector<WString> chosen;
    } odd;
    menu->set_provider(&odd);
    ASSERT_NO_THROW(EXPECT_TRUE(menu->open(u"Open")));
    run(1.0);
    ASSERT_EQ(menu->list().item_count(), 2);
    if (const ListElement* empty = menu->list().element_for(0)) {
        EXPECT_EQ(empty->child_count(), 0u);
    }
    EXPECT_EQ(dynamic_cast<TextNode&>(*menu->list().element_for(1)->find(u"#text")).text(),
              u"Settings");
    tap_row(1);
    EXPECT_EQ(odd.chosen, std::vector<WString>{u"Settings"});
}

TEST_F(MenuTest, KeysMoveTheFocusAndEnterChooses) {
    open(u"MainMenu");
    for (int i = 0; i < 2; ++i) {
        screen.on_key(KeyEvent{7, true});
        screen.on_key(KeyEvent{7, false});
    }
    run(0.5);
    EXPECT_DOUBLE_EQ(menu->list().focus_position(), 1.0);
    screen.on_key(KeyEvent{9});
    EXPECT_EQ(provider.asked.back(), u"SortByName");
}
