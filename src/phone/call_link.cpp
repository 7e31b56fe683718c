// Taking the number out of a "tel:" or "callto:" link.
#include "phone/call_link.h"

#include <array>

namespace telvara::phone {

namespace {

bool starts_with_scheme(WStringView text, WStringView scheme) {
    if (text.size() < scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
        if (c != scheme[i])
            return false;
    }
    return true;
}

int hex_value(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

std::optional<WString> number_of_call_link(WStringView link) {
    constexpr std::array<WStringView, 2> schemes{u"tel:", u"callto:"};
    WStringView rest;
    bool matched = false;
    for (WStringView scheme : schemes) {
        if (starts_with_scheme(link, scheme)) {
            rest = link.substr(scheme.size());
            matched = true;
            break;
        }
    }
    if (!matched)
        return std::nullopt;
    // "callto://NUMBER" is as common as "callto:NUMBER".
    if (rest.starts_with(u"//"))
        rest.remove_prefix(2);
    // Parameters follow the number; an escaped ';' is part of nothing either
    // and is dropped below, so cutting before decoding is enough.
    rest = rest.substr(0, rest.find_first_of(u";?"));

    WString number;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        char16_t c = rest[i];
        if (c == u'%' && i + 2 < rest.size() && hex_value(rest[i + 1]) >= 0 &&
            hex_value(rest[i + 2]) >= 0) {
            c = char16_t(hex_value(rest[i + 1]) * 16 + hex_value(rest[i + 2]));
            i += 2;
        }
        const bool keypad = (c >= u'0' && c <= u'9') || c == u'*' || c == u'#';
        // '+' means "international" only in front; elsewhere it is noise.
        if (keypad || (c == u'+' && number.empty()))
            number += c;
    }
    return number;
}

} // namespace telvara::phone
