// Numbers and codes from users and the network never become commands.
#include "platform/modem/modem.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace telvara::platform::modem {
namespace {

TEST(DialString, KeepsDialCharactersAndDropsFormatting) {
    EXPECT_EQ(dial_string("+49 (30) 123-45.67/8"), "+493012345678");
    EXPECT_EQ(dial_string("*31#0301234"), "*31#0301234");
    EXPECT_EQ(dial_string("0301234,,99p1w2"), "0301234,,99p1w2");
    EXPECT_EQ(dial_string("12P3W"), "12p3w");
    EXPECT_EQ(dial_string("ABCD"), "ABCD");
}

TEST(DialString, RefusesWhatCouldEndTheCommand) {
    for (const char* bad :
         {"123;ATH", "123\";", "$(reboot)", "123\r\nATH", "123\n", "12`id`", "12'3", "1 2 3 ; 4",
          "12E3", "12\t3", "12+3", "+", "", "   ",
          "0123456789012345678901234567890123456789012345678901234567890123456789"}) {
        EXPECT_FALSE(dial_string(std::string_view(bad)).has_value()) << bad;
    }
    EXPECT_FALSE(dial_string(std::string_view("12\0"
                                              "3",
                                              4))
                     .has_value());
}

TEST(ToneAndServiceStrings, AcceptOnlyTheirAlphabet) {
    EXPECT_EQ(tone_string("0123456789*#ABCD"), "0123456789*#ABCD");
    EXPECT_FALSE(tone_string("1;2"));
    EXPECT_FALSE(tone_string(""));
    EXPECT_FALSE(tone_string("p"));
    EXPECT_EQ(service_string("*100#"), "*100#");
    EXPECT_EQ(service_string("**21*+4912#"), "**21*+4912#");
    EXPECT_FALSE(service_string("*100#\",1\r\nATD1;"));
    EXPECT_FALSE(service_string("\"*100#\""));
    EXPECT_FALSE(service_string(""));
}

TEST(CleanNumber, DropsPausesAndWaitsOfADialString) {
    EXPECT_EQ(clean_number("0301234,,99p1w2"), "03012349912");
    EXPECT_EQ(clean_number("+*31#ABCD"), "+*31#ABCD");
    EXPECT_EQ(clean_number(""), "");
}

TEST(ReportedNumber, IsANumberWholeOrNone) {
    const std::string digits64(64, '1');
    // clang-format off
    struct Case {
        std::string reported;
        std::optional<std::string> number;
    } cases[] = {
        {"", ""}, {"0301234", "0301234"}, {"+49 (30) 12-34.5/6", "+4930123456"},
        {"*31#ABCD", "*31#ABCD"}, {digits64, digits64},
        {"+" + digits64.substr(1), "+" + digits64.substr(1)}, {digits64 + "1", std::nullopt},
        {std::string(3000, '5'), std::nullopt}, {"+", std::nullopt}, {" + ", std::nullopt},
        {"12+34", std::nullopt}, {"++12", std::nullopt}, {"+49 30 12\"34;$(x)", std::nullopt},
        {"0301p2", std::nullopt}, // a pause is the caller's to dial, not to report
        {"abcd", std::nullopt}, {"12E3", std::nullopt}, {"030\r\n1", std::nullopt},
        {std::string("03") + '\0' + "1", std::nullopt},
        {"\xEF\xBC\x91\xEF\xBC\x92", std::nullopt}, // full-width digits
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(reported_number(c.reported), c.number)
            << "\"" << c.reported.substr(0, 70) << "\"";
    }
}

TEST(PinString, TakesFourToEightDigitsAndNothingElse) {
    EXPECT_EQ(pin_string("1234"), "1234");
    EXPECT_EQ(pin_string("12345678"), "12345678");
    for (const char* bad :
         {"", "123", "123456789", "12 34", "12a4", "1234\"", "+1234", "１２３４"}) {
        EXPECT_FALSE(pin_string(bad).has_value()) << bad;
    }
}

TEST(SignalBars, FollowTheRssiSteps) {
    std::pair<int, int> cases[] = {{0, 0},  {1, 0},  {2, 1},  {9, 1},   {10, 2},  {14, 2}, {15, 3},
                                   {19, 3}, {20, 4}, {31, 4}, {99, -1}, {32, -1}, {-1, -1}};
    for (auto [rssi, bars] : cases)
        EXPECT_EQ(signal_bars(rssi), bars) << rssi;
}

} // namespace
} // namespace telvara::platform::modem
