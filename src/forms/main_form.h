#pragma once
// MainForm: the root screen ("Main"). It shows one of three tabs (contacts,
// favourites, recents), opens the dialer keypad over the contacts tab, runs
// the main menu from the menu tab, keeps the missed-call badge on the
// recents tab, takes the command line of a second start and stores a typed
// number in a new or an existing contact.

#include "data/recent_calls.h"
#include "data/refresh_message.h"
#include "forms/about_container.h"
#include "forms/call_form.h"
#include "forms/contact_form.h"
#include "forms/contact_recents_form.h"
#include "forms/contact_selector_container.h"
#include "forms/contacts_empty_state.h"
#include "forms/document_subscription.h"
#include "forms/favorites_container.h"
#include "forms/favorites_tile_grid.h"
#include "forms/form.h"
#include "forms/keyboard_container.h"
#include "forms/line_prompts.h"
#include "forms/recents_container.h"
#include "forms/search_layout.h"
#include "forms/select_field_form.h"
#include "forms/tab_button.h"
#include "ui/button_node.h"
#include "ui/menu_provider.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace telvara::runtime {
class CActiveScheduler;
}

namespace telvara::data {
struct ContactEntry;
class ContactStore;
class ContactPhotoCache;
} // namespace telvara::data

namespace telvara::phone {
class CallLog;
}

namespace telvara::forms {

class ContactSelectorForm;

// What the screens store and read besides the Document; each may be null
// (tests): then nothing is stored, no call is deleted, photos are the
// default picture.
struct MainFormServices {
    data::ContactStore* store = nullptr;
    phone::CallLog* call_log = nullptr;
    data::ContactPhotoCache* photos = nullptr;
};

// Which tab a command line or a key asks for.
enum class MainTab { Contacts, Favorites, Recents, Menu };

class MainForm final : public Form,
                       private ui::ButtonListener,
                       private KeyboardListener,
                       private ContactListListener,
                       private RecentsListener,
                       private FavoritesListener,
                       private SelectFieldListener,
                       private ui::MenuProvider,
                       private data::DocumentListener,
                       private ui::SkinReloadListener {
  public:
    // Builds every part and binds to the skin's "Main" (throws the vadode
    // errors for a missing node). The skin and the services must outlive
    // the form.
    explicit MainForm(ui::Properties& skin, MainFormServices services = {});
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

    // Binds again after the skin changed.
    void bind();
    // The scheduler the keypads' long presses run on (the application's).
    void set_scheduler(runtime::CActiveScheduler* scheduler);

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
    const ContactsEmptyState& contacts_empty_state() const { return m_contacts_empty; }
    ContactSelectorForm& contact_picker() { return *m_picker; }
    ContactForm& contact_card() { return m_card; }
    SelectFieldForm& field_chooser() { return m_select_field; }
    AboutContainer& about() { return m_about; }
    CallForm& call_screen() { return *m_call; }
    LinePrompts& line_prompts() { return m_line; }
    ContactRecentsForm& contact_recents() { return m_recent_calls; }
    RecentsContainer& recents() { return m_recents; }
    ui::PopupMenu& recents_menu() const { return *m_recents_menu; }
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
    void on_picker_cancelled() override;
    // RecentsListener.
    void on_call_recent(WStringView number) override;
    void on_recent_call_menu(const data::RecentCall& call, std::size_t index) override;
    void on_open_recents(const data::RecentCall& call, std::size_t index) override;
    void on_recents_menu_button() override;
    // FavoritesListener.
    void on_favorite_call(WStringView number) override;
    void on_favorite_open(data::ContactEntry& contact) override;
    // SelectFieldListener: the kind of field the pending number is stored as.
    void on_field_kind_chosen(const data::ContactRecord* contact, data::FieldType type) override;
    // MenuProvider.
    void on_menu(ui::PopupMenu& menu, WStringView key, ui::ChoiceMenu& items) override;
    void on_menu_closed(ui::PopupMenu& menu) override;
    // DocumentListener.
    void on_document_refresh(const data::RefreshMessage& message) override;
    // SkinReloadListener.
    void on_reload_skin(ui::Properties& skin) override;

    TabButton& tab_button(MainTab tab);
    // The main menu's keys; true when the tab states go back afterwards.
    bool main_menu_key(WStringView key, ui::ChoiceMenu& items);
    void restore_tab_after_menu();
    // The list laid out for searching while the keypad is open on the
    // contacts tab, for browsing otherwise.
    void update_search_layout();
    void show_tab_contents();
    void set_filter(WStringView text);
    void refilter_list();
    // Every main menu starts here: a category choice left open is over.
    void open_main_menu(WStringView key);
    void set_list_title_to_category();
    // Stores the pending number as a field of `type`: in a copy of the
    // contact, or in a new contact (whose card then opens for editing).
    void add_number_to_contact(const data::ContactRecord* contact, data::FieldType type);

    ui::Properties& m_skin;
    MainFormServices m_services;
    DocumentSubscription m_document{*this};
    // The forms it shows over itself, then the containers of its tabs.
    std::unique_ptr<CallForm> m_call;
    ContactForm m_card;
    ContactRecentsForm m_recent_calls;
    SelectFieldForm m_select_field;
    std::unique_ptr<ContactSelectorForm> m_picker;
    ContactSelectorContainer m_contacts;
    ContactsEmptyState m_contacts_empty;
    RecentsContainer m_recents;
    FavoritesContainer m_favorites;
    FavoritesTileGrid m_tile_grid;
    KeyboardContainer m_keyboard{SwitchVisibility::Yes};
    SearchLayout m_search;
    AboutContainer m_about;
    LinePrompts m_line;
    int m_favorite_mode = 1;
    ui::PopupMenu* m_main_menu = nullptr;
    ui::PopupMenu* m_recents_menu = nullptr;
    // The call whose menu ("RecentClick...") or calls list was opened last.
    std::optional<data::RecentCall> m_selected_call;
    // A hand-off to another program chosen in the main menu, run once the
    // menu has closed.
    std::function<void()> m_after_menu;

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
