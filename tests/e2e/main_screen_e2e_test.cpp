// The splash and the main screen as a user meets them, at both densities. Command lines
// of later starts are the main form's test's and the instance scenario's.
#include "process_support.h"
namespace telvara::e2e {
namespace {
constexpr std::array<int, 3> kWhite{0xFF, 0xFF, 0xFF};
constexpr std::array<int, 3> kAccent{0x1A, 0x73, 0xE8};
constexpr std::array<int, 3> kCall{0x1E, 0x8E, 0x3E};
constexpr std::array<int, 3> kSurface{0xF3, 0xF5, 0xF7};
class MainScreenE2e : public TelvaraWorld, public ::testing::WithParamInterface<int> {};
// Pixels in a rectangle passing `test`.
template <class Test> int count_of(const Png& shot, int x0, int y0, int x1, int y1, Test test) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            count += test(shot.at(x, y));
    return count;
}
const auto dark = [](std::array<int, 3> p) { return p[0] < 100; };
const auto call = [](std::array<int, 3> p) { return near_colour(p, kCall); };
const auto accent = [](std::array<int, 3> p) { return near_colour(p, kAccent); };
TEST_P(MainScreenE2e, SplashThenTheContactsTabOpensTheKeypadAndDigitsFilterTheList) {
    const int s = GetParam();
    std::vector<std::string> args{"--log"};
    if (s == 2)
        args.insert(args.end(), {"--screen", "480x640", "--dpi", "192"});
    const Finished run = script("wait 100\nshot splash.png\nwait 900\nshot list.png\ntap " +
                                    std::to_string(30 * s) + " " + std::to_string(296 * s) +
                                    "\nwait 400\nkey 5\nkey 6\nwait 300\nshot typed.png\n",
                                args);
    ASSERT_EQ(run.status, 0) << run.output;
    // The splash: a disc of the accent, 88 across at (120, 130), on white; the version below.
    const Png splash = shot("splash.png");
    ASSERT_EQ(std::pair(splash.width, splash.height), std::pair(240 * s, 320 * s));
    EXPECT_TRUE(near_colour(splash.at(90 * s, 130 * s), kAccent));
    EXPECT_TRUE(near_colour(splash.at(120 * s, 168 * s), kAccent));
    for (auto [x, y] : {std::pair{4, 4}, {235, 4}, {4, 315}, {235, 315}, {20, 185}})
        EXPECT_TRUE(near_colour(splash.at(x * s, y * s), kWhite)) << x << "," << y;
    EXPECT_GT(count_of(splash, 60 * s, 296 * s, 180 * s, 310 * s,
                       [](std::array<int, 3> p) { return p[0] < 160; }),
              20 * s);
    const Png list = shot("list.png");
    ASSERT_EQ(list.width, 240 * s);
    EXPECT_TRUE(near_colour(list.at(4 * s, 20 * s), kSurface)); // title bar
    EXPECT_TRUE(near_colour(list.at(120 * s, 200 * s), kWhite));
    // The round keypad button floats over the list's lower right corner.
    EXPECT_TRUE(near_colour(list.at(192 * s, 237 * s), kAccent));
    EXPECT_GT(count_of(list, 16 * s, 40 * s, 120 * s, 60 * s, dark), 20 * s * s) << "names";
    // The keypad in the tab bar's place, its green call key lower right; the
    // title bar made way for the first row, its matched letters in the accent.
    const Png typed = shot("typed.png");
    EXPECT_GT(count_of(typed, 170 * s, 284 * s, 225 * s, 316 * s, call), 200 * s * s);
    EXPECT_FALSE(near_colour(typed.at(4 * s, 20 * s), kSurface));
    EXPECT_GT(count_of(typed, 10 * s, 2 * s, 40 * s, 22 * s, accent), 10 * s * s);
    const std::string log = log_text();
    EXPECT_THAT(log, HasSubstr("MainForm show_keyboard"));
    std::size_t filters = 0;
    for (auto at = log.find("set_filter_string()"); at != std::string::npos;
         at = log.find("set_filter_string()", at + 1))
        ++filters;
    EXPECT_EQ(filters, 2u) << log;
}
INSTANTIATE_TEST_SUITE_P(Density, MainScreenE2e, ::testing::Values(1, 2));
} // namespace
} // namespace telvara::e2e
