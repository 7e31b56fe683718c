// The command-line options and the single-instance naming of the start-up.
#include "app/single_instance.h"
#include "app/startup.h"

#include <gtest/gtest.h>

#include <vector>

namespace telvara::app {
namespace {

ParsedOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "telvara");
    return parse_options(int(args.size()), args.data());
}

TEST(StartOptions, OptionsAndTheCommandLineWords) {
    const ParsedOptions parsed =
        parse({"--headless", "--script", "s.txt", "--screen", "480x640", "--dpi", "192", "--root",
               "/tmp/r", "--log", "open:", "+49 30"});
    ASSERT_EQ(parsed.error, "");
    const StartOptions& o = parsed.options;
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.script, "s.txt");
    EXPECT_EQ(o.screen.width, 480);
    EXPECT_EQ(o.screen.height, 640);
    EXPECT_EQ(o.screen.dpi, 192);
    EXPECT_EQ(o.root, "/tmp/r");
    EXPECT_TRUE(o.log);
    EXPECT_EQ(o.command_line, u"open: +49 30");
}

TEST(StartOptions, WordsAfterDoubleDashAreNeverOptions) {
    const ParsedOptions parsed = parse({"--", "--help", "recents"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_FALSE(parsed.options.help);
    EXPECT_EQ(parsed.options.command_line, u"--help recents");
    EXPECT_EQ(parse({}).options.command_line, u"");
}

TEST(StartOptions, BadLinesAreRefusedWithAReason) {
    EXPECT_NE(parse({"--script"}).error.find("--script needs a file"), std::string::npos);
    EXPECT_NE(parse({"--script", "s.txt"}).error.find("only with --headless"), std::string::npos);
    EXPECT_NE(parse({"--screen", "240"}).error.find("240x320"), std::string::npos);
    EXPECT_NE(parse({"--dpi", "0"}).error.find("--dpi"), std::string::npos);
    EXPECT_NE(parse({"--root", ""}).error.find("--root"), std::string::npos);
    EXPECT_NE(parse({"--colour"}).error.find("unknown option --colour"), std::string::npos);
}

TEST(SingleInstanceNaming, EmptyCommandLineTravelsAsAPlaceholder) {
    EXPECT_EQ(encode_command_line(u""), u"%CommandLineEmpty%");
    EXPECT_EQ(decode_command_line(encode_command_line(u"")), u"");
    EXPECT_EQ(encode_command_line(u"recents"), u"recents");
    EXPECT_EQ(decode_command_line(u"recents"), u"recents");
    const platform::Message message = command_line_message({}, u"ab");
    EXPECT_EQ(message.id, platform::WM_COPYDATA);
    EXPECT_EQ(message.data_id, 0u);
    EXPECT_EQ(message.data, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
}

TEST(SingleInstanceNaming, NamedAfterTheClassAndTheDeviceRoot) {
    EXPECT_EQ(window_class_name(u"Telvara"), u"RezuvirClass_Telvara");
    const std::string a = instance_name(u"RezuvirClass_Telvara", "/home/u/.local/share/telvara");
    const std::string b = instance_name(u"RezuvirClass_Telvara", "/tmp/test-root");
    EXPECT_EQ(a.rfind("RezuvirClass_Telvara-", 0), 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, instance_name(u"RezuvirClass_Telvara", "/home/u/.local/share/telvara"));
}

} // namespace
} // namespace telvara::app
