// Numbers and codes from users and the network never become commands.
#include "platform/modem/modem.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace telvara::platform::modem {
namespace {

using std::nullopt;

TEST(DialString, KeepsDialCharactersAndRefusesWhatCouldEndTheCommand) {
    // clang-format off
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"+49 (30) 123-45.67/8", "+493012345678"}, {"*31#0301234", "*31#0301234"},
        {"0301234,,99p1w2", "0301234,,99p1w2"}, {"12P3W", "12p3w"}, {"ABCD", "ABCD"},
        {"123;ATH", nullopt}, {"123\";", nullopt}, {"$(reboot)", nullopt}, {"123\r\nATH", nullopt},
        {"123\n", nullopt}, {"12`id`", nullopt}, {"12'3", nullopt}, {"1 2 3 ; 4", nullopt},
        {"12E3", nullopt}, {"12\t3", nullopt}, {"12+3", nullopt}, {"+", nullopt}, {"", nullopt},
        {"   ", nullopt}, {std::string(70, '0'), nullopt}, {std::string("12\0" "3", 4), nullopt},
    };
    // clang-format on
    for (const auto& [text, dialled] : cases)
        EXPECT_EQ(dial_string(text), dialled) << text;
}

TEST(ToneServiceAndPinStrings, AcceptOnlyTheirAlphabet) {
    EXPECT_EQ(tone_string("0123456789*#ABCD"), "0123456789*#ABCD");
    EXPECT_EQ(service_string("**21*+4912#"), "**21*+4912#");
    for (const char* bad : {"1;2", "", "p"})
        EXPECT_FALSE(tone_string(bad)) << bad;
    for (const char* bad : {"*100#\",1\r\nATD1;", "\"*100#\"", ""})
        EXPECT_FALSE(service_string(bad)) << bad;
    EXPECT_EQ(pin_string("1234"), "1234");
    EXPECT_EQ(pin_string("12345678"), "12345678");
    for (const char* bad : {"", "123", "123456789", "12 34", "12a4", "1234\"", "+1234", "１２３４"})
        EXPECT_FALSE(pin_string(bad).has_value()) << bad;
}

TEST(CleanNumber, DropsPausesAndWaitsOfADialString) {
    EXPECT_EQ(clean_number("0301234,,99p1w2"), "03012349912");
    EXPECT_EQ(clean_number("+*31#ABCD"), "+*31#ABCD");
    EXPECT_EQ(clean_number(""), "");
}

TEST(ReportedNumber, IsANumberWholeOrNone) {
    const std::string digits64(64, '1');
    // clang-format off
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"", ""}, {"0301234", "0301234"}, {"+49 (30) 12-34.5/6", "+4930123456"},
        {"*31#ABCD", "*31#ABCD"}, {digits64, digits64},
        {"+" + digits64.substr(1), "+" + digits64.substr(1)}, {digits64 + "1", nullopt},
        {std::string(3000, '5'), nullopt}, {"+", nullopt}, {" + ", nullopt},
        {"12+34", nullopt}, {"++12", nullopt}, {"+49 30 12\"34;$(x)", nullopt},
        {"0301p2", nullopt}, // a pause is the caller's to dial, not to report
        {"abcd", nullopt}, {"12E3", nullopt}, {"030\r\n1", nullopt},
        {std::string("03") + '\0' + "1", nullopt}, {"03\t01", nullopt},
        {"\xEF\xBC\x91\xEF\xBC\x92", nullopt}, // full-width digits
    };
    // clang-format on
    for (const auto& [reported, number] : cases)
        EXPECT_EQ(reported_number(reported), number) << "\"" << reported.substr(0, 70) << "\"";
}

} // namespace
} // namespace telvara::platform::modem
