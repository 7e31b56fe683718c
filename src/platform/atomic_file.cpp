// Whole-file reads and durable replacement through a temporary file.
#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace telvara::platform {

namespace {

// Closes the descriptor on every path out.
class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closing can report a late write error (NFS); the caller wants to know.
    bool close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd = -1;
};

bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool create_folders(std::string_view folder) {
    if (folder.empty())
        return true;
    std::string path(folder);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    std::string parent = parent_folder(path);
    if (!parent.empty() && parent != path && !create_folders(parent))
        return false;
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST)
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return false;
}

std::string parent_folder(std::string_view file) {
    while (file.size() > 1 && file.back() == '/')
        file.remove_suffix(1);
    auto slash = file.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    if (slash == 0)
        return "/";
    return std::string(file.substr(0, slash));
}

std::string size_text(std::size_t bytes) {
    char text[32];
    if (bytes >= (1u << 20))
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / double(1u << 20));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%zu KB", bytes / 1024);
    else
        std::snprintf(text, sizeof text, "%zu bytes", bytes);
    return text;
}

std::optional<std::string> read_whole_file(const std::string& path, std::size_t limit,
                                           std::string* why) {
    auto fail = [&](int error, const std::string& text) -> std::optional<std::string> {
        if (why != nullptr)
            *why = path + ": " + text;
        errno = error;
        return std::nullopt;
    };
    limit = std::min(limit, SIZE_MAX - 1); // limit + 1 below must not wrap
    // Non-blocking, so that opening a FIFO cannot wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        const int error = errno;
        return fail(error, std::strerror(error));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        const int error = errno;
        return fail(error, std::strerror(error));
    }
    if (!S_ISREG(st.st_mode))
        return fail(EINVAL, S_ISDIR(st.st_mode)
                                ? "is a folder, not a file"
                                : "is not a regular file (a device, FIFO or socket)");
    const auto too_large = [&] {
        return fail(EFBIG, "larger than " + size_text(limit) + ", not read");
    };
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        return too_large();
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[16384];
    // One byte past the limit tells a file that grew while being read.
    for (;;) {
        const std::size_t room = limit + 1 - data.size();
        ssize_t n = ::read(fd.get(), buffer, room < sizeof buffer ? room : sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            const int error = errno;
            return fail(error, std::strerror(error));
        }
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit)
            return too_large();
    }
    return data;
}

bool replace_file(const std::string& path, std::string_view data, const std::string& temp_path) {
    // The caller reports errno: the clean-up must not change it.
    const auto discard_temp = [&] {
        const int error = errno;
        ::unlink(temp_path.c_str());
        errno = error;
        return false;
    };
    {
        Fd fd(::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (fd.get() < 0)
            return false;
        if (!write_all(fd.get(), data) || ::fsync(fd.get()) != 0 || !fd.close())
            return discard_temp();
    }
    if (::rename(temp_path.c_str(), path.c_str()) != 0)
        return discard_temp();
    // The rename itself is durable only once the folder is synced.
    std::string folder = parent_folder(path);
    Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && ::fsync(dir.get()) == 0;
}

} // namespace telvara::platform
