// The lock file, the hand-over socket and the little protocol on it:
//   running instance -> new start: one byte 'W' (takes command lines) or 'D'
//                                  (shows a message box), then its pid (u32 LE)
//   new start -> running instance: character count (u32 LE), UTF-16LE units
//   running instance -> new start: 'K' when the command line was delivered
#include "platform/single_instance.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace telvara::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kTakesCommandLines = 'W';
constexpr char kShowsDialog = 'D';
constexpr char kDelivered = 'K';
// How long one second start may take to say its command line.
constexpr auto kConnectionTimeout = std::chrono::seconds(2);
// Second starts talked to at once; more wait in the listening backlog.
constexpr std::size_t kMaxConversations = 32;
constexpr auto kRetryPause = std::chrono::milliseconds(20);

std::string errno_text(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A folder we may keep a lock and a socket in: ours, not a symbolic link, and
// closed to everyone else.
bool private_folder(const std::string& folder, std::string& error) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        error = errno_text(folder.c_str());
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = folder + " is not a folder";
        return false;
    }
    if (info.st_uid != ::getuid()) {
        error = folder + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof(mode), "%03o", unsigned(info.st_mode & 0777));
        error = folder + " is open to other users (mode " + mode + ", it must be 700)";
        return false;
    }
    return true;
}

class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = other.release();
        }
        return *this;
    }
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd = -1;
};

// The socket's address. A path too long for sun_path is reached through an
// open descriptor of its folder, "/proc/self/fd/N/<file>".
struct SocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
    Fd folder; // keeps N open while the address is used
};

bool make_address(const std::string& folder, const std::string& file, SocketAddress& out,
                  std::string& error) {
    std::string path = folder + "/" + file;
    if (path.size() >= sizeof(out.address.sun_path)) {
        out.folder = Fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (out.folder.get() < 0) {
            error = errno_text(folder.c_str());
            return false;
        }
        path = "/proc/self/fd/" + std::to_string(out.folder.get()) + "/" + file;
        if (path.size() >= sizeof(out.address.sun_path)) {
            error = "socket name too long: " + file;
            return false;
        }
    }
    out.address.sun_family = AF_UNIX;
    std::memcpy(out.address.sun_path, path.c_str(), path.size() + 1);
    out.length = socklen_t(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

// Waits until the descriptor is ready or the deadline passes.
bool wait_ready(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool read_exact(int fd, void* data, std::size_t size, Clock::time_point deadline) {
    auto* at = static_cast<std::uint8_t*>(data);
    while (size > 0) {
        if (!wait_ready(fd, POLLIN, deadline))
            return false;
        const ssize_t got = ::recv(fd, at, size, 0);
        if (got == 0)
            return false;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        at += got;
        size -= std::size_t(got);
    }
    return true;
}

bool write_exact(int fd, const void* data, std::size_t size, Clock::time_point deadline) {
    const auto* at = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        if (!wait_ready(fd, POLLOUT, deadline))
            return false;
        const ssize_t sent = ::send(fd, at, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        at += sent;
        size -= std::size_t(sent);
    }
    return true;
}

void put32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[i] = std::uint8_t(value >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* in) {
    return std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8 | std::uint32_t(in[2]) << 16 |
           std::uint32_t(in[3]) << 24;
}

enum class Attempt { Done, Retry };

// One conversation with the running instance.
Attempt hand_over(int fd, WStringView command_line, InstanceClaim& claim,
                  Clock::time_point deadline) {
    std::array<std::uint8_t, 5> hello{};
    if (!read_exact(fd, hello.data(), hello.size(), deadline))
        return Attempt::Retry; // going away, or not answering yet
    claim.peer = pid_t(get32(hello.data() + 1));
    if (hello[0] == kShowsDialog) {
        claim.outcome = ClaimOutcome::BroughtToFront;
        return Attempt::Done;
    }
    if (hello[0] != kTakesCommandLines) {
        claim.outcome = ClaimOutcome::NoAnswer;
        claim.error = "the running instance answered in an unknown way";
        return Attempt::Done;
    }
    const std::size_t count = std::min(command_line.size(), kMaxHandOverChars);
    std::vector<std::uint8_t> frame(4 + 2 * count);
    put32(frame.data(), std::uint32_t(count));
    for (std::size_t i = 0; i < count; ++i) {
        frame[4 + 2 * i] = std::uint8_t(command_line[i]);
        frame[5 + 2 * i] = std::uint8_t(command_line[i] >> 8);
    }
    char ack = 0;
    if (!write_exact(fd, frame.data(), frame.size(), deadline) ||
        !read_exact(fd, &ack, 1, deadline) || ack != kDelivered)
        return Attempt::Retry;
    claim.outcome = ClaimOutcome::HandedOver;
    return Attempt::Done;
}

} // namespace

std::string runtime_folder(std::string& error, std::string* note) {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    std::string why;
    if (xdg != nullptr && xdg[0] == '/') {
        if (private_folder(xdg, why))
            return xdg;
        // Another user's folder is meant for their programs: a start of ours
        // with the right folder would not see this one. No fallback then.
        struct stat info {};
        if (::stat(xdg, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid != ::getuid()) {
            error = "XDG_RUNTIME_DIR: " + why;
            return {};
        }
    }
    if (note != nullptr && xdg != nullptr && xdg[0] != '\0')
        *note = "XDG_RUNTIME_DIR is not used (" +
                (xdg[0] == '/' ? why : std::string(xdg) + " is not an absolute folder") + ")";
    const std::string fallback = "/tmp/telvara-" + std::to_string(::getuid());
    if (::mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        error = errno_text(fallback.c_str());
        return {};
    }
    if (!private_folder(fallback, error))
        return {};
    return fallback;
}

InstanceClaim InstanceClaim::claim(const std::string& folder, std::string_view name,
                                   WStringView command_line, std::chrono::milliseconds timeout) {
    InstanceClaim claim;
    const std::string base(name);
    if (base.empty() || base.find('/') != std::string::npos) {
        claim.error = "bad instance name";
        return claim;
    }
    const std::string lock_path = folder + "/" + base + ".lock";
    Fd lock(
        ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
    if (lock.get() < 0) {
        claim.error = errno_text(lock_path.c_str());
        return claim;
    }
    // Someone else's lock file would let them hold every start off.
    struct stat info {};
    if (::fstat(lock.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
        claim.error = lock_path + " is not a file of this user";
        return claim;
    }
    SocketAddress address;
    if (!make_address(folder, base + ".sock", address, claim.error))
        return claim;

    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) == 0) {
            // Ours. Whatever socket file is there belongs to a process that
            // no longer holds the lock.
            const std::string socket_path = folder + "/" + base + ".sock";
            ::unlink(socket_path.c_str());
            // Non-blocking: the server never waits on one start.
            Fd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
            if (listener.get() < 0 ||
                ::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address.address),
                       address.length) != 0 ||
                ::listen(listener.get(), 64) != 0) {
                claim.error = errno_text(socket_path.c_str());
                return claim;
            }
            int wake[2] = {-1, -1};
            if (::pipe2(wake, O_CLOEXEC) != 0) {
                claim.error = errno_text("pipe");
                ::unlink(socket_path.c_str());
                return claim;
            }
            claim.server.reset(new InstanceServer());
            claim.server->m_lock_fd = lock.release();
            claim.server->m_listen_fd = listener.release();
            claim.server->m_wake_read = wake[0];
            claim.server->m_wake_write = wake[1];
            claim.server->m_socket_path = socket_path;
            claim.outcome = ClaimOutcome::Primary;
            return claim;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            claim.error = errno_text(lock_path.c_str());
            return claim;
        }
        // Non-blocking: a full backlog (EAGAIN) is retried until the
        // deadline instead of blocking without one.
        Fd connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (connection.get() >= 0 &&
            ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address.address),
                      address.length) == 0 &&
            hand_over(connection.get(), command_line, claim, deadline) == Attempt::Done)
            return claim;
        if (Clock::now() >= deadline) {
            claim.outcome = ClaimOutcome::NoAnswer;
            claim.error = "another instance holds " + lock_path + " but does not answer";
            return claim;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

InstanceServer::~InstanceServer() {
    stop();
    // Still ours while the lock is held: take the socket away before letting go.
    ::unlink(m_socket_path.c_str());
    for (int fd : {m_listen_fd, m_wake_read, m_wake_write, m_lock_fd})
        if (fd >= 0)
            ::close(fd);
}

void InstanceServer::serve(InstanceReceiver& receiver) {
    if (m_thread.joinable())
        return;
    m_receiver = &receiver;
    m_thread = std::thread([this] { run(); });
}

void InstanceServer::stop() {
    if (!m_thread.joinable())
        return;
    const char stop_byte = 0;
    while (::write(m_wake_write, &stop_byte, 1) < 0 && errno == EINTR) {
    }
    m_thread.join();
    m_receiver = nullptr;
}

namespace {

// One second start talking to the running instance. Every conversation has
// its own deadline and none waits for another: a start that connects and
// says nothing is dropped when its time is up, and the rest go on.
struct Conversation {
    Fd fd;
    Clock::time_point deadline;
    std::vector<std::uint8_t> out; // still to send
    std::vector<std::uint8_t> in;  // received so far
    bool closing = false;          // close once `out` is sent
};

enum class Step { Continue, Close };

// Sends what it can without waiting.
Step send_some(Conversation& c) {
    while (!c.out.empty()) {
        const ssize_t sent = ::send(c.fd.get(), c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN ? Step::Continue : Step::Close;
        }
        c.out.erase(c.out.begin(), c.out.begin() + sent);
    }
    return c.closing ? Step::Close : Step::Continue;
}

// Reads what has arrived; a whole command line goes to the receiver.
Step receive_some(Conversation& c, InstanceReceiver& receiver) {
    for (;;) {
        std::size_t wanted = 4;
        if (c.in.size() >= 4)
            wanted = 4 + 2 * std::size_t(get32(c.in.data()));
        if (c.in.size() == wanted)
            break;
        std::uint8_t buffer[4096];
        const ssize_t got =
            ::recv(c.fd.get(), buffer, std::min(sizeof buffer, wanted - c.in.size()), 0);
        if (got == 0)
            return Step::Close;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN ? Step::Continue : Step::Close;
        }
        c.in.insert(c.in.end(), buffer, buffer + got);
        if (c.in.size() >= 4 && get32(c.in.data()) > kMaxHandOverChars)
            return Step::Close;
    }
    const std::size_t count = (c.in.size() - 4) / 2;
    WString text(count, u'\0');
    for (std::size_t i = 0; i < count; ++i)
        text[i] = char16_t(c.in[4 + 2 * i] | c.in[5 + 2 * i] << 8);
    c.in.clear();
    // Not delivered: no answer, and the start tries again.
    if (!receiver.deliver(std::move(text)))
        return Step::Close;
    c.out.push_back(std::uint8_t(kDelivered));
    c.closing = true;
    return send_some(c);
}

} // namespace

void InstanceServer::run() {
    const std::uint32_t pid = std::uint32_t(::getpid());
    std::vector<Conversation> talks;
    std::vector<pollfd> entries;
    for (;;) {
        const auto now = Clock::now();
        std::erase_if(talks, [&](const Conversation& c) { return c.deadline <= now; });
        entries.clear();
        entries.push_back({m_wake_read, POLLIN, 0});
        // At the limit, later starts wait in the backlog for a free place.
        entries.push_back({talks.size() < kMaxConversations ? m_listen_fd : -1, POLLIN, 0});
        auto next_deadline = now + std::chrono::hours(1);
        for (const Conversation& c : talks) {
            entries.push_back({c.fd.get(), short(c.out.empty() ? POLLIN : POLLOUT), 0});
            next_deadline = std::min(next_deadline, c.deadline);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next_deadline - now);
        if (::poll(entries.data(), entries.size(), talks.empty() ? -1 : int(wait.count())) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (entries[0].revents != 0)
            return;
        // Conversations first, by their place in `entries`; new ones after.
        std::vector<bool> done(talks.size(), false);
        for (std::size_t i = 0; i < talks.size(); ++i) {
            const short events = entries[i + 2].revents;
            if (events == 0)
                continue;
            Conversation& c = talks[i];
            Step step = Step::Continue;
            if (!c.out.empty())
                step = send_some(c);
            else if ((events & (POLLIN | POLLHUP | POLLERR)) != 0)
                step = receive_some(c, *m_receiver);
            done[i] = step == Step::Close;
        }
        for (std::size_t i = talks.size(); i-- > 0;)
            if (done[i])
                talks.erase(talks.begin() + std::ptrdiff_t(i));
        if (entries[1].revents == 0)
            continue;
        Fd connection(::accept4(m_listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (connection.get() < 0)
            continue;
        // The folder is private already; a process of another user that got
        // hold of the socket is still turned away.
        ucred peer{};
        socklen_t peer_size = sizeof(peer);
        if (::getsockopt(connection.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peer_size) != 0 ||
            peer.uid != ::getuid())
            continue;
        Conversation c{std::move(connection), Clock::now() + kConnectionTimeout, {}, {}, false};
        c.out.resize(5);
        put32(c.out.data() + 1, pid);
        if (m_receiver->bring_dialog_to_front()) {
            c.out[0] = std::uint8_t(kShowsDialog);
            c.closing = true;
        } else {
            c.out[0] = std::uint8_t(kTakesCommandLines);
        }
        if (send_some(c) == Step::Continue)
            talks.push_back(std::move(c));
    }
}

} // namespace telvara::platform
