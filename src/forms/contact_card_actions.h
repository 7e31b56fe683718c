#pragma once
// What a contact card does with a field it is asked to act on: call or text
// a number, write to an address, open a web page. The application hands
// these to the PhoneManager; tests record them.

#include "platform/text.h"

namespace telvara::forms {

class FieldActions {
  public:
    virtual void call(WStringView number) = 0;
    virtual void message(WStringView number) = 0;
    virtual void mail(WStringView address) = 0;
    virtual void web(WStringView address) = 0;

  protected:
    ~FieldActions() = default;
};

// Through phone::PhoneManager::instance(); nothing happens without one.
FieldActions& phone_field_actions();

} // namespace telvara::forms
