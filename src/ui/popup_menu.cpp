// The pop-up menu: binding to the skin, asking the provider, building the
// rows from skin elements, opening and closing with the panel's animation.
#include "ui/popup_menu.h"

#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/key_names.h"
#include "ui/menu_provider.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"
#include "ui/visibility_animation.h"

namespace telvara::ui {

namespace {

constexpr const char16_t* kSpecialButtons[] = {u"About", u"Help", u"Minimize", u"Exit"};

// A caption may be a text node itself or hold one.
void show_text(Node& node, const WString& text) {
    if (auto* label = dynamic_cast<TextNode*>(&node)) {
        label->set_text(text);
        return;
    }
    if (auto* button = dynamic_cast<ButtonNode*>(&node)) {
        button->set_text(text);
        return;
    }
    if (auto* label = dynamic_cast<TextNode*>(node.find(u"#text"))) {
        label->set_text(text);
        return;
    }
    for (std::size_t i = 0; i < node.child_count(); ++i)
        show_text(node.child(i), text);
}

bool animating(const Node& node) {
    const VisibilityAnimation* animation = node.visibility_animation();
    return animation && animation->is_running();
}

} // namespace

// --- MenuElement -------------------------------------------------------------------

void MenuElement::on_click(ButtonNode& button) {
    m_menu.choose_key(button.name());
}

// --- PopupMenu ---------------------------------------------------------------------

PopupMenu::PopupMenu(WString menu_name, WString element_name)
    : m_menu_name(std::move(menu_name)), m_element_name(std::move(element_name)) {
    set_visible(false);
}

void PopupMenu::bind(const Properties& skin) {
    m_panel = nullptr;
    m_caption = nullptr;
    m_list = nullptr;
    m_cancel = nullptr;
    m_state = MenuState::Closed;
    m_items.clear();
    if (!load_from_skin(skin, m_menu_name))
        throw vadode::NodeNotFoundInSkin(m_menu_name);
    m_skin = &skin;
    m_panel = find(u"panel");
    if (!m_panel)
        throw vadode::NodeNotFound(m_menu_name, u"panel");
    m_list = dynamic_cast<VirtualList*>(find(u"vlist"));
    if (!m_list)
        throw vadode::NodeNotFound(m_menu_name, u"vlist");
    m_caption = find(u"caption");
    m_cancel = dynamic_cast<ButtonNode*>(find(u"cancel"));
    if (m_cancel) {
        m_cancel->set_listener(this);
        // The skin's own caption for the button, else the language's.
        if (m_cancel->text().empty())
            m_cancel->set_text(skin.translate(kCancel));
    }
    m_panel->set_visible(false);
    if (m_caption)
        m_caption->set_visible(false);
    m_list->set_adapter(this);
    set_visible(false);
}

// --- Items -------------------------------------------------------------------------

void PopupMenu::add_item(ChoiceItem item) {
    m_incoming.push_back(std::move(item));
}

WString PopupMenu::item_text(std::size_t i) const {
    const ChoiceItem& item = m_items.at(i);
    if (!item.text.empty() || !m_skin)
        return item.text;
    return m_skin->translate(item.identifier);
}

WString PopupMenu::element_name_for(std::size_t i) const {
    const ChoiceItem& item = m_items.at(i);
    WString name = item.element.empty() ? m_element_name : item.element;
    if (!item.enabled)
        name += u"Disabled";
    return name;
}

void PopupMenu::set_caption(WString text) {
    if (!m_caption)
        return;
    if (text.empty()) {
        m_caption->set_visible(false);
        return;
    }
    show_text(*m_caption, text);
    m_caption->set_visible(true);
}

// --- ListAdapter ---------------------------------------------------------------------

std::unique_ptr<ListElement> PopupMenu::create_element() {
    return std::make_unique<MenuElement>(*this);
}

void PopupMenu::bind_element(ListElement& element, std::int32_t index) {
    const ChoiceItem& item = m_items.at(std::size_t(index));
    const WString name = element_name_for(std::size_t(index));
    if (element.content_name() != name || element.child_count() == 0) {
        try {
            if (!m_skin || !element.load_from_skin(*m_skin, name))
                throw vadode::NodeNotFoundInSkin(name);
        } catch (const std::exception& error) {
            // An item the skin cannot draw stays an empty row; the menu and
            // its other items go on working.
            runtime::log() << platform::tick_count() << u" PopupMenu " << m_menu_name
                           << u": skin [" << (m_skin ? m_skin->impl().path() : WString())
                           << u"] node {" << name << u"} cannot be built: "
                           << from_utf8(error.what()) << u"\n";
            while (element.child_count() > 0)
                element.remove_child(&element.child(element.child_count() - 1),
                                     element.child_count() - 1);
            element.set_content_name({});
            return;
        }
        element.set_content_name(name);
    }
    const bool magic = item.identifier == kMagicButtons;
    if (!magic) {
        if (auto* label = dynamic_cast<TextNode*>(element.find(u"#text")))
            label->set_text(item_text(std::size_t(index)));
    }
    if (Node* separator = element.find(u"separator"))
        separator->set_visible(item.separator);
    if (Node* checked = element.find(u"checked"))
        checked->set_visible(item.checked);
    auto* row = dynamic_cast<MenuElement*>(&element);
    bool missing = false;
    for (const char16_t* button_name : kSpecialButtons) {
        auto* button = dynamic_cast<ButtonNode*>(element.find(button_name));
        if (!button) {
            missing = true;
            continue;
        }
        button->set_listener(row);
    }
    if (row)
        row->m_buttons_missing = missing;
    // The special row's buttons take the pen themselves.
    element.set_handles_own_presses(magic);
}

void PopupMenu::element_clicked(VirtualList&, std::int32_t index) {
    choose(index);
}

// --- Opening and choosing -------------------------------------------------------------

bool PopupMenu::ask_provider(WStringView key) {
    m_incoming.clear();
    if (m_provider)
        m_provider->on_menu(*this, key, *this);
    if (m_incoming.empty())
        return false;
    m_items = std::move(m_incoming);
    m_incoming.clear();
    m_key = WString(key);
    show_items();
    return true;
}

void PopupMenu::show_items() {
    if (!m_list)
        return;
    m_list->clear_focus();
    m_list->set_selected_index(-1);
    m_list->data_changed();
    m_list->scroll_to_item(0);
    mark_layout();
}

bool PopupMenu::open(WStringView key) {
    if (!m_panel)
        return false;
    if (m_caption)
        m_caption->set_visible(false);
    if (!ask_provider(key)) {
        close();
        return false;
    }
    if (is_open())
        return true;
    set_visible(true);
    m_panel->set_visible_animated(true);
    m_state = animating(*m_panel) ? MenuState::Opening : MenuState::Open;
    return true;
}

void PopupMenu::choose(std::int32_t index) {
    if (index < 0 || std::size_t(index) >= m_items.size() || !is_open())
        return;
    if (!m_items[std::size_t(index)].enabled)
        return;
    const WString key = m_items[std::size_t(index)].identifier;
    choose_key(key);
}

void PopupMenu::choose_key(WStringView key) {
    if (!is_open())
        return;
    // Items for the key make a sub-menu in place; none make it a command.
    const WString chosen(key);
    if (!ask_provider(chosen))
        close();
}

void PopupMenu::cancel() {
    if (!is_open())
        return;
    m_incoming.clear();
    if (m_provider)
        m_provider->on_menu(*this, kCancel, *this);
    m_incoming.clear();
    close();
}

void PopupMenu::close() {
    if (!is_open() || !m_panel)
        return;
    m_panel->set_visible_animated(false);
    m_state = MenuState::Closing;
    if (!animating(*m_panel))
        finish_closing();
}

void PopupMenu::finish_closing() {
    m_state = MenuState::Closed;
    set_visible(false);
    if (m_provider)
        m_provider->on_menu_closed(*this);
}

void PopupMenu::on_click(ButtonNode& button) {
    if (&button == m_cancel)
        cancel();
}

// --- Node ------------------------------------------------------------------------------

void PopupMenu::remove_child(Node* child, std::size_t index) {
    // Any of the parts may sit below the removed child.
    m_panel = m_caption = nullptr;
    m_list = nullptr;
    m_cancel = nullptr;
    Node::remove_child(child, index);
}

void PopupMenu::tick(double seconds) {
    Node::tick(seconds);
    if (!m_panel)
        return;
    if (m_state == MenuState::Opening && !animating(*m_panel))
        m_state = MenuState::Open;
    else if (m_state == MenuState::Closing && !animating(*m_panel))
        finish_closing();
}

bool PopupMenu::on_touch(const PointerEvent& event) {
    if (!is_effectively_visible())
        return false;
    if (!is_open()) {
        // Closing: the menu still covers the screen and takes nothing through.
        return m_state != MenuState::Closed;
    }
    if (event.kind == PointerKind::Down)
        m_touch_outside = m_panel && !m_panel->hit_test({event.x, event.y});
    if (m_touch_outside) {
        // A tap beside the panel dismisses the menu.
        if (event.kind == PointerKind::Up && !event.cancelled) {
            m_touch_outside = false;
            cancel();
        }
        return true;
    }
    Node::on_touch(event);
    return true;
}

bool PopupMenu::on_key(const KeyEvent& event) {
    if (!is_open())
        return false;
    if (event.code == key::Esc) {
        if (event.pressed)
            cancel();
        return true;
    }
    if (m_list && m_list->on_key(event))
        return true;
    Node::on_key(event);
    // The open menu is modal: keys do not reach the screen below.
    return true;
}

} // namespace telvara::ui
