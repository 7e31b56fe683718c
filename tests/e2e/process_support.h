#pragma once
// Runs the real telvara binary in a hermetic temporary world: its own device
// root and runtime folder, output captured, a time limit.
#include "phone/call_log.h"
#include <array>
#include <chrono>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>
namespace telvara::e2e {
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
struct Finished {
    int status = -1;    // exit status, or 128 + signal
    std::string output; // stdout and stderr together
};
// The pixel of an 8-bit RGB(A) PNG file.
struct Png {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // 3 bytes per pixel
    bool read(const std::string& file);
    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};
// Channels within `tolerance` (5-6-5 loses the low bits).
bool near_colour(std::array<int, 3> pixel, std::array<int, 3> wanted, int tolerance = 8);
std::string read_file(const fs::path& file);
// The named program on PATH, or empty.
std::string find_program(const std::string& name);
class TelvaraWorld : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts `binary` (else TELVARA_BINARY) in the world's environment plus `extra`.
    pid_t start(const std::vector<std::string>& args, const std::string& binary = {},
                const std::map<std::string, std::string>& extra = {});
    // Waits for the process; kills it after `limit`.
    Finished finish(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(60));
    Finished run(const std::vector<std::string>& args, const std::string& binary = {},
                 const std::map<std::string, std::string>& extra = {}) {
        return finish(start(args, binary, extra));
    }
    // Runs `--headless ARGS --script FILE` with `text` as the script.
    Finished script(const std::string& text, std::vector<std::string> args = {},
                    const std::string& binary = {});
    // What a process still running has written so far.
    std::string output_so_far(pid_t pid) const;
    // The log file of the device root as ASCII (the log is UTF-16).
    std::string log_text() const;
    // Polls the log until it holds `text` after its first `from` characters.
    bool wait_for_log(const std::string& text, std::size_t from = 0) const;
    std::string write_file(const std::string& name, const std::string& content) const;
    // The settings file: no demo phone unless `demo`, then `lines`.
    void settings(const std::string& lines = {}, bool demo = false) const;
    std::string settings_text() const { return read_file(m_root / "registry.reg"); }
    Png shot(const std::string& name) const;
    std::vector<phone::CallLogEntry> calls() const;
    // The call log, newest first, each call as "direction number[ name]" ("-": no number).
    std::vector<std::string> call_rows() const;
    std::size_t contacts() const;
    fs::path m_dir;
    fs::path m_root;
    fs::path m_run;

  private:
    std::map<pid_t, fs::path> m_outputs;
};
} // namespace telvara::e2e
