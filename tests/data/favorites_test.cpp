#include "data/favorites.h"
#include "document_test_support.h"
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace telvara::data {
namespace {
using testing::DocumentTest;
using testing::FakeStore;
using testing::person;
std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void write_file(const std::string& path, std::string_view data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// Any line order, blanks and UTF-16 read; damaged content keeps every entry that still reads.
TEST(FavoritesFormat, WhatReadsAndWhatIsDamaged) {
    std::string u16 = "\xFF\xFE";
    for (char c : std::string_view("count 1\nft0=5\nfc0=9"))
        u16 += std::string{c, '\0'};
    using L = std::vector<FavoriteLine>;
    using enum FavoritesFile;
    const struct {
        std::string bytes;
        FavoritesFile state;
        L lines;
    } cases[] = {
        {"", Read, {}},
        {u16, Read, {{9, 5}}},
        {"count=2\nfc1=4000000000\nft1=2147483647\nfc0=7\nft0=-1\n",
         Read,
         {{7, -1}, {4000000000u, 2147483647}}},
        {"\n\n", Read, {}},
        // The last entry lost its ft line (a file cut short).
        {"count=2\nfc0=1\nft0=1\nfc1=2\n", Damaged, {{1, 1}}},
        // A middle entry damaged: the ones after it still count.
        {"count=3\nfc0=1\nft0=1\nfc1=x\nft1=2\nfc2=3\nft2=3\n", Damaged, {{1, 1}, {3, 3}}},
        {"count=1\nfc0=1\nft0=1x\n", Damaged, {}},
        {"count=1\nfc0=-4\nft0=1\n", Damaged, {}},
        // No count that reads: every index the file has, in index order.
        {"count=x\n", Damaged, {}},
        {"count=-1\nfc0=1\nft0=1\n", Damaged, {{1, 1}}},
        {"count=99999999\nfc0=1\nft0=1\n", Damaged, {{1, 1}}},
        {"fc10=7\nft10=0\nfc2=5\nft2=1\nfc02=9\nft02=9\n", Damaged, {{5, 1}, {7, 0}}},
        {std::string("\0\0\0", 3), Damaged, {}},
    };
    for (const auto& c : cases) {
        L out{{99, 99}};
        EXPECT_EQ(parse_favorites(c.bytes, out), c.state) << c.bytes;
        EXPECT_EQ(out, c.lines) << c.bytes;
    }
    EXPECT_EQ(format_favorites({{7, -1}, {4000000000u, 2147483647}}),
              "count=2\nfc0=7\nft0=-1\nfc1=4000000000\nft1=2147483647\n");
}

class FavoritesDocTest : public DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        store.put(person(1, u"anna", u""));
        store.put(person(2, u"Boris", u""));
        store.put(person(3, u"Carl", u"Lee"));
    }
    FakeStore store;
};

TEST_F(FavoritesDocTest, AddRemoveSaveReloadAndOrder) {
    // Favourites name contacts of one store by oid: two device roots (two phones) never share them.
    EXPECT_EQ(DocumentFiles::defaults().favorites, root() + "/favorits.dat");
    {
        Document doc(store, nullptr, files());
        doc.load();
        testing::RecordingDocListener listener;
        doc.add_listener(listener);
        EXPECT_TRUE(doc.add_favorite(1, 0));
        EXPECT_TRUE(doc.add_favorite(2, 0));
        EXPECT_TRUE(doc.add_favorite(3, 1));
        EXPECT_TRUE(doc.add_favorite(3, 2));  // a second field of the same contact
        EXPECT_FALSE(doc.add_favorite(3, 2)); // already there
        EXPECT_FALSE(doc.add_favorite(99, 0));
        ASSERT_EQ(listener.messages.size(), 4u);
        // "Boris" sorts before "anna": code units, upper case first.
        EXPECT_TRUE(listener.messages[1].has(RefreshFlag::FavoriteAdded));
        EXPECT_EQ(listener.messages[1].slot(RefreshSlot::ContactOid), 2u);
        EXPECT_EQ(listener.messages[1].slot(RefreshSlot::FavoriteIndex), 0u);
        doc.remove_listener(listener);
    }
    EXPECT_EQ(read_file(files().favorites),
              "count=4\nfc0=2\nft0=0\nfc1=3\nft1=1\nfc2=3\nft2=2\nfc3=1\nft3=0\n");
    store.contacts.erase(2); // gone while the program was not running
    Document doc(store, nullptr, files());
    doc.load();
    const FavoriteList& favs = doc.favorites();
    ASSERT_EQ(favs.size(), 3u);
    EXPECT_EQ(std::tuple(favs.at(0).entry->oid(), favs.at(0).value, favs.at(1).value,
                         favs.at(2).entry->oid()),
              std::tuple(3u, 1, 2, 1u));
    EXPECT_EQ(doc.find_contact(3)->favorite_values, (std::vector<std::int32_t>{1, 2}));
    // Removing saves and reports the old index ("Carl Lee" < "anna").
    testing::RecordingDocListener listener;
    doc.add_listener(listener);
    EXPECT_FALSE(doc.remove_favorite(3, 7));
    EXPECT_TRUE(doc.remove_favorite(3, 2));
    EXPECT_TRUE(doc.remove_favorite(3, 1));
    ASSERT_EQ(listener.messages.size(), 2u);
    EXPECT_TRUE(listener.messages[1].has(RefreshFlag::FavoriteRemoved));
    EXPECT_EQ(listener.messages[1].slot(RefreshSlot::FavoriteIndex), 0u);
    EXPECT_EQ(read_file(files().favorites), "count=1\nfc0=1\nft0=0\n");
    EXPECT_TRUE(doc.find_contact(3)->favorite_values.empty());
    doc.remove_listener(listener);
}

TEST_F(FavoritesDocTest, ADamagedFileKeepsItsGoodEntriesAndEachCopyItsOwnName) {
    const std::string first = "count=3\nfc0=1\nft0=0\nfc1=3\n";
    write_file(files().favorites, first);
    {
        Document doc(store, nullptr, files());
        doc.load();
        ASSERT_EQ(doc.favorites().size(), 1u) << "the readable entry stays";
        EXPECT_EQ(doc.favorites().at(0).entry->oid(), 1u);
        EXPECT_EQ(doc.favorites_file().state, FavoritesFile::Damaged);
        EXPECT_EQ(doc.favorites_file().kept_as, files().favorites + ".bad");
        EXPECT_EQ(read_file(files().favorites + ".bad"), first);
        // The next save writes what was read, and leaves the copy alone.
        EXPECT_TRUE(doc.add_favorite(2, 5));
        EXPECT_EQ(read_file(files().favorites), "count=2\nfc0=2\nft0=5\nfc1=1\nft1=0\n");
    }
    // A second damaged file does not replace the first copy, nor a third the second.
    const std::string second = "count=oops\nfc0=3\nft0=1\n";
    const std::string third = "junk";
    for (const std::string& bad : {second, third}) {
        write_file(files().favorites, bad);
        Document doc(store, nullptr, files());
        doc.load();
    }
    EXPECT_EQ(read_file(files().favorites + ".bad"), first);
    EXPECT_EQ(read_file(files().favorites + ".bad-2"), second);
    EXPECT_EQ(read_file(files().favorites + ".bad-3"), third);
}

// A file that cannot be read at all is never written over: its stars are not lost.
TEST_F(FavoritesDocTest, AnUnreadableFileIsNeverWrittenOver) {
    const std::string path = files().favorites;
    const auto is_folder = [&] { return std::filesystem::create_directory(path); };
    const auto is_fifo = [&] { return ::mkfifo(path.c_str(), 0600) == 0; };
    for (const auto& make : {std::function<bool()>(is_folder), std::function<bool()>(is_fifo)}) {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        ASSERT_TRUE(make());
        const auto type = std::filesystem::status(path).type();
        Document doc(store, nullptr, files());
        doc.load();
        EXPECT_TRUE(doc.favorites().empty());
        EXPECT_EQ(doc.favorites_file().state, FavoritesFile::Unreadable);
        EXPECT_FALSE(doc.add_favorite(1, 0));
        EXPECT_EQ(doc.favorites_write_failure(), WriteFailure::damaged);
        EXPECT_TRUE(doc.favorites().empty()) << "what is shown is what is stored";
        EXPECT_EQ(std::filesystem::status(path).type(), type) << "left as it was";
        EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    }
}

// A save that fails takes the change back, so the list shows what the file holds.
TEST_F(FavoritesDocTest, ASaveThatFailsTakesTheChangeBack) {
    {
        Document doc(store, nullptr, files());
        doc.load();
        ASSERT_TRUE(doc.add_favorite(1, 0));
    }
    DocumentFiles f = files();
    // The folder goes after the load: nothing can be written there.
    f.favorites = root() + "/gone/favorits.dat";
    std::filesystem::create_directory(root() + "/gone");
    std::filesystem::copy_file(files().favorites, f.favorites);
    Document doc(store, nullptr, f);
    doc.load();
    std::filesystem::remove_all(root() + "/gone");
    testing::RecordingDocListener listener;
    doc.add_listener(listener);
    EXPECT_FALSE(doc.add_favorite(2, 0));
    EXPECT_EQ(doc.favorites_write_failure(), WriteFailure::other);
    EXPECT_FALSE(doc.remove_favorite(1, 0));
    ASSERT_EQ(doc.favorites().size(), 1u);
    EXPECT_EQ(doc.favorites().at(0).entry->oid(), 1u);
    EXPECT_TRUE(doc.find_contact(2)->favorite_values.empty());
    EXPECT_EQ(doc.find_contact(1)->favorite_values, std::vector<std::int32_t>{0});
    EXPECT_TRUE(listener.messages.empty()) << "nothing changed on screen";
    doc.remove_listener(listener);
}

} // namespace
} // namespace telvara::data
