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

} // namespace
} // namespace telvara::ui
