// The number of a tel: or callto: link, as the keypad gets it.
#include "phone/call_link.h"
#include <gtest/gtest.h>
#include <optional>

namespace telvara::phone {
namespace {

struct LinkCase {
    const char16_t* link;
    std::optional<WString> number;
};

TEST(CallLink, NumberAsTypedOnTheKeypad) {
    // clang-format off
    const LinkCase cases[] = {
        {u"tel:+49301234567", u"+49301234567"},
        // Visual separators and blanks; escapes ("%2B" '+', "%20" blank, "%23" '#'); parameters.
        {u"tel:+49-30-123.45(67)", u"+49301234567"}, {u"tel:+49 30 1234567", u"+49301234567"},
        {u"tel:%2B49%2030%201234567", u"+49301234567"}, {u"tel:*100%23", u"*100#"},
        {u"tel:%2b49", u"+49"}, {u"tel:7042;phone-context=example.com", u"7042"},
        {u"tel:863-1234;phone-context=+1-914-555", u"8631234"}, {u"tel:123%3B456", u"123456"},
        {u"tel:+1-201-555-0123;ext=1234", u"+12015550123"},
        // '+' only in front; bad escapes lose the '%' only; letters and other scripts have no key.
        {u"tel:00+49", u"0049"}, {u"tel:++49", u"+49"}, {u"tel:12%4", u"124"},
        {u"tel:12%G0", u"120"}, {u"tel:1-800-FLOWERS", u"1800"}, {u"tel:\u0661\u0662", u""},
        // An escaped control character is decoded, and then is no key.
        {u"tel:1%0A2%30", u"120"},
        // The scheme in any case; callto: with and without "//"; no number still opens the keypad.
        {u"TEL:555", u"555"}, {u"Tel:555", u"555"}, {u"callto:+4930123", u"+4930123"},
        {u"callto://+4930123", u"+4930123"}, {u"CALLTO://030 123?video=on", u"030123"},
        {u"tel:", u""},
        // Not such a link.
        {u"open:+4930123", std::nullopt}, {u"recents", std::nullopt}, {u"te:555", std::nullopt},
        {u" tel:555", std::nullopt}, {u"", std::nullopt},
    };
    // clang-format on
    for (const LinkCase& c : cases)
        EXPECT_EQ(number_of_call_link(c.link), c.number) << to_utf8(c.link);
}

} // namespace
} // namespace telvara::phone
