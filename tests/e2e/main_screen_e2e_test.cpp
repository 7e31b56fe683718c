// The main screen as a user meets them, at both densities.
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
class NewContactE2e : public TelvaraWorld {};

// Pixels in a rectangle passing `test`.
template <class Test> int count_of(const Png& shot, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            count += test(shot.at(x, y));
    return count;
}
auto near(std::array<int, 3> colour) {
    return [colour](std::array<int, 3> p) { return near_colour(p, colour); };
}

TEST_P(MainScreenE2e, ContactsTabOpensTheKeypadAndTypedDigitsFilterTheList) {
    const int s = GetParam();
    std::vector<std::string> args{"--log"};
    if (s == 2)
        args.insert(args.end(), {"--screen", "480x640", "--dpi", "192"});
    const Finished run =
        script("wait 1000\nshot list.png\ntap " + std::to_string(30 * s) + " " +
                   std::to_string(296 * s) + "\nwait 400\nkey 5\nkey 6\nwait 300\nshot typed.png\n",
               args);
    ASSERT_EQ(run.status, 0) << run.output;
    const Png list = shot("list.png");
    ASSERT_EQ(list.width, 240 * s);
    EXPECT_TRUE(near_colour(list.at(4 * s, 20 * s), kSurface)); // title bar
    // The round keypad button floats over the list's lower right corner.
    EXPECT_TRUE(near_colour(list.at(192 * s, 237 * s), kAccent));
    // Names are listed: dark text in the first row.
    EXPECT_GT(count_of(list, 16 * s, 40 * s, 120 * s, 60 * s,
                       [](std::array<int, 3> p) { return p[0] < 100; }),
              20 * s * s);
    // The keypad in the tab bar's place, its green call key lower right; the
    // title bar made way for the first row, its matched letters in the accent.
    const Png typed = shot("typed.png");
    EXPECT_GT(count_of(typed, 170 * s, 284 * s, 225 * s, 316 * s, near(kCall)), 200 * s * s);
    EXPECT_FALSE(near_colour(typed.at(4 * s, 20 * s), kSurface));
    EXPECT_GT(count_of(typed, 10 * s, 2 * s, 40 * s, 22 * s, near(kAccent)), 10 * s * s);
    const std::string log = log_text();
    EXPECT_THAT(log, HasSubstr("MainForm show_keyboard"));
    std::size_t filters = 0;
    for (auto at = log.find("set_filter_string()"); at != std::string::npos;
         at = log.find("set_filter_string()", at + 1))
        ++filters;
    EXPECT_EQ(filters, 2u) << log;
}

INSTANTIATE_TEST_SUITE_P(Density, MainScreenE2e, ::testing::Values(1, 2));

// A second start while a card is open in edit mode: what it asks for comes
// to the front, never under the card.
TEST_F(CallScreenE2e, ASecondStartIsSeenOverAnOpenCard) {
    const std::pair<const char*, const char*> cases[] = {
        {"recents", ""},
        {"favorites", ""},
        {"contacts", ""},
        {"tel:+49301234567", "expect text text_button_call \"+49301234567\" 0\n"},
        {"open:+4930901820", "tap Add2NewContact\nwait 600\nexpect screen SelectFieldForm 2000\n"},
    };
    for (const auto& [command, expect] : cases) {
        const Finished run = script(std::string("wait 1000\ntap big\nwait 700\ntap edit_mode_edit\n"
                                                "wait 600\ncmdline ") +
                                    command + "\nwait 600\nexpect screen Main 2000\n" + expect);
        EXPECT_EQ(run.status, 0) << command << "\n" << run.output;
    }
}

// The add button opens an empty card; leaving the names editor stores it.
TEST_F(NewContactE2e, AContactTypedOnAnEmptyCardIsStored) {
    const Finished run = script("wait 1000\ntap 216 14\nwait 500\ntap 216 87\nwait 400\n"
                                "type Ada\nwait 200\ntap 22 20\nwait 400\n");
    ASSERT_EQ(run.status, 0) << run.output;
    std::vector<data::ContactRecord> records;
    data::ContactStore((m_root / "pim.vol").string()).load_contacts(records);
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const auto& record) {
        return record.first_name == u"Ada" && record.last_name.empty();
    }));
}

} // namespace
} // namespace telvara::e2e
