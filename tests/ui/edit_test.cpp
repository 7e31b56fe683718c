// The edit box as a user drives it: focus through the text-input service, typing, the caret,
// editing keys, masking, the sentence capital, hiding; and the label edit built from a skin.
#include "node_test_support.h"
#include "skin_test_support.h"
#include "text_test_support.h"
#include "ui/edit_node.h"
#include "ui/edit_text.h"
#include "ui/font_measure.h"
#include "ui/key_names.h"
#include "ui/label_edit_node.h"
#include "ui/text_input_service.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using namespace telvara::ui::test;

namespace {

constexpr std::int32_t kHome = 14, kEnd = 15, kDelete = 12;

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

TextInputService& service() {
    return TextInputService::instance();
}
bool press(std::int32_t code) {
    return service().on_key(KeyEvent{code, true, true});
}
// One code unit at a time, as the window's character messages come.
void type(WStringView text) {
    for (char16_t unit : text)
        service().on_text_input(WStringView(&unit, 1));
}

// A field at (10, 20), 200 x 30, on a 240 x 100 screen.
class EditTest : public testing::Test {
  protected:
    void SetUp() override {
        service().set_backend(&backend);
        edit = &add<EditNode>(root);
        edit->set_font(test_font());
        edit->set_halign(HAlign::Left);
        edit->set_listener(&changes);
        place(root, 0, 0, 240, 100);
        place(*edit, 10, 20, 200, 30);
    }
    void TearDown() override {
        service().drop_focus();
        service().set_backend(nullptr);
    }
    Rect caret() const { return edit->caret_rect({edit->x(), edit->y()}); }
    void draw(RenderSurface& surface, Pixel background) {
        surface.resize(240, 100);
        paint(surface, background);
        edit->draw(surface, {edit->x(), edit->y()});
    }

    FakeBackend backend;
    Changes changes;
    Node root;
    EditNode* edit = nullptr;
};

} // namespace

TEST_F(EditTest, TouchTakesTheFocusAndStartsTextInputOverTheField) {
    type(u"lost"); // nobody has the focus: dropped
    EXPECT_EQ(edit->edit_text(), u"");
    EXPECT_FALSE(press(key::Digit0 + 5)) << "without a focused field it may press a button";
    EXPECT_TRUE(root.on_touch(pen(PointerKind::Down, 50, 30)));
    EXPECT_TRUE(edit->has_focus());
    // Typing keys belong to the focused field (the character comes through
    // the text input); soft keys and Enter do not.
    for (const std::int32_t code : {key::Digit0 + 5, key::A, key::SoftLeft, key::Enter})
        EXPECT_EQ(press(code), code != key::SoftLeft && code != key::Enter) << code;
    EXPECT_EQ(service().focused(), edit);
    EXPECT_EQ(backend.calls, std::vector<std::string>{"start 10,20,210,50"});
    // A second field takes the focus over; text input keeps running.
    EditNode& other = add<EditNode>(root);
    place(other, 10, 60, 200, 30);
    other.take_focus();
    EXPECT_FALSE(edit->has_focus());
    EXPECT_EQ(backend.calls.back(), "update 10,60,210,90");
    type(u"x");
    EXPECT_EQ(other.edit_text(), u"x");
    EXPECT_EQ(edit->edit_text(), u"");
    EXPECT_EQ(other.caret_rect({}).left, 0)
        << "a field without a font keeps its caret at the start";
    // Hiding an unfocused field leaves another's focus alone; hiding the
    // focused one drops the focus, and so does destroying it.
    edit->set_visible(false);
    EXPECT_TRUE(other.has_focus());
    root.set_visible(false);
    EXPECT_EQ(service().focused(), nullptr);
    EXPECT_EQ(backend.calls.back(), "stop");
    {
        EditNode temporary;
        temporary.take_focus();
    }
    EXPECT_EQ(service().focused(), nullptr);
}

// Each row: keys pressed after typing "abc"; whether each was taken; the text and caret after.
TEST_F(EditTest, EditingKeysMoveTheCaretAndDeleteOnlyWhereThereIsSomething) {
    const struct {
        std::vector<std::int32_t> keys;
        std::vector<bool> taken;
        const char16_t* text;
        std::size_t caret;
    } rows[] = {
        {{key::Left}, {true}, u"abc", 2},
        {{key::Right}, {false}, u"abc", 3},
        {{key::Left, key::Left, key::Right}, {true, true, true}, u"abc", 2},
        {{kDelete}, {false}, u"abc", 3},
        {{key::Backspace, key::Backspace}, {true, true}, u"a", 1},
        {{kHome, key::Left, key::Backspace, kDelete}, {true, false, false, true}, u"bc", 0},
        {{kHome, kEnd, key::Right}, {true, true, false}, u"abc", 3},
        {{key::Left, key::Left, kDelete}, {true, true, true}, u"ac", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(to_utf8(row.text));
        edit->set_text(u"");
        edit->take_focus();
        type(u"abc");
        for (std::size_t i = 0; i < row.keys.size(); ++i)
            EXPECT_EQ(press(row.keys[i]), row.taken[i]) << "key " << i;
        EXPECT_EQ(edit->edit_text(), row.text);
        EXPECT_EQ(edit->caret(), row.caret);
    }
    // Releases are not the field's; an empty field passes Backspace on.
    EXPECT_FALSE(service().on_key(KeyEvent{key::Backspace, false, true}));
    edit->set_text(u"");
    EXPECT_FALSE(press(key::Backspace));
    EXPECT_FALSE(edit->on_key(KeyEvent{key::Backspace, true, true}));
}

TEST_F(EditTest, TypingLandsAtTheCaretAndATapPlacesIt) {
    edit->take_focus();
    EXPECT_EQ(edit->caret_rect({0, 0}).left, 0);
    type(u"mmmm");
    EXPECT_EQ(edit->caret_rect({0, 0}).left, measure_text(edit->font().get(), u"mmmm").width);
    EXPECT_EQ(edit->caret_rect({0, 0}).height(), edit->font()->height());
    const std::int32_t at_end = caret().left;
    press(key::Left);
    EXPECT_LT(caret().left, at_end);
    type(u"X");
    EXPECT_EQ(edit->edit_text(), u"mmmXm");
    press(kHome);
    EXPECT_EQ(caret().left, edit->x());
    // A tap just right of the first "m" puts the caret after it.
    const std::int32_t one = measure_text(edit->font().get(), u"m").width;
    EXPECT_TRUE(edit->on_touch(pen(PointerKind::Down, edit->x() + one + 1, edit->y() + 5)));
    EXPECT_EQ(edit->caret(), 1u);
    EXPECT_TRUE(edit->on_touch(pen(PointerKind::Down, edit->x() - 50, edit->y() + 5)));
    EXPECT_EQ(edit->caret(), 0u);
}

TEST_F(EditTest, MaskedFieldShowsAndDrawsOneStarPerCharacter) {
    edit->set_masking(Masking::Masked);
    edit->set_text(u"ab");
    EXPECT_EQ(edit->text(), u"**");
    EXPECT_EQ(edit->edit_text(), u"ab");
    edit->set_text(u"cd"); // same length, still a change
    EXPECT_EQ(changes.seen.size(), 2u);
    edit->take_focus();
    type(u"\U0001F600"); // one character, two code units
    EXPECT_EQ(edit->text(), u"***");
    EXPECT_TRUE(press(key::Backspace));
    EXPECT_EQ(edit->edit_text(), u"cd");
    edit->set_masking(Masking::Plain);
    EXPECT_EQ(edit->text(), u"cd");

    // Drawn as stars: the same ink as the plain text "******".
    service().drop_focus();
    RenderSurface masked, stars;
    edit->set_text(u"secret");
    edit->set_masking(Masking::Masked);
    draw(masked, kWhite);
    edit->set_masking(Masking::Plain);
    edit->set_text(u"******");
    draw(stars, kWhite);
    ASSERT_GT(ink(masked, kWhite).pixels, 0);
    for (std::int32_t y = 0; y < 100; ++y)
        ASSERT_TRUE(std::equal(masked.row(y), masked.row(y) + 240, stars.row(y))) << y;
}

TEST_F(EditTest, CapitalAfterTheEndOfASentenceOnly) {
    edit->set_capitalize(Capitalize::AfterSentence);
    edit->take_focus();
    type(u"hi. there! yes? ok e.g.no, 3. 4. x.  y");
    EXPECT_EQ(edit->edit_text(), u"hi. There! Yes? Ok e.g.no, 3. 4. X.  y");
    // Also when typing inside the text, right after ". ".
    edit->set_text(u"One. two");
    for (int i = 0; i < 3; ++i)
        press(key::Left);
    type(u"é");
    EXPECT_EQ(edit->edit_text(), u"One. Étwo");
    edit->set_text(u"");
    edit->set_capitalize(Capitalize::Off);
    type(u"a. b");
    EXPECT_EQ(edit->edit_text(), u"a. b");
}

TEST(EditText, UpperCaseOfLettersAndBoundaries) {
    const std::pair<char16_t, char16_t> upper[] = {
        {u'a', u'A'}, {u'é', u'É'}, {u'÷', u'÷'}, {u'ÿ', u'Ÿ'}, {u'ł', u'Ł'}, {u'ž', u'Ž'},
        {u'ā', u'Ā'}, {u'ж', u'Ж'}, {u'ё', u'Ё'}, {u'ς', u'Σ'}, {u'1', u'1'}, {u'Z', u'Z'}};
    for (const auto& [from, to] : upper)
        EXPECT_EQ(to_upper(from), to) << int(from);
    EXPECT_EQ(next_boundary(u"a\U0001F600b", 4), 4u);
    EXPECT_FALSE(capital_due(u" "));
    // Inserting at a caret inside a pair goes after the pair.
    WString into = u"\U0001F600";
    EXPECT_EQ(insert_typed(into, 1, u"x", Capitalize::Off), 3u);
    EXPECT_EQ(into, u"\U0001F600x");
}

TEST_F(EditTest, SurrogatePairsArriveWholeAndAreDeletedWhole) {
    edit->take_focus();
    type(u"a\U0001F600");
    EXPECT_EQ(changes.seen, (std::vector<WString>{u"a", u"a\U0001F600"}));
    EXPECT_EQ(edit->caret(), 3u);
    EXPECT_TRUE(press(key::Backspace));
    EXPECT_EQ(edit->edit_text(), u"a");
    type(u"\U0001F600");
    EXPECT_TRUE(press(key::Left));
    EXPECT_EQ(edit->caret(), 1u);
    EXPECT_TRUE(press(kDelete));
    EXPECT_EQ(edit->edit_text(), u"a");
    edit->set_text(u"\U0001F600b");
    edit->set_caret(1);
    EXPECT_EQ(edit->caret(), 0u) << "never between the halves";
    edit->set_text(u"a");
    // A high half without its partner is dropped; a lone low half too.
    service().on_text_input(u"\xD83D");
    type(u"b");
    service().on_text_input(u"\xDE00");
    EXPECT_EQ(edit->edit_text(), u"ab");
}

TEST_F(EditTest, CaretBlinksAndIsDrawnOnlyWhileFocused) {
    RenderSurface surface;
    edit->set_color(Colour{0, 0, 255, 255});
    edit->set_background_color(Colour{255, 255, 255, 255});
    auto blue_box = [&] {
        draw(surface, to_565(0, 255, 0));
        return colour_box(surface, to_565(0, 0, 255));
    };
    EXPECT_TRUE(blue_box().is_empty());
    EXPECT_EQ(count(surface, kWhite), 0) << "unfocused and empty: no background either";
    edit->take_focus();
    EXPECT_TRUE(edit->caret_shown());
    EXPECT_EQ(blue_box(), caret());
    EXPECT_GT(count(surface, kWhite), 0);
    edit->tick(0.6);
    EXPECT_FALSE(edit->caret_shown());
    EXPECT_TRUE(edit->redraw_needed());
    EXPECT_TRUE(blue_box().is_empty());
    edit->tick(0.5);
    EXPECT_TRUE(edit->caret_shown());
    edit->tick(0.45);
    type(u"i"); // typing shows the caret again at once
    EXPECT_TRUE(edit->caret_shown());
}

namespace {

skinc::SkinModel label_skin(bool with_clear, bool with_hint) {
    return xml_skin(std::string(R"(<node id="form"><label_edit id="label_edit" text="SearchHint">
      <edit id="#edit" capitalize="1"/>)") +
                    (with_hint ? "<text id='#text'/>" : "") +
                    (with_clear ? "<button id='clear'><node id='#normal'/><node id='#pressed'/>"
                                  "</button>"
                                : "") +
                    "</label_edit></node>");
}

} // namespace

TEST(LabelEdit, HintWhileEmptyClearButtonWhileNot) {
    InstalledSkin built(label_skin(true, true));
    Node form;
    ASSERT_TRUE(form.load_from_skin(built.skin, u"form"));
    auto* field = dynamic_cast<LabelEditNode*>(form.find(u"label_edit"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->edit().capitalize(), Capitalize::AfterSentence);
    auto* hint = dynamic_cast<TextNode*>(&field->hint());
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), u"SearchHint"); // the key, with no language loaded
    auto clear_shown = [&] { return field->clear_button()->is_visible(); };
    EXPECT_TRUE(hint->is_visible());
    EXPECT_FALSE(clear_shown());
    Changes outer;
    field->set_listener(&outer);
    field->set_text(u"Jo");
    EXPECT_FALSE(hint->is_visible());
    EXPECT_TRUE(clear_shown());
    EXPECT_EQ(outer.seen, (std::vector<WString>{u"Jo"}));
    // The clear button empties the field and brings the hint back.
    field->on_click(*dynamic_cast<ButtonNode*>(field->clear_button()));
    EXPECT_EQ(field->text(), u"");
    EXPECT_TRUE(hint->is_visible());
    EXPECT_FALSE(clear_shown());
    EXPECT_EQ(outer.seen.size(), 2u);
    // Typing through the service updates the hint; hiding drops the focus.
    field->edit().take_focus();
    service().on_text_input(u"a");
    EXPECT_FALSE(hint->is_visible());
    press(key::Backspace);
    EXPECT_TRUE(hint->is_visible());
    form.set_visible(false);
    EXPECT_EQ(service().focused(), nullptr);
}

// The clear button may be left out; the hint may not.
TEST(LabelEdit, WithoutAClearButtonOrAHint) {
    InstalledSkin plain(label_skin(false, true)), no_hint(label_skin(true, false));
    Node form;
    ASSERT_TRUE(form.load_from_skin(plain.skin, u"form"));
    auto& field = dynamic_cast<LabelEditNode&>(*form.find(u"label_edit"));
    EXPECT_EQ(field.clear_button(), nullptr);
    field.set_text(u"Jo");
    field.set_text(u"");
    EXPECT_TRUE(field.hint().is_visible());
    EXPECT_THROW(form.load_from_skin(no_hint.skin, u"form"), vadode::NodeNotFound);
}
