// Start-up notices: each problem said once, in the order found, and a
// settings problem said in words that fit the notice line.
#include "app/startup_notices.h"

#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace telvara::app {
namespace {

using platform::SettingsProblem;
using platform::SettingsProblemKind;

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

// The reason of a failed write: a full disk in its own words; anything else
// as "not saved" (the log has the system's words).
TEST(StartupNotices, SettingsProblemsSayWhatTheUserCanActOn) {
    struct Case {
        SettingsProblem problem;
        const char16_t* key;
    };
    const Case cases[] = {
        {{SettingsProblemKind::Damaged, "x", ""}, u"skinSettingsDamaged"},
        {{SettingsProblemKind::LinesSkipped, "x", ""}, u"skinSettingsLinesSkipped"},
        {{SettingsProblemKind::NotSaved, "x", "No space left on device", ENOSPC},
         u"skinSettingsDiskFull"},
        {{SettingsProblemKind::NotSaved, "x", "Disk quota exceeded", EDQUOT},
         u"skinSettingsDiskFull"},
        {{SettingsProblemKind::NotSaved, "x", "Read-only file system", EROFS},
         u"skinSettingsNotSaved"},
    };
    for (const Case& c : cases) {
        const StartupNotice notice = settings_notice(c.problem);
        EXPECT_EQ(notice.key, c.key) << c.problem.reason;
        EXPECT_EQ(notice.detail, u"");
    }
}

} // namespace
} // namespace telvara::app
