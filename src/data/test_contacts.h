#pragma once
// Generated contacts for demos, the "AddContacts" menu command, tests and
// benchmarks: English and Russian names, phone numbers, companies, and for
// some of them e-mail, addresses, birthdays and categories. The same index
// always gives the same contact.

#include "data/contact_record.h"

#include <cstddef>
#include <vector>

namespace telvara::data {

// The index-th generated contact (oid 0). Every one carries the erase marker
// "##F" in its Suffix so that the partial erase removes exactly these.
ContactRecord make_test_contact(std::size_t index);

// PNG image bytes of the index-th generated contact's photo, or nothing: about
// one contact in four has one, a flat-colour silhouette on a coloured ground.
std::vector<std::byte> make_test_contact_photo(std::size_t index);

// The category names the generated contacts use, as a folder category text.
WStringView test_contact_categories();

} // namespace telvara::data
