// The contacts list as a user sees it: row texts in each sort mode with the
// typed digits highlighted, rows reused for other contacts, the list
// following the Document's changes, the ruler's letters and jumps, and the
// contact picker's keypad and cancel.
#include "form_stack_host.h"
#include "forms/contact_selector_container.h"
#include "forms/contact_selector_form.h"
#include "forms/contacts_list_element.h"
#include "forms/form_host.h"

#include "../data/document_test_support.h"
#include "ui/alphabet_ruler.h"
#include "ui/basic_nodes.h"
#include "ui/button_node.h"
#include "ui/node_registry.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"
#include "ui/widget_registry.h"

#include "forms/skin_types.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

using namespace telvara;
using namespace telvara::forms;
using data::ContactRecord;
using data::FieldType;
using data::MatchResult;
using data::SortMode;
using data::testing::person;

namespace {

std::unique_ptr<ui::Properties> load_skin() {
    const std::string folder = TELVARA_TEST_SKINS;
    std::ifstream in(folder + "/contacts.skin", std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ui::PropertiesImpl impl(std::move(bytes), folder, u"contacts.skin", 0);
    auto skin = std::make_unique<ui::Properties>();
    EXPECT_TRUE(skin->install(impl));
    return skin;
}

data::ContactField category(std::u16string name) {
    return data::ContactField(FieldType::Categories, std::move(name));
}

// A line as "text|style letters": P plain, F filtered, S second.
std::string describe(const WString& text, const std::vector<TextRun>& runs) {
    std::string out = to_utf8(text) + "|";
    for (const TextRun& run : runs) {
        const char mark = run.style == RunStyle::Plain      ? 'P'
                          : run.style == RunStyle::Filtered ? 'F'
                                                            : 'S';
        out.append(run.length, mark);
    }
    return out;
}
std::string describe(const StyledLine& line) {
    return describe(line.text, line.runs);
}
std::string describe(const StyledText& text) {
    return describe(text.text(), text.runs());
}

MatchResult matched(std::uint16_t first, std::uint16_t last, std::uint16_t company) {
    MatchResult m;
    m.passes = true;
    m.first_name = first;
    m.last_name = last;
    m.company = company;
    return m;
}

struct Listener final : ContactListListener {
    void on_contact_chosen(ContactSelectorContainer&, data::ContactEntry& contact) override {
        chosen.push_back(contact.oid());
    }
    void on_add_contact(ContactSelectorContainer&) override { ++adds; }
    void on_category_button(ContactSelectorContainer&) override { ++categories; }
    std::vector<std::uint32_t> chosen;
    int adds = 0;
    int categories = 0;
};

ui::PointerEvent pen(ui::PointerKind kind, std::int32_t x, std::int32_t y) {
    ui::PointerEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

// A Document over in-memory contacts and the list bound into the test skin's
// host screen.
class ContactListTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        forms::test::ensure_skin_types();
        skin = load_skin();
        store.categories = {u"Work"};
        store.put(person(1, u"Anna", u"Bell", u"", {category(u"Work")}));
        store.put(person(2, u"Bob", u"Avery", u"Zeta Ltd"));
        store.put(person(3, u"Dora", u"Bach", u"", {category(u"Work")}));
        store.put(person(4, u"", u"", u"Acme"));
        store.put(person(5, u"Carl", u"Dunn", u"Bravo"));
        store.put(person(6, u"Abby", u"Cole", u"", {category(u"Work")}));
        document = std::make_unique<data::Document>(store, nullptr, files());
        document->load();
        document->set_sorting(0);
        ASSERT_TRUE(host.load_from_skin(*skin, u"ContactsHost"));
        container = std::make_unique<ContactSelectorContainer>();
        container->bind(host, *skin, listener);
        layout();
    }
    void TearDown() override {
        container.reset();
        document.reset();
        DocumentTest::TearDown();
    }
    void layout() {
        host.place_x(0, 240);
        host.place_y(0, 320);
    }
    ContactsListElement& row(std::int32_t index) {
        auto* element = dynamic_cast<ContactsListElement*>(container->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    std::string big(std::int32_t index) { return describe(row(index).big()); }
    std::string small(std::int32_t index) { return describe(row(index).small()); }
    // The visible contacts' oids.
    std::vector<std::uint32_t> visible() const { return oids(document->filtered_contacts()); }

    data::testing::FakeStore store;
    std::unique_ptr<ui::Properties> skin;
    std::unique_ptr<data::Document> document;
    Listener listener;
    ui::Node host;
    std::unique_ptr<ContactSelectorContainer> container;
};

} // namespace

// --- Row texts ---------------------------------------------------------------------------

TEST(ContactRow, NamesInTheOrderOfTheSortMode) {
    const ContactRecord r = person(1, u"Anna", u"Bell", u"Acme");
    const MatchResult none;
    RowLines first = compose_row(r, none, SortMode::FirstName);
    EXPECT_EQ(describe(first.big), "Anna Bell|PPPPSSSSS") << "blank and second part in style 2";
    EXPECT_EQ(describe(first.small), "Acme|PPPP");
    RowLines last = compose_row(r, none, SortMode::LastName);
    EXPECT_EQ(describe(last.big), "Bell Anna|PPPPSSSSS");
    EXPECT_EQ(describe(last.small), "Acme|PPPP");
    RowLines company = compose_row(r, none, SortMode::Company);
    EXPECT_EQ(describe(company.big), "Acme|PPPP");
    EXPECT_EQ(describe(company.small), "Anna Bell|PPPPPPPPP");
}

TEST(ContactRow, MissingPartsLeaveNoStrayBlanks) {
    const MatchResult none;
    // Company only: on both lines in modes 0 and 1.
    const ContactRecord firm = person(1, u"", u"", u"Acme");
    for (SortMode mode : {SortMode::FirstName, SortMode::LastName}) {
        RowLines lines = compose_row(firm, none, mode);
        EXPECT_EQ(describe(lines.big), "Acme|PPPP");
        EXPECT_EQ(describe(lines.small), "Acme|PPPP");
    }
    // Mode 2 without a company: the names, and an empty second line.
    RowLines no_company = compose_row(person(2, u"Anna", u"Bell"), none, SortMode::Company);
    EXPECT_EQ(describe(no_company.big), "Anna Bell|PPPPSSSSS");
    EXPECT_EQ(describe(no_company.small), "|");
    // Only the second name part: it leads, plain.
    RowLines only_last = compose_row(person(3, u"", u"Bell"), none, SortMode::FirstName);
    EXPECT_EQ(describe(only_last.big), "Bell|PPPP");
    RowLines only_first = compose_row(person(3, u"Anna", u""), none, SortMode::LastName);
    EXPECT_EQ(describe(only_first.big), "Anna|PPPP");
    // Nothing at all.
    for (SortMode mode : {SortMode::FirstName, SortMode::LastName, SortMode::Company}) {
        RowLines empty = compose_row(person(4, u"", u""), none, mode);
        EXPECT_EQ(describe(empty.big), "|");
        EXPECT_EQ(describe(empty.small), "|");
    }
}

TEST(ContactRow, MatchedPrefixesAreHighlighted) {
    const ContactRecord r = person(1, u"Anna", u"Bell", u"Acme");
    // The second part matches: the blank stays plain, the prefix is highlighted.
    EXPECT_EQ(describe(compose_row(r, matched(0, 2, 0), SortMode::FirstName).big),
              "Anna Bell|PPPPPFFPP");
    // The lead matches, the second does not: it keeps the second-text style.
    EXPECT_EQ(describe(compose_row(r, matched(1, 0, 0), SortMode::FirstName).big),
              "Anna Bell|FPPPSSSSS");
    // Company on the second line and both names on it in mode 2.
    EXPECT_EQ(describe(compose_row(r, matched(0, 0, 2), SortMode::LastName).small), "Acme|FFPP");
    RowLines company = compose_row(r, matched(1, 1, 1), SortMode::Company);
    EXPECT_EQ(describe(company.big), "Acme|FPPP");
    EXPECT_EQ(describe(company.small), "Anna Bell|FPPPPFPPP");
    // A length beyond the part is cut to it.
    EXPECT_EQ(describe(compose_row(r, matched(9, 0, 0), SortMode::FirstName).big),
              "Anna Bell|FFFFSSSSS");
}

// --- The list over the Document ------------------------------------------------------

TEST_F(ContactListTest, BindingFillsTitleHintRulerAndRows) {
    EXPECT_EQ(container->title()->text(), u"skinNoCategory") << "no language loaded";
    EXPECT_FALSE(container->hint()->is_visible());
    EXPECT_EQ(container->list()->item_count(), 6);
    // Mode 0: Abby, Acme (company only), Anna, Bob, Carl, Dora.
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 4, 1, 2, 5, 3}));
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"C", u"D"}));
    EXPECT_EQ(big(0), "Abby Cole|PPPPSSSSS");
    EXPECT_EQ(big(1), "Acme|PPPP");
    EXPECT_EQ(small(1), "Acme|PPPP");
    // The row styles come from the skin.
    const StyledText& text = row(0).big();
    EXPECT_EQ(text.look(RunStyle::Filtered).colour, (ui::Colour{0xE0, 0x20, 0x10, 255}));
    EXPECT_EQ(text.look(RunStyle::Second).colour, (ui::Colour{0x80, 0x80, 0x80, 255}));
    EXPECT_EQ(row(0).small().look(RunStyle::Filtered).colour, (ui::Colour{0xE0, 0x20, 0x10, 255}));
    EXPECT_EQ(row(0).small().look(RunStyle::Filtered).font, row(0).small().font())
        << "the small line highlights in its own font";
}

TEST_F(ContactListTest, RowsFollowTheSortModeAndForgetWhatTheyShowedBefore) {
    document->set_sorting(1); // by last name: Acme, Avery, Bach, Bell, Cole, Dunn
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{4, 2, 3, 1, 6, 5}));
    EXPECT_EQ(big(1), "Avery Bob|PPPPPSSSS");
    EXPECT_EQ(small(1), "Zeta Ltd|PPPPPPPP");
    document->set_sorting(2); // by company: Abby Cole, Acme, Anna Bell, Bravo, Dora Bach, Zeta
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 4, 1, 5, 3, 2}));
    // Row 0 showed Acme with a company line before; now a contact without.
    EXPECT_EQ(big(0), "Abby Cole|PPPPSSSSS");
    EXPECT_EQ(small(0), "|");
    EXPECT_EQ(big(3), "Bravo|PPPPP");
    EXPECT_EQ(small(3), "Carl Dunn|PPPPPPPPP");
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"D", u"Z"}));
}

TEST_F(ContactListTest, TypedDigitsHighlightTheMatchedPrefixes) {
    document->set_filter(u"2"); // a, b or c first
    // Abby, Acme, Anna, Bob (first name), Carl, Dora (last name Bach).
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 4, 1, 2, 5, 3}));
    EXPECT_EQ(big(0), "Abby Cole|FPPPPFPPP") << "both names begin with a key-2 letter";
    EXPECT_EQ(big(1), "Acme|FPPP");
    EXPECT_EQ(small(1), "Acme|FPPP");
    EXPECT_EQ(big(5), "Dora Bach|PPPPPFPPP") << "the blank before the match stays plain";
    document->set_filter(u"22"); // "ab", "ac", "ca", "ba", ...
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 4, 5, 3}));
    EXPECT_EQ(big(0), "Abby Cole|FFPPSSSSS");
    EXPECT_EQ(big(1), "Acme|FFPP");
    EXPECT_EQ(big(2), "Carl Dunn|FFPPSSSSS");
    EXPECT_EQ(big(3), "Dora Bach|PPPPPFFPP");
    // Cleared: rows reused for the same contacts keep no highlight.
    document->set_filter(u"");
    EXPECT_EQ(container->list()->item_count(), 6);
    EXPECT_EQ(big(0), "Abby Cole|PPPPSSSSS");
    EXPECT_EQ(big(5), "Dora Bach|PPPPSSSSS");
}

TEST_F(ContactListTest, RefreshFlagsMoveTheRows) {
    // A new contact enters at its sorted place and the list jumps to it.
    document->contact_added(person(7, u"Abe", u"Zorn"));
    ASSERT_EQ(container->list()->item_count(), 7);
    EXPECT_EQ(visible()[1], 7u) << "abby < abe";
    EXPECT_EQ(big(0), "Abby Cole|PPPPSSSSS");
    EXPECT_EQ(big(1), "Abe Zorn|PPPSSSSS");
    // A changed contact is shown again at its index.
    store.put(person(6, u"Abby", u"Cross"));
    document->on_contact_changed(6);
    EXPECT_EQ(container->list()->item_count(), 7);
    EXPECT_EQ(big(0), "Abby Cross|PPPPSSSSSS");
    // A contact that leaves the typed filter leaves the list.
    document->set_filter(u"2");
    const std::int32_t before = container->list()->item_count();
    store.put(person(1, u"Xena", u"Wu"));
    document->on_contact_changed(1);
    EXPECT_EQ(container->list()->item_count(), before - 1);
    EXPECT_EQ(container->list()->item_count(),
              static_cast<std::int32_t>(document->filtered_contacts().size()));
    // A removed contact goes too, and its letter with it.
    document->set_filter(u"");
    document->on_contact_removed(7);
    document->on_contact_removed(1);
    EXPECT_EQ(container->list()->item_count(), 5);
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"C", u"D"}));
    document->on_contact_removed(3);
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"C"}));
}

TEST_F(ContactListTest, RowBeyondTheVisibleListShowsNothing) {
    document->set_filter(u"22");
    ASSERT_EQ(container->list()->item_count(), 4);
    // A stray "entered" message for an index the Document does not have:
    // the list makes room, but the row shows no contact (and no old one).
    data::RefreshMessage stray(data::RefreshFlag::FilteredEntered);
    stray.set(data::RefreshSlot::FilteredIndex, 4);
    container->on_document_refresh(stray);
    EXPECT_EQ(container->list()->item_count(), 5);
    EXPECT_EQ(big(4), "|");
    EXPECT_EQ(small(4), "|");
    // A refresh for an index nobody shows changes nothing.
    data::RefreshMessage far(data::RefreshFlag::FilteredStayed);
    far.set(data::RefreshSlot::FilteredIndex, 40);
    container->on_document_refresh(far);
    EXPECT_EQ(container->list()->item_count(), 5);
}

TEST_F(ContactListTest, RulerKeepsTheLettersOfTheWholeListAfterACategoryFilter) {
    document->set_category(u"Work"); // Abby Cole, Anna Bell, Dora Bach
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 1, 3}));
    EXPECT_EQ(container->list()->item_count(), 3);
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"C", u"D"}))
        << "B is still offered though no visible contact starts with it";
}

TEST_F(ContactListTest, RulerShowsTheHintAndJumpsOnlyToVisibleLetters) {
    for (std::uint32_t oid = 10; oid < 18; ++oid)
        document->contact_added(person(oid, u"Zack", u"Quinn"));
    ASSERT_EQ(container->list()->item_count(), 14); // 14 rows of 40 in a list of 280
    EXPECT_EQ(container->ruler()->letters(), (std::vector<WString>{u"A", u"B", u"C", u"D", u"Z"}));
    ui::AlphabetRuler& ruler = *container->ruler();
    ui::RulerEvent touch;
    touch.letter = u"D";
    touch.pressed = true;
    container->on_letter_touched(ruler, touch);
    ASSERT_TRUE(container->hint()->is_visible());
    auto* hint_text = dynamic_cast<ui::TextNode*>(container->hint()->find(u"#text"));
    ASSERT_NE(hint_text, nullptr);
    EXPECT_EQ(hint_text->text(), u"D");
    EXPECT_EQ(container->list()->first_visible_index(), 5) << "the list follows the finger";
    touch.pressed = false;
    container->on_letter_touched(ruler, touch);
    EXPECT_FALSE(container->hint()->is_visible());
    EXPECT_EQ(container->list()->first_visible_index(), 5) << "Dora at the top";

    // Only the Zacks are visible now: B shows its hint but moves nothing.
    document->set_filter(u"7"); // p, q, r or s: Quinn
    ASSERT_EQ(container->list()->item_count(), 8);
    container->list()->scroll_to_item(7);
    const double offset = container->list()->scroll_offset();
    const std::int32_t first = container->list()->first_visible_index();
    ASSERT_GT(first, 0);
    touch.letter = u"B";
    touch.pressed = true;
    container->on_letter_touched(ruler, touch);
    EXPECT_TRUE(container->hint()->is_visible());
    EXPECT_EQ(hint_text->text(), u"B");
    touch.pressed = false;
    container->on_letter_touched(ruler, touch);
    EXPECT_EQ(container->list()->scroll_offset(), offset);
    EXPECT_EQ(container->list()->first_visible_index(), first);
    touch.letter = u"Z";
    container->on_letter_touched(ruler, touch);
    EXPECT_EQ(container->list()->first_visible_index(), 0);
}

// Latin and Cyrillic capitals of one shape (A and А, B and В, C and С) are
// one ruler letter; a touch on it finds the first contact of either.
TEST_F(ContactListTest, RulerShowsEachShapeOnceAndJumpsToTheFirstOfEither) {
    document->contact_added(person(20, u"Алла", u""));
    document->contact_added(person(21, u"Борис", u""));
    document->contact_added(person(22, u"Вера", u"", u"", {category(u"Work")}));
    document->contact_added(person(23, u"Сергей", u""));
    // Enough names after them that any of them can scroll to the top.
    for (std::uint32_t oid = 30; oid < 40; ++oid)
        document->contact_added(person(oid, u"Юлия", u"", u"", {category(u"Work")}));
    EXPECT_EQ(container->ruler()->letters(),
              (std::vector<WString>{u"A", u"B", u"C", u"D", u"Б", u"Ю"}));

    ui::AlphabetRuler& ruler = *container->ruler();
    const auto jump = [&](WStringView letter) {
        container->list()->scroll_to_item(0);
        ui::RulerEvent touch;
        touch.letter = WString(letter);
        container->on_letter_touched(ruler, touch);
        const std::int32_t first = container->list()->first_visible_index();
        return first >= 0 ? visible().at(static_cast<std::size_t>(first)) : 0u;
    };
    EXPECT_EQ(jump(u"Б"), 21u);
    // Of the B names only Вера is at work: B finds her.
    document->set_category(u"Work");
    ASSERT_EQ(visible().size(), 14u);
    ASSERT_EQ(visible().at(3), 22u);
    EXPECT_EQ(jump(u"B"), 22u);
    EXPECT_EQ(jump(u"A"), 6u) << "the first of either";
}

TEST_F(ContactListTest, IndexLettersFollowTheSortKeys) {
    data::ContactEntry entry;
    entry.record = person(1, u"\u00e9mile", u"9lives", u"Zeta");
    entry.sort_keys = data::make_sort_keys(entry.record);
    EXPECT_EQ(index_letter(entry, SortMode::FirstName), u"\u00c9");
    EXPECT_EQ(index_letter(entry, SortMode::LastName), u"#") << "digits are filed under #";
    EXPECT_EQ(index_letter(entry, SortMode::Company), u"Z");
    entry.record = person(2, u"\u0451\u0436", u"");
    entry.sort_keys = data::make_sort_keys(entry.record);
    EXPECT_EQ(index_letter(entry, SortMode::FirstName), u"\u0401");
    data::ContactEntry empty;
    EXPECT_EQ(index_letter(empty, SortMode::LastName), u"#");
}

TEST_F(ContactListTest, ClicksReachTheListener) {
    // A tap on the resting list over the second row.
    host.on_touch(pen(ui::PointerKind::Down, 100, 40 + 40 + 20));
    host.on_touch(pen(ui::PointerKind::Up, 100, 40 + 40 + 20));
    EXPECT_EQ(listener.chosen, (std::vector<std::uint32_t>{4}));
    container->category_button()->listener()->on_click(*container->category_button());
    container->add_button()->listener()->on_click(*container->add_button());
    EXPECT_EQ(listener.categories, 1);
    EXPECT_EQ(listener.adds, 1);
    container->hide_category_button();
    EXPECT_FALSE(container->category_button()->is_visible());
    container->show_category_button();
    EXPECT_TRUE(container->category_button()->is_visible());
}

TEST_F(ContactListTest, MissingNodesAreReported) {
    ui::Node bare;
    bare.set_name(u"Bare");
    ContactSelectorContainer other;
    try {
        other.bind(bare, *skin, listener);
        FAIL() << "bound without a container node";
    } catch (const ui::vadode::NodeNotFound& e) {
        EXPECT_EQ(e.child_name(), u"ContactSelectorContainer");
    }
    // A container without its list.
    ui::Node partial;
    ASSERT_TRUE(partial.load_from_skin(*skin, u"ContactsHost"));
    ui::Node* list = partial.find(u"ContactsList");
    list->parent()->remove_child(list, 1);
    try {
        other.bind(partial, *skin, listener);
        FAIL() << "bound without a list";
    } catch (const ui::vadode::NodeNotFound& e) {
        EXPECT_EQ(e.child_name(), u"ContactsList");
    }
}

// --- The picker ----------------------------------------------------------------------------

class ContactPickerTest : public ContactListTest {
  protected:
    void SetUp() override {
        ContactListTest::SetUp();
        set_form_host(&form_host_fake);
        picker = std::make_unique<ContactSelectorForm>();
        picker->bind(*skin, listener);
        picker->fit_to_screen(240, 320);
    }
    void TearDown() override {
        picker.reset();
        set_form_host(nullptr);
        ContactListTest::TearDown();
    }
    void click(ui::ButtonNode* button) {
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->listener(), nullptr);
        button->listener()->on_click(*button);
    }
    ui::ButtonNode* key(const char16_t* name) {
        return dynamic_cast<ui::ButtonNode*>(picker->keyboard().root()->find(name));
    }

    test::StackHost form_host_fake;
    std::unique_ptr<ContactSelectorForm> picker;
};

// The picker says what it is for and offers no header buttons that would
// open nothing there, also after the skin is bound again.
TEST_F(ContactPickerTest, TitledForItsPurposeWithoutDeadButtons) {
    for (int binding = 0; binding < 2; ++binding) {
        if (binding == 1)
            picker->bind(*skin, listener);
        ContactSelectorContainer& list = picker->container();
        ASSERT_NE(list.title(), nullptr);
        EXPECT_EQ(list.title()->text(), skin->translate(u"Add2Existing")) << "binding " << binding;
        EXPECT_FALSE(list.category_button()->is_visible()) << "binding " << binding;
        EXPECT_FALSE(list.add_button()->is_visible()) << "binding " << binding;
    }
    // The main list keeps its own title and buttons.
    EXPECT_TRUE(container->category_button()->is_visible());
    EXPECT_TRUE(container->add_button()->is_visible());
}

TEST_F(ContactPickerTest, StartsClosedAndShowsEveryContact) {
    EXPECT_FALSE(picker->keyboard().is_open());
    EXPECT_TRUE(picker->open_keyboard_button()->is_visible());
    EXPECT_EQ(picker->container().list()->item_count(), 6);
    document->set_filter(u"22");
    picker->show();
    EXPECT_EQ(form_host_fake.shown, (std::vector<Form*>{picker.get()}));
    EXPECT_TRUE(document->filter_words().empty()) << "showing clears the typed digits";
    EXPECT_EQ(picker->container().list()->item_count(), 6);
}

TEST_F(ContactPickerTest, KeypadFiltersTheListAndClosingBringsTheRulerBack) {
    click(picker->open_keyboard_button());
    EXPECT_TRUE(picker->keyboard().is_open());
    EXPECT_FALSE(picker->open_keyboard_button()->is_visible());
    EXPECT_FALSE(picker->ruler()->is_visible());
    click(key(u"button2"));
    click(key(u"button2"));
    EXPECT_EQ(document->filter_words(), (std::vector<WString>{u"22"}));
    EXPECT_EQ(picker->container().list()->item_count(), 4);
    EXPECT_EQ(container->list()->item_count(), 4) << "the main list follows the Document too";
    picker->keyboard().hide(Animate::No);
    EXPECT_TRUE(document->filter_words().empty());
    EXPECT_TRUE(picker->open_keyboard_button()->is_visible());
    EXPECT_TRUE(picker->ruler()->is_visible());
}

TEST_F(ContactPickerTest, BackspaceTakesBackATypedDigit) {
    click(picker->open_keyboard_button());
    EXPECT_FALSE(key(u"button_backspace")->is_visible());
    click(key(u"button2"));
    click(key(u"button3"));
    ASSERT_TRUE(key(u"button_backspace")->is_visible());
    EXPECT_FALSE(key(u"button_close")->is_visible());
    click(key(u"button_backspace"));
    EXPECT_EQ(document->filter_words(), (std::vector<WString>{u"2"}));
    click(key(u"button_backspace"));
    EXPECT_TRUE(document->filter_words().empty());
    EXPECT_TRUE(key(u"button_close")->is_visible());
    EXPECT_TRUE(picker->keyboard().is_open());
}

TEST_F(ContactPickerTest, CancelClosesAndFiltersByCategoryAlone) {
    document->set_category(u"Work");
    click(picker->open_keyboard_button());
    click(key(u"button3")); // d, e or f: typed digits search all contacts
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{5, 3}));
    click(picker->cancel_button());
    EXPECT_EQ(form_host_fake.closed, (std::vector<Form*>{picker.get()}));
    EXPECT_EQ(document->category(), u"Work") << "an empty name keeps the category";
    EXPECT_EQ(visible(), (std::vector<std::uint32_t>{6, 1, 3}));
    EXPECT_EQ(picker->container().list()->item_count(), 3);
}

TEST_F(ContactPickerTest, AChosenContactGoesToTheListener) {
    picker->layout_x();
    picker->layout_y();
    picker->on_touch(pen(ui::PointerKind::Down, 100, 40 + 20));
    picker->on_touch(pen(ui::PointerKind::Up, 100, 40 + 20));
    EXPECT_EQ(listener.chosen, (std::vector<std::uint32_t>{6}));
}
