// The contact card's field actions through the PhoneManager.
#include "forms/contact_card_actions.h"

#include "phone/phone_manager.h"

namespace telvara::forms {

namespace {

class PhoneFieldActions final : public FieldActions {
  public:
    void call(WStringView number) override {
        if (auto* phones = phone::PhoneManager::instance())
            phones->call_number(number);
    }
    void message(WStringView number) override {
        if (auto* phones = phone::PhoneManager::instance())
            phones->open_sms_chat(number);
    }
    void mail(WStringView address) override {
        if (auto* phones = phone::PhoneManager::instance())
            phones->send_mail(address);
    }
    void web(WStringView address) override {
        if (auto* phones = phone::PhoneManager::instance())
            phones->open_url(address);
    }
};

} // namespace

FieldActions& phone_field_actions() {
    // Stateless: one shared forwarder is enough.
    static PhoneFieldActions actions;
    return actions;
}

} // namespace telvara::forms
