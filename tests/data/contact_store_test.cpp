// The contact store: fields, writes, erases, load order, photos, the picture chooser.
#include "contact_store_test_support.h"
#include "data/test_contacts.h"
#include "runtime/registry.h"
#include "volume_damage.h"
#include <fstream>
#include <sys/stat.h>
using namespace telvara;
using namespace telvara::data;
using namespace telvara::data::testing;
using telvara::test_support::sql_value;

namespace {
ContactRecord person(WString first, WString last, WString company = {}) {
    ContactRecord r;
    r.first_name = std::move(first);
    r.last_name = std::move(last);
    r.company = std::move(company);
    return r;
}
ContactRecord read_back(ContactStore& store, std::uint32_t oid) {
    ContactRecord back;
    back.oid = oid;
    EXPECT_TRUE(store.read_contact(back));
    return back;
}
using ContactStoreTest = StoreTest;

} // namespace

TEST_F(ContactStoreTest, BirthdayThatIsNotANumberIsRefused) {
    ContactStore store;
    for (WString bad : {u"tomorrow", u"12x", u"+", u"99999999999999999999", u"1.5"}) {
        ContactRecord r = person(u"B", u"");
        r.fields.emplace_back(FieldType::Birthday, bad);
        EXPECT_FALSE(store.create_contact(r)) << to_utf8(bad);
        EXPECT_EQ(r.oid, 0u);
    }
    EXPECT_EQ(sql_value(volume(), "SELECT count(*) FROM contacts"), "0");
    ContactRecord good = person(u"G", u"");
    good.fields.emplace_back(FieldType::Mobile, u"123");
    good.fields.emplace_back(FieldType::Birthday, u"-86400000"); // 1969-12-31, before the epoch
    ASSERT_TRUE(store.create_contact(good));
    EXPECT_EQ(sql_value(volume(), "SELECT birthday || typeof(birthday) FROM contacts"),
              "-86400000integer");
    EXPECT_EQ(sql_value(volume(), "PRAGMA journal_mode"), "wal");
    ContactRecord bad = good;
    bad.fields.emplace_back(FieldType::Birthday, u"soon");
    EXPECT_FALSE(store.update_contact(bad));
    EXPECT_EQ(read_back(store, good.oid).fields, good.fields) << "a refused update changes nothing";
}

TEST_F(ContactStoreTest, UpdateAndDeleteNeedAStoredContactAndOidsAreNeverReused) {
    ContactStore store;
    ContactRecord r = person(u"Old", u"Name");
    r.fields.emplace_back(FieldType::Mobile, u"1");
    r.fields.emplace_back(FieldType::Email1, u"x@y");
    ContactRecord b = person(u"B", u"");
    ASSERT_TRUE(store.create_contact(r));
    ASSERT_TRUE(store.create_contact(b));
    ContactRecord changed = person(u"New", u"Name");
    changed.oid = r.oid;
    changed.fields.emplace_back(FieldType::HomeTel, u"2");
    changed.fields.emplace_back(FieldType::Categories, u"Work");
    ASSERT_TRUE(store.update_contact(changed));
    const ContactRecord back = read_back(store, r.oid);
    EXPECT_EQ(back.first_name, u"New");
    EXPECT_EQ(back.fields, changed.fields) << "all fields replaced";
    EXPECT_TRUE(store.delete_contact(b.oid));
    EXPECT_FALSE(store.delete_contact(b.oid));
    for (std::uint32_t missing : {b.oid, b.oid + 100, 0u}) {
        changed.oid = missing;
        ContactRecord none = changed;
        EXPECT_FALSE(store.update_contact(changed) || store.read_contact(none)) << missing;
    }
    ContactRecord c = person(u"C", u"");
    ASSERT_TRUE(store.create_contact(c));
    EXPECT_GT(c.oid, b.oid);
}

TEST_F(ContactStoreTest, LoadIsOrderedByOidWithProgressEvery25th) {
    ContactStore store;
    RecordingListener listener;
    store.set_listener(&listener);
    std::vector<std::uint32_t> oids;
    for (int i = 0; i < 60; ++i) {
        // Names in reverse order: the load must not sort by name.
        ContactRecord r = person(u"Z" + to_wstring(99 - i), u"Same");
        ASSERT_TRUE(store.create_contact(r));
        oids.push_back(r.oid);
    }
    ASSERT_TRUE(store.delete_contact(oids[10]));
    oids.erase(oids.begin() + 10);
    std::vector<ContactRecord> list(3);
    ASSERT_EQ(store.load_contacts(list), 59u);
    ASSERT_EQ(list.size(), 59u);
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].oid, oids[i]);
    EXPECT_EQ(listener.log(), (std::vector<std::string>{"progress 0 of 59", "progress 25 of 59",
                                                        "progress 50 of 59"}));
}

TEST_F(ContactStoreTest, PhotosAreStoredReplacedRemovedAndReadFromFiles) {
    ContactStore store;
    ContactRecord r = person(u"P", u"");
    ASSERT_TRUE(store.create_contact(r));
    EXPECT_FALSE(store.has_picture(r.oid));
    EXPECT_TRUE(store.get_picture(r).empty());
    std::vector<std::byte> image(70000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::byte>(i * 7);
    ASSERT_TRUE(store.set_picture(r, image));
    EXPECT_TRUE(store.has_picture(r.oid));
    EXPECT_EQ(store.get_picture(r), image);
    std::vector<std::byte> other(3, std::byte{1});
    ASSERT_TRUE(store.set_picture(r, other));
    EXPECT_EQ(store.get_picture(r), other);
    ASSERT_TRUE(store.set_picture(r, {}));
    EXPECT_FALSE(store.has_picture(r.oid));
    for (std::uint32_t oid : {r.oid + 1, 0u}) {
        ContactRecord unknown;
        unknown.oid = oid;
        EXPECT_FALSE(store.set_picture(unknown, other)) << oid;
    }
    EXPECT_FALSE(store.set_picture(r, std::vector<std::byte>(kMaxPictureBytes + 1)));
    ASSERT_TRUE(store.set_picture(r, other));
    ASSERT_TRUE(store.delete_contact(r.oid));
    EXPECT_EQ(sql_value(volume(), "SELECT count(*) FROM contact_photos"), "0")
        << "a photo goes with its contact";
    r = person(u"F", u""); // a photo from a file
    ASSERT_TRUE(store.create_contact(r));
    const std::string path = root() + "/photo.png";
    std::ofstream(path, std::ios::binary) << "PNGDATA";
    ASSERT_TRUE(store.set_picture_file(r, path));
    EXPECT_EQ(store.get_picture(r).size(), 7u);
    // Missing, empty, too big, a FIFO (refused, not waited on) or a device that pours without end.
    std::ofstream(root() + "/empty.png", std::ios::binary).flush();
    std::ofstream(root() + "/huge.png", std::ios::binary) << std::string(kMaxPictureBytes + 1, 'x');
    ASSERT_EQ(::mkfifo((root() + "/pipe.png").c_str(), 0600), 0);
    for (const std::string& bad :
         {root() + "/missing.png", root() + "/empty.png", root() + "/huge.png",
          root() + "/pipe.png", std::string("/dev/zero")})
        EXPECT_FALSE(store.set_picture_file(r, bad)) << bad;
    EXPECT_EQ(store.get_picture(r).size(), 7u) << "the photo stays";
}

// The chooser's first line of output, unless it fails, says nothing or says more than a path.
TEST_F(ContactStoreTest, PictureChooserCommand) {
    ContactStore store;
    for (auto [command, chosen] :
         {std::pair{u"printf '/home/u/Фото/a b.jpg\\nsecond line\\n'", u"/home/u/Фото/a b.jpg"},
          {u"echo /x.png; exit 1", u""},
          {u"true", u""},
          {u"head -c 10000 /dev/zero | tr '\\0' a", u""}}) {
        ASSERT_TRUE(runtime::reg_write_string(u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara",
                                              u"PictureChooser", command));
        EXPECT_EQ(store.choose_picture(), chosen) << to_utf8(command);
    }
}

// Generated contacts stored as made; the partial erase takes only Suffixes holding the marker.
TEST_F(ContactStoreTest, GeneratedContactsAndTheErases) {
    ContactStore store;
    ASSERT_EQ(store.add_test_contacts(200), 200u);
    std::vector<ContactRecord> list;
    ASSERT_EQ(store.load_contacts(list), 200u);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ContactRecord expected = make_test_contact(i);
        EXPECT_EQ(std::tie(list[i].first_name, list[i].last_name, list[i].company),
                  std::tie(expected.first_name, expected.last_name, expected.company));
        EXPECT_EQ(without_empty_categories(list[i].fields), expected.fields) << i;
    }
    std::vector<WString> folder;
    store.load_categories(folder);
    EXPECT_EQ(folder.size(), 6u);
    std::vector<std::uint32_t> kept;
    for (auto [suffix, company] :
         {std::pair{u"Jr. ##F x", u""}, {u"##f", u""}, {u"", u"##F Inc"}, {u"", u""}}) {
        ContactRecord r = person(u"N", u"", company);
        if (*suffix != u'\0')
            r.fields.emplace_back(FieldType::Suffix, suffix);
        ASSERT_TRUE(store.create_contact(r));
        if (WStringView(suffix) != u"Jr. ##F x")
            kept.push_back(r.oid);
    }
    EXPECT_EQ(store.erase_contacts(EraseScope::marked), 201u);
    ASSERT_EQ(store.load_contacts(list), 3u);
    EXPECT_EQ((std::vector{list[0].oid, list[1].oid, list[2].oid}), kept);
    EXPECT_EQ(store.erase_contacts(EraseScope::all), 3u);
    EXPECT_EQ(store.load_contacts(list), 0u);
    EXPECT_EQ(store.erase_contacts(EraseScope::all), 0u);
}
