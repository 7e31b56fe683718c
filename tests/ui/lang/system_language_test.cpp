// The user's language name: the primary-language table and the locale.
#include "ui/lang/system_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace telvara;
using namespace telvara::ui;

namespace {

TEST(SystemLanguage, TableSlots) {
    EXPECT_EQ(language_name_for_id(9), u"english");
    EXPECT_EQ(language_name_for_id(25), u"russian");
    EXPECT_EQ(language_name_for_id(1), u"arabic");
    EXPECT_EQ(language_name_for_id(97), u"nepali");
    for (unsigned empty : {0u, 23u, 40u, 46u, 48u, 53u, 95u, 98u, 1000u})
        EXPECT_EQ(language_name_for_id(empty), u"") << empty;
}

TEST(SystemLanguage, LocaleCodes) {
    EXPECT_EQ(language_name_for_locale("ru_RU.UTF-8"), u"russian");
    EXPECT_EQ(language_name_for_locale("de_AT@euro"), u"german");
    EXPECT_EQ(language_name_for_locale("en"), u"english");
    EXPECT_EQ(language_name_for_locale("EN_us"), u"english");
    EXPECT_EQ(language_name_for_locale("pt_BR.ISO-8859-1"), u"portuguese");
    EXPECT_EQ(language_name_for_locale("nb_NO.UTF-8"), u"norwegian");
    EXPECT_EQ(language_name_for_locale("iw_IL"), u"hebrew");
    EXPECT_EQ(language_name_for_locale("be_BY"), u"byelorussian");
    for (const char* none : {"C", "C.UTF-8", "POSIX", "", "xx_YY", "eng"})
        EXPECT_EQ(language_name_for_locale(none), u"") << none;
}

// Sets the locale variables for one test and puts them back afterwards.
class LocaleEnvironment : public ::testing::Test {
  protected:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    void SetUp() override {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            m_saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (std::size_t i = 0; i < m_saved.size(); ++i) {
            if (m_saved[i])
                ::setenv(kNames[i], m_saved[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
    }
    std::vector<std::optional<std::string>> m_saved;
};

TEST_F(LocaleEnvironment, FirstSetVariableWins) {
    EXPECT_EQ(system_language_name(), u"");
    ::setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(system_language_name(), u"russian");
    ::setenv("LC_MESSAGES", "fr_FR.UTF-8", 1);
    EXPECT_EQ(system_language_name(), u"french");
    ::setenv("LC_ALL", "", 1);
    EXPECT_EQ(system_language_name(), u"french") << "an empty variable counts as unset";
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(system_language_name(), u"") << "C says: no language";
}

} // namespace
