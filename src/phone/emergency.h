#pragma once
// The emergency shortcut of the Talk key: the digits typed anywhere in the
// program are remembered, and Talk dials an emergency number the typed digits
// end with, whatever screen is showing.

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

    const WString& typed_digits() const { return m_typed; }
    const std::vector<WString>& numbers() const { return m_numbers; }

  private:
    PhoneManager& m_manager;
    std::vector<WString> m_numbers;
    WString m_typed;
};

} // namespace telvara::phone
