// Character boundaries, the sentence capital and insertion for edit fields.
#include "ui/edit_text.h"

#include <algorithm>

namespace telvara::ui {

namespace {

bool is_high(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

std::size_t previous_boundary(WStringView text, std::size_t index) {
    index = std::min(index, text.size());
    if (index == 0)
        return 0;
    --index;
    if (index > 0 && is_low(text[index]) && is_high(text[index - 1]))
        --index;
    return index;
}

std::size_t next_boundary(WStringView text, std::size_t index) {
    if (index >= text.size())
        return text.size();
    ++index;
    if (index < text.size() && is_high(text[index - 1]) && is_low(text[index]))
        ++index;
    return index;
}

std::size_t character_count(WStringView text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i = next_boundary(text, i))
        ++count;
    return count;
}

bool capital_due(WStringView before) {
    const std::size_t n = before.size();
    if (n < 2 || before[n - 1] != u' ')
        return false;
    const char16_t mark = before[n - 2];
    return mark == u'.' || mark == u'!' || mark == u'?';
}

char16_t to_upper(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return char16_t(c - 0x20);
    if (c < 0xE0)
        return c;
    // Latin-1: à-þ except the division sign; ÿ has its capital far away.
    if (c <= 0xFE)
        return c == 0xF7 ? c : char16_t(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    // Latin Extended-A: capital and small alternate, the capital first,
    // except in the two stretches where the small letter is the odd one.
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) == 0 ? char16_t(c - 1) : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c; // dotless i, kra, 'n and long s keep their form
        return (c & 1) == 1 ? char16_t(c - 1) : c;
    }
    // Greek: final sigma takes the one capital sigma.
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x3B1 && c <= 0x3CB)
        return char16_t(c - 0x20);
    // Cyrillic.
    if (c >= 0x430 && c <= 0x44F)
        return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return char16_t(c - 0x50);
    return c;
}

std::size_t insert_typed(WString& text, std::size_t caret, WStringView typed,
                         Capitalize capitalize) {
    caret = std::min(caret, text.size());
    if (caret > 0 && caret < text.size() && is_high(text[caret - 1]) && is_low(text[caret]))
        ++caret; // never between the halves of a pair
    for (const char16_t unit : typed) {
        char16_t put = unit;
        if (capitalize == Capitalize::AfterSentence &&
            capital_due(WStringView(text).substr(0, caret)))
            put = to_upper(unit);
        text.insert(text.begin() + std::ptrdiff_t(caret), put);
        ++caret;
    }
    return caret;
}

} // namespace telvara::ui
