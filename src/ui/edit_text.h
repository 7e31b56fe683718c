#pragma once
// The pure half of text editing: character boundaries in UTF-16 (a surrogate
// pair is one character), the automatic capital after the end of a sentence,
// and inserting typed text at a caret.

#include "platform/text.h"

#include <cstddef>

namespace telvara::ui {

// The start of the character that ends at `index` (0 stays 0).
std::size_t previous_boundary(WStringView text, std::size_t index);
// The end of the character that starts at `index` (the end stays the end).
std::size_t next_boundary(WStringView text, std::size_t index);
// Characters, a surrogate pair counted once.
std::size_t character_count(WStringView text);

// A capital is due for text typed after `before`: it ends with ".", "!" or
// "?" followed by one blank.
bool capital_due(WStringView before);

// The capital of a letter of the Latin, Greek and Cyrillic alphabets; any
// other unit comes back unchanged.
char16_t to_upper(char16_t unit);

enum class Capitalize { Off, AfterSentence };

// Inserts `typed` into `text` at `caret` (clamped, moved off the middle of a
// surrogate pair) and returns the caret after it. With AfterSentence every
// typed letter that follows ". ", "! " or "? " becomes a capital.
std::size_t insert_typed(WString& text, std::size_t caret, WStringView typed,
                         Capitalize capitalize);

} // namespace telvara::ui
