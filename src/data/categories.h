#pragma once
// Categories: splitting a category text ("Friends, Work;Family") into names
// and the test whether a contact belongs to the current category.

#include "data/contact_record.h"

#include <vector>

namespace telvara::data {

// The current category that means "no restriction"; also a language key.
inline constexpr char16_t k_no_category[] = u"skinNoCategory";

// Pieces between "," and ";"; one leading space of a piece is dropped;
// pieces before a separator are kept even when empty, the rest after the
// last separator only when not empty.
std::vector<WString> split_categories(WStringView text);

// Does any piece of the text equal name exactly (case-sensitive)?
bool category_text_has(WStringView text, WStringView name);

// Every contact is a member of "skinNoCategory"; otherwise a piece of one of
// its Categories fields must equal the category.
bool in_category(const ContactRecord& record, WStringView category);

} // namespace telvara::data
