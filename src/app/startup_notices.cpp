// Start-up notices and their way onto the notice line.
#include "app/startup_notices.h"

#include "forms/notice_form.h"
#include "platform/settings_store.h"
#include "runtime/registry.h"

#include <algorithm>
#include <cerrno>

namespace telvara::app {

void StartupNotices::add(WStringView key, WStringView detail) {
    StartupNotice notice{WString(key), WString(detail)};
    if (std::find(m_entries.begin(), m_entries.end(), notice) == m_entries.end())
        m_entries.push_back(std::move(notice));
}

void StartupNotices::add(const std::vector<platform::SettingsProblem>& problems) {
    for (const platform::SettingsProblem& problem : problems) {
        const StartupNotice notice = settings_notice(problem);
        add(notice.key, notice.detail);
    }
}

void StartupNotices::post() {
    for (const StartupNotice& notice : m_entries)
        forms::show_notice(notice.key, notice.detail, forms::NoticeOrder::AfterOthers);
    m_entries.clear();
}

StartupNotice settings_notice(const platform::SettingsProblem& problem) {
    switch (problem.kind) {
    case platform::SettingsProblemKind::Damaged:
        return {u"skinSettingsDamaged", {}};
    case platform::SettingsProblemKind::LinesSkipped:
        return {u"skinSettingsLinesSkipped", {}};
    case platform::SettingsProblemKind::NotSaved:
        break;
    }
    // The notice has room for a few words; the log has the whole story.
    if (problem.error == ENOSPC || problem.error == EDQUOT)
        return {u"skinSettingsDiskFull", {}};
    return {u"skinSettingsNotSaved", {}};
}

void post_settings_problems() {
    if (!runtime::settings_problems_waiting())
        return;
    StartupNotices notices;
    notices.add(runtime::take_settings_problems());
    notices.post();
}

} // namespace telvara::app
