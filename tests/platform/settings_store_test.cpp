// The settings store: its text form, case rules, sharing between stores and
// processes, damaged files and crashes in the middle of a write.
#include "data/small_disk.h"
#include "platform/atomic_file.h"
#include "platform/settings_store.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace telvara;
using namespace telvara::platform;
namespace fs = std::filesystem;
using testing::AllOf;
using testing::HasSubstr;

namespace {

constexpr auto HKCU = SettingsRoot::current_user;

struct TempFolder {
    std::string path = [] {
        std::string pattern = (fs::temp_directory_path() / "settings-XXXXXX").string();
        return std::string(::mkdtemp(pattern.data()));
    }();
    ~TempFolder() { fs::remove_all(path); }
    std::string file() const { return path + "/registry.reg"; }
};

std::string read_text(const std::string& path) {
    auto data = read_whole_file(path);
    return data ? *data : std::string();
}

void write_text(const std::string& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The damaged files set aside beside the settings file.
std::vector<std::string> set_aside(const TempFolder& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir.path))
        if (entry.path().filename().string().starts_with("registry.reg.bad-"))
            found.push_back(entry.path().string());
    return found;
}

// The dword `name` of key K (or `key`), if it reads.
std::optional<std::uint32_t> dword(SettingsStore& store, WStringView name, WStringView key = u"K") {
    std::uint32_t value = 0;
    return store.read_dword(HKCU, key, name, value) ? std::optional(value) : std::nullopt;
}

std::string parse_error(std::string_view text) {
    SettingsTree tree;
    std::string error;
    EXPECT_FALSE(parse_settings(text, tree, error)) << text;
    return error;
}

} // namespace

TEST(SettingsText, EveryStringRoundTrips) {
    // clang-format off
    const std::vector<WString> texts = {
        u"", u"plain", u"quotes \" and \\ backslashes \\\"", u"ends with a backslash\\",
        u"line 1\nline 2\r\n\ttab", u"Привет, Ёж 😀", WString(u"nul\0inside", 10),
        WString(1, char16_t(0xD800)) + u"lone surrogates" + WString(1, char16_t(0xDC00)),
        WString(300, u'x') + u"\n", // long enough for wrapped hex lines
    };
    // clang-format on
    SettingsTree tree;
    auto& key = tree.roots[3][u"Software\\KELMA"];
    key.path = u"Software\\KELMA";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        WString name = u"Name \"" + to_wstring(static_cast<std::int64_t>(i)) + u"\" \\";
        key.values[name] = SettingValue{name, SettingType::string, 0, texts[i]};
    }
    key.values[u""] = SettingValue{u"", SettingType::dword, 0xFFFFFFFF, {}};
    std::string text = serialize_settings(tree);
    SettingsTree back;
    std::string error;
    ASSERT_TRUE(parse_settings(text, back, error)) << error;
    EXPECT_EQ(back, tree) << text;
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\n")) << text;
    EXPECT_NE(text.find("@=dword:ffffffff\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Name \\\"1\\\" \\\\\"=\"plain\"\n"), std::string::npos) << text;
}

TEST(SettingsText, ReadsWhatAnEditorWrites) {
    SettingsTree tree;
    std::string error;
    ASSERT_TRUE(
        parse_settings("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
                       "[hkey_current_user\\Software\\\\KELMA\\]\r\n\"Log\" = dword:0000002A\r\n"
                       "\"Skin\"=\"Black\"\r\n\"Text\"=hex(1):41,00,\\\r\n    42,00,00,00\r\n"
                       "\"log\"=dword:00000001\r\n",
                       tree, error))
        << error;
    const auto& keys = tree.roots[3];
    ASSERT_EQ(keys.size(), 1u);
    const SettingsKey& key = keys.begin()->second;
    EXPECT_EQ(key.path, u"Software\\KELMA");
    ASSERT_EQ(key.values.size(), 3u);
    // A repeated value: the later one wins, the first spelling stays.
    EXPECT_EQ(std::tie(key.values.at(u"LOG").name, key.values.at(u"LOG").dword),
              std::tuple(u"Log", 1u));
    EXPECT_EQ(key.values.at(u"skin").text, u"Black");
    EXPECT_EQ(key.values.at(u"Text").text, u"AB");
}

TEST(SettingsText, RejectsDamagedFilesWithTheLine) {
    const std::string head = "Windows Registry Editor Version 5.00\n";
    const std::string key = head + "[HKEY_USERS\\x]\n";
    EXPECT_EQ(parse_error(""), "line 0: empty file");
    EXPECT_NE(parse_error("garbage\n").find("line 1: not a settings file"), std::string::npos);
    const std::pair<std::string, const char*> rows[] = {
        {head + "\"A\"=dword:00000001\n", "line 2: a value before the first key"},
        {head + "[HKEY_NOWHERE\\x]\n", "line 2: unknown root key"},
        {head + "[HKEY_USERS\\x\n", "line 2: a key line must end with ']'"},
        {key + "\"A\"=hex:00\n", "line 3: unsupported value type"},
        {key + "\"A\"=dword:123456789\n", "line 3: a dword needs 8 hex digits"},
        {key + "\"A\"=dword:0000\n", "line 3: a dword needs 8 hex digits"}, // cut, not smaller
        {key + "\"A\"=dword:\n", "line 3: a dword needs 8 hex digits"},
        {key + "\"A\"=dword:0000012g\n", "line 3: bad hex digit in a dword"},
        {key + "\"A\"=\"x\\n\"\n", "line 3: unknown escape in a quoted text"},
        {key + "\"A\"=\"open\n", "line 3: unterminated quoted text"},
        {key + "\"A=dword:00000001\n", "line 3: unterminated quoted text"}, // in the name
        {key + "\"A\"=\"x\" y\n", "line 3: text after a quoted value"},
        {key + "\"A\"=\"\xFF\"\n", "line 3: invalid UTF-8"},
        {key + "\"A\"=hex(1):41\n",
         "line 3: a string's hex data must hold whole UTF-16 code units"},
        {key + "\"A\"=hex(1):41,\\\n", "line 3: hex data continues past the end of the file"},
        {key + "\"A\"dword:00000001\n", "line 3: '=' expected after the value name"},
        {key + "\"A\"=hex(1):410,00\n", "line 3: bad hex byte"},
        {key + "\"A\"=hex(1):41,,00,00\n", "line 3: bad hex byte"},
        {key + "\"A\"=\"tor", "line 3: unterminated quoted text"}, // a torn write
    };
    for (const auto& [text, error] : rows)
        EXPECT_EQ(parse_error(text), error) << text;
}

// The store reads with damaged lines left out: each row is a file, the values that must survive and
// the description of what was skipped (a dword cut short and a torn line: the store's own table).
TEST(SettingsText, LeavesOutDamagedLinesWhenAskedAndKeepsTheRest) {
    const std::string head = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
                             "\"Good\"=dword:00000007\n";
    struct Case {
        const char* name;
        std::string text;
        std::vector<WString> kept; // values of K besides Good
        std::string skipped;       // line 4's description
    };
    // clang-format off
    const Case cases[] = {
        {"unknown key takes its values along", head + "[HKEY_NOWHERE\\X]\n\"V\"=dword:00000001\n"
         "[HKEY_CURRENT_USER\\K]\n\"W\"=dword:00000002\n", {u"W"},
         "unknown root key (the values under it are skipped too)"},
        {"stray text", head + "garbage\n\"C\"=\"c\"\n", {u"C"}, "unexpected text"},
        {"hex past the end", head + "\"H\"=hex(1):41,\\\n", {},
         "hex data continues past the end of the file"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SettingsTree tree;
        std::string error;
        std::vector<std::string> skipped;
        ASSERT_TRUE(parse_settings(c.text, tree, error, &skipped)) << c.name << ": " << error;
        EXPECT_EQ(skipped, std::vector{"line 4: " + c.skipped}) << c.name;
        const auto& values = tree.roots[3].at(u"K").values;
        EXPECT_EQ(values.at(u"Good").dword, 7u) << c.name;
        EXPECT_EQ(values.size(), c.kept.size() + 1) << c.name;
        for (const WString& name : c.kept)
            EXPECT_TRUE(values.contains(name)) << c.name << ": " << to_utf8(name);
        // Without the list the same text is refused whole.
        EXPECT_FALSE(parse_settings(c.text, tree, error)) << c.name;
    }
    SettingsTree tree;
    std::string error;
    std::vector<std::string> skipped;
    // A flood of damaged lines is described up to the limit, then counted.
    std::string many = head;
    for (int i = 0; i < 100; ++i)
        many += "\"N" + std::to_string(i) + "\"=dword:1\n";
    ASSERT_TRUE(parse_settings(many, tree, error, &skipped));
    ASSERT_EQ(skipped.size(), kMaxSkippedLines + 1);
    EXPECT_EQ(skipped.back(),
              "and " + std::to_string(100 - kMaxSkippedLines) + " more damaged lines");
}

TEST(SettingsStore, NamesTheFileCannotHoldAndDeletions) {
    TempFolder dir;
    SettingsStore store(dir.file());
    EXPECT_FALSE(store.write_dword(HKCU, u"Key", u"bad\nname", 1));
    EXPECT_THAT(store.last_error(), HasSubstr("control characters"));
    EXPECT_FALSE(store.write_dword(HKCU, u"bad\x01key", u"name", 1));
    EXPECT_FALSE(fs::exists(dir.file()));
    EXPECT_FALSE(store.has_problems()) << "the caller's mistake, not a problem of the file";
    ASSERT_TRUE(store.write_dword(HKCU, u"Настройки", u"Ёлка", 1));
    EXPECT_EQ(store.last_error(), "");
    EXPECT_EQ(dword(store, u"ёЛКА", u"НАСТРОЙКИ"), 1u);
    ASSERT_TRUE(store.write_dword(HKCU, u"Key", u"ЯΫ", 2)); // the last capitals folded
    EXPECT_EQ(dword(store, u"яϋ", u"KEY"), 2u);
    WString text = u"default"; // the wrong type fails and keeps the caller's default
    EXPECT_FALSE(store.read_string(HKCU, u"Key", u"ЯΫ", text) || text != u"default");
    EXPECT_TRUE(store.delete_value(HKCU, u"настройки", u"ёлка"));
    EXPECT_FALSE(store.delete_value(HKCU, u"Настройки", u"Ёлка"));
    EXPECT_EQ(store.last_error(), kNoSuchSettingsValue);
    EXPECT_FALSE(dword(store, u"Ёлка", u"Настройки"));
    SettingsStore fresh(dir.file());
    EXPECT_FALSE(dword(fresh, u"Ёлка", u"Настройки"));
    // A folder that cannot be made fails cleanly, said once.
    write_text(dir.path + "/plainfile", "x");
    SettingsStore nowhere(dir.path + "/plainfile/sub/registry.reg");
    EXPECT_FALSE(nowhere.write_dword(HKCU, u"Key", u"A", 1));
    EXPECT_FALSE(dword(nowhere, u"A"));
    EXPECT_EQ(nowhere.take_problems().size(), 1u);
    EXPECT_FALSE(nowhere.has_problems());
}

TEST(SettingsStore, ProcessesWritingAtOnceLoseNothing) {
    TempFolder dir;
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        if (pid_t pid = ::fork(); pid != 0) {
            children.push_back(pid);
            continue;
        }
        SettingsStore store(dir.file());
        bool ok = true;
        for (int i = 0; i < 15; ++i)
            ok &= store.write_dword(HKCU, u"K", u"P" + to_wstring(p) + u"-" + to_wstring(i), 1);
        std::_Exit(ok ? 0 : 1);
    }
    for (pid_t pid : children) {
        int status = 0;
        EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                    WEXITSTATUS(status) == 0);
    }
    SettingsStore store(dir.file());
    EXPECT_EQ(store.snapshot().roots[3].at(u"K").values.size(), 4u * 15u);
}

// Each row: what stands where the settings file should be ("<fifo>", "<folder>" or the text), and
// what the store says of it on its first read. A file that is no settings file is set aside whole;
// one with damaged lines keeps its good values (A) and a copy.
TEST(SettingsStore, DamagedFilesAreSaidAndNothingTheUserHadIsLost) {
    const std::string head = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
                             "\"A\"=dword:00000001\n";
    const std::pair<std::string, std::string> cases[] = {
        {"\x7f\x45LF garbage", "not a settings file"},
        {head + "\"B\"=\"torn", "line 4: unterminated quoted text"},
        {head + "\"Sorting\"=dword:0000\n", "line 4: a dword needs 8 hex digits"},
        {"<fifo>", "not a regular file"},
        {"<folder>", "is a folder"},
        {head + std::string(kMaxSettingsFileBytes, ';'), "larger than 4.0 MB"},
    };
    for (const auto& [content, said] : cases) {
        SCOPED_TRACE(said);
        TempFolder dir;
        if (content == "<fifo>")
            ASSERT_EQ(::mkfifo(dir.file().c_str(), 0600), 0);
        else if (content == "<folder>")
            fs::create_directory(dir.file());
        else
            write_text(dir.file(), content);
        const bool lines_left_out = said.starts_with("line ");
        SettingsStore store(dir.file());
        EXPECT_EQ(dword(store, u"A").has_value(), lines_left_out);
        EXPECT_FALSE(dword(store, u"Sorting")) << "damage is not 0";
        auto problems = store.take_problems();
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_THAT(problems[0].text, AllOf(HasSubstr(said), HasSubstr(dir.file())));
        auto aside = set_aside(dir);
        ASSERT_EQ(aside.size(), 1u);
        if (!lines_left_out) {
            EXPECT_EQ(problems[0].kind, SettingsProblemKind::Damaged);
            EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file()))) << "moved, not emptied";
        } else {
            EXPECT_EQ(problems[0].kind, SettingsProblemKind::LinesSkipped);
            // A copy of the file as it was: the next write drops the bad line.
            EXPECT_EQ(read_text(aside[0]), read_text(dir.file()));
        }
        const std::string kept = lines_left_out ? read_text(aside[0]) : "";
        // Reading and writing on: said once, copied once, the copy untouched.
        EXPECT_EQ(dword(store, u"A").has_value(), lines_left_out);
        ASSERT_TRUE(store.write_dword(HKCU, u"K", u"C", 3));
        ASSERT_TRUE(store.write_dword(HKCU, u"K", u"D", 4));
        EXPECT_FALSE(store.has_problems());
        EXPECT_EQ(set_aside(dir).size(), 1u);
        EXPECT_EQ(lines_left_out ? read_text(aside[0]) : "", kept);
        SettingsStore fresh(dir.file());
        EXPECT_EQ(dword(fresh, u"C"), 3u);
        EXPECT_EQ(dword(fresh, u"A").has_value(), lines_left_out);
        EXPECT_FALSE(fresh.has_problems()) << "the file written is whole again";
    }
}

// A full disk: the change is refused with the system's reason and the file's name, and the file
// keeps what it had. /dev/full behind the temporary file makes every write fail with ENOSPC.
TEST(SettingsStore, AFullDiskSaysSoAndKeepsTheFile) {
    TempFolder dir;
    SettingsStore store(dir.file());
    ASSERT_TRUE(store.write_dword(HKCU, u"K", u"A", 1));
    const std::string before = read_text(dir.file());
    fs::create_symlink("/dev/full", dir.file() + ".tmp");
    EXPECT_FALSE(store.write_dword(HKCU, u"K", u"A", 2));
    EXPECT_THAT(store.last_error(),
                AllOf(HasSubstr("No space left on device"), HasSubstr(dir.file())));
    auto problems = store.take_problems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(std::tie(problems[0].kind, problems[0].reason, problems[0].error),
              std::tuple(SettingsProblemKind::NotSaved, "No space left on device", ENOSPC));
    EXPECT_EQ(read_text(dir.file()), before);
    EXPECT_EQ(dword(store, u"A"), 1u) << "memory shows what is stored, not what was asked";
}

TEST(SettingsStore, DamageNoticedLaterKeepsWhatWasRead) {
    TempFolder dir;
    SettingsStore store(dir.file());
    store.set_recheck_interval(std::chrono::milliseconds(0));
    ASSERT_TRUE(store.write_dword(HKCU, u"K", u"A", 1));
    write_text(dir.file(), "not a settings file at all");
    EXPECT_EQ(dword(store, u"A"), 1u);
    auto problems = store.take_problems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_THAT(problems[0].text, HasSubstr("keeping the settings read before"));
    // Two damaged files in the same second keep separate names.
    write_text(dir.file(), "damaged again");
    ASSERT_TRUE(store.write_dword(HKCU, u"K", u"B", 2));
    EXPECT_EQ(set_aside(dir).size(), 2u);
    SettingsStore fresh(dir.file());
    EXPECT_TRUE(dword(fresh, u"A") && dword(fresh, u"B"));
    fs::remove(dir.file()); // removed from outside: the store empties
    EXPECT_FALSE(dword(store, u"A"));
}

TEST(AtomicFile, FolderNamesAndReplacement) {
    for (auto [path, parent] :
         {std::pair{"/a/b/c", "/a/b"}, {"/c", "/"}, {"c", ""}, {"/a/b/", "/a"}})
        EXPECT_EQ(parent_folder(path), parent) << path;
    TempFolder dir;
    std::string file = dir.path + "/x/y/z.txt";
    ASSERT_TRUE(create_folders(parent_folder(file)));
    ASSERT_TRUE(replace_file(file, "one", file + ".tmp"));
    ASSERT_TRUE(replace_file(file, "two", file + ".tmp"));
    EXPECT_EQ(read_text(file), "two");
    EXPECT_FALSE(fs::exists(file + ".tmp"));
    EXPECT_FALSE(replace_file(dir.path + "/missing/z", "x", dir.path + "/missing/z.tmp"));
    // A full disk: the replacement fails and the file keeps what it had.
    test_support::SmallDisk disk(dir.path + "/disk", 1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why_not();
    const std::string full = dir.path + "/disk/z.txt";
    ASSERT_TRUE(replace_file(full, "one", full + ".tmp"));
    disk.fill();
    EXPECT_FALSE(replace_file(full, std::string(64 << 10, 'x'), full + ".tmp"));
    EXPECT_EQ(read_text(full), "one");
    EXPECT_FALSE(fs::exists(full + ".tmp"));
}
