// The multinode slide show and the progress bar.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/button_node.h"
#include "ui/multinode.h"
#include "ui/node_registry.h"
#include "ui/progress_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace telvara;
using namespace telvara::ui;
using skinc::NodeModel;
using skinc::SkinModel;
using telvara::ui::test::add;
using telvara::ui::test::named;

using telvara::ui::test::typed;

namespace {

// Only the types these skins use: other tests register names of their own.
void ensure_types() {
    test::ensure_types({{u"node", &make_node<Node>},
                        {u"button", &make_node<ButtonNode>},
                        {u"multinode", &make_node<Multinode>},
                        {u"progress", &make_node<ProgressNode>}});
}

NodeModel with_delay(SkinModel& model, NodeModel node, const char16_t* delay) {
    node.strings.push_back({u"delay", model.intern_string(delay)});
    return node;
}

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

struct Clicks : ButtonListener {
    void on_click(ButtonNode& button) override { clicked = &button; }
    ButtonNode* clicked = nullptr;
};

class MultinodeSkin : public ::testing::Test {
  protected:
    void SetUp() override {
        ensure_types();
        SkinModel model;
        NodeModel movie = typed(model, u"multinode", u"show");
        movie.integers = {{u"movie", 1}};
        movie = with_delay(model, movie, u"3");
        movie.children = {with_delay(model, typed(model, u"node", u"a"), u"1.0"),
                          with_delay(model, typed(model, u"node", u"b"), u"2.0"),
                          typed(model, u"button", u"c")}; // takes the default 3 s
        NodeModel pair = typed(model, u"multinode", u"still");
        pair.children = {typed(model, u"node", u"x"), typed(model, u"node", u"y")};
        NodeModel form = typed(model, u"node", u"form");
        form.children = {movie, pair};
        model.nodes.push_back({u"form", form});
        impl = test::from_bytes(test::written(model));
        ASSERT_TRUE(skin.install(*impl));
        ASSERT_TRUE(screen.load_from_skin(skin, u"form"));
        show = dynamic_cast<Multinode*>(screen.find(u"show"));
        still = dynamic_cast<Multinode*>(screen.find(u"still"));
        ASSERT_NE(show, nullptr);
        ASSERT_NE(still, nullptr);
    }

    std::unique_ptr<PropertiesImpl> impl;
    Properties skin;
    Node screen;
    Multinode* show = nullptr;
    Multinode* still = nullptr;
};

} // namespace

TEST_F(MultinodeSkin, ShowsOnlyTheFirstChildAtFirst) {
    EXPECT_EQ(visible_children(*show), u"a");
    EXPECT_EQ(visible_children(*still), u"x");
    EXPECT_TRUE(show->is_playing());
    EXPECT_FALSE(still->is_playing());
    EXPECT_DOUBLE_EQ(show->delay_of(0), 1.0);
    EXPECT_DOUBLE_EQ(show->delay_of(1), 2.0);
    EXPECT_DOUBLE_EQ(show->delay_of(2), 3.0);
    EXPECT_DOUBLE_EQ(still->delay_of(0), Multinode::kNoDelay);
}

TEST_F(MultinodeSkin, MovieAdvancesByEachChildsDelayAndWrapsAround) {
    run(screen, 0.9);
    EXPECT_EQ(visible_children(*show), u"a");
    run(screen, 0.1); // ten steps of 0.1 s make one second
    EXPECT_EQ(visible_children(*show), u"b");
    run(screen, 1.9);
    EXPECT_EQ(visible_children(*show), u"b");
    run(screen, 0.1);
    EXPECT_EQ(visible_children(*show), u"c");
    run(screen, 3.0);
    EXPECT_EQ(visible_children(*show), u"a");
    // Without movie nothing moves.
    EXPECT_EQ(visible_children(*still), u"x");
}

TEST_F(MultinodeSkin, UnevenFramesKeepThePace) {
    run(screen, 0.7, 0.35); // 0.7 s
    EXPECT_EQ(visible_children(*show), u"a");
    run(screen, 0.35, 0.35); // 1.05 s: b, 0.05 s into it
    EXPECT_EQ(visible_children(*show), u"b");
    run(screen, 1.95, 0.05);
    EXPECT_EQ(visible_children(*show), u"c");
}

TEST_F(MultinodeSkin, HiddenShowDoesNotRunAndRestartsItsTimeWhenShown) {
    run(screen, 0.5);
    screen.set_visible(false);
    run(screen, 5.0);
    EXPECT_EQ(show->current(), 0u);
    screen.set_visible(true);
    run(screen, 0.9);
    EXPECT_EQ(visible_children(*show), u"a");
    run(screen, 0.1);
    EXPECT_EQ(visible_children(*show), u"b");
}

TEST_F(MultinodeSkin, ReloadStartsTheShowOver) {
    run(screen, 1.0);
    ASSERT_EQ(show->current(), 1u);
    ASSERT_TRUE(screen.load_from_skin(skin, u"form"));
    show = dynamic_cast<Multinode*>(screen.find(u"show"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(visible_children(*show), u"a");
    EXPECT_DOUBLE_EQ(show->delay_of(1), 2.0);
    // Loading a record into a multinode that holds children appends the new
    // ones, their delays in step: "form" holds "show" (delay 3) and "still".
    show->load(skin, skin.find_node(u"form"));
    ASSERT_EQ(show->child_count(), 5u);
    EXPECT_DOUBLE_EQ(show->delay_of(1), 2.0);
    EXPECT_DOUBLE_EQ(show->delay_of(3), 3.0);
    EXPECT_DOUBLE_EQ(show->delay_of(4), Multinode::kNoDelay);
}

TEST_F(MultinodeSkin, ButtonChildReportsThroughTheMultinode) {
    auto* button = dynamic_cast<ButtonNode*>(show->find(u"c"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->listener(), show);
    Clicks clicks;
    show->set_listener(&clicks);
    show->show(2);
    button->set_bound_key(9);
    screen.on_key({9, true});
    screen.on_key({9, false});
    EXPECT_EQ(clicks.clicked, button);
}

TEST(Multinode, ShowAndRemoveKeepOneChildVisible) {
    Multinode multi;
    named(multi, u"a");
    named(multi, u"b");
    named(multi, u"c");
    EXPECT_EQ(visible_children(multi), u"a");
    multi.show(2);
    EXPECT_EQ(visible_children(multi), u"c");
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
}

TEST(Multinode, NonPositiveDelayNeverAdvances) {
    Multinode multi;
    named(multi, u"a");
    named(multi, u"b");
    multi.set_default_delay(0.0);
    multi.set_playing(true);
    run(multi, 10.0);
    EXPECT_EQ(visible_children(multi), u"a");
}

TEST(Multinode, DelayText) {
    EXPECT_DOUBLE_EQ(parse_delay(u"1.5"), 1.5);
    EXPECT_DOUBLE_EQ(parse_delay(u"2"), 2.0);
    EXPECT_DOUBLE_EQ(parse_delay(u""), Multinode::kNoDelay);
    EXPECT_DOUBLE_EQ(parse_delay(u"1.5s"), Multinode::kNoDelay);
    EXPECT_DOUBLE_EQ(parse_delay(u"nan"), Multinode::kNoDelay);
    EXPECT_DOUBLE_EQ(parse_delay(u"\u0661"), Multinode::kNoDelay);
}

// --- Progress --------------------------------------------------------------------

TEST(Progress, LineFollowsTheValueWithinItsPlace) {
    ProgressNode bar;
    Node& line = named(bar, u"#line");
    line.set_borders({2, 1}, {2, 1});
    bar.place_x(10, 104);
    bar.place_y(0, 10);
    EXPECT_EQ(line.x(), 12);
    EXPECT_EQ(line.width(), 0);

    bar.set_value(0.5);
    EXPECT_EQ(line.x(), 12);
    EXPECT_EQ(line.width(), 50);
    bar.set_value(2.0);
    EXPECT_DOUBLE_EQ(bar.value(), 1.0);
    EXPECT_EQ(line.width(), 100);
    bar.set_value(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(bar.value(), 0.0);
    EXPECT_EQ(line.width(), 0);

    // A new place keeps the share.
    bar.set_value(0.25);
    bar.place_x(0, 204);
    EXPECT_EQ(line.x(), 2);
    EXPECT_EQ(line.width(), 50);
}

TEST(Progress, WithoutALineValuesAreKept) {
    ProgressNode bar;
    bar.set_value(0.3);
    bar.place_x(0, 10);
    EXPECT_DOUBLE_EQ(bar.value(), 0.3);
}
