// The modem thread on devices the telephone tests do not reach: a TCP modem nobody listens to,
// the in-process simulator with its control socket and its call hold, and a fake modem on a
// pseudo-terminal.
#include "fast_timing.h"
#include "platform/modem/modem.h"
#include "platform/modem/modem_sim.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace telvara::platform::modem {
namespace {

using namespace std::chrono_literals;
using Kind = ModemEvent::Kind;

// Collects the modem's events until one matches; false after a generous deadline.
bool until(Modem& modem, std::vector<ModemEvent>& seen,
           const std::function<bool(const ModemEvent&)>& match) {
    for (auto deadline = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < deadline;) {
        modem.wait_events(50ms);
        bool found = false;
        for (auto& event : modem.take_events()) {
            found = found || match(event);
            seen.push_back(event);
        }
        if (found)
            return true;
    }
    return false;
}

TEST(ModemReopen, UnreachableModemKeepsRetryingWithoutBlocking) {
    std::atomic<int> failures = 0;
    ModemConfig config;
    config.device = "tcp:127.0.0.1:1"; // nobody listens there
    config.timing = fast_modem();
    config.log = [&](std::string_view line) { failures += line.find("cannot open") != line.npos; };
    auto start = std::chrono::steady_clock::now();
    {
        Modem modem(config);
        EXPECT_TRUE(modem.dial("123")); // accepted, fails on the modem thread
        std::vector<ModemEvent> seen;
        ASSERT_TRUE(until(modem, seen, [](auto& e) { return e.kind == Kind::command_failed; }));
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s); // destruction does not hang
    EXPECT_GE(failures, 2);
}

// The in-process simulator rings through its control socket, which goes with the modem; what
// could end a command is refused before it reaches the modem thread.
TEST(EmbeddedSimulator, ControlSocketRingsTheInProcessModem) {
    char folder[] = "/tmp/telvara-modem-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string socket = std::string(folder) + "/telvara-modem.sock";
    {
        ModemConfig config;
        config.timing = fast_modem();
        config.sim_control_socket = socket;
        Modem modem(config);
        ASSERT_NE(modem.simulator(), nullptr);
        std::vector<ModemEvent> seen;
        ASSERT_TRUE(until(modem, seen, [](auto& e) { return e.kind == Kind::line_open; }));
        EXPECT_TRUE(modem.supports_join());
        for (const char* bad : {"123;ATH", "123\";ATH", "$(reboot)", "123\r\nATH\r\n"})
            EXPECT_FALSE(modem.dial(bad)) << bad;
        EXPECT_FALSE(modem.send_service_code("*100#\",15\r\nATH"));
        EXPECT_FALSE(modem.send_tones("1;ATH"));
        EXPECT_FALSE(modem.enter_pin("12a4"));
        EXPECT_FALSE(modem.enter_puk("1234", "1234")); // a PUK has 8 digits
        std::string reply, error;
        ASSERT_TRUE(sim_control(socket, "ring 0800", reply, error)) << error;
        EXPECT_EQ(reply, "OK\n");
        // The ring may be told before the caller's number, which follows.
        ASSERT_TRUE(until(modem, seen,
                          [](auto& e) { return e.kind == Kind::call_info && e.number == "0800"; }));
        modem.hang_up(); // rejects the ringing call
        ASSERT_TRUE(until(modem, seen, [](auto& e) { return e.state == CallState::idle; }));
        modem.set_speaker(SpeakerState::on); // without a hook only the state is kept
        EXPECT_EQ(modem.speaker(), SpeakerState::on);
    }
    EXPECT_FALSE(std::filesystem::exists(socket));
    std::filesystem::remove_all(folder);
}

// The simulator's call hold, which every telephone test and the demo modem rely on, step by step.
TEST(SimulatedModem, CallHoldFollowsTheStandard) {
    ModemSimulator sim;
    const auto now = ModemSimulator::Clock::time_point() + 1000s;
    const auto at = [&](const std::string& command) {
        sim.take_output();
        sim.feed(command + "\r", now);
        const std::string out = sim.take_output();
        const std::size_t first = out.find_first_not_of("\r\n");
        return out.substr(first, out.find_last_not_of("\r\n") + 1 - first);
    };
    // "1:0 2:1m": each call's id, +CLCC stat and 'm' in a conference.
    const auto calls = [&] {
        std::string out;
        for (const auto& call : sim.calls())
            out += (out.empty() ? "" : " ") + std::to_string(call.id) + ":" +
                   std::to_string(call.stat) + (call.multiparty ? "m" : "");
        return out;
    };
    at("ATE0;+CMEE=1");
    sim.control("ring 0301", now);
    at("ATA");
    sim.control("ring 0302", now);
    at("AT+CHLD=2;+CHLD=3");
    const struct {
        const char *control, *command, *answer, *calls;
    } steps[] = {
        {"", "AT+CHLD=0", "+CME ERROR: 3", "1:0m 2:0m"}, // nothing waiting or held
        {"", "AT+CHLD=21", "OK", "1:0 2:1"},             // a private word with 1
        {"", "AT+CHLD=3", "OK", "1:0m 2:0m"},
        {"", "AT+CHLD=12", "OK", "1:0"}, // a conference of one is a call
        {"", "AT+CHLD=19", "+CME ERROR: 3", "1:0"},
        {"ring 0303", "AT+CHLD=1", "OK", "2:0"}, // release and accept
        {"ring 0304", "AT+CHLD=0", "OK", "2:0"}, // turned away
        {"", "AT+CHLD=2", "OK", "2:1"},
        {"ring 0305", "AT+CHLD=2", "OK", "2:1 1:0"},                // the held call stays
        {"ring 0306", "AT+CHLD=2", "+CME ERROR: 3", "2:1 1:0 3:5"}, // nowhere to put it
        {"hangup 3", "AT+CHLD=3", "OK", "2:0m 1:0m"},               // the caller gave up
        {"", "AT+CHLD=4", "+CME ERROR: 4", "2:0m 1:0m"},
    };
    for (const auto& step : steps) {
        sim.control(step.control, now);
        EXPECT_EQ(at(step.command), step.answer) << step.command;
        EXPECT_EQ(calls(), step.calls) << step.command;
    }
    EXPECT_EQ(sim.control("hangup 9", now), "ERROR no call 9\n");
}

// A modem on a pseudo-terminal, played by script: an old one that refuses the optional set-up
// and has a call in progress.
TEST(PtyModem, OldModemOnAPseudoTerminalShowsItsCall) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0);
    char name[128];
    ASSERT_EQ(ptsname_r(master, name, sizeof name), 0);
    ModemConfig config;
    config.device = name;
    config.timing = fast_modem();
    config.timing.command_timeout = 3s;
    {
        Modem modem(config);
        std::string input, command;
        while (command != "AT+CLCC") {
            pollfd p{master, POLLIN, 0};
            char buffer[512];
            const ssize_t n = poll(&p, 1, 2000) == 1 ? read(master, buffer, sizeof buffer) : 0;
            ASSERT_GT(n, 0) << "the modem thread went quiet";
            input.append(buffer, std::size_t(n));
            for (auto end = input.find('\r'); end != std::string::npos; end = input.find('\r')) {
                command = input.substr(0, end);
                command.erase(0, command.find_first_not_of('\n'));
                input.erase(0, end + 1);
                const std::string answer =
                    command == "AT+CLCC" ? "\r\n+CLCC: 1,1,0,0,0\r\n\r\nOK\r\n"
                    : command == "AT+CMEE=1" || command.ends_with("=?") ? "\r\nERROR\r\n"
                                                                        : "\r\nOK\r\n";
                ASSERT_EQ(write(master, answer.data(), answer.size()), ssize_t(answer.size()));
            }
        }
        std::vector<ModemEvent> seen;
        EXPECT_TRUE(until(modem, seen, [](auto& e) { return e.state == CallState::connected; }));
        EXPECT_TRUE(modem.is_open());
    }
    close(master);
}

} // namespace
} // namespace telvara::platform::modem
