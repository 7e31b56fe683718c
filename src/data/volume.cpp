// Checking the volume file before SQLite opens it, opening it as far as it
// may be used, and naming write failures.
#include "data/volume.h"

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace telvara::data {
namespace {

constexpr std::size_t kHeaderSize = 100;
constexpr char kMagic[] = "SQLite format 3";

std::string folder_of(const std::string& file_name) {
    const auto folder = std::filesystem::path(file_name).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

std::uint32_t big_endian(const unsigned char* p, std::size_t bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

// What the first 100 bytes and the size say: empty is a new volume; a
// header that is not SQLite's, or a file shorter than the pages its header
// counts, is damaged. The count is only trusted when the header says it is
// current, and not while a write-ahead log may hold the rest.
VolumeState check_header(int fd, const std::string& file_name, off_t size) {
    VolumeState state;
    if (size == 0)
        return state;
    std::array<unsigned char, kHeaderSize> header{};
    const ssize_t got = ::pread(fd, header.data(), header.size(), 0);
    if (got < 0) {
        state.problem = VolumeProblem::unreadable;
        state.reason = std::strerror(errno);
        return state;
    }
    if (static_cast<std::size_t>(got) < kHeaderSize) {
        state.problem = VolumeProblem::damaged;
        state.reason = "too short to be a database (" + std::to_string(got) + " bytes)";
        return state;
    }
    if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) {
        state.problem = VolumeProblem::damaged;
        state.reason = "not a database";
        return state;
    }
    std::uint32_t page_size = big_endian(&header[16], 2);
    if (page_size == 1)
        page_size = 65536;
    const std::uint32_t pages = big_endian(&header[28], 4);
    const bool count_current = big_endian(&header[24], 4) == big_endian(&header[92], 4);
    std::error_code error;
    const auto wal_size = std::filesystem::file_size(file_name + "-wal", error);
    const bool wal_holds_pages = !error && wal_size > 0;
    if (count_current && !wal_holds_pages && pages > 0 && page_size >= 512 &&
        static_cast<std::uint64_t>(size) < std::uint64_t{page_size} * pages) {
        state.problem = VolumeProblem::damaged;
        state.reason = "cut short: " + std::to_string(size) + " of " +
                       std::to_string(std::uint64_t{page_size} * pages) + " bytes";
    }
    return state;
}

// "file:" URI of a path: the characters a URI gives meaning to escaped.
std::string file_uri(const std::string& path) {
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#' || c <= ' ' || c >= 0x7F) {
            static constexpr char hex[] = "0123456789ABCDEF";
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri;
}

std::mutex g_unusable_mutex;
std::map<std::string, VolumeState> g_unusable;

} // namespace

void note_volume_unusable(const std::string& file_name, const VolumeState& state) {
    const std::lock_guard lock(g_unusable_mutex);
    g_unusable.emplace(file_name, state);
}

std::optional<VolumeState> unusable_volume(const std::string& file_name) {
    const std::lock_guard lock(g_unusable_mutex);
    const auto found = g_unusable.find(file_name);
    if (found == g_unusable.end())
        return std::nullopt;
    return found->second;
}

VolumeState check_volume_file(const std::string& file_name) {
    VolumeState state;
    const std::string folder = folder_of(file_name);
    struct stat info {};
    if (::stat(file_name.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            state.problem = VolumeProblem::unreadable;
            state.reason = std::strerror(errno);
            return state;
        }
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        if (::access(folder.c_str(), W_OK | X_OK) != 0) {
            state.problem = VolumeProblem::cannot_create;
            state.reason = "the folder " + folder + " takes no new file: " + std::strerror(errno);
        }
        return state;
    }
    if (S_ISDIR(info.st_mode)) {
        state.problem = VolumeProblem::not_a_file;
        state.reason = "is a folder";
        return state;
    }
    if (!S_ISREG(info.st_mode)) {
        state.problem = VolumeProblem::not_a_file;
        state.reason = "is not a regular file";
        return state;
    }
    // Only a regular file gets here, so the open cannot wait on a writer.
    const int fd = ::open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        state.problem = VolumeProblem::unreadable;
        state.reason = std::strerror(errno);
        return state;
    }
    state = check_header(fd, file_name, info.st_size);
    ::close(fd);
    if (!state.usable())
        return state;
    // SQLite writes the file and, beside it, its log and shared memory.
    if (::access(file_name.c_str(), W_OK) != 0) {
        state.access = VolumeAccess::read_only;
        state.reason = std::string("the file is read-only: ") + std::strerror(errno);
    } else if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        state.access = VolumeAccess::read_only;
        state.reason = "the folder " + folder + " is read-only: " + std::strerror(errno);
    }
    return state;
}

bool open_volume(sql::Database& db, const std::string& file_name, VolumeState& state) {
    if (!state.usable())
        return false;
    bool opened = false;
    if (state.access == VolumeAccess::read_write) {
        opened = db.open(file_name);
    } else {
        const std::string folder = folder_of(file_name);
        // Without a writable folder SQLite cannot make its side files; the
        // file is then read as it is (nobody else can change it either).
        opened = ::access(folder.c_str(), W_OK | X_OK) == 0
                     ? db.open(file_name, sql::OpenMode::read_only)
                     : db.open(file_uri(file_name) + "?immutable=1", sql::OpenMode::uri_read_only);
    }
    if (!opened) {
        state.problem = VolumeProblem::unreadable;
        state.reason = db.error();
        db.close();
    }
    return opened;
}

std::string describe_volume_problem(const std::string& file_name, const VolumeState& state) {
    std::string what;
    switch (state.problem) {
    case VolumeProblem::none:
        what = state.access == VolumeAccess::read_only ? " can only be read" : " is usable";
        break;
    case VolumeProblem::cannot_create:
        what = " cannot be made";
        break;
    case VolumeProblem::not_a_file:
        what = " is not a file";
        break;
    case VolumeProblem::unreadable:
        what = " cannot be read";
        break;
    case VolumeProblem::damaged:
        what = " is damaged and is left as it is";
        break;
    case VolumeProblem::newer_schema:
        what = " was written by a newer version and is left as it is";
        break;
    }
    return file_name + what + (state.reason.empty() ? "" : " (" + state.reason + ")");
}

std::string describe_write_failure(WriteFailure failure) {
    switch (failure) {
    case WriteFailure::none:
        return "no failure";
    case WriteFailure::disk_full:
        return "the disk is full";
    case WriteFailure::read_only:
        return "the file can only be read";
    case WriteFailure::damaged:
        return "the file is damaged or could not be read, so it is not written";
    case WriteFailure::other:
        break;
    }
    return "the write failed";
}

WriteFailure write_failure_of_sqlite(int code) {
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return WriteFailure::none;
    case SQLITE_FULL:
        return WriteFailure::disk_full;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return WriteFailure::read_only;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return WriteFailure::damaged;
    default:
        return WriteFailure::other;
    }
}

WriteFailure write_failure_of_errno(int error) {
    switch (error) {
    case 0:
        return WriteFailure::none;
    case ENOSPC:
    case EDQUOT:
        return WriteFailure::disk_full;
    case EROFS:
    case EACCES:
    case EPERM:
        return WriteFailure::read_only;
    default:
        return WriteFailure::other;
    }
}

} // namespace telvara::data
