#pragma once
// The contact store's watcher: a hidden message target on the UI thread whose
// timer looks for journaled changes and hands them on as PIM_ITEM_* messages.

#include "data/contact_store.h"
#include "platform/messages.h"

namespace telvara::data {

class ContactWatcher : public platform::MessageTarget {
  public:
    ContactWatcher(ContactStore& store, platform::TargetRef deliver_to, std::uint32_t interval_ms);
    ~ContactWatcher() override;

    std::intptr_t handle(platform::Message& message) override;

  private:
    ContactStore& m_store;
    platform::TargetRef m_deliver_to;
};

bool is_pim_item_message(std::uint32_t code);

} // namespace telvara::data
