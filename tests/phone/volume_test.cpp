// A damaged, unreadable, read-only or full volume: said with its reason, never written over.
#include "data/contact_source.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "data/small_disk.h"
#include "data/test_contacts.h"
#include "data/volume.h"
#include "data/volume_damage.h"
#include "phone/call_log.h"
#include "runtime/paths.h"
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace telvara::data {
namespace {

namespace fs = std::filesystem;
using test_support::Damage;

class VolumeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "volume-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        // Another user (the checks below that drop root) must reach it, and
        // the settings and log of a device root of its own.
        fs::permissions(m_dir, fs::perms(0755));
        m_previous_root = runtime::device_root();
        runtime::set_device_root(m_dir + "/device");
    }
    void TearDown() override {
        runtime::set_device_root(m_previous_root);
        std::error_code ignored;
        fs::permissions(m_dir + "/ro", fs::perms(0755), ignored);
        fs::remove_all(m_dir, ignored);
    }
    std::string fresh_volume(const std::string& name, std::size_t contacts = 2000) {
        const std::string file = m_dir + "/" + name;
        ContactStore store(file);
        EXPECT_EQ(store.add_test_contacts(contacts), contacts);
        phone::CallLog log(file);
        phone::CallLogEntry call;
        call.start = 130'000'000'000'000'000;
        call.end = call.start;
        call.number = u"+4930123";
        EXPECT_TRUE(log.add(call));
        return file;
    }
    // Runs `check` in a child as the user nobody when this one is root (root reads and writes
    // whatever the permissions say); what failed goes to stderr.
    static bool as_another_user(const std::function<std::string()>& check) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const bool nobody = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
            const std::string failed = nobody ? check() : "cannot become nobody";
            std::fputs(failed.c_str(), stderr);
            ::_exit(failed.empty() ? 0 : 1);
        }
        int status = 0;
        return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::string m_dir;
    std::string m_previous_root;
};

// Every damage named with the file; nothing read where nothing can be, nothing ever written.
TEST_F(VolumeTest, ADamagedVolumeIsNamedAndNeverWritten) {
    for (const auto& c : test_support::kDamageCases) {
        const std::string file = fresh_volume(std::string("v-") + c.name);
        test_support::damage_volume(file, c.damage);
        const std::string before =
            c.damage == Damage::folder ? std::string() : test_support::file_bytes(file);
        ContactStore store(file);
        std::vector<ContactRecord> read(2);
        store.load_contacts(read);
        EXPECT_TRUE(read.empty()) << c.name << ": the caller's list is emptied";
        EXPECT_TRUE(store.collect_changes().empty()) << c.name;
        EXPECT_NE(store.volume_state().problem, VolumeProblem::none) << c.name;
        EXPECT_NE(store.volume_problem_text().find(file + " " + c.says), std::string::npos)
            << c.name << ": " << store.volume_problem_text();
        EXPECT_FALSE(store.is_writable()) << c.name;
        ContactRecord added = make_test_contact(1);
        EXPECT_FALSE(store.create_contact(added)) << c.name;
        EXPECT_EQ(store.last_write_failure(), WriteFailure::damaged) << c.name;
        EXPECT_FALSE(store.set_mark(VolumeMark::demo_added)) << c.name;
        phone::CallLog log(file);
        EXPECT_FALSE(log.add(phone::CallLogEntry{})) << c.name;
        EXPECT_NE(log.last_write_failure(), WriteFailure::none) << c.name;
        if (c.damage != Damage::folder) {
            EXPECT_EQ(test_support::file_bytes(file), before) << c.name << ": never written";
        }
    }
}

// The reasons the checks give before SQLite opens anything.
TEST_F(VolumeTest, WhatTheFileIsDecidesHowItIsOpened) {
    std::ofstream(m_dir + "/empty.vol").flush();
    std::ofstream(m_dir + "/short.vol") << "SQLite format 3";
    ::mkfifo((m_dir + "/fifo.vol").c_str(), 0600);
    const std::pair<std::string, VolumeProblem> cases[] = {
        {m_dir + "/new/pim.vol", VolumeProblem::none},
        {m_dir + "/empty.vol", VolumeProblem::none},
        {m_dir + "/short.vol", VolumeProblem::damaged},
        {m_dir + "/fifo.vol", VolumeProblem::not_a_file},
        {"/dev/zero", VolumeProblem::not_a_file},
    };
    for (const auto& [file, problem] : cases) {
        const VolumeState state = check_volume_file(file);
        EXPECT_EQ(state.problem, problem) << file << ": " << state.reason;
        EXPECT_EQ(state.access, VolumeAccess::read_write) << file;
    }
    // A new volume in a missing folder is made, folder and all.
    ContactStore made(m_dir + "/new/pim.vol");
    EXPECT_TRUE(made.is_writable());
}

// Unreadable file, read-only file or folder: what can be read is read, nothing written, why said.
TEST_F(VolumeTest, PermissionsAreReadAsTheyAre) {
    const std::string readable = fresh_volume("readonly.vol");
    ::chmod(readable.c_str(), 0444);
    const std::string hidden = fresh_volume("hidden.vol");
    ::chmod(hidden.c_str(), 0);
    fs::create_directory(m_dir + "/ro");
    const std::string in_ro = m_dir + "/ro/pim.vol";
    {
        ContactStore store(in_ro);
        ASSERT_EQ(store.add_test_contacts(10), 10u);
    }
    ::chmod((m_dir + "/ro").c_str(), 0555);
    const std::string before = test_support::file_bytes(readable);
    EXPECT_TRUE(as_another_user([&] {
        std::string out;
        auto expect = [&out](bool holds, const std::string& what) {
            if (!holds)
                out += what + "\n";
        };
        for (const std::string& file : {readable, in_ro}) {
            ContactStore store(file);
            std::vector<ContactRecord> read;
            expect(store.is_open() && !store.is_writable(), file + ": open for reading");
            expect(store.load_contacts(read) == (file == readable ? 2000u : 10u),
                   file + ": every contact read");
            expect(store.volume_state().access == VolumeAccess::read_only, file + ": read-only");
            expect(store.volume_problem_text().find(file + " can only be read (the ") == 0,
                   file + ": says why: " + store.volume_problem_text());
            ContactRecord added = make_test_contact(1);
            expect(!store.create_contact(added) &&
                       store.last_write_failure() == WriteFailure::read_only,
                   file + ": a write is refused as read-only");
        }
        phone::CallLog log(readable);
        expect(log.entries().size() == 1, "the calls of a read-only volume are read");
        expect(!log.add(phone::CallLogEntry{}) &&
                   log.last_write_failure() == WriteFailure::read_only,
               "no call is written to it");
        ContactStore unreadable(hidden);
        expect(!unreadable.is_open() &&
                   unreadable.volume_state().problem == VolumeProblem::unreadable &&
                   unreadable.volume_problem_text() ==
                       hidden + " cannot be read (Permission denied)",
               "unreadable: " + unreadable.volume_problem_text());
        ContactStore none(m_dir + "/ro/other.vol");
        expect(!none.is_open() && none.volume_state().problem == VolumeProblem::cannot_create,
               "a read-only folder takes no new volume: " + none.volume_problem_text());
        return out;
    }));
    EXPECT_EQ(test_support::file_bytes(readable), before);
    EXPECT_FALSE(fs::exists(m_dir + "/ro/other.vol"));
}

// A full disk: every write says so and leaves the volume whole; with room again writes go on.
TEST_F(VolumeTest, AFullDiskIsToldAndLeavesTheVolumeWhole) {
    test_support::SmallDisk disk(m_dir + "/disk", 2 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why_not();
    const std::string file = m_dir + "/disk/pim.vol";
    ContactStore store(file);
    ASSERT_EQ(store.add_test_contacts(50), 50u);
    phone::CallLog log(file);
    disk.fill();
    std::vector<ContactRecord> records;
    ASSERT_EQ(store.load_contacts(records), 50u);
    ContactRecord changed = records[3];
    changed.first_name = WString(4000, u'x');
    EXPECT_FALSE(store.update_contact(changed));
    EXPECT_EQ(store.last_write_failure(), WriteFailure::disk_full);
    std::vector<ContactWithPhoto> many(200);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].record = make_test_contact(100 + i);
    EXPECT_FALSE(store.create_contacts(many));
    EXPECT_EQ(store.last_write_failure(), WriteFailure::disk_full);
    phone::CallLogEntry call;
    call.number = WString(3000, u'5');
    for (int i = 0; i < 50 && log.add(call); ++i) {
    }
    EXPECT_EQ(log.last_write_failure(), WriteFailure::disk_full);
    // Favourites on the same disk.
    StoreContactSource source(store);
    Document doc(source, nullptr, DocumentFiles{"", m_dir + "/disk/favorits.dat"});
    doc.load();
    EXPECT_FALSE(doc.add_favorite(records[0].oid, 0));
    EXPECT_EQ(doc.favorites_write_failure(), WriteFailure::disk_full);
    EXPECT_TRUE(doc.favorites().empty());
    disk.free();
    std::vector<ContactRecord> after;
    ASSERT_EQ(store.load_contacts(after), 50u);
    EXPECT_EQ(after[3].first_name, records[3].first_name) << "the old contact is whole";
    EXPECT_TRUE(store.update_contact(changed));
    EXPECT_EQ(store.last_write_failure(), WriteFailure::none);
    EXPECT_TRUE(doc.add_favorite(records[0].oid, 0));
}

} // namespace
} // namespace telvara::data
