#pragma once
// Lower-casing of wide text for sorting and searching: one fixed table for
// the Latin, Greek, Cyrillic, Armenian and Georgian letters, independent of
// the process locale so that every machine sorts and filters alike.

#include "platform/text.h"

namespace telvara::data {

char16_t to_lower(char16_t c);
WString to_lower(WStringView text);
// Appends the lower-cased text to out (no allocation once out has room).
void append_lower(WStringView text, WString& out);

} // namespace telvara::data
