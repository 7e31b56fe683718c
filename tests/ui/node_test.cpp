// The node tree: removal, the type registry, hiding, whole clips, the node's
// own visibility animation, and trees loaded from skins, damaged ones too.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/basic_nodes.h"
#include "ui/blender.h"
#include "ui/drawing.h"
#include "ui/node_registry.h"
#include "ui/vadode.h"
#include "ui/visibility_animation.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;
using skinc::SkinModel;

namespace {

constexpr Pixel red = to_565(255, 0, 0);

// Takes every pointer event (and keys when asked) and remembers them.
class Recorder : public Node {
  public:
    bool on_touch(const PointerEvent& event) override {
        touches.push_back(event);
        return true;
    }
    bool on_key(const KeyEvent& event) override {
        keys.push_back(event);
        return take_keys;
    }
    std::vector<PointerEvent> touches;
    std::vector<KeyEvent> keys;
    bool take_keys = false;
};

ColorNode& colour_child(Node& parent, Colour colour, Point border_min = {}, Point border_max = {}) {
    auto& node = add<ColorNode>(parent);
    node.set_color(colour);
    node.set_borders(border_min, border_max);
    return node;
}

// The surface's row y as '.' for 0, 'r' for red, '?' else.
std::string row_of(const RenderSurface& surface, std::int32_t y) {
    std::string out;
    for (std::int32_t x = 0; x < surface.width(); ++x) {
        const Pixel p = surface.row(y)[x];
        out += p == 0 ? '.' : p == red ? 'r' : '?';
    }
    return out;
}

// Lays `root` out at w x h and draws it on a surface filled with `background`.
struct Drawn : RenderSurface {
    Drawn(Node& root, std::int32_t w, std::int32_t h, Pixel background = 0) {
        place(root, 0, 0, w, h);
        resize(w, h);
        fill_pixel(*this, {}, {w, h}, background);
        root.draw_node(*this, {});
    }
};

} // namespace

TEST(NodeTree, RemoveToleratesAWrongIndexClearsCaptureAndFreesTheSubtree) {
    const auto before = Node::live_count();
    Node root;
    auto& a = add<Recorder>(root);
    auto& b = add<Recorder>(root);
    add<Node>(b);
    place(root, 0, 0, 20, 20);
    root.on_touch(pen(PointerKind::Down, 1, 1));
    ASSERT_EQ(root.captured(), &b);
    root.remove_child(&b, 0); // index says a, pointer says b
    EXPECT_EQ(root.child_count(), 1u);
    EXPECT_EQ(&root.child(0), &a);
    EXPECT_EQ(root.captured(), nullptr);
    EXPECT_EQ(Node::live_count(), before + 2) << "b and its child are gone";
    Node stranger;
    root.remove_child(&stranger, 0);
    EXPECT_EQ(root.child_count(), 1u);
}

TEST(NodeRegistry, NamesAreUniqueExactAndRaiseWithTheirName) {
    auto& registry = NodeRegistry::instance();
    registry.register_type(u"test_colour", &make_node<ColorNode>);
    try {
        registry.register_type(u"test_colour", &make_node<Node>);
        FAIL() << "no exception";
    } catch (const vadode::NodeAlreadyRegistered& error) {
        EXPECT_NE(std::string(error.what()).find("test_colour"), std::string::npos);
    }
    EXPECT_NE(dynamic_cast<ColorNode*>(registry.create(u"test_colour").get()), nullptr);
    EXPECT_THROW(registry.create(u"Test_colour"), vadode::NodeNotRegistered);
    EXPECT_TRUE(registry.unregister_type(u"test_colour"));
    EXPECT_FALSE(registry.unregister_type(u"test_colour"));
}

TEST(Visibility, HidingReleasesTheCacheSurface) {
    Node root;
    Node& cached = add<Node>(root);
    cached.set_cache(true);
    Drawn(root, 6, 4);
    EXPECT_NE(cached.dump_line(0).find(u"rs.size=6 4"), WString::npos);
    root.set_visible(false);
    EXPECT_TRUE(cached.cache_surface().empty());
}

TEST(Drawing, AWholeClipLeavesOutChildrenThatDoNotFit) {
    Node root;
    auto& clip = add<ClipNode>(root);
    clip.set_overflow(ClipOverflow::Hide);
    auto& fits = colour_child(clip, {255, 0, 0});
    fits.set_anchor(ScaleType::MinSideNoSize, ScaleType::MinSideNoSize);
    fits.set_design_size({2, 1});
    auto& tall = colour_child(clip, {255, 0, 0});
    tall.set_anchor(ScaleType::MaxSideNoSize, ScaleType::MinSideNoSize);
    tall.set_design_size({2, 3}); // taller than the clip
    EXPECT_EQ(row_of(Drawn(root, 6, 2), 0), "rr....");
    EXPECT_EQ(row_of(Drawn(root, 6, 3), 2), "....rr") << "given room, it is drawn";
}

// A node's own animation is started, turned round and given the cache's
// blender; the animations themselves are tested with the real ones.
namespace {

class FakeAnimation : public VisibilityAnimation {
  public:
    bool is_running() const override { return running; }
    void advance(double) override { running = false; }
    void draw(RenderSurface&, Point, const RenderSurface&) override { ++draws; }
    void reverse() override { direction = -direction; }
    void start(AnimationDirection d, std::unique_ptr<Blender> blender) override {
        running = true;
        ++starts;
        direction = static_cast<int>(d);
        had_blender = blender != nullptr;
    }
    bool running = false, had_blender = false;
    int direction = 0, draws = 0, starts = 0;
};

} // namespace

TEST(VisibilityAnimation, TheNodeStartsAndTurnsItsAnimationRoundWithTheCacheBlender) {
    for (const bool faded : {false, true}) {
        Node root;
        Node& panel = add<Node>(root);
        colour_child(panel, {255, 0, 0});
        if (faded)
            panel.set_cache(true, 100);
        auto animation = std::make_unique<FakeAnimation>();
        FakeAnimation& fake = *animation;
        panel.set_visibility_animation(std::move(animation));
        panel.set_visible_animated(false);
        EXPECT_FALSE(panel.is_visible());
        EXPECT_EQ(fake.direction, -1);
        EXPECT_EQ(fake.had_blender, faded);
        RenderSurface target;
        target.resize(5, 5);
        place(root, 0, 0, 5, 5);
        root.draw_node(target, {});
        EXPECT_EQ(fake.draws, 1);
        EXPECT_EQ(target.row(2)[2], 0) << "only the animation drew";
        panel.set_visible_animated(true); // while running: turn round
        EXPECT_EQ(fake.direction, 1);
        EXPECT_EQ(fake.starts, 1);
        root.tick(0.5);
        panel.set_visible_animated(true); // already visible: nothing
        EXPECT_FALSE(fake.running);
        root.draw_node(target, {});
        EXPECT_EQ(target.row(2)[2], red);
    }
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
