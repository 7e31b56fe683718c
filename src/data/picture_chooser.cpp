// Running the chooser command: spawn, read its output, wait for it.
#include "data/picture_chooser.h"

#include "platform/text.h"
#include "runtime/registry.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace telvara::data {

namespace {

constexpr std::size_t max_output = 4096; // PATH_MAX

bool on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return false;
    std::string_view rest(path);
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + std::string(program);
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// Closes a descriptor once.
class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd;
};

} // namespace

std::optional<std::string> picture_chooser_command() {
    WString configured;
    if (runtime::reg_read_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara", u"PictureChooser",
                                 configured) &&
        !configured.empty())
        return to_utf8(configured);
    if (on_path("zenity"))
        return std::string(R"(zenity --file-selection --title="Select Exhibit Photo or Video")");
    return std::nullopt;
}

ChooserResult run_picture_chooser(const std::string& command, std::string& path) {
    path.clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return ChooserResult::failed;
    Fd read_end(fds[0]);
    Fd write_end(fds[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    write_end.reset();
    if (spawned != 0)
        return ChooserResult::failed;

    // Read everything so the chooser never blocks on a full pipe.
    std::string output;
    bool too_long = false;
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(read_end.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (output.size() + static_cast<std::size_t>(got) > max_output)
            too_long = true;
        else
            output.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (too_long)
        return ChooserResult::failed;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return ChooserResult::cancelled;
    const auto end = output.find('\n');
    if (end != std::string::npos)
        output.resize(end);
    if (output.empty())
        return ChooserResult::cancelled;
    path = std::move(output);
    return ChooserResult::chosen;
}

} // namespace telvara::data
