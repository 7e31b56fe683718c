// The main screen as a user meets it: the demo contacts listed after the
// splash, the contacts tab tapped to open the keypad, two digits typed, the
// list narrowed to the matching contact with the matched letters in the
// accent colour; at both densities.
#include "process_support.h"

namespace telvara::e2e {
namespace {

constexpr std::array<int, 3> kAccent{0x1A, 0x73, 0xE8};
constexpr std::array<int, 3> kCall{0x1E, 0x8E, 0x3E};
constexpr std::array<int, 3> kSurface{0xF3, 0xF5, 0xF7};

class MainScreenE2e : public TelvaraWorld, public ::testing::WithParamInterface<int> {};

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
    // The keypad is up: the green call key in its lower right.
    EXPECT_GT(count_near(typed, kCall, 170 * s, 240 * s, 225 * s, 262 * s), 200 * s * s);
    // The first row begins with the matched letters in the accent colour.
    EXPECT_GT(count_near(typed, kAccent, 10 * s, 40 * s, 40 * s, 60 * s), 10 * s * s);

    const std::string log = log_text();
    EXPECT_NE(log.find("MainForm show_keyboard"), std::string::npos) << log;
    std::size_t filters = 0;
    for (std::size_t at = log.find("set_filter_string()"); at != std::string::npos;
         at = log.find("set_filter_string()", at + 1))
        ++filters;
    EXPECT_EQ(filters, 2u) << log;
}

INSTANTIATE_TEST_SUITE_P(Density, MainScreenE2e, ::testing::Values(1, 2));

} // namespace
} // namespace telvara::e2e
