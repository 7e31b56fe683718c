// The dialer keypad: binding to its skin nodes, the typed number, clicks and
// the long press that turns a held key into "+", blank, "*" or a cleared text.
#include "forms/keyboard_container.h"

#include "forms/required_node.h"

#include "data/document.h"
#include "data/key_map.h"
#include "data/text_case.h"
#include "ui/edit_text.h"
#include "ui/node.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

namespace telvara::forms {

namespace {

constexpr WStringView kRootName = u"KeyboardContainer";

bool shows(WStringView letters, char16_t capital) {
    return letters.find(capital) != WStringView::npos;
}

// Adds the language's letters to every digit key's letters text.
void show_language_letters(ui::Node& root, const data::KeyMap& key_map, WStringView alphabet) {
    for (char16_t digit = u'0'; digit <= u'9'; ++digit) {
        const WString name = u"button" + WString(1, digit) + u"_letters";
        auto* text = dynamic_cast<ui::TextNode*>(root.find(name));
        if (text == nullptr)
            continue;
        const WString letters = key_letters(text->text(), key_map.text_of(digit), alphabet);
        if (letters != text->text())
            text->set_text(letters);
    }
}

} // namespace

WString key_letters(WStringView skin_letters, WStringView key_text, WStringView alphabet) {
    WString added;
    for (const char16_t letter : alphabet) {
        const char16_t lower = data::to_lower(letter);
        const char16_t capital = ui::to_upper(lower);
        if (key_text.find(lower) == WStringView::npos || shows(skin_letters, capital) ||
            shows(added, capital))
            continue;
        added.push_back(capital);
    }
    if (added.empty())
        return WString(skin_letters);
    if (skin_letters.empty())
        return added;
    return WString(skin_letters) + u" " + added;
}

KeyboardContainer::KeyboardContainer(SwitchVisibility mode) : m_mode(mode) {}

KeyboardContainer::~KeyboardContainer() {
    stop_long_press();
    release_buttons();
}

void KeyboardContainer::set_scheduler(runtime::CActiveScheduler* scheduler) {
    if (scheduler == m_scheduler)
        return;
    stop_long_press();
    m_scheduler = scheduler;
}

void KeyboardContainer::unbind() {
    stop_long_press();
    m_listener = nullptr;
    m_root = nullptr;
    m_digits.fill(nullptr);
    m_backspace = m_hash = m_call = m_close = nullptr;
    m_text_node = nullptr;
}

void KeyboardContainer::bind(ui::Node& host, KeyboardListener& listener, const ui::Properties* skin,
                             const data::KeyMap* key_map) {
    // The old nodes may have died with a reloaded skin: forget them first, so
    // that a failed lookup below leaves nothing dangling either.
    unbind();
    m_text.clear();

    ui::Node& root = required<ui::Node>(host, kRootName);
    std::array<ui::ButtonNode*, 10> digits{};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const WString name = u"button" + WString(1, char16_t(u'0' + i));
        digits[i] = &required<ui::ButtonNode>(root, name);
    }
    ui::ButtonNode& backspace = required<ui::ButtonNode>(root, u"button_backspace");
    ui::ButtonNode& hash = required<ui::ButtonNode>(root, u"button_hash");
    ui::ButtonNode& call = required<ui::ButtonNode>(root, u"button_call");
    ui::ButtonNode& close = required<ui::ButtonNode>(root, u"button_close");
    ui::TextNode& text = required<ui::TextNode>(root, u"text_button_call");

    m_root = &root;
    m_digits = digits;
    m_backspace = &backspace;
    m_hash = &hash;
    m_call = &call;
    m_close = &close;
    m_text_node = &text;
    m_listener = &listener;
    for (ui::ButtonNode* button : m_digits)
        button->set_listener(this);
    for (ui::ButtonNode* button : {m_backspace, m_hash, m_call, m_close})
        button->set_listener(this);

    if (key_map == nullptr) {
        if (const data::Document* document = data::Document::instance())
            key_map = &document->key_map();
    }
    if (skin != nullptr && key_map != nullptr) {
        // A language without an alphabet of its own keeps the skin's letters.
        const WString alphabet = skin->translate(kAlphabetKey);
        if (alphabet != kAlphabetKey)
            show_language_letters(*m_root, *key_map, alphabet);
    }

    // Closed and empty, whatever the skin shows.
    m_text_node->set_text({});
    m_backspace->set_visible(false);
    m_close->set_visible(true);
    m_root->set_visible(false);
}

void KeyboardContainer::release_buttons() {
    for (ui::ButtonNode* button : m_digits) {
        if (button && button->listener() == this)
            button->set_listener(nullptr);
    }
    for (ui::ButtonNode* button : {m_backspace, m_hash, m_call, m_close}) {
        if (button && button->listener() == this)
            button->set_listener(nullptr);
    }
}

bool KeyboardContainer::is_open() const {
    return m_root && m_root->is_visible();
}

void KeyboardContainer::show(CallButton call_button) {
    if (!m_root)
        return;
    m_call->set_visible(call_button == CallButton::Shown);
    show_edit_buttons();
    m_root->set_visible_animated(true);
}

void KeyboardContainer::hide(Animate animate) {
    if (!is_open())
        return;
    stop_long_press();
    set_text({});
    if (animate == Animate::Yes)
        m_root->set_visible_animated(false);
    else
        m_root->set_visible(false);
    if (m_listener)
        m_listener->on_keyboard_closed();
}

void KeyboardContainer::set_masked(bool masked) {
    m_masked = masked;
    if (m_text_node)
        m_text_node->set_text(m_masked ? WString(m_text.size(), u'\u2022') : m_text);
}

void KeyboardContainer::set_text(WString text) {
    m_text = std::move(text);
    if (m_text_node)
        m_text_node->set_text(m_masked ? WString(m_text.size(), u'\u2022') : m_text);
    show_edit_buttons();
    if (m_listener) {
        // A copy: the listener may set the text again while it looks at it.
        const WString reported = m_text;
        m_listener->on_keyboard_text(reported);
    }
}

void KeyboardContainer::show_edit_buttons() {
    if (m_mode != SwitchVisibility::Yes || !m_root)
        return;
    m_backspace->set_visible(!m_text.empty());
    m_close->set_visible(m_text.empty());
}

void KeyboardContainer::append(char16_t character) {
    set_text(m_text + character);
}

void KeyboardContainer::on_click(ui::ButtonNode& button) {
    stop_long_press();
    for (std::size_t i = 0; i < m_digits.size(); ++i) {
        if (&button == m_digits[i]) {
            append(char16_t(u'0' + i));
            return;
        }
    }
    if (&button == m_hash) {
        append(u'#');
    } else if (&button == m_backspace) {
        if (!m_text.empty())
            set_text(m_text.substr(0, m_text.size() - 1));
    } else if (&button == m_call) {
        if (m_listener) {
            const WString number = m_text;
            m_listener->on_keyboard_call(number);
        }
    } else if (&button == m_close) {
        hide(Animate::Yes);
    }
    // Any other sender is a button of a tree this keypad no longer uses.
}

bool KeyboardContainer::has_long_press(const ui::ButtonNode& button) const {
    return &button == m_digits[0] || &button == m_digits[1] || &button == m_hash ||
           &button == m_backspace;
}

void KeyboardContainer::on_button_press(ui::ButtonNode& button, bool pressed, ui::Point) {
    if (!m_root)
        return;
    if (pressed) {
        if (!m_scheduler || !has_long_press(button))
            return;
        m_held = &button;
        // Restarts the timer when another key was still waiting.
        m_scheduler->after(m_timer, long_press_seconds);
    } else if (&button == m_held) {
        stop_long_press();
    }
}

void KeyboardContainer::stop_long_press() {
    m_held = nullptr;
    if (m_scheduler)
        m_scheduler->cancel(m_timer);
}

void KeyboardContainer::expire_long_press() {
    if (m_held && m_scheduler)
        m_scheduler->run_now(m_timer);
}

void KeyboardContainer::long_press() {
    ui::ButtonNode* button = m_held;
    m_held = nullptr;
    if (!button)
        return;
    // The press is taken over: letting go must not click as well.
    button->cancel_press();
    if (button == m_backspace)
        set_text({});
    else if (button == m_digits[0])
        append(u'+');
    else if (button == m_digits[1])
        append(u' ');
    else if (button == m_hash)
        append(u'*');
}

} // namespace telvara::forms
