// The user's language name: the primary-language table and the locale.
#include "ui/lang/system_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace telvara;
using namespace telvara::ui;

namespace {

TEST(SystemLanguage, TableSlotsAndLocaleCodes) {
    const std::pair<unsigned, const char16_t*> ids[] = {
        {9, u"english"}, {25, u"russian"}, {1, u"arabic"}, {97, u"nepali"}, {0, u""},
        {23, u""},       {40, u""},        {46, u""},      {48, u""},       {53, u""},
        {95, u""},       {98, u""},        {1000, u""}};
    for (const auto& [id, name] : ids)
        EXPECT_EQ(language_name_for_id(id), name) << id;
    const std::pair<const char*, const char16_t*> locales[] = {{"ru_RU.UTF-8", u"russian"},
                                                               {"de_AT@euro", u"german"},
                                                               {"en", u"english"},
                                                               {"EN_us", u"english"},
                                                               {"pt_BR.ISO-8859-1", u"portuguese"},
                                                               {"nb_NO.UTF-8", u"norwegian"},
                                                               {"iw_IL", u"hebrew"},
                                                               {"be_BY", u"byelorussian"},
                                                               {"C", u""},
                                                               {"C.UTF-8", u""},
                                                               {"POSIX", u""},
                                                               {"", u""},
                                                               {"xx_YY", u""},
                                                               {"eng", u""}};
    for (const auto& [locale, name] : locales)
        EXPECT_EQ(language_name_for_locale(locale), name) << locale;
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

} // namespace
