// Devices, FIFOs, cut-short or foreign files as scripts and settings: each is said naming
// the file, and nothing of the user's is lost. Damaged language and letter-map files are
// the language and key map tests'.
#include "process_support.h"
#include <fstream>
#include <functional>
#include <sys/stat.h>
namespace telvara::e2e {
namespace {
// Long enough for a start on a busy machine, far shorter than a FIFO or /dev/zero would take.
constexpr auto kQuickly = 30s;
class DamagedFilesE2e : public TelvaraWorld {};
TEST_F(DamagedFilesE2e, ScriptsThatAreNoFilesAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((m_dir / "script.fifo").c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {"/dev/zero", "is not a regular file"},
        {(m_dir / "script.fifo").string(), "is not a regular file"},
        {(m_dir / "none.txt").string(), "No such file or directory"},
    };
    for (const auto& [file, said] : cases) {
        const Finished run = finish(start({"--headless", "--script", file}), kQuickly);
        EXPECT_EQ(run.status, 2) << file << "\n" << run.output;
        EXPECT_THAT(run.output, HasSubstr("cannot read the script " + file + ": " + said));
    }
    EXPECT_FALSE(fs::exists(m_root / "registry.reg")) << "nothing started";
}
// A link to /dev/zero, a FIFO or garbage as settings: moved aside, said, a fresh file;
// a dword cut short ("dword:0000" is no 0): left out, a copy of the file kept.
TEST_F(DamagedFilesE2e, SettingsThatCannotBeReadAreSetAsideAndSaid) {
    const fs::path file = m_root / "registry.reg";
    const struct {
        const char* name;
        std::function<void()> make;
        const char* notice;
        const char* said;
        bool kept = false; // a copy kept aside, the lines read used
    } cases[] = {
        {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", file); },
         "The settings file is damaged", "is damaged (is not a regular file"},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         "The settings file is damaged", "is damaged (is not a regular file"},
        {"garbage", [&] { std::ofstream(file) << "\177ELF\2\1"; }, "The settings file is damaged",
         "is damaged (line 1: not a settings file"},
        {"a dword cut short",
         [&] { settings("\"Sorting\"=dword:00000000\n\"Dialer\"=dword:0000\n"); },
         "Damaged settings lines skipped", "line 6: a dword needs 8 hex digits", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        c.make();
        const std::string before = c.kept ? settings_text() : "";
        const Finished run =
            script("wait 1000\nexpect text txtNotice \"" + std::string(c.notice) + "\"\n");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_THAT(run.output, HasSubstr(c.said));
        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(m_root))
            if (entry.path().filename().string().starts_with("registry.reg.bad-"))
                aside.push_back(entry.path());
        ASSERT_EQ(aside.size(), 1u);
        if (!c.kept) {
            EXPECT_THAT(run.output, HasSubstr("settings file " + file.string() + " is damaged"));
            EXPECT_THAT(run.output, HasSubstr("moved aside to " + aside[0].string()));
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << "a new one in its place";
        } else {
            EXPECT_EQ(read_file(aside[0]), before);
            EXPECT_THAT(run.output,
                        HasSubstr("a copy of the file is kept as " + aside[0].string()));
        }
    }
}
// A full disk under the settings: the demo's mark, written at the first start, is
// not stored and the screen says why; telvara-settings says the system's reason.
TEST_F(DamagedFilesE2e, AFullDiskIsSaidByTheProgramAndTheSettingsTool) {
    // Every write of the next settings file goes to /dev/full: ENOSPC.
    fs::create_symlink("/dev/full", m_root / "registry.reg.tmp");
    const Finished run =
        script("wait 1000\nexpect text txtNotice \"Disk full: settings not saved\"\n", {"--log"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(log_text(), HasSubstr("(No space left on device)"));
    const std::string tool = std::string(TELVARA_BUILD_DIR) + "/telvara-settings";
    const std::string key = "HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
    settings("");
    const std::string before = settings_text();
    const struct {
        std::vector<std::string> args;
        bool full_disk;
        const char* said;
    } cases[] = {
        {{"set-dword", key, "Sorting", "2"},
         true,
         "\"Sorting\" not stored: cannot write the settings file "},
        {{"set-string", key, "Skin", "dark"}, true, "(No space left on device)"},
        {{"log", "on"}, true, "the log was not switched: cannot write"},
        {{"delete", key, "DemoData"}, true, "\"DemoData\" not deleted: cannot write"},
        {{"set-dword", key, "bad\nname", "1"}, false, "may not hold control characters"},
        {{"delete", key, "Nothing"}, false, "no value \"Nothing\" under "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        std::error_code ignored;
        fs::remove(m_root / "registry.reg.tmp", ignored);
        if (c.full_disk)
            fs::create_symlink("/dev/full", m_root / "registry.reg.tmp");
        const Finished told = finish(start(c.args, tool), kQuickly);
        EXPECT_EQ(told.status, 1) << told.output;
        EXPECT_THAT(told.output, HasSubstr(c.said));
        EXPECT_EQ(told.output.find("No space left on device") != std::string::npos, c.full_disk);
        EXPECT_EQ(settings_text(), before) << "the file keeps what it had";
    }
}
} // namespace
} // namespace telvara::e2e
