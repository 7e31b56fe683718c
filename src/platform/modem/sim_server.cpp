// The simulator's sockets and its serving thread, and the control client.

#include "platform/modem/sim_server.h"

#include "platform/single_instance.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace telvara::platform::modem {

namespace {

using Clock = std::chrono::steady_clock;

std::string errno_text() {
    return std::strerror(errno);
}

bool split_host_port(const std::string& host_port, std::string& host, std::string& port) {
    auto colon = host_port.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == host_port.size()) {
        return false;
    }
    host = host_port.substr(0, colon);
    port = host_port.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return true;
}

int tcp_listen(const std::string& host, int port, std::string& error, int& bound) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    if (int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
        error = gai_strerror(rc);
        return -1;
    }
    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int one = 1;
    if (fd >= 0) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (fd < 0 || bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, 8) != 0) {
        error = errno_text();
        freeaddrinfo(found);
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    bound = address.ss_family == AF_INET6
                ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
                : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return fd;
}

bool unix_address(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void write_all(int fd, std::string_view bytes) {
    // Replies are short; a peer that does not read loses the rest.
    while (!bytes.empty()) {
        ssize_t n = write_some(fd, bytes);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                if (poll(&p, 1, 200) > 0) {
                    continue;
                }
            }
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

ssize_t write_some(int fd, std::string_view bytes) {
    // A peer that went away must not end the process with SIGPIPE.
    ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == ENOTSOCK) {
        n = ::write(fd, bytes.data(), bytes.size());
    }
    return n;
}

struct SimServer::State {
    enum class Kind { at, control };
    struct Listener {
        int fd = -1;
        Kind kind = Kind::at;
    };
    struct Control {
        int fd = -1;
        std::string input;
    };

    std::mutex mutex;
    std::vector<Listener> listeners;
    std::vector<Control> controls;
    int at_fd = -1;
    bool at_is_pty = false;
    int pty_slave = -1; // kept open so the master never sees a hang-up
    std::string output;
    std::string unix_path;
    int wake[2] = {-1, -1};
    std::atomic<bool> stopping{false};
    std::thread thread;

    void replace_at(int fd, bool pty, ModemSimulator& simulator) {
        if (at_fd >= 0) {
            ::close(at_fd);
        }
        at_fd = fd;
        at_is_pty = pty;
        output.clear();
        simulator.connect();
    }
};

SimServer::SimServer(std::shared_ptr<ModemSimulator> simulator)
    : m_simulator(std::move(simulator)), m_state(std::make_unique<State>()) {
    if (pipe2(m_state->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_state->wake[0] = m_state->wake[1] = -1;
    }
}

SimServer::~SimServer() {
    stop();
    auto& state = *m_state;
    for (auto& listener : state.listeners) {
        ::close(listener.fd);
    }
    for (auto& control : state.controls) {
        ::close(control.fd);
    }
    for (int fd : {state.at_fd, state.pty_slave, state.wake[0], state.wake[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    if (!state.unix_path.empty()) {
        ::unlink(state.unix_path.c_str());
    }
}

int SimServer::listen_at(const std::string& host, int port, std::string& error) {
    int bound = 0;
    int fd = tcp_listen(host, port, error, bound);
    if (fd < 0) {
        return -1;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->listeners.push_back({fd, State::Kind::at});
    return bound;
}

int SimServer::listen_control(const std::string& host, int port, std::string& error) {
    int bound = 0;
    int fd = tcp_listen(host, port, error, bound);
    if (fd < 0) {
        return -1;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->listeners.push_back({fd, State::Kind::control});
    return bound;
}

bool SimServer::listen_control_unix(const std::string& path, std::string& error) {
    sockaddr_un address;
    if (!unix_address(path, address)) {
        error = "socket path too long";
        return false;
    }
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0 &&
        ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::close(probe);
        error = "another simulator answers on " + path;
        return false;
    }
    if (probe >= 0) {
        ::close(probe);
    }
    ::unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, 8) != 0) {
        error = errno_text();
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->listeners.push_back({fd, State::Kind::control});
    m_state->unix_path = path;
    return true;
}

std::string SimServer::open_pty(std::string& error) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        error = errno_text();
        if (master >= 0) {
            ::close(master);
        }
        return {};
    }
    char name[128] = {};
    if (ptsname_r(master, name, sizeof name) != 0) {
        error = errno_text();
        ::close(master);
        return {};
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        termios mode{};
        if (tcgetattr(slave, &mode) == 0) {
            cfmakeraw(&mode);
            tcsetattr(slave, TCSANOW, &mode);
        }
    }
    std::lock_guard lock(m_state->mutex);
    if (m_state->pty_slave >= 0) {
        ::close(m_state->pty_slave);
    }
    m_state->pty_slave = slave;
    m_state->replace_at(master, true, *m_simulator);
    return name;
}

int SimServer::connect_pair() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        return -1;
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->replace_at(fds[1], false, *m_simulator);
    }
    if (m_state->wake[1] >= 0) {
        [[maybe_unused]] auto n = ::write(m_state->wake[1], "x", 1);
    }
    return fds[0];
}

void SimServer::start() {
    auto& state = *m_state;
    if (state.thread.joinable()) {
        return;
    }
    state.stopping = false;
    state.thread = std::thread([this] {
        auto& state = *m_state;
        auto& simulator = *m_simulator;
        char buffer[4096];
        while (!state.stopping) {
            std::vector<pollfd> fds;
            std::unique_lock lock(state.mutex);
            fds.push_back({state.wake[0], POLLIN, 0});
            for (auto& listener : state.listeners) {
                fds.push_back({listener.fd, POLLIN, 0});
            }
            std::size_t at_index = fds.size();
            fds.push_back({state.at_fd, static_cast<short>(state.at_fd >= 0 ? POLLIN : 0), 0});
            std::size_t control_index = fds.size();
            for (auto& control : state.controls) {
                fds.push_back({control.fd, POLLIN, 0});
            }
            lock.unlock();

            int timeout = 50;
            if (auto next = simulator.next_deadline()) {
                auto wait =
                    std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now());
                timeout = static_cast<int>(std::clamp<long long>(wait.count() + 1, 0, 50));
            }
            poll(fds.data(), fds.size(), timeout);
            auto now = Clock::now();
            lock.lock();
            if (fds[0].revents & POLLIN) {
                while (::read(state.wake[0], buffer, sizeof buffer) > 0) {
                }
            }
            for (std::size_t i = 0; i < state.listeners.size() && i + 1 < at_index; ++i) {
                if (!(fds[i + 1].revents & POLLIN)) {
                    continue;
                }
                int fd =
                    accept4(state.listeners[i].fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    continue;
                }
                if (state.listeners[i].kind == State::Kind::at) {
                    int one = 1;
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    state.replace_at(fd, false, simulator);
                } else {
                    state.controls.push_back({fd, {}});
                }
            }
            if (fds[at_index].fd >= 0 && fds[at_index].fd == state.at_fd &&
                (fds[at_index].revents & (POLLIN | POLLHUP | POLLERR))) {
                ssize_t n = ::read(state.at_fd, buffer, sizeof buffer);
                if (n > 0) {
                    simulator.feed(std::string_view(buffer, static_cast<std::size_t>(n)), now);
                } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    if (!state.at_is_pty) {
                        ::close(state.at_fd);
                        state.at_fd = -1;
                    }
                }
            }
            std::vector<int> closed;
            for (std::size_t i = control_index; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                    continue;
                }
                auto it = std::find_if(state.controls.begin(), state.controls.end(),
                                       [&](const State::Control& c) { return c.fd == fds[i].fd; });
                if (it == state.controls.end()) {
                    continue;
                }
                ssize_t n = ::read(it->fd, buffer, sizeof buffer);
                if (n <= 0) {
                    if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                        closed.push_back(it->fd);
                    }
                    continue;
                }
                it->input.append(buffer, static_cast<std::size_t>(n));
                for (auto end = it->input.find('\n'); end != std::string::npos;
                     end = it->input.find('\n')) {
                    std::string command = it->input.substr(0, end);
                    it->input.erase(0, end + 1);
                    write_all(it->fd, simulator.control(command, now));
                }
                if (it->input.size() > 4096) {
                    closed.push_back(it->fd);
                }
            }
            for (int fd : closed) {
                std::erase_if(state.controls, [&](const State::Control& c) { return c.fd == fd; });
                ::close(fd);
            }
            simulator.advance(now);
            std::string out = simulator.take_output();
            if (state.at_fd >= 0 && !out.empty()) {
                write_all(state.at_fd, out);
            }
        }
    });
}

void SimServer::stop() {
    auto& state = *m_state;
    if (!state.thread.joinable()) {
        return;
    }
    state.stopping = true;
    if (state.wake[1] >= 0) {
        [[maybe_unused]] auto n = ::write(state.wake[1], "x", 1);
    }
    state.thread.join();
}

std::string default_sim_control_socket() {
    std::string error;
    std::string folder = runtime_folder(error);
    if (folder.empty()) {
        return {};
    }
    return folder + "/telvara-modem.sock";
}

int tcp_connect(const std::string& host_port, int timeout_ms, std::string& error) {
    std::string host;
    std::string port;
    if (!split_host_port(host_port, host, port)) {
        error = "not HOST:PORT: " + host_port;
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        error = gai_strerror(rc);
        return -1;
    }
    int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = errno_text();
        freeaddrinfo(found);
        return -1;
    }
    int rc = ::connect(fd, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (rc != 0 && errno != EINPROGRESS) {
        error = errno_text();
        ::close(fd);
        return -1;
    }
    if (rc != 0) {
        pollfd p{fd, POLLOUT, 0};
        int soerror = 0;
        socklen_t length = sizeof soerror;
        if (poll(&p, 1, timeout_ms) != 1 ||
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &soerror, &length) != 0 || soerror != 0) {
            error = soerror ? std::strerror(soerror) : "connection timed out";
            ::close(fd);
            return -1;
        }
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool sim_control(const std::string& to, const std::string& command, std::string& reply,
                 std::string& error) {
    int fd = -1;
    if (to.find('/') != std::string::npos) {
        sockaddr_un address;
        if (!unix_address(to, address)) {
            error = "socket path too long";
            return false;
        }
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            error = to + ": " + errno_text();
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
    } else {
        fd = tcp_connect(to, 3000, error);
        if (fd < 0) {
            return false;
        }
    }
    std::string line = command;
    std::erase_if(line, [](char c) { return c == '\r' || c == '\n'; });
    line += '\n';
    write_all(fd, line);
    reply.clear();
    char buffer[1024];
    auto deadline = Clock::now() + std::chrono::seconds(3);
    while (true) {
        // The reply ends with its "OK" or "ERROR" line.
        if (!reply.empty() && reply.back() == '\n') {
            std::string_view body(reply.data(), reply.size() - 1);
            auto start = body.rfind('\n');
            auto tail = start == std::string_view::npos ? body : body.substr(start + 1);
            if (tail.substr(0, 2) == "OK" || tail.substr(0, 5) == "ERROR") {
                break;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1) {
            error = "no reply from " + to;
            ::close(fd);
            return false;
        }
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            error = "connection closed by " + to;
            ::close(fd);
            return false;
        }
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace telvara::platform::modem
