// The main screen: tabs, keypad, badge, command lines and the flows that
// store a number; its menus are in main_form_menu.cpp.
#include "forms/main_form.h"

#include "data/categories.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "forms/contact_selector_form.h"
#include "forms/form_host.h"
#include "forms/required_node.h"
#include "forms/skin_check.h"
#include "forms/write_notice.h"
#include "phone/call_link.h"
#include "phone/phone_manager.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include "ui/key_names.h"
#include "ui/lang/skin_language_choice.h"
#include "ui/properties.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {

constexpr char16_t kSettingsKey[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
constexpr WStringView kOpenPrefix = u"open:";

runtime::LogStream& log_line() {
    return runtime::log() << platform::tick_count() << u" ";
}

std::uint32_t elapsed(std::uint32_t start) {
    return platform::tick_count() - start;
}

int read_favorite_mode() {
    std::uint32_t mode = 1;
    runtime::reg_read_dword(kSettingsKey, u"FavoriteMode", mode);
    return mode == 2 ? 2 : 1;
}

// The keys the dialer keypad has: digits, "*" and "#".
bool is_dial_key(std::int32_t code) {
    // No key of the keypad takes "*" (a long "#" types it).
    return (code >= ui::key::Digit0 && code <= ui::key::Digit0 + 9) || code == ui::key::Hash;
}

data::Document* document() {
    return data::Document::instance();
}

} // namespace

MainForm::MainForm(ui::Properties& skin, MainFormServices services)
    : Form(u"Main"), m_skin(skin), m_services(services),
      m_call(std::make_unique<CallForm>(services.photos)),
      m_picker(std::make_unique<ContactSelectorForm>()) {
    const std::uint32_t start = platform::tick_count();
    m_favorite_mode = read_favorite_mode();
    bind();
    m_skin.add_reload_listener(this);
    m_document.follow();
    log_line() << u"MainForm() = " << elapsed(start) << u"\n";
}

MainForm::~MainForm() {
    m_skin.remove_reload_listener(this);
}

void MainForm::bind() {
    load_form(m_skin);
    m_main_menu = &static_cast<ui::PopupMenu&>(append_child(std::make_unique<ui::PopupMenu>()));
    m_main_menu->bind(m_skin);
    m_main_menu->set_provider(this);
    m_recents_menu = &static_cast<ui::PopupMenu&>(append_child(std::make_unique<ui::PopupMenu>()));
    m_recents_menu->bind(m_skin);
    m_recents_menu->set_provider(this);

    m_call->bind(m_skin);
    m_card.bind(m_skin, m_services.store, m_services.photos);
    m_recent_calls.bind(m_skin, *this, m_services.call_log, m_services.photos);
    m_select_field.bind(m_skin);
    m_picker->bind(m_skin, *this);
    m_contacts.bind(*this, m_skin, *this);
    m_contacts_empty.bind(*this);
    m_recents.bind(*this, m_skin, *this);
    m_recents.set_call_log(m_services.call_log);
    m_favorites.bind(*this, m_skin, *this, m_services.photos);
    m_tile_grid.bind(*this, m_skin, *this, m_services.photos);
    m_keyboard.bind(*this, *this, &m_skin);
    m_line.bind(m_skin, m_keyboard);
    m_about.bind(*this, m_skin);
    {
        ui::Node* contacts = m_contacts.root();
        m_search.bind({.frame = contacts,
                       .column = contacts != nullptr ? contacts->find(u"contacts_column") : nullptr,
                       .top_bar = contacts != nullptr ? contacts->find(u"top") : nullptr,
                       .keypad = m_keyboard.root(),
                       .bottom_bars = {find(u"tabs")}});
    }
    m_recents_root = &required<ui::Node>(*this, u"RecentsContainer");
    m_favorites_root = &required<ui::Node>(*this, u"FavoritesContainer");
    m_favorites2_root = &required<ui::Node>(*this, u"FavoritesContainer2");

    m_tab_contacts.bind(*this, u"button_contacts", *this);
    m_tab_favorites.bind(*this, u"button_favorits", *this);
    m_tab_recents.bind(*this, u"button_recents", *this);
    m_tab_menu.bind(*this, u"button_menu", *this);
    m_open_keyboard = &required<ui::ButtonNode>(*this, u"open_keyboard");
    m_open_keyboard->set_listener(this);
    m_ruler = &required<ui::Node>(*this, u"ContactsListRuler");
    m_recent_count = &required<ui::Node>(*m_tab_recents.button(), u"recent_count");

    m_recents_root->set_visible(false);
    m_favorites_root->set_visible(false);
    m_favorites2_root->set_visible(false);
    m_keyboard.hide(Animate::No);
    m_current = MainTab::Contacts;
    m_tab_contacts.set_state(2);
    m_saved_state = 2;
    m_tab_favorites.set_state(0);
    m_tab_recents.set_state(0);
    m_tab_menu.set_state(0);
    set_list_title_to_category();
    missed_count_process();
}

void MainForm::set_scheduler(runtime::CActiveScheduler* scheduler) {
    m_keyboard.set_scheduler(scheduler);
    m_call->set_scheduler(scheduler);
    m_picker->keyboard().set_scheduler(scheduler);
    m_line.set_scheduler(scheduler);
}

void MainForm::update(double seconds) {
    if (m_rebind_pending) {
        m_rebind_pending = false;
        bind_after_skin_change(m_skin, ui::ChoiceContext{}, [this] { bind(); });
        // The new keypad starts closed and empty.
        refilter_list();
    }
    m_search.follow(ui::Size{width(), height()});
    Form::update(seconds);
}

void MainForm::update_search_layout() {
    const bool searching = m_keyboard.is_open() && m_current == MainTab::Contacts;
    m_search.set_mode(searching ? SearchMode::Searching : SearchMode::Browsing,
                      ui::Size{width(), height()});
    m_contacts.set_row_style(searching ? RowStyle::Compact : RowStyle::Regular);
}

void MainForm::on_reload_skin(ui::Properties&) {
    m_rebind_pending = true;
}

TabButton& MainForm::tab_button(MainTab tab) {
    switch (tab) {
    case MainTab::Contacts:
        return m_tab_contacts;
    case MainTab::Favorites:
        return m_tab_favorites;
    case MainTab::Recents:
        return m_tab_recents;
    case MainTab::Menu:
        break;
    }
    return m_tab_menu;
}

const TabButton& MainForm::tab(MainTab tab) const {
    return const_cast<MainForm*>(this)->tab_button(tab);
}

void MainForm::select_tab(MainTab tab) {
    TabButton& current = tab_button(m_current);
    const bool was_current = tab == m_current;
    m_saved_state = current.state();
    current.set_state(0);
    int state = 1;
    switch (tab) {
    case MainTab::Contacts: {
        state = 2;
        ui::Node* contacts = m_contacts.root();
        const bool list_shown = contacts != nullptr && contacts->is_visible();
        if (list_shown && m_keyboard.is_open()) {
            hide_keyboard();
        } else if (was_current) {
            show_keyboard();
            state = 1;
        }
        if (!list_shown)
            state = m_keyboard.is_open() ? 1 : 2;
        m_current = MainTab::Contacts;
        refilter_list();
        break;
    }
    case MainTab::Favorites:
        if (was_current && m_saved_state != 0) {
            m_favorite_mode = 3 - m_favorite_mode;
            runtime::reg_write_dword(kSettingsKey, u"FavoriteMode",
                                     static_cast<std::uint32_t>(m_favorite_mode));
        }
        m_current = MainTab::Favorites;
        state = m_favorite_mode;
        break;
    case MainTab::Recents:
        m_current = MainTab::Recents;
        if (was_current && m_saved_state == 1)
            m_recents_menu->open(u"MainMenu");
        break;
    case MainTab::Menu:
        // The menu tab opens the menu; the current tab stays and gets its
        // look back when the menu is done.
        m_tab_menu.set_state(1);
        open_main_menu(u"MainMenu");
        return;
    }
    missed_count_process();
    tab_button(m_current).set_state(state);
    show_tab_contents();
}

void MainForm::show_tab_contents() {
    if (ui::Node* contacts = m_contacts.root())
        contacts->set_visible(m_tab_contacts.state() != 0);
    m_favorites_root->set_visible(m_tab_favorites.state() == 1);
    m_favorites2_root->set_visible(m_tab_favorites.state() == 2);
    m_recents_root->set_visible(m_tab_recents.state() == 1);
    // The floating keypad button belongs to the list: on the other tabs it
    // would cover their contents and mean nothing there.
    const bool list_only = m_tab_contacts.state() == 2;
    if (m_open_keyboard->is_visible() != list_only)
        m_open_keyboard->set_visible(list_only);
    if (m_ruler->is_visible() != list_only)
        m_ruler->set_visible(list_only);
    update_search_layout();
    if (form_host() != nullptr)
        form_host()->set_dirty();
}

void MainForm::show_keyboard() {
    const std::uint32_t start = platform::tick_count();
    m_ruler->set_visible_animated(false);
    m_open_keyboard->set_visible_animated(false);
    m_keyboard.show(CallButton::Shown);
    update_search_layout();
    // The line as it is now: the Telephone may have come after the binding.
    m_line.on_keypad_text(m_keyboard.text());
    m_contacts.hide_category_button();
    m_contacts.set_title(m_skin.translate(data::k_no_category));
    if (data::Document* doc = document())
        doc->set_filtered_contacts();
    log_line() << u"MainForm show_keyboard " << elapsed(start) << u"\n";
}

void MainForm::hide_keyboard() {
    m_keyboard.hide(Animate::Yes);
    m_contacts.show_category_button();
    set_list_title_to_category();
    if (data::Document* doc = document())
        doc->set_category(u"");
}

void MainForm::set_list_title_to_category() {
    data::Document* doc = document();
    m_contacts.set_title(m_skin.translate(doc != nullptr ? WStringView(doc->category())
                                                         : WStringView(data::k_no_category)));
}

void MainForm::set_filter(WStringView text) {
    if (data::Document* doc = document())
        doc->set_filter(text);
}

void MainForm::refilter_list() {
    data::Document* doc = document();
    if (doc == nullptr)
        return;
    // The list answers the keypad: its digits while it is open, the current
    // category alone (the list's title) while it is closed.
    if (m_keyboard.is_open())
        doc->set_filter(m_keyboard.text());
    else
        doc->set_category(u"");
}

bool MainForm::on_key(const ui::KeyEvent& event) {
    log_line() << u"MainForm::on_key()\n";
    if (event.pressed && event.code == ui::key::CallMake) {
        log_line() << u"-----------------------------\n";
        log_line() << u"-----MainForm::CALL_MAKE-----\n";
        log_line() << u"-----------------------------\n";
    }
    // The About page lies over the tabs: Left closes it like its back button.
    if (event.pressed && event.code == ui::key::Left && m_about.is_shown()) {
        m_about.hide();
        return true;
    }
    if (event.pressed) {
        switch (event.code) {
        case ui::key::Left:
            if (m_current == MainTab::Favorites)
                select_tab(MainTab::Contacts);
            else if (m_current == MainTab::Recents)
                select_tab(MainTab::Favorites);
            return true;
        case ui::key::Right:
            if (m_current == MainTab::Contacts)
                select_tab(MainTab::Favorites);
            else if (m_current == MainTab::Favorites)
                select_tab(MainTab::Recents);
            return true;
        case ui::key::Backspace:
            if (!m_keyboard.text().empty()) {
                WString text = m_keyboard.text();
                text.pop_back();
                m_keyboard.set_text(std::move(text));
                return true;
            }
            break;
        case ui::key::Esc:
            // As the keypad's own keys: a typed text goes first (as a held
            // backspace clears it), then the keypad closes.
            if (m_current == MainTab::Contacts && m_keyboard.is_open()) {
                if (!m_keyboard.text().empty())
                    m_keyboard.set_text({});
                else
                    m_keyboard.hide(Animate::Yes);
                return true;
            }
            break;
        default:
            // Letters from a hardware keyboard search the list by name: the
            // first opens the keypad, and each shows in its number line.
            if (event.code >= ui::key::A && event.code < ui::key::A + 26 &&
                m_current == MainTab::Contacts) {
                if (!m_keyboard.is_open())
                    select_tab(MainTab::Contacts);
                if (m_keyboard.is_open()) {
                    m_keyboard.set_text(m_keyboard.text() +
                                        static_cast<char16_t>(u'a' + (event.code - ui::key::A)));
                    return true;
                }
            }
            // Dialling from a hardware keypad needs no tap first: the first
            // digit on the list opens the keypad, whose key takes it.
            if (event.first && is_dial_key(event.code) && m_current == MainTab::Contacts &&
                !m_keyboard.is_open())
                select_tab(MainTab::Contacts);
            break;
        }
    }
    log_line() << u"MainForm::on_key()->Node::on_key()\n";
    return Form::on_key(event);
}

void MainForm::missed_count_process() {
    const std::uint32_t count = phone::PhoneManager::missed_call_count();
    if (count < 1) {
        if (m_current == MainTab::Recents)
            m_tab_recents.set_state(1);
        else
            m_tab_recents.set_state(0);
        m_tab_recents.button()->set_text({});
        m_recent_count->set_visible(false);
        return;
    }
    if (m_current == MainTab::Recents)
        phone::PhoneManager::reset_missed_call_count();
    else
        m_tab_recents.set_state(2);
    m_tab_recents.button()->set_text(to_wstring(count));
    m_recent_count->set_visible(true);
}

void MainForm::on_resume() {
    log_line() << u"MainForm::on_resume()\n";
    if (data::Document* doc = document())
        doc->update_log();
    missed_count_process();
}

void MainForm::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    if (message.has(RefreshFlag::RecentAdded) || message.has(RefreshFlag::RecentChanged) ||
        message.has(RefreshFlag::RecentsReplaced) || message.has(RefreshFlag::RecentsComplete)) {
        log_line() << u"MainForm::on_document_refresh missed_count_process\n";
        missed_count_process();
    }
}

void MainForm::on_command_line(WStringView text) {
    log_line() << u"MainForm::on_command_line cmd=" << text << u"\n";
    // What a second start asks for is seen: screens opened over the tabs
    // (a card, an editor, the about page) make way first.
    const auto to_front = [this] {
        close_forms_above();
        if (m_about.is_shown())
            m_about.hide();
    };
    if (text == u"recents") {
        to_front();
        select_tab(MainTab::Recents);
    } else if (text == u"favorites") {
        to_front();
        select_tab(MainTab::Favorites);
    } else if (text == u"contacts") {
        to_front();
        select_tab(MainTab::Contacts);
    } else if (std::optional<WString> number = phone::number_of_call_link(text)) {
        // A tel: or callto: link: the number on the keypad, ready to call, as
        // if typed there; the call itself stays the user's.
        to_front();
        // A tap on the contacts tab shows the list; a second, the keypad.
        if (m_current != MainTab::Contacts)
            select_tab(MainTab::Contacts);
        if (!m_keyboard.is_open())
            select_tab(MainTab::Contacts);
        m_keyboard.set_text(std::move(*number));
    } else if (text.size() > kOpenPrefix.size() && text.find(kOpenPrefix) != WStringView::npos) {
        WString number(text.substr(text.find(kOpenPrefix) + kOpenPrefix.size()));
        data::Document* doc = document();
        data::PhoneRef found =
            doc != nullptr ? doc->find_by_phone_number(number) : data::PhoneRef{};
        to_front();
        if (found.entry != nullptr) {
            open_contact(*found.entry);
        } else if (!number.empty()) {
            m_pending_number = std::move(number);
            open_main_menu(u"NewOrUpdateContact");
        } else {
            new_contact();
        }
    }
}

void MainForm::close_forms_above() {
    FormHost* host = form_host();
    if (host == nullptr)
        return;
    while (host->top_form() != nullptr && host->top_form() != this)
        if (!host->close_form(*host->top_form(), Animate::No))
            break;
}

void MainForm::open_contact(data::ContactEntry& contact) {
    close_forms_above();
    m_keyboard.set_text({});
    m_card.show(contact, CardMode::View);
    refilter_list();
}

void MainForm::new_contact() {
    close_forms_above();
    log_line() << u"MainForm::new_contact\n";
    // The card's editors store the contact when something was typed, so an
    // abandoned new contact leaves nothing behind.
    m_card.show(data::ContactRecord{}, CardMode::Edit);
}

void MainForm::add_number_to_contact(const data::ContactRecord* contact, data::FieldType type) {
    if (form_host() != nullptr)
        form_host()->close_form(*m_picker, Animate::No);
    // The picker filtered the Document its own way.
    refilter_list();
    if (m_pending_number.empty())
        return;
    data::ContactRecord record = contact != nullptr ? *contact : data::ContactRecord{};
    record.fields.emplace_back(type, m_pending_number);
    m_pending_number.clear();
    if (contact != nullptr) {
        // The contact's card shows where the number went (or, when it could
        // not be stored, that it is not there).
        const bool stored = m_services.store == nullptr || m_services.store->update_contact(record);
        if (!stored) {
            log_line() << u"MainForm::add_number_to_contact not stored oid=" << record.oid << u"\n";
            show_not_saved(Unsaved::Contact, m_services.store->last_write_failure());
        }
        m_card.show(stored ? record : *contact, CardMode::View);
        return;
    }
    // Not stored, the new contact stays on the card to be saved from there.
    if (m_services.store != nullptr && !m_services.store->create_contact(record))
        show_not_saved(Unsaved::Contact, m_services.store->last_write_failure());
    m_card.show(record, CardMode::Edit);
}

void MainForm::on_field_kind_chosen(const data::ContactRecord* contact, data::FieldType type) {
    add_number_to_contact(contact, type);
}

// Buttons.
void MainForm::on_click(ui::ButtonNode& button) {
    if (&button == m_tab_contacts.button())
        select_tab(MainTab::Contacts);
    else if (&button == m_tab_favorites.button())
        select_tab(MainTab::Favorites);
    else if (&button == m_tab_recents.button())
        select_tab(MainTab::Recents);
    else if (&button == m_tab_menu.button())
        select_tab(MainTab::Menu);
    else if (&button == m_open_keyboard)
        select_tab(MainTab::Contacts);
}

// Keypad.
void MainForm::on_keyboard_text(const WString& text) {
    const std::uint32_t start = platform::tick_count();
    m_line.on_keypad_text(text);
    // A closed keypad's number is being cleared: the list keeps its category.
    if (m_keyboard.is_open())
        set_filter(text);
    else
        refilter_list();
    log_line() << u"Document::get_instance()->set_filter_string() = " << elapsed(start) << u"\n";
}

void MainForm::on_keyboard_closed() {
    m_contacts.show_category_button();
    set_list_title_to_category();
    if (data::Document* doc = document())
        doc->set_category(u"");
    m_open_keyboard->set_visible_animated(true);
    m_ruler->set_visible_animated(true);
    if (m_current == MainTab::Contacts)
        m_tab_contacts.set_state(2);
    update_search_layout();
}

void MainForm::on_keyboard_call(const WString& text) {
    if (auto* phones = phone::PhoneManager::instance())
        phones->call_number(text);
    m_keyboard.set_text({});
}

// Contact lists.
void MainForm::on_contact_chosen(ContactSelectorContainer& sender, data::ContactEntry& contact) {
    if (&sender == &m_contacts) {
        open_contact(contact);
        return;
    }
    // The picker of "Add2Existing": the number joins the chosen contact as
    // the kind of phone the user picks next.
    m_select_field.show(&contact.record, *this, FieldChoice::PhonesOnly);
}

void MainForm::on_add_contact(ContactSelectorContainer& sender) {
    // The picker's own buttons: the menu would open under it, unseen.
    if (&sender != &m_contacts)
        return;
    if (m_keyboard.is_open() && !m_keyboard.text().empty()) {
        m_pending_number = m_keyboard.text();
        open_main_menu(u"PhoneToContact");
    } else {
        open_main_menu(u"NewContact");
    }
}

void MainForm::on_picker_cancelled() {
    refilter_list();
}

void MainForm::on_category_button(ContactSelectorContainer& sender) {
    if (&sender == &m_contacts)
        open_main_menu(u"Categories");
}

// Recents.
void MainForm::on_call_recent(WStringView number) {
    if (auto* phones = phone::PhoneManager::instance())
        phones->call_number(number);
}

void MainForm::on_recent_call_menu(const data::RecentCall& call, std::size_t) {
    m_selected_call = call;
    open_main_menu(call.oid != 0 ? u"RecentClickKnownContact" : u"RecentClickUnknownContact");
}

void MainForm::on_open_recents(const data::RecentCall& call, std::size_t) {
    m_selected_call = call;
    data::Document* doc = document();
    data::ContactEntry* contact =
        doc != nullptr && call.oid != 0 ? doc->find_contact(call.oid) : nullptr;
    if (contact != nullptr)
        m_recent_calls.show_for_contact(contact->record);
    else
        m_recent_calls.show_for_number(call.call.number);
}

void MainForm::on_recents_menu_button() {
    m_recents_menu->open(u"MainMenu");
}

// Favourites.
void MainForm::on_favorite_call(WStringView number) {
    if (auto* phones = phone::PhoneManager::instance())
        phones->call_number(number);
}

void MainForm::on_favorite_open(data::ContactEntry& contact) {
    open_contact(contact);
}

} // namespace telvara::forms
