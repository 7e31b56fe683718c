// The log singleton: a null log and a file log, switched by the "Log"
// setting at every access.
#include "runtime/log.h"

#include "platform/atomic_file.h"
#include "runtime/paths.h"
#include "runtime/registry.h"

#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace telvara::runtime {

namespace {

class NullLog final : public LogStream {
  public:
    void flush() override {}

  protected:
    void write(WStringView) override {}
};

// Each stream operation goes straight to the file in one write(2), so a crash
// loses nothing; the mutex keeps one operation's text in one piece.
class FileLog final : public LogStream {
  public:
    ~FileLog() override { close(); }

    // Starts a new, empty file (an old one is discarded) with the UTF-16LE
    // byte-order mark. A file that cannot be created, or anything but a
    // regular file in its place, leaves the log silent.
    void open(const std::string& path) {
        std::lock_guard lock(m_mutex);
        close_locked();
        platform::create_folders(platform::parent_folder(path));
        // Non-blocking: a FIFO in the file's place must not stop the program
        // (it is refused below, as is a device).
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
        struct stat st {};
        if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)))
            close_locked();
        if (m_fd >= 0 && st.st_size == 0)
            write_locked(u"\uFEFF");
    }

    void close() {
        std::lock_guard lock(m_mutex);
        close_locked();
    }

    void flush() override {
        std::lock_guard lock(m_mutex);
        if (m_fd >= 0)
            ::fdatasync(m_fd);
    }

  protected:
    void write(WStringView text) override {
        std::lock_guard lock(m_mutex);
        write_locked(text);
    }

  private:
    void close_locked() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void write_locked(WStringView text) {
        if (m_fd < 0)
            return;
        std::u16string swapped;
        if constexpr (std::endian::native == std::endian::big) {
            swapped.assign(text);
            for (char16_t& c : swapped)
                c = static_cast<char16_t>((c >> 8) | (c << 8));
            text = swapped;
        }
        auto bytes = reinterpret_cast<const char*>(text.data());
        std::size_t left = text.size() * sizeof(char16_t);
        while (left > 0) {
            ssize_t n = ::write(m_fd, bytes, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return; // a full disk must not stop the program
            bytes += n;
            left -= static_cast<std::size_t>(n);
        }
    }

    std::mutex m_mutex;
    int m_fd = -1;
};

// Lines kept in memory while the process may still hand over; bounded, as
// that moment is short and nothing it says is worth a flood.
class HeldLog final : public LogStream {
  public:
    static constexpr std::size_t kMaxUnits = 256 * 1024;

    void flush() override {}
    // Takes lines from now on.
    void open() {
        std::lock_guard lock(m_mutex);
        m_closed = false;
        m_text.clear();
    }
    // The lines so far; later ones are dropped.
    std::u16string take() {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        return std::exchange(m_text, {});
    }

  protected:
    void write(WStringView text) override {
        std::lock_guard lock(m_mutex);
        if (!m_closed && m_text.size() + text.size() <= kMaxUnits)
            m_text.append(text);
    }

  private:
    std::mutex m_mutex;
    std::u16string m_text;
    bool m_closed = false;
};

// All logs live for the whole run and are never destroyed, so that a stream
// handed out by log() stays valid whichever thread switches the log, and
// objects destroyed at exit can still log.
struct Logs {
    NullLog null_log;
    FileLog file_log;
    HeldLog held_log;
    std::mutex build_mutex;
    std::atomic<int> built_for{-1}; // -1 none, 0 disabled, 1 enabled
    std::atomic<bool> holding{false};
    std::atomic<bool> forced_on{false};
};

Logs& logs() {
    alignas(Logs) static unsigned char storage[sizeof(Logs)];
    static Logs* instance = ::new (storage) Logs();
    return *instance;
}

std::string log_file_name() {
    return native_path(expand_path(u"/Temp/") + expand_path(u"%app_name%.txt"));
}

} // namespace

LogStream& LogStream::number(std::int64_t value) {
    std::array<char16_t, 24> buffer{};
    std::size_t at = buffer.size();
    // Work on the negative side so that the smallest value has no overflow.
    std::int64_t rest = value < 0 ? value : -value;
    do {
        buffer[--at] = static_cast<char16_t>(u'0' - rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (value < 0)
        buffer[--at] = u'-';
    return *this << WStringView(buffer.data() + at, buffer.size() - at);
}

LogStream& LogStream::unsigned_number(std::uint64_t value) {
    std::array<char16_t, 24> buffer{};
    std::size_t at = buffer.size();
    do {
        buffer[--at] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return *this << WStringView(buffer.data() + at, buffer.size() - at);
}

LogStream& log() {
    Logs& all = logs();
    if (all.holding.load(std::memory_order_acquire))
        return all.held_log;
    std::uint32_t value = 0;
    reg_read_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", value);
    int enabled = value != 0 || all.forced_on.load(std::memory_order_relaxed) ? 1 : 0;
    if (all.built_for.load(std::memory_order_acquire) != enabled) {
        std::lock_guard lock(all.build_mutex);
        if (all.built_for.load(std::memory_order_relaxed) != enabled) {
            if (enabled)
                all.file_log.open(log_file_name());
            else
                all.file_log.close();
            all.built_for.store(enabled, std::memory_order_release);
        }
    }
    if (enabled)
        return all.file_log;
    return all.null_log;
}

void hold_log() {
    Logs& all = logs();
    all.held_log.open();
    all.holding.store(true, std::memory_order_release);
}

void release_log(HeldLines lines) {
    Logs& all = logs();
    if (!all.holding.exchange(false, std::memory_order_acq_rel))
        return;
    const std::u16string held = all.held_log.take();
    if (lines == HeldLines::Write)
        log() << held; // opens the file anew when the log is on
}

void set_log_switch(LogSwitch mode) {
    logs().forced_on.store(mode == LogSwitch::On, std::memory_order_relaxed);
}

void reset_log() {
    Logs& all = logs();
    std::lock_guard lock(all.build_mutex);
    all.file_log.close();
    all.built_for.store(-1, std::memory_order_release);
}

} // namespace telvara::runtime
