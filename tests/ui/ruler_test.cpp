// The alphabet ruler: cells sampled from the alphabet when they do not all
// fit, touches mapped to letters of the whole alphabet, and its skin parts.
#include "ui/alphabet_ruler.h"

#include "menu_skin_support.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using test::typed;

namespace {

struct Touches : RulerListener {
    std::vector<RulerEvent> events;
    void on_letter_touched(AlphabetRuler&, const RulerEvent& event) override {
        events.push_back(event);
    }
};

PointerEvent pen(PointerKind kind, std::int32_t x, std::int32_t y) {
    PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

std::vector<WString> alphabet(int count) {
    std::vector<WString> letters;
    for (int i = 0; i < count; ++i)
        letters.push_back(WString(1, char16_t(u'A' + i)));
    return letters;
}

skinc::SkinModel ruler_skin(bool with_button = true, bool with_table = true) {
    skinc::SkinModel model;
    skinc::NodeModel ruler = typed(model, u"node", u"Ruler");
    skinc::NodeModel cell = typed(model, u"node", u"ruler_button");
    cell.points = {{u"design_size", {0, 20}}};
    cell.children = {typed(model, u"text", u"letter")};
    skinc::NodeModel cell2 = typed(model, u"node", u"ruler_button2");
    cell2.points = {{u"design_size", {0, 20}}};
    cell2.children = {typed(model, u"text", u"letter2")};
    skinc::NodeModel table = typed(model, u"vtable", u"ruler_table");
    table.points = {{u"border_min", {0, 4}}, {u"border_max", {0, 6}}};
    if (with_button)
        ruler.children.push_back(cell);
    ruler.children.push_back(cell2);
    if (with_table)
        ruler.children.push_back(table);
    model.nodes.push_back({u"Ruler", ruler});
    return model;
}

class RulerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        impl = test::from_bytes(test::written(ruler_skin()));
        ASSERT_TRUE(skin.install(*impl));
        ruler = &test::add<AlphabetRuler>(screen);
        ASSERT_TRUE(ruler->load_from_skin(skin, u"Ruler"));
        ruler->set_listener(&touches);
        place(4 + 200 + 6);
    }
    void place(std::int32_t height) {
        screen.place_x(0, 30);
        screen.place_y(0, height);
        // Cells appear with the height; lay out what they asked for.
        screen.place_x(0, 30);
        screen.place_y(0, height);
    }
    WString cell_text(std::size_t i) {
        auto* text = dynamic_cast<TextNode*>(ruler->cell(i).find(i % 2 ? u"letter2" : u"letter"));
        return text ? text->text() : u"?";
    }

    test::MenuTypes types;
    Properties skin;
    std::unique_ptr<PropertiesImpl> impl;
    Node screen;
    AlphabetRuler* ruler = nullptr;
    Touches touches;
};

} // namespace

TEST_F(RulerTest, ThirtyLettersInTenCellsAreSampledEvenly) {
    EXPECT_EQ(ruler->cell_height(), 20);
    EXPECT_EQ(ruler->cell_count(), 0u) << "no letters, no cells";
    EXPECT_FALSE(ruler->table()->is_visible());
    ruler->set_letters(alphabet(30));
    place(210);
    ASSERT_EQ(ruler->cell_count(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(ruler->cell_letter_index(i), 3 * i);
        EXPECT_EQ(cell_text(i), WString(1, char16_t(u'A' + 3 * i)));
    }
    EXPECT_TRUE(ruler->table()->is_visible());
    // Cells alternate between the two templates.
    EXPECT_NE(ruler->cell(1).find(u"letter2"), nullptr);
    EXPECT_EQ(ruler->cell(2).find(u"letter2"), nullptr);
    // Room for all: one cell per letter.
    place(4 + 30 * 20 + 6);
    EXPECT_EQ(ruler->cell_count(), 30u);
    EXPECT_EQ(cell_text(29), u"^");
    // Too short for a single cell.
    place(15);
    EXPECT_EQ(ruler->cell_count(), 0u);
}

TEST_F(RulerTest, CellsAreCountedInTheRulersOwnHeight) {
    ruler->set_letters(alphabet(30));
    // Kept 80 px off the bottom of a 290 px parent: 200 px for cells.
    ruler->set_borders({0, 0}, {0, 80});
    place(4 + 200 + 6 + 80);
    EXPECT_EQ(ruler->cell_count(), 10u);
}

TEST_F(RulerTest, AddLetterSkipsARepeatOfTheLast) {
    for (const char16_t* letter : {u"A", u"A", u"B", u"B", u"B", u"C", u"A"})
        ruler->add_letter(letter);
    EXPECT_EQ(ruler->letters(), (std::vector<WString>{u"A", u"B", u"C", u"A"}));
    EXPECT_EQ(ruler->cell_count(), 4u);
    EXPECT_EQ(cell_text(2), u"C");
}

TEST_F(RulerTest, TouchMapsToTheWholeAlphabetWithClamping) {
    ruler->set_letters(alphabet(30));
    place(210);
    const Node& table = *ruler->table();
    ASSERT_EQ(table.y(), 4);
    ASSERT_EQ(table.height(), 200);
    EXPECT_EQ(ruler->letter_index_at(4), 0u);
    EXPECT_EQ(ruler->letter_index_at(4 + 200 - 1), 29u);
    EXPECT_EQ(ruler->letter_index_at(4 + 200), 29u) << "the bottom edge yields the last letter";
    EXPECT_EQ(ruler->letter_index_at(0), 0u) << "above the top yields the first";
    EXPECT_EQ(ruler->letter_index_at(4 + 100), 15u);

    EXPECT_TRUE(screen.on_touch(pen(PointerKind::Down, 10, 4 + 100)));
    screen.on_touch(pen(PointerKind::Move, 10, 4 + 20));
    screen.on_touch(pen(PointerKind::Move, 10, 500)); // slid off the bottom
    screen.on_touch(pen(PointerKind::Up, 10, 500));
    ASSERT_EQ(touches.events.size(), 4u);
    EXPECT_EQ(touches.events[0].index, 15u);
    EXPECT_EQ(touches.events[0].letter, u"P");
    EXPECT_TRUE(touches.events[0].pressed);
    EXPECT_EQ(touches.events[1].letter, u"D");
    EXPECT_TRUE(touches.events[1].pressed);
    EXPECT_EQ(touches.events[2].index, 29u);
    EXPECT_FALSE(touches.events[3].pressed);
}

TEST_F(RulerTest, NothingIsReportedWithoutLettersOrCells) {
    EXPECT_FALSE(ruler->letter_index_at(50).has_value());
    screen.on_touch(pen(PointerKind::Down, 10, 50));
    screen.on_touch(pen(PointerKind::Up, 10, 50));
    ruler->set_letters(alphabet(5));
    place(15); // letters, but no room for a cell
    EXPECT_FALSE(ruler->letter_index_at(10).has_value());
    EXPECT_TRUE(touches.events.empty());
}

TEST(RulerSkin, RequiredPartsRaiseNodeNotFound) {
    const test::MenuTypes types;
    for (const bool button : {false, true}) {
        auto impl = test::from_bytes(test::written(ruler_skin(button, !button)));
        Properties skin;
        ASSERT_TRUE(skin.install(*impl));
        AlphabetRuler ruler;
        try {
            ruler.load_from_skin(skin, u"Ruler");
            ADD_FAILURE() << "a ruler without its parts loaded";
        } catch (const vadode::NodeNotFound& error) {
            EXPECT_EQ(error.child_name(), button ? u"ruler_table" : u"ruler_button");
        }
    }
}

// Capitals drawn alike in Latin, Cyrillic and Greek are one ruler letter;
// letters of their own shape, and everything else, stay what they are.
TEST(RulerShape, LookAlikeCapitalsAreOneLetter) {
    const std::pair<char16_t, char16_t> same[] = {
        {u'А', u'A'}, {u'В', u'B'}, {u'С', u'C'}, {u'Е', u'E'}, {u'Н', u'H'}, {u'К', u'K'},
        {u'М', u'M'}, {u'О', u'O'}, {u'Р', u'P'}, {u'Т', u'T'}, {u'Х', u'X'}, {u'І', u'I'},
        {u'Α', u'A'}, {u'Β', u'B'}, {u'Η', u'H'}, {u'Ρ', u'P'}, {u'Χ', u'X'}, {u'Υ', u'Y'},
    };
    for (const auto& [other, latin] : same)
        EXPECT_EQ(ruler_shape(other), latin) << int(other);
    for (const char16_t own :
         {u'Б', u'Г', u'Д', u'Ж', u'П', u'Я', u'У', u'Ё', u'Σ', u'Ω', u'A', u'Z', u'#', u'É', u'1'})
        EXPECT_EQ(ruler_shape(own), own) << int(own);
}
