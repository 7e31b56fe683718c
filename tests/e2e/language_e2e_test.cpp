// Russian chosen in the menu speaks Russian at once and after a restart; the
// dates of the recents in either language are the screens' tests' (RecentTexts).
#include "data/contact_store.h"
#include "process_support.h"
namespace telvara::e2e {
namespace {
class LanguageE2e : public TelvaraWorld {};
TEST_F(LanguageE2e, RussianChosenInTheMenuSpeaksRussianAndStays) {
    settings("\"Language\"=\"english\"\n");
    data::ContactRecord anna; // born 9 October 1974
    anna.first_name = u"Anna";
    anna.last_name = u"Berg";
    anna.fields = {{data::FieldType::Mobile, u"+4930123456"},
                   {data::FieldType::Birthday, u"150508800000"}};
    ASSERT_TRUE(data::ContactStore((m_root / "pim.vol").string()).create_contact(anna));
    const std::string after = "tap open_keyboard\nwait 400\n"
                              "expect text button2_letters \"ABC АБВГ\" 100\n"
                              "expect text button6_letters \"MNO РСТУ\" 100\n"
                              "tap button_close\nwait 400\ntap button_favorits\nwait 400\n"
                              "expect text FavoritesContainer_title \"Избранное\" 100\n"
                              "tap button_contacts\nwait 400\ntap big\nwait 600\n"
                              "expect screen ContactForm 1000\n"
                              "expect text big#2 \"9 октября 1974\" 100\n";
    const Finished chosen =
        script("wait 1000\ntap open_keyboard\nwait 400\nexpect text button2_letters \"ABC\" 100\n"
               "expect text button9_letters \"WXYZ\" 100\ntap button_close\nwait 400\n"
               "tap button_menu\nwait 500\ntap Settings\nwait 500\ntap Language\nwait 500\n"
               "tap Language#russian\nwait 1000\n" +
               after);
    ASSERT_EQ(chosen.status, 0) << chosen.output;
    EXPECT_THAT(settings_text(), HasSubstr("\"Language\"=\"russian\""));
    const Finished again = script("wait 1000\n" + after);
    EXPECT_EQ(again.status, 0) << again.output;
}
} // namespace
} // namespace telvara::e2e
