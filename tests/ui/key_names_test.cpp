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
    EXPECT_TRUE(key_name(-1).empty());
    EXPECT_TRUE(key_name(kKeyCodeCount).empty());
}

TEST(KeyNames, FixedCodesAndExactCaseSensitiveMatching) {
    const std::pair<const char*, std::int32_t> codes[] = {{"None", 0},
                                                          {"Left", key::Left},
                                                          {"Backspace", key::Backspace},
                                                          {"ContextMenu", 19},
                                                          {"A", 20},
                                                          {"Z", 45},
                                                          {"*", key::Star},
                                                          {"#", key::Hash},
                                                          {"CALL_MAKE", key::CallMake},
                                                          {"SOFT_LEFT", 61},
                                                          {"/", 68}};
    for (const auto& [name, code] : codes)
        EXPECT_EQ(key_code(name), code) << name;
    for (int digit = 0; digit <= 9; ++digit)
        EXPECT_EQ(key_code(std::to_string(digit)), key::Digit0 + digit);
    EXPECT_EQ(key_code(u"CALL_END"), key::CallEnd);
    for (const char* name : {"soft_left", "Left ", "", "10"})
        EXPECT_EQ(key_code(name), std::nullopt) << name;
    EXPECT_EQ(key_code(u"Ле"), std::nullopt);
}

} // namespace
} // namespace telvara::ui
