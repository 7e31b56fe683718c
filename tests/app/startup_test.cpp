// The start-up's pieces: command-line options, the single-instance naming,
// the screen's density and forced values, and the start-up notices.
#include "app/screen_info.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/startup_notices.h"
#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace telvara::app {
namespace {

using platform::SettingsProblem;
using platform::SettingsProblemKind;

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
    // Words after "--" are never options.
    const ParsedOptions words = parse({"--", "--help", "recents"});
    ASSERT_EQ(words.error, "");
    EXPECT_FALSE(words.options.help);
    EXPECT_EQ(words.options.command_line, u"--help recents");
    EXPECT_EQ(parse({}).options.command_line, u"");
}

TEST(StartOptions, BadLinesAreRefusedWithAReason) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--script"}, "--script needs a file"},
        {{"--script", "s.txt"}, "only with --headless"},
        {{"--screen", "240"}, "240x320"},
        {{"--dpi", "0"}, "--dpi"},
        {{"--root", ""}, "--root"},
        {{"--colour"}, "unknown option --colour"},
    };
    for (const auto& [args, reason] : cases)
        EXPECT_NE(parse(args).error.find(reason), std::string::npos) << reason;
}

TEST(SingleInstanceNaming, TheCommandLineMessageAndTheNames) {
    const platform::Message message = command_line_message({}, u"ab");
    EXPECT_EQ(message.id, platform::WM_COPYDATA);
    EXPECT_EQ(message.data_id, 0u);
    EXPECT_EQ(message.data, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    // Named after the class and the device root.
    EXPECT_EQ(window_class_name(u"Telvara"), u"RezuvirClass_Telvara");
    const std::string a = instance_name(u"RezuvirClass_Telvara", "/home/u/.local/share/telvara");
    EXPECT_EQ(a.rfind("RezuvirClass_Telvara-", 0), 0u);
    EXPECT_NE(a, instance_name(u"RezuvirClass_Telvara", "/tmp/test-root"));
    EXPECT_EQ(a, instance_name(u"RezuvirClass_Telvara", "/home/u/.local/share/telvara"));
}

TEST(ScreenInfo, DensityClassesScaleShiftAndForcedValues) {
    for (const auto& [dpi, density] :
         {std::pair{96, 0}, {191, 0}, {192, 1}, {383, 1}, {384, 2}, {1000, 2}})
        EXPECT_EQ(density_class(dpi), density) << dpi;
    ScreenInfo info = make_screen_info({480, 640, 192, 0});
    EXPECT_EQ(info.width, 480);
    EXPECT_EQ(info.current_height, 640);
    EXPECT_EQ(info.density, 1);
    EXPECT_EQ(scale_shift(info), 1u);
    EXPECT_EQ(scale_shift(make_screen_info({240, 320, 96, 0})), 0u);
    EXPECT_EQ(scale_shift(make_screen_info({960, 1280, 400, 0})), 2u);
    ScreenOverrides forced;
    ASSERT_TRUE(parse_screen_size("480x640", forced));
    ASSERT_TRUE(parse_dpi("192", forced));
    const ScreenInfo forced_info = make_screen_info({240, 320, 96, 0}, forced);
    EXPECT_EQ(forced_info, info) << "forced values win";
    EXPECT_EQ(forced_info.height, 640);
    EXPECT_EQ(forced_info.dpi, 192);
    EXPECT_NE(info, make_screen_info({480, 640, 191, 0}));
    EXPECT_NE(info, make_screen_info({480, 640, 192, 1}));
}

TEST(ScreenInfo, MalformedForcedValuesAreRefusedUntouched) {
    for (const char* bad : {"", "480", "480x", "x640", "0x640", "480x0", "-4x5", "480X640",
                            "480x640x2", "99999x640", " 480x640", "480x640 "}) {
        ScreenOverrides forced;
        EXPECT_FALSE(parse_screen_size(bad, forced)) << bad;
        EXPECT_FALSE(forced.width);
    }
    for (const char* bad : {"", "0", "-96", "96dpi", "100000"}) {
        ScreenOverrides forced;
        EXPECT_FALSE(parse_dpi(bad, forced)) << bad;
        EXPECT_FALSE(forced.dpi);
    }
}

TEST(StartupNotices, EachNoticeOnceInTheOrderFound) {
    StartupNotices notices;
    EXPECT_TRUE(notices.empty());
    notices.add(u"skinLanguageDamaged", u"russian.lng");
    notices.add(u"skinKeyboardDamaged");
    notices.add(u"skinLanguageDamaged", u"russian.lng");
    notices.add(u"skinLanguageDamaged", u"german.lng");
    notices.add(std::vector<SettingsProblem>{
        {SettingsProblemKind::Damaged, "one", ""},
        {SettingsProblemKind::Damaged, "another file, the same words", ""},
    });
    const std::vector<StartupNotice> expected = {
        {u"skinLanguageDamaged", u"russian.lng"},
        {u"skinKeyboardDamaged", u""},
        {u"skinLanguageDamaged", u"german.lng"},
        {u"skinSettingsDamaged", u""},
    };
    EXPECT_EQ(notices.entries(), expected);
}

// A failed write: a full disk in its own words, anything else as "not saved".
TEST(StartupNotices, SettingsProblemsSayWhatTheUserCanActOn) {
    const std::pair<SettingsProblem, const char16_t*> cases[] = {
        {{SettingsProblemKind::Damaged, "x", ""}, u"skinSettingsDamaged"},
        {{SettingsProblemKind::LinesSkipped, "x", ""}, u"skinSettingsLinesSkipped"},
        {{SettingsProblemKind::NotSaved, "x", "No space left on device", ENOSPC},
         u"skinSettingsDiskFull"},
        {{SettingsProblemKind::NotSaved, "x", "Disk quota exceeded", EDQUOT},
         u"skinSettingsDiskFull"},
        {{SettingsProblemKind::NotSaved, "x", "Read-only file system", EROFS},
         u"skinSettingsNotSaved"},
    };
    for (const auto& [problem, key] : cases) {
        const StartupNotice notice = settings_notice(problem);
        EXPECT_EQ(notice.key, key) << problem.reason;
        EXPECT_EQ(notice.detail, u"");
    }
}

} // namespace
} // namespace telvara::app
