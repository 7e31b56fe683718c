#pragma once
// MainForm: the root screen ("Main"). It shows one of three tabs (contacts,
// favourites, recents), opens the dialer keypad over the contacts tab, runs
// the main menu from the menu tab, keeps the missed-call badge on the
// recents tab, takes the command line of a second start and stores a typed
// number in a new or an existing contact.

#include "data/refresh_message.h"
#include "forms/contact_selector_container.h"
#include "forms/form.h"
#include "forms/keyboard_container.h"
#include "forms/tab_button.h"
#include "ui/button_node.h"
#include "ui/menu_provider.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"

#include <cstdint>
#include <memory>

namespace telvara::app {
class CActiveScheduler;
}

namespace telvara::data {
struct ContactEntry;
class ContactManagerImpl2;
} // namespace telvara::data

namespace telvara::forms {

class ContactSelectorForm;

// Which tab a command line or a key asks for.
enum class MainTab { Contacts, Favorites, Recents, Menu };

class MainForm final : public Form,
                       private ui::ButtonListener,
                       private KeyboardListener,
                       private ContactListListener,
                       private ui::MenuProvider,
                       private data::DocumentListener,
                       private ui::SkinReloadListener {
  public:
    // Builds every part and binds to the skin's "Main" (throws the vadode
    // errors for a missing node). The skin and the store (which may be null:
    // then nothing is stored) must outlive the form.
    explicit MainForm(ui::Properties& skin, data::ContactManagerImpl2* store = nullptr);
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Binds again after the skin changed.
    void bind();
    // The scheduler the keypads' long presses run on (the application's).
    void set_scheduler(app::CActiveScheduler* scheduler);

    // The command line of a second start ("contacts", "open:+15550100", ...).
    void on_command_line(WStringView text);
    // The application came back to the foreground.
    void on_resume();
    bool on_key(const ui::KeyEvent& event) override;
    // Runs a skin or language change asked for from the menu: the menu that
    // asked is part of the tree being replaced, so it waits for this frame.
    void update(double seconds) override;

    void select_tab(MainTab tab);
    void show_keyboard();
    void hide_keyboard();
    void open_contact(data::ContactEntry& contact);
    void new_contact();
    void missed_count_process();
    // Pops every form above this one.
    void close_forms_above();

    // What the screen shows, for the tests and the headless driver.
    MainTab current_tab() const { return m_current; }
    const TabButton& tab(MainTab tab) const;
    int favorite_mode() const { return m_favorite_mode; }
    const WString& pending_number() const { return m_pending_number; }
    KeyboardContainer& keyboard() { return m_keyboard; }
    ContactSelectorContainer& contacts() { return m_contacts; }
    ContactSelectorForm& contact_picker() { return *m_picker; }
    ui::PopupMenu& main_menu() const { return *m_main_menu; }
    bool category_choice() const { return m_category_choice; }

  private:
    // ButtonListener.
    void on_click(ui::ButtonNode& button) override;
    // KeyboardListener.
    void on_keyboard_text(const WString& text) override;
    void on_keyboard_closed() override;
    void on_keyboard_call(const WString& text) override;
    // ContactListListener.
    void on_contact_chosen(ContactSelectorContainer& sender, data::ContactEntry& contact) override;
    void on_add_contact(ContactSelectorContainer& sender) override;
    void on_category_button(ContactSelectorContainer& sender) override;
    // MenuProvider.
    void on_menu(ui::PopupMenu& menu, WStringView key, ui::ChoiceMenu& items) override;
    // DocumentListener.
    void on_document_refresh(const data::RefreshMessage& message) override;
    // SkinReloadListener.
    void on_reload_skin(ui::Properties& skin) override;

    TabButton& tab_button(MainTab tab);
    // The main menu's keys; true when the tab states go back afterwards.
    bool main_menu_key(WStringView key, ui::ChoiceMenu& items);
    enum class Checked { No, Yes };
    void add_item(ui::ChoiceMenu& items, WStringView key, Checked checked = Checked::No);
    void restore_tab_after_menu();
    void show_tab_contents();
    void set_filter(WStringView text);
    void set_list_title_to_category();
    void add_number_to_new_contact();

    ui::Properties& m_skin;
    data::ContactManagerImpl2* m_store = nullptr;
    std::unique_ptr<ContactSelectorForm> m_picker;
    ContactSelectorContainer m_contacts;
    KeyboardContainer m_keyboard{SwitchVisibility::Yes};
    int m_favorite_mode = 1;
    ui::PopupMenu* m_main_menu = nullptr;

    TabButton m_tab_contacts;
    TabButton m_tab_favorites;
    TabButton m_tab_recents;
    TabButton m_tab_menu;
    MainTab m_current = MainTab::Contacts;
    int m_saved_state = 2;

    ui::Node* m_recents_root = nullptr;
    ui::Node* m_favorites_root = nullptr;
    ui::Node* m_favorites2_root = nullptr;
    ui::ButtonNode* m_open_keyboard = nullptr;
    ui::Node* m_ruler = nullptr;
    ui::Node* m_recent_count = nullptr;

    WString m_pending_number;
    bool m_category_choice = false;
    bool m_rebind_pending = false;
};

} // namespace telvara::forms
