// A damaged or full contacts volume: said by name, never written, every failed write
// said. A read-only one is the volume's test's.
#include "data/contact_store.h"
#include "data/small_disk.h"
#include "data/volume_damage.h"
#include "phone/call_log.h"
#include "process_support.h"
#include <thread>
namespace telvara::e2e {
namespace {
using test_support::Damage;
class DamagedDataE2e : public TelvaraWorld {
  protected:
    std::string volume() const { return (m_root / "pim.vol").string(); }
    // A phone in use: contacts, a call, no demo.
    void fill_volume(std::size_t contacts) const {
        data::ContactStore store(volume());
        ASSERT_EQ(store.add_test_contacts(contacts), contacts);
        const std::int64_t start = 134'000'000'000'000'000;
        ASSERT_TRUE(phone::CallLog(volume()).add(
            {start, start + 600'000'000, phone::CallDirection::Incoming, u"+4930555123", {}}));
    }
};
// Each kind of damage is said on the screen and on stderr with the file's
// name, and the file is left as it was (the first start's demo included).
TEST_F(DamagedDataE2e, ADamagedVolumeIsSaidAndNeverWritten) {
    for (const auto& c : test_support::kDamageCases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(m_root))
            fs::remove_all(entry.path());
        fill_volume(300);
        test_support::damage_volume(volume(), c.damage);
        const std::string before =
            c.damage == Damage::folder ? std::string() : test_support::file_bytes(volume());
        const char* notice = c.damage == Damage::newer_schema
                                 ? "pim.vol is from a newer Telvara, left as it is"
                             : c.damage == Damage::folder ? "pim.vol is not a file: no contacts"
                                                          : "pim.vol is damaged and left as it is";
        const Finished run = script(std::string("wait 1000\nexpect text txtNotice \"") + notice +
                                    "\"\nexpect text ContactSelectorContainer_empty_text "
                                    "\"No contacts\"\n");
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_THAT(run.output, HasSubstr("telvara: " + volume() + " " + c.says));
        EXPECT_EQ(c.damage == Damage::folder ? before : test_support::file_bytes(volume()), before)
            << "never written";
    }
}
// The disk fills while running: a star, a call and a new contact each say not stored.
TEST_F(DamagedDataE2e, AFullDiskIsSaidForEveryWrite) {
    test_support::SmallDisk disk(m_root.string(), 4 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.why_not();
    settings();
    fill_volume(20);
    const std::string ready = (m_dir / "ready.png").string();
    const std::string script = write_file(
        "s.txt", "wait 1000\nshot " + ready +
                     "\nsleep 3000\n"
                     // A star on the first contact's number: not stored, not shown.
                     "tap big\nwait 700\ntap favorite_off\n"
                     "expect text txtNotice \"Disk full: not saved\"\nwait 300\n"
                     "tap cancel\nwait 3000\n"
                     // A call that ends: not in the call log.
                     "phone dial 555\nexpect dialing\nmodem answer\nexpect connected\n"
                     "phone hangup\nexpect ended\n"
                     "expect text txtNotice \"Disk full: the call was not recorded\" 3000\n"
                     "wait 3000\n"
                     // A new contact with a name: not stored, kept on its card.
                     "tap 216 14\nwait 500\ntap 216 87\nwait 400\ntype Ada\nwait 200\n"
                     "tap 22 20\nexpect text txtNotice \"Disk full: not saved\"\n");
    const pid_t pid = start({"--headless", "--script", script});
    for (int i = 0; i < 300 && !fs::exists(ready); ++i)
        std::this_thread::sleep_for(100ms);
    disk.fill();
    const Finished run = finish(pid);
    disk.free();
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_FALSE(fs::exists(m_root / "favorits.dat") &&
                 test_support::file_bytes((m_root / "favorits.dat").string()).find("fc0") !=
                     std::string::npos)
        << "no star stored";
    EXPECT_EQ(contacts(), 20u) << "no contact half stored";
    EXPECT_EQ(calls().size(), 1u);
}
} // namespace
} // namespace telvara::e2e
