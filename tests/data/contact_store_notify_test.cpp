// Store change notices: local and remote codes, listener calls, and writers killed mid-write.
#include "contact_store_test_support.h"
#include "data/test_contacts.h"
#include "platform/messages.h"
#include "runtime/scheduler_test_support.h"
#include "volume_damage.h"
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
extern char** environ;
using namespace telvara;
using namespace telvara::data;
using namespace telvara::data::testing;
using namespace std::chrono_literals;

namespace {
using Notifications = std::vector<ContactNotification>;
using Strings = std::vector<std::string>;
ContactRecord named(WString first) {
    ContactRecord r;
    r.first_name = std::move(first);
    r.fields.emplace_back(FieldType::Mobile, u"+1 555 0100");
    return r;
}
using telvara::test::pump_until;
// The image bytes the crash writer gives a contact's photo.
std::vector<std::byte> photo_for(std::uint32_t oid) {
    std::vector<std::byte> bytes(3000 + oid % 500);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::byte>((i * 31 + oid) & 0xFF);
    return bytes;
}
constexpr std::size_t kBatch = 50;
// Starts this program again as a writer of the volume under `root` (output: root/writer.out).
pid_t spawn_child(const std::string& mode, const std::string& root) {
    ::setenv("TELVARA_STORE_CHILD", mode.c_str(), 1); // read only by the writer's body
    ::setenv("TELVARA_STORE_ROOT", root.c_str(), 1);
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=ContactStoreChild.DISABLED_Writer";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {exe.data(), filter.data(), disabled.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = root + "/writer.out";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
using ContactStoreNotifyTest = StoreTest;

} // namespace

// Not a test of its own: the body of the writer process started below (disabled in normal runs).
TEST(ContactStoreChild, DISABLED_Writer) {
    const char* mode = std::getenv("TELVARA_STORE_CHILD");
    const char* root = std::getenv("TELVARA_STORE_ROOT");
    if (mode == nullptr || root == nullptr)
        GTEST_SKIP() << "runs only as the writer of another test";
    runtime::set_device_root(root);
    ContactStore store;
    ASSERT_TRUE(store.is_open());
    // Writes until killed: batches of generated contacts, rewrites of existing ones and photos.
    for (std::uint32_t round = 1; std::strcmp(mode, "crash") == 0; ++round) {
        store.add_test_contacts(kBatch);
        std::vector<ContactRecord> all;
        const auto count = store.load_contacts(all);
        if (count == 0)
            continue;
        ContactRecord& victim = all[(round * 7919) % count];
        store.update_contact(victim);
        store.set_picture(victim, photo_for(victim.oid));
    }
}

TEST_F(ContactStoreNotifyTest, WritesArriveOnceWithLocalOrRemoteCodes) {
    ContactStore watcher;
    ContactStore writer;
    EXPECT_TRUE(watcher.collect_changes().empty());
    ContactRecord mine = named(u"Mine");
    ASSERT_TRUE(watcher.create_contact(mine));
    mine.last_name = u"Changed";
    ASSERT_TRUE(watcher.update_contact(mine));
    ASSERT_TRUE(watcher.set_picture(mine, std::vector<std::byte>(10, std::byte{5})));
    ContactRecord theirs = named(u"Theirs");
    ASSERT_TRUE(writer.create_contact(theirs));
    ASSERT_TRUE(writer.update_contact(mine));
    ASSERT_TRUE(watcher.delete_contact(mine.oid));
    EXPECT_FALSE(watcher.delete_contact(mine.oid)) << "a failed write journals nothing";
    EXPECT_EQ(watcher.collect_changes(), (Notifications{{PIM_ITEM_CREATED_LOCAL, mine.oid},
                                                        {PIM_ITEM_CHANGED_LOCAL, mine.oid},
                                                        {PIM_ITEM_CHANGED_LOCAL, mine.oid},
                                                        {PIM_ITEM_CREATED_REMOTE, theirs.oid},
                                                        {PIM_ITEM_CHANGED_REMOTE, mine.oid},
                                                        {PIM_ITEM_DELETED_LOCAL, mine.oid}}));
    EXPECT_TRUE(watcher.collect_changes().empty()) << "delivered once";
    EXPECT_EQ(writer.collect_changes(), (Notifications{{PIM_ITEM_CREATED_REMOTE, mine.oid},
                                                       {PIM_ITEM_CHANGED_REMOTE, mine.oid},
                                                       {PIM_ITEM_CHANGED_REMOTE, mine.oid},
                                                       {PIM_ITEM_CREATED_LOCAL, theirs.oid},
                                                       {PIM_ITEM_CHANGED_LOCAL, mine.oid},
                                                       {PIM_ITEM_DELETED_REMOTE, mine.oid}}));
    // A load covers what was journaled before it.
    ContactRecord after = named(u"After");
    ASSERT_TRUE(writer.create_contact(after));
    std::vector<ContactRecord> list;
    ASSERT_EQ(watcher.load_contacts(list), 2u);
    EXPECT_TRUE(watcher.collect_changes().empty());
    ASSERT_TRUE(writer.delete_contact(after.oid));
    EXPECT_EQ(watcher.collect_changes(), (Notifications{{PIM_ITEM_DELETED_REMOTE, after.oid}}));
}

TEST_F(ContactStoreNotifyTest, NotificationsBecomeListenerCalls) {
    ContactStore store;
    RecordingListener listener;
    store.set_listener(&listener);
    ContactRecord r = named(u"Known");
    ASSERT_TRUE(store.create_contact(r));
    EXPECT_EQ(store.handle_notification(PIM_ITEM_CREATED_REMOTE, r.oid), 0);
    EXPECT_EQ(store.handle_notification(PIM_ITEM_CHANGED_LOCAL, r.oid), 0);
    // Not a contact (any more): nothing to add.
    store.handle_notification(PIM_ITEM_CREATED_LOCAL, 4242);
    // Deleted items are passed on whatever they were; the listener ignores oids it does not know.
    store.handle_notification(PIM_ITEM_DELETED_REMOTE, 4242);
    EXPECT_EQ(store.handle_notification(WM_APP + 0x103, r.oid), 0);
    EXPECT_EQ(store.handle_notification(platform::WM_TIMER, r.oid), 0);
    const std::string oid = std::to_string(r.oid);
    EXPECT_EQ(listener.log(),
              (Strings{"added " + oid + " Known ", "changed " + oid, "removed 4242"}));
    EXPECT_EQ(listener.calls[0].record.fields, r.fields);
}

TEST_F(ContactStoreNotifyTest, WriterKilledMidTransactionLeavesAWholeVolume) {
    std::size_t last_count = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t pid = spawn_child("crash", root());
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + (round * 37) % 110));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer must still have been writing";
        EXPECT_EQ(test_support::sql_value(volume(), "PRAGMA integrity_check"), "ok");
        ContactStore store;
        ASSERT_TRUE(store.is_open());
        std::vector<ContactRecord> all;
        const std::size_t count = store.load_contacts(all);
        EXPECT_EQ(count % kBatch, 0u) << "a batch is stored whole or not at all";
        EXPECT_GE(count, last_count);
        last_count = count;
        for (std::size_t i = 0; i < all.size(); ++i) {
            const auto& r = all[i];
            ASSERT_EQ(r.oid, i + 1) << "oids are handed out without gaps here";
            const ContactRecord expected = make_test_contact(i % kBatch);
            ASSERT_EQ(r.first_name, expected.first_name);
            ASSERT_EQ(r.company, expected.company);
            ASSERT_EQ(without_empty_categories(r.fields), expected.fields) << r.oid;
            const auto photo = store.get_picture(r);
            if (!photo.empty()) {
                ASSERT_EQ(photo, photo_for(r.oid));
            }
        }
    }
    EXPECT_GT(last_count, 0u) << "the writers got some batches through";
}
