// The telephone line on the main screen: PIN prompt, service replies,
// network on the keypad, the call held back by a locked SIM.
#include "forms/line_prompts.h"

#include "forms/keyboard_container.h"
#include "phone/phone_manager.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <algorithm>
#include <utility>

namespace telvara::forms {

namespace {

namespace modem = platform::modem;

phone::Telephone* telephone() {
    return phone::Telephone::instance();
}

// Signal bars as block characters, lowest first.
WString bars(int count) {
    static constexpr char16_t kBars[] = u"\u2582\u2584\u2586\u2588";
    return WString(kBars, static_cast<std::size_t>(std::clamp(count, 0, 4)));
}

} // namespace

LinePrompts::LinePrompts() {
    m_document.follow();
    m_pin.set_unlocked_listener([this](const WString& number) {
        m_call_after_unlock = number;
        m_unlocked_at = platform::tick_count();
        try_call_after_unlock();
    });
}

void LinePrompts::bind(const ui::Properties& skin, KeyboardContainer& keypad) {
    m_skin = nullptr;
    m_network = nullptr;
    m_notice.bind(skin);
    m_panel.bind(skin);
    m_pin.bind(skin);
    if (keypad.root() != nullptr)
        m_network = dynamic_cast<ui::TextNode*>(keypad.root()->find(u"text_network"));
    m_skin = &skin;
    m_keypad_empty = keypad.text().empty();
    show_network();
}

void LinePrompts::set_scheduler(runtime::CActiveScheduler* scheduler) {
    m_pin.set_scheduler(scheduler);
}

void LinePrompts::on_keypad_text(const WString& text) {
    m_keypad_empty = text.empty();
    show_network();
}

WString LinePrompts::network_text() const {
    const phone::Telephone* line = telephone();
    if (line == nullptr || m_skin == nullptr)
        return {};
    const modem::NetworkState& network = line->network();
    switch (network.sim) {
    case modem::SimState::pin_required:
    case modem::SimState::puk_required:
        return m_skin->translate(u"skinSimLocked");
    case modem::SimState::absent:
        return m_skin->translate(u"skinNoSim");
    case modem::SimState::failed:
        return m_skin->translate(u"skinSimFailed");
    case modem::SimState::unknown:
    case modem::SimState::ready:
        break;
    }
    if (!line->line_open())
        return m_skin->translate(u"skinNoNetwork");
    switch (network.registration) {
    case modem::Registration::none:
    case modem::Registration::denied:
        return m_skin->translate(u"skinNoService");
    case modem::Registration::searching:
        return m_skin->translate(u"skinSearching");
    case modem::Registration::unknown:
    case modem::Registration::home:
    case modem::Registration::roaming:
        break;
    }
    WString text = from_utf8(network.operator_name);
    if (network.registration == modem::Registration::roaming)
        text += (text.empty() ? u"" : u" ") + m_skin->translate(u"skinRoaming");
    if (network.signal_bars >= 0)
        text += (text.empty() ? u"" : u"  ") + bars(network.signal_bars);
    return text;
}

void LinePrompts::show_network() {
    if (m_network == nullptr)
        return;
    m_network->set_text(network_text());
    const bool shown = m_keypad_empty && !m_network->text().empty();
    if (m_network->is_visible() != shown)
        m_network->set_visible(shown);
}

void LinePrompts::refresh() {
    show_network();
    phone::Telephone* line = telephone();
    if (line == nullptr)
        return;
    if (line->service_replies() != m_replies_seen) {
        m_replies_seen = line->service_replies();
        const phone::ServiceReply& reply = line->service_reply();
        const WString text = reply.failed ? m_skin->translate(u"skinServiceFailed") : reply.text;
        runtime::log() << platform::tick_count() << u" LinePrompts: service reply shown\n";
        // "Sending *100#…" is over: the answer is here.
        m_notice.hide();
        m_panel.show(u"skinServiceReply", text);
    }
    m_pin.on_line_changed();
    const modem::SimState sim = line->network().sim;
    if ((sim == modem::SimState::pin_required || sim == modem::SimState::puk_required) &&
        !m_pin.is_open() && !m_pin.dismissed())
        m_pin.show();
    try_call_after_unlock();
}

void LinePrompts::on_document_refresh(const data::RefreshMessage& message) {
    using data::RefreshFlag;
    if (message.has(RefreshFlag::LineChanged)) {
        refresh();
    } else if (message.has(RefreshFlag::CallEnded)) {
        // A call that a locked SIM kept from going out: ask for the code and
        // place the call afterwards.
        const phone::Telephone* line = telephone();
        if (line != nullptr && line->facts().last_end == phone::CallEnd::sim_locked &&
            line->facts().caller_number != u"skinUnknown")
            m_pin.show(line->facts().caller_number);
    }
}

void LinePrompts::try_call_after_unlock() {
    if (m_call_after_unlock.empty())
        return;
    const phone::Telephone* line = telephone();
    if (line == nullptr || platform::tick_count() - m_unlocked_at > kCallAfterUnlockMs) {
        m_call_after_unlock.clear();
        return;
    }
    const modem::NetworkState& network = line->network();
    // A modem that never says whether it is registered gets the benefit of
    // the doubt once the SIM is open.
    if (!network.registered() && !(network.sim == modem::SimState::ready &&
                                   network.registration == modem::Registration::unknown))
        return;
    const WString number = std::exchange(m_call_after_unlock, {});
    runtime::log() << platform::tick_count() << u" LinePrompts: the held-back call goes out\n";
    if (phone::PhoneManager* phones = phone::PhoneManager::instance())
        phones->call_number(number);
}

} // namespace telvara::forms
