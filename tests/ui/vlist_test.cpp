// The virtual list as a user drives it: flings, springs, drags, taps, keys
// and animated heights; and the press tracker's sample window.
#include "ui/vlist.h"

#include "node_test_support.h"
#include "ui/basic_nodes.h"
#include "ui/key_names.h"
#include "ui/press_tracker.h"

#include <gtest/gtest.h>

#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;
using telvara::ui::test::named;
using telvara::ui::test::pen;

namespace {

constexpr double kFrame = 1.0 / 60.0;
constexpr std::int32_t kRow = 40;

// Rows of a fixed height with the three state children.
struct Rows : ListAdapter {
    std::int32_t count = 100;
    std::vector<std::int32_t> clicks;
    std::int32_t item_count() const override { return count; }
    std::unique_ptr<ListElement> create_element() override {
        auto element = std::make_unique<ListElement>();
        for (const char16_t* name : {u"#vlist_normal", u"#vlist_pressed", u"#vlist_selected"})
            named(*element, name);
        element->set_element_size(kRow);
        return element;
    }
    void bind_element(ListElement&, std::int32_t) override {}
    void element_clicked(VirtualList&, std::int32_t index) override { clicks.push_back(index); }
};

// Which state child an element shows.
WString look_of(const ListElement& element) {
    WString shown;
    for (const char16_t* name : {u"#vlist_normal", u"#vlist_pressed", u"#vlist_selected"})
        if (const Node* child = element.find(name); child && child->is_visible())
            shown += name;
    return shown;
}

// A 240 x 320 list with scroll borders 10 and 6.
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
    void drag(std::int32_t y0, std::int32_t y1, int steps) {
        screen.on_touch(pen(PointerKind::Down, 100, y0));
        for (int i = 1; i <= steps; ++i) {
            screen.tick(kFrame);
            screen.on_touch(pen(PointerKind::Move, 100, y0 + (y1 - y0) * i / steps));
        }
    }
    void key(std::int32_t code, bool pressed = true) { list->on_key(KeyEvent{code, pressed}); }

    Node screen;
    Rows rows;
    VirtualList* list = nullptr;
};

} // namespace

TEST_F(ListTest, FlingToTheTopOvershootsThenReturnsAtFourHundredPixelsPerSecond) {
    list->scroll_to_item(3);
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
    EXPECT_GT(highest, 10.0) << "carried past the top border";
    EXPECT_LT(highest, 320.0) << "the spring stops it within the list's height";
    ASSERT_GE(returning.size(), 3u);
    for (std::size_t i = 1; i + 1 < returning.size(); ++i)
        EXPECT_NEAR(returning[i - 1] - returning[i], 400.0 * kFrame, 1e-6);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0);
    EXPECT_TRUE(list->is_at_rest());
}

TEST_F(ListTest, DraggingBeyondTheTopMeetsGrowingResistanceAndNeverFlings) {
    drag(20, 20 + 1000, 50);
    const double overshoot = list->scroll_offset() - 10.0;
    EXPECT_GT(overshoot, 100.0);
    EXPECT_LE(overshoot, 160.0 + 1e-6) << "never beyond half the list height";
    EXPECT_EQ(list->velocity(), 0.0);
    screen.on_touch(pen(PointerKind::Up, 100, 1020));
    EXPECT_EQ(list->velocity(), 0.0) << "no fling from beyond a border";
    run(2.0);
    EXPECT_DOUBLE_EQ(list->scroll_offset(), 10.0);
}

TEST_F(ListTest, TapClicksTheRowUnderTheFingerWithThePressedLook) {
    list->set_selected_index(1);
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_selected");
    EXPECT_EQ(look_of(*list->element_for(0)), u"#vlist_normal");
    // Rows start at the 10 px border: row 2 covers 90..130.
    screen.on_touch(pen(PointerKind::Down, 100, 100));
    ListElement* pressed = list->pressed_element();
    ASSERT_NE(pressed, nullptr);
    EXPECT_EQ(pressed->index(), 2);
    EXPECT_EQ(look_of(*pressed), u"#vlist_pressed");
    screen.on_touch(pen(PointerKind::Up, 102, 104));
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{2});
    EXPECT_EQ(look_of(*pressed), u"#vlist_normal");
    // The selected row shows pressed while pressed, then selected again.
    screen.on_touch(pen(PointerKind::Down, 100, 60));
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_pressed");
    screen.on_touch(pen(PointerKind::Up, 100, 60));
    EXPECT_EQ(look_of(*list->element_for(1)), u"#vlist_selected");
}

TEST_F(ListTest, KeyboardFocusGlidesOneItemPerPressAndEnterClicks) {
    list->scroll_to_item(7);
    EXPECT_TRUE(list->on_key(KeyEvent{key::Down, true}));
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0) << "starts on the first visible item";
    key(key::Down, false);
    run(0.5);
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0);
    key(key::Down);
    key(key::Down, false);
    EXPECT_DOUBLE_EQ(list->focus_speed(), 200.0);
    screen.tick(0.1); // 200 px/s over 40 px rows: half way
    EXPECT_NEAR(list->focus_position(), 7.5, 1e-9);
    run(0.5);
    EXPECT_DOUBLE_EQ(list->focus_position(), 8.0);
    EXPECT_EQ(list->focus_speed(), 0.0);
    key(key::Enter);
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{8});
    // Held keys speed up; the release brings the speed back to one step.
    key(key::Up);
    key(key::Up);
    EXPECT_DOUBLE_EQ(list->focus_speed(), -400.0);
    key(key::Up, false);
    EXPECT_DOUBLE_EQ(list->focus_speed(), -200.0);
    run(1.0);
    EXPECT_DOUBLE_EQ(list->focus_position(), 6.0);
}

TEST_F(ListTest, InsertedItemGrowsInPlaceAndTheRestMoveDown) {
    list->set_selected_index(3);
    ListElement* old_second = list->element_for(1);
    list->item_inserted(1);
    EXPECT_EQ(list->item_count(), 101);
    EXPECT_EQ(list->selected_index(), 4) << "the selection follows its item";
    EXPECT_EQ(list->element_for(2), old_second);
    ListElement* added = list->element_for(1);
    ASSERT_NE(added, nullptr);
    EXPECT_NE(added, old_second);
    EXPECT_EQ(old_second->y(), 10 + 40) << "the new row starts with no height";
    screen.tick(0.1);
    EXPECT_EQ(old_second->y(), 10 + 40 + 20);
    run(0.3);
    EXPECT_EQ(added->y(), 10 + 40);
    EXPECT_EQ(old_second->y(), 10 + 80);
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

TEST_F(ListTest, TheKeyboardFocusStaysOnItsItemWhenItemsComeAndGo) {
    list->scroll_to_item(7);
    key(key::Down);
    key(key::Down, false);
    run(0.5);
    ASSERT_DOUBLE_EQ(list->focus_position(), 7.0);
    list->item_removed(2);
    EXPECT_DOUBLE_EQ(list->focus_position(), 6.0);
    list->item_inserted(0);
    list->item_inserted(50);
    EXPECT_DOUBLE_EQ(list->focus_position(), 7.0);
    list->item_inserted(7); // at the focused item: it moves down with it
    EXPECT_DOUBLE_EQ(list->focus_position(), 8.0);
    run(0.5);
    key(key::Enter);
    EXPECT_EQ(rows.clicks, std::vector<std::int32_t>{8});
}

TEST(PressTracker, SamplesOutsideTheWindowOrBeforeAClockResetAreDropped) {
    PressTracker tracker;
    // A slow drag for a second, then a quick flick in the other direction.
    tracker.press({0, 0}, 0);
    for (std::uint32_t t = 20; t <= 1000; t += 20)
        tracker.sample({std::int32_t(t), 0}, t);
    for (std::uint32_t t = 1020; t <= 1200; t += 20)
        tracker.sample({1000 - 10 * std::int32_t(t - 1000), 0}, t);
    // Everything before 950 has gone: oldest kept t=960 at x=960, newest -1000.
    EXPECT_DOUBLE_EQ(tracker.velocity().x, double((-1000 - 960) * 1000 / 240));
    EXPECT_LE(tracker.sample_count(), 13u);
    tracker.press({0, 0}, 0);
    for (std::uint32_t i = 1; i <= 40; ++i)
        tracker.sample({std::int32_t(20 + i), 0}, i); // one millisecond apart
    EXPECT_EQ(tracker.sample_count(), PressTracker::kMaxSamples);
    tracker.press({0, 0}, 5000);
    tracker.sample({50, 0}, 5100);
    tracker.sample({60, 0}, 100); // the clock was reset
    EXPECT_EQ(tracker.sample_count(), 1u);
    EXPECT_EQ(tracker.velocity(), Velocity{});
}
