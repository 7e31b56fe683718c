// Whole-file reads: only regular files, never more than the caller's limit,
// a message that names the file, and nothing that can block the caller.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace telvara::platform {
namespace {

namespace fs = std::filesystem;

class ReadWholeFile : public ::testing::Test {
  public:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "read-XXXXXX").string();
        m_dir = ::mkdtemp(pattern.data());
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    fs::path m_dir;
};

TEST_F(ReadWholeFile, RefusesWhatIsNotASmallRegularFileWithItsName) {
    struct Case {
        const char* name;
        std::function<std::string(const ReadWholeFile&)> make; // the path to read
        std::size_t limit;
        int error;            // 0: read
        const char* said;     // in the message
        std::size_t size = 0; // when read
    };
    const auto file_of = [](std::size_t size) {
        return [size](const ReadWholeFile& t) {
            const std::string p = t.path("f" + std::to_string(size));
            std::ofstream(p, std::ios::binary) << std::string(size, 'x');
            return p;
        };
    };
    const std::vector<Case> cases = {
        {"empty", file_of(0), 10, 0, "", 0},
        {"exactly the limit", file_of(10), 10, 0, "", 10},
        {"one byte over", file_of(11), 10, EFBIG, "larger than 10 bytes"},
        {"far over", file_of(5000), 2048, EFBIG, "larger than 2 KB"},
        {"missing", [](const ReadWholeFile& t) { return t.path("none"); }, 10, ENOENT,
         "No such file"},
        {"a folder", [](const ReadWholeFile& t) { return t.m_dir.string(); }, 10, EINVAL,
         "is a folder"},
        {"/dev/zero", [](const ReadWholeFile&) { return std::string("/dev/zero"); }, 1 << 20,
         EINVAL, "not a regular file"},
        {"a link to /dev/zero",
         [](const ReadWholeFile& t) {
             fs::create_symlink("/dev/zero", t.path("zero"));
             return t.path("zero");
         },
         1 << 20, EINVAL, "not a regular file"},
        // No writer ever comes: a blocking open would wait for ever.
        {"a FIFO",
         [](const ReadWholeFile& t) {
             ::mkfifo(t.path("fifo").c_str(), 0600);
             return t.path("fifo");
         },
         10, EINVAL, "not a regular file"},
        {"unreadable",
         [](const ReadWholeFile& t) {
             const std::string p = t.path("secret");
             std::ofstream(p) << "x";
             ::chmod(p.c_str(), 0);
             return p;
         },
         10, EACCES, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string p = c.make(*this);
        if (c.error == EACCES && ::access(p.c_str(), R_OK) == 0)
            continue; // root reads anything
        std::string why;
        errno = 0;
        const auto data = read_whole_file(p, c.limit, &why);
        if (c.error == 0) {
            ASSERT_TRUE(data.has_value()) << why;
            EXPECT_EQ(data->size(), c.size);
            continue;
        }
        EXPECT_FALSE(data.has_value());
        EXPECT_EQ(errno, c.error);
        EXPECT_TRUE(why.starts_with(p + ": ")) << why;
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
    }
}

TEST(SizeText, SaysSizesAsPeopleRead) {
    EXPECT_EQ(size_text(0), "0 bytes");
    EXPECT_EQ(size_text(1023), "1023 bytes");
    EXPECT_EQ(size_text(1024), "1 KB");
    EXPECT_EQ(size_text(64u << 20), "64.0 MB");
    EXPECT_EQ(size_text(3u << 19), "1.5 MB");
}

} // namespace
} // namespace telvara::platform
