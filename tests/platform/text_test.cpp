// Text conversions: what is not valid UTF-8 or UTF-16 becomes replacement characters.
#include "platform/text.h"

#include <gtest/gtest.h>

using namespace telvara;

TEST(Text, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(from_utf8("a\xFF"
                        "b"),
              u"a\uFFFDb");
    EXPECT_EQ(from_utf8("\xE2\x82"), u"\uFFFD\uFFFD");                // truncated sequence
    EXPECT_EQ(from_utf8("\xC0\x80"), u"\uFFFD\uFFFD");                // over-long NUL
    EXPECT_EQ(to_utf8(WString(1, char16_t(0xD800))), "\xEF\xBF\xBD"); // lone surrogate
}
