// The key-name table: codes and names both ways, exact matching.
#include "ui/key_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace telvara::ui {
namespace {

TEST(KeyNames, EveryCodeRoundTripsThroughItsUniqueName) {
    std::set<std::string_view> seen;
    for (std::int32_t code = 0; code < kKeyCodeCount; ++code) {
        const std::string_view name = key_name(code);
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
        EXPECT_EQ(key_code(name), code) << name;
    }
}

TEST(KeyNames, FixedCodesOfTheTable) {
    EXPECT_EQ(key_code("None"), 0);
    EXPECT_EQ(key_code("Left"), key::Left);
    EXPECT_EQ(key_code("Backspace"), key::Backspace);
    EXPECT_EQ(key_code("ContextMenu"), 19);
    EXPECT_EQ(key_code("A"), 20);
    EXPECT_EQ(key_code("Z"), 45);
    EXPECT_EQ(key_code("*"), key::Star);
    EXPECT_EQ(key_code("#"), key::Hash);
    EXPECT_EQ(key_code("CALL_MAKE"), key::CallMake);
    EXPECT_EQ(key_code("SOFT_LEFT"), 61);
    EXPECT_EQ(key_code("/"), 68);
    for (int digit = 0; digit <= 9; ++digit)
        EXPECT_EQ(key_code(std::to_string(digit)), key::Digit0 + digit);
}

TEST(KeyNames, MatchingIsExactAndCaseSensitive) {
    EXPECT_EQ(key_code("soft_left"), std::nullopt);
    EXPECT_EQ(key_code("Left "), std::nullopt);
    EXPECT_EQ(key_code(""), std::nullopt);
    EXPECT_EQ(key_code("10"), std::nullopt);
    EXPECT_EQ(key_code(u"CALL_END"), key::CallEnd);
    EXPECT_EQ(key_code(u"Ле"), std::nullopt);
}

TEST(KeyNames, CodesOutsideTheTableHaveNoName) {
    EXPECT_TRUE(key_name(-1).empty());
    EXPECT_TRUE(key_name(kKeyCodeCount).empty());
    EXPECT_EQ(key_name(kKeyCodeCount - 1), "/");
}

} // namespace
} // namespace telvara::ui
