// The words the screens say when there is nothing to show, or nothing set,
// exist in every shipped language: a missing key would show the key itself.
#include "runtime/paths.h"
#include "ui/lang/language_file.h"

#include <gtest/gtest.h>

namespace telvara::forms {
namespace {

TEST(ScreenWords, EveryShippedLanguageHasThem) {
    const char16_t* const keys[] = {
        u"skinNoContacts",    u"skinNoRecents",   u"skinNoIncomingCalls", u"skinNoOutgoingCalls",
        u"skinNoMissedCalls", u"skinNoFavorites", u"Add2Existing",        u"skinCategoryNone"};
    for (const char16_t* file : {u"english.lng", u"russian.lng"}) {
        const auto table =
            ui::read_language_file(runtime::file_path(u"%app_path%/" + WString(file)));
        ASSERT_TRUE(table) << to_utf8(file);
        for (const char16_t* key : keys) {
            const auto found = table->find(key);
            ASSERT_NE(found, table->end()) << to_utf8(file) << ": " << to_utf8(key);
            EXPECT_FALSE(found->second.empty()) << to_utf8(file) << ": " << to_utf8(key);
        }
    }
}

} // namespace
} // namespace telvara::forms
