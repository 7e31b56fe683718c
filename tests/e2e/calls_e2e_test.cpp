// Calls in the real program against `telvara-modem serve` on TCP; each shot is taken
// without further input: what the user sees must already be there.
#include "process_support.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
namespace telvara::e2e {
namespace {
using Rows = std::vector<std::string>;
// The call screen's background and the strip's green (design colours).
constexpr std::array<int, 3> kCallBackground{0x11, 0x14, 0x17};
constexpr std::array<int, 3> kStripGreen{0x1E, 0x8E, 0x3E};
class CallsE2e : public TelvaraWorld {
  protected:
    void SetUp() override {
        TelvaraWorld::SetUp();
        m_server = start({"serve", "--listen", "127.0.0.1:0", "--control", "127.0.0.1:0"},
                         TELVARA_MODEM_BINARY);
        // It says where it listens: "AT HOST:PORT" and "control HOST:PORT".
        static const std::regex said("AT [^\n]*:(\\d+)\n[^]*control [^\n]*:(\\d+)\n");
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::string output;
        std::smatch ports;
        while (!std::regex_search(output = output_so_far(m_server), ports, said)) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << output;
            std::this_thread::sleep_for(10ms);
        }
        m_at_port = ports[1];
        m_control_port = ports[2];
    }
    void TearDown() override {
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            finish(m_server);
        }
        TelvaraWorld::TearDown();
    }
    // The settings of a phone whose modem is the simulator on TCP.
    void settings(bool demo = true, const std::string& modem = {}) const {
        TelvaraWorld::settings("\"Modem\"=\"" +
                                   (modem.empty() ? "tcp:127.0.0.1:" + m_at_port : modem) +
                                   "\"\n\"ModemControl\"=\"127.0.0.1:" + m_control_port + "\"\n",
                               demo);
    }
    bool call_screen(const std::string& name) const {
        const Png png = shot(name);
        return png.width > 0 && near_colour(png.at(4, 30), kCallBackground);
    }
    pid_t m_server = -1;
    std::string m_at_port;
    std::string m_control_port;
};
// Places of the default skin at 240x320.
constexpr char kOpenKeypad[] = "tap 208 240\nwait 400\n";
constexpr char kCallKey[] = "tap button_call\n";
constexpr char kShowCall[] = "wait 300\n"; // the call screen fades in over 0.2 s
TEST_F(CallsE2e, EveryPlaceThatCallsShowsTheCallScreenInTheNextShot) {
    settings();
    const std::string hang_up = "phone hangup\nwait 400\n";
    const Finished run = script(
        std::string("wait 1500\n") +
        // The keypad.
        kOpenKeypad + "key 5\nkey 5\nkey 5\n" + kCallKey + kShowCall + "shot keypad.png\n" +
        hang_up + "tap button_close\nwait 400\n" +
        // A card's phone row, after starring it.
        "tap 100 65\nwait 600\ntap 188 172\nwait 200\ntap 100 172\n" + kShowCall +
        "shot card.png\n" + hang_up + "tap 24 24\nwait 600\n" +
        // The favourite.
        "tap 84 295\nwait 500\ntap 100 68\n" + kShowCall + "shot favourite.png\n" + hang_up +
        // A recents row, then the calls of one contact.
        "tap 148 295\nwait 500\ntap 100 68\n" + kShowCall + "shot recent.png\n" + hang_up +
        "tap 225 68\nwait 600\ntap 150 130\n" + kShowCall + "shot contact-calls.png\n" + hang_up);
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* name :
         {"keypad.png", "card.png", "favourite.png", "recent.png", "contact-calls.png"})
        EXPECT_TRUE(call_screen(name)) << name;
}

TEST_F(CallsE2e, AnsweredCallRunsItsTimerOnTheScriptClockAndTheStripLeadsBack) {
    settings();
    const Finished run =
        script(std::string("wait 1500\n") + kOpenKeypad + "key 5\nkey 5\nkey 5\n" + kCallKey +
               "expect dialing\nmodem answer\nwait 300\n"
               "expect text txtDuration 0:00\n"
               "wait 5000\nshot connected.png\n"
               "expect text txtDuration 0:05\n"
               // The call's Contacts toggle: the strip shows the call.
               "tap 193 232\nwait 400\nshot strip.png\n"
               "expect text txtCallStrip 555  \u00B7  0:05\n"
               "tap 120 20\n" +
               kShowCall + "shot back.png\nexpect screen Call 0\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(call_screen("connected.png"));
    const Png strip = shot("strip.png");
    EXPECT_TRUE(near_colour(strip.at(4, 4), kStripGreen));
    EXPECT_FALSE(near_colour(strip.at(4, 160), kCallBackground)) << "the main screen is in front";
    EXPECT_TRUE(call_screen("back.png"));
}

TEST_F(CallsE2e, FailuresAreSaidOnTheCallScreenThenItGoesBack) {
    settings();
    const Finished run = script(std::string("wait 1500\nmodem busy 777\n") + kOpenKeypad +
                                "key 7\nkey 7\nkey 7\n" + kCallKey + kShowCall +
                                "shot calling.png\nexpect text txtStatus Busy\nshot busy.png\n"
                                // It goes back on its own.
                                "wait 2600\nexpect screen Main 0\n"
                                // No network where the SIM says it is registered nowhere.
                                "modem register off\nexpect text text_network \"No service\"\n"
                                "key 1\nkey 2\n" +
                                kCallKey + kShowCall + "expect text txtStatus \"No service\" 0\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(call_screen("calling.png"));
    EXPECT_TRUE(call_screen("busy.png"));
}
// Holding 0 types a plus on the script clock; a long "#" is "*"; the service code's reply
// comes in a panel.
TEST_F(CallsE2e, LongPressesTypeSignsAndServiceCodesReplyInAPanel) {
    settings();
    const Finished run = script(
        std::string("wait 1500\nmodem ussd *100# Balance 12.34 EUR\n") + kOpenKeypad +
        "down 120 300\nwait 650\n"
        "expect text text_network \"Telvara Mobile  \u2582\u2584\u2586\u2588\" 0\n"
        "wait 100\nup 120 300\nexpect text text_button_call \"+\" 0\n"
        "tap button0\nexpect text text_button_call \"+0\" 0\nkey Backspace\nkey Backspace\n"
        "down 40 300\nwait 800\nup 40 300\nexpect text text_button_call \"*\" 0\n"
        "key 1\nkey 0\nkey 0\nkey #\n" +
        kCallKey +
        "expect screen MessagePanel\nwait 300\nexpect text txtPanelText \"Balance 12.34 EUR\" 0\n"
        "key Enter\nwait 300\nexpect screen Main 0\n");
    ASSERT_EQ(run.status, 0) << run.output;
}

TEST_F(CallsE2e, ALockedSimAsksForItsPinAndTheCallThenGoesThrough) {
    settings();
    const Finished run = script(std::string("wait 1500\nmodem sim pin 2468\n") +
                                    "expect screen PinForm\nwait 300\n"
                                    // Turned away, it comes back when a call needs the SIM.
                                    "key Backspace\nwait 300\nexpect screen Main 0\n" +
                                    kOpenKeypad + "key 5\nkey 5\nkey 5\n" + kCallKey +
                                    "expect screen PinForm\nwait 300\n"
                                    "key 1\nkey 1\nkey 1\nkey 1\nkey Enter\n"
                                    "expect text txtPinInfo Wrong code, 2 tries left\n"
                                    "key 2\nkey 4\nkey 6\nkey 8\nkey Enter\n"
                                    "expect dialing\nexpect screen Call\nmodem answer\n",
                                {"--log"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(log_text(), AllOf(HasSubstr("WinMain"), Not(HasSubstr("2468"))))
        << "the PIN never reaches the log";
}
// A modem slow to hear, as on a busy machine: what the program writes
// reaches the modem at `port` each time `delay` later.
class SlowRelay {
  public:
    SlowRelay(const std::string& port, std::chrono::milliseconds delay) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = std::to_string(ntohs(address.sin_port));
        address.sin_port = htons(static_cast<std::uint16_t>(std::stoi(port)));
        m_thread = std::thread([this, address, delay] {
            const int near = ::accept(m_listener, nullptr, nullptr);
            const int far = ::socket(AF_INET, SOCK_STREAM, 0);
            if (near >= 0 &&
                ::connect(far, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
                relay(near, far, delay);
            ::close(far);
            ::close(near);
        });
    }
    ~SlowRelay() {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
    }
    const std::string& port() const { return m_port; }

  private:
    static void relay(int program, int modem, std::chrono::milliseconds delay) {
        pollfd fds[2] = {{program, POLLIN, 0}, {modem, POLLIN, 0}};
        char buffer[4096];
        while (::poll(fds, 2, -1) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].revents == 0)
                    continue;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (i == 0)
                    std::this_thread::sleep_for(delay);
                if (n <= 0 || ::write(fds[1 - i].fd, buffer, std::size_t(n)) != n)
                    return;
            }
        }
    }
    int m_listener = -1;
    std::string m_port;
    std::thread m_thread;
};
// The script's clock does not wait for the modem, but the script waits for
// it as a user would: its first wait lasts until the line is open, and a
// call it ends right after placing it is ended once the modem has it.
TEST_F(CallsE2e, ScriptsWaitForASlowModemAsAUserWould) {
    const SlowRelay relay(m_at_port, std::chrono::milliseconds(80));
    ASSERT_FALSE(relay.port().empty());
    settings(false, "tcp:127.0.0.1:" + relay.port());
    const Finished run = script(std::string("wait 1500\n") + kOpenKeypad + "key 5\n" + kCallKey +
                                kShowCall + "shot dialling.png\nphone hangup\nwait 400\n");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(call_screen("dialling.png"));
    EXPECT_EQ(call_rows(), Rows{"outgoing 5"});
}
// The same calls in real time, the way a script drives a modem that is not
// the simulator in the program: the script waits for what the far end does.
TEST_F(CallsE2e, RealTimeScriptDrivesTheModemOnTcp) {
    settings(false);
    const Finished run =
        this->run({"--headless", "--realtime", "--log", "--script", TELVARA_REALTIME_SCRIPT});
    ASSERT_EQ(run.status, 0) << run.output;
    // The newest call first (by when it began).
    EXPECT_EQ(call_rows(),
              (Rows{"incoming 0301234567", "incoming +4930123456 Anna Berg", "outgoing 555"}));
    for (const phone::CallLogEntry& call : calls())
        EXPECT_GT(call.end, call.start) << "talked on";
}
// Calls through the built-in simulator, rung from a second process.
class TelephonyE2e : public TelvaraWorld {};
// telvara-modem in another process rings the running phone; a modem speaking garbage
// leaves no phantom calls and no numbers picked out of it.
TEST_F(TelephonyE2e, AModemFromAnotherProcessRingsAndItsGarbageMakesNoCalls) {
    settings();
    const pid_t phone = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log("Telephone: line open")) << log_text();
    const auto modem = [&](const std::vector<std::string>& words, int status = 0) {
        const Finished said = run(words, TELVARA_MODEM_BINARY);
        EXPECT_EQ(said.status, status) << said.output;
    };
    modem({"ring", "0409998877"});
    EXPECT_TRUE(wait_for_log("Caller ID: 0409998877")) << log_text();
    modem({"hangup"});
    EXPECT_TRUE(wait_for_log("LINECALLSTATE_DISCONNECTED")) << log_text();
    // Another device root has no Telvara, so nobody answers there.
    modem({"--root", (m_dir / "other-root").string(), "calls"}, 1);
    // A thousand calls at once, none of them real: they may cost the line
    // a fresh start, never a call in the log.
    const std::size_t mark = log_text().size();
    modem({"flood", "1000", "+CLCC: 1,1,4,0,0,\"0301\",129"});
    modem({"ring"}); // withheld
    ASSERT_TRUE(wait_for_log("CALLS LOG: LINECALLSTATE_OFFERING", mark)) << log_text();
    modem({"send", "+CLIP: \";$(touch x)pwned2\",129"});
    ASSERT_TRUE(wait_for_log("taken as unknown", mark)) << log_text();
    modem({"hangup"});
    EXPECT_TRUE(wait_for_log("LINECALLSTATE_DISCONNECTED", mark)) << log_text();
    ::kill(phone, SIGTERM);
    finish(phone);
    EXPECT_EQ(call_rows(), (Rows{"missed -", "missed 0409998877"}))
        << "the caller is unknown, not \"2\"";
}
} // namespace
} // namespace telvara::e2e
