// The skin writer: byte layout, alignment, sorted tables, the balanced index,
// and the skins it must refuse rather than write wrongly.
#include "skin_test_support.h"

#include <functional>

namespace telvara::ui {
namespace {

using skinc::NodeModel;
using skinc::PictureValue;
using skinc::SkinModel;
using skinc::write_skin;
using test::from_bytes;
using test::written;

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

TEST(SkinWriter, RecordsAreAlignedAndTheIndexIsBalanced) {
    SkinModel model;
    NodeModel node = test::typed(model, u"text", nullptr);
    node.children = {node, node, node};
    for (int i = 0; i < 200; ++i)
        model.nodes.push_back({u"n" + to_wstring(i), node});
    const auto bytes = written(model);
    auto skin = from_bytes(bytes);
    std::function<int(std::uint32_t)> depth = [&](std::uint32_t entry) {
        if (entry == 0xFFFFFFFF)
            return 0;
        EXPECT_EQ(entry % 4, 0u);
        return 1 + std::max(depth(get32(bytes, entry)), depth(get32(bytes, entry + 4)));
    };
    EXPECT_EQ(depth(get32(bytes, 72)), 8) << "200 entries: ceil(log2(201))";
    ASSERT_EQ(skin->top_level_nodes().size(), 200u);
    EXPECT_FALSE(skin->find_node(u"n"));
    for (const auto& [name, record] : skin->top_level_nodes()) {
        EXPECT_EQ(skin->find_node(name), record) << to_utf8(name);
        ASSERT_EQ(skin->child_count(record), 3u);
        for (std::uint32_t i = 0; i < 3; ++i) {
            const NodeRecord child = skin->child(record, i);
            ASSERT_TRUE(child);
            EXPECT_EQ(child.offset % 4, 0u);
            EXPECT_EQ(skin->read_string(child, u"type", u""), u"text");
        }
    }
}

TEST(SkinWriter, RefusesWhatTheFormatCannotHold) {
    SkinModel too_many;
    for (int i = 0; i < 257; ++i)
        too_many.pictures.push_back(u"p" + to_wstring(i));
    EXPECT_FALSE(write_skin(too_many).ok());
    too_many.pictures.pop_back();
    EXPECT_TRUE(write_skin(too_many).ok()) << "256 pictures fit";
    PictureValue picture;
    picture.picture = 256;
    NodeModel node;
    node.pictures = {{u"src", picture}};
    too_many.nodes = {{u"n", node}};
    const auto refused = write_skin(too_many);
    EXPECT_FALSE(refused.ok()) << "picture 256 of 256";
    EXPECT_TRUE(refused.bytes.empty());

    SkinModel big_block;
    big_block.pictures = {u"p"};
    NodeModel big;
    for (std::uint32_t i = 0; i < 3300; ++i)
        big.pictures.push_back({u"i" + to_wstring(i), PictureValue{}});
    big_block.nodes = {{u"big", big}};
    const auto too_big = write_skin(big_block);
    EXPECT_FALSE(too_big.ok()) << "properties end beyond 64 KB of the record";
    EXPECT_NE(too_big.error.find("64 KB"), std::string::npos) << too_big.error;
    big.pictures.resize(3200);
    big_block.nodes = {{u"big", big}};
    EXPECT_TRUE(write_skin(big_block).ok()) << write_skin(big_block).error;

    auto refuses = [](NodeModel node, const char* what) {
        SkinModel model;
        model.nodes = {{u"n", node}};
        EXPECT_FALSE(write_skin(model).ok()) << what;
    };
    NodeModel named;
    for (int i = 0; i < 40; ++i)
        named.integers.push_back({WString(1000, char16_t(u'a' + i % 26)) + to_wstring(i), 1});
    refuses(named, "names beyond the first 64 KB");
    NodeModel refs;
    refs.strings = {{u"id", 0}};
    refuses(refs, "string 0 of none");
    refs.strings.clear();
    refs.fonts = {{u"font", 0}};
    refuses(refs, "font 0 of none");
    NodeModel twice;
    twice.integers = {{u"a", 1}, {u"a", 2}};
    refuses(twice, "a property twice");
    SkinModel duplicates;
    duplicates.nodes = {{u"n", NodeModel{}}, {u"n", NodeModel{}}};
    EXPECT_FALSE(write_skin(duplicates).ok()) << "a top-level name twice";
}

TEST(SkinWriter, WritesAFileTheLoaderAccepts) {
    test::TempFolder folder;
    SkinModel model;
    model.nodes = {{u"Only", NodeModel{}}};
    std::string error;
    ASSERT_TRUE(skinc::write_skin_file(model, folder.path() + "/a.skin", &error)) << error;
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(read_skin_file(folder.path() + "/a.skin", bytes), "");
    EXPECT_TRUE(from_bytes(bytes)->find_node(u"Only"));
    EXPECT_FALSE(skinc::write_skin_file(model, folder.path() + "/no/such/dir/a.skin", &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace telvara::ui
