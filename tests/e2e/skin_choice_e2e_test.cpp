// The light splash, then the dark skin chosen in the settings menu: dark at once, stored,
// dark after a restart from its splash on. Choosing back is the skin menu's test's.
#include "process_support.h"
namespace telvara::e2e {
namespace {
struct Palette {
    std::array<int, 3> background;
    std::array<int, 3> surface;
    std::array<int, 3> accent;
};
constexpr Palette kLight{{0xFF, 0xFF, 0xFF}, {0xF3, 0xF5, 0xF7}, {0x1A, 0x73, 0xE8}};
constexpr Palette kDark{{0x11, 0x14, 0x17}, {0x1C, 0x20, 0x25}, {0x5E, 0xA2, 0xFF}};
// Share of the pixels in a rectangle (design pixels, times s) near a colour.
double share_near(const Png& shot, int s, std::array<int, 3> colour, int x0, int y0, int x1,
                  int y1) {
    int near = 0, all = 0;
    for (int y = y0 * s; y < y1 * s; ++y)
        for (int x = x0 * s; x < x1 * s; ++x, ++all)
            near += near_colour(shot.at(x, y), colour);
    return all > 0 ? double(near) / all : 0;
}
class SkinChoiceE2e : public TelvaraWorld {
  protected:
    // The main screen in a palette: the list mostly its background, the title and tab
    // bars its surface, the round keypad button its accent.
    void expect_main_screen_in(const std::string& file, int s, const Palette& palette) {
        SCOPED_TRACE(file);
        const Png png = shot(file);
        ASSERT_EQ(png.width, 240 * s);
        EXPECT_GT(share_near(png, s, palette.background, 0, 44, 220, 270), 0.6) << "list";
        EXPECT_GT(share_near(png, s, palette.surface, 0, 0, 240, 40), 0.6) << "title bar";
        EXPECT_GT(share_near(png, s, palette.surface, 0, 280, 240, 320), 0.5) << "tabs";
        EXPECT_GT(share_near(png, s, palette.accent, 194, 238, 200, 248), 0.8) << "button";
    }
};

TEST_F(SkinChoiceE2e, DarkChosenInTheSettingsMenuTurnsTheScreenDarkAndStays) {
    const Finished chosen = script(
        "wait 100\nshot first.png\nwait 900\nshot light.png\ntap button_menu\nwait 500\n"
        "tap Settings\nwait 500\ntap Skin\nwait 500\ntap Skin#dark\nwait 1000\nshot dark.png\n");
    ASSERT_EQ(chosen.status, 0) << chosen.output;
    EXPECT_TRUE(near_colour(shot("first.png").at(120, 168), kLight.accent)) << "the splash's disc";
    expect_main_screen_in("light.png", 1, kLight);
    expect_main_screen_in("dark.png", 1, kDark);
    EXPECT_THAT(settings_text(), HasSubstr("\"Skin\"=\"dark\""));
    // A new start, here at double density, comes up dark, from its splash on.
    const Finished restarted = script("wait 30\nshot splash.png\nwait 1000\nshot again.png\n",
                                      {"--screen", "480x640", "--dpi", "192"});
    ASSERT_EQ(restarted.status, 0) << restarted.output;
    EXPECT_GT(share_near(shot("splash.png"), 2, kDark.background, 0, 0, 240, 60), 0.9);
    expect_main_screen_in("again.png", 2, kDark);
}
} // namespace
} // namespace telvara::e2e
