// The skin loader and writer: the readers, all-or-nothing loading, switches,
// reload listeners, damaged files, and what the writer must refuse.
#include "skin_test_support.h"

#include "runtime/paths.h"
#include "ui/font.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <random>

namespace telvara::ui {
namespace {

using skinc::ColorValue;
using skinc::NodeModel;
using skinc::PictureValue;
using skinc::PointValue;
using skinc::SkinModel;
using test::from_bytes;
using test::TempFolder;
using test::walk_everything;
using test::written;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t get(const Bytes& b, std::size_t at, int size = 4) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b[at + std::size_t(i)];
    return v;
}
void put(Bytes& b, std::size_t at, std::uint32_t v, int size = 4) {
    for (int i = 0; i < size; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
// Absolute offset of entry 0 of one table of the record.
std::size_t table_start(const Bytes& b, NodeRecord r, PropertyKind k) {
    return r.offset + get(b, r.offset + 2 * std::size_t(k), 2);
}

Bytes empty_skin() {
    Bytes bytes(92, 0);
    const char16_t magic[] = {0x0421, 0x043A, 0x0438, 0x043D};
    for (int i = 0; i < 4; ++i)
        put(bytes, 2 * std::size_t(i), magic[i], 2);
    put(bytes, 72, 0xFFFFFFFF);
    put(bytes, 84, 92);
    return bytes;
}

// A form with a typed child, using every property kind.
SkinModel sample_model() {
    SkinModel model;
    model.pictures = {u"art/button"};
    model.fonts = {u"12 1 0 0 Tahoma", u"9 0 1 0 Two Words"};
    NodeModel form = test::typed(model, u"node", u"FormMain");
    form.integers = {{u"cache", 1}, {u"cache_alpha", 0xFFFFFFFE}};
    form.points = {{u"border_min", PointValue{-3, 5}}, {u"design_size", PointValue{240, 320}}};
    form.colors = {{u"outside_color", ColorValue{10, 20, 30}}};
    NodeModel text = test::typed(model, u"text", u"title");
    text.strings.push_back({u"halign", model.intern_string(u"CENTER")});
    text.fonts = {{u"font", 1}};
    text.colors = {{u"color", ColorValue{1, 2, 3}}};
    NodeModel image = test::typed(model, u"image", nullptr);
    PictureValue src;
    src.x[0] = 0, src.x[1] = 2, src.x[2] = 3, src.x[3] = 0xFFFF;
    src.y[0] = 1, src.y[1] = 1, src.y[2] = 2, src.y[3] = 3;
    src.flag = 7;
    image.pictures = {{u"src", src}};
    form.children = {text, image};
    model.nodes = {{u"FormMain", form}};
    return model;
}

// A Properties holding the sample skin (path "first.skin").
struct Installed {
    Installed() {
        first->set_path(u"first.skin");
        EXPECT_TRUE(skin.install(*first));
    }
    std::unique_ptr<PropertiesImpl> first = from_bytes(written(sample_model()));
    Properties skin;
};

// Points the device root at a fresh folder for the test.
struct Root {
    TempFolder folder;
    std::string previous = runtime::device_root();
    Root() { runtime::set_device_root(folder.path()); }
    ~Root() { runtime::set_device_root(previous); }
};

TEST(SkinLoader, APictureThatFailsToLoadFailsTheWholeSkin) {
    TempFolder folder;
    SkinModel model = sample_model();
    model.pictures = {u"good", u"bad"};
    folder.write_bmp("good", 2, 2);
    Installed installed;
    PropertiesImpl missing(written(model), folder.path(), u"x.skin", 0);
    EXPECT_FALSE(missing.is_loaded());
    EXPECT_NE(missing.load_error().find("{bad}"), std::string::npos) << missing.load_error();
    EXPECT_FALSE(installed.skin.install(missing));
    folder.write_bmp("bad", 2, 2, 0, 24);
    EXPECT_FALSE(PropertiesImpl(written(model), folder.path(), u"x.skin", 0).is_loaded());
    folder.write_bmp("bad", 2, 2);
    PropertiesImpl good(written(model), folder.path(), u"x.skin", 0);
    EXPECT_TRUE(good.is_loaded()) << good.load_error();
    EXPECT_EQ(good.picture(1).width, 2);
    EXPECT_TRUE(installed.skin.find_node(u"FormMain")) << "the first skin stayed";
}

// What is no skin file is refused unread, with a reason a message can name: a
// FIFO would block the start, a device or a huge file would pour without end.
TEST(SkinLoader, WhatIsNoSkinFileIsRefusedWithItsReasonAndThePreviousSkinStays) {
    Root root;
    const std::string skins = root.folder.path() + "/skins";
    std::filesystem::create_directories(skins + "/folder.skin");
    ASSERT_EQ(::mkfifo((skins + "/fifo.skin").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", skins + "/zero.skin");
    {
        std::ofstream huge(skins + "/huge.skin", std::ios::binary);
        huge.seekp(std::streamoff(kMaxSkinFileBytes));
        huge.put('x');
    }
    root.folder.write("skins/short.skin", Bytes(40, 1));
    const struct {
        const char16_t* path;
        const char* reason;
    } cases[] = {
        {u"/skins/missing.skin", "not found"},
        {u"/skins/folder.skin", "is a folder, not a skin file"},
        {u"/skins/fifo.skin", "is not a regular file"},
        {u"/skins/zero.skin", "is not a regular file"},
        {u"/skins/huge.skin", "larger than 32 MB"},
        {u"/skins/short.skin", "shorter than the 92-byte header"},
    };
    Installed installed;
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(installed.skin.load_skin(c.path, 0, &error));
        EXPECT_EQ(error, c.reason) << to_utf8(c.path);
    }
    // Bytes that load as no skin: a wrong magic.
    Bytes wrong_magic = empty_skin();
    put(wrong_magic, 0, 0x0420, 2);
    EXPECT_FALSE(installed.skin.install(*from_bytes(wrong_magic)));
    EXPECT_EQ(installed.skin.impl().path(), u"first.skin");
    EXPECT_TRUE(installed.skin.find_node(u"FormMain"));
}

// A switch keeps the skin it replaced until the screens took the new one;
// undone, the replaced skin is current again, with its path.
TEST(SkinLoader, ASwitchKeepsTheReplacedSkinUntilItIsKeptOrUndone) {
    SkinModel other = sample_model();
    other.nodes.push_back({u"Other", NodeModel{}});
    Installed installed;
    Properties& skin = installed.skin;
    auto candidate = [](const SkinModel& model, const char16_t* path) {
        auto impl = from_bytes(written(model));
        impl->set_path(path);
        return impl;
    };
    auto second = candidate(other, u"second.skin");
    ASSERT_TRUE(skin.switch_to(*second));
    EXPECT_TRUE(skin.switch_pending());
    EXPECT_TRUE(skin.find_node(u"Other"));
    // A second switch before the first was kept: the skin the screens were
    // built from is still the one to go back to.
    auto third = candidate(sample_model(), u"third.skin");
    ASSERT_TRUE(skin.switch_to(*third));
    EXPECT_EQ(skin.impl().path(), u"third.skin");
    ASSERT_TRUE(skin.undo_switch());
    EXPECT_EQ(skin.impl().path(), u"first.skin");
    EXPECT_FALSE(skin.find_node(u"Other"));
    EXPECT_FALSE(skin.switch_pending());
    PropertiesImpl not_loaded;
    EXPECT_FALSE(skin.switch_to(not_loaded));
    EXPECT_FALSE(skin.switch_pending());
}

TEST(SkinLoader, ASuccessfulLoadReplacesTheContentButKeepsTheListeners) {
    std::vector<std::pair<int, Properties*>> calls;
    struct Listener final : SkinReloadListener {
        std::vector<std::pair<int, Properties*>>& calls;
        int id;
        Properties* remove_from = nullptr;
        Listener(std::vector<std::pair<int, Properties*>>& c, int i) : calls(c), id(i) {}
        void on_reload_skin(Properties& skin) override {
            calls.push_back({id, &skin});
            if (remove_from)
                remove_from->remove_reload_listener(this);
        }
    } first{calls, 1}, second{calls, 2};
    Installed installed;
    Properties& skin = installed.skin;
    first.remove_from = &skin;
    skin.add_reload_listener(&first);
    skin.add_reload_listener(&second);
    SkinModel other;
    other.nodes = {{u"Other", NodeModel{}}};
    auto two = from_bytes(written(other), 1);
    ASSERT_TRUE(skin.install(*two));
    EXPECT_TRUE(skin.find_node(u"Other"));
    EXPECT_EQ(skin.scale_shift(), 1u);
    skin.send_reload_skin();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(1, &skin));
    EXPECT_EQ(calls[1], std::make_pair(2, &skin));
    skin.send_reload_skin();
    EXPECT_EQ(calls.size(), 3u) << "the first listener removed itself";
}

SkinModel several_nodes() {
    SkinModel model = sample_model();
    for (int i = 0; i < 6; ++i) {
        NodeModel node;
        node.strings = {{u"id", model.intern_string(u"n" + to_wstring(i))}};
        node.children = {model.nodes[0].node.children[0]};
        model.nodes.push_back({u"n" + to_wstring(i), node});
    }
    return model;
}

TEST(SkinLoaderDamaged, TruncationsAndByteFlipsNeverReadOutsideTheBuffer) {
    const auto bytes = written(several_nodes());
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        auto skin = from_bytes({bytes.begin(), bytes.begin() + std::ptrdiff_t(length)});
        if (length < 92) {
            EXPECT_FALSE(skin->is_loaded()) << length;
        }
        walk_everything(*skin);
    }
    EXPECT_GT(walk_everything(*from_bytes(bytes)), 7u);
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        auto damaged = bytes;
        for (int i = 0; i <= round % 4; ++i)
            damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
        walk_everything(*from_bytes(std::move(damaged)));
    }
}

TEST(SkinLoaderDamaged, BadHeaderTablesRefuseTheLoad) {
    auto empty = from_bytes(empty_skin()); // 92 bytes: a skin holding nothing
    ASSERT_TRUE(empty->is_loaded()) << empty->load_error();
    EXPECT_FALSE(empty->find_node(u""));
    EXPECT_TRUE(empty->top_level_nodes().empty());
    EXPECT_EQ(empty->picture_count() + empty->font_count() + empty->string_count(), 0u);
    EXPECT_EQ(empty->read_int(NodeRecord{}, u"x", 5), 5u);
    const auto bytes = written(sample_model());
    const struct {
        std::size_t at;
        std::uint32_t value;
        const char* what;
    } cases[] = {
        {72, std::uint32_t(bytes.size()), "index root past the end"},
        {72, get(bytes, 72) + 2, "index root misaligned"},
        {84, std::uint32_t(bytes.size()), "string table past the end"},
        {84, 0xFFFFFFFF, "string table far past the end"},
        {84, get(bytes, 84) + 1, "string table at an odd offset"},
        {88, 0x7FFFFFFF, "more strings than bytes"},
        {76, 0xFFFFFFFF, "picture count"},
        {80, 0xFFFFFFFF, "font count"},
    };
    for (const auto& c : cases) {
        auto b = bytes;
        put(b, c.at, c.value);
        EXPECT_FALSE(from_bytes(b)->is_loaded()) << c.what;
    }
    auto unterminated = bytes;
    for (std::size_t at = get(bytes, 84); at < unterminated.size(); ++at)
        unterminated[at] |= 0x40;
    EXPECT_FALSE(from_bytes(unterminated)->is_loaded()) << "no terminator before the end";
}

TEST(SkinLoaderDamaged, BadPropertyEntriesReadAsMissing) {
    const auto bytes = written(sample_model());
    auto probe = from_bytes(bytes);
    const NodeRecord form = probe->find_node(u"FormMain");
    const NodeRecord text = probe->child(form, 0);
    const NodeRecord image = probe->child(form, 1);

    auto b = bytes;
    put(b, table_start(b, form, PropertyKind::Integer), 0xFFFF, 2); // name past the end
    put(b, table_start(b, form, PropertyKind::Integer) + 8, 93, 2); // odd name offset
    auto skin = from_bytes(b);
    ASSERT_TRUE(skin->is_loaded());
    EXPECT_EQ(skin->read_int(form, u"cache", 5), 5u);
    EXPECT_EQ(skin->read_int(form, u"cache_alpha", 5), 5u);

    b = bytes;
    put(b, table_start(b, text, PropertyKind::Font) + 4, 2); // font 2 of 2
    put(b, table_start(b, text, PropertyKind::String) + 2, 0xFFFF, 2);
    b[table_start(b, image, PropertyKind::Picture) + 18] = 1; // picture 1 of 1
    skin = from_bytes(b);
    EXPECT_EQ(skin->read_font(text, u"font", nullptr), nullptr);
    EXPECT_EQ(skin->read_string(text, u"halign", u"LEFT"), u"LEFT") << "first string entry";
    EXPECT_FALSE(skin->read_picture(image, u"src", Picture{}).has_data());
    EXPECT_FALSE(skin->read_picture_ref(image, u"src"));

    b = bytes;
    put(b, form.offset + 2, get(b, form.offset, 2) - 8, 2);     // integers end before they start
    put(b, form.offset + 12, 0xFFF0, 2);                        // colours run past the end
    put(b, form.offset + 6, get(b, form.offset + 6, 2) - 2, 2); // points not whole entries
    skin = from_bytes(b);
    EXPECT_EQ(skin->read_int(form, u"cache", 5), 5u);
    EXPECT_EQ(skin->read_colour(form, u"outside_color", {}), Colour{});
    EXPECT_EQ(skin->read_point(form, u"border_min", {7, 7}).x, 7);
    EXPECT_EQ(skin->property_count(form, PropertyKind::Point), 0u);
    EXPECT_EQ(skin->read_int(NodeRecord{form.offset + 2}, u"cache", 3), 3u) << "misaligned";
    EXPECT_EQ(skin->read_int(NodeRecord{std::uint32_t(b.size() - 4)}, u"cache", 3), 3u);
}

TEST(SkinLoaderDamaged, BadChildrenAreNoChildrenAndSelfLoopsEndAtTheDepthLimit) {
    auto b = written(sample_model());
    const NodeRecord form = from_bytes(b)->find_node(u"FormMain");
    put(b, form.offset + 16, std::uint32_t(b.size())); // past the end
    put(b, form.offset + 20, form.offset + 2);         // misaligned
    auto skin = from_bytes(b);
    EXPECT_EQ(skin->child_count(form), 2u);
    EXPECT_FALSE(skin->child(form, 0));
    EXPECT_FALSE(skin->child(form, 1));
    put(b, form.offset + 14, 0xFFFF, 2); // list longer than the file
    skin = from_bytes(b);
    EXPECT_LE(16 + 4 * std::size_t(skin->child_count(form)) + form.offset, b.size());
    walk_everything(*skin);

    b = written(sample_model());
    put(b, form.offset + 16, form.offset);
    put(b, form.offset + 20, form.offset);
    skin = from_bytes(b);
    EXPECT_EQ(skin->child(form, 0), form);
    EXPECT_GT(walk_everything(*skin), std::size_t(kMaxNodeDepth));
}

TEST(SkinLoaderDamaged, CyclicIndexEndsTheSearch) {
    SkinModel model;
    for (const char16_t* name : {u"b", u"d", u"f"})
        model.nodes.push_back({name, NodeModel{}});
    auto b = written(model);
    const std::uint32_t root = get(b, 72);
    put(b, root, root);     // left child: itself
    put(b, root + 4, root); // right child: itself
    auto skin = from_bytes(b);
    ASSERT_TRUE(skin->is_loaded());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(skin->find_node(u"d"));
    EXPECT_FALSE(skin->find_node(u"a"));
    EXPECT_FALSE(skin->find_node(u"z"));
    EXPECT_EQ(skin->top_level_nodes().size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    put(b, root + 8, 0xFFFFFFF0); // name past the end
    EXPECT_FALSE(from_bytes(b)->find_node(u"d"));
}

using skinc::write_skin;

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
