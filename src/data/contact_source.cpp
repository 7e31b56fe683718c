#include "data/contact_source.h"

#include "data/contact_store.h"

namespace telvara::data {

std::size_t StoreContactSource::load_contacts(std::vector<ContactRecord>& out) {
    return m_store->load_contacts(out);
}

bool StoreContactSource::read_contact(ContactRecord& record) {
    return m_store->read_contact(record);
}

void StoreContactSource::load_categories(std::vector<WString>& out) {
    m_store->load_categories(out);
}

} // namespace telvara::data
