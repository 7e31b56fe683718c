#pragma once
// The emergency shortcut of the Talk key: the digits typed anywhere in the
// program are remembered, and Talk dials an emergency number the typed digits
// end with, whatever screen is showing. Digits typed before a call began (one
// placed another way or an incoming one) are forgotten: they belonged to that
// call, and Talk then answers or dials as the screen means it to.

#include "platform/text.h"

#include <cstdint>
#include <vector>

namespace telvara::phone {

class PhoneManager;

enum class KeyAction { pressed, released };

class EmergencyShortcut {
  public:
    // The numbers of the "EmergencyNumbers" setting ("112" and "911" by
    // default), tried in order.
    explicit EmergencyShortcut(PhoneManager& manager);
    EmergencyShortcut(PhoneManager& manager, std::vector<WString> numbers);

    // Sees every key before the top form does (engine key codes). True when
    // the key was used up here (an emergency call was placed): the top form
    // must not get it.
    bool on_key(std::int32_t code, KeyAction action);

    // The digits typed since the last other key and the last call start.
    WString typed_digits() const;
    const std::vector<WString>& numbers() const { return m_numbers; }

  private:
    void forget_digits_of_earlier_calls();

    PhoneManager& m_manager;
    std::vector<WString> m_numbers;
    WString m_typed;
    std::uint64_t m_call_starts_seen = 0;
};

} // namespace telvara::phone
