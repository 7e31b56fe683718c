// Devices, FIFOs, huge, cut-short or foreign files where the program expects its own:
// each ends quickly with a message naming the file.
#include "process_support.h"

#include "data/contact_store.h"

#include <fstream>
#include <functional>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace telvara::e2e {
namespace {

// Long enough for a start on a busy machine, far shorter than a FIFO or
// /dev/zero would take.
constexpr auto kQuickly = 30s;

class DamagedFilesE2e : public TelvaraWorld {
  protected:
    std::vector<fs::path> set_aside() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(m_root))
            if (entry.path().filename().string().starts_with("registry.reg.bad-"))
                found.push_back(entry.path());
        return found;
    }
    // The built program's skins, languages and key map, `replaced` written over.
    std::string program_folder(const std::map<std::string, std::string>& replaced) const {
        return TelvaraWorld::program_folder({"skins", "english.lng", "russian.lng", "keyboard.txt"},
                                            replaced);
    }
    static std::string built_file(const std::string& name) {
        return read_file(fs::path(TELVARA_BINARY).parent_path() / name);
    }
};

// A device, a FIFO or a huge file as the script: refused at once by name, nothing starts.
TEST_F(DamagedFilesE2e, ScriptsThatAreNoFilesAreRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((m_dir / "script.fifo").c_str(), 0600), 0);
    {
        std::ofstream huge(m_dir / "huge.txt", std::ios::binary);
        const std::string line(1023, '#');
        for (int i = 0; i < 17 * 1024; ++i)
            huge << line << '\n';
    }
    struct Case {
        std::string script;
        const char* said;
    };
    const Case cases[] = {
        {"/dev/zero", "is not a regular file"},
        {(m_dir / "script.fifo").string(), "is not a regular file"},
        {(m_dir / "huge.txt").string(), "larger than 16.0 MB, not read"},
        {(m_dir / "none.txt").string(), "No such file or directory"},
    };
    for (const Case& c : cases) {
        const Finished run = finish(start({"--headless", "--script", c.script}), kQuickly);
        EXPECT_EQ(run.status, 2) << c.script << "\n" << run.output;
        EXPECT_THAT(run.output, HasSubstr("cannot read the script " + c.script + ": " + c.said));
    }
    EXPECT_FALSE(fs::exists(m_root / "registry.reg")) << "nothing started";
}

// A link to /dev/zero, a FIFO or garbage as settings: moved aside, said, a fresh file.
TEST_F(DamagedFilesE2e, SettingsThatCannotBeReadAreMovedAsideAndSaid) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        const char* said;
    };
    const Case cases[] = {
        {"a link to /dev/zero", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); },
         "is not a regular file"},
        {"a FIFO", [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
         "is not a regular file"},
        {"garbage",
         [](const fs::path& f) {
             std::ofstream(f) << "\x7f"
                                 "ELF\x02\x01";
         },
         "line 1: not a settings file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        c.make(m_root / "registry.reg");
        const Finished run =
            script("wait 1000\nexpect text txtNotice \"The settings file is damaged\"\n");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_THAT(run.output, HasSubstr("settings file " + (m_root / "registry.reg").string() +
                                          " is damaged (" + c.said));
        const auto aside = set_aside();
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_THAT(run.output, HasSubstr("moved aside to " + aside[0].string()));
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(m_root / "registry.reg")))
            << "a new settings file took its place";
    }
}

// A cut-short dword ("Dialer"=dword:0000 is no 0) is left out and the file kept aside.
TEST_F(DamagedFilesE2e, ADwordCutShortIsLeftOutAndTheFileKept) {
    settings("\"Sorting\"=dword:00000000\n\"Dialer\"=dword:0000\n");
    const std::string before = settings_text();
    const Finished run =
        script("wait 1000\nexpect text txtNotice \"Damaged settings lines skipped\"\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("line 6: a dword needs 8 hex digits"));
    const auto aside = set_aside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(read_file(aside[0]), before);
    EXPECT_THAT(run.output, HasSubstr("a copy of the file is kept as " + aside[0].string()));
}

// A full disk under the settings: the change the program makes at its first
// start (the demo's mark) is not stored, and the screen says why.
TEST_F(DamagedFilesE2e, AFullDiskIsSaidOnTheScreen) {
    // Every write of the next settings file goes to /dev/full: ENOSPC.
    fs::create_symlink("/dev/full", m_root / "registry.reg.tmp");
    const Finished run =
        script("wait 1000\nexpect text txtNotice \"Disk full: settings not saved\"\n", {"--log"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(log_text(), HasSubstr("(No space left on device)"));
}

// telvara-settings says the system's reason a change was not stored.
TEST_F(DamagedFilesE2e, TheSettingsToolSaysTheRealReason) {
    const std::string tool = std::string(TELVARA_BUILD_DIR) + "/telvara-settings";
    const std::string key = "HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
    settings("");
    const std::string before = settings_text();
    struct Case {
        std::vector<std::string> args;
        bool full_disk;
        const char* said;
    };
    const Case cases[] = {
        {{"set-dword", key, "Sorting", "2"},
         true,
         "\"Sorting\" not stored: cannot write the settings file "},
        {{"set-string", key, "Skin", "dark"}, true, "(No space left on device)"},
        {{"log", "on"}, true, "the log was not switched: cannot write"},
        {{"delete", key, "DemoData"}, true, "\"DemoData\" not deleted: cannot write"},
        {{"set-dword", key, "bad\nname", "1"}, false, "may not hold control characters"},
        {{"delete", key, "Nothing"}, false, "no value \"Nothing\" under "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::error_code ignored;
        fs::remove(m_root / "registry.reg.tmp", ignored);
        if (c.full_disk)
            fs::create_symlink("/dev/full", m_root / "registry.reg.tmp");
        const Finished run = finish(start(c.args, tool), kQuickly);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_THAT(run.output, HasSubstr(c.said));
        if (c.full_disk) {
            EXPECT_THAT(run.output, HasSubstr("No space left on device"));
        }
        EXPECT_EQ(settings_text(), before) << "the file keeps what it had";
    }
}

// Odd-length UTF-16 language and letter map files are refused by name, never read as
// Windows-1251; the next language and the standard letters are used.
TEST_F(DamagedFilesE2e, DamagedLanguageAndLetterMapAreRefusedAndSaid) {
    std::string russian = built_file("russian.lng");
    std::string keyboard = built_file("keyboard.txt");
    ASSERT_EQ(russian.size() % 2, 0u);
    russian.pop_back();
    keyboard.pop_back();
    const std::string binary =
        program_folder({{"russian.lng", russian}, {"keyboard.txt", keyboard}});
    settings("\"Language\"=\"russian\"\n");
    // Her number holds no 2: only her name answers the key 2.
    data::ContactRecord anna;
    anna.first_name = u"Anna";
    anna.fields.push_back({data::FieldType::Mobile, u"+4930134567"});
    ASSERT_TRUE(data::ContactStore((m_root / "pim.vol").string()).create_contact(anna));
    // English texts prove the next language was taken.
    const Finished run = script("wait 1000\nexpect text txtNotice \"russian.lng is damaged\"\n"
                                "wait 2600\nexpect text txtNotice \"keyboard.txt is damaged\"\n"
                                "key 2\nwait 500\nexpect text text_matches \"Found: 1\"\n",
                                {}, binary);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(run.output,
                HasSubstr("language file not used: " + (m_dir / "program/russian.lng").string() +
                          ": UTF-16 text of odd length"));
    EXPECT_THAT(run.output, HasSubstr((m_dir / "program/keyboard.txt").string() +
                                      ": UTF-16 text of odd length"));
    EXPECT_THAT(run.output, HasSubstr("the standard letters are used"));
    EXPECT_THAT(settings_text(), HasSubstr("\"Language\"=\"russian\""))
        << "the setting stays: a repaired file is used again";
}

// Every language file damaged: the start stops with its message, which names
// each file and what is wrong with it.
TEST_F(DamagedFilesE2e, WithEveryLanguageDamagedTheStartStopsNamingThem) {
    std::string english = built_file("english.lng");
    english.pop_back();
    const std::string binary =
        program_folder({{"english.lng", english}, {"russian.lng", std::string("k\0=\0v\0", 6)}});
    const Finished run = script("wait 100\n", {}, binary);
    EXPECT_NE(run.status, 0);
    EXPECT_THAT(run.output, HasSubstr("No languages, please reinstall"));
    for (const char* file : {"english.lng: UTF-16 text of odd length", "russian.lng: zero bytes"})
        EXPECT_THAT(run.output, HasSubstr(file));
}

// Another user's XDG_RUNTIME_DIR (su keeps it) would split the lock: the start is refused.
TEST_F(DamagedFilesE2e, AnotherUsersRuntimeFolderStopsTheStart) {
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    const fs::path theirs = m_dir / "their-run";
    fs::create_directories(theirs);
    ASSERT_EQ(::chmod(theirs.c_str(), 0700), 0);
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    const Finished run =
        finish(start({"--headless", "--script", write_file("s.txt", "wait 100\nshot never.png\n")},
                     {}, {{"XDG_RUNTIME_DIR", theirs.string()}}));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("cannot start safely: XDG_RUNTIME_DIR: " + theirs.string() +
                                      " belongs to another user"));
    EXPECT_FALSE(fs::exists(m_dir / "never.png"));
}

// A second start with --log leaves the running log and the "Log" setting alone.
TEST_F(DamagedFilesE2e, ASecondStartWithLogNeverTouchesTheRunningLog) {
    const pid_t first = start({"--headless", "--log"});
    ASSERT_TRUE(wait_for_log(" WinMain 10")) << log_text();
    const std::string before = log_text();
    const Finished second = finish(start({"--log", "recents"}), kQuickly);
    EXPECT_EQ(second.status, 0) << second.output;
    ASSERT_TRUE(wait_for_log("MainForm::on_command_line cmd=recents")) << log_text();
    const std::string after = log_text();
    EXPECT_TRUE(after.starts_with(before)) << "the log was started anew:\n" << after;
    EXPECT_THAT(after, Not(HasSubstr("cmd_line=recents"))) << "the second start wrote into it";
    EXPECT_THAT(settings_text(), Not(HasSubstr("\"Log\"")));
    ::kill(first, SIGTERM);
    EXPECT_EQ(finish(first).status, 0);
}

} // namespace
} // namespace telvara::e2e
