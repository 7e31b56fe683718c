#include "data/favorites.h"
#include "document_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
}

TEST(FavoritesFormat, ExactLinesAndRoundTrip) {
    std::vector<FavoriteLine> lines{{12, 3}, {7, -1}, {4000000000u, 2147483647}};
    std::string text = format_favorites(lines);
    EXPECT_EQ(text, "count=3\nfc0=12\nft0=3\nfc1=7\nft1=-1\nfc2=4000000000\nft2=2147483647\n");
    std::vector<FavoriteLine> back;
    EXPECT_EQ(parse_favorites(text, back), FavoritesFile::Read);
    EXPECT_EQ(back, lines);
    EXPECT_EQ(format_favorites({}), "count=0\n");
    // Written with blanks, in UTF-16 or in any line order, it still reads.
    std::string u16("\xFF\xFE"
                    "c\0o\0u\0n\0t\0 \0"
                    "1\0\n\0f\0t\0"
                    "0\0=\0"
                    "5\0\n\0f\0c\0"
                    "0\0=\0"
                    "9\0",
                    40);
    EXPECT_EQ(parse_favorites(u16, back), FavoritesFile::Read);
    EXPECT_EQ(back, (std::vector<FavoriteLine>{{9, 5}}));
}

TEST(FavoritesFormat, CorruptOrTruncatedContent) {
    std::vector<FavoriteLine> out;
    EXPECT_EQ(parse_favorites("", out), FavoritesFile::Read);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(parse_favorites("count=2\nfc0=1\nft0=1\nfc1=2\n", out), FavoritesFile::Corrupt);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(parse_favorites("count=x\n", out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites("count=-1\n", out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites("count=99999999\nfc0=1\nft0=1\n", out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites("count=1\nfc0=1\nft0=1x\n", out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites("fc0=1\nft0=1\n", out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites(std::string("\0\0\0", 3), out), FavoritesFile::Corrupt);
    EXPECT_EQ(parse_favorites("count=1\nfc0=-4\nft0=1\n", out), FavoritesFile::Corrupt);
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

// Favourites name contacts of one store by oid: two device roots (two
// phones) must never share them.
TEST_F(FavoritesDocTest, TheFileLivesUnderTheDeviceRoot) {
    EXPECT_EQ(DocumentFiles::defaults().favorites, root() + "/favorits.dat");
}

TEST_F(FavoritesDocTest, AddSaveReloadAndOrder) {
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
    EXPECT_EQ(favs.at(0).entry->oid(), 3u);
    EXPECT_EQ(favs.at(0).value, 1);
    EXPECT_EQ(favs.at(1).value, 2);
    EXPECT_EQ(favs.at(2).entry->oid(), 1u);
    EXPECT_EQ(doc.find_contact(3)->favorite_values, (std::vector<std::int32_t>{1, 2}));
}

TEST_F(FavoritesDocTest, RemoveSavesAndReportsTheOldIndex) {
    Document doc(store, nullptr, files());
    doc.load();
    doc.add_favorite(1, 0);
    doc.add_favorite(3, 0);
    testing::RecordingDocListener listener;
    doc.add_listener(listener);
    EXPECT_FALSE(doc.remove_favorite(3, 7));
    EXPECT_TRUE(doc.remove_favorite(3, 0));
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_TRUE(listener.messages[0].has(RefreshFlag::FavoriteRemoved));
    EXPECT_EQ(listener.messages[0].slot(RefreshSlot::FavoriteIndex), 0u); // "Carl Lee" < "anna"
    EXPECT_EQ(read_file(files().favorites), "count=1\nfc0=1\nft0=0\n");
    EXPECT_TRUE(doc.find_contact(3)->favorite_values.empty());
    doc.remove_listener(listener);
}

TEST_F(FavoritesDocTest, CorruptFileStartsEmptyAndIsKeptAside) {
    const std::string bad = "count=3\nfc0=1\nft0=0\nfc1=3\n";
    write_file(files().favorites, bad);
    Document doc(store, nullptr, files());
    doc.load();
    EXPECT_TRUE(doc.favorites().empty());
    EXPECT_EQ(read_file(files().favorites + ".bad"), bad);
    EXPECT_FALSE(std::filesystem::exists(files().favorites));
    // The next save does not touch the kept copy.
    EXPECT_TRUE(doc.add_favorite(1, 5));
    EXPECT_EQ(read_file(files().favorites), "count=1\nfc0=1\nft0=5\n");
    EXPECT_EQ(read_file(files().favorites + ".bad"), bad);
}

TEST_F(FavoritesDocTest, SaveFailureLeavesTheListAndReportsFalse) {
    DocumentFiles f = files();
    f.favorites = root() + "/missing-folder/favorits.dat";
    Document doc(store, nullptr, f);
    doc.load();
    EXPECT_TRUE(doc.add_favorite(1, 0)); // the list changed; the save could not
    EXPECT_FALSE(doc.save_favorites());
    EXPECT_EQ(doc.favorites().size(), 1u);
}

} // namespace
} // namespace telvara::data
