// The real program started headless: splash, hand-over, single instance, failed starts.
#include "process_support.h"

#include <signal.h>

namespace telvara::e2e {
namespace {

constexpr std::array<int, 3> kWhite{255, 255, 255};
constexpr std::array<int, 3> kAccent{0x1A, 0x73, 0xE8};
constexpr std::array<int, 3> kSurface{0xF3, 0xF5, 0xF7};

class StartupE2e : public TelvaraWorld {};

TEST_F(StartupE2e, SplashShowsTheMarkOnTheBackgroundAtBothDensities) {
    ASSERT_EQ(script("wait 100\nshot shots/splash.png\n").status, 0);
    const Png splash = shot("shots/splash.png");
    ASSERT_EQ(std::pair(splash.width, splash.height), std::pair(240, 320));
    // The mark: a disc of the accent colour centred at (120, 130), 88 across.
    EXPECT_TRUE(near_colour(splash.at(120 - 30, 130), kAccent));
    EXPECT_TRUE(near_colour(splash.at(120, 130 + 38), kAccent));
    for (auto [x, y] : {std::pair{4, 4}, {235, 4}, {4, 315}, {235, 315}, {20, 185}})
        EXPECT_TRUE(near_colour(splash.at(x, y), kWhite)) << x << "," << y;
    // The version text at the bottom: something darker than the background.
    int dark = 0;
    for (int y = 296; y < 310; ++y)
        for (int x = 60; x < 180; ++x)
            dark += splash.at(x, y)[0] < 160;
    EXPECT_GT(dark, 20);
    ASSERT_EQ(script("wait 100\nshot double.png\n", {"--screen", "480x640", "--dpi", "192"}).status,
              0);
    const Png twice = shot("double.png");
    ASSERT_EQ(twice.width, 480);
    EXPECT_TRUE(near_colour(twice.at(240 - 60, 260), kAccent));
    EXPECT_TRUE(near_colour(twice.at(8, 8), kWhite));
}

TEST_F(StartupE2e, SplashHandsOverToTheMainFormWithTheCommandLine) {
    const Finished run =
        this->run({"--headless", "--log", "--script",
                   write_file("main.txt", "wait 1000\nshot main.png\n"), "recents"});
    ASSERT_EQ(run.status, 0) << run.output;
    const Png main = shot("main.png");
    EXPECT_TRUE(near_colour(main.at(4, 20), kSurface)); // the title bar
    EXPECT_TRUE(near_colour(main.at(120, 200), kWhite));
    const std::string log = log_text();
    for (const char* step :
         {" start: 1", " start: 2", " start: 3", " start: 5", " start: 6", " start: run: 2",
          " start: run: 5", " WinMain 10", "MainForm::on_command_line cmd=recents"})
        EXPECT_THAT(log, HasSubstr(step));
    EXPECT_LT(log.find(" start: 6"), log.find(" WinMain 10"));
}

TEST_F(StartupE2e, SecondStartHandsItsCommandLineToTheFirst) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" WinMain 10")) << log_text();
    EXPECT_EQ(run({"open:+4930123"}).status, 0);
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=open:+4930123\n")) << log_text();
    EXPECT_EQ(run({}).status, 0);
    // The empty line travels as a placeholder and arrives empty.
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=\n")) << log_text();
    EXPECT_THAT(log_text(), Not(HasSubstr("CommandLineEmpty")));
    // Another device root is another phone: it runs beside this one.
    EXPECT_EQ(
        script("wait 50\nshot other.png\n", {"--root", (m_dir / "other-root").string()}).status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "other.png"));
    ::kill(first, SIGTERM);
    finish(first);
}

TEST_F(StartupE2e, KilledInstanceLeavesNothingThatBlocksTheNext) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" start: 6")) << log_text();
    ::kill(first, SIGKILL);
    finish(first);
    EXPECT_EQ(script("wait 50\nshot again.png\n").status, 0);
    EXPECT_TRUE(fs::exists(m_dir / "again.png"));
}

// Ctrl-C or a service manager's SIGTERM closes the program as its window
// would: the shut-down runs in order and the exit status is 0.
TEST_F(StartupE2e, TerminationSignalClosesTheProgramInOrder) {
    for (int signal : {SIGTERM, SIGINT}) {
        const pid_t running = start({"--headless", "--log"});
        ASSERT_TRUE(wait_for_log(" WinMain 10")) << log_text();
        ::kill(running, signal);
        const Finished end = finish(running);
        EXPECT_EQ(end.status, 0) << signal << "\n" << end.output;
        EXPECT_THAT(log_text(), HasSubstr(" signal " + std::to_string(signal) + ": closing"));
        EXPECT_THAT(log_text(), HasSubstr("Application::~Application()"));
        fs::remove(m_root / "Temp" / "telvara.txt");
    }
}

// A program folder lacking what the start needs stops it with its message.
TEST_F(StartupE2e, MissingProgramFilesStopTheStart) {
    const struct {
        const char* folder;
        std::vector<std::string> files;
        const char* said;
        const char* not_said;
    } rows[] = {
        {"bare", {"skins/bin"}, "No languages, please reinstall", nullptr},
        {"noskin", {"english.lng"}, "Telvara: ", "No languages"},
        {"nomain",
         {"english.lng", "skins/bin/splash.skin", "skins/bin/splash", "skins/bin/@2x/splash"},
         "",
         nullptr},
    };
    for (const auto& row : rows) {
        const Finished run =
            script("wait 2000\nshot never.png\n", {}, program_folder(row.files, {}, row.folder));
        EXPECT_NE(run.status, 0) << row.folder << "\n" << run.output;
        EXPECT_THAT(run.output, HasSubstr(row.said)) << row.folder;
        if (row.not_said != nullptr) {
            EXPECT_THAT(run.output, Not(HasSubstr(row.not_said))) << row.folder;
        }
        EXPECT_FALSE(fs::exists(m_dir / "never.png")) << row.folder;
    }
}

TEST_F(StartupE2e, BadScriptLinesStopBeforeAnythingRuns) {
    const Finished fly =
        run({"--headless", "--script", write_file("bad.txt", "wait 10\nfly 1 2\n")});
    EXPECT_NE(fly.status, 0);
    EXPECT_THAT(fly.output, HasSubstr("bad.txt:2: unknown command \"fly\""));
    EXPECT_FALSE(fs::exists(m_root / "Temp"));
    const Finished key =
        run({"--headless", "--script", write_file("esc.txt", "wait 10\n\nkey SLIDE\n")});
    EXPECT_NE(key.status, 0);
    EXPECT_THAT(key.output, HasSubstr("esc.txt:3:"));
}

TEST_F(StartupE2e, ATapOnANodeNotShownStopsTheScriptAndSaysSo) {
    for (const char* name : {"nosuch", "big#-99", "big#0"}) {
        const Finished run = script(std::string("wait 1500\ntap ") + name + "\n");
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_THAT(run.output, HasSubstr("script.txt:2: no node ")) << name;
    }
}

TEST_F(StartupE2e, UnknownOptionAndHelp) {
    const Finished bad = run({"--fast"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_THAT(bad.output, HasSubstr("unknown option --fast"));
    const Finished help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.output, HasSubstr("shot FILE.png"));
}

} // namespace
} // namespace telvara::e2e
