// telvara-contacts run as a process on a private device root: import and list, a running store
// hearing of imports, usage errors and damaged volumes (a writer killed mid-import: the contact
// store's tests).
#include "data/contact_store.h"
#include "data/volume_damage.h"
#include "runtime/paths.h"
#include "runtime/scheduler_test_support.h"

#include <gmock/gmock.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace telvara;
using namespace telvara::data;
using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;
using test_support::file_bytes;

struct Result {
    int status = -1;
    std::string out, err;
};

class ContactsToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "contacts-tool-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_previous_root = runtime::device_root();
        runtime::set_device_root(m_dir + "/root");
        ::setenv("TELVARA_ROOT", (m_dir + "/root").c_str(), 1); // for the tool
        // The tool is built beside the test binaries.
        m_tool = (fs::read_symlink("/proc/self/exe").parent_path() / "telvara-contacts").string();
        ASSERT_TRUE(fs::exists(m_tool)) << "build the telvara-contacts target first";
    }
    void TearDown() override {
        ::unsetenv("TELVARA_ROOT");
        runtime::set_device_root(m_previous_root);
        fs::remove_all(m_dir);
    }
    std::string file(const std::string& name, const std::string& text) {
        std::ofstream(m_dir + "/" + name, std::ios::binary) << text;
        return m_dir + "/" + name;
    }
    // Runs the tool with its standard output and error in files.
    Result run(const std::vector<std::string>& args) {
        std::string command = m_tool;
        for (const std::string& arg : args)
            command += " '" + arg + "'";
        const int status =
            std::system((command + " >" + m_dir + "/out 2>" + m_dir + "/err").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, file_bytes(m_dir + "/out"),
                file_bytes(m_dir + "/err")};
    }
    std::string m_dir, m_previous_root, m_tool;
};

const char* kCards = "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                     "N;CHARSET=windows-1251:\xCF\xE5\xF2\xF0\xEE\xE2;\xC8\xE2\xE0\xED\r\n"
                     "TEL;CELL:+7 912 000-00-01\r\nTEL;HOME:+7 495 000-00-02\r\nEND:VCARD\r\n"
                     "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Broken\r\nTEL;TYPE=CELL +1 555\r\n"
                     "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:4.0\r\nFN:Acme\r\nORG:Acme\r\n"
                     "TEL;VALUE=uri;TYPE=\"work,voice\":tel:+1-555-0100\r\nEND:VCARD\r\n";

} // namespace

TEST_F(ContactsToolTest, UsageErrorsAndFailures) {
    EXPECT_THAT(run({}).err, HasSubstr("usage: telvara-contacts"));
    // clang-format off
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"frobnicate"},
             {"import"}, {"add-test", "-3"}, {"list", "x"}, {"import", "--charset", "nil", "x.vcf"}})
        // clang-format on
        EXPECT_EQ(run(args).status, 2) << testing::PrintToString(args);
    // No file of cards: missing, a FIFO (no writer would ever come) or a device, refused by name.
    ASSERT_EQ(::mkfifo((m_dir + "/cards.fifo").c_str(), 0600), 0);
    for (const auto& [name, why] : {std::pair{m_dir + "/missing.vcf", "No such file"},
                                    {m_dir + "/cards.fifo", "is not a regular file"},
                                    {std::string("/dev/zero"), "is not a regular file"}}) {
        const Result r = run({"import", name});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_THAT(r.err, HasSubstr("cannot read " + name + ": " + why));
    }
    EXPECT_EQ(run({"help"}).status, 0);
    EXPECT_EQ(run({"--root", m_dir + "/other", "path"}).out, m_dir + "/other/pim.vol\n")
        << "--root wins over the environment";
}

// A running program's store hears of the contacts another process imports, on its message loop.
TEST_F(ContactsToolTest, RunningProgramHearsOfImportedContacts) {
    struct Listener : ContactStoreListener {
        std::vector<ContactRecord> added;
        int changed = 0;
        void on_contact_added(ContactStore&, const ContactRecord& r) override {
            added.push_back(r);
        }
        void on_load_progress(ContactStore&, std::size_t, std::size_t) override {}
        void on_contact_changed(ContactStore&, std::uint32_t) override { ++changed; }
        void on_contact_removed(ContactStore&, std::uint32_t) override {}
    } listener;
    ContactStore program;
    program.set_listener(&listener);
    std::vector<ContactRecord> list;
    program.load_contacts(list);
    program.start_watching({}, 10);
    Result imported;
    std::thread tool([&] { imported = run({"import", file("cards.vcf", kCards)}); });
    test::pump_until([&] { return listener.added.size() >= 3; }, std::chrono::seconds(5));
    tool.join();
    EXPECT_EQ(imported.status, 1) << "a skipped line makes the status 1";
    EXPECT_THAT(imported.err,
                HasSubstr("cards.vcf: line 10 (card at line 7): line skipped: no ':' in the line"));
    EXPECT_EQ(run({"list"}).out,
              "Иван Петров\t+7 912 000-00-01\t+7 495 000-00-02\nBroken\nAcme\t+1-555-0100\n");
    ASSERT_EQ(listener.added.size(), 3u);
    EXPECT_EQ(std::tie(listener.added[0].last_name, listener.added[1].first_name,
                       listener.added[2].company, listener.changed),
              std::tuple(u"Петров", u"Broken", u"Acme", 0));
}

TEST_F(ContactsToolTest, SummaryNamesSkippedCardsAndLostNumbersAndTheStatusSaysSo) {
    std::string cards = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Fax;Pager\r\nTEL;FAX:1\r\n"
                        "TEL;PAGER:2\r\nEND:VCARD\r\n"                // lines 1-6
                        "BEGIN:VCARD\r\nNOTE:empty\r\nEND:VCARD\r\n"; // 7-9
    cards += "BEGIN:VCARD\r\nFN:Full\r\n";
    for (int i = 0; i < 13; ++i)
        cards += "TEL:" + std::to_string(100 + i) + "\r\n";
    Result r = run({"import", file("a.vcf", cards + "END:VCARD\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("a.vcf: 2 of 3 cards imported, 1 skipped (the card at line 7), "
                                 "1 number left out (no free phone field)"));
    r = run({"list"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Pager Fax\t1\t2") << "fax and pager listed";
    // An unknown charset keeps the bytes but the status tells (charsets: the vCard tests).
    r = run({"import", file("c.vcf", "BEGIN:VCARD\r\nN;CHARSET=X-ODD:\xC0\r\nEND:VCARD\r\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("unknown charset \"X-ODD\""));
}

// A contacts volume that cannot be read whole: list and export say so and fail, a backup that
// exists is never replaced by fewer contacts (unless --force), the volume is never written to.
TEST_F(ContactsToolTest, AVolumeThatCannotBeReadIsAnErrorAndNeverWritten) {
    using test_support::Damage;
    const std::string volume = m_dir + "/root/pim.vol", backup = m_dir + "/backup.vcf";
    auto make_damaged_volume = [&](Damage damage) {
        fs::remove_all(m_dir + "/root");
        fs::create_directories(m_dir + "/root");
        {
            ContactStore store(volume);
            ASSERT_EQ(store.add_test_contacts(2000), 2000u);
        } // closed: its log folded in
        test_support::damage_volume(volume, damage);
    };
    const std::string good = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kept\r\nEND:VCARD\r\n";
    for (const auto& c : test_support::kDamageCases) {
        SCOPED_TRACE(c.name);
        make_damaged_volume(c.damage);
        const std::string before = c.damage == Damage::folder ? "" : file_bytes(volume);
        file("backup.vcf", good);
        Result r = run({"list"});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr(volume + " " + c.says));
        r = run({"export", backup});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr(volume));
        EXPECT_EQ(file_bytes(backup), good) << "the backup stays";
        EXPECT_EQ(run({"import", file("new.vcf", good)}).status, 1);
        EXPECT_EQ(run({"erase"}).status, 1);
        if (c.damage != Damage::folder)
            EXPECT_EQ(file_bytes(volume), before) << "never written";
        else
            EXPECT_TRUE(fs::is_directory(volume));
    }
    // One that opens but whose contacts do not read: --force writes what could be read over the
    // backup, and the status still says it failed.
    make_damaged_volume(Damage::page_overwritten);
    file("backup.vcf", "old");
    const Result r = run({"export", "--force", backup});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("contacts were read"));
    EXPECT_NE(file_bytes(backup), "old");
    EXPECT_FALSE(fs::exists(backup + ".part"));
}

// What we export reads back in another program's vCard reader (python3-vobject) as it is stored:
// charsets, nested cards, many-part ORG, tel: extensions, a BDAY with an offset, numbers that
// would read as URIs.
TEST_F(ContactsToolTest, ExportReadsBackInAnIndependentReader) {
    const std::string cards =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:\x8E\x52\x93\x63;Taro\r\n"
        "TEL:1\r\nTEL;CELL:2\r\nTEL;TYPE=OTHER;TYPE=FAX:3\r\nORG:Acme;Sales;EMEA\r\n"
        "ADR;HOME:;;1 Main St\\\r\nFlat 2;Leeds;;;\r\nAGENT:\r\nBEGIN:VCARD\r\n"
        "N:Aide;Amy\r\nTEL;PAGER:tel:AB:\r\nEND:VCARD\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\rVERSION:3.0\rN:Semi\\;colon;Ann;;;\rTEL;VALUE=uri:tel:+1-555;ext=7\r"
        "BDAY:1987-09-27T20:30:00-06:00\rTEL;WORK:5\rTEL;WORK:6\rTEL;WORK:7\rEND:VCARD\r";
    ASSERT_EQ(run({"import", file("in.vcf", cards)}).status, 0);
    ASSERT_EQ(run({"export", m_dir + "/out.vcf"}).status, 0);

    const std::string command = "/usr/bin/python3 " TELVARA_TOOLS_TEST_DATA "/read_vcards.py " +
                                m_dir + "/out.vcf > " + m_dir + "/vobject.txt";
    ASSERT_EQ(std::system(command.c_str()), 0) << "python3-vobject is needed (scripts/setup.sh)";
    ContactStore store;
    std::vector<ContactRecord> records;
    store.load_contacts(records);
    std::string wanted;
    for (const ContactRecord& r : records) {
        wanted += "N=" + to_utf8(r.last_name) + ";" + to_utf8(r.first_name);
        if (!r.company.empty()) {
            wanted += "\tORG=" + to_utf8(r.company);
            if (const ContactField* unit = r.field(FieldType::Department))
                wanted += ";" + to_utf8(unit->value);
        }
        std::vector<std::string> numbers;
        for (const ContactField& f : r.fields)
            if (is_number_field(f.type))
                numbers.push_back("\tTEL=" + to_utf8(f.value));
        std::sort(numbers.begin(), numbers.end());
        for (const auto& n : numbers)
            wanted += n;
        wanted += r.field(FieldType::Birthday) != nullptr ? "\tBDAY=1987-09-27T20:30:00Z\n" : "\n";
    }
    EXPECT_EQ(file_bytes(m_dir + "/vobject.txt"), wanted);
    EXPECT_EQ(records.size(), 3u);
}
