// The log: switched by the "Log" setting, UTF-16 on disk, threads, held lines, settings damage.
#include "device_root_fixture.h"
#include "runtime/log.h"
#include "runtime/registry.h"
#include <climits>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
using namespace telvara;
using namespace telvara::runtime;

namespace {
constexpr WStringView kelma = u"HKEY_CURRENT_USER\\Software\\KELMA";

class Log : public telvara::test_support::DeviceRootTest {
  protected:
    std::string log_file() const { return root() + "/Temp/runtime_tests.txt"; }
    std::string bytes() const { return telvara::test_support::file_text(log_file()); }
    // What the file holds after its byte-order mark, as text.
    WString text() const {
        std::string raw = bytes();
        EXPECT_TRUE(raw.starts_with("\xFF\xFE"));
        EXPECT_EQ(raw.size() % 2, 0u);
        WString out;
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
            out += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                         static_cast<unsigned char>(raw[i + 1]) << 8);
        return out;
    }
    void switch_log(std::uint32_t value) { ASSERT_TRUE(reg_write_dword(kelma, u"Log", value)); }
};

} // namespace

TEST_F(Log, WritesUtf16WithAByteOrderMarkAndNumbersLikePrintf) {
    switch_log(1);
    log() << 1234 << u" " << INT_MIN << u" " << -1 << u" " << 0 << u" " << LLONG_MIN << u" "
          << LONG_MAX << u" " << UINT_MAX << u" " << ULLONG_MAX << u"" << WString()
          << static_cast<const char16_t*>(nullptr) << u" Ж😀\n";
    log().flush();
    EXPECT_EQ(bytes().substr(0, 6), std::string("\xFF\xFE"
                                                "1\0"
                                                "2\0",
                                                6));
    EXPECT_EQ(text(), u"1234 -2147483648 -1 0 -9223372036854775808 9223372036854775807 "
                      u"4294967295 18446744073709551615 Ж😀\n");
}

TEST_F(Log, SwitchedByTheSettingAtEveryAccess) {
    log() << 12 << u" unset: off\n";
    switch_log(0);
    log() << u"off\n";
    log().flush();
    EXPECT_FALSE(std::filesystem::exists(root() + "/Temp"));
    switch_log(1);
    LogStream& kept = log();
    kept << u"first run\n";
    switch_log(0);
    log() << u"dropped\n";
    kept << u"dropped too\n"; // a stream kept across a switch: dropped, not a crash
    EXPECT_EQ(text(), u"first run\n");
    switch_log(7); // any value but 0 enables, with a new file
    LogStream& stream = log();
    EXPECT_EQ(bytes(), "\xFF\xFE");
    stream << u"second run\n";
    EXPECT_EQ(text(), u"second run\n");
}

TEST_F(Log, ThreadsWritingWhileTheLogIsSwitched) {
    switch_log(1);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&stop] {
            while (!stop.load())
                log() << 123456 << u" worker line\n";
        });
    }
    for (int i = 0; i < 20; ++i)
        switch_log(static_cast<std::uint32_t>(i % 2));
    switch_log(1);
    stop = true;
    for (auto& writer : writers)
        writer.join();
    // Each stream operation lands whole: the file is only whole operations.
    WString content = text();
    std::size_t at = 0;
    while (at < content.size()) {
        if (content.compare(at, 6, u"123456") == 0)
            at += 6;
        else if (content.compare(at, 13, u" worker line\n") == 0)
            at += 13;
        else
            FAIL() << "torn write at " << at;
    }
}

TEST_F(Log, ReportsADamagedSettingsFile) {
    switch_log(1);
    std::ofstream(root() + "/registry.reg", std::ios::trunc) << "scribbled over";
    ::testing::internal::CaptureStderr();
    log() << u"next line\n";
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("is damaged"), std::string::npos) << err;
    // The settings read before stay, so the log stays on and says why.
    const std::string content = to_utf8(text());
    for (const char* part : {" SettingsStore: settings file ",
                             "is damaged (line 1: not a settings file", "next line\n"})
        EXPECT_NE(content.find(part), std::string::npos) << part << " in " << content;
    bool aside = false;
    for (const auto& entry : std::filesystem::directory_iterator(root()))
        aside |= entry.path().filename().string().starts_with("registry.reg.bad-");
    EXPECT_TRUE(aside);
}

// A start that may hand over holds its lines, then drops them or writes them to its own file.
TEST_F(Log, HeldLinesNeverTouchTheFileUntilTheyAreWritten) {
    switch_log(1);
    log() << u"the running instance\n";
    const std::string running = bytes();
    reset_log(); // a new process
    hold_log();
    log() << u"handing over\n";
    EXPECT_EQ(bytes(), running) << "held, not written";
    release_log(HeldLines::Drop);
    EXPECT_EQ(bytes(), running) << "dropped: the file is as it was";
    reset_log();
    hold_log();
    log() << u"start: " << 1 << u"\n";
    EXPECT_EQ(bytes(), running);
    release_log(HeldLines::Write);
    log() << u"after\n";
    EXPECT_EQ(text(), u"start: 1\nafter\n") << "the instance's own file, held lines first";
}

// --log switches the log on for one process without writing the shared setting.
TEST_F(Log, TheSwitchForOneRunLeavesTheSettingAlone) {
    set_log_switch(LogSwitch::On);
    log() << u"forced\n";
    set_log_switch(LogSwitch::BySetting);
    EXPECT_EQ(text(), u"forced\n");
    std::uint32_t value = 7;
    EXPECT_FALSE(reg_read_dword(kelma, u"Log", value));
    log() << u"off again\n";
    EXPECT_EQ(text(), u"forced\n");
}
