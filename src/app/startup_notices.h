#pragma once
// StartupNotices: problems found before the screens exist (a damaged
// settings file, a skin or language that could not be used, a store that
// cannot be read) kept until the main screen shows, then put on the notice
// line one after the other, so they reach the user and not only stderr.

#include "platform/text.h"

#include <vector>

namespace telvara::platform {
struct SettingsProblem;
}

namespace telvara::app {

struct StartupNotice {
    WString key;    // language key of the text
    WString detail; // what "%1" in it stands for
    bool operator==(const StartupNotice&) const = default;
};

class StartupNotices {
  public:
    // The same notice twice is kept once.
    void add(WStringView key, WStringView detail = {});
    // Each problem of the settings file as its notice.
    void add(const std::vector<platform::SettingsProblem>& problems);

    bool empty() const { return m_entries.empty(); }
    const std::vector<StartupNotice>& entries() const { return m_entries; }

    // Hands every notice, in the order added, to the notice line (after any
    // it shows already) and empties the list. Nothing shows without a bound
    // notice form, so call it once the main screen is in front.
    void post();

  private:
    std::vector<StartupNotice> m_entries;
};

// The notice that tells the user of a settings problem (the log has the
// whole story).
StartupNotice settings_notice(const platform::SettingsProblem& problem);

// Settings problems that arose since the last call, onto the notice line
// after what it shows: called every frame once the main screen is in front.
void post_settings_problems();

} // namespace telvara::app
