// Single instance: the lock decides, the socket carries command lines, silent connections and long
// folders do not block a new start (a killed holder and its stale socket: startup_e2e_test.cpp).
#include "platform/single_instance.h"
#include "scoped_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace telvara::platform {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Takes command lines after `refusals` refusals; with a dialog open it raises that instead.
struct FakeReceiver : InstanceReceiver {
    bool bring_dialog_to_front() override { return dialog && ++raised; }
    bool deliver(WString command_line) override {
        std::lock_guard lock(mutex);
        if (refusals > 0 && refusals--)
            return false;
        received.push_back(std::move(command_line));
        return true;
    }
    std::vector<WString> lines() {
        std::lock_guard lock(mutex);
        return received;
    }
    std::atomic<bool> dialog = false;
    std::atomic<int> raised = 0;
    int refusals = 0;
    std::mutex mutex;
    std::vector<WString> received;
};

class SingleInstanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "instance-XXXXXX").string();
        m_folder = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(m_folder); }
    InstanceClaim claim(WStringView text, std::chrono::milliseconds timeout = 5s) {
        return InstanceClaim::claim(m_folder, "RezuvirClass_Telvara", text, timeout);
    }
    std::string m_folder;
};

TEST_F(SingleInstanceTest, FirstStartRunsAndLaterOnesHandTheirCommandLinesOver) {
    {
        InstanceClaim first = claim(u"");
        ASSERT_EQ(first.outcome, ClaimOutcome::Primary) << first.error;
        ASSERT_TRUE(first.server);
        EXPECT_TRUE(fs::exists(m_folder + "/RezuvirClass_Telvara.sock"));
        FakeReceiver receiver;
        receiver.refusals = 2; // tried again, arrives once
        first.server->serve(receiver);
        InstanceClaim second = claim(u"open:+49 30 123");
        EXPECT_EQ(std::tie(second.outcome, second.peer),
                  std::tuple(ClaimOutcome::HandedOver, ::getpid()));
        EXPECT_FALSE(second.server);
        const WString cyrillic = u"Контакты \U0001F4DE";
        for (const WString& line : {cyrillic, WString(), WString(kMaxHandOverChars + 10, u'7')})
            EXPECT_EQ(claim(line).outcome, ClaimOutcome::HandedOver)
                << "a long one cut, not refused";
        EXPECT_EQ(receiver.lines(), (std::vector<WString>{u"open:+49 30 123", cyrillic, u"",
                                                          WString(kMaxHandOverChars, u'7')}));
        // An open message box is raised instead of taking the line.
        receiver.dialog = true;
        EXPECT_EQ(claim(u"recents").outcome, ClaimOutcome::BroughtToFront);
        EXPECT_EQ(receiver.raised, 1);
        EXPECT_EQ(receiver.lines().size(), 4u);
    }
    // The ended instance frees the lock and the socket.
    EXPECT_FALSE(fs::exists(m_folder + "/RezuvirClass_Telvara.sock"));
    EXPECT_EQ(claim(u"").outcome, ClaimOutcome::Primary);
}

TEST_F(SingleInstanceTest, SecondStartWaitsForAnInstanceStillStartingUpButNotForEver) {
    InstanceClaim first = claim(u"");
    ASSERT_EQ(first.outcome, ClaimOutcome::Primary);
    const auto started = std::chrono::steady_clock::now();
    InstanceClaim given_up = claim(u"contacts", 200ms);
    EXPECT_EQ(given_up.outcome, ClaimOutcome::NoAnswer);
    EXPECT_TRUE(given_up.error.find("does not answer") != std::string::npos) << given_up.error;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    FakeReceiver receiver;
    std::thread late([&] {
        std::this_thread::sleep_for(300ms);
        first.server->serve(receiver);
    });
    InstanceClaim second = claim(u"favorites");
    late.join();
    EXPECT_EQ(second.outcome, ClaimOutcome::HandedOver) << second.error;
    EXPECT_EQ(receiver.lines(), std::vector<WString>{u"favorites"});
}

// Connections that say nothing (a stuck or hostile process of the same
// user): each is dropped when its time is up, and none holds up a real start,
// neither while it lasts nor when there are more than are talked to at once.
TEST_F(SingleInstanceTest, StalledConnectionsNeverHoldUpTheNextStart) {
    InstanceClaim first = claim(u"");
    ASSERT_EQ(first.outcome, ClaimOutcome::Primary);
    FakeReceiver receiver;
    first.server->serve(receiver);
    const std::string path = m_folder + "/RezuvirClass_Telvara.sock";
    const auto connect_silently = [&] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        return fd;
    };
    // Ten are talked to beside the real start at once; forty fill the server's table, and the
    // rest wait in the backlog with the real start until the first ones are dropped.
    for (auto [stalled, patience] : {std::pair{10, 1000ms}, {40, 5000ms}}) {
        SCOPED_TRACE(stalled);
        std::vector<int> fds;
        for (int i = 0; i < stalled; ++i)
            fds.push_back(connect_silently());
        const WString line = u"after " + to_wstring(stalled);
        EXPECT_EQ(claim(line, patience).outcome, ClaimOutcome::HandedOver);
        EXPECT_EQ(receiver.lines().back(), line);
        // The first ones are closed by the server: after its greeting, the end of the stream.
        for (int fd : fds) {
            timeval limit{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            char buffer[16];
            ssize_t got = 0;
            std::size_t total = 0;
            while (stalled == 10 && (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
                total += std::size_t(got);
            EXPECT_TRUE(stalled != 10 || (got == 0 && total == 5u)) << "dropped, not left waiting";
            ::close(fd);
        }
    }
}

TEST_F(SingleInstanceTest, FolderTooLongForASocketNameStillWorksAndNamesAreInstances) {
    std::string deep = m_folder;
    while (deep.size() < 150)
        deep += "/a-rather-long-folder-name";
    fs::create_directories(deep);
    InstanceClaim first = InstanceClaim::claim(deep, "RezuvirClass_Telvara", u"", 2s);
    ASSERT_EQ(first.outcome, ClaimOutcome::Primary) << first.error;
    EXPECT_TRUE(fs::exists(deep + "/RezuvirClass_Telvara.sock"));
    FakeReceiver receiver;
    first.server->serve(receiver);
    EXPECT_EQ(InstanceClaim::claim(deep, "RezuvirClass_Telvara", u"deep", 2s).outcome,
              ClaimOutcome::HandedOver);
    EXPECT_EQ(receiver.lines(), std::vector<WString>{u"deep"});
    // Other names are other instances; a name that is no file name gets none.
    EXPECT_EQ(InstanceClaim::claim(deep, "RezuvirClass_Telvara-2", u"", 1s).outcome,
              ClaimOutcome::Primary);
    EXPECT_EQ(InstanceClaim::claim(deep, "bad/name", u"", 1s).outcome, ClaimOutcome::Unavailable);
}

// A private XDG_RUNTIME_DIR, else a private folder in /tmp; another user's (su without a login
// keeps it) is refused: a start with the right one would not meet this one there.
TEST_F(SingleInstanceTest, PrivateRuntimeDirOrAPrivateTmpFolder) {
    test_support::ScopedEnv restore("XDG_RUNTIME_DIR", std::getenv("XDG_RUNTIME_DIR"));
    ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    std::string error;
    EXPECT_EQ(runtime_folder(error), m_folder) << error;
    // An open or relative one falls back.
    const std::string fallback = "/tmp/telvara-" + std::to_string(::getuid());
    ::chmod(m_folder.c_str(), 0755);
    for (const std::string& value : {m_folder, std::string("relative/run")}) {
        ::setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
        EXPECT_EQ(runtime_folder(error), fallback) << error;
        struct stat info {};
        ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    ::chmod(m_folder.c_str(), 0700);
    ASSERT_EQ(::chown(m_folder.c_str(), 65534, 65534), 0);
    ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    EXPECT_EQ(runtime_folder(error), "");
    EXPECT_NE(error.find(m_folder + " belongs to another user"), std::string::npos) << error;
}

} // namespace
} // namespace telvara::platform
