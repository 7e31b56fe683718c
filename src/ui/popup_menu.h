#pragma once
// The pop-up menu: a skin node with a "panel" (its frame, rising when the
// menu opens), an optional "caption", a "vlist" of choice items and an
// optional "cancel" button. A screen opens it with a key; its provider fills
// the items for that key and performs the identifier the user picks.

#include "platform/text.h"
#include "ui/button_node.h"
#include "ui/choice_item.h"
#include "ui/node.h"
#include "ui/vlist.h"

#include <vector>

namespace telvara::ui {

class MenuProvider;
class PopupMenu;

// Where the menu is in its life; opening and closing last as long as the
// panel's visibility animation.
enum class MenuState { Closed, Opening, Open, Closing };

// One row of a menu. The row of the "Magic4Buttons" item carries the buttons
// "About", "Help", "Minimize" and "Exit", which act as choosing that key.
class MenuElement : public ListElement, public ButtonListener {
  public:
    explicit MenuElement(PopupMenu& menu) : m_menu(menu) {}

    // Some of the four special buttons were not in the element.
    bool buttons_missing() const { return m_buttons_missing; }

    void on_click(ButtonNode& button) override;

  private:
    friend class PopupMenu;

    PopupMenu& m_menu;
    bool m_buttons_missing = false;
};

class PopupMenu : public Node, public ChoiceMenu, public ListAdapter, public ButtonListener {
  public:
    // The identifier of the row of special buttons.
    static constexpr WStringView kMagicButtons = u"Magic4Buttons";
    // What a cancel (button, Esc, a tap beside the panel) reports to the provider.
    static constexpr WStringView kCancel = u"Cancel";

    explicit PopupMenu(WString menu_name = u"Menu", WString element_name = u"MenuElement");

    // Loads the menu node named at construction from the skin and finds its
    // parts: throws vadode::NodeNotFoundInSkin for a missing menu node and
    // vadode::NodeNotFound for a missing "panel" or "vlist". The skin must
    // outlive the menu (until the next bind).
    void bind(const Properties& skin);

    void set_provider(MenuProvider* provider) { m_provider = provider; }

    // Asks the provider for the items of `key` and opens with them; a key
    // with no items was a command: the menu stays closed (or closes) and
    // false comes back.
    bool open(WStringView key);
    // The user picked item `index`: its identifier goes to the provider.
    // Disabled items do nothing.
    void choose(std::int32_t index);
    // As choosing an item with that identifier.
    void choose_key(WStringView key);
    // Reports "Cancel" to the provider and closes.
    void cancel();
    // Closes without telling the provider anything but on_menu_closed.
    void close();

    // Shows the caption with this text; empty hides it. Cleared at each open.
    void set_caption(WString text);

    MenuState state() const { return m_state; }
    bool is_open() const { return m_state == MenuState::Opening || m_state == MenuState::Open; }
    const WString& key() const { return m_key; }
    const std::vector<ChoiceItem>& items() const { return m_items; }
    // The text item i shows: its own, or its identifier translated.
    WString item_text(std::size_t i) const;
    // The skin element that draws item i ("...Disabled" for disabled items).
    WString element_name_for(std::size_t i) const;

    Node& panel() const { return *m_panel; }
    Node* caption() const { return m_caption; }
    VirtualList& list() const { return *m_list; }
    ButtonNode* cancel_button() const { return m_cancel; }

    // ChoiceMenu.
    void add_item(ChoiceItem item) override;

    // ListAdapter.
    std::int32_t item_count() const override { return std::int32_t(m_items.size()); }
    std::unique_ptr<ListElement> create_element() override;
    void bind_element(ListElement& element, std::int32_t index) override;
    void element_clicked(VirtualList& list, std::int32_t index) override;

    // ButtonListener (the cancel button).
    void on_click(ButtonNode& button) override;

    void remove_child(Node* child, std::size_t index) override;
    void tick(double seconds) override;
    bool on_touch(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

  private:
    // Runs the provider for `key`; true when it added items (then shown).
    bool ask_provider(WStringView key);
    void show_items();
    void finish_closing();

    WString m_menu_name;
    WString m_element_name;
    const Properties* m_skin = nullptr;
    MenuProvider* m_provider = nullptr;
    Node* m_panel = nullptr;
    Node* m_caption = nullptr;
    VirtualList* m_list = nullptr;
    ButtonNode* m_cancel = nullptr;
    std::vector<ChoiceItem> m_items;
    std::vector<ChoiceItem> m_incoming;
    WString m_key;
    MenuState m_state = MenuState::Closed;
    bool m_touch_outside = false;
};

} // namespace telvara::ui
