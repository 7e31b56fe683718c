// The modem thread: opens the configured modem, pumps bytes between it and
// the AT engine with poll(), hands events to the owner's thread, and reopens
// a modem that went away after a growing pause.

#include "platform/modem/modem.h"

#include "platform/modem/at_engine.h"
#include "platform/modem/sim_server.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace telvara::platform::modem {

namespace {

speed_t baud_constant(int baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B115200;
    }
}

int open_device(const std::string& path, int baud, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    if (isatty(fd)) {
        termios mode{};
        if (tcgetattr(fd, &mode) == 0) {
            cfmakeraw(&mode);
            cfsetispeed(&mode, baud_constant(baud));
            cfsetospeed(&mode, baud_constant(baud));
            mode.c_cflag |= CLOCAL | CREAD;
            tcsetattr(fd, TCSANOW, &mode);
            tcflush(fd, TCIOFLUSH);
        }
    }
    return fd;
}

} // namespace

struct Modem::Impl {
    using Operation = std::function<void(AtEngine&)>;

    ModemConfig config;
    std::shared_ptr<ModemSimulator> simulator;
    std::unique_ptr<SimServer> server;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<std::string, Operation>> operations;
    std::vector<ModemEvent> events;
    std::vector<pid_t> hooks;

    // The engine's latest network state, for any thread (under mutex).
    NetworkState network;

    std::atomic<bool> stopping{false};
    std::atomic<bool> ready{false};
    std::atomic<bool> join{false};
    std::atomic<SpeakerState> speaker{SpeakerState::off};
    int wake[2] = {-1, -1};
    std::thread thread;

    void log(std::string_view text) const {
        if (config.log) {
            config.log(text);
        }
    }

    void publish(std::vector<ModemEvent> batch) {
        if (batch.empty()) {
            return;
        }
        bool first = false;
        {
            std::lock_guard lock(mutex);
            first = events.empty();
            for (auto& event : batch) {
                events.push_back(std::move(event));
            }
        }
        changed.notify_all();
        if (first && config.notify_target) {
            post(config.notify_target, config.notify_message);
        }
    }

    void submit(std::string name, Operation operation) {
        {
            std::lock_guard lock(mutex);
            operations.emplace_back(std::move(name), std::move(operation));
        }
        [[maybe_unused]] auto n = ::write(wake[1], "x", 1);
    }

    // Runs the queued operations; without an open line each one fails.
    void run_operations(AtEngine* engine) {
        std::deque<std::pair<std::string, Operation>> pending;
        {
            std::lock_guard lock(mutex);
            pending.swap(operations);
        }
        std::vector<ModemEvent> failed;
        for (auto& [name, operation] : pending) {
            if (engine && engine->open()) {
                operation(*engine);
            } else {
                failed.push_back(
                    {.kind = ModemEvent::Kind::command_failed, .detail = name + ": line closed"});
            }
        }
        publish(std::move(failed));
    }

    void drain_wake() {
        char buffer[64];
        while (::read(wake[0], buffer, sizeof buffer) > 0) {
        }
    }

    int open_modem(std::string& error) {
        const std::string& device = config.device;
        if (device == "sim") {
            int fd = server->connect_pair();
            if (fd < 0) {
                error = std::strerror(errno);
            }
            return fd;
        }
        if (device.rfind("tcp:", 0) == 0) {
            return tcp_connect(device.substr(4),
                               static_cast<int>(config.timing.command_timeout.count()), error);
        }
        if (device.empty() || device[0] != '/') {
            error = "unknown modem \"" + device + "\"";
            return -1;
        }
        return open_device(device, config.baud, error);
    }

    // Waits out a pause, still answering operations (with failures).
    void pause(std::chrono::milliseconds length) {
        auto until = Clock::now() + length;
        while (!stopping) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0) {
                return;
            }
            pollfd p{wake[0], POLLIN, 0};
            poll(&p, 1, static_cast<int>(left.count()));
            drain_wake();
            run_operations(nullptr);
        }
    }

    void flush(AtEngine& engine, std::string& output) {
        output += engine.take_output();
        for (auto& line : engine.take_log()) {
            log(line);
        }
        // Before the events: whoever hears of a change can read it at once.
        {
            std::lock_guard lock(mutex);
            network = engine.network();
        }
        join = engine.supports_join();
        publish(engine.take_events());
    }

    // Serves one opened modem until it goes away; true when it ever answered
    // its set-up.
    bool serve(int fd) {
        bool answered = false;
        AtEngine engine(config.timing);
        engine.start(Clock::now());
        std::string output;
        char buffer[4096];
        while (!stopping) {
            // Open before the owner hears so: is_open() agrees with line_open.
            ready = engine.open();
            flush(engine, output);
            answered = answered || engine.open();
            if (engine.closed()) {
                return answered;
            }
            while (!output.empty()) {
                ssize_t n = write_some(fd, output);
                if (n > 0) {
                    output.erase(0, static_cast<std::size_t>(n));
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else {
                    if (n < 0 && errno != EAGAIN) {
                        engine.close(std::string("write failed: ") + std::strerror(errno));
                    }
                    break; // a full buffer: the command timeout guards us
                }
            }
            if (engine.closed()) {
                continue;
            }
            int timeout = -1;
            if (auto deadline = engine.next_deadline()) {
                auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
                timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
            }
            pollfd fds[2] = {{fd, static_cast<short>(POLLIN | (output.empty() ? 0 : POLLOUT)), 0},
                             {wake[0], POLLIN, 0}};
            poll(fds, 2, timeout);
            auto now = Clock::now();
            if (fds[1].revents & POLLIN) {
                drain_wake();
                run_operations(&engine);
            }
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    engine.receive(std::string_view(buffer, static_cast<std::size_t>(n)), now);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    engine.close(n == 0 ? "the modem went away"
                                        : std::string("read failed: ") + std::strerror(errno));
                }
            }
            engine.tick(now);
        }
        engine.close("shut down");
        std::string ignored;
        flush(engine, ignored);
        return answered;
    }

    void run() {
        auto backoff = config.timing.reopen_first;
        while (!stopping) {
            std::string error;
            int fd = open_modem(error);
            if (fd >= 0) {
                log("modem: opened " + config.device);
                bool answered = serve(fd);
                ::close(fd);
                ready = false;
                // A modem that worked starts over with a short pause; one that
                // never answers waits longer each time.
                if (answered) {
                    backoff = config.timing.reopen_first;
                }
            } else {
                log("modem: cannot open " + config.device + ": " + error);
            }
            if (stopping) {
                break;
            }
            pause(backoff);
            backoff = std::min(backoff * 2, config.timing.reopen_max);
        }
    }

    void reap_hooks() {
        std::erase_if(hooks, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
    }
};

Modem::Modem(ModemConfig config) : m_impl(std::make_unique<Impl>()) {
    auto& impl = *m_impl;
    impl.config = std::move(config);
    if (pipe2(impl.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        impl.log("modem: no wake pipe");
    }
    if (impl.config.device == "sim") {
        impl.simulator = std::make_shared<ModemSimulator>();
        impl.server = std::make_unique<SimServer>(impl.simulator);
        if (!impl.config.sim_control_socket.empty()) {
            std::string error;
            if (!impl.server->listen_control_unix(impl.config.sim_control_socket, error)) {
                impl.log("modem: no control socket: " + error);
            }
        }
        impl.server->start();
    }
    impl.thread = std::thread([&impl] { impl.run(); });
}

Modem::~Modem() {
    auto& impl = *m_impl;
    impl.stopping = true;
    [[maybe_unused]] auto n = ::write(impl.wake[1], "x", 1);
    impl.thread.join();
    if (impl.server) {
        impl.server->stop();
    }
    impl.reap_hooks();
    for (int fd : impl.wake) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool Modem::dial(std::string_view number) {
    auto checked = dial_string(number);
    if (!checked) {
        m_impl->log("modem: refused to dial a number with foreign characters");
        return false;
    }
    m_impl->submit("dial", [text = *checked](AtEngine& engine) { engine.dial(text); });
    return true;
}

void Modem::answer() {
    m_impl->submit("answer", [](AtEngine& engine) { engine.answer(); });
}

void Modem::hang_up() {
    m_impl->submit("hang_up", [](AtEngine& engine) { engine.hang_up(); });
}

void Modem::hold() {
    m_impl->submit("hold", [](AtEngine& engine) { engine.hold(); });
}

void Modem::unhold() {
    m_impl->submit("unhold", [](AtEngine& engine) { engine.unhold(); });
}

void Modem::hold_and_accept() {
    m_impl->submit("hold_and_accept", [](AtEngine& engine) { engine.hold_and_accept(); });
}

void Modem::release_and_accept() {
    m_impl->submit("release_and_accept", [](AtEngine& engine) { engine.release_and_accept(); });
}

void Modem::reject_waiting() {
    m_impl->submit("reject_waiting", [](AtEngine& engine) { engine.reject_waiting(); });
}

void Modem::join() {
    m_impl->submit("join", [](AtEngine& engine) { engine.join(); });
}

bool Modem::supports_join() const {
    return m_impl->join;
}

bool Modem::enter_pin(std::string_view pin) {
    auto checked = pin_string(pin);
    if (!checked) {
        return false;
    }
    m_impl->submit("enter_pin", [code = *checked](AtEngine& engine) { engine.enter_pin(code); });
    return true;
}

bool Modem::enter_puk(std::string_view puk, std::string_view new_pin) {
    auto checked_puk = pin_string(puk);
    auto checked_pin = pin_string(new_pin);
    if (!checked_puk || checked_puk->size() != 8 || !checked_pin) {
        return false;
    }
    m_impl->submit("enter_puk", [puk = *checked_puk, pin = *checked_pin](AtEngine& engine) {
        engine.enter_puk(puk, pin);
    });
    return true;
}

NetworkState Modem::network() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->network;
}

bool Modem::send_tones(std::string_view digits) {
    auto checked = tone_string(digits);
    if (!checked) {
        return false;
    }
    m_impl->submit("tones", [text = *checked](AtEngine& engine) { engine.tones(text); });
    return true;
}

void Modem::set_mute(MuteState state) {
    m_impl->submit("mute", [state](AtEngine& engine) { engine.mute(state); });
}

bool Modem::send_service_code(std::string_view code) {
    auto checked = service_string(code);
    if (!checked) {
        return false;
    }
    m_impl->submit("service_code",
                   [text = *checked](AtEngine& engine) { engine.service_code(text); });
    return true;
}

void Modem::set_speaker(SpeakerState state) {
    auto& impl = *m_impl;
    impl.speaker = state;
    if (impl.config.speaker_command.empty()) {
        return;
    }
    // The state goes as an argument, never into the command text.
    std::string script = impl.config.speaker_command + " \"$1\"";
    const char* argv[] = {"/bin/sh",
                          "-c",
                          script.c_str(),
                          "telvara-speaker",
                          state == SpeakerState::on ? "on" : "off",
                          nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) ==
        0) {
        std::lock_guard lock(impl.mutex);
        impl.reap_hooks();
        impl.hooks.push_back(pid);
    } else {
        impl.log("modem: speaker command failed to start");
    }
}

SpeakerState Modem::speaker() const {
    return m_impl->speaker;
}

bool Modem::is_open() const {
    return m_impl->ready;
}

std::vector<ModemEvent> Modem::take_events() {
    std::lock_guard lock(m_impl->mutex);
    return std::exchange(m_impl->events, {});
}

bool Modem::wait_events(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_impl->mutex);
    return m_impl->changed.wait_for(lock, timeout, [&] { return !m_impl->events.empty(); });
}

ModemSimulator* Modem::simulator() {
    return m_impl->simulator.get();
}

} // namespace telvara::platform::modem
