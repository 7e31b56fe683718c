// Typed digits and the Talk key's emergency numbers.
#include "phone/emergency.h"

#include "phone/phone_manager.h"
#include "phone/phone_settings.h"
#include "phone/telephone.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/key_names.h"

namespace telvara::phone {
namespace {

// Enough for any number a person types; older digits are not needed to
// recognise an emergency number at the end.
constexpr std::size_t k_max_typed = 64;

bool ends_with(WStringView text, WStringView tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

EmergencyShortcut::EmergencyShortcut(PhoneManager& manager)
    : EmergencyShortcut(manager, emergency_numbers()) {}

EmergencyShortcut::EmergencyShortcut(PhoneManager& manager, std::vector<WString> numbers)
    : m_manager(manager), m_numbers(std::move(numbers)), m_call_starts_seen(manager.call_starts()) {
}

WString EmergencyShortcut::typed_digits() const {
    return m_manager.call_starts() == m_call_starts_seen ? m_typed : WString();
}

void EmergencyShortcut::forget_digits_of_earlier_calls() {
    const std::uint64_t starts = m_manager.call_starts();
    if (starts == m_call_starts_seen)
        return;
    m_call_starts_seen = starts;
    m_typed.clear();
}

bool EmergencyShortcut::on_key(std::int32_t code, KeyAction action) {
    if (action != KeyAction::pressed)
        return false;
    forget_digits_of_earlier_calls();
    if (code == ui::key::CallMake) {
        runtime::log() << platform::tick_count() << u" try call " << m_typed << u"\n";
        for (const WString& number : m_numbers) {
            if (number.empty() || !ends_with(m_typed, number))
                continue;
            m_typed.clear();
            runtime::log() << platform::tick_count() << u" emergency call " << number << u"\n";
            m_manager.make_call(number, DialKind::emergency);
            return true;
        }
        return false;
    }
    if (code >= ui::key::Digit0 && code <= ui::key::Digit0 + 9) {
        if (m_typed.size() >= k_max_typed)
            m_typed.erase(0, m_typed.size() - k_max_typed + 1);
        m_typed.push_back(static_cast<char16_t>(u'0' + (code - ui::key::Digit0)));
        return false;
    }
    if (code > 0)
        m_typed.clear();
    return false;
}

} // namespace telvara::phone
