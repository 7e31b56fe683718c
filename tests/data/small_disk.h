#pragma once
// A folder on a small tmpfs of its own (needs the right to mount), to see what a full disk does.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace telvara::test_support {

class SmallDisk {
  public:
    SmallDisk(const std::string& folder, std::size_t bytes) : m_folder(folder) {
        std::filesystem::create_directories(folder);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0)
            m_mounted = true;
        else
            m_why = std::string("cannot mount a small file system here: ") + std::strerror(errno);
    }
    ~SmallDisk() {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }
    const std::string& why_not() const { return m_why; }
    // Takes every free byte with one file.
    void fill() {
        const int fd = ::open((m_folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const std::string block(4096, 'x');
        for (std::size_t size = block.size(); size > 0; size /= 2)
            while (::write(fd, block.data(), size) == static_cast<ssize_t>(size)) {
            }
        ::close(fd);
    }
    // Gives the space back.
    void free() { std::filesystem::remove(m_folder + "/filler"); }

  private:
    std::string m_folder;
    bool m_mounted = false;
    std::string m_why;
};

} // namespace telvara::test_support
