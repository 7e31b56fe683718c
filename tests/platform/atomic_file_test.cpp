// Whole-file reads: never more than the caller's limit, and a message that names the file. Devices,
// FIFOs and missing files are in the tables of the skin, language, settings and script readers.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
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
    for (std::size_t size : {0, 10, 11, 5000})
        std::ofstream(path("f" + std::to_string(size)), std::ios::binary) << std::string(size, 'x');
    std::ofstream(path("secret")) << "x";
    ::chmod(path("secret").c_str(), 0);
    struct Case {
        std::string file;
        std::size_t limit;
        int error;            // 0: read
        const char* said;     // in the message
        std::size_t size = 0; // when read
    };
    const std::vector<Case> cases = {
        {path("f0"), 10, 0, "", 0},
        {path("f10"), 10, 0, "", 10}, // exactly the limit
        {path("f11"), 10, EFBIG, "larger than 10 bytes"},
        {path("f5000"), 2048, EFBIG, "larger than 2 KB"},
        {m_dir.string(), 10, EINVAL, "is a folder"},
        {path("secret"), 10, EACCES, "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.error == EACCES && ::access(c.file.c_str(), R_OK) == 0)
            continue; // root reads anything
        std::string why;
        errno = 0;
        const auto data = read_whole_file(c.file, c.limit, &why);
        if (c.error == 0) {
            ASSERT_TRUE(data.has_value()) << why;
            EXPECT_EQ(data->size(), c.size);
            continue;
        }
        EXPECT_FALSE(data.has_value());
        EXPECT_EQ(errno, c.error);
        EXPECT_TRUE(why.starts_with(c.file + ": ")) << why;
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
    }
}

} // namespace
} // namespace telvara::platform
