// Pop-up menus as a screen and a user drive them: filling from the provider,
// elements built by name, translated texts, checked and disabled items,
// commands, sub-menus, cancelling and the opening and closing animation.
#include "ui/popup_menu.h"

#include "frame_png.h"
#include "menu_skin_support.h"
#include "runtime/device_root_fixture.h"
#include "ui/menu_provider.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

using namespace telvara;
using namespace telvara::ui;

namespace {

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

PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y) {
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

class MenuTest : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        types = std::make_unique<test::MenuTypes>();
        std::ofstream(root() + "/lang.lng")
            << "Cancel=Dismiss\nSettings=Settings\nSortByName=Sort by name\nImport=Import "
               "SIM\nDeleteAll=Delete all\n";
        ASSERT_TRUE(skin.language().load_language_file(u"/lang.lng"));
        impl = test::from_bytes(test::written(test::menu_skin()));
        ASSERT_TRUE(skin.install(*impl));
        menu = &test::add<PopupMenu>(screen);
        menu->bind(skin);
        menu->set_provider(&provider);
    }
    void place(std::int32_t width = 240, std::int32_t height = 320) {
        screen.place_x(0, width);
        screen.place_y(0, height);
    }
    void run(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 50.0) {
            screen.tick(1.0 / 50.0);
            place();
        }
    }
    TextNode* row_text(std::int32_t index) {
        ListElement* row = menu->list().element_for(index);
        return row ? dynamic_cast<TextNode*>(row->find(u"#text")) : nullptr;
    }
    void tap_row(std::int32_t index) {
        ListElement* row = menu->list().element_for(index);
        ASSERT_NE(row, nullptr);
        const std::int32_t x = row->x() + row->width() / 2, y = row->y() + row->height() / 2;
        screen.on_touch(pen(PointerKind::Down, x, y));
        screen.on_touch(pen(PointerKind::Up, x, y));
    }

    void TearDown() override {
        types.reset();
        DeviceRootTest::TearDown();
    }

    std::unique_ptr<test::MenuTypes> types;
    Properties skin;
    std::unique_ptr<PropertiesImpl> impl;
    Node screen;
    Provider provider;
    PopupMenu* menu = nullptr;
};

} // namespace

TEST_F(MenuTest, OpensWithTheProvidersItemsBuiltFromTheirElements) {
    EXPECT_EQ(menu->state(), MenuState::Closed);
    EXPECT_FALSE(menu->is_visible());
    ASSERT_TRUE(menu->open(u"MainMenu"));
    place();
    EXPECT_EQ(provider.asked, std::vector<WString>{u"MainMenu"});
    EXPECT_EQ(menu->list().item_count(), 5);
    // Texts come from the language when the item has none.
    ASSERT_NE(row_text(0), nullptr);
    EXPECT_EQ(row_text(0)->text(), u"Settings");
    EXPECT_EQ(row_text(1)->text(), u"Sort by name");
    EXPECT_EQ(row_text(4)->text(), u"Dismiss") << "\"Cancel\" in the chosen language";
    // Disabled items are drawn by the element named with "Disabled".
    EXPECT_EQ(menu->element_name_for(2), u"MenuElementDisabled");
    EXPECT_EQ(menu->list().element_for(2)->content_name(), u"MenuElementDisabled");
    EXPECT_EQ(menu->list().element_for(3)->content_name(), u"DangerElement");
    // Checked and separator children follow the flags.
    EXPECT_TRUE(menu->list().element_for(1)->find(u"checked")->is_visible());
    EXPECT_FALSE(menu->list().element_for(0)->find(u"checked")->is_visible());
    EXPECT_TRUE(menu->list().element_for(3)->find(u"separator")->is_visible());
    EXPECT_FALSE(menu->list().element_for(0)->find(u"separator")->is_visible());
    // The caption the provider set, and the translated cancel button.
    ASSERT_NE(menu->caption(), nullptr);
    EXPECT_TRUE(menu->caption()->is_visible());
    EXPECT_EQ(dynamic_cast<TextNode*>(menu->caption())->text(), u"Telvara");
    ASSERT_NE(menu->cancel_button(), nullptr);
    EXPECT_EQ(menu->cancel_button()->text(), u"Dismiss");
}

TEST_F(MenuTest, OpeningAndClosingFollowThePanelAnimation) {
    menu->open(u"MainMenu");
    EXPECT_TRUE(menu->is_visible());
    EXPECT_EQ(menu->state(), MenuState::Opening);
    run(0.1);
    EXPECT_EQ(menu->state(), MenuState::Opening);
    run(0.4);
    EXPECT_EQ(menu->state(), MenuState::Open);
    // The panel sits at the bottom of the screen.
    EXPECT_EQ(menu->panel().y() + menu->panel().height(), 320);

    tap_row(0); // "Settings": a sub-menu in place
    EXPECT_EQ(menu->state(), MenuState::Open);
    EXPECT_EQ(menu->key(), u"Settings");
    EXPECT_EQ(menu->list().item_count(), 2);
    run(0.1);
    EXPECT_EQ(row_text(0)->text(), u"Language…");

    menu->cancel();
    EXPECT_EQ(provider.asked.back(), u"Cancel");
    EXPECT_EQ(menu->state(), MenuState::Closing);
    EXPECT_TRUE(menu->is_visible()) << "still drawn while the panel goes down";
    EXPECT_EQ(provider.closed, 0);
    run(0.5);
    EXPECT_EQ(menu->state(), MenuState::Closed);
    EXPECT_FALSE(menu->is_visible());
    EXPECT_EQ(provider.closed, 1);
}

TEST_F(MenuTest, ChoosingACommandCallsTheProviderAndCloses) {
    menu->open(u"MainMenu");
    run(0.5);
    tap_row(1);
    EXPECT_EQ(provider.asked.back(), u"SortByName");
    EXPECT_EQ(menu->state(), MenuState::Closing);

    // A disabled item does nothing.
    menu->open(u"MainMenu");
    run(0.5);
    const std::size_t asked = provider.asked.size();
    tap_row(2);
    EXPECT_EQ(provider.asked.size(), asked);
    EXPECT_TRUE(menu->is_open());

    // A key that is a command never opens the menu.
    menu->cancel();
    run(0.5);
    EXPECT_FALSE(menu->open(u"NewContact"));
    EXPECT_EQ(provider.asked.back(), u"NewContact");
    EXPECT_EQ(menu->state(), MenuState::Closed);
}

TEST_F(MenuTest, TapBesideThePanelOrEscCancels) {
    menu->open(u"MainMenu");
    run(0.5);
    screen.on_touch(pen(PointerKind::Down, 100, 5));
    screen.on_touch(pen(PointerKind::Up, 100, 5));
    EXPECT_EQ(provider.asked.back(), u"Cancel");
    run(0.5);
    EXPECT_EQ(menu->state(), MenuState::Closed);

    menu->open(u"MainMenu");
    run(0.5);
    KeyEvent escape;
    escape.code = 8;
    EXPECT_TRUE(screen.on_key(escape));
    EXPECT_EQ(menu->state(), MenuState::Closing);
}

TEST_F(MenuTest, KeysMoveTheFocusAndEnterChooses) {
    menu->open(u"MainMenu");
    run(0.5);
    KeyEvent down;
    down.code = 7;
    screen.on_key(down);
    down.pressed = false;
    screen.on_key(down);
    down.pressed = true;
    screen.on_key(down);
    down.pressed = false;
    screen.on_key(down);
    run(0.5);
    EXPECT_DOUBLE_EQ(menu->list().focus_position(), 1.0);
    KeyEvent enter;
    enter.code = 9;
    screen.on_key(enter);
    EXPECT_EQ(provider.asked.back(), u"SortByName");
}

TEST_F(MenuTest, SpecialButtonsActAsTheirKeys) {
    menu->open(u"Settings");
    run(0.5);
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

TEST_F(MenuTest, CancelButtonCancels) {
    menu->open(u"MainMenu");
    run(0.5);
    ButtonNode& cancel = *menu->cancel_button();
    const std::int32_t x = cancel.x() + 10, y = cancel.y() + cancel.height() / 2;
    screen.on_touch(pen(PointerKind::Down, x, y));
    screen.on_touch(pen(PointerKind::Up, x, y));
    EXPECT_EQ(provider.asked.back(), u"Cancel");
    EXPECT_EQ(menu->state(), MenuState::Closing);
}

TEST_F(MenuTest, MissingPartsAndElements) {
    PopupMenu broken(u"Broken");
    EXPECT_THROW(broken.bind(skin), vadode::NodeNotFound);
    PopupMenu absent(u"NoSuchMenu");
    EXPECT_THROW(absent.bind(skin), vadode::NodeNotFoundInSkin);

    // Neither caption nor cancel: still a menu.
    Node other;
    PopupMenu& bare = test::add<PopupMenu>(other, u"Bare");
    bare.bind(skin);
    bare.set_provider(&provider);
    EXPECT_EQ(bare.caption(), nullptr);
    EXPECT_EQ(bare.cancel_button(), nullptr);
    other.place_x(0, 240);
    other.place_y(0, 320);
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
    if (const ListElement* empty = menu->list().element_for(0))
        EXPECT_EQ(empty->child_count(), 0u);
    ASSERT_NE(row_text(1), nullptr);
    EXPECT_EQ(row_text(1)->text(), u"Settings");
    tap_row(1);
    EXPECT_EQ(odd.chosen, std::vector<WString>{u"Settings"});
}

// Shots of an open menu, to look at: TELVARA_FRAME_DIR=/some/folder.
TEST_F(MenuTest, Shots) {
    for (const auto& [width, height] : {std::pair{240, 320}, std::pair{480, 640}}) {
        Properties scaled;
        ASSERT_TRUE(scaled.language().load_language_file(u"/lang.lng"));
        auto scaled_impl = test::from_bytes(test::written(test::menu_skin()), width == 480 ? 1 : 0);
        ASSERT_TRUE(scaled.install(*scaled_impl));
        Node frame;
        PopupMenu& shown = test::add<PopupMenu>(frame);
        shown.bind(scaled);
        shown.set_provider(&provider);
        shown.open(u"MainMenu");
        for (int i = 0; i < 30; ++i) {
            frame.tick(0.02);
            frame.place_x(0, width);
            frame.place_y(0, height);
        }
        RenderSurface surface;
        surface.resize(width, height);
        frame.draw_node(surface, {});
        test::write_frame_png(surface,
                              "menu_" + std::to_string(width) + "x" + std::to_string(height));
        EXPECT_EQ(shown.state(), MenuState::Open);
    }
}
