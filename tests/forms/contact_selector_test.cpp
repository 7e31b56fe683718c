// The contacts list on the test skin: rows, highlights, the ruler, and the contact picker.
#include "forms/contact_selector_container.h"
#include "forms/contact_selector_form.h"
#include "forms/contacts_list_element.h"

#include "screen_test_support.h"
#include "ui/alphabet_ruler.h"
#include "ui/font_draw.h"
#include "ui/font_measure.h"
#include "ui/node_test_support.h"
#include "ui/text_test_support.h"
#include "ui/vadode.h"

using namespace telvara;
using namespace telvara::forms;
using data::ContactRecord;
using data::FieldType;
using data::SortMode;
using data::testing::person;
using Oids = std::vector<std::uint32_t>;
using Letters = std::vector<WString>;

namespace {

data::ContactField category(std::u16string name) {
    return data::ContactField(FieldType::Categories, std::move(name));
}

// A line as "text|style letters": P plain, F filtered, S second.
std::string describe(const WString& text, const std::vector<TextRun>& runs) {
    std::string out = to_utf8(text) + "|";
    for (const TextRun& run : runs)
        out.append(run.length, run.style == RunStyle::Plain      ? 'P'
                               : run.style == RunStyle::Filtered ? 'F'
                                                                 : 'S');
    return out;
}
std::string describe(const StyledText& text) {
    return describe(text.text(), text.runs());
}
// Both lines of a composed row, "big / small".
std::string compose(const ContactRecord& r, SortMode mode, std::uint16_t first = 0,
                    std::uint16_t last = 0, std::uint16_t company = 0) {
    data::MatchResult m;
    m.passes = first + last + company > 0;
    m.first_name = first;
    m.last_name = last;
    m.company = company;
    const RowLines lines = compose_row(r, m, mode);
    return describe(lines.big.text, lines.big.runs) + " / " +
           describe(lines.small.text, lines.small.runs);
}

struct Listener final : ContactListListener {
    void on_contact_chosen(ContactSelectorContainer&, data::ContactEntry& contact) override {
        chosen.push_back(contact.oid());
    }
    void on_add_contact(ContactSelectorContainer&) override { ++adds; }
    void on_category_button(ContactSelectorContainer&) override { ++categories; }
    Oids chosen;
    int adds = 0;
    int categories = 0;
};

// A Document over in-memory contacts and the list bound into the test skin's host.
class ContactListTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        test::ensure_skin_types();
        const std::string folder = TELVARA_TEST_SKINS;
        ui::PropertiesImpl impl(test::read_bytes(folder + "/contacts.skin"), folder,
                                u"contacts.skin", 0);
        ASSERT_TRUE(skin.install(impl));
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
        ASSERT_TRUE(host.load_from_skin(skin, u"ContactsHost"));
        container = std::make_unique<ContactSelectorContainer>();
        container->bind(host, skin, listener);
        host.place_x(0, 240);
        host.place_y(0, 320);
    }
    void TearDown() override {
        container.reset();
        document.reset();
        DocumentTest::TearDown();
    }
    ContactsListElement& row(std::int32_t index) {
        auto* element = dynamic_cast<ContactsListElement*>(container->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    std::string big(std::int32_t index) { return describe(row(index).big()); }
    std::string small(std::int32_t index) { return describe(row(index).small()); }
    Oids visible() const { return oids(document->filtered_contacts()); }
    std::int32_t count() const { return container->list()->item_count(); }
    Letters letters() const { return container->ruler()->letters(); }
    // A touch on the ruler's letter; the contact then at the top of the list.
    std::uint32_t touch(WStringView letter, bool pressed = false) {
        ui::RulerEvent event;
        event.letter = WString(letter);
        event.pressed = pressed;
        container->on_letter_touched(*container->ruler(), event);
        const std::int32_t first = container->list()->first_visible_index();
        return first >= 0 ? visible().at(std::size_t(first)) : 0u;
    }
    data::testing::FakeStore store;
    ui::Properties skin;
    std::unique_ptr<data::Document> document;
    Listener listener;
    ui::Node host;
    std::unique_ptr<ContactSelectorContainer> container;
};

} // namespace

TEST(ContactRow, NamesInTheSortModesOrderWithMatchedPrefixesHighlighted) {
    const ContactRecord anna = person(1, u"Anna", u"Bell", u"Acme");
    const ContactRecord firm = person(2, u"", u"", u"Acme");
    const struct {
        ContactRecord record;
        SortMode mode;
        std::uint16_t first, last, company;
        const char* lines;
    } cases[] = {
        // The blank and the second part in the second style.
        {anna, SortMode::FirstName, 0, 0, 0, "Anna Bell|PPPPSSSSS / Acme|PPPP"},
        {anna, SortMode::LastName, 0, 0, 0, "Bell Anna|PPPPSSSSS / Acme|PPPP"},
        {anna, SortMode::Company, 0, 0, 0, "Acme|PPPP / Anna Bell|PPPPPPPPP"},
        // Missing parts leave no stray blanks.
        {firm, SortMode::FirstName, 0, 0, 0, "Acme|PPPP / Acme|PPPP"},
        {firm, SortMode::LastName, 0, 0, 0, "Acme|PPPP / Acme|PPPP"},
        {person(3, u"Anna", u"Bell"), SortMode::Company, 0, 0, 0, "Anna Bell|PPPPSSSSS / |"},
        {person(3, u"", u"Bell"), SortMode::FirstName, 0, 0, 0, "Bell|PPPP / |"},
        {person(3, u"Anna", u""), SortMode::LastName, 0, 0, 0, "Anna|PPPP / |"},
        {person(4, u"", u""), SortMode::Company, 0, 0, 0, "| / |"},
        // The second part matches: the blank stays plain.
        {anna, SortMode::FirstName, 0, 2, 0, "Anna Bell|PPPPPFFPP / Acme|PPPP"},
        // The lead matches, the second keeps the second style.
        {anna, SortMode::FirstName, 1, 0, 0, "Anna Bell|FPPPSSSSS / Acme|PPPP"},
        {anna, SortMode::LastName, 0, 0, 2, "Bell Anna|PPPPSSSSS / Acme|FFPP"},
        {anna, SortMode::Company, 1, 1, 1, "Acme|FPPP / Anna Bell|FPPPPFPPP"},
        // A length beyond the part is cut to it.
        {anna, SortMode::FirstName, 9, 0, 0, "Anna Bell|FFFFSSSSS / Acme|PPPP"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compose(c.record, c.mode, c.first, c.last, c.company), c.lines)
            << to_utf8(c.record.first_name) << " mode " << int(c.mode);
}

TEST(ContactRow, IndexLettersFollowTheSortKeys) {
    data::ContactEntry entry;
    entry.record = person(1, u"\u00e9mile", u"9lives", u"Zeta");
    entry.sort_keys = data::make_sort_keys(entry.record);
    EXPECT_EQ(index_letter(entry, SortMode::FirstName), u"\u00c9");
    EXPECT_EQ(index_letter(entry, SortMode::LastName), u"#") << "digits are filed under #";
    EXPECT_EQ(index_letter(entry, SortMode::Company), u"Z");
    entry.record = person(2, u"\u0451\u0436", u"");
    entry.sort_keys = data::make_sort_keys(entry.record);
    EXPECT_EQ(index_letter(entry, SortMode::FirstName), u"\u0401");
    const data::ContactEntry empty;
    EXPECT_EQ(index_letter(empty, SortMode::LastName), u"#");
}

// A line too long for its row is cut with "…" inside the row, at its end or
// in its middle, and never between the halves of a surrogate pair.
TEST(ContactRow, ALongLineIsCutWithDotsThatNeverSplitAPair) {
    const ui::FontHandle font = ui::test::test_font();
    const auto width = [&](WStringView text) { return ui::measure_text(font.get(), text).width; };
    const std::int32_t dots = width(u"\u2026");
    // The pair's first half alone measures narrower than the pair, so the
    // widest head that fits ends between the halves.
    ASSERT_LT(width(u"AB\xD83D"), width(u"AB\U0001F600"));
    struct Row {
        const char* name;
        WString text;
        ui::Ellipsis mode;
        std::int32_t width;
        WString head, tail;
    };
    const Row rows[] = {
        {"end", u"Abcdefghij", ui::Ellipsis::End, width(u"Abcd") + dots + 1, u"Abcd", u""},
        {"end at a pair", u"AB\U0001F600CD", ui::Ellipsis::End, width(u"AB\xD83D") + dots, u"AB",
         u""},
        {"middle", u"AAAAAAAAAA", ui::Ellipsis::Middle, 2 * width(u"AAA") + dots, u"AAA", u"AAA"},
    };
    for (const Row& row : rows) {
        StyledText text;
        text.set_font(font);
        text.set_valign(ui::VAlign::Top);
        text.set_ellipsis(row.mode);
        StyledLine line;
        line.add(row.text, 0);
        text.set_line(std::move(line));
        ui::test::place(text, 0, 0, row.width, 20);
        ui::RenderSurface drawn, wanted;
        for (ui::RenderSurface* surface : {&drawn, &wanted}) {
            surface->resize(row.width, 20);
            ui::test::paint(*surface, ui::test::kWhite);
        }
        text.draw(drawn, {0, 0});
        std::int32_t x = ui::draw_text(wanted, 0, 0, font.get(), row.head, text.color());
        x = ui::draw_text(wanted, x, 0, font.get(), u"\u2026", text.color());
        ui::draw_text(wanted, x, 0, font.get(), row.tail, text.color());
        for (std::int32_t y = 0; y < 20; ++y)
            ASSERT_TRUE(std::equal(drawn.row(y), drawn.row(y) + row.width, wanted.row(y)))
                << row.name << ", pixel row " << y;
    }
}

TEST_F(ContactListTest, RefreshFlagsMoveTheRows) {
    document->contact_added(person(7, u"Abe", u"Zorn"));
    ASSERT_EQ(count(), 7);
    EXPECT_EQ(visible()[1], 7u) << "abby < abe";
    EXPECT_EQ(big(0), "Abby Cole|PPPPSSSSS");
    EXPECT_EQ(big(1), "Abe Zorn|PPPSSSSS");
    store.put(person(6, u"Abby", u"Cross"));
    document->on_contact_changed(6);
    EXPECT_EQ(count(), 7);
    EXPECT_EQ(big(0), "Abby Cross|PPPPSSSSSS");
    // A contact that leaves the typed filter leaves the list.
    document->set_filter(u"2");
    const std::int32_t before = count();
    store.put(person(1, u"Xena", u"Wu"));
    document->on_contact_changed(1);
    EXPECT_EQ(count(), before - 1);
    EXPECT_EQ(count(), std::int32_t(document->filtered_contacts().size()));
    // A removed contact goes too, and its letter with it.
    document->set_filter(u"");
    document->on_contact_removed(7);
    document->on_contact_removed(1);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(letters(), (Letters{u"A", u"B", u"C", u"D"}));
    document->on_contact_removed(3);
    EXPECT_EQ(letters(), (Letters{u"A", u"B", u"C"}));
    // A stray "entered" for an index the Document lacks: that row shows no contact.
    data::RefreshMessage stray(data::RefreshFlag::FilteredEntered);
    stray.set(data::RefreshSlot::FilteredIndex, 4);
    container->on_document_refresh(stray);
    EXPECT_EQ(count(), 5);
    EXPECT_EQ(big(4), "|");
}

// Latin and Cyrillic capitals of one shape (A and А, B and В, C and С) are
// one ruler letter; a touch on it finds the first contact of either.
TEST_F(ContactListTest, RulerShowsEachShapeOnceAndJumpsToTheFirstOfEither) {
    document->contact_added(person(20, u"Алла", u""));
    document->contact_added(person(21, u"Борис", u""));
    document->contact_added(person(22, u"Вера", u"", u"", {category(u"Work")}));
    document->contact_added(person(23, u"Сергей", u""));
    for (std::uint32_t oid = 30; oid < 40; ++oid) // room to scroll any of them to the top
        document->contact_added(person(oid, u"Юлия", u"", u"", {category(u"Work")}));
    EXPECT_EQ(letters(), (Letters{u"A", u"B", u"C", u"D", u"Б", u"Ю"}));
    const auto jump = [&](WStringView letter) {
        container->list()->scroll_to_item(0);
        return touch(letter);
    };
    EXPECT_EQ(jump(u"Б"), 21u);
    // Of the B names only Вера is at work: B finds her.
    document->set_category(u"Work");
    EXPECT_EQ(letters(), (Letters{u"A", u"B", u"C", u"D", u"Б", u"Ю"})) << "the whole list's";
    ASSERT_EQ(visible().at(3), 22u);
    EXPECT_EQ(jump(u"B"), 22u);
    EXPECT_EQ(jump(u"A"), 6u) << "the first of either";
}

class ContactPickerTest : public ContactListTest {
  protected:
    void SetUp() override {
        ContactListTest::SetUp();
        picker = std::make_unique<ContactSelectorForm>();
        picker->bind(skin, listener);
        picker->fit_to_screen(240, 320);
    }
    void TearDown() override {
        picker.reset();
        ContactListTest::TearDown();
    }
    test::StackHost host_forms;
    std::unique_ptr<ContactSelectorForm> picker;
};

TEST_F(ContactPickerTest, CancelClosesAndFiltersByCategoryAlone) {
    document->set_category(u"Work");
    test::click(picker->open_keyboard_button());
    test::click(picker->keyboard().root()->find(u"button3")); // d, e or f: all contacts
    EXPECT_EQ(visible(), (Oids{5, 3}));
    test::click(picker->cancel_button());
    EXPECT_EQ(host_forms.closed, (std::vector<Form*>{picker.get()}));
    EXPECT_EQ(document->category(), u"Work") << "an empty name keeps the category";
    EXPECT_EQ(visible(), (Oids{6, 1, 3}));
    EXPECT_EQ(picker->container().list()->item_count(), 3);
}
