// The real program, started headless in a world of its own: the splash on
// screen, the hand-over to the main form, the single instance, the start-up
// failures and the script errors.
#include "process_support.h"

#include <filesystem>
#include <signal.h>
#include <sys/wait.h>

namespace telvara::e2e {
namespace {

namespace fs = std::filesystem;

constexpr std::array<int, 3> kWhite{255, 255, 255};
constexpr std::array<int, 3> kAccent{0x1A, 0x73, 0xE8};
constexpr std::array<int, 3> kSurface{0xF3, 0xF5, 0xF7};

class StartupE2e : public TelvaraWorld {};

TEST_F(StartupE2e, SplashShowsTheMarkOnTheBackground) {
    const std::string script = write_file("splash.txt", "wait 100\nshot shots/splash.png\n");
    const Finished run = this->run({"--headless", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;
    Png shot;
    ASSERT_TRUE(shot.read((m_dir / "shots" / "splash.png").string()));
    ASSERT_EQ(shot.width, 240);
    ASSERT_EQ(shot.height, 320);
    // The mark: a disc of the accent colour centred at (120, 130), 88 across.
    EXPECT_TRUE(near_colour(shot.at(120 - 30, 130), kAccent));
    EXPECT_TRUE(near_colour(shot.at(120, 130 + 38), kAccent));
    // Background in the corners and between mark and name.
    for (auto [x, y] : {std::pair{4, 4}, {235, 4}, {4, 315}, {235, 315}, {20, 185}})
        EXPECT_TRUE(near_colour(shot.at(x, y), kWhite)) << x << "," << y;
    // The version text at the bottom: something darker than the background.
    int dark = 0;
    for (int y = 296; y < 310; ++y)
        for (int x = 60; x < 180; ++x)
            dark += shot.at(x, y)[0] < 160;
    EXPECT_GT(dark, 20);
}

TEST_F(StartupE2e, SplashScalesToDoubleDensity) {
    const std::string script = write_file("splash.txt", "wait 100\nshot splash.png\n");
    const Finished run =
        this->run({"--headless", "--screen", "480x640", "--dpi", "192", "--script", script});
    ASSERT_EQ(run.status, 0) << run.output;
    Png shot;
    ASSERT_TRUE(shot.read((m_dir / "splash.png").string()));
    ASSERT_EQ(shot.width, 480);
    EXPECT_TRUE(near_colour(shot.at(240 - 60, 260), kAccent));
    EXPECT_TRUE(near_colour(shot.at(8, 8), kWhite));
}

TEST_F(StartupE2e, SplashHandsOverToTheMainFormWithTheCommandLine) {
    const std::string script = write_file("main.txt", "wait 1000\nshot main.png\n");
    const Finished run = this->run({"--headless", "--log", "--script", script, "recents"});
    ASSERT_EQ(run.status, 0) << run.output;
    Png shot;
    ASSERT_TRUE(shot.read((m_dir / "main.png").string()));
    EXPECT_TRUE(near_colour(shot.at(4, 20), kSurface)); // the title bar
    EXPECT_TRUE(near_colour(shot.at(120, 200), kWhite));
    const std::string log = log_text();
    for (const char* step :
         {" start: 1", " start: 2", " start: 3", " start: 5", " start: 6", " start: run: 2",
          " start: run: 5", " WinMain 10", "MainForm::on_command_line cmd=recents"})
        EXPECT_NE(log.find(step), std::string::npos) << step << "\n" << log;
    EXPECT_LT(log.find(" start: 6"), log.find(" WinMain 10"));
}

TEST_F(StartupE2e, SecondStartHandsItsCommandLineToTheFirst) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" WinMain 10")) << log_text();

    const Finished second = run({"open:+4930123"});
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=open:+4930123\n")) << log_text();
    const Finished empty = run({});
    EXPECT_EQ(empty.status, 0) << empty.output;
    // The empty line travels as a placeholder and arrives empty.
    EXPECT_TRUE(wait_for_log("MainForm::on_command_line cmd=\n")) << log_text();
    EXPECT_EQ(log_text().find("CommandLineEmpty"), std::string::npos);

    ::kill(first, SIGTERM);
    finish(first);
}

TEST_F(StartupE2e, KilledInstanceLeavesNothingThatBlocksTheNext) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" start: 6")) << log_text();
    ::kill(first, SIGKILL);
    finish(first);
    const std::string script = write_file("s.txt", "wait 50\nshot again.png\n");
    const Finished next = run({"--headless", "--script", script});
    EXPECT_EQ(next.status, 0) << next.output;
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
        const std::string log = log_text();
        EXPECT_NE(log.find(" signal " + std::to_string(signal) + ": closing"), std::string::npos)
            << log;
        EXPECT_NE(log.find("Application::~Application()"), std::string::npos) << log;
        std::error_code ignored;
        fs::remove(m_root / "Temp" / "telvara.txt", ignored);
    }
}

TEST_F(StartupE2e, InstancesOfDifferentDeviceRootsRunSideBySide) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" start: 6")) << log_text();
    const std::string script = write_file("s.txt", "wait 50\nshot other.png\n");
    const Finished other =
        run({"--headless", "--root", (m_dir / "other-root").string(), "--script", script});
    EXPECT_EQ(other.status, 0) << other.output;
    EXPECT_TRUE(fs::exists(m_dir / "other.png"));
    ::kill(first, SIGTERM);
    finish(first);
}

// A program folder holding a copy of the binary and only the given files.
std::string program_folder(const fs::path& folder, const std::vector<std::string>& files) {
    fs::create_directories(folder);
    const fs::path built = fs::path(TELVARA_BINARY).parent_path();
    fs::copy_file(TELVARA_BINARY, folder / "telvara");
    for (const std::string& file : files) {
        fs::create_directories((folder / file).parent_path());
        fs::copy(built / file, folder / file, fs::copy_options::recursive);
    }
    return (folder / "telvara").string();
}

TEST_F(StartupE2e, WithoutLanguageFilesTheStartStopsWithItsMessage) {
    const std::string binary = program_folder(m_dir / "bare", {"skins/bin"});
    const std::string script = write_file("s.txt", "wait 100\n");
    const Finished run = this->run({"--headless", "--script", script}, binary);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("No languages, please reinstall"), std::string::npos) << run.output;
}

TEST_F(StartupE2e, WithoutTheSplashSkinTheStartStops) {
    const std::string binary = program_folder(m_dir / "noskin", {"english.lng"});
    const Finished run =
        this->run({"--headless", "--script", write_file("s.txt", "wait 1\n")}, binary);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("Telvara: "), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("No languages"), std::string::npos) << run.output;
}

TEST_F(StartupE2e, WithoutAMainSkinTheSplashEndsTheStart) {
    const std::string binary =
        program_folder(m_dir / "nomain", {"english.lng", "skins/bin/splash.skin",
                                          "skins/bin/splash", "skins/bin/@2x/splash"});
    const Finished run = this->run(
        {"--headless", "--script", write_file("s.txt", "wait 2000\nshot never.png\n")}, binary);
    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_FALSE(fs::exists(m_dir / "never.png"));
}

TEST_F(StartupE2e, BadScriptLineStopsBeforeAnythingRuns) {
    const std::string script = write_file("bad.txt", "wait 10\nfly 1 2\n");
    const Finished run = this->run({"--headless", "--script", script});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("bad.txt:2: unknown command \"fly\""), std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(m_root / "Temp"));
}

TEST_F(StartupE2e, KeyNoDeviceKeyProducesFailsWithItsLine) {
    const std::string script = write_file("esc.txt", "wait 10\n\nkey SLIDE\n");
    const Finished run = this->run({"--headless", "--script", script});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("esc.txt:3:"), std::string::npos) << run.output;
}

TEST_F(StartupE2e, WithoutADisplayTheUserIsToldHowToRunHeadless) {
    const Finished run = this->run({}, {}, {{"SDL_VIDEODRIVER", "x11"}});
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("--headless --script"), std::string::npos) << run.output;
}

TEST_F(StartupE2e, UnknownOptionAndHelp) {
    const Finished bad = run({"--fast"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("unknown option --fast"), std::string::npos);
    const Finished help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("shot FILE.png"), std::string::npos);
}

} // namespace
} // namespace telvara::e2e
