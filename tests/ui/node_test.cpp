#include "node_test_support.h"
#include "ui/basic_nodes.h"
#include "ui/drawing.h"
#include "ui/node_registry.h"
#include "ui/vadode.h"
#include "ui/visibility_animation.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;
using telvara::ui::test::named;

namespace {

constexpr Pixel red = to_565(255, 0, 0);
constexpr Pixel green = to_565(0, 255, 0);
constexpr Pixel blue = to_565(0, 0, 255);

// Takes every pointer and key event and remembers them.
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
    void on_visibility_changed(bool effective) override {
        visibility.push_back(effective);
        Node::on_visibility_changed(effective);
    }
    std::vector<PointerEvent> touches;
    std::vector<KeyEvent> keys;
    std::vector<bool> visibility;
    bool take_keys = false;
};

PointerEvent pointer(std::int32_t x, std::int32_t y, PointerKind kind) {
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.kind = kind;
    return event;
}

void place(Node& node, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    node.place_x(x, w);
    node.place_y(y, h);
}

} // namespace

TEST(NodeTree, LiveCounterFollowsConstructionAndDestruction) {
    const auto before = Node::live_count();
    {
        Node root;
        add<Node>(add<Node>(root));
        EXPECT_EQ(Node::live_count(), before + 3);
        root.remove_child(&root.child(0), 0);
        EXPECT_EQ(Node::live_count(), before + 1);
    }
    EXPECT_EQ(Node::live_count(), before);
}

TEST(NodeTree, InsertTakesOverParentStateAndMarksLayout) {
    Node root;
    place(root, 0, 0, 10, 10);
    ASSERT_FALSE(root.layout_needed());
    root.set_visible(false);
    root.set_enabled(false);
    Node& child = root.insert_child(std::make_unique<Node>(), 99); // past the end: appended
    EXPECT_EQ(child.parent(), &root);
    EXPECT_FALSE(child.ancestors_visible());
    EXPECT_FALSE(child.ancestors_enabled());
    EXPECT_TRUE(child.is_visible());
    EXPECT_TRUE(root.layout_needed());

    Node& first = root.insert_child(std::make_unique<Node>(), 0);
    EXPECT_EQ(&root.child(0), &first);
    EXPECT_EQ(&root.child(1), &child);
}

TEST(NodeTree, RemoveToleratesAWrongIndexAndClearsCapture) {
    Node root;
    place(root, 0, 0, 10, 10);
    auto& a = add<Recorder>(root);
    auto& b = add<Recorder>(root);
    place(root, 0, 0, 20, 20);
    root.on_touch(pointer(1, 1, PointerKind::Down));
    ASSERT_EQ(root.captured(), &b);
    root.remove_child(&b, 0); // index says a, pointer says b
    EXPECT_EQ(root.child_count(), 1u);
    EXPECT_EQ(&root.child(0), &a);
    EXPECT_EQ(root.captured(), nullptr);
    Node stranger;
    root.remove_child(&stranger, 0);
    EXPECT_EQ(root.child_count(), 1u);
}

TEST(NodeTree, FindPrefersDirectChildrenOverDeeperOnes) {
    Node root;
    Node& a = named(root, u"a");
    Node& deep_b = named(a, u"b");
    Node& near_b = named(root, u"b");
    Node& c = named(deep_b, u"c");
    EXPECT_EQ(root.find(u"b"), &near_b);
    EXPECT_EQ(root.find(u"c"), &c);
    EXPECT_EQ(a.find(u"b"), &deep_b);
    EXPECT_EQ(root.find(u"B"), nullptr);
    EXPECT_EQ(root.find(u""), nullptr);
    const Node& constant = root;
    EXPECT_EQ(constant.find(u"a"), &a);
}

TEST(NodeTree, RedrawAndLayoutMarksGoUpOnly) {
    Node root;
    Node& mid = add<Node>(root);
    Node& leaf = add<Node>(mid);
    Node& sibling = add<Node>(root);
    place(root, 0, 0, 10, 10);
    Node& leaf_child = add<Node>(leaf);
    (void)leaf_child;
    place(root, 0, 0, 10, 10);
    EXPECT_FALSE(mid.layout_needed());
    leaf.mark_layout();
    EXPECT_TRUE(root.layout_needed());
    EXPECT_TRUE(mid.layout_needed());
    EXPECT_FALSE(sibling.layout_needed());
    EXPECT_TRUE(is_stale(Measure{-1, -1}));
}

TEST(NodeTree, DumpLineFormat) {
    Node node;
    node.set_name(u"title");
    node.set_design_size({5, 6});
    place(node, 1, 2, 3, 4);
    EXPECT_EQ(node.dump_line(2),
              u"\t\t{title} position=1 2 size=3 4 design_size=5 6 rs.size=0 0\n");
    EXPECT_EQ(Node().dump_line(0), u"{} position=0 0 size=0 0 design_size=0 0 rs.size=0 0\n");
}

// --- Registry -----------------------------------------------------------------------

class Registry : public ::testing::Test {
  protected:
    void TearDown() override {
        NodeRegistry::instance().unregister_type(u"text");
        NodeRegistry::instance().unregister_type(u"test_node");
    }
};

TEST_F(Registry, RegisteringANameTwiceRaises) {
    auto& registry = NodeRegistry::instance();
    registry.register_type(u"text", &make_node<Node>);
    try {
        registry.register_type(u"text", &make_node<ColorNode>);
        FAIL() << "no exception";
    } catch (const vadode::NodeAlreadyRegistered& error) {
        EXPECT_EQ(error.type_name(), u"text");
        EXPECT_NE(std::string(error.what()).find("text"), std::string::npos);
    }
    EXPECT_TRUE(registry.unregister_type(u"text"));
    EXPECT_FALSE(registry.unregister_type(u"text"));
}

TEST_F(Registry, UnknownTypeRaisesAndNamesAreCaseSensitive) {
    auto& registry = NodeRegistry::instance();
    registry.register_type(u"text", &make_node<ColorNode>);
    try {
        registry.create(u"Text");
        FAIL() << "no exception";
    } catch (const vadode::NodeNotRegistered& error) {
        EXPECT_EQ(error.type_name(), u"Text");
    }
    auto node = registry.create(u"text");
    EXPECT_NE(dynamic_cast<ColorNode*>(node.get()), nullptr);
}

TEST(Vadode, ErrorsCarryTheirNames) {
    vadode::NodeNotFound missing(u"main", u"кнопка");
    EXPECT_EQ(missing.parent_name(), u"main");
    EXPECT_EQ(missing.child_name(), u"кнопка");
    EXPECT_NE(std::string(missing.what()).find("кнопка"), std::string::npos);
    vadode::NodeNotFoundInSkin form(u"form_main");
    EXPECT_EQ(form.name(), u"form_main");
    const std::exception& base = form;
    EXPECT_NE(std::string(base.what()).find("form_main"), std::string::npos);
}

// --- Visibility and input ---------------------------------------------------------------

TEST(Visibility, HiddenParentHidesDescendantsAndRestoresThem) {
    Node root;
    Node& parent = add<Node>(root);
    auto& child = add<Recorder>(parent);
    auto& own_hidden = add<Recorder>(parent);
    own_hidden.set_visible(false);
    own_hidden.visibility.clear();

    parent.set_visible(false);
    EXPECT_FALSE(child.ancestors_visible());
    EXPECT_FALSE(child.is_effectively_visible());
    EXPECT_TRUE(child.is_visible());
    EXPECT_EQ(child.visibility, (std::vector<bool>{false}));
    EXPECT_EQ(own_hidden.visibility, (std::vector<bool>{})); // was hidden already

    parent.set_visible(true);
    EXPECT_TRUE(child.is_effectively_visible());
    EXPECT_FALSE(own_hidden.is_effectively_visible());
    EXPECT_EQ(child.visibility, (std::vector<bool>{false, true}));
    EXPECT_TRUE(root.redraw_needed());
}

TEST(Visibility, HidingReleasesTheCacheSurface) {
    Node root;
    Node& cached = add<Node>(root);
    cached.set_cache(true);
    place(root, 0, 0, 6, 4);
    RenderSurface target;
    target.resize(6, 4);
    root.draw_node(target, {});
    EXPECT_EQ(cached.cache_surface().width(), 6);
    EXPECT_NE(cached.dump_line(0).find(u"rs.size=6 4"), WString::npos);
    root.set_visible(false);
    EXPECT_TRUE(cached.cache_surface().empty());
}

TEST(Visibility, HidingAPressedSubtreeSendsACancelledRelease) {
    Node root;
    Node& panel = add<Node>(root);
    auto& button = add<Recorder>(panel);
    place(root, 0, 0, 20, 20);
    ASSERT_TRUE(root.on_touch(pointer(5, 5, PointerKind::Down)));
    ASSERT_EQ(panel.captured(), &button);

    root.set_visible(false);
    ASSERT_EQ(button.touches.size(), 2u);
    EXPECT_EQ(button.touches[1].kind, PointerKind::Up);
    EXPECT_TRUE(button.touches[1].cancelled);
    EXPECT_EQ(panel.captured(), nullptr);
}

TEST(Visibility, HidingThePressedNodeItselfCancelsItsPress) {
    Node root;
    auto& button = add<Recorder>(root);
    place(root, 0, 0, 20, 20);
    root.on_touch(pointer(5, 5, PointerKind::Down));
    button.set_visible(false);
    ASSERT_EQ(button.touches.size(), 2u);
    EXPECT_TRUE(button.touches[1].cancelled);
    EXPECT_EQ(root.captured(), nullptr);
}

TEST(Input, TopmostChildTakesThePressAndKeepsTheGesture) {
    Node root;
    auto& below = add<Recorder>(root);
    auto& above = add<Recorder>(root);
    auto& disabled = add<Recorder>(root);
    place(root, 0, 0, 20, 20);
    disabled.set_enabled(false);

    EXPECT_TRUE(root.on_touch(pointer(3, 3, PointerKind::Down)));
    EXPECT_TRUE(root.on_touch(pointer(50, 50, PointerKind::Move))); // outside: still captured
    EXPECT_TRUE(root.on_touch(pointer(50, 50, PointerKind::Up)));
    EXPECT_EQ(above.touches.size(), 3u);
    EXPECT_TRUE(below.touches.empty());
    EXPECT_TRUE(disabled.touches.empty());
    EXPECT_EQ(root.captured(), nullptr);

    EXPECT_FALSE(root.on_touch(pointer(50, 50, PointerKind::Down))); // misses everything
}

TEST(Input, KeysGoToVisibleChildrenUntilOneTakesThem) {
    Node root;
    auto& first = add<Recorder>(root);
    auto& hidden = add<Recorder>(root);
    auto& taker = add<Recorder>(root);
    auto& last = add<Recorder>(root);
    hidden.set_visible(false);
    taker.take_keys = true;
    KeyEvent key;
    key.code = 61;
    EXPECT_TRUE(root.on_key(key));
    EXPECT_EQ(first.keys.size(), 1u);
    EXPECT_TRUE(hidden.keys.empty());
    EXPECT_EQ(taker.keys.size(), 1u);
    EXPECT_TRUE(last.keys.empty());
    taker.take_keys = false;
    EXPECT_FALSE(root.on_key(key));
}

// --- Drawing ------------------------------------------------------------------------

namespace {

Pixel at(const RenderSurface& surface, int x, int y) {
    return surface.row(y)[x];
}

ColorNode& colour_child(Node& parent, Colour colour) {
    auto& node = add<ColorNode>(parent);
    node.set_color(colour);
    return node;
}

} // namespace

TEST(Drawing, ColorNodeFillsItsRectangleAndIgnoresAlpha) {
    Node root;
    auto& box = colour_child(root, {255, 0, 0, 0});
    box.set_anchor(ScaleType::MinSide, ScaleType::MinSide);
    box.set_design_size({2, 2});
    box.set_borders({1, 1}, {});
    place(root, 0, 0, 4, 4);
    RenderSurface target;
    target.resize(4, 4);
    fill(target, {}, {4, 4}, Colour{0, 0, 255});
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 0, 0), blue);
    EXPECT_EQ(at(target, 1, 1), red);
    EXPECT_EQ(at(target, 2, 2), red);
    EXPECT_EQ(at(target, 3, 3), blue);
    EXPECT_FALSE(root.redraw_needed());
}

TEST(Drawing, KeyColourInTheCacheShowsWhatLiesBelow) {
    Node root;
    Node& cached = add<Node>(root);
    cached.set_cache(true);
    auto& left = colour_child(cached, {255, 0, 0});
    left.set_borders({}, {4, 0});
    auto& hole = colour_child(cached, {255, 0, 255});
    hole.set_borders({4, 0}, {});
    place(root, 0, 0, 8, 2);

    RenderSurface target;
    target.resize(8, 2);
    fill(target, {}, {8, 2}, Colour{0, 0, 255});
    root.draw_node(target, {});
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(at(target, x, 1), x < 4 ? red : blue) << x;

    // A change below marks the cached node, whose picture is rendered again.
    left.set_color({0, 255, 0});
    EXPECT_TRUE(cached.redraw_needed());
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 0, 0), green);
    EXPECT_EQ(at(target, 5, 0), blue);
}

TEST(Drawing, CacheAlphaBlendsThroughAnAlphaBlender) {
    Node root;
    Node& cached = add<Node>(root);
    cached.set_cache(true, 256); // level 4: only bit-5-marked pixels show
    colour_child(cached, {255, 0, 0});
    place(root, 0, 0, 2, 2);
    RenderSurface target;
    target.resize(2, 2);
    fill(target, {}, {2, 2}, Colour{0, 0, 255});
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 0, 0), blue);
    EXPECT_NE(cached.cache_blender(), nullptr);
}

TEST(Drawing, HiddenNodesAreNotDrawn) {
    Node root;
    auto& box = colour_child(root, {255, 0, 0});
    place(root, 0, 0, 2, 2);
    box.set_visible(false);
    RenderSurface target;
    target.resize(2, 2);
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 0, 0), 0);
}

TEST(Drawing, ClipNodeKeepsChildrenInsideItsRectangle) {
    Node root;
    auto& clip = add<ClipNode>(root);
    clip.set_borders({2, 0}, {2, 0});
    auto& wide = colour_child(clip, {255, 0, 0});
    wide.set_borders({-2, 0}, {-2, 0}); // wider than the clip on both sides
    place(root, 0, 0, 8, 1);
    ASSERT_EQ(wide.width(), 8);

    RenderSurface target;
    target.resize(8, 1);
    root.draw_node(target, {});
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(at(target, x, 0), (x >= 2 && x < 6) ? red : 0) << x;
    EXPECT_EQ(target.clip_depth(), 0u);
    EXPECT_EQ(target.clip(), (Rect{0, 0, 8, 1}));
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
    place(root, 0, 0, 6, 2);

    RenderSurface target;
    target.resize(6, 2);
    root.draw_node(target, {});
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(at(target, x, 0), x < 2 ? red : 0) << x;

    // Given room, the same child is drawn.
    place(root, 0, 0, 6, 3);
    target.resize(6, 3);
    fill_pixel(target, {}, {6, 3}, 0);
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 5, 2), red);
}

TEST(Drawing, ChildrenAreDrawnRelativeToTheOrigin) {
    Node root;
    auto& box = colour_child(root, {255, 0, 0});
    box.set_anchor(ScaleType::MinSide, ScaleType::MinSide);
    box.set_design_size({1, 1});
    box.set_borders({1, 0}, {});
    place(root, 100, 100, 3, 1);
    RenderSurface target;
    target.resize(3, 1);
    root.draw_node(target, {}); // the root's own position does not matter
    EXPECT_EQ(at(target, 0, 0), 0);
    EXPECT_EQ(at(target, 1, 0), red);
}

// --- Visibility animation -------------------------------------------------------------

namespace {

class FakeAnimation : public VisibilityAnimation {
  public:
    bool is_running() const override { return running; }
    void advance(double seconds) override {
        elapsed += seconds;
        if (elapsed >= 1.0)
            running = false;
    }
    void draw(RenderSurface& target, Point origin, const RenderSurface& cache) override {
        ++draws;
        cache_width = cache.width();
        (void)target;
        (void)origin;
    }
    void reverse() override { direction = -direction; }
    void start(AnimationDirection d, std::unique_ptr<Blender> blender) override {
        running = true;
        elapsed = 0;
        direction = static_cast<int>(d);
        had_blender = blender != nullptr;
    }
    bool running = false;
    double elapsed = 0;
    int direction = 0;
    int draws = 0;
    int cache_width = 0;
    bool had_blender = false;
};

} // namespace

TEST(VisibilityAnimation, HidingPlaysOnTheCachedPictureAndReverses) {
    Node root;
    Node& panel = add<Node>(root);
    colour_child(panel, {255, 0, 0});
    auto animation = std::make_unique<FakeAnimation>();
    FakeAnimation& fake = *animation;
    panel.set_visibility_animation(std::move(animation));
    place(root, 0, 0, 5, 5);

    panel.set_visible_animated(false);
    EXPECT_FALSE(panel.is_visible());
    EXPECT_TRUE(fake.running);
    EXPECT_EQ(fake.direction, -1);
    EXPECT_FALSE(fake.had_blender);

    RenderSurface target;
    target.resize(5, 5);
    root.draw_node(target, {});
    EXPECT_EQ(fake.draws, 1);
    EXPECT_EQ(fake.cache_width, 5);
    EXPECT_EQ(at(target, 2, 2), 0); // only the animation drew

    panel.set_visible_animated(true); // while running: turn round
    EXPECT_TRUE(panel.is_visible());
    EXPECT_EQ(fake.direction, 1);

    root.tick(0.5);
    EXPECT_TRUE(root.redraw_needed());
    root.tick(0.6);
    EXPECT_FALSE(fake.running);
    EXPECT_EQ(panel.cache_surface().width(), 5); // shown: the picture may stay
    root.draw_node(target, {});
    EXPECT_EQ(at(target, 2, 2), red);

    panel.set_visible_animated(true); // already visible: nothing
    EXPECT_FALSE(fake.running);
}

TEST(VisibilityAnimation, FinishedHideReleasesTheCache) {
    Node root;
    Node& panel = add<Node>(root);
    auto animation = std::make_unique<FakeAnimation>();
    FakeAnimation& fake = *animation;
    panel.set_visibility_animation(std::move(animation));
    panel.set_cache(true, 100);
    place(root, 0, 0, 4, 4);
    panel.set_visible_animated(false);
    EXPECT_TRUE(fake.had_blender);
    EXPECT_EQ(panel.cache_surface().width(), 4);
    root.tick(2.0);
    EXPECT_TRUE(panel.cache_surface().empty());
}

TEST(VisibilityAnimation, UnknownWordsMakeNoAnimation) {
    EXPECT_EQ(create_visibility_animation(u"spin"), nullptr);
}
