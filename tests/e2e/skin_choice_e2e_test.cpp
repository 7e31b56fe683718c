// Choosing the dark skin as a user does: Menu, Settings, Skin, Dark. The
// main screen turns to the dark palette at once, the choice is stored, and
// the next start (also at double density, with the dark skin's own
// pictures) comes up dark.
#include "process_support.h"

#include <fstream>
#include <iterator>

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

class SkinChoiceE2e : public TelvaraWorld {
  protected:
    std::string settings_text() const {
        std::ifstream in(m_root / "registry.reg", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(SkinChoiceE2e, DarkChosenInTheSettingsMenuTurnsTheScreenDarkAndStays) {
    const std::string script = write_file("choose.txt", "wait 1000\n"
                                                        "shot light.png\n"
                                                        "tap button_menu\n"
                                                        "wait 500\n"
                                                        "tap Settings\n"
                                                        "wait 500\n"
                                                        "tap Skin\n"
                                                        "wait 500\n"
                                                        "tap Skin#dark\n"
                                                        "wait 1000\n"
                                                        "shot dark.png\n");
    const Finished chosen = run({"--headless", "--script", script});
    ASSERT_EQ(chosen.status, 0) << chosen.output;
    expect_main_screen_in((m_dir / "light.png").string(), 1, kLight, "before");
    expect_main_screen_in((m_dir / "dark.png").string(), 1, kDark, "after the choice");
    EXPECT_NE(settings_text().find("\"Skin\"=\"dark\""), std::string::npos) << settings_text();

    // A new start, here at double density, comes up dark, from its splash on.
    const std::string again =
        write_file("again.txt", "wait 30\nshot splash.png\nwait 1000\nshot again.png\n");
    const Finished restarted =
        run({"--headless", "--screen", "480x640", "--dpi", "192", "--script", again});
    ASSERT_EQ(restarted.status, 0) << restarted.output;
    Png splash;
    ASSERT_TRUE(splash.read((m_dir / "splash.png").string()));
    EXPECT_GT(share_near(splash, 2, kDark.background, 0, 0, 240, 60), 0.9) << "the splash";
    expect_main_screen_in((m_dir / "again.png").string(), 2, kDark, "after a restart");
}

TEST_F(SkinChoiceE2e, ChoosingTheLightSkinAgainGoesBack) {
    std::ofstream(m_root / "registry.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n\"Skin\"=\"dark\"\n";
    const std::string script = write_file("back.txt", "wait 1000\n"
                                                      "shot dark.png\n"
                                                      "tap button_menu\n"
                                                      "wait 500\n"
                                                      "tap Settings\n"
                                                      "wait 500\n"
                                                      "tap Skin\n"
                                                      "wait 500\n"
                                                      "tap Skin#default\n"
                                                      "wait 1000\n"
                                                      "shot light.png\n");
    const Finished back = run({"--headless", "--script", script});
    ASSERT_EQ(back.status, 0) << back.output;
    expect_main_screen_in((m_dir / "dark.png").string(), 1, kDark, "from the setting");
    expect_main_screen_in((m_dir / "light.png").string(), 1, kLight, "after the choice");
    EXPECT_NE(settings_text().find("\"Skin\"=\"default\""), std::string::npos) << settings_text();
}

} // namespace
} // namespace telvara::e2e
