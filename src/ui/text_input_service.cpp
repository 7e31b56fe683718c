// The focus bookkeeping of the text-input service and the filtering of typed
// text and keys on their way to the focused field.
#include "ui/text_input_service.h"

#include "ui/key_names.h"

namespace telvara::ui {

namespace {

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Keys that produce characters through the text input as well: while a
// field is focused they belong to it, not to the buttons bound to them.
bool is_typing_key(std::int32_t code) {
    constexpr std::int32_t kSpace = 10;
    constexpr std::int32_t kPlus = 65;
    constexpr std::int32_t kDivide = 68;
    return code == kSpace || (code >= key::A && code <= key::Hash) ||
           (code >= kPlus && code <= kDivide);
}

} // namespace

TextInputService& TextInputService::instance() {
    static TextInputService service;
    return service;
}

void TextInputService::set_backend(TextInputBackend* backend) {
    if (backend == m_backend)
        return;
    if (m_backend && m_focused)
        m_backend->stop_text_input();
    m_backend = backend;
    if (m_backend && m_focused)
        m_backend->start_text_input(m_focused->input_area());
}

void TextInputService::focus(TextInputClient& client) {
    if (m_focused == &client)
        return;
    TextInputClient* previous = m_focused;
    m_focused = &client;
    m_pending_high = 0;
    if (previous)
        previous->on_input_focus(false);
    if (m_backend) {
        if (previous)
            m_backend->update_text_input(client.input_area());
        else
            m_backend->start_text_input(client.input_area());
    }
    client.on_input_focus(true);
}

void TextInputService::drop_focus() {
    TextInputClient* previous = m_focused;
    if (!previous)
        return;
    m_focused = nullptr;
    m_pending_high = 0;
    if (m_backend)
        m_backend->stop_text_input();
    previous->on_input_focus(false);
}

void TextInputService::release(TextInputClient& client) {
    if (m_focused == &client)
        drop_focus();
}

void TextInputService::update(TextInputClient& client) {
    if (m_focused == &client && m_backend)
        m_backend->update_text_input(client.input_area());
}

void TextInputService::on_text_input(WStringView text) {
    if (!m_focused)
        return;
    WString clean;
    clean.reserve(text.size() + 1);
    for (const char16_t unit : text) {
        if (m_pending_high) {
            const char16_t high = m_pending_high;
            m_pending_high = 0;
            if (is_low_surrogate(unit)) {
                clean.push_back(high);
                clean.push_back(unit);
                continue;
            }
            // The high half had no partner: it is dropped.
        }
        if (is_high_surrogate(unit)) {
            m_pending_high = unit;
            continue;
        }
        if (unit < 0x20 || unit == 0x7F || is_low_surrogate(unit))
            continue; // control characters and stray halves
        clean.push_back(unit);
    }
    if (!clean.empty())
        m_focused->insert_text(clean);
}

bool TextInputService::on_key(const KeyEvent& event) {
    if (!m_focused)
        return false;
    if (m_focused->on_input_key(event))
        return true;
    return is_typing_key(event.code);
}

} // namespace telvara::ui
