// The multinode slide show and the progress bar.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/multinode.h"
#include "ui/progress_node.h"

#include <gtest/gtest.h>

#include <limits>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

// Which children are visible, as names.
WString visible_children(const Node& node) {
    WString names;
    for (std::size_t i = 0; i < node.child_count(); ++i)
        if (node.child(i).is_visible())
            names += node.child(i).name();
    return names;
}

void run(Node& node, double seconds, double step = 0.1) {
    for (double done = 0.0; done + 1e-9 < seconds; done += step)
        node.tick(step);
}

// "c", a button, takes the show's delay of 3 s.
skinc::SkinModel multinode_skin() {
    return xml_skin(R"(<node id="form">
      <multinode id="show" delay="3" movie="1">
        <node id="a" delay="1.0"/><node id="b" delay="2.0"/><button id="c"/></multinode>
      <multinode id="still"><node id="x"/><node id="y"/></multinode></node>)");
}

class MultinodeSkin : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(screen.load_from_skin(built.skin, u"form"));
        show = dynamic_cast<Multinode*>(screen.find(u"show"));
        still = dynamic_cast<Multinode*>(screen.find(u"still"));
        ASSERT_TRUE(show && still);
    }
    InstalledSkin built{multinode_skin()};
    Node screen;
    Multinode* show = nullptr;
    Multinode* still = nullptr;
};

} // namespace

TEST_F(MultinodeSkin, MovieAdvancesByEachChildsDelayAndWrapsAround) {
    EXPECT_EQ(visible_children(*still), u"x");
    EXPECT_TRUE(show->is_playing());
    EXPECT_FALSE(still->is_playing());
    EXPECT_DOUBLE_EQ(still->delay_of(0), Multinode::kNoDelay);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(show->delay_of(i), 1.0 + double(i)) << "the button takes the default";
    // Each row: seconds run (in steps of 0.1 s), the child shown after.
    const std::pair<double, const char16_t*> rows[] = {{0.0, u"a"}, {0.9, u"a"}, {0.1, u"b"},
                                                       {1.9, u"b"}, {0.1, u"c"}, {3.0, u"a"}};
    for (const auto& [seconds, shown] : rows) {
        run(screen, seconds);
        EXPECT_EQ(visible_children(*show), shown) << seconds;
    }
    EXPECT_EQ(visible_children(*still), u"x") << "without movie nothing moves";
}

TEST(Multinode, ShowAndRemoveKeepOneChildVisible) {
    Multinode multi;
    for (const char16_t* name : {u"a", u"b", u"c"})
        named(multi, name);
    EXPECT_EQ(visible_children(multi), u"a");
    multi.show(2);
    multi.show(7); // ignored
    EXPECT_EQ(visible_children(multi), u"c");
    multi.show_next();
    EXPECT_EQ(visible_children(multi), u"a");
    // Removing the shown child shows the one that takes its place.
    multi.remove_child(&multi.child(0), 0);
    EXPECT_EQ(visible_children(multi), u"b");
    EXPECT_EQ(multi.current(), 0u);
    multi.show(1);
    multi.remove_child(&multi.child(0), 0);
    EXPECT_EQ(multi.current(), 0u);
    EXPECT_EQ(visible_children(multi), u"c");
    named(multi, u"d");
    multi.set_default_delay(0.0); // a non-positive delay never advances
    multi.set_playing(true);
    run(multi, 10.0);
    EXPECT_EQ(visible_children(multi), u"c");
}

TEST(Multinode, DelayText) {
    EXPECT_DOUBLE_EQ(parse_delay(u"1.5"), 1.5);
    EXPECT_DOUBLE_EQ(parse_delay(u"2"), 2.0);
    for (const char16_t* bad : {u"", u"1.5s", u"nan", u"\u0661"})
        EXPECT_DOUBLE_EQ(parse_delay(bad), Multinode::kNoDelay) << to_utf8(bad);
}

TEST(Progress, LineFollowsTheValueWithinItsPlace) {
    ProgressNode bar;
    Node& line = named(bar, u"#line");
    line.set_borders({2, 1}, {2, 1});
    place(bar, 10, 0, 104, 10);
    EXPECT_EQ(line.x(), 12);
    EXPECT_EQ(line.width(), 0);
    const struct {
        double set, value;
        std::int32_t width;
    } rows[] = {{0.5, 0.5, 50}, {2.0, 1.0, 100}, {std::numeric_limits<double>::quiet_NaN(), 0, 0}};
    for (const auto& r : rows) {
        bar.set_value(r.set);
        EXPECT_DOUBLE_EQ(bar.value(), r.value);
        EXPECT_EQ(line.x(), 12);
        EXPECT_EQ(line.width(), r.width);
    }
    bar.set_value(0.25);
    bar.place_x(0, 204);
    EXPECT_EQ(line.x(), 2) << "a new place keeps the share";
    EXPECT_EQ(line.width(), 50);
    ProgressNode bare; // without a line values are kept
    bare.set_value(0.3);
    bare.place_x(0, 10);
    EXPECT_DOUBLE_EQ(bare.value(), 0.3);
}

TEST_F(MultinodeSkin, ButtonChildReportsThroughTheMultinode) {
    struct Clicks : ButtonListener {
        void on_click(ButtonNode& button) override { clicked = &button; }
        ButtonNode* clicked = nullptr;
    } clicks;
    auto* button = dynamic_cast<ButtonNode*>(show->find(u"c"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->listener(), show);
    show->set_listener(&clicks);
    button->set_bound_key(9);
    screen.on_key({9, true});
    screen.on_key({9, false});
    EXPECT_EQ(clicks.clicked, nullptr) << "hidden behind the shown child";
    show->show(2);
    screen.on_key({9, true});
    screen.on_key({9, false});
    EXPECT_EQ(clicks.clicked, button);
}
