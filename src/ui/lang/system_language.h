#pragma once
// The user's language as a language-file base name ("english", "russian").
//
// The names come from the table of primary language identifiers that Windows
// numbers (9 English, 25 Russian, ...), each with its ISO 639-1 code. On
// Linux the identifier is found through the code of the user's locale: the
// first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, read as
// language[_territory][.codeset][@modifier]; its language part is looked up
// by code ("ru_RU.UTF-8" -> "ru" -> 25 -> "russian"). "C", "POSIX", an unset
// locale or a code the table lacks give the empty name. Legacy codes "iw"
// (Hebrew) and "in" (Indonesian) and the Norwegian "nb"/"nn" are accepted;
// Serbian, which Windows files under the Croatian slot, is not mapped.
// Names are lower case, as the language files are named.

#include "platform/text.h"

#include <string_view>

namespace telvara::ui {

// The name for a primary language identifier (the low 10 bits of a Windows
// language identifier); empty for an empty slot or an identifier of 98 or more.
WString language_name_for_id(unsigned primary_language);

// The name for a locale text such as "de_AT.UTF-8@euro"; empty when unknown.
WString language_name_for_locale(std::string_view locale);

// The name for the current user's locale (environment, see above).
WString system_language_name();

} // namespace telvara::ui
