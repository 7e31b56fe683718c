// The edit box as a user drives it: focus through the text-input service,
// typing, the caret, editing keys, masking, the sentence capital, the
// listener, hiding; and the label edit built from a skin.
#include "node_test_support.h"
#include "scoped_node_types.h"
#include "skin_test_support.h"
#include "text_test_support.h"
#include "ui/edit_node.h"
#include "ui/edit_text.h"
#include "ui/font_measure.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/node_registry.h"
#include "ui/text_input_service.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using telvara::ui::test::add;

namespace {

struct FakeBackend : TextInputBackend {
    void start_text_input(const Rect& area) override { calls.push_back("start " + str(area)); }
    void update_text_input(const Rect& area) override { calls.push_back("update " + str(area)); }
    void stop_text_input() override { calls.push_back("stop"); }
    static std::string str(const Rect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
               std::to_string(r.right) + "," + std::to_string(r.bottom);
    }
    std::vector<std::string> calls;
};

struct Changes : EditListener {
    void on_edit_changed(EditNode& edit) override { seen.push_back(edit.edit_text()); }
    std::vector<WString> seen;
};

KeyEvent press(std::int32_t code) {
    return KeyEvent{code, true, true};
}

PointerEvent down_at(std::int32_t x, std::int32_t y) {
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.kind = PointerKind::Down;
    return event;
}

class EditTest : public testing::Test {
  protected:
    void SetUp() override {
        service().set_backend(&backend);
        edit = &add<EditNode>(root);
        edit->set_font(test::test_font());
        edit->set_halign(HAlign::Left);
        edit->set_listener(&changes);
        root.place_x(0, 240);
        root.place_y(0, 100);
        edit->place_x(10, 200);
        edit->place_y(20, 30);
    }
    void TearDown() override {
        service().drop_focus();
        service().set_backend(nullptr);
    }
    static TextInputService& service() { return TextInputService::instance(); }
    void type(WStringView text) {
        // One code unit at a time, as the window's character messages come.
        for (char16_t unit : text)
            service().on_text_input(WStringView(&unit, 1));
    }

    FakeBackend backend;
    Changes changes;
    Node root;
    EditNode* edit = nullptr;
};

} // namespace

TEST_F(EditTest, TouchTakesTheFocusAndStartsTextInputOverTheField) {
    EXPECT_FALSE(edit->has_focus());
    type(u"lost"); // nobody has the focus: dropped
    EXPECT_EQ(edit->edit_text(), u"");
    EXPECT_TRUE(root.on_touch(down_at(50, 30)));
    EXPECT_TRUE(edit->has_focus());
    EXPECT_EQ(service().focused(), edit);
    ASSERT_EQ(backend.calls.size(), 1u);
    EXPECT_EQ(backend.calls[0], "start 10,20,210,50");

    // A second field takes the focus over; text input keeps running.
    EditNode& other = add<EditNode>(root);
    other.place_x(10, 200);
    other.place_y(60, 30);
    other.take_focus();
    EXPECT_FALSE(edit->has_focus());
    EXPECT_TRUE(other.has_focus());
    EXPECT_EQ(backend.calls.back(), "update 10,60,210,90");
    type(u"x");
    EXPECT_EQ(other.edit_text(), u"x");
    EXPECT_EQ(edit->edit_text(), u"");
}

TEST_F(EditTest, TypingAppendsAtTheCaretAndTellsTheListenerEachTime) {
    edit->take_focus();
    type(u"Hi");
    EXPECT_EQ(edit->edit_text(), u"Hi");
    EXPECT_EQ(edit->text(), u"Hi");
    EXPECT_EQ(edit->caret(), 2u);
    EXPECT_EQ(changes.seen, (std::vector<WString>{u"H", u"Hi"}));
    // Control characters never reach the text.
    service().on_text_input(u"\t\x7F\n");
    EXPECT_EQ(edit->edit_text(), u"Hi");
    EXPECT_EQ(changes.seen.size(), 2u);
    // The field's text changed: the service heard of it.
    EXPECT_EQ(backend.calls.back(), "update 10,20,210,50");
}

TEST_F(EditTest, BackspaceOnAnEmptyFieldChangesNothingAndPassesTheKeyOn) {
    edit->take_focus();
    EXPECT_FALSE(service().on_key(press(key::Backspace)));
    EXPECT_FALSE(edit->on_key(press(key::Backspace)));
    EXPECT_TRUE(changes.seen.empty());
    type(u"ab");
    EXPECT_TRUE(service().on_key(press(key::Backspace)));
    EXPECT_EQ(edit->edit_text(), u"a");
    EXPECT_TRUE(service().on_key(press(key::Backspace)));
    EXPECT_FALSE(service().on_key(press(key::Backspace)));
    EXPECT_EQ(changes.seen, (std::vector<WString>{u"a", u"ab", u"a", u""}));
}

TEST_F(EditTest, CursorKeysMoveTheCaretAndTypingLandsThere) {
    edit->take_focus();
    type(u"abc");
    const Rect at_end = edit->caret_rect({edit->x(), edit->y()});
    EXPECT_TRUE(service().on_key(press(key::Left)));
    EXPECT_EQ(edit->caret(), 2u);
    const Rect before_c = edit->caret_rect({edit->x(), edit->y()});
    EXPECT_LT(before_c.left, at_end.left);
    type(u"X");
    EXPECT_EQ(edit->edit_text(), u"abXc");
    EXPECT_EQ(edit->caret(), 3u);

    EXPECT_TRUE(service().on_key(press(14))); // Home
    EXPECT_EQ(edit->caret(), 0u);
    EXPECT_EQ(edit->caret_rect({edit->x(), edit->y()}).left, edit->x());
    EXPECT_FALSE(service().on_key(press(key::Left))); // already at the start
    EXPECT_FALSE(service().on_key(press(key::Backspace)));
    EXPECT_TRUE(service().on_key(press(12))); // Delete
    EXPECT_EQ(edit->edit_text(), u"bXc");
    EXPECT_TRUE(service().on_key(press(15))); // End
    EXPECT_EQ(edit->caret(), 3u);
    EXPECT_FALSE(service().on_key(press(12)));
    EXPECT_FALSE(service().on_key(press(key::Right)));
    // Releases are not the field's.
    EXPECT_FALSE(service().on_key(KeyEvent{key::Backspace, false, true}));
}

TEST_F(EditTest, CaretFollowsTheTextAndATapPlacesIt) {
    edit->take_focus();
    const std::int32_t empty_x = edit->caret_rect({0, 0}).left;
    EXPECT_EQ(empty_x, 0);
    type(u"mmmm");
    const std::int32_t full_x = edit->caret_rect({0, 0}).left;
    EXPECT_EQ(full_x, measure_text(edit->font().get(), u"mmmm").width);
    const Rect caret = edit->caret_rect({0, 0});
    EXPECT_EQ(caret.height(), edit->font()->height());

    // A tap just right of the first "m" puts the caret after it.
    const std::int32_t one = measure_text(edit->font().get(), u"m").width;
    EXPECT_TRUE(edit->on_touch(down_at(edit->x() + one + 1, edit->y() + 5)));
    EXPECT_EQ(edit->caret(), 1u);
    EXPECT_TRUE(edit->on_touch(down_at(edit->x() - 50, edit->y() + 5)));
    EXPECT_EQ(edit->caret(), 0u);
}

TEST_F(EditTest, ALongTextScrollsSoTheCaretStaysInside) {
    edit->take_focus();
    type(u"a rather long line of typed text that is wider than the field");
    const Rect caret = edit->caret_rect({edit->x(), edit->y()});
    EXPECT_LE(caret.right, edit->x() + edit->width());
    EXPECT_GE(caret.left, edit->x());
    EXPECT_EQ(caret.right, edit->x() + edit->width());
    // The text is drawn up to the caret, the whole box wide: no gap before it.
    edit->set_background_color(Colour{0, 0, 0, 0});
    RenderSurface surface;
    surface.resize(240, 100);
    test::paint(surface, test::kWhite);
    edit->draw(surface, {edit->x(), edit->y()});
    const test::Ink drawn = test::ink(surface, test::kWhite);
    EXPECT_LE(drawn.box.left, edit->x() + 2);
    EXPECT_GE(drawn.box.right, edit->x() + edit->width() - 12);
}

TEST_F(EditTest, SettingTheSameTextTwiceTellsTheListenerOnce) {
    edit->set_text(u"Anna");
    edit->set_text(u"Anna");
    EXPECT_EQ(changes.seen, (std::vector<WString>{u"Anna"}));
    edit->set_text(u"");
    EXPECT_EQ(changes.seen.size(), 2u);
    // set_text puts the caret at the end and updates a focused field.
    edit->take_focus();
    edit->set_text(u"Bob");
    EXPECT_EQ(edit->caret(), 3u);
    EXPECT_EQ(backend.calls.back(), "update 10,20,210,50");
}

TEST_F(EditTest, MaskedFieldShowsOneStarPerCharacter) {
    edit->set_masking(Masking::Masked);
    edit->set_text(u"ab");
    EXPECT_EQ(edit->text(), u"**");
    EXPECT_EQ(edit->edit_text(), u"ab");
    edit->set_text(u"ab");
    EXPECT_EQ(changes.seen.size(), 1u);
    // Another text of the same length still counts as a change.
    edit->set_text(u"cd");
    EXPECT_EQ(changes.seen.size(), 2u);
    EXPECT_EQ(edit->edit_text(), u"cd");

    edit->take_focus();
    type(u"\U0001F600"); // one character, two code units
    EXPECT_EQ(edit->text(), u"***");
    EXPECT_EQ(edit->edit_text(), u"cd\U0001F600");
    EXPECT_TRUE(service().on_key(press(key::Backspace)));
    EXPECT_EQ(edit->edit_text(), u"cd");

    edit->set_masking(Masking::Plain);
    EXPECT_EQ(edit->text(), u"cd");
}

TEST_F(EditTest, MaskedFieldDrawsStarsNotTheText) {
    edit->set_text(u"secret");
    edit->set_masking(Masking::Masked);
    RenderSurface masked;
    masked.resize(240, 100);
    test::paint(masked, test::kWhite);
    edit->draw(masked, {10, 20});

    TextNode stars;
    stars.set_font(test::test_font());
    stars.set_halign(HAlign::Left);
    stars.set_text(u"******");
    stars.place_x(10, 200);
    stars.place_y(20, 30);
    RenderSurface expected;
    expected.resize(240, 100);
    test::paint(expected, test::kWhite);
    stars.draw(expected, {10, 20});

    ASSERT_GT(test::ink(masked, test::kWhite).pixels, 0);
    for (std::int32_t y = 0; y < 100; ++y)
        for (std::int32_t x = 0; x < 240; ++x)
            ASSERT_EQ(masked.row(y)[x], expected.row(y)[x]) << x << "," << y;
}

TEST_F(EditTest, CapitalAfterTheEndOfASentenceOnly) {
    edit->set_capitalize(Capitalize::AfterSentence);
    edit->take_focus();
    type(u"hi. there! yes? ok e.g.no, 3. 4. x.  y");
    EXPECT_EQ(edit->edit_text(), u"hi. There! Yes? Ok e.g.no, 3. 4. X.  y");

    // Off: nothing changes.
    edit->set_text(u"");
    edit->set_capitalize(Capitalize::Off);
    type(u"a. b");
    EXPECT_EQ(edit->edit_text(), u"a. b");
}

TEST_F(EditTest, CapitalAlsoWhenTypingInsideTheText) {
    edit->set_capitalize(Capitalize::AfterSentence);
    edit->take_focus();
    type(u"One. ");
    type(u"two");
    EXPECT_EQ(edit->edit_text(), u"One. Two");
    // Going back to right after ". " and typing there.
    for (int i = 0; i < 3; ++i)
        service().on_key(press(key::Left));
    type(u"é");
    EXPECT_EQ(edit->edit_text(), u"One. ÉTwo");
}

TEST(EditText, UpperCaseOfLettersAndBoundaries) {
    EXPECT_EQ(to_upper(u'a'), u'A');
    EXPECT_EQ(to_upper(u'é'), u'É');
    EXPECT_EQ(to_upper(u'÷'), u'÷');
    EXPECT_EQ(to_upper(u'ÿ'), u'Ÿ');
    EXPECT_EQ(to_upper(u'ł'), u'Ł');
    EXPECT_EQ(to_upper(u'ž'), u'Ž');
    EXPECT_EQ(to_upper(u'ā'), u'Ā');
    EXPECT_EQ(to_upper(u'ж'), u'Ж');
    EXPECT_EQ(to_upper(u'ё'), u'Ё');
    EXPECT_EQ(to_upper(u'ς'), u'Σ');
    EXPECT_EQ(to_upper(u'1'), u'1');
    EXPECT_EQ(to_upper(u'Z'), u'Z');

    const WString text = u"a\U0001F600b";
    EXPECT_EQ(next_boundary(text, 1), 3u);
    EXPECT_EQ(previous_boundary(text, 3), 1u);
    EXPECT_EQ(previous_boundary(text, 0), 0u);
    EXPECT_EQ(next_boundary(text, 4), 4u);
    EXPECT_EQ(character_count(text), 3u);
    EXPECT_FALSE(capital_due(u" "));
    EXPECT_FALSE(capital_due(u"e.g."));
    EXPECT_TRUE(capital_due(u"?"
                            u" "));

    // Inserting at a caret inside a pair goes after the pair.
    WString into = u"\U0001F600";
    EXPECT_EQ(insert_typed(into, 1, u"x", Capitalize::Off), 3u);
    EXPECT_EQ(into, u"\U0001F600x");
}

TEST_F(EditTest, SurrogatePairsArriveWholeAndBackspaceDeletesThemWhole) {
    edit->take_focus();
    type(u"a\U0001F600");
    // The two halves came one by one; the listener only saw whole text.
    EXPECT_EQ(changes.seen, (std::vector<WString>{u"a", u"a\U0001F600"}));
    EXPECT_EQ(edit->caret(), 3u);
    EXPECT_TRUE(service().on_key(press(key::Backspace)));
    EXPECT_EQ(edit->edit_text(), u"a");
    type(u"\U0001F600");
    EXPECT_TRUE(service().on_key(press(key::Left)));
    EXPECT_EQ(edit->caret(), 1u);
    EXPECT_TRUE(service().on_key(press(12)));
    EXPECT_EQ(edit->edit_text(), u"a");

    // A high half without its partner is dropped; a lone low half too.
    const char16_t high = 0xD83D;
    service().on_text_input(WStringView(&high, 1));
    type(u"b");
    const char16_t low = 0xDE00;
    service().on_text_input(WStringView(&low, 1));
    EXPECT_EQ(edit->edit_text(), u"ab");
}

TEST_F(EditTest, HidingTheFieldOrItsScreenDropsTheFocus) {
    edit->take_focus();
    root.set_visible(false);
    EXPECT_FALSE(edit->has_focus());
    EXPECT_EQ(service().focused(), nullptr);
    EXPECT_EQ(backend.calls.back(), "stop");
    type(u"x");
    EXPECT_EQ(edit->edit_text(), u"");

    // Hiding an unfocused field leaves another's focus alone.
    root.set_visible(true);
    EditNode& other = add<EditNode>(root);
    other.take_focus();
    edit->set_visible(false);
    EXPECT_TRUE(other.has_focus());
}

TEST_F(EditTest, ADestroyedFieldGivesTheFocusBack) {
    {
        EditNode temporary;
        temporary.take_focus();
        EXPECT_EQ(service().focused(), &temporary);
    }
    EXPECT_EQ(service().focused(), nullptr);
    EXPECT_EQ(backend.calls.back(), "stop");
}

TEST_F(EditTest, TypingKeysBelongToTheFocusedField) {
    // The "5" key would press a button bound to it; with a focused field it
    // only types (the character comes through the text input).
    EXPECT_FALSE(service().on_key(press(key::Digit0 + 5)));
    edit->take_focus();
    EXPECT_TRUE(service().on_key(press(key::Digit0 + 5)));
    EXPECT_TRUE(service().on_key(press(key::A)));
    EXPECT_FALSE(service().on_key(press(key::SoftLeft)));
    EXPECT_FALSE(service().on_key(press(key::Enter)));
}

TEST_F(EditTest, CaretBlinksAndIsDrawnOnlyWhileFocused) {
    RenderSurface surface;
    surface.resize(240, 100);
    edit->set_color(Colour{0, 0, 255, 255});
    edit->set_background_color(Colour{255, 255, 255, 255});
    const Pixel blue = to_565(0, 0, 255);
    auto blue_box = [&] {
        test::paint(surface, to_565(0, 255, 0));
        edit->draw(surface, {edit->x(), edit->y()});
        return test::colour_box(surface, blue);
    };
    // Unfocused and empty: nothing blue, and the background is not painted.
    EXPECT_TRUE(blue_box().is_empty());
    EXPECT_EQ(test::count(surface, test::kWhite), 0);

    edit->take_focus();
    EXPECT_TRUE(edit->caret_shown());
    const Rect caret = edit->caret_rect({edit->x(), edit->y()});
    EXPECT_EQ(blue_box(), caret);
    EXPECT_GT(test::count(surface, test::kWhite), 0);

    edit->tick(0.6);
    EXPECT_FALSE(edit->caret_shown());
    EXPECT_TRUE(edit->redraw_needed());
    EXPECT_TRUE(blue_box().is_empty());
    edit->tick(0.5);
    EXPECT_TRUE(edit->caret_shown());
    edit->tick(0.45);
    // Typing shows the caret again at once.
    type(u"i");
    EXPECT_TRUE(edit->caret_shown());
}

// --- Label edit ---------------------------------------------------------------

namespace {

using skinc::NodeModel;
using skinc::SkinModel;

// The types these skins use, registered for a test when missing.
class NeededTypes : public test::ScopedNodeTypes {
  public:
    NeededTypes()
        : ScopedNodeTypes({{u"node", &make_node<Node>},
                           {u"text", &make_node<TextNode>},
                           {u"button", &make_node<ButtonNode>},
                           {u"edit", &make_node<EditNode>},
                           {u"label_edit", &make_node<LabelEditNode>}}) {}
};

NodeModel typed(SkinModel& model, const char16_t* type, const char16_t* id) {
    NodeModel node;
    node.strings = {{u"type", model.intern_string(type)}};
    if (id)
        node.strings.push_back({u"id", model.intern_string(id)});
    return node;
}

struct LabelSkin {
    LabelSkin(bool with_clear, bool with_hint) {
        SkinModel model;
        NodeModel form = typed(model, u"node", u"form");
        NodeModel field = typed(model, u"label_edit", u"label_edit");
        field.strings.push_back({u"text", model.intern_string(u"SearchHint")});
        NodeModel edit = typed(model, u"edit", u"#edit");
        edit.integers.push_back({u"capitalize", 1});
        field.children.push_back(edit);
        if (with_hint)
            field.children.push_back(typed(model, u"text", u"#text"));
        if (with_clear) {
            NodeModel clear = typed(model, u"button", u"clear");
            clear.children = {typed(model, u"node", u"#normal"),
                              typed(model, u"node", u"#pressed")};
            field.children.push_back(clear);
        }
        form.children = {field};
        model.nodes.push_back({u"form", form});
        impl = test::from_bytes(test::written(model));
        EXPECT_TRUE(skin.install(*impl));
    }
    NeededTypes types;
    std::unique_ptr<PropertiesImpl> impl;
    Properties skin;
};

} // namespace

TEST(LabelEdit, HintWhileEmptyClearButtonWhileNot) {
    LabelSkin built(true, true);
    Node form;
    ASSERT_TRUE(form.load_from_skin(built.skin, u"form"));
    auto* field = dynamic_cast<LabelEditNode*>(form.find(u"label_edit"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->edit().capitalize(), Capitalize::AfterSentence);
    ASSERT_NE(field->clear_button(), nullptr);
    auto* hint = dynamic_cast<TextNode*>(&field->hint());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), u"SearchHint"); // the key, with no language loaded
    EXPECT_TRUE(hint->is_visible());
    EXPECT_FALSE(field->clear_button()->is_visible());

    Changes outer;
    field->set_listener(&outer);
    field->set_text(u"Jo");
    EXPECT_FALSE(hint->is_visible());
    EXPECT_TRUE(field->clear_button()->is_visible());
    EXPECT_EQ(outer.seen, (std::vector<WString>{u"Jo"}));

    // The clear button empties the field and brings the hint back.
    auto* clear = dynamic_cast<ButtonNode*>(field->clear_button());
    ASSERT_NE(clear, nullptr);
    field->on_click(*clear);
    EXPECT_EQ(field->text(), u"");
    EXPECT_TRUE(hint->is_visible());
    EXPECT_FALSE(field->clear_button()->is_visible());
    EXPECT_EQ(outer.seen.size(), 2u);
}

TEST(LabelEdit, WorksWithoutAClearButton) {
    LabelSkin built(false, true);
    Node form;
    ASSERT_TRUE(form.load_from_skin(built.skin, u"form"));
    auto* field = dynamic_cast<LabelEditNode*>(form.find(u"label_edit"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->clear_button(), nullptr);
    field->set_text(u"x");
    EXPECT_FALSE(field->hint().is_visible());
    field->set_text(u"");
    EXPECT_TRUE(field->hint().is_visible());
}

TEST(LabelEdit, MissingHintRaisesNodeNotFound) {
    LabelSkin built(true, false);
    Node form;
    try {
        form.load_from_skin(built.skin, u"form");
        FAIL() << "no exception";
    } catch (const vadode::NodeNotFound& error) {
        EXPECT_EQ(error.parent_name(), u"label_edit");
        EXPECT_EQ(error.child_name(), u"#text");
    }
}

TEST(LabelEdit, TypingThroughTheServiceUpdatesTheHint) {
    LabelSkin built(true, true);
    Node form;
    ASSERT_TRUE(form.load_from_skin(built.skin, u"form"));
    auto* field = dynamic_cast<LabelEditNode*>(form.find(u"label_edit"));
    ASSERT_NE(field, nullptr);
    field->edit().take_focus();
    TextInputService::instance().on_text_input(u"a");
    EXPECT_FALSE(field->hint().is_visible());
    TextInputService::instance().on_key(press(key::Backspace));
    EXPECT_TRUE(field->hint().is_visible());
    // Hiding the form takes the focus away.
    form.set_visible(false);
    EXPECT_EQ(TextInputService::instance().focused(), nullptr);
}
