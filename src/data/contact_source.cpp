#include "data/contact_source.h"

#include "data/contact_store.h"

namespace telvara::data {

std::size_t StoreContactSource::load_contacts(std::vector<ContactRecord>& out) {
    return m_store->load_contacts(out);
}

std::size_t ContactSource::load_list(const std::function<void(const ContactRecord&)>& each) {
    std::vector<ContactRecord> all;
    load_contacts(all);
    for (const ContactRecord& record : all)
        each(record);
    return all.size();
}

std::size_t StoreContactSource::load_list(const std::function<void(const ContactRecord&)>& each) {
    return m_store->load_list(each);
}

std::size_t StoreContactSource::count_hint() {
    return m_store->largest_oid();
}

bool StoreContactSource::read_contact(ContactRecord& record) {
    return m_store->read_contact(record);
}

void StoreContactSource::load_categories(std::vector<WString>& out) {
    m_store->load_categories(out);
}

} // namespace telvara::data
