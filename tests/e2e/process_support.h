#pragma once
// Runs the real telvara binary in a hermetic temporary world: its own device
// root and runtime folder, output captured, a time limit.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace telvara::e2e {

struct Finished {
    int status = -1;    // exit status, or 128 + signal
    std::string output; // stdout and stderr together
};

class TelvaraWorld : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the binary (TELVARA_BINARY unless `binary` is given) with the
    // world's environment plus `extra`.
    pid_t start(const std::vector<std::string>& args, const std::string& binary = {},
                const std::map<std::string, std::string>& extra = {});
    // Waits for the process; kills it after `limit`.
    Finished finish(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(60));
    Finished run(const std::vector<std::string>& args, const std::string& binary = {},
                 const std::map<std::string, std::string>& extra = {}) {
        return finish(start(args, binary, extra));
    }

    // What a process still running has written so far.
    std::string output_so_far(pid_t pid) const;

    // The log file of the device root as ASCII (the log is UTF-16).
    std::string log_text() const;
    // Polls the log until it holds `text`.
    bool wait_for_log(const std::string& text,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    std::string write_file(const std::string& name, const std::string& content) const;

    std::filesystem::path m_dir;
    std::filesystem::path m_root;
    std::filesystem::path m_run;

  private:
    std::map<pid_t, std::filesystem::path> m_outputs;
};

// The pixel of an 8-bit RGB(A) PNG file.
struct Png {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // 3 bytes per pixel
    bool read(const std::string& file);
    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// Channels within `tolerance` (5-6-5 loses the low bits).
bool near_colour(std::array<int, 3> pixel, std::array<int, 3> wanted, int tolerance = 8);

} // namespace telvara::e2e
