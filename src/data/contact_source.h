#pragma once
// What the Document needs of a contact store: every contact, one contact
// again after a change, and the folder's categories. The SQLite store serves
// it through StoreContactSource; tests feed records directly.

#include "data/contact_record.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace telvara::data {

class ContactStore;

class ContactSource {
  public:
    virtual ~ContactSource() = default;
    // Replaces the list with every contact; returns the count.
    virtual std::size_t load_contacts(std::vector<ContactRecord>& out) = 0;
    // Every contact by oid with at least its names, company, numbers and
    // categories (what the list and the search need); the record may be
    // reused between calls. Returns the count.
    virtual std::size_t load_list(const std::function<void(const ContactRecord&)>& each);
    // About how many contacts load_list will give (never far below), to
    // make room once; 0 when unknown.
    virtual std::size_t count_hint() { return 0; }
    // Reads the contact with record.oid; false when there is none.
    virtual bool read_contact(ContactRecord& record) = 0;
    // Replaces the list with the folder's categories.
    virtual void load_categories(std::vector<WString>& out) = 0;
};

class StoreContactSource final : public ContactSource {
  public:
    explicit StoreContactSource(ContactStore& store) : m_store(&store) {}
    std::size_t load_contacts(std::vector<ContactRecord>& out) override;
    std::size_t load_list(const std::function<void(const ContactRecord&)>& each) override;
    std::size_t count_hint() override;
    bool read_contact(ContactRecord& record) override;
    void load_categories(std::vector<WString>& out) override;

  private:
    ContactStore* m_store;
};

} // namespace telvara::data
