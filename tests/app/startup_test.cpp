// The start-up's pieces: command-line options, the screen's density and forced values,
// and the start-up notices.
#include "app/screen_info.h"
#include "app/startup.h"
#include "app/startup_notices.h"
#include "platform/settings_store.h"
#include <cerrno>
#include <gtest/gtest.h>
#include <vector>
namespace telvara::app {
namespace {
using platform::SettingsProblem;
using platform::SettingsProblemKind;
ParsedOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "telvara");
    return parse_options(int(args.size()), args.data());
}
// The options every end-to-end run uses are theirs to check; here the words and the refusals.
TEST(StartOptions, WordsAfterDashDashAreNeverOptionsAndBadLinesSayWhy) {
    const ParsedOptions words = parse({"--log", "open:", "+49 30", "--", "--help", "recents"});
    ASSERT_EQ(words.error, "");
    EXPECT_TRUE(words.options.log);
    EXPECT_FALSE(words.options.help);
    EXPECT_EQ(words.options.command_line, u"open: +49 30 --help recents");
    EXPECT_EQ(parse({}).options.command_line, u"");
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

TEST(ScreenInfo, DensityClassesScaleShiftAndForcedValues) {
    for (const auto& [dpi, density] :
         {std::pair{96, 0}, {191, 0}, {192, 1}, {383, 1}, {384, 2}, {1000, 2}})
        EXPECT_EQ(density_class(dpi), density) << dpi;
    const ScreenInfo info = make_screen_info({480, 640, 192, 0});
    EXPECT_EQ(scale_shift(info), 1u);
    EXPECT_EQ(scale_shift(make_screen_info({240, 320, 96, 0})), 0u);
    EXPECT_EQ(scale_shift(make_screen_info({960, 1280, 400, 0})), 2u);
    ScreenOverrides forced;
    ASSERT_TRUE(parse_screen_size("480x640", forced));
    ASSERT_TRUE(parse_dpi("192", forced));
    const ScreenInfo forced_info = make_screen_info({240, 320, 96, 0}, forced);
    EXPECT_EQ(forced_info, info) << "forced values win";
    EXPECT_EQ(std::tuple(forced_info.width, forced_info.height, forced_info.current_height,
                         forced_info.dpi, forced_info.density),
              std::tuple(480, 640, 640, 192, 1));
    EXPECT_NE(info, make_screen_info({480, 640, 191, 0}));
    EXPECT_NE(info, make_screen_info({480, 640, 192, 1}));
    for (const char* bad : {"", "480", "480x", "x640", "0x640", "480x0", "-4x5", "480X640",
                            "480x640x2", "99999x640", " 480x640", "480x640 "}) {
        ScreenOverrides untouched;
        EXPECT_FALSE(parse_screen_size(bad, untouched)) << bad;
        EXPECT_FALSE(untouched.width);
    }
    for (const char* bad : {"", "0", "-96", "96dpi", "100000"}) {
        ScreenOverrides untouched;
        EXPECT_FALSE(parse_dpi(bad, untouched)) << bad;
        EXPECT_FALSE(untouched.dpi);
    }
}

TEST(StartupNotices, EachNoticeOnceInTheOrderFoundAndSettingsProblemsAsTheUserActs) {
    StartupNotices notices;
    EXPECT_TRUE(notices.empty());
    notices.add(u"skinLanguageDamaged", u"russian.lng");
    notices.add(u"skinKeyboardDamaged");
    notices.add(u"skinLanguageDamaged", u"russian.lng");
    notices.add(u"skinLanguageDamaged", u"german.lng");
    notices.add(std::vector<SettingsProblem>{{SettingsProblemKind::Damaged, "one", ""},
                                             {SettingsProblemKind::Damaged, "another", ""}});
    EXPECT_EQ(notices.entries(),
              (std::vector<StartupNotice>{{u"skinLanguageDamaged", u"russian.lng"},
                                          {u"skinKeyboardDamaged", u""},
                                          {u"skinLanguageDamaged", u"german.lng"},
                                          {u"skinSettingsDamaged", u""}}));
    // A failed write: a full disk in its own words, anything else as "not saved".
    const std::pair<SettingsProblem, const char16_t*> cases[] = {
        {{SettingsProblemKind::Damaged, "x", ""}, u"skinSettingsDamaged"},
        {{SettingsProblemKind::LinesSkipped, "x", ""}, u"skinSettingsLinesSkipped"},
        {{SettingsProblemKind::NotSaved, "x", "No space", ENOSPC}, u"skinSettingsDiskFull"},
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
