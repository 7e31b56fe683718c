// The main screen's menus: the main menu's keys (settings, sorting, the
// dialer, categories, storing a number, the recent call's actions, About,
// Help, Exit) and the recents menu handed to the recents tab.
#include "forms/main_form.h"

#include "data/categories.h"
#include "data/document.h"
#include "forms/contact_selector_form.h"
#include "forms/form_host.h"
#include "forms/menu_items.h"
#include "forms/notice_form.h"
#include "forms/skin_check.h"
#include "phone/phone_manager.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "platform/messages.h"
#include "runtime/log.h"
#include "ui/lang/skin_language_choice.h"

namespace telvara::forms {

void MainForm::on_menu(ui::PopupMenu& menu, WStringView key, ui::ChoiceMenu& items) {
    if (&menu == m_recents_menu) {
        m_recents.recents_menu(key, items);
        return;
    }
    if (main_menu_key(key, items))
        restore_tab_after_menu();
}

void MainForm::on_menu_closed(ui::PopupMenu& menu) {
    if (&menu != m_main_menu || !m_after_menu)
        return;
    const std::function<void()> run = std::move(m_after_menu);
    m_after_menu = nullptr;
    run();
}

void MainForm::open_main_menu(WStringView key) {
    m_category_choice = false;
    m_main_menu->open(key);
}

void MainForm::restore_tab_after_menu() {
    // Only the menu tab took the current tab's look away; menus opened from
    // the list or the recents leave the tabs as they are.
    if (m_tab_menu.state() != 1)
        return;
    m_tab_menu.set_state(0);
    tab_button(m_current).set_state(m_saved_state);
}

bool MainForm::main_menu_key(WStringView key, ui::ChoiceMenu& items) {
    data::Document* doc = data::Document::instance();
    ui::ChoiceContext context;
    context.skin_check = screens_refusal;
    if (m_category_choice) {
        // The categories are the user's own names: whatever they are called
        // ("Exit", "Dialer"...), the key after the category menu is one of
        // them, or a way out of it.
        m_category_choice = false;
        if (key != u"skinReturn" && key != ui::PopupMenu::kCancel) {
            if (doc != nullptr)
                doc->set_category(key);
            set_list_title_to_category();
        }
        return true;
    }
    if (key == u"MainMenu") {
        ui::ChoiceItem buttons;
        buttons.identifier.assign(ui::PopupMenu::kMagicButtons);
        buttons.element = u"MenuElement4Buttons";
        items.add_item(std::move(buttons));
        add_menu_item(items, u"Settings");
        add_menu_item(items, u"Dialer", checked_if(doc != nullptr && doc->dialer()));
        if (m_call->in_call() && (form_host() == nullptr || !form_host()->is_shown(*m_call)))
            add_menu_item(items, u"skinBackToCall");
        add_menu_item(items, u"Cancel");
        return false;
    }
    if (key == u"Dialer") {
        if (doc != nullptr)
            doc->set_dialer(!doc->dialer());
        if (auto* line = phone::Telephone::instance())
            line->reset();
        // The menu closes after a command: leaving the tabs as they were
        // while it was open would show no current tab.
        return true;
    }
    if (key == u"Exit") {
        platform::post_quit(0);
        return false;
    }
    if (key == u"Settings") {
        add_menu_item(items, u"Sort");
        if (ui::has_language_choice(context))
            add_menu_item(items, u"Language");
        if (ui::has_skin_choice(context))
            add_menu_item(items, u"Skin");
        add_menu_item(items, u"Cancel");
    } else if (key == u"Sort") {
        const auto mode = doc != nullptr ? doc->sorting() : data::SortMode::LastName;
        add_menu_item(items, u"SortByFirstname", checked_if(mode == data::SortMode::FirstName));
        add_menu_item(items, u"SortByLastname", checked_if(mode == data::SortMode::LastName));
        add_menu_item(items, u"SortByCompany", checked_if(mode == data::SortMode::Company));
        add_menu_item(items, u"Cancel");
    } else if (key == u"SortByFirstname" || key == u"SortByLastname" || key == u"SortByCompany") {
        if (doc != nullptr)
            doc->set_sorting(key == u"SortByFirstname" ? 0 : key == u"SortByLastname" ? 1 : 2);
    } else if (key.starts_with(u"Language")) {
        std::string refusal;
        if (ui::language_menu(m_skin, context, key, items, u"MenuElement", &refusal))
            m_keyboard.set_text({});
        else if (!refusal.empty())
            show_notice(u"skinLanguageDamaged",
                        WString(key.substr(WStringView(u"Language#").size())) + u".lng");
    } else if (key.starts_with(u"Skin")) {
        std::string refusal;
        ui::skin_menu(m_skin, context, key, items, u"MenuElement", &refusal);
        if (!refusal.empty())
            show_notice(u"skinSkinRefused",
                        skin_display_name(m_skin, key.substr(WStringView(u"Skin#").size())));
    } else if (key == u"skinBackToCall") {
        m_call->back_to_call();
    } else if (key == u"RecentClickKnownContact") {
        add_menu_item(items, u"OpenContact");
        add_menu_item(items, u"SendSMS");
        add_menu_item(items, u"Cancel");
    } else if (key == u"RecentClickUnknownContact") {
        if (m_selected_call)
            m_pending_number = m_selected_call->call.number;
        add_menu_item(items, u"Add2NewContact");
        if (doc != nullptr && !doc->all_contacts().empty())
            add_menu_item(items, u"Add2Existing");
        add_menu_item(items, u"SendSMS");
        add_menu_item(items, u"Cancel");
    } else if (key == u"OpenContact") {
        data::ContactEntry* contact =
            doc != nullptr && m_selected_call ? doc->find_contact(m_selected_call->oid) : nullptr;
        if (contact != nullptr)
            open_contact(*contact);
    } else if (key == u"SendSMS") {
        // The other program takes the window's place: the menu goes first,
        // as its closing runs on frames a window in the background no longer
        // gets; left half-closed it would cover the list and take the next tap.
        if (m_selected_call)
            m_after_menu = [number = m_selected_call->call.number] {
                if (auto* phones = phone::PhoneManager::instance())
                    phones->open_sms_chat(number);
            };
    } else if (key == u"NewOrUpdateContact" || key == u"PhoneToContact") {
        add_menu_item(items, u"Add2NewContact");
        add_menu_item(items, u"Add2Existing");
        add_menu_item(items, u"Cancel");
    } else if (key == u"Add2NewContact") {
        m_select_field.show(nullptr, *this, FieldChoice::PhonesOnly);
    } else if (key == u"Add2Existing") {
        if (doc != nullptr)
            doc->set_filtered_contacts();
        m_picker->show();
    } else if (key == u"NewContact") {
        new_contact();
    } else if (key == u"Categories") {
        const WString current = doc != nullptr ? doc->category() : WString(data::k_no_category);
        add_menu_item(items, data::k_no_category, checked_if(current == data::k_no_category));
        if (doc != nullptr)
            for (const WString& name : doc->categories())
                add_menu_item(items, name, checked_if(current == name));
        add_menu_item(items, u"skinReturn");
        m_category_choice = true;
    } else if (key == u"About") {
        m_about.show();
    } else if (key == u"Help") {
        // The page of the current language, opened as a document once the
        // menu is gone (as for "SendSMS").
        m_after_menu = [page = u"%app_path%/" + m_skin.translate(u"Help_link")] {
            if (auto* phones = phone::PhoneManager::instance())
                phones->execute_file(page, u"");
        };
    } else if (key == u"Minimize") {
        runtime::log() << platform::tick_count() << u" MENU MINIMIZE\n";
        if (auto* host = form_host())
            host->minimize_window();
    }
    return true;
}

} // namespace telvara::forms
