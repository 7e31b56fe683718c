// The modem thread against the simulator on 127.0.0.1 (the telephone tests drive the same path
// from the line's side; a modem speaking garbage is in the engine's and the e2e tests): a waiting
// call, a modem that stops answering, an unreachable modem, the control socket, and a fake modem
// on a pseudo-terminal.
#include "fast_timing.h"
#include "platform/modem/modem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;
using Kind = ModemEvent::Kind;

class Recorder {
  public:
    explicit Recorder(Modem& modem) : m_modem(modem) {}
    // Looks through the events not yet looked at, waiting for more, until one
    // matches; false after a generous deadline
    // (reached only when something is broken).
    bool until(const std::function<bool(const ModemEvent&)>& match) {
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (true) {
            while (m_cursor < m_events.size())
                if (match(m_events[m_cursor++]))
                    return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            m_modem.wait_events(50ms);
            for (auto& event : m_modem.take_events())
                m_events.push_back(event);
        }
    }
    bool until_state(CallState state, std::optional<int> call = {}) {
        return until([&](const ModemEvent& e) {
            return e.kind == Kind::call_state && e.state == state && (!call || e.call == *call);
        });
    }
    bool until_kind(Kind kind) {
        return until([&](const ModemEvent& e) { return e.kind == kind; });
    }
    std::vector<std::string> states() const {
        std::vector<std::string> out;
        for (const auto& e : m_events)
            if (e.kind == Kind::call_state)
                out.emplace_back(to_string(e.state));
        return out;
    }
    const std::vector<ModemEvent>& events() const { return m_events; }
    // The event the last until() matched.
    const ModemEvent& matched() const { return m_events[m_cursor - 1]; }

  private:
    Modem& m_modem;
    std::vector<ModemEvent> m_events;
    std::size_t m_cursor = 0; // events before it have been matched against
};

class SimulatorOverTcp : public ::testing::Test, public SimOnLoopback {
  protected:
    void SetUp() override {
        ModemConfig config;
        config.device = device();
        config.timing = fast_modem();
        m_modem = std::make_unique<Modem>(config);
        m_recorder = std::make_unique<Recorder>(*m_modem);
        ASSERT_TRUE(m_recorder->until_kind(Kind::line_open));
    }
    bool received(const std::string& command) const { return received_count(command) > 0; }
    std::unique_ptr<Modem> m_modem;
    std::unique_ptr<Recorder> m_recorder;
};

TEST_F(SimulatorOverTcp, WaitingCallRingsOnceTheFirstCallEnds) {
    EXPECT_EQ(control("ring 111"), "OK\n");
    ASSERT_TRUE(m_recorder->until_state(CallState::offering));
    const int first = m_recorder->matched().call;
    m_modem->answer();
    ASSERT_TRUE(m_recorder->until_state(CallState::connected));
    EXPECT_TRUE(received("AT+CLIP=1") && received("ATA"));
    EXPECT_EQ(control("ring 222"), "OK\n");
    ASSERT_TRUE(m_recorder->until_state(CallState::waiting));
    const int second = m_recorder->matched().call;
    EXPECT_NE(second, first);
    EXPECT_EQ(m_recorder->matched().number, "222");
    m_modem->hang_up();
    ASSERT_TRUE(m_recorder->until_state(CallState::idle, first));
    ASSERT_TRUE(m_recorder->until_state(CallState::offering, second));
    m_modem->answer();
    ASSERT_TRUE(m_recorder->until_state(CallState::connected, second));
    auto calls = m_simulator->calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].number, "222");
    EXPECT_EQ(calls[0].stat, 0);
}

TEST_F(SimulatorOverTcp, HostileNumbersNeverReachTheModem) {
    for (const char* bad : {"123;ATH", "123\";ATH", "$(reboot)", "123\r\nATH\r\n", "1\"2"})
        EXPECT_FALSE(m_modem->dial(bad)) << bad;
    EXPECT_FALSE(m_modem->send_service_code("*100#\",15\r\nATH"));
    EXPECT_FALSE(m_modem->send_tones("1;ATH"));
    EXPECT_EQ(control("ring 12;ATH").substr(0, 5), "ERROR");
    ASSERT_TRUE(m_modem->dial("1"));
    ASSERT_TRUE(m_recorder->until_state(CallState::dialing));
    for (const auto& line : m_simulator->received())
        EXPECT_TRUE(line.find("ATH") == std::string::npos && line.find('$') == std::string::npos)
            << line;
}

TEST_F(SimulatorOverTcp, ModemThatStopsAnsweringIsClosedAndReopened) {
    ASSERT_TRUE(m_modem->dial("555"));
    ASSERT_TRUE(m_recorder->until_state(CallState::connected));
    EXPECT_EQ(control("silent on"), "OK\n");
    auto before = std::chrono::steady_clock::now();
    m_modem->set_mute(MuteState::muted); // never answered
    ASSERT_TRUE(m_recorder->until_kind(Kind::line_closed));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    auto lost =
        std::find_if(m_recorder->events().begin(), m_recorder->events().end(),
                     [](const ModemEvent& e) { return e.state == CallState::disconnected; });
    ASSERT_NE(lost, m_recorder->events().end());
    EXPECT_EQ(lost->reason, EndReason::modem_lost);
    EXPECT_FALSE(m_modem->is_open());
    // Operations while closed fail at once instead of waiting.
    m_modem->answer();
    ASSERT_TRUE(m_recorder->until_kind(Kind::command_failed));
    EXPECT_EQ(m_recorder->matched().detail, "answer: line closed");
    EXPECT_EQ(control("silent off"), "OK\n");
    ASSERT_TRUE(m_recorder->until_kind(Kind::line_open));
    EXPECT_TRUE(m_modem->is_open());
    // The call the simulator still has shows up again.
    ASSERT_TRUE(m_recorder->until_state(CallState::connected));
}

TEST_F(SimulatorOverTcp, NetworkStateAndCodesReachTheOwner) {
    ASSERT_TRUE(m_recorder->until([](const ModemEvent& e) {
        return e.kind == Kind::network && !e.network.operator_name.empty() &&
               e.network.signal_bars >= 0;
    }));
    // Readable the moment the last event of the set-up is there.
    EXPECT_EQ(m_modem->network(), m_recorder->matched().network);
    EXPECT_EQ(m_modem->network().operator_name, "Telvara Mobile");
    EXPECT_TRUE(m_modem->supports_join());
    EXPECT_FALSE(m_modem->enter_pin("12a4"));
    EXPECT_FALSE(m_modem->enter_puk("1234", "1234")); // a PUK has 8 digits
    EXPECT_TRUE(m_modem->enter_pin("1234"));
    ASSERT_TRUE(m_recorder->until_kind(Kind::pin_result));
    EXPECT_EQ(m_recorder->matched().code, 3); // the SIM asked for nothing
}

TEST(ModemReopen, UnreachableModemKeepsRetryingWithoutBlocking) {
    std::vector<std::string> lines;
    std::mutex mutex;
    ModemConfig config;
    config.device = "tcp:127.0.0.1:1"; // nobody listens there
    config.timing = fast_modem();
    config.log = [&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    };
    auto start = std::chrono::steady_clock::now();
    {
        Modem modem(config);
        EXPECT_TRUE(modem.dial("123")); // accepted, fails on the modem thread
        Recorder recorder(modem);
        ASSERT_TRUE(recorder.until_kind(Kind::command_failed));
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s); // destruction does not hang
    std::lock_guard lock(mutex);
    auto failures = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find("cannot open") != std::string::npos;
    });
    EXPECT_GE(failures, 2);
}

TEST(EmbeddedSimulator, ControlSocketRingsTheInProcessModem) {
    char folder[] = "/tmp/telvara-modem-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    std::string socket = std::string(folder) + "/telvara-modem.sock";
    {
        ModemConfig config;
        config.device = "sim";
        config.timing = fast_modem();
        config.sim_control_socket = socket;
        Modem modem(config);
        ASSERT_NE(modem.simulator(), nullptr);
        Recorder recorder(modem);
        ASSERT_TRUE(recorder.until_kind(Kind::line_open));
        std::string reply;
        std::string error;
        ASSERT_TRUE(sim_control(socket, "ring 0800", reply, error)) << error;
        EXPECT_EQ(reply, "OK\n");
        ASSERT_TRUE(recorder.until_kind(Kind::call_info));
        EXPECT_EQ(recorder.matched().number, "0800");
        modem.hang_up(); // rejects the ringing call
        ASSERT_TRUE(recorder.until_state(CallState::idle));
        // The speaker only keeps its state without a hook.
        modem.set_speaker(SpeakerState::on);
        EXPECT_EQ(modem.speaker(), SpeakerState::on);
    }
    EXPECT_FALSE(std::filesystem::exists(socket));
    std::filesystem::remove_all(folder);
}

// A fake modem on a pseudo-terminal: the test plays the modem by script.
class PtyModem : public ::testing::Test {
  protected:
    void SetUp() override {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        char name[128];
        ASSERT_EQ(ptsname_r(m_master, name, sizeof name), 0);
        m_path = name;
    }
    void TearDown() override {
        if (m_master >= 0)
            close(m_master);
    }
    // The next command line from the client; empty after a second of silence.
    std::string next_command() {
        while (true) {
            auto end = m_input.find('\r');
            if (end != std::string::npos) {
                std::string line = m_input.substr(0, end);
                m_input.erase(0, end + 1);
                line.erase(0, line.find_first_not_of('\n'));
                return line;
            }
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 2000) != 1)
                return {};
            char buffer[512];
            ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                return {};
            m_input.append(buffer, static_cast<std::size_t>(n));
        }
    }
    void send(const std::string& text) {
        ASSERT_EQ(write(m_master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // Answers commands: OK unless the script says otherwise; stops at `last`.
    void serve_until(const std::string& last,
                     const std::function<std::string(const std::string&)>& answer) {
        for (int i = 0; i < 100; ++i) {
            std::string command = next_command();
            ASSERT_FALSE(command.empty()) << "the client went quiet before " << last;
            send(answer(command));
            if (command == last)
                return;
        }
        FAIL() << "never saw " << last;
    }
    int m_master = -1;
    std::string m_path;
    std::string m_input;
};

TEST_F(PtyModem, OldModemWithRefusalsAndAVanishingCall) {
    ModemConfig config;
    config.device = m_path;
    config.timing = fast_modem();
    config.timing.command_timeout = 3s;
    Modem modem(config);
    Recorder recorder(modem);
    serve_until("AT+CLCC", [](const std::string& command) -> std::string {
        if (command == "AT+CMEE=1" || command == "AT+CLCC=?" || command == "AT+CHLD=?")
            return "\r\nERROR\r\n";
        if (command == "AT+CLCC")
            return "\r\n+CLCC: 1,1,0,0,0,\"0301\",129\r\n\r\nOK\r\n";
        return "\r\nOK\r\n";
    });
    ASSERT_TRUE(recorder.until_state(CallState::connected));
    // A vendor line, then a list without the call and no NO CARRIER at all.
    send("\r\n^CEND:1,0,104,16\r\n");
    serve_until("AT+CLCC", [](const std::string&) { return std::string("\r\nOK\r\n"); });
    ASSERT_TRUE(recorder.until_state(CallState::idle));
    EXPECT_EQ(recorder.states(), (std::vector<std::string>{"connected", "disconnected", "idle"}));
    EXPECT_TRUE(modem.is_open());
}

} // namespace
} // namespace telvara::platform::modem
