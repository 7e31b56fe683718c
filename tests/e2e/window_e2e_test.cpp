// The real program in a real window under Xvfb, compared with the same steps run headless.
#include "process_support.h"
#include <bit>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
namespace telvara::e2e {
namespace {
// An X window dump (xwd's format: a big-endian header, colours, then rows), only the
// 32-bit ZPixmap of a true-colour screen, read into a Png's pixels.
bool read_xwd(const std::string& file, Png& shot) {
    const std::string bytes = read_file(file);
    const auto field = [&](std::size_t index) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(bytes[index * 4 + i]);
        return value;
    };
    if (bytes.size() < 100 || field(1) != 7 || field(2) != 2 || field(11) != 32)
        return false;
    shot.width = int(field(4));
    shot.height = int(field(5));
    const std::size_t line = field(12), start = field(0) + std::size_t(field(19)) * 12;
    if (bytes.size() < start + line * std::size_t(shot.height))
        return false;
    shot.rgb.resize(std::size_t(shot.width) * std::size_t(shot.height) * 3);
    for (std::size_t y = 0, i = 0; y < std::size_t(shot.height); ++y)
        for (std::size_t x = 0; x < std::size_t(shot.width); ++x) {
            const auto* p =
                reinterpret_cast<const unsigned char*>(bytes.data()) + start + y * line + x * 4;
            const std::uint32_t pixel =
                field(7) == 0 ? p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24
                              : std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
            for (std::size_t mask = 14; mask < 17; ++mask)
                shot.rgb[i++] = static_cast<unsigned char>((pixel & field(mask)) >>
                                                           std::countr_zero(field(mask)));
        }
    return true;
}
// The share of pixels whose colour differs noticeably; 1 when the sizes differ.
double difference(const Png& window, const Png& frame) {
    if (window.width != frame.width || window.height != frame.height)
        return 1;
    std::size_t different = 0;
    for (std::size_t i = 0; i < window.rgb.size(); i += 3)
        different += !near_colour({window.rgb[i], window.rgb[i + 1], window.rgb[i + 2]},
                                  {frame.rgb[i], frame.rgb[i + 1], frame.rgb[i + 2]}, 12);
    return double(different) / double(window.rgb.size() / 3);
}
// A window that shows this frame, give or take the odd pixel.
constexpr double kSameFrame = 0.005;
class WindowE2e : public TelvaraWorld {
  protected:
    void SetUp() override {
        TelvaraWorld::SetUp();
        // A headless machine's environment: nobody chose a video driver.
        ::unsetenv("SDL_VIDEODRIVER");
    }
};

TEST_F(WindowE2e, WithoutADisplayTheStartSaysSoUnlessADriverIsChosen) {
    // Twice: nothing stays behind to take the next start's words.
    for (int i = 0; i < 2; ++i) {
        const Finished run = finish(start({}), 10s);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_THAT(run.output, ::testing::AllOf(HasSubstr("no display"),
                                                 HasSubstr("telvara --headless --script FILE")));
    }
    // The X11 driver asked for by name tells the same.
    const Finished x11 = run({}, {}, {{"SDL_VIDEODRIVER", "x11"}});
    EXPECT_NE(x11.status, 0);
    EXPECT_THAT(x11.output, HasSubstr("--headless --script"));
    // Another driver chosen by name is used even without a display.
    const pid_t running = start({"--log"}, {}, {{"SDL_VIDEODRIVER", "offscreen"}});
    EXPECT_TRUE(wait_for_log(" WinMain 10")) << output_so_far(running) << log_text();
    ::kill(running, SIGTERM);
    EXPECT_EQ(finish(running).status, 0);
}
// An X server of the test's own on a free display number, and the tools that
// drive and photograph its windows.
class XvfbE2e : public WindowE2e {
  protected:
    // Xvfb writes its display number to a pipe once it takes connections.
    void SetUp() override {
        WindowE2e::SetUp();
        const std::string xvfb = find_program("Xvfb");
        int fds[2];
        if (xvfb.empty() || ::pipe(fds) != 0)
            GTEST_SKIP() << "no X server for a real window: Xvfb is not installed "
                            "(scripts/setup.sh installs xvfb)";
        m_xvfb = start({"-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                        "-nolisten", "tcp"},
                       xvfb);
        ::close(fds[1]);
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 10000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            m_display += c;
        ::close(fds[0]);
        if (m_display.empty())
            GTEST_SKIP() << "no X server for a real window: Xvfb did not start within 10 s";
        m_display.insert(0, ":");
    }
    // What a failed step left running goes first, then its X server.
    void TearDown() override {
        for (pid_t pid : m_started) {
            if (::waitpid(pid, nullptr, WNOHANG) == 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
        if (m_xvfb > 0) {
            ::kill(m_xvfb, SIGTERM);
            ::waitpid(m_xvfb, nullptr, 0);
        }
        TelvaraWorld::TearDown();
    }
    // Starts a program that shows a window (or waits for one) on the display.
    pid_t start_on_display(const std::vector<std::string>& args, const std::string& binary = {},
                           std::map<std::string, std::string> env = {}) {
        env["DISPLAY"] = m_display;
        const pid_t pid = start(args, binary, env);
        m_started.push_back(pid);
        return pid;
    }
    // Runs a tool on the display; its output, or nothing when it failed.
    std::optional<std::string> tool(const std::string& name, const std::vector<std::string>& args,
                                    std::map<std::string, std::string> env = {}) {
        env["DISPLAY"] = m_display;
        const std::string program = find_program(name);
        const Finished done = program.empty()
                                  ? Finished{127, "not installed (scripts/setup.sh installs it)"}
                                  : finish(start(args, program, env), 20s);
        if (done.status == 0)
            return done.output;
        ADD_FAILURE() << name << " failed: " << done.output;
        return std::nullopt;
    }
    // The window of a Telvara started on the display, once it is mapped.
    std::string find_window() {
        const auto found =
            tool("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Telvara$"});
        return found ? found->substr(0, found->find('\n')) : std::string();
    }
    // Takes shots of the window until one shows `frame` (the window takes its time to
    // start, animate and repaint), for 15 s at most; the last shot's difference.
    double shows(const std::string& window, const Png& frame) {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        const std::string file = (m_dir / "window.xwd").string();
        double last = 1;
        Png shot;
        do {
            if (tool("xwd", {"-silent", "-id", window, "-out", file}) && read_xwd(file, shot) &&
                (last = difference(shot, frame)) < kSameFrame)
                break;
            std::this_thread::sleep_for(200ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return last;
    }
    // The frame of a headless run of `script` that ends with "shot NAME.png",
    // in a device root of its own that starts with the same demo phone.
    Png headless_frame(const std::string& name, const std::string& size, const std::string& script,
                       const std::vector<std::string>& words = {}) {
        const std::string root = (m_dir / ("root-" + name)).string();
        const std::string file = write_file(name + ".txt", script + "shot " + name + ".png\n");
        std::vector<std::string> args{"--headless", "--root",   root, "--screen",
                                      size,         "--script", file};
        args.insert(args.end(), words.begin(), words.end());
        const Finished run = this->run(args);
        EXPECT_EQ(run.status, 0) << run.output;
        return shot(name + ".png");
    }
    std::string m_display;
    pid_t m_xvfb = -1;
    std::vector<pid_t> m_started;
};
// Laid out again at a new size as if started at it, then a click on the contacts tab at
// (58, 612) and digits from the keyboard, as a user would: each as a headless run draws it.
TEST_F(XvfbE2e, TheWindowFollowsANewSizeClicksAndKeysAsTheHeadlessRunDraws) {
    const Png listed = headless_frame("listed", "480x640", "wait 1500\n");
    const Png landscape = headless_frame("landscape", "640x480", "wait 1500\n");
    const Png narrowed = headless_frame("narrowed", "480x640",
                                        "wait 1000\ntap 58 612\nwait 400\nkey 5\nkey 6\nwait 600\n"
                                        "expect text text_button_call \"56\" 0\n");
    const pid_t running = start_on_display({});
    const std::string window = find_window();
    ASSERT_FALSE(window.empty()) << output_so_far(running);
    EXPECT_LT(shows(window, listed), kSameFrame) << "the list";
    ASSERT_TRUE(tool("xdotool", {"windowsize", "--sync", window, "640", "480"}));
    EXPECT_LT(shows(window, landscape), kSameFrame) << "landscape";
    ASSERT_TRUE(tool("xdotool", {"windowsize", "--sync", window, "480", "640"}));
    EXPECT_LT(shows(window, listed), kSameFrame) << "portrait again";
    ASSERT_TRUE(tool("xdotool", {"mousemove", "--sync", "--window", window, "58", "612"}));
    ASSERT_TRUE(tool("xdotool", {"click", "1"}));
    ASSERT_TRUE(tool("xdotool", {"windowfocus", "--sync", window}));
    ASSERT_TRUE(tool("xdotool", {"key", "--delay", "150", "5", "6"}));
    EXPECT_LT(shows(window, narrowed), kSameFrame) << "the narrowed list";
    ::kill(running, SIGTERM);
    EXPECT_EQ(finish(running).status, 0);
}
// xdg-open starts Telvara through its desktop entry, then hands the next link to it.
TEST_F(XvfbE2e, LinksOpenedWithXdgOpenPutTheNumberOnTheKeypad) {
    const fs::path applications = m_dir / "share/applications";
    fs::create_directories(applications);
    fs::create_directories(m_dir / "config");
    fs::copy_file(fs::path(TELVARA_PACKAGING_DIR) / "com.kelma.Telvara.desktop",
                  applications / "com.kelma.Telvara.desktop");
    ASSERT_TRUE(tool("update-desktop-database", {applications.string()}));
    // A desktop of no particular kind, whose programs are on PATH.
    const std::map<std::string, std::string> desktop{
        {"XDG_DATA_HOME", (m_dir / "share").string()},
        {"XDG_DATA_DIRS", (m_dir / "share").string()},
        {"XDG_CONFIG_HOME", (m_dir / "config").string()},
        {"XDG_CONFIG_DIRS", (m_dir / "config").string()},
        {"XDG_CURRENT_DESKTOP", ""},
        {"DESKTOP_SESSION", ""},
        {"BROWSER", ""},
        {"PATH", fs::path(TELVARA_BINARY).parent_path().string() + ":/usr/bin:/bin"}};
    // The keypad's number line: the frames show the numbers on the keypad.
    const std::string dialled_number = "expect text text_button_call \"+49301234567\" 0\n";
    const Png dialled =
        headless_frame("dialled", "480x640", "wait 1500\n" + dialled_number, {"tel:+49301234567"});
    const Png redialled = headless_frame("redialled", "480x640",
                                         "wait 1500\n" + dialled_number +
                                             "cmdline callto:+4930555\nwait 600\n"
                                             "expect text text_button_call \"+4930555\" 0\n",
                                         {"tel:+49301234567"});
    // xdg-open waits for the program it started.
    const pid_t opener = start_on_display({"tel:%2B49-30-123.45.67;phone-context=example.com"},
                                          find_program("xdg-open"), desktop);
    const std::string window = find_window();
    ASSERT_FALSE(window.empty()) << output_so_far(opener);
    EXPECT_LT(shows(window, dialled), kSameFrame) << "dialled";
    EXPECT_TRUE(tool("xdg-open", {"callto://+49 30 555"}, desktop));
    EXPECT_LT(shows(window, redialled), kSameFrame) << "redialled";
    const auto pid = tool("xdotool", {"getwindowpid", window});
    ASSERT_TRUE(pid);
    ::kill(std::stoi(*pid), SIGTERM);
    EXPECT_EQ(finish(opener).status, 0) << output_so_far(opener);
}
} // namespace
} // namespace telvara::e2e
