// The skin loader: header checks, the six readers, the named-node index,
// all-or-nothing loading, reload listeners, and files damaged on purpose.
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

std::uint16_t get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return get16(b, at) | (std::uint32_t(get16(b, at + 2)) << 16);
}
void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, std::uint16_t(v));
    put16(b, at + 2, std::uint16_t(v >> 16));
}
// Absolute offset of entry 0 of one table of the record.
std::size_t table_start(const std::vector<std::uint8_t>& b, NodeRecord r, PropertyKind k) {
    return r.offset + get16(b, r.offset + 2 * static_cast<int>(k));
}

std::vector<std::uint8_t> empty_skin() {
    std::vector<std::uint8_t> bytes(92, 0);
    const char16_t magic[] = {0x0421, 0x043A, 0x0438, 0x043D};
    for (int i = 0; i < 4; ++i)
        put16(bytes, 2 * i, magic[i]);
    put32(bytes, 72, 0xFFFFFFFF);
    put32(bytes, 84, 92);
    return bytes;
}

// A form with a typed child, using every property kind.
SkinModel sample_model() {
    SkinModel model;
    model.pictures = {u"art/button"};
    model.fonts = {u"12 1 0 0 Tahoma", u"9 0 1 0 Two Words"};
    NodeModel form;
    form.strings = {{u"id", model.intern_string(u"FormMain")},
                    {u"type", model.intern_string(u"node")}};
    form.integers = {{u"cache", 1}, {u"cache_alpha", 0xFFFFFFFE}};
    form.points = {{u"border_min", PointValue{-3, 5}}, {u"design_size", PointValue{240, 320}}};
    form.colors = {{u"outside_color", ColorValue{10, 20, 30}}};
    NodeModel text;
    text.strings = {{u"type", model.intern_string(u"text")},
                    {u"id", model.intern_string(u"title")},
                    {u"halign", model.intern_string(u"CENTER")}};
    text.fonts = {{u"font", 1}};
    text.colors = {{u"color", ColorValue{1, 2, 3}}};
    NodeModel image;
    image.strings = {{u"type", model.intern_string(u"image")}};
    PictureValue src;
    src.x[0] = 0, src.x[1] = 2, src.x[2] = 3, src.x[3] = 0xFFFF;
    src.y[0] = 1, src.y[1] = 1, src.y[2] = 2, src.y[3] = 3;
    src.flag = 7;
    image.pictures = {{u"src", src}};
    form.children = {text, image};
    model.nodes = {{u"FormMain", form}};
    return model;
}

TEST(SkinLoader, EmptySkinOf92BytesLoadsAndFindsNothing) {
    auto skin = from_bytes(empty_skin());
    ASSERT_TRUE(skin->is_loaded()) << skin->load_error();
    EXPECT_FALSE(skin->find_node(u"FormMain"));
    EXPECT_FALSE(skin->find_node(u""));
    EXPECT_TRUE(skin->top_level_nodes().empty());
    EXPECT_EQ(skin->picture_count() + skin->font_count() + skin->string_count(), 0u);
    EXPECT_EQ(skin->read_int(NodeRecord{}, u"x", 5), 5u);
}

TEST(SkinLoader, ShortFileOrWrongMagicIsRefusedAndThePreviousSkinStays) {
    Properties skin;
    auto good = from_bytes(written(sample_model()));
    ASSERT_TRUE(skin.install(*good));

    std::vector<std::uint8_t> short_file = empty_skin();
    short_file.pop_back();
    auto refused = from_bytes(short_file);
    EXPECT_FALSE(refused->is_loaded());
    EXPECT_FALSE(skin.install(*refused));

    std::vector<std::uint8_t> wrong_magic = empty_skin();
    put16(wrong_magic, 0, 0x0420);
    auto wrong = from_bytes(wrong_magic);
    EXPECT_FALSE(wrong->is_loaded());
    EXPECT_FALSE(skin.install(*wrong));

    EXPECT_FALSE(skin.load_skin(u"%app_path%/skins/bin/no-such.skin", 0)) << "missing file";
    EXPECT_TRUE(skin.is_loaded());
    EXPECT_EQ(skin.read_string(skin.find_node(u"FormMain"), u"id", u""), u"FormMain");
}

TEST(SkinLoader, EmptyIntegerAndFontTablesShareTheirBoundsAndReadDefaults) {
    SkinModel model;
    NodeModel node;
    node.points = {{u"p", PointValue{1, 1}}};
    model.nodes = {{u"n", node}};
    const auto bytes = written(model);
    auto skin = from_bytes(bytes);
    const NodeRecord record = skin->find_node(u"n");
    ASSERT_TRUE(record);
    EXPECT_EQ(get16(bytes, record.offset), get16(bytes, record.offset + 2));
    EXPECT_EQ(get16(bytes, record.offset + 2), get16(bytes, record.offset + 4));
    EXPECT_EQ(skin->read_int(record, u"p", 42), 42u);
    EXPECT_EQ(skin->read_font(record, u"p", nullptr), nullptr);
    EXPECT_EQ(skin->property_count(record, PropertyKind::Integer), 0u);
    EXPECT_EQ(skin->property_count(record, PropertyKind::Point), 1u);
}

TEST(SkinLoader, PointsAreSignedAndPictureNumbersUnsignedWhenScaled) {
    auto skin = from_bytes(written(sample_model()), 1);
    const NodeRecord form = skin->find_node(u"FormMain");
    const Point point = skin->read_point(form, u"border_min", {});
    EXPECT_EQ(point.x, -6);
    EXPECT_EQ(point.y, 10);

    const NodeRecord image = skin->child(form, 1);
    const Picture picture = skin->read_picture(image, u"src", Picture{});
    EXPECT_EQ(picture.points[3].x, 0xFFFF * 2);
    EXPECT_EQ(picture.points[1].x, 4);
    EXPECT_EQ(picture.points[3].y, 6);
    EXPECT_EQ(picture.flags, 7);
    EXPECT_EQ(picture.scale_shift, 1u);
}

TEST(SkinLoader, ColourIgnoresItsFourthByteAndIsOpaque) {
    auto bytes = written(sample_model());
    const NodeRecord form = from_bytes(bytes)->find_node(u"FormMain");
    bytes[table_start(bytes, form, PropertyKind::Colour) + 5] = 99;
    auto skin = from_bytes(bytes);
    EXPECT_EQ(skin->read_colour(form, u"outside_color", {}), (Colour{10, 20, 30, 255}));
    EXPECT_EQ(skin->read_colour(form, u"color", Colour{4, 5, 6, 7}), (Colour{4, 5, 6, 7}));
}

TEST(SkinLoader, FontDescriptionsParseOverDefaultsAndEqualOnesAreShared) {
    SkinModel model;
    model.fonts = {u"9 0 1 0 Two Words", u"14", u"x", u"12 1 0 0 Tahoma", u"12 1 0 0 Tahoma"};
    NodeModel node;
    for (std::uint32_t i = 0; i < model.fonts.size(); ++i)
        node.fonts.push_back({u"f" + to_wstring(i), i});
    model.nodes = {{u"fonts", node}};
    auto skin = from_bytes(written(model), 1);
    const NodeRecord record = skin->find_node(u"fonts");
    auto description = [&](const char16_t* name) {
        FontHandle font = skin->read_font(record, name, nullptr);
        EXPECT_NE(font, nullptr) << to_utf8(name);
        return font ? font->description() : FontDescription{};
    };
    const FontDescription two_words = description(u"f0");
    EXPECT_EQ(two_words.size, 9);
    EXPECT_FALSE(two_words.bold);
    EXPECT_TRUE(two_words.italic);
    EXPECT_FALSE(two_words.underline);
    EXPECT_EQ(two_words.face, u"Two Words");
    EXPECT_EQ(two_words.scale_factor, 2);

    const FontDescription only_size = description(u"f1");
    EXPECT_EQ(only_size.size, 14);
    EXPECT_FALSE(only_size.bold || only_size.italic || only_size.underline);
    EXPECT_EQ(only_size.face, u"Tahoma");

    EXPECT_EQ(description(u"f2").size, 0) << "a size without digits is 0";
    EXPECT_EQ(skin->read_font(record, u"f3", nullptr), skin->read_font(record, u"f4", nullptr));
}

TEST(SkinLoader, NamesAreMatchedExactlyAndCaseSensitively) {
    auto skin = from_bytes(written(sample_model()));
    EXPECT_FALSE(skin->find_node(u"formMain"));
    EXPECT_FALSE(skin->find_node(u"FormMai"));
    EXPECT_FALSE(skin->find_node(u"FormMainX"));
    const NodeRecord form = skin->find_node(u"FormMain");
    ASSERT_TRUE(form);
    EXPECT_EQ(skin->read_string(skin->child(form, 0), u"type", u"-"), u"text");
    EXPECT_EQ(skin->read_string(skin->child(form, 0), u"Type", u"-"), u"-");
    EXPECT_EQ(skin->read_int(form, u"Cache", 9), 9u);
    EXPECT_EQ(skin->read_int(form, u"cach", 9), 9u);
}

TEST(SkinLoader, EveryPropertyKindSurvivesTheWriterAndLoader) {
    auto skin = from_bytes(written(sample_model()));
    const NodeRecord form = skin->find_node(u"FormMain");
    ASSERT_TRUE(form);
    EXPECT_EQ(skin->read_int(form, u"cache", 0), 1u);
    EXPECT_EQ(skin->read_int(form, u"cache_alpha", 0), 0xFFFFFFFEu);
    EXPECT_EQ(skin->read_point(form, u"design_size", {}).x, 240);
    EXPECT_EQ(skin->read_point(form, u"design_size", {}).y, 320);
    ASSERT_EQ(skin->child_count(form), 2u);
    const NodeRecord text = skin->child(form, 0);
    EXPECT_EQ(skin->read_string(text, u"id", u""), u"title");
    EXPECT_EQ(skin->read_string(text, u"halign", u""), u"CENTER");
    EXPECT_EQ(skin->read_font_index(text, u"font"), 1u);
    EXPECT_EQ(skin->read_colour(text, u"color", {}), (Colour{1, 2, 3, 255}));
    EXPECT_EQ(skin->child_count(text), 0u);
    EXPECT_FALSE(skin->child(form, 2)) << "past the child list";
    const auto ref = skin->read_picture_ref(skin->child(form, 1), u"src");
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->x[2], 3);
    EXPECT_EQ(ref->y[3], 3);
    EXPECT_EQ(skin->picture_name(0), u"art/button");
    EXPECT_EQ(skin->font_text(1), u"9 0 1 0 Two Words");
}

TEST(SkinLoader, EveryTopLevelNodeIsFoundThroughTheIndex) {
    SkinModel model;
    std::vector<WString> names = {u"a",      u"ab",      u"abc",    u"b", u"",
                                  u"\u00e9", u"\u8000x", u"\uffff", u"Z", u"z"};
    for (int i = 0; i < 290; ++i)
        names.push_back(u"node_" + to_wstring(i * 7919 % 1000));
    for (const WString& name : names) {
        NodeModel node;
        node.strings = {{u"id", model.intern_string(name)}};
        NodeModel child;
        child.integers = {{u"n", std::uint32_t(name.size())}};
        node.children = {child};
        model.nodes.push_back({name, node});
    }
    auto skin = from_bytes(written(model));
    for (const WString& name : names) {
        const NodeRecord record = skin->find_node(name);
        ASSERT_TRUE(record) << to_utf8(name);
        EXPECT_EQ(record.offset % 4, 0u);
        EXPECT_EQ(skin->read_string(record, u"id", u"?"), name);
        EXPECT_EQ(skin->read_int(skin->child(record, 0), u"n", 999), name.size());
    }
    EXPECT_FALSE(skin->find_node(u"node_"));
    EXPECT_FALSE(skin->find_node(u"\u7fff"));
    const auto listed = skin->top_level_nodes();
    ASSERT_EQ(listed.size(), names.size());
    for (std::size_t i = 1; i < listed.size(); ++i)
        EXPECT_LT(listed[i - 1].first, listed[i].first) << "in-order walk is sorted";
}

TEST(SkinLoader, LoadsFromAPathWithPicturesBesideTheSkin) {
    TempFolder root;
    const std::string previous_root = runtime::device_root();
    runtime::set_device_root(root.path());
    SkinModel model = sample_model();
    model.pictures = {u"art\\button"};
    root.write("skins/test.skin", written(model));
    root.write_bmp("skins/art/button", 4, 3);

    Properties skin;
    const bool loaded = skin.load_skin(u"/skins/test.skin", 1);
    runtime::set_device_root(previous_root);
    ASSERT_TRUE(loaded) << skin.impl().load_error();
    EXPECT_EQ(skin.impl().path(), u"/skins/test.skin");
    const Picture picture =
        skin.read_picture(skin.child(skin.find_node(u"FormMain"), 1), u"src", Picture{});
    EXPECT_TRUE(picture.has_data());
    EXPECT_EQ(picture.width, 4);
    EXPECT_EQ(picture.height, 3);
    EXPECT_EQ(picture.points[2].x, 6);
}

TEST(SkinLoader, APictureThatFailsToLoadFailsTheWholeSkin) {
    TempFolder folder;
    SkinModel model = sample_model();
    model.pictures = {u"good", u"bad"};
    folder.write_bmp("good", 2, 2);
    Properties skin;
    auto first = from_bytes(written(sample_model()));
    ASSERT_TRUE(skin.install(*first));

    PropertiesImpl missing(written(model), folder.path(), u"x.skin", 0);
    EXPECT_FALSE(missing.is_loaded());
    EXPECT_NE(missing.load_error().find("{bad}"), std::string::npos) << missing.load_error();
    EXPECT_FALSE(skin.install(missing));

    folder.write_bmp("bad", 2, 2, 0, 24);
    PropertiesImpl wrong_depth(written(model), folder.path(), u"x.skin", 0);
    EXPECT_FALSE(wrong_depth.is_loaded());

    folder.write_bmp("bad", 2, 2);
    PropertiesImpl good(written(model), folder.path(), u"x.skin", 0);
    EXPECT_TRUE(good.is_loaded()) << good.load_error();
    EXPECT_EQ(good.picture(1).width, 2);
    EXPECT_TRUE(skin.find_node(u"FormMain")) << "the first skin stayed";
}

// What is no skin file is refused unread, with a reason that a message can
// name: a FIFO would block the start, a device or a huge file would pour
// without end.
TEST(SkinLoader, WhatIsNoSkinFileIsRefusedUnreadWithItsReason) {
    TempFolder root;
    const std::string previous_root = runtime::device_root();
    runtime::set_device_root(root.path());
    std::filesystem::create_directories(root.path() + "/skins/folder.skin");
    ASSERT_EQ(::mkfifo((root.path() + "/skins/fifo.skin").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", root.path() + "/skins/zero.skin");
    {
        std::ofstream huge(root.path() + "/skins/huge.skin", std::ios::binary);
        huge.seekp(std::streamoff(kMaxSkinFileBytes));
        huge.put('x');
    }
    root.write("skins/short.skin", std::vector<std::uint8_t>(40, 1));
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
    Properties skin;
    auto first = from_bytes(written(sample_model()));
    ASSERT_TRUE(skin.install(*first));
    for (const auto& c : cases) {
        SCOPED_TRACE(to_utf8(c.path));
        std::string error;
        EXPECT_FALSE(skin.load_skin(c.path, 0, &error));
        EXPECT_EQ(error, c.reason);
        EXPECT_TRUE(skin.find_node(u"FormMain")) << "the first skin stays";
    }
    runtime::set_device_root(previous_root);
}

// A switch keeps the skin it replaced until the screens took the new one;
// undone, the replaced skin is current again, with its path.
TEST(SkinLoader, ASwitchKeepsTheReplacedSkinUntilItIsKeptOrUndone) {
    SkinModel other = sample_model();
    other.nodes.push_back({u"Other", NodeModel{}});
    Properties skin;
    auto first = from_bytes(written(sample_model()));
    first->set_path(u"first.skin");
    ASSERT_TRUE(skin.install(*first));
    EXPECT_FALSE(skin.undo_switch()) << "nothing to undo";

    auto second = from_bytes(written(other));
    second->set_path(u"second.skin");
    ASSERT_TRUE(skin.switch_to(*second));
    EXPECT_TRUE(skin.switch_pending());
    EXPECT_TRUE(skin.find_node(u"Other"));
    // A second switch before the first was kept: the skin the screens were
    // built from is still the one to go back to.
    auto third = from_bytes(written(sample_model()));
    third->set_path(u"third.skin");
    ASSERT_TRUE(skin.switch_to(*third));
    EXPECT_EQ(skin.impl().path(), u"third.skin");
    ASSERT_TRUE(skin.undo_switch());
    EXPECT_EQ(skin.impl().path(), u"first.skin");
    EXPECT_FALSE(skin.find_node(u"Other"));
    EXPECT_FALSE(skin.switch_pending());

    auto fourth = from_bytes(written(other));
    fourth->set_path(u"fourth.skin");
    ASSERT_TRUE(skin.switch_to(*fourth));
    skin.keep_switch();
    EXPECT_FALSE(skin.undo_switch());
    EXPECT_EQ(skin.impl().path(), u"fourth.skin");

    PropertiesImpl not_loaded;
    EXPECT_FALSE(skin.switch_to(not_loaded));
    EXPECT_FALSE(skin.switch_pending());
}

TEST(SkinLoader, ASuccessfulLoadReplacesTheContentButKeepsTheListeners) {
    struct Listener final : SkinReloadListener {
        std::vector<std::pair<int, Properties*>>* calls;
        int id;
        Properties* remove_from = nullptr;
        void on_reload_skin(Properties& skin) override {
            calls->push_back({id, &skin});
            if (remove_from)
                remove_from->remove_reload_listener(this);
        }
    };
    std::vector<std::pair<int, Properties*>> calls;
    Listener first, second;
    first.calls = second.calls = &calls;
    first.id = 1;
    second.id = 2;

    Properties skin;
    first.remove_from = &skin;
    skin.add_reload_listener(&first);
    skin.add_reload_listener(&second);
    auto one = from_bytes(written(sample_model()));
    ASSERT_TRUE(skin.install(*one));

    SkinModel other;
    other.nodes = {{u"Other", NodeModel{}}};
    auto two = from_bytes(written(other), 1);
    ASSERT_TRUE(skin.install(*two));
    EXPECT_FALSE(skin.find_node(u"FormMain"));
    EXPECT_TRUE(skin.find_node(u"Other"));
    EXPECT_EQ(skin.scale_shift(), 1u);
    EXPECT_TRUE(two->find_node(u"FormMain")) << "the candidate holds the old content";

    skin.send_reload_skin();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(1, &skin));
    EXPECT_EQ(calls[1], std::make_pair(2, &skin));
    skin.send_reload_skin();
    EXPECT_EQ(calls.size(), 3u) << "the first listener removed itself";
}

TEST(SkinLoader, LiveSkinObjectsAreListed) {
    const std::size_t before = PropertiesImpl::live_count();
    {
        Properties skin;
        auto candidate = from_bytes(empty_skin());
        EXPECT_EQ(PropertiesImpl::live_count(), before + 2);
    }
    EXPECT_EQ(PropertiesImpl::live_count(), before);
}

// --- damaged files ---------------------------------------------------------------------

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

TEST(SkinLoaderDamaged, EveryTruncationIsRefusedOrReadSafely) {
    const auto bytes = written(several_nodes());
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        auto skin = from_bytes({bytes.begin(), bytes.begin() + std::ptrdiff_t(length)});
        if (length < 92) {
            EXPECT_FALSE(skin->is_loaded()) << length;
        }
        walk_everything(*skin);
    }
    EXPECT_GT(walk_everything(*from_bytes(bytes)), 7u);
}

TEST(SkinLoaderDamaged, RandomByteFlipsNeverReadOutsideTheBuffer) {
    const auto bytes = written(several_nodes());
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        auto damaged = bytes;
        const int flips = 1 + round % 4;
        for (int i = 0; i < flips; ++i)
            damaged[random() % damaged.size()] ^= std::uint8_t(1 + random() % 255);
        walk_everything(*from_bytes(std::move(damaged)));
    }
}

TEST(SkinLoaderDamaged, BadHeaderTablesRefuseTheLoad) {
    const auto bytes = written(sample_model());
    auto refused = [](std::vector<std::uint8_t> b) {
        return !from_bytes(std::move(b))->is_loaded();
    };
    auto with32 = [&](std::size_t at, std::uint32_t v) {
        auto b = bytes;
        put32(b, at, v);
        return b;
    };
    EXPECT_TRUE(refused(with32(72, std::uint32_t(bytes.size())))) << "index root past the end";
    EXPECT_TRUE(refused(with32(72, get32(bytes, 72) + 2))) << "index root misaligned";
    EXPECT_TRUE(refused(with32(84, std::uint32_t(bytes.size())))) << "string table past the end";
    EXPECT_TRUE(refused(with32(84, 0xFFFFFFFF)));
    EXPECT_TRUE(refused(with32(84, get32(bytes, 84) + 1))) << "string table at an odd offset";
    EXPECT_TRUE(refused(with32(88, 0x7FFFFFFF))) << "more strings than bytes";
    EXPECT_TRUE(refused(with32(76, 0xFFFFFFFF)));
    EXPECT_TRUE(refused(with32(80, 0xFFFFFFFF)));

    auto unterminated = bytes;
    for (std::size_t at = get32(bytes, 84); at < unterminated.size(); ++at)
        unterminated[at] |= 0x40;
    EXPECT_TRUE(refused(unterminated)) << "no terminator before the end";
}

TEST(SkinLoaderDamaged, BadPropertyEntriesReadAsMissing) {
    const auto bytes = written(sample_model());
    const NodeRecord form = from_bytes(bytes)->find_node(u"FormMain");
    const NodeRecord text = from_bytes(bytes)->child(form, 0);
    const NodeRecord image = from_bytes(bytes)->child(form, 1);

    auto b = bytes;
    put16(b, table_start(b, form, PropertyKind::Integer), 0xFFFF); // name past the end
    put16(b, table_start(b, form, PropertyKind::Integer) + 8, 93); // odd name offset
    auto skin = from_bytes(b);
    ASSERT_TRUE(skin->is_loaded());
    EXPECT_EQ(skin->read_int(form, u"cache", 5), 5u);
    EXPECT_EQ(skin->read_int(form, u"cache_alpha", 5), 5u);

    b = bytes;
    put32(b, table_start(b, text, PropertyKind::Font) + 4, 2); // font 2 of 2
    put16(b, table_start(b, text, PropertyKind::String) + 2, 0xFFFF);
    b[table_start(b, image, PropertyKind::Picture) + 18] = 1; // picture 1 of 1
    skin = from_bytes(b);
    EXPECT_EQ(skin->read_font(text, u"font", nullptr), nullptr);
    EXPECT_EQ(skin->read_string(text, u"halign", u"LEFT"), u"LEFT") << "first string entry";
    EXPECT_FALSE(skin->read_picture(image, u"src", Picture{}).has_data());
    EXPECT_FALSE(skin->read_picture_ref(image, u"src"));

    b = bytes;
    put16(b, form.offset + 2, get16(b, form.offset) - 8);     // integer table ends before it starts
    put16(b, form.offset + 12, 0xFFF0);                       // colour table runs past the end
    put16(b, form.offset + 6, get16(b, form.offset + 6) - 2); // point table not whole entries
    skin = from_bytes(b);
    EXPECT_EQ(skin->read_int(form, u"cache", 5), 5u);
    EXPECT_EQ(skin->read_colour(form, u"outside_color", {}), Colour{});
    EXPECT_EQ(skin->read_point(form, u"border_min", {7, 7}).x, 7);
    EXPECT_EQ(skin->property_count(form, PropertyKind::Point), 0u);

    EXPECT_EQ(skin->read_int(NodeRecord{form.offset + 2}, u"cache", 3), 3u) << "misaligned";
    EXPECT_EQ(skin->read_int(NodeRecord{std::uint32_t(b.size() - 4)}, u"cache", 3), 3u);
}

TEST(SkinLoaderDamaged, BadChildrenAreNoChildren) {
    auto b = written(sample_model());
    const NodeRecord form = from_bytes(b)->find_node(u"FormMain");
    put32(b, form.offset + 16, std::uint32_t(b.size())); // past the end
    put32(b, form.offset + 20, form.offset + 2);         // misaligned
    auto skin = from_bytes(b);
    EXPECT_EQ(skin->child_count(form), 2u);
    EXPECT_FALSE(skin->child(form, 0));
    EXPECT_FALSE(skin->child(form, 1));

    put16(b, form.offset + 14, 0xFFFF); // list longer than the file
    skin = from_bytes(b);
    EXPECT_LE(16 + 4 * std::size_t(skin->child_count(form)) + form.offset, b.size());
    walk_everything(*skin);
}

TEST(SkinLoaderDamaged, ChildPointingToItselfIsFollowedOnlyToTheDepthLimit) {
    auto b = written(sample_model());
    const NodeRecord form = from_bytes(b)->find_node(u"FormMain");
    put32(b, form.offset + 16, form.offset);
    put32(b, form.offset + 20, form.offset);
    auto skin = from_bytes(b);
    EXPECT_EQ(skin->child(form, 0), form);
    EXPECT_GT(walk_everything(*skin), std::size_t(kMaxNodeDepth));
}

TEST(SkinLoaderDamaged, CyclicIndexEndsTheSearch) {
    SkinModel model;
    for (const char16_t* name : {u"b", u"d", u"f"})
        model.nodes.push_back({name, NodeModel{}});
    auto b = written(model);
    const std::uint32_t root = get32(b, 72);
    put32(b, root, root);     // left child: itself
    put32(b, root + 4, root); // right child: itself
    auto skin = from_bytes(b);
    ASSERT_TRUE(skin->is_loaded());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(skin->find_node(u"d"));
    EXPECT_FALSE(skin->find_node(u"a"));
    EXPECT_FALSE(skin->find_node(u"z"));
    EXPECT_EQ(skin->top_level_nodes().size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    put32(b, root + 8, 0xFFFFFFF0); // name past the end
    EXPECT_FALSE(from_bytes(b)->find_node(u"d"));
}

} // namespace
} // namespace telvara::ui
