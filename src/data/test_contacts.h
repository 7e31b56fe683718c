#pragma once
// Generated contacts for demos, the "AddContacts" menu command, tests and
// benchmarks: English and Russian names, phone numbers, companies, and for
// some of them e-mail, addresses, birthdays and categories. The same index
// always gives the same contact.

#include "data/contact_record.h"

#include <cstddef>

namespace telvara::data {

// The index-th generated contact (oid 0). Every one carries the erase marker
// "##F" in its Suffix so that the partial erase removes exactly these.
ContactRecord make_test_contact(std::size_t index);

// The category names the generated contacts use, as a folder category text.
WStringView test_contact_categories();

} // namespace telvara::data
