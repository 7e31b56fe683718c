// Russian chosen in the menu speaks Russian at once and after a restart; the recents say
// when each call was in either language.
#include "process_support.h"

#include "data/contact_store.h"

#include <ctime>

namespace telvara::e2e {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;

class LanguageE2e : public TelvaraWorld {
  protected:
    void set_language(const std::string& language) const {
        settings("\"Language\"=\"" + language + "\"\n");
    }
};

TEST_F(LanguageE2e, RussianChosenInTheMenuSpeaksRussianAndStays) {
    set_language("english");
    // One contact, born 9 October 1974.
    data::ContactRecord anna;
    anna.first_name = u"Anna";
    anna.last_name = u"Berg";
    anna.fields = {{data::FieldType::Mobile, u"+4930123456"},
                   {data::FieldType::Birthday, u"150508800000"}};
    ASSERT_TRUE(data::ContactStore((m_root / "pim.vol").string()).create_contact(anna));
    const std::string before = "wait 1000\ntap open_keyboard\nwait 400\n"
                               "expect text button2_letters \"ABC\" 100\n"
                               "expect text button9_letters \"WXYZ\" 100\n"
                               "tap button_close\nwait 400\n";
    const std::string choose = "tap button_menu\nwait 500\ntap Settings\nwait 500\n"
                               "tap Language\nwait 500\ntap Language#russian\nwait 1000\n";
    const std::string after = "tap open_keyboard\nwait 400\n"
                              "expect text button2_letters \"ABC АБВГ\" 100\n"
                              "expect text button6_letters \"MNO РСТУ\" 100\n"
                              "tap button_close\nwait 400\ntap button_favorits\nwait 400\n"
                              "expect text FavoritesContainer_title \"Избранное\" 100\n"
                              "tap button_contacts\nwait 400\ntap big\nwait 600\n"
                              "expect screen ContactForm 1000\n"
                              "expect text big#2 \"9 октября 1974\" 100\n";
    const Finished chosen = script(before + choose + after);
    ASSERT_EQ(chosen.status, 0) << chosen.output;
    EXPECT_THAT(settings_text(), HasSubstr("\"Language\"=\"russian\""));
    const Finished again = script("wait 1000\n" + after);
    EXPECT_EQ(again.status, 0) << again.output;
}

// --- Recents ---------------------------------------------------------------------------

struct Words {
    const char* language;
    const char* yesterday;
    std::array<const char*, 7> weekdays; // Sunday first
    std::array<const char*, 12> months;
};

const Words kEnglish{
    "english",
    "Yesterday",
    {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}};
const Words kRussian{"russian",
                     "Вчера",
                     {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"},
                     {"янв.", "февр.", "мар.", "апр.", "мая", "июн.", "июл.", "авг.", "сент.",
                      "окт.", "нояб.", "дек."}};

std::tm local(std::time_t moment) {
    std::tm tm{};
    localtime_r(&moment, &tm);
    return tm;
}

// Named in test output by its language alone.
void PrintTo(const Words& words, std::ostream* out) {
    *out << words.language;
}

class RecentsLanguageE2e : public LanguageE2e, public ::testing::WithParamInterface<Words> {};

// Calls today, yesterday, three days and three weeks ago: time, word, weekday, date.
TEST_P(RecentsLanguageE2e, EachCallSaysWhenItWasWithoutDoubt) {
    const Words& words = GetParam();
    set_language(words.language);
    const std::time_t now = std::time(nullptr);
    std::tm midnight_tm = local(now);
    midnight_tm.tm_hour = midnight_tm.tm_min = midnight_tm.tm_sec = 0;
    midnight_tm.tm_isdst = -1;
    const std::time_t midnight = std::mktime(&midnight_tm);
    // Today's call lies between midnight and now, also just after midnight.
    const std::time_t today = now - std::min<std::time_t>(60, (now - midnight) / 2);
    const std::time_t day = 24 * 3600;
    const std::array<std::time_t, 4> starts = {
        today, midnight - day / 2, midnight - 3 * day + day / 2, midnight - 21 * day + day / 2};
    {
        phone::CallLog log((m_root / "pim.vol").string());
        for (std::size_t i = 0; i < starts.size(); ++i) {
            phone::CallLogEntry entry;
            entry.start = phone::file_time_from_unix_ms(std::int64_t(starts[i]) * 1000);
            entry.end = entry.start + 65 * kTicksPerSecond;
            entry.direction = phone::CallDirection::Incoming;
            entry.number = u"+49301000" + to_wstring(std::int64_t(i));
            ASSERT_TRUE(log.add(entry));
        }
    }
    const std::tm today_tm = local(starts[0]);
    char time[8];
    std::snprintf(time, sizeof time, "%02d:%02d", today_tm.tm_hour, today_tm.tm_min);
    const std::tm week = local(starts[2]);
    const std::tm older = local(starts[3]);
    std::string date = std::to_string(older.tm_mday) + " " + words.months[older.tm_mon];
    if (older.tm_year != local(now).tm_year)
        date += " " + std::to_string(older.tm_year + 1900);
    std::string lines = "wait 1000\ntap button_recents\nwait 500\n";
    int row = 0;
    for (const std::string& when : {std::string(time), std::string(words.yesterday),
                                    std::string(words.weekdays[week.tm_wday]), date})
        lines += "expect text datetime#" + std::to_string(++row) + " \"" + when + "\" 100\n";
    const Finished shown = script(lines + "expect text duration#1 \"1:05\" 100\n");
    EXPECT_EQ(shown.status, 0) << shown.output;
}

INSTANTIATE_TEST_SUITE_P(Languages, RecentsLanguageE2e, ::testing::Values(kEnglish, kRussian),
                         [](const auto& info) { return std::string(info.param.language); });

} // namespace
} // namespace telvara::e2e
