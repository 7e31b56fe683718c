// The alphabet ruler: cells sampled from the alphabet when they do not all
// fit, touches mapped to letters of the whole alphabet, and its skin parts.
#include "ui/alphabet_ruler.h"

#include "node_test_support.h"
#include "skin_test_support.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

struct Touches : RulerListener {
    std::vector<RulerEvent> events;
    void on_letter_touched(AlphabetRuler&, const RulerEvent& event) override {
        events.push_back(event);
    }
};

std::vector<WString> alphabet(int count) {
    std::vector<WString> letters;
    for (int i = 0; i < count; ++i)
        letters.push_back(WString(1, char16_t(u'A' + i)));
    return letters;
}

// Two alternating cell templates 20 high, and a table with borders 4 and 6.
skinc::SkinModel ruler_skin(bool with_button = true, bool with_table = true) {
    const char* cell = "<node id='ruler_button' design_size='0 20'><text id='letter'/></node>";
    return xml_skin(
        std::string("<node id='Ruler'>") + (with_button ? cell : "") +
        "<node id='ruler_button2' design_size='0 20'><text id='letter2'/></node>" +
        (with_table ? "<vtable id='ruler_table' border_min='0 4' border_max='0 6'/>" : "") +
        "</node>");
}

class RulerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ruler = &add<AlphabetRuler>(screen);
        ASSERT_TRUE(ruler->load_from_skin(built.skin, u"Ruler"));
        ruler->set_listener(&touches);
        place(4 + 200 + 6);
    }
    void place(std::int32_t height) {
        // Cells appear with the height; lay out again what they asked for.
        for (int i = 0; i < 2; ++i)
            test::place(screen, 0, 0, 30, height);
    }
    WString cell_text(std::size_t i) {
        auto* text = dynamic_cast<TextNode*>(ruler->cell(i).find(i % 2 ? u"letter2" : u"letter"));
        return text ? text->text() : u"?";
    }

    InstalledSkin built{ruler_skin()};
    Node screen;
    AlphabetRuler* ruler = nullptr;
    Touches touches;
};

} // namespace

TEST_F(RulerTest, AddLetterSkipsARepeatOfTheLast) {
    for (const char16_t* letter : {u"A", u"A", u"B", u"B", u"B", u"C", u"A"})
        ruler->add_letter(letter);
    EXPECT_EQ(ruler->letters(), (std::vector<WString>{u"A", u"B", u"C", u"A"}));
    EXPECT_EQ(ruler->cell_count(), 4u);
    EXPECT_EQ(cell_text(2), u"C");
}

TEST_F(RulerTest, TouchMapsToTheWholeAlphabetWithClamping) {
    EXPECT_FALSE(ruler->letter_index_at(50).has_value()) << "no letters";
    screen.on_touch(pen(PointerKind::Down, 10, 50));
    screen.on_touch(pen(PointerKind::Up, 10, 50));
    ruler->set_letters(alphabet(5));
    place(15);
    EXPECT_FALSE(ruler->letter_index_at(10).has_value()) << "letters but no cell";
    EXPECT_TRUE(touches.events.empty());

    ruler->set_letters(alphabet(30));
    place(210);
    ASSERT_EQ(ruler->table()->y(), 4);
    ASSERT_EQ(ruler->table()->height(), 200);
    const std::pair<std::int32_t, std::size_t> rows[] = {
        {4, 0}, {4 + 199, 29}, {4 + 200, 29}, {0, 0}, {4 + 100, 15}};
    for (const auto& [y, index] : rows)
        EXPECT_EQ(ruler->letter_index_at(y), index) << y;
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

TEST(RulerSkin, RequiredPartsRaiseNodeNotFound) {
    for (const bool button : {false, true}) {
        InstalledSkin built(ruler_skin(button, !button));
        AlphabetRuler ruler;
        try {
            ruler.load_from_skin(built.skin, u"Ruler");
            ADD_FAILURE() << "a ruler without its parts loaded";
        } catch (const vadode::NodeNotFound& error) {
            EXPECT_EQ(error.child_name(), button ? u"ruler_table" : u"ruler_button");
        }
    }
}
