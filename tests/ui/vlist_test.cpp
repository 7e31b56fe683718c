// The virtual list as a user drives it: flings, springs, drags, taps,
// keyboard focus, element reuse and animated heights; and the pure motion
// rules underneath.
#include "ui/vlist.h"

#include "frame_png.h"
#include "node_test_support.h"
#include "text_test_support.h"
#include "ui/basic_nodes.h"
#include "ui/key_names.h"
#include "ui/list_physics.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;
using telvara::ui::test::named;

namespace lp = telvara::ui::list_physics;

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr std::int32_t kRow = 40;

// Rows of a fixed height with the three state children.
struct Rows : ListAdapter {
    std::int32_t count = 100;
    std::vector<std::int32_t> clicks;
    int binds = 0;

    std::int32_t item_count() const override { return count; }
    std::unique_ptr<ListElement> create_element() override {
        auto element = std::make_unique<ListElement>();
        named(*element, u"#vlist_normal");
        named(*element, u"#vlist_pressed");
        named(*element, u"#vlist_selected");
        element->set_element_size(kRow);
        return element;
    }
    void bind_element(ListElement&, std::int32_t) override { ++binds; }
    void element_clicked(VirtualList&, std::int32_t index) override { clicks.push_back(index); }
};

PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y) {
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

KeyEvent key_event(std::int32_t code, bool pressed) {
    KeyEvent event;
    event.code = code;
    event.pressed = pressed;
    return event;
}

// A finger drag that leaves the list resting between two rows.
void drag_list(Node& frame, std::int32_t from, std::int32_t to) {
    frame.on_touch(pen(PointerKind::Down, 100, from));
    frame.on_touch(pen(PointerKind::Move, 100, to));
    frame.on_touch(pen(PointerKind::Up, 100, to));
}

// Which state child an element shows.
WString look_of(const ListElement& element) {
    WString shown;
    for (const char16_t* name : {u"#vlist_normal", u"#vlist_pressed", u"#vlist_selected"}) {
        const Node* child = element.find(name);
        if (child && child->is_visible())
            shown += name;
    }
    return shown;
}

class ListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list = &add<VirtualList>(screen);
        list->set_scroll_borders(10, 6);
        list->set_adapter(&rows);
        screen.place_x(0, 240);
        screen.place_y(0, 320);
    }
    void run(double seconds) {
        for (double t = 0; t < seconds - 1e-9; t += kFrame)
            screen.tick(kFrame);
    }
    // Drags the finger from y0 to y1 in `steps` moves, one frame apart.
    void drag(std::int32_t y0, std::int32_t y1, int steps, bool release = true) {
        screen.on_touch(pen(PointerKind::Down, 100, y0));
        for (int i = 1; i <= steps; ++i) {
            screen.tick(kFrame);
            screen.on_touch(pen(PointerKind::Move, 100, y0 + (y1 - y0) * i / steps));
        }
        if (release)
            screen.on_touch(pen(PointerKind::Up, 100, y1));
    }
    void tap(std::int32_t y) {
        screen.on_touch(pen(PointerKind::Down, 100, y));
        screen.on_touch(pen(PointerKind::Up, 100, y));
    }

    Node screen;
    Rows rows;
    VirtualList* list = nullptr;
};

} // namespace

// --- Motion rules ---------------------------------------------------------------------

TEST(ListPhysics, FrictionCatchAndClamp) {
    EXPECT_DOUBLE_EQ(lp::friction(-100.0, lp::Catch::No), 209.0);
    EXPECT_DOUBLE_EQ(lp::friction(100.0, lp::Catch::Yes), 1045.0);
    EXPECT_DOUBLE_EQ(lp::clamp_fling(5000.0), 2000.0);
    EXPECT_DOUBLE_EQ(lp::clamp_fling(-2500.0), -2000.0);
    EXPECT_DOUBLE_EQ(lp::clamp_fling(123.0), 123.0);
    EXPECT_DOUBLE_EQ(lp::clamp_fling(std::nan("")), 0.0);
    EXPECT_DOUBLE_EQ(lp::move_toward(10.0, 0.0, 4.0), 6.0);
    EXPECT_DOUBLE_EQ(lp::move_toward(2.0, 0.0, 4.0), 0.0);
}

TEST(ListPhysics, DragResistanceFallsToNothingAtHalfTheHeight) {
    lp::Bounds bounds;
    bounds.list_height = 300;
    bounds.content_height = 3000;
    bounds.last_item_visible = false;
    lp::Motion motion{0.0, 0.0};
    EXPECT_DOUBLE_EQ(lp::drag_factor(5.0, motion, bounds), 1.0);
    motion.offset = 75.0; // a quarter of the height beyond the top
    EXPECT_DOUBLE_EQ(lp::drag_factor(5.0, motion, bounds), 0.5);
    EXPECT_DOUBLE_EQ(lp::drag_factor(-5.0, motion, bounds), 1.0) << "pushing back is free";
    motion.offset = 150.0;
    EXPECT_DOUBLE_EQ(lp::drag_factor(5.0, motion, bounds), 0.0);
    motion.offset = 400.0;
    EXPECT_DOUBLE_EQ(lp::drag_factor(5.0, motion, bounds), 0.0);
    // At the end: pulling up beyond the bottom.
    bounds.last_item_visible = true;
    bounds.first_item_at_top = false;
    motion.offset = -2700.0 - 75.0;
    EXPECT_DOUBLE_EQ(lp::drag_factor(-5.0, motion, bounds), 0.5);
}

TEST(ListPhysics, NoRowsRestAtTheTopBorder) {
    lp::Bounds bounds;
    bounds.border_min = 12;
    bounds.has_rows = false;
    lp::Motion motion{-40.0, 500.0};
    lp::advance(motion, bounds, kFrame, lp::Pen::Up, lp::Catch::No);
    EXPECT_EQ(motion.offset, 12.0);
    EXPECT_EQ(motion.velocity, 0.0);
}

// --- Flinging ------------------------------------------------------------------------------

TEST_F(ListTest, FlingToTheTopOvershootsThenReturnsAtFourHundredPixelsPerSecond) {
    list->scroll_to_item(3); // 120 px below the top
    EXPECT_EQ(list->first_visible_index(), 3);
    list->set_velocity(2000.0);
    double highest = -1e9;
    std::vector<double> returning; // offsets while gliding back with no velocity
    for (int frame = 0; frame < 240; ++frame) {
        screen.tick(kFrame);
        if (list->first_visible_index() == 0)
            highest = std::max(highest, list->scroll_offset());
        if (list->velocity() == 0.0 && list->scroll_offset() > 10.0)
            returning.push_back(list->scroll_offset());
    }
    EXPECT_GT(highest, 10.0) << "the fling carries the content past the top border";
    EXPECT_LT(highest, 320.0) << "the spring stops it within the list's height";
    ASSERT_GE(returning.size(), 3u);
    for (std::size_t i = 1; i + 1 < returning.size(); ++i)
        EXPECT_NEAR(returning[i - 1] - returning[i], 400.0 * kFrame, 1e-6);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0) << "rests at scroll_border_min";
    EXPECT_EQ(list->first_visible_index(), 0);
    EXPECT_TRUE(list->is_at_rest());
}

TEST_F(ListTest, FlingUpStopsAtTheEndWithTheBottomBorder) {
    rows.count = 20;
    list->data_changed();
    list->scroll_to_item(15);
    EXPECT_EQ(list->last_visible_index(), 19);
    list->set_velocity(-2000.0);
    run(5.0);
    EXPECT_EQ(list->last_visible_index(), 19);
    const ListElement* last = list->element_for(19);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->y() + last->height(), 320 - 6) << "the last row rests above the bottom gap";
    EXPECT_EQ(list->velocity(), 0.0);
}

TEST_F(ListTest, ReleaseVelocityIsClampedAndFollowsTheFinger) {
    rows.count = 1000;
    list->data_changed();
    list->scroll_to_item(500);
    // 200 px up in 3 frames: far beyond 2000 px/s.
    drag(300, 100, 4);
    EXPECT_DOUBLE_EQ(list->velocity(), -2000.0);
    run(3.0);
    EXPECT_GT(list->first_visible_index(), 505) << "the content kept moving up after release";

    // A slow drag down releases with its own (positive) speed.
    const std::int32_t before = list->first_visible_index();
    drag(100, 160, 6);
    EXPECT_GT(list->velocity(), 0.0);
    EXPECT_LT(list->velocity(), 2000.0);
    run(3.0);
    EXPECT_LT(list->first_visible_index(), before);
}

TEST_F(ListTest, DraggingBeyondTheTopMeetsGrowingResistance) {
    // Already at the top: every pixel pulled down is overshoot.
    drag(20, 20 + 1000, 50, false);
    const double overshoot = list->scroll_offset() - 10.0;
    EXPECT_GT(overshoot, 100.0);
    EXPECT_LE(overshoot, 160.0 + 1e-6) << "never beyond half the list height";
    EXPECT_EQ(list->velocity(), 0.0) << "the finger, not inertia, moves a dragged list";
    screen.on_touch(pen(PointerKind::Up, 100, 1020));
    EXPECT_EQ(list->velocity(), 0.0) << "no fling from beyond a border";
    run(2.0);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0);
}

// --- Taps -------------------------------------------------------------------------------------

TEST_F(ListTest, TapOnARestingListClicksTheRowUnderTheFinger) {
    // Rows start at the 10 px border: row 2 covers 90..130.
    screen.on_touch(pen(PointerKind::Down, 100, 100));
    ListElement* pressed = list->pressed_element();
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(pressed->index(), 2);
    EXPECT_EQ(look_of(*pressed), u"#vlist_pressed");
    screen.on_touch(pen(PointerKind::Up, 102, 104));
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{2});
    EXPECT_EQ(look_of(*pressed), u"#vlist_normal");
}

TEST_F(ListTest, TapOnAMovingListOnlyCatchesIt) {
    list->scroll_to_item(50);
    list->set_velocity(-1500.0);
    screen.tick(kFrame);
    screen.on_touch(pen(PointerKind::Down, 100, 100));
    EXPECT_EQ(list->pressed_element(), nullptr);
    const double before = list->velocity();
    screen.tick(kFrame);
    // Caught: friction is five times stronger than for a free glide.
    const double free_loss = lp::friction(before, lp::Catch::No) * kFrame;
    EXPECT_GT(list->velocity() - before, 4.0 * free_loss);
    screen.on_touch(pen(PointerKind::Up, 100, 100));
    EXPECT_TRUE(rows.clicks.empty());
    EXPECT_EQ(list->velocity(), 0.0) << "a touch without movement stops the list";
}

TEST_F(ListTest, MovingTheFingerTurnsAPressIntoADrag) {
    screen.on_touch(pen(PointerKind::Down, 100, 100));
    ASSERT_NE(list->pressed_element(), nullptr);
    screen.on_touch(pen(PointerKind::Move, 100, 97)); // trembling: still a tap
    EXPECT_NE(list->pressed_element(), nullptr);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0);
    screen.on_touch(pen(PointerKind::Move, 100, 60));
    EXPECT_EQ(list->pressed_element(), nullptr);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0 - 40.0);
    screen.on_touch(pen(PointerKind::Up, 100, 60));
    EXPECT_TRUE(rows.clicks.empty());
}

TEST_F(ListTest, ReleaseOverAnotherRowCancelsAndHidingReleasesThePress) {
    // Rows that take their own presses never get the pressed look.
    screen.on_touch(pen(PointerKind::Down, 100, 100));
    ListElement* pressed = list->pressed_element();
    ASSERT_NE(pressed, nullptr);
    list->set_visible(false);
    EXPECT_EQ(list->pressed_element(), nullptr);
    EXPECT_EQ(look_of(*pressed), u"#vlist_normal");
    list->set_visible(true);
    screen.on_touch(pen(PointerKind::Up, 100, 100));
    EXPECT_TRUE(rows.clicks.empty());
}

// --- Selection and keys ----------------------------------------------------------------------

TEST_F(ListTest, SelectedRowShowsItsLookUnlessPressed) {
    list->set_selected_index(1);
    ASSERT_NE(list->element_for(1), nullptr);
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_selected");
    EXPECT_EQ(look_of(*list->element_for(0)), u"#vlist_normal");
    screen.on_touch(pen(PointerKind::Down, 100, 60)); // row 1
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_pressed");
    screen.on_touch(pen(PointerKind::Up, 100, 60));
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_selected");
}

TEST_F(ListTest, KeyboardFocusGlidesOneItemPerPressAndEnterClicks) {
    list->scroll_to_item(7);
    EXPECT_TRUE(list->on_key(key_event(key::Down, true)));
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0) << "starts on the first visible item";
    list->on_key(key_event(key::Down, false));
    run(0.5);
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0);

    list->on_key(key_event(key::Down, true));
    list->on_key(key_event(key::Down, false));
    EXPECT_DOUBLE_EQ(list->focus_speed(), 200.0);
    screen.tick(0.1); // 200 px/s over 40 px rows: half way
    EXPECT_NEAR(list->focus_position(), 7.5, 1e-9);
    run(0.5);
    EXPECT_DOUBLE_EQ(list->focus_position(), 8.0) << "comes to rest on a whole item";
    EXPECT_EQ(list->focus_speed(), 0.0);

    list->on_key(key_event(key::Enter, true));
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{8});

    // Held keys speed up; the release brings the speed back to one step.
    list->on_key(key_event(key::Up, true));
    list->on_key(key_event(key::Up, true));
    EXPECT_DOUBLE_EQ(list->focus_speed(), -400.0);
    list->on_key(key_event(key::Up, false));
    EXPECT_DOUBLE_EQ(list->focus_speed(), -200.0);
    run(1.0);
    EXPECT_DOUBLE_EQ(list->focus_position(), 6.0);
}

TEST_F(ListTest, FocusGlidingDownKeepsTheItemInView) {
    list->on_key(key_event(key::Down, true)); // item 0
    for (int i = 0; i < 12; ++i) {
        list->on_key(key_event(key::Down, true));
        list->on_key(key_event(key::Down, false));
        run(0.3);
    }
    EXPECT_DOUBLE_EQ(list->focus_position(), 12.0);
    const ListElement* focused = list->element_for(12);
    ASSERT_NE(focused, nullptr);
    EXPECT_GE(focused->y(), 0);
    EXPECT_LE(focused->y() + focused->height(), 320);
}

TEST_F(ListTest, DownStopsAtTheLastItem) {
    rows.count = 2;
    list->data_changed();
    list->on_key(key_event(key::Down, true));
    for (int i = 0; i < 5; ++i) {
        list->on_key(key_event(key::Down, true));
        list->on_key(key_event(key::Down, false));
        run(0.3);
    }
    EXPECT_DOUBLE_EQ(list->focus_position(), 1.0);
}

// --- Pool and heights ---------------------------------------------------------------------------

TEST_F(ListTest, ScrollingTenThousandRowsReusesABoundedPool) {
    rows.count = 10000;
    list->data_changed();
    std::size_t largest = 0;
    for (int gesture = 0; gesture < 60; ++gesture) {
        drag(300, 20, 5);
        for (int frame = 0; frame < 90; ++frame) {
            screen.tick(kFrame);
            largest = std::max(largest, list->pool_size());
        }
    }
    EXPECT_GT(list->first_visible_index(), 1000) << "the gestures went a long way";
    EXPECT_LE(largest, std::size_t(320 / kRow + 3));
    EXPECT_EQ(list->rows().size(), list->pool_size() - (list->pool_size() - list->rows().size()));
    // What is bound is exactly the stretch in view.
    const std::int32_t first = list->first_visible_index();
    for (std::size_t i = 0; i < list->rows().size(); ++i)
        EXPECT_EQ(list->rows()[i]->index(), list->rows()[0]->index() + std::int32_t(i));
    EXPECT_LE(list->rows()[0]->index(), first);
    list->scroll_to_item(9999);
    EXPECT_EQ(list->last_visible_index(), 9999);
    EXPECT_LE(list->pool_size(), std::size_t(320 / kRow + 3));
}

TEST_F(ListTest, HeightsAnimateAtTwoHundredPixelsPerSecond) {
    ListElement* row = list->element_for(1);
    ASSERT_NE(row, nullptr);
    row->set_target_height(80);
    screen.tick(0.1);
    EXPECT_DOUBLE_EQ(row->current_height(), 60.0);
    EXPECT_EQ(list->element_for(2)->y(), 10 + 40 + 60) << "rows below follow";
    screen.tick(0.2);
    EXPECT_DOUBLE_EQ(row->current_height(), 80.0);
}

TEST_F(ListTest, RemovedItemShrinksAwayAndTheRestMoveUp) {
    const std::size_t pool = list->pool_size();
    list->item_removed(1);
    EXPECT_EQ(list->item_count(), 99);
    ASSERT_NE(list->element_for(1), nullptr);
    const std::int32_t y_before = list->element_for(1)->y();
    screen.tick(0.1);
    EXPECT_EQ(list->element_for(1)->y(), y_before - 20) << "half way after 0.1 s";
    run(0.3);
    EXPECT_EQ(list->element_for(1)->y(), 10 + 40);
    EXPECT_LE(list->pool_size(), pool + 1) << "the shrunk element went back to the pool";
    // Fewer items through a data change: rows past the end shrink away too.
    rows.count = 3;
    list->data_changed();
    run(0.5);
    EXPECT_EQ(list->rows().size(), 3u);
    EXPECT_EQ(list->last_visible_index(), 2);
}

TEST_F(ListTest, InsertedItemGrowsInPlaceAndTheRestMoveDown) {
    list->set_selected_index(3);
    ListElement* old_second = list->element_for(1);
    ASSERT_NE(old_second, nullptr);
    list->item_inserted(1);
    EXPECT_EQ(list->item_count(), 101);
    EXPECT_EQ(list->selected_index(), 4) << "the selection follows its item";
    EXPECT_EQ(list->element_for(2), old_second) << "the old item 1 is item 2 now";
    ListElement* added = list->element_for(1);
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, old_second);
    EXPECT_EQ(added->y(), 10 + 40);
    EXPECT_EQ(old_second->y(), 10 + 40) << "the new row starts with no height";
    screen.tick(0.1);
    EXPECT_EQ(old_second->y(), 10 + 40 + 20) << "half grown after 0.1 s";
    run(0.3);
    EXPECT_EQ(added->y(), 10 + 40);
    EXPECT_EQ(old_second->y(), 10 + 80);
}

TEST_F(ListTest, InsertedItemOutsideTheViewMovesNothingOnScreen) {
    list->scroll_to_item(20);
    ListElement* top = list->element_for(20);
    ASSERT_NE(top, nullptr);
    const std::int32_t y_before = top->y();
    list->item_inserted(5); // above the view
    EXPECT_EQ(list->element_for(21), top);
    EXPECT_EQ(top->y(), y_before);
    EXPECT_EQ(list->first_visible_index(), 21);
    list->item_inserted(90); // below the view
    EXPECT_EQ(list->item_count(), 102);
    EXPECT_EQ(top->y(), y_before);
    // Out of range: ignored.
    list->item_inserted(-1);
    list->item_inserted(103);
    EXPECT_EQ(list->item_count(), 102);
    // At the very end of a short list: bound at once, like any row in reach.
    rows.count = 2;
    list->data_changed();
    run(0.5);
    rows.count = 3;
    list->item_inserted(2);
    EXPECT_NE(list->element_for(2), nullptr);
}

TEST_F(ListTest, TheKeyboardFocusStaysOnItsItemWhenItemsComeAndGo) {
    list->scroll_to_item(7);
    list->on_key(key_event(key::Down, true));
    list->on_key(key_event(key::Down, false));
    run(0.5);
    ASSERT_DOUBLE_EQ(list->focus_position(), 7.0);
    list->item_removed(2);
    EXPECT_DOUBLE_EQ(list->focus_position(), 6.0);
    list->item_inserted(0);
    list->item_inserted(50); // below: nothing moves
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0);
    run(0.5); // no glide: it rests where its item is
    list->on_key(key_event(key::Enter, true));
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{7});
}

TEST_F(ListTest, TheFocusedRowIsKeptClearOfTheBottomBorder) {
    // 320 high, borders 10 and 6: rows at 40 px; gliding down to the last
    // whole row must leave the bottom border free.
    for (int i = 0; i < 8; ++i) {
        list->on_key(key_event(key::Down, true));
        list->on_key(key_event(key::Down, false));
        run(0.5);
    }
    const ListElement* focused = list->element_for(std::int32_t(list->focus_position()));
    ASSERT_NE(focused, nullptr);
    EXPECT_LE(focused->y() + focused->height(), 320 - 6);
}

TEST_F(ListTest, AFingerThatStopsBeforeLiftingFlingsNothing) {
    drag(300, 100, 5, false);
    run(0.5); // the finger rests on the screen
    screen.on_touch(pen(PointerKind::Up, 100, 100));
    EXPECT_EQ(list->velocity(), 0.0);
    // The same drag lifted at once flings.
    run(2.0);
    drag(300, 100, 5);
    EXPECT_LT(list->velocity(), 0.0);
}

TEST_F(ListTest, AListThatShrinksBelowTheViewShowsItsEndAtOnce) {
    list->scroll_to_item(80);
    rows.count = 10;
    list->data_changed();
    const ListElement* last = list->element_for(9);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->y() + last->height(), 320 - 6) << "the end rests on the bottom border";
    EXPECT_EQ(list->first_visible_index(), 2);
    run(0.5);
    EXPECT_EQ(last->y() + last->height(), 320 - 6) << "and stays there";
}

TEST_F(ListTest, GrowingListAsksForItsContentHeight) {
    rows.count = 3;
    list->set_grow(true);
    list->set_adapter(&rows);
    EXPECT_EQ(list->get_measure_y().preferred, 10 + 3 * kRow + 6);
    list->element_for(0)->set_target_height(60);
    screen.tick(0.05);
    EXPECT_TRUE(list->layout_needed()) << "a height change asks the parents for a new layout";
    EXPECT_EQ(list->get_measure_y().preferred, 10 + 3 * kRow + 10 + 6);
}

TEST_F(ListTest, EmptyListRestsAtTheTopBorderAndIgnoresKeys) {
    rows.count = 0;
    list->data_changed();
    list->set_velocity(300.0);
    run(0.2);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0);
    EXPECT_FALSE(list->on_key(key_event(key::Down, true)));
    tap(100);
    EXPECT_TRUE(rows.clicks.empty());
}

// --- Shots: TELVARA_FRAME_DIR=/some/folder ---------------------------------------------------

namespace {

struct Contacts : ListAdapter {
    explicit Contacts(std::int32_t scale) : scale(scale) {}
    std::int32_t scale = 1;
    std::int32_t item_count() const override { return 200; }
    std::unique_ptr<ListElement> create_element() override {
        auto row = std::make_unique<ListElement>();
        row->set_element_size(48 * scale);
        auto normal = std::make_unique<ColorNode>();
        normal->set_name(u"#vlist_normal");
        normal->set_color({255, 255, 255, 255});
        row->append_child(std::move(normal));
        auto pressed = std::make_unique<ColorNode>();
        pressed->set_name(u"#vlist_pressed");
        pressed->set_color({0xDB, 0xE8, 0xFB, 255});
        row->append_child(std::move(pressed));
        auto divider = std::make_unique<ColorNode>();
        divider->set_color({0xE1, 0xE5, 0xEA, 255});
        divider->set_anchor(ScaleType::BothSide, ScaleType::MaxSide);
        divider->set_design_size({0, 1});
        divider->set_borders({56 * scale, 0}, {0, 0});
        row->append_child(std::move(divider));
        auto icon = std::make_unique<ColorNode>();
        icon->set_color({0x1A, 0x73, 0xE8, 255});
        icon->set_anchor(ScaleType::MinSide, ScaleType::Center);
        icon->set_design_size({32 * scale, 32 * scale});
        icon->set_borders({12 * scale, 0}, {0, 0});
        row->append_child(std::move(icon));
        for (int line = 0; line < 2; ++line) {
            auto text = std::make_unique<TextNode>();
            text->set_name(line == 0 ? u"name" : u"detail");
            text->set_font(test::test_font((line == 0 ? 10 : 8) * scale));
            text->set_color(line == 0 ? Colour{0x1A, 0x1F, 0x24, 255}
                                      : Colour{0x5E, 0x6B, 0x78, 255});
            text->set_halign(HAlign::Left);
            text->set_borders({56 * scale, (line == 0 ? 6 : 26) * scale},
                              {8 * scale, (line == 0 ? 22 : 4) * scale});
            row->append_child(std::move(text));
        }
        return row;
    }
    void bind_element(ListElement& element, std::int32_t index) override {
        static const char* names[] = {"Ada Lovelace",   "Alan Turing",  "Barbara Liskov",
                                      "Claude Shannon", "Donald Knuth", "Edsger Dijkstra",
                                      "Frances Allen",  "Grace Hopper"};
        static_cast<TextNode*>(element.find(u"name"))
            ->set_text(from_utf8(std::string(names[index % 8]) + " " + std::to_string(index)));
        static_cast<TextNode*>(element.find(u"detail"))
            ->set_text(from_utf8("mobile +44 7700 900" + std::to_string(100 + index)));
    }
    void element_clicked(VirtualList&, std::int32_t) override {}
};

} // namespace

TEST(ListShots, ScrolledListWithAPressedRow) {
    for (const std::int32_t scale : {1, 2}) {
        Contacts contacts(scale);
        Node frame;
        VirtualList& shown = add<VirtualList>(frame);
        shown.set_adapter(&contacts);
        frame.place_x(0, 240 * scale);
        frame.place_y(0, 320 * scale);
        shown.scroll_to_item(3);
        drag_list(frame, 200 * scale, 180 * scale);
        frame.on_touch(pen(PointerKind::Down, 100 * scale, 120 * scale));
        ASSERT_NE(shown.pressed_element(), nullptr);
        RenderSurface surface;
        surface.resize(240 * scale, 320 * scale);
        frame.draw_node(surface, {});
        test::write_frame_png(surface, "list_" + std::to_string(240 * scale) + "x" +
                                           std::to_string(320 * scale));
        // Rows are drawn only inside the list, and the pressed one in its colour.
        EXPECT_EQ(surface.row(120 * scale)[4], to_565(0xDB, 0xE8, 0xFB));
    }
}
