// The dark skin chosen in the settings menu: dark at once, stored, dark after a restart;
// the default chosen again goes back.
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
    int near = 0;
    int all = 0;
    for (int y = y0 * s; y < y1 * s; ++y)
        for (int x = x0 * s; x < x1 * s; ++x, ++all)
            near += near_colour(shot.at(x, y), colour);
    return all > 0 ? double(near) / all : 0;
}

// The main screen in a palette: the list mostly its background, the title
// and tab bars its surface, the round keypad button its accent.
void expect_main_screen_in(const std::string& file, int s, const Palette& palette,
                           const char* name) {
    Png shot;
    ASSERT_TRUE(shot.read(file)) << file;
    ASSERT_EQ(shot.width, 240 * s) << file;
    EXPECT_GT(share_near(shot, s, palette.background, 0, 44, 220, 270), 0.6) << name << " list";
    EXPECT_GT(share_near(shot, s, palette.surface, 0, 0, 240, 40), 0.6) << name << " title bar";
    EXPECT_GT(share_near(shot, s, palette.surface, 0, 280, 240, 320), 0.5) << name << " tabs";
    EXPECT_GT(share_near(shot, s, palette.accent, 194, 238, 200, 248), 0.8) << name << " button";
}

class SkinChoiceE2e : public TelvaraWorld {};

// Menu, Settings, Skin, then the skin named; shots before and after.
std::string choose_skin(const std::string& before, const std::string& name,
                        const std::string& after) {
    return "wait 1000\nshot " + before +
           "\ntap button_menu\nwait 500\ntap Settings\nwait 500\ntap Skin\nwait 500\n"
           "tap Skin#" +
           name + "\nwait 1000\nshot " + after + "\n";
}

TEST_F(SkinChoiceE2e, DarkChosenInTheSettingsMenuTurnsTheScreenDarkAndStays) {
    const Finished chosen = script(choose_skin("light.png", "dark", "dark.png"));
    ASSERT_EQ(chosen.status, 0) << chosen.output;
    expect_main_screen_in((m_dir / "light.png").string(), 1, kLight, "before");
    expect_main_screen_in((m_dir / "dark.png").string(), 1, kDark, "after the choice");
    EXPECT_THAT(settings_text(), HasSubstr("\"Skin\"=\"dark\""));
    // A new start, here at double density, comes up dark, from its splash on.
    const Finished restarted = script("wait 30\nshot splash.png\nwait 1000\nshot again.png\n",
                                      {"--screen", "480x640", "--dpi", "192"});
    ASSERT_EQ(restarted.status, 0) << restarted.output;
    EXPECT_GT(share_near(shot("splash.png"), 2, kDark.background, 0, 0, 240, 60), 0.9)
        << "the splash";
    expect_main_screen_in((m_dir / "again.png").string(), 2, kDark, "after a restart");
    // Choosing the default skin again goes back.
    const Finished back = script(choose_skin("dark2.png", "default", "light2.png"));
    ASSERT_EQ(back.status, 0) << back.output;
    expect_main_screen_in((m_dir / "dark2.png").string(), 1, kDark, "from the setting");
    expect_main_screen_in((m_dir / "light2.png").string(), 1, kLight, "after the choice");
    EXPECT_THAT(settings_text(), HasSubstr("\"Skin\"=\"default\""));
}

} // namespace
} // namespace telvara::e2e
