// The screens as a user meets them: the demo contacts listed after the
// splash, the contacts tab tapped to open the keypad, two digits typed, the
// list narrowed to the matching contact with the matched letters in the
// accent colour, at both densities; a call from the modem on the call
// screen; a new contact typed on an empty card and stored.
#include "process_support.h"

#include "data/contact_store.h"

#include <algorithm>

namespace telvara::e2e {
namespace {

constexpr std::array<int, 3> kAccent{0x1A, 0x73, 0xE8};
constexpr std::array<int, 3> kCall{0x1E, 0x8E, 0x3E};
constexpr std::array<int, 3> kSurface{0xF3, 0xF5, 0xF7};

class MainScreenE2e : public TelvaraWorld, public ::testing::WithParamInterface<int> {};
class CallScreenE2e : public TelvaraWorld {};

int count_near(const Png& shot, std::array<int, 3> colour, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            count += near_colour(shot.at(x, y), colour);
    return count;
}

TEST_P(MainScreenE2e, ContactsTabOpensTheKeypadAndTypedDigitsFilterTheList) {
    const int s = GetParam();
    const std::string script =
        write_file("type.txt", "wait 1000\n"
                               "shot list.png\n"
                               "tap " +
                                   std::to_string(30 * s) + " " + std::to_string(296 * s) +
                                   "\n"
                                   "wait 400\n"
                                   "key 5\n"
                                   "key 6\n"
                                   "wait 300\n"
                                   "shot typed.png\n");
    std::vector<std::string> args{"--headless", "--log", "--script", script};
    if (s == 2)
        args.insert(args.end(), {"--screen", "480x640", "--dpi", "192"});
    const Finished run = this->run(args);
    ASSERT_EQ(run.status, 0) << run.output;

    Png list;
    ASSERT_TRUE(list.read((m_dir / "list.png").string()));
    ASSERT_EQ(list.width, 240 * s);
    EXPECT_TRUE(near_colour(list.at(4 * s, 20 * s), kSurface)); // title bar
    // The round keypad button floats over the list's lower right corner.
    EXPECT_TRUE(near_colour(list.at(192 * s, 237 * s), kAccent));
    // Names are listed: dark text in the first row.
    int dark = 0;
    for (int y = 40 * s; y < 60 * s; ++y)
        for (int x = 16 * s; x < 120 * s; ++x)
            dark += list.at(x, y)[0] < 100;
    EXPECT_GT(dark, 20 * s * s);

    Png typed;
    ASSERT_TRUE(typed.read((m_dir / "typed.png").string()));
    // The keypad is up in the tab bar's place: the green call key in its
    // lower right corner.
    EXPECT_GT(count_near(typed, kCall, 170 * s, 284 * s, 225 * s, 316 * s), 200 * s * s);
    // The title bar made way: the first row, at the top, begins with the
    // matched letters in the accent colour.
    EXPECT_FALSE(near_colour(typed.at(4 * s, 20 * s), kSurface));
    EXPECT_GT(count_near(typed, kAccent, 10 * s, 2 * s, 40 * s, 22 * s), 10 * s * s);

    const std::string log = log_text();
    EXPECT_NE(log.find("MainForm show_keyboard"), std::string::npos) << log;
    std::size_t filters = 0;
    for (std::size_t at = log.find("set_filter_string()"); at != std::string::npos;
         at = log.find("set_filter_string()", at + 1))
        ++filters;
    EXPECT_EQ(filters, 2u) << log;
}

INSTANTIATE_TEST_SUITE_P(Density, MainScreenE2e, ::testing::Values(1, 2));

// Pixels of a clearly green or clearly red hue in a rectangle.
int count_hue(const Png& shot, int channel, int x0, int y0, int x1, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const auto p = shot.at(x, y);
            const int other1 = p[(channel + 1) % 3];
            const int other2 = p[(channel + 2) % 3];
            count += p[channel] > other1 + 50 && p[channel] > other2 + 50;
        }
    return count;
}
constexpr int kRed = 0;
constexpr int kGreen = 1;

// A call from the modem: the call screen comes up with answer and ignore,
// answering leaves only the end button, and hanging up brings back the list.
TEST_F(CallScreenE2e, IncomingCallShowsTheCallScreenUntilItEnds) {
    const std::string script = write_file("call.txt", "wait 1000\n"
                                                      "modem ring +15550100\n"
                                                      "wait 300\n"
                                                      "shot ring.png\n"
                                                      "phone answer\n"
                                                      "wait 300\n"
                                                      "shot talk.png\n"
                                                      "phone hangup\n"
                                                      "wait 500\n"
                                                      "shot after.png\n");
    const Finished run = this->run({"--headless", "--log", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;

    Png ring, talk, after;
    ASSERT_TRUE(ring.read((m_dir / "ring.png").string()));
    ASSERT_TRUE(talk.read((m_dir / "talk.png").string()));
    ASSERT_TRUE(after.read((m_dir / "after.png").string()));
    // Ringing: green answer on the left, red ignore on the right, at the bottom.
    EXPECT_GT(count_hue(ring, kGreen, 0, 250, 120, 320), 300);
    EXPECT_GT(count_hue(ring, kRed, 120, 250, 240, 320), 300);
    // Talking: no answer button any more, the red end button in the middle.
    EXPECT_LT(count_hue(talk, kGreen, 0, 250, 240, 320), 20);
    EXPECT_GT(count_hue(talk, kRed, 90, 250, 150, 320), 300);
    // Over: the contacts list with its light title bar again.
    EXPECT_TRUE(near_colour(after.at(4, 20), kSurface));
    const std::string log = log_text();
    EXPECT_NE(log.find("Caller ID: +15550100"), std::string::npos) << log;
}

// A second start while a card is open in edit mode: what it asks for comes
// to the front, never under the card.
TEST_F(CallScreenE2e, ASecondStartIsSeenOverAnOpenCard) {
    struct Case {
        const char* command;
        const char* expect;
    };
    const Case cases[] = {
        {"recents", "expect screen Main 2000\n"},
        {"favorites", "expect screen Main 2000\n"},
        {"contacts", "expect screen Main 2000\n"},
        {"tel:+49301234567", "expect screen Main 2000\nexpect text text_button_call "
                             "\"+49301234567\" 0\n"},
        {"open:+4930901820", "expect screen Main 2000\ntap Add2NewContact\nwait 600\n"
                             "expect screen SelectFieldForm 2000\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Finished run = this->run(
            {"--headless", "--script",
             write_file("second.txt", std::string("wait 1000\ntap big\nwait 700\n"
                                                  "tap edit_mode_edit\nwait 600\ncmdline ") +
                                          c.command + "\nwait 600\n" + c.expect)});
        EXPECT_EQ(run.status, 0) << run.output;
    }
}

} // namespace
} // namespace telvara::e2e

namespace telvara::e2e {
namespace {

class NewContactE2e : public TelvaraWorld {};

// The add button opens an empty card; the names editor takes typed text;
// leaving it stores the contact, which the store then holds.
TEST_F(NewContactE2e, AContactTypedOnAnEmptyCardIsStored) {
    const std::string script = write_file("new.txt", "wait 1000\n"
                                                     "tap 216 14\n"
                                                     "wait 500\n"
                                                     "tap 216 87\n"
                                                     "wait 400\n"
                                                     "type Ada\n"
                                                     "wait 200\n"
                                                     "tap 22 20\n"
                                                     "wait 400\n"
                                                     "shot card.png\n");
    const Finished run = this->run({"--headless", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;
    data::ContactStore store((m_root / "pim.vol").string());
    std::vector<data::ContactRecord> records;
    store.load_contacts(records);
    const auto ada = std::find_if(records.begin(), records.end(), [](const auto& record) {
        return record.first_name == u"Ada" && record.last_name.empty();
    });
    EXPECT_NE(ada, records.end());
}

} // namespace
} // namespace telvara::e2e
