// Node trees loaded from skins built in memory.
#include "node_test_support.h"
#include "skin_model_of.h"
#include "skin_test_support.h"
#include "ui/basic_nodes.h"
#include "ui/blender.h"
#include "ui/table_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using skinc::SkinModel;

namespace {

SkinModel form_model() {
    SkinModel model = xml_skin(R"(
      <node id="form" anchor_x="CENTER" border_min="1 2" design_size="100 50" border_max="3 4">
        <htable id="row"><color id="a" color="255 0 0" design_size="10 10" table_ratio="1"/>
          <node id="b" design_size="20 5"/></htable>
        <clip id="cached" cache="1"/><node id="faded" cache="1" cache_alpha="128"/>
        <node id="plain" cache="0" cache_alpha="128"/></node>
      <node id="broken"><node type="Text" id="title"/></node>
      <node id="other"><node id="only"/></node>)");
    // Not a word of anchor_y: the compiler refuses it, a damaged skin holds it.
    top_node(model, u"form")->strings.push_back({u"anchor_y", model.intern_string(u"center")});
    return model;
}

class NodeSkin : public ::testing::Test {
  protected:
    InstalledSkin built{form_model()};
    Node screen;
};

} // namespace

TEST_F(NodeSkin, BuildsTheTreeWithTypesBasePropertiesAndCaches) {
    ASSERT_TRUE(screen.load_from_skin(built.skin, u"form"));
    EXPECT_EQ(screen.name(), u"form");
    EXPECT_EQ(screen.anchor_x(), ScaleType::Center);
    EXPECT_EQ(screen.anchor_y(), ScaleType::BothSide);
    EXPECT_EQ(screen.border_min().y, 2);
    EXPECT_EQ(screen.design_size().width, 100);
    EXPECT_EQ(screen.border_max().x, 3);
    ASSERT_EQ(screen.child_count(), 4u);
    auto& row = dynamic_cast<HTableNode&>(*screen.find(u"row"));
    EXPECT_EQ(row.table_ratio(0), 1u);
    EXPECT_EQ(row.table_ratio(1), 0u);
    auto& a = dynamic_cast<ColorNode&>(*screen.find(u"a"));
    EXPECT_EQ(a.color(), (Colour{255, 0, 0, 255}));
    EXPECT_EQ(a.parent(), &row);
    EXPECT_EQ(row.border_min().x, 0) << "a record without points keeps zero borders";
    EXPECT_EQ(row.design_size().width, 0);
    // Row of width 50: a 10 (+20 surplus through its ratio), b 20.
    test::place(screen, 0, 0, 50, 30);
    EXPECT_EQ(a.width(), 30);
    EXPECT_EQ(screen.find(u"b")->x(), 30);
    // The cache flag and alpha pick the blender.
    const Node* cached = screen.find(u"cached");
    EXPECT_TRUE(cached->has_cache());
    EXPECT_NE(dynamic_cast<const KeyBlender*>(cached->cache_blender()), nullptr);
    auto* alpha = dynamic_cast<const AlphaBlender*>(screen.find(u"faded")->cache_blender());
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->level(), 2);
    EXPECT_FALSE(screen.find(u"plain")->has_cache());
    EXPECT_EQ(screen.find(u"plain")->cache_blender(), nullptr);
}

TEST(NodeSkinDamaged, ChildListPointingBackIsBoundedNotEndless) {
    std::vector<std::uint8_t> bytes = written(xml_skin(R"(<node id="loop"><node/><node/></node>)"));
    const std::uint32_t record = from_bytes(bytes)->find_node(u"loop").offset;
    // Both child offsets now name the record itself.
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 4; ++k)
            bytes[record + 16 + 4 * i + k] = std::uint8_t(record >> (8 * k));
    use_program_types();
    Properties skin;
    auto impl = from_bytes(bytes);
    ASSERT_TRUE(skin.install(*impl));
    const auto before = Node::live_count();
    Node screen;
    ASSERT_TRUE(screen.load_from_skin(skin, u"loop"));
    std::size_t depth = 0;
    for (const Node* node = &screen; node->child_count() > 0; node = &node->child(0))
        ++depth;
    EXPECT_LE(depth, std::size_t(kMaxNodeDepth));
    EXPECT_EQ(Node::live_count() - before, 65536 + 1) << "the root and the whole budget";
}
