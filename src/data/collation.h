#pragma once
// The sort order of contact names: a weight per character code below 4096
// (digits first, then other signs, the space, Latin letters with their
// accented forms beside them, Cyrillic in alphabet order, other scripts),
// code order above.

#include "platform/text.h"

#include <cstdint>

namespace telvara::data {

// Codes below 4096 weigh at most 8191; codes from 4096 on weigh 8192 + code,
// so they follow every table entry in code order.
std::uint32_t collation_weight(char16_t c);

// <0, 0 or >0; a prefix sorts before the longer text.
int collate(WStringView a, WStringView b);

} // namespace telvara::data
