// Every screen at every size in both languages, walked as a user walks it, passes the
// layout lint: texts whole or ellipsised, controls a fingertip wide, nothing off screen.
#include "process_support.h"
namespace telvara::e2e {
namespace {
// Each walk starts from the list; "lint" checks the screen in front.
const std::pair<const char*, std::string> kWalks[] = {
    // The tabs: list, favourites as rows and as tiles, recents.
    {"tabs", "lint\ntap button_favorits\nwait 600\nlint\ntap button_favorits\nwait 600\nlint\n"
             "tap button_recents\nwait 600\nlint\ntap btnRecents\nwait 700\nlint\n"},
    {"keypad", "key 2\nkey 7\nwait 400\nlint\n"}, // with results
    // A card, then in edit mode, then each of its first editors.
    {"card", "tap big\nwait 700\nlint\ntap edit_mode_edit\nwait 600\nlint\n"},
    {"header",
     "tap big\nwait 700\ntap edit_mode_edit\nwait 600\ntap edit_header\nwait 600\nlint\n"},
    {"phone editor",
     "tap big\nwait 700\ntap edit_mode_edit\nwait 600\ntap big#1\nwait 700\nlint\n"},
    // The birthday's wheels, from the end of the card.
    {"birthday editor", "tap big\nwait 700\ntap edit_mode_edit\nwait 600\n"
                        "drag 100 200 100 20 400\nwait 800\ntap big#-2\nwait 700\nlint\n"},
    {"menu", "tap button_menu\nwait 600\nlint\ntap Settings\nwait 600\nlint\ntap Language\n"
             "wait 600\nlint\n"},
    {"about", "tap button_menu\nwait 600\ntap About\nwait 600\nlint\n"},
    // The picker, reached from typed digits, with its own keypad open.
    {"picker", "key 5\nkey 5\nkey 5\nwait 300\ntap button_add\nwait 600\nlint\ntap Add2Existing\n"
               "wait 700\nlint\ntap open_keyboard\nwait 400\nkey 2\nkey 7\nwait 400\nlint\n"},
    // The call screen: dialling a long number, talking, then a long caller ringing.
    {"call", "phone dial 12345678901234567890\nwait 600\nlint\nmodem answer\nwait 600\nlint\n"
             "phone hangup\nwait 600\nmodem ring +4477009001234567890123\nwait 600\nlint\n"},
};
constexpr char kLongCards[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\n"
    "N:Abercrombie-Wolkenstein-Trostburg;Alexandra-Margarethe Josephine;;;\r\n"
    "ORG:International Consolidated Holdings of Greater Manchester Ltd\r\n"
    "TEL;TYPE=CELL:+44 7700 900123 4567 8901 23\r\n"
    "TEL;TYPE=WORK:+49 (30) 1234 5678 9012 3456\r\n"
    "EMAIL:alexandra-margarethe.abercrombie-wolkenstein@international-holdings.example.com\r\n"
    "ADR;TYPE=HOME:;;1234 Long Boulevard of the Extraordinarily Named Street;"
    "Llanfairpwllgwyngyll;Greater Manchester Metropolitan County;M1 1AE;United Kingdom\r\n"
    "BDAY:1974-10-09\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\n"
    "N:\xD0\x90\xD0\xB1\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBE\xD0\xB2\xD1\x81\xD0\xBA\xD0\xB0\xD1\x8F-"
    "\xD0\x9F\xD1\x80\xD0\xB5\xD0\xBE\xD0\xB1\xD1\x80\xD0\xB0\xD0\xB6\xD0\xB5\xD0\xBD\xD1\x81\xD0"
    "\xBA\xD0\xB0\xD1\x8F;\xD0\x90\xD0\xBB\xD0\xB5\xD0\xBA\xD1\x81\xD0\xB0\xD0\xBD\xD0\xB4\xD1\x80"
    "\xD0\xB0;;;\r\n"
    "TEL;TYPE=CELL:+7 (912) 345-67-89-01-23-45\r\nEND:VCARD\r\n";
class LayoutE2e : public TelvaraWorld {
  protected:
    void SetUp() override {
        TelvaraWorld::SetUp();
        settings("\"Modem\"=\"sim\"\n", true);
        ASSERT_EQ(script("wait 800\n").status, 0);
        const Finished import =
            run({"import", write_file("long.vcf", kLongCards)}, tool("telvara-contacts"));
        ASSERT_EQ(import.status, 0) << import.output;
    }
    static std::string tool(const std::string& name) {
        return std::string(TELVARA_BUILD_DIR) + "/" + name;
    }
    void set_language(const char* language) {
        const Finished set =
            run({"set-string", "HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", "Language", language},
                tool("telvara-settings"));
        ASSERT_EQ(set.status, 0) << set.output;
    }
};
// Every walk at every size; the lint's findings and any other failure, by walk.
TEST_F(LayoutE2e, EveryScreenFitsEverySizeInBothLanguages) {
    const std::vector<std::string> sizes[] = {{"--screen", "240x320"},
                                              {"--screen", "480x640", "--dpi", "192"},
                                              {"--screen", "320x240"},
                                              {"--screen", "640x480"},
                                              {"--screen", "720x1440", "--dpi", "320"}};
    for (const char* language : {"english", "russian"}) {
        set_language(language);
        for (const auto& size : sizes) {
            SCOPED_TRACE(std::string(language) + " " + size[1]);
            std::string found;
            for (const auto& [name, walk] : kWalks) {
                const Finished walked = script("wait 1000\n" + walk, size);
                if (walked.status != 0)
                    found += "-- " + std::string(name) + " (status " +
                             std::to_string(walked.status) + ")\n" + walked.output;
            }
            EXPECT_EQ(found, "");
        }
    }
}
} // namespace
} // namespace telvara::e2e
