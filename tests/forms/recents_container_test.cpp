// The recents tab on the shipped default skin: calls grouped per day, number
// and kind, the row texts for known and unknown numbers and for each kind,
// the filter and the delete-all of the recents menu, the refresh messages,
// and what taps on a row and its buttons ask for.
#include "forms/recents_container.h"
#include "forms/recents_list_element.h"

#include "../data/document_test_support.h"
#include "forms/skin_types.h"
#include "phone/call_log.h"
#include "runtime/paths.h"
#include "ui/date_format.h"
#include "ui/image_node.h"
#include "ui/lang/language_file.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/vadode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace telvara::forms {
namespace {

using data::CallKind;
using data::RefreshFlag;
using data::testing::FakeCallLog;
using data::testing::FakeStore;
using data::testing::person;
using data::testing::phone;

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86'400;
// 2024-03-15 as days since 1601-01-01.
constexpr std::int64_t kToday = 134'774 + 19'797;

std::int64_t fixed_today() {
    return kToday;
}

// A local file time `days` after today at hh:mm.
std::int64_t at(int days, int hours, int minutes) {
    return (kToday + days) * kTicksPerDay + (hours * 3600 + minutes * 60) * kTicksPerSecond;
}

data::CallRecord call(std::u16string number, CallKind kind, std::int64_t time,
                      std::int32_t duration = 0) {
    data::CallRecord r = data::testing::call(std::move(number), kind, time);
    r.duration = duration;
    return r;
}

struct Listener final : RecentsListener {
    void on_recent_call_menu(const data::RecentCall& call, std::size_t index) override {
        menus.push_back({call, index});
    }
    void on_open_recents(const data::RecentCall& call, std::size_t index) override {
        opened.push_back({call, index});
    }
    void on_call_recent(WStringView number) override { dialled.emplace_back(number); }

    std::vector<std::pair<data::RecentCall, std::size_t>> menus;
    std::vector<std::pair<data::RecentCall, std::size_t>> opened;
    std::vector<WString> dialled;
};

struct Items final : ui::ChoiceMenu {
    void add_item(ui::ChoiceItem item) override { items.push_back(std::move(item)); }
    std::vector<WString> keys() const {
        std::vector<WString> out;
        for (const auto& item : items)
            out.push_back(item.identifier);
        return out;
    }
    std::vector<ui::ChoiceItem> items;
};

ui::PointerEvent pen(ui::PointerKind kind, ui::Point point) {
    ui::PointerEvent event;
    event.kind = kind;
    event.x = point.x;
    event.y = point.y;
    return event;
}

ui::Point centre_of(const ui::Node& node) {
    return {node.x() + node.width() / 2, node.y() + node.height() / 2};
}

class RecentsTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ASSERT_TRUE(forms::test::install_default_skin(m_skin, m_impl));
        ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/english.lng"));
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(
            person(2, u"Boris", u"Adams", u"", {phone(data::FieldType::HomeTel, u"+1 555 0200")}));
        ASSERT_TRUE(m_host.load_from_skin(m_skin, u"Main"));
        // As the main screen shows the recents tab: nothing of the other
        // tabs lies over it.
        for (const char16_t* other :
             {u"ContactSelectorContainer", u"FavoritesContainer", u"FavoritesContainer2",
              u"KeyboardContainer", u"open_keyboard"})
            if (ui::Node* node = m_host.find(other))
                node->set_visible(false);
    }
    void TearDown() override {
        m_container.reset();
        m_document.reset();
        DocumentTest::TearDown();
    }

    // The Document over these calls (the log's order: newest first), and the
    // tab bound to it.
    void open(std::vector<data::CallRecord> calls, data::CallLogSource* source = nullptr) {
        m_container.reset();
        m_log.records = std::move(calls);
        m_document.emplace(m_store, source != nullptr ? source : &m_log, files());
        m_document->load();
        m_container = std::make_unique<RecentsContainer>();
        m_container->set_today(&fixed_today);
        m_container->bind(m_host, m_skin, m_listener);
        layout();
    }
    void layout() {
        m_host.place_x(0, 240);
        m_host.place_y(0, 320);
    }
    RecentsContainer& tab() { return *m_container; }
    // Each group as "firstlast|count|direction".
    std::vector<std::string> rows() const {
        std::vector<std::string> out;
        for (const auto& group : m_container->groups())
            out.push_back(to_utf8(group.texts.firstlast) + "|" + to_utf8(group.texts.count) + "|" +
                          std::to_string(group.texts.direction));
        return out;
    }
    RecentsListElement& row(std::int32_t index) {
        layout();
        auto* element = dynamic_cast<RecentsListElement*>(m_container->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    void tap(ui::Point point) {
        m_host.on_touch(pen(ui::PointerKind::Down, point));
        m_host.on_touch(pen(ui::PointerKind::Up, point));
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    FakeStore m_store;
    FakeCallLog m_log;
    std::optional<data::Document> m_document;
    ui::Node m_host;
    Listener m_listener;
    std::unique_ptr<RecentsContainer> m_container;
};

// --- Texts -------------------------------------------------------------------------------

// The words of a shipped language file, as the skin's language gives them.
std::function<WString(WStringView)> shipped_language(const char* file) {
    auto table = ui::read_language_file(runtime::file_path(u"%app_path%/" + from_utf8(file)));
    EXPECT_TRUE(table) << file;
    return [table = table.value_or(ui::LanguageTable{})](WStringView key) {
        const auto found = table.find(key);
        return found != table.end() ? found->second : WString(key);
    };
}

// When a call was reads one way only: the time today, "Yesterday", a weekday
// within the week, else the day with the month as a word ("6 Dec" never
// reads as June), with the year when it is not this year's.
TEST(RecentTexts, WhenACallWasInBothLanguages) {
    // Today is Friday 15 March 2024.
    struct Case {
        int days;
        int hours;
        int minutes;
        WStringView english;
        WStringView russian;
    };
    const Case cases[] = {
        {0, 9, 5, u"09:05", u"09:05"},
        {0, 0, 0, u"00:00", u"00:00"},        // midnight is today
        {-1, 23, 59, u"Yesterday", u"Вчера"}, // a minute before it is not
        {-1, 0, 0, u"Yesterday", u"Вчера"},
        {-2, 12, 0, u"Wed", u"Ср"},
        {-6, 12, 0, u"Sat", u"Сб"},
        {-7, 12, 0, u"8 Mar", u"8 мар."}, // a weekday a week ago would read as today's
        {-15, 12, 0, u"29 Feb", u"29 февр."},
        {-74, 12, 0, u"1 Jan", u"1 янв."},
        {-75, 12, 0, u"31 Dec 2023", u"31 дек. 2023"}, // last year's
        {1, 12, 0, u"16 Mar", u"16 мар."},             // a clock set back: a date, not a time
    };
    const RecentWords english = recent_words(shipped_language("english.lng"));
    const RecentWords russian = recent_words(shipped_language("russian.lng"));
    for (const Case& c : cases) {
        const std::int64_t time = at(c.days, c.hours, c.minutes);
        EXPECT_EQ(recent_when_text(time, kToday, english), c.english) << c.days;
        EXPECT_EQ(recent_when_text(time, kToday, russian), c.russian) << c.days;
    }
    // The calls of one number also say the time of day of each.
    EXPECT_EQ(recent_moment_text(at(0, 9, 5), kToday, english), u"09:05");
    EXPECT_EQ(recent_moment_text(at(-1, 14, 5), kToday, english), u"Yesterday 14:05");
    EXPECT_EQ(recent_moment_text(at(-2, 7, 30), kToday, russian), u"Ср 07:30");
    EXPECT_EQ(recent_moment_text(at(-75, 23, 59), kToday, russian), u"31 дек. 2023 23:59");
}

TEST(RecentTexts, OnlyCallsThatWereTalkedHaveALength) {
    const auto length = [](CallKind kind, std::int32_t seconds) {
        return recent_call_duration_text(call(u"1", kind, 0, seconds));
    };
    EXPECT_EQ(length(CallKind::Incoming, 75), u"1:15");
    EXPECT_EQ(length(CallKind::Outgoing, 3), u"0:03");
    EXPECT_EQ(length(CallKind::Outgoing, 0), u"") << "never answered";
    EXPECT_EQ(length(CallKind::Missed, 0), u"");
    EXPECT_EQ(length(CallKind::Missed, 12), u"") << "a missed call has no length to show";
    EXPECT_EQ(length(CallKind::Rejected, 0), u"");
    EXPECT_EQ(length(static_cast<CallKind>(4), 0), u"");
}

TEST(RecentTexts, TimeDurationAndCount) {
    EXPECT_EQ(recent_time_text(at(0, 9, 5)), u"09:05");
    EXPECT_EQ(recent_time_text(at(-3, 23, 59)), u"23:59");
    EXPECT_EQ(recent_duration_text(0), u"0:00");
    EXPECT_EQ(recent_duration_text(7), u"0:07");
    EXPECT_EQ(recent_duration_text(754), u"12:34");
    EXPECT_EQ(recent_duration_text(3723), u"1:02:03");
    EXPECT_EQ(recent_duration_text(-5), u"0:00");
    EXPECT_EQ(recent_count_text(1), u"");
    EXPECT_EQ(recent_count_text(0), u"");
    EXPECT_EQ(recent_count_text(3), u" (3)");
    EXPECT_EQ(direction_state(CallKind::Incoming), 0);
    EXPECT_EQ(direction_state(CallKind::Missed), 1);
    EXPECT_EQ(direction_state(CallKind::Outgoing), 2);
    EXPECT_EQ(direction_state(CallKind::Rejected), 3);
    EXPECT_EQ(direction_state(static_cast<CallKind>(4)), 4);
    EXPECT_EQ(direction_state(static_cast<CallKind>(99)), 4);
}

TEST(RecentTexts, FilterPassesTheKinds) {
    const auto kind = [](int k) { return static_cast<CallKind>(k); };
    for (int k = 0; k <= 4; ++k)
        EXPECT_TRUE(passes(RecentsFilter::All, kind(k)));
    EXPECT_TRUE(passes(RecentsFilter::Incoming, kind(0)));
    EXPECT_FALSE(passes(RecentsFilter::Incoming, kind(2)));
    EXPECT_TRUE(passes(RecentsFilter::Outgoing, kind(2)));
    EXPECT_FALSE(passes(RecentsFilter::Outgoing, kind(1)));
    for (int k : {1, 3, 4})
        EXPECT_TRUE(passes(RecentsFilter::Rejected, kind(k)));
    for (int k : {0, 2})
        EXPECT_FALSE(passes(RecentsFilter::Rejected, kind(k)));
}

// --- Grouping ------------------------------------------------------------------------------

TEST_F(RecentsTest, CallsOfOneDayNumberAndKindFormOneGroup) {
    open({call(u"5550300", CallKind::Incoming, at(0, 12, 0)),
          call(u"5550300", CallKind::Outgoing, at(0, 11, 30)),
          call(u"5550300", CallKind::Incoming, at(0, 11, 0)),
          call(u"5550300", CallKind::Incoming, at(0, 10, 0)),
          call(u"5550300", CallKind::Incoming, at(-1, 22, 0))});
    EXPECT_EQ(rows(), (std::vector<std::string>{"5550300| (3)|0", "5550300||2", "5550300||0"}));
    // The group's texts come from its newest call.
    EXPECT_EQ(tab().groups()[0].reference, 0u);
    EXPECT_EQ(tab().groups()[0].texts.datetime, u"12:00");
    EXPECT_EQ(tab().groups()[2].texts.datetime, u"Yesterday");
    EXPECT_EQ(tab().list()->item_count(), 3);
    EXPECT_FALSE(tab().empty_state()->is_visible());
    EXPECT_TRUE(tab().list()->is_visible());
}

TEST_F(RecentsTest, AGroupMovesUpWhenANewerCallJoinsIt) {
    // Oldest last: A at 9, B at 10, A at 11. A's group is made first, B's
    // goes on top, then A's later call brings A's group back on top.
    open({call(u"111", CallKind::Incoming, at(0, 11, 0)),
          call(u"222", CallKind::Incoming, at(0, 10, 0)),
          call(u"111", CallKind::Incoming, at(0, 9, 0))});
    EXPECT_EQ(rows(), (std::vector<std::string>{"111| (2)|0", "222||0"}));
}

TEST_F(RecentsTest, RowsShowKnownAndUnknownNumbers) {
    open({call(u"+15550100", CallKind::Outgoing, at(0, 8, 15), 95),
          call(u"5550999", CallKind::Missed, at(-2, 18, 0)),
          call(u"Unknown", CallKind::Incoming, at(-2, 17, 0))});
    RecentsListElement& known = row(0);
    EXPECT_EQ(known.texts().firstlast, u"Anna Berg");
    EXPECT_EQ(known.texts().phone, m_skin.translate(u"Mobile"));
    EXPECT_EQ(known.texts().datetime, u"08:15");
    EXPECT_EQ(known.texts().duration, u"1:35");
    EXPECT_EQ(known.texts().direction, 2);
    auto* shown_name = dynamic_cast<ui::TextNode*>(known.find(u"firstlast"));
    ASSERT_NE(shown_name, nullptr);
    EXPECT_EQ(shown_name->text(), u"Anna Berg");
    ASSERT_NE(known.direction_look(), nullptr);
    EXPECT_EQ(known.direction_look()->name(), u"state2");
    EXPECT_TRUE(known.direction_look()->is_visible());
    EXPECT_FALSE(known.direction_button().find(u"state0")->is_visible());

    RecentsListElement& unknown = row(1);
    EXPECT_EQ(unknown.texts().firstlast, u"5550999");
    EXPECT_EQ(unknown.texts().phone, u"");
    EXPECT_EQ(unknown.texts().datetime, u"Wed");
    EXPECT_EQ(unknown.texts().duration, u"") << "a missed call shows no 0:00";
    EXPECT_EQ(unknown.direction_look()->name(), u"state1");

    // A withheld number shows the word for it in the user's language.
    EXPECT_EQ(row(2).texts().firstlast, m_skin.translate(u"skinUnknown"));
    EXPECT_EQ(row(2).direction_look()->name(), u"state0");
}

TEST_F(RecentsTest, NoCallsShowTheEmptyState) {
    open({});
    EXPECT_TRUE(tab().groups().empty());
    EXPECT_TRUE(tab().empty_state()->is_visible());
    EXPECT_FALSE(tab().list()->is_visible());
}

TEST_F(RecentsTest, BindingWithoutTheListThrowsAndKeepsNothing) {
    ui::Node bare;
    bare.set_name(u"RecentsContainer");
    m_document.emplace(m_store, &m_log, files());
    RecentsContainer container;
    EXPECT_THROW(container.bind(bare, m_skin, m_listener), ui::vadode::NodeNotFound);
    EXPECT_EQ(container.list(), nullptr);
    ui::Node elsewhere;
    EXPECT_THROW(container.bind(elsewhere, m_skin, m_listener), ui::vadode::NodeNotFound);
}

// --- Menu ----------------------------------------------------------------------------------

TEST_F(RecentsTest, MenuOffersTheFilterAndDeleteAll) {
    open({});
    Items items;
    EXPECT_TRUE(tab().recents_menu(u"MainMenu", items));
    EXPECT_EQ(items.keys(), (std::vector<WString>{u"menuFilter", u"menuDeleteAll", u"Cancel"}));

    Items filters;
    EXPECT_TRUE(tab().recents_menu(u"menuFilter", filters));
    EXPECT_EQ(filters.keys(), (std::vector<WString>{u"menuAllCalls", u"menuIncoming",
                                                    u"menuOutgoing", u"menuRejected", u"Cancel"}));
    EXPECT_TRUE(filters.items[0].checked);
    EXPECT_FALSE(filters.items[3].checked);

    Items really;
    EXPECT_TRUE(tab().recents_menu(u"menuDeleteAll", really));
    ASSERT_EQ(really.keys(), (std::vector<WString>{u"ReallyDelete", u"Cancel"}));
    EXPECT_EQ(really.items[0].element, u"MenuElementRed");

    Items none;
    EXPECT_FALSE(tab().recents_menu(u"Cancel", none));
    EXPECT_FALSE(tab().recents_menu(u"Settings", none));
    EXPECT_TRUE(none.items.empty());
}

TEST_F(RecentsTest, FilterKeysChooseTheKindsShown) {
    open({call(u"111", CallKind::Incoming, at(0, 12, 0)),
          call(u"222", CallKind::Outgoing, at(0, 11, 0)),
          call(u"333", CallKind::Missed, at(0, 10, 0)),
          call(u"444", static_cast<CallKind>(3), at(0, 9, 0)),
          call(u"555", static_cast<CallKind>(4), at(0, 8, 0))});
    Items items;
    EXPECT_TRUE(tab().recents_menu(u"menuIncoming", items));
    EXPECT_TRUE(items.items.empty()); // a command: the menu closes
    EXPECT_EQ(tab().filter(), RecentsFilter::Incoming);
    EXPECT_EQ(rows(), (std::vector<std::string>{"111||0"}));
    EXPECT_EQ(tab().list()->item_count(), 1);

    tab().recents_menu(u"menuOutgoing", items);
    EXPECT_EQ(rows(), (std::vector<std::string>{"222||2"}));

    tab().recents_menu(u"menuRejected", items);
    EXPECT_EQ(rows(), (std::vector<std::string>{"333||1", "444||3", "555||4"}));

    Items filters;
    tab().recents_menu(u"menuFilter", filters);
    EXPECT_TRUE(filters.items[3].checked);
    EXPECT_FALSE(filters.items[0].checked);

    tab().recents_menu(u"menuAllCalls", items);
    EXPECT_EQ(tab().groups().size(), 5u);
}

TEST_F(RecentsTest, AFilterWithNothingToShowShowsTheEmptyState) {
    open({call(u"111", CallKind::Incoming, at(0, 12, 0))});
    tab().set_filter(RecentsFilter::Rejected);
    EXPECT_TRUE(tab().empty_state()->is_visible());
    tab().set_filter(RecentsFilter::All);
    EXPECT_FALSE(tab().empty_state()->is_visible());
}

// The empty state's words name what is missing: no calls at all, or none of
// the kind the filter asks for while calls of other kinds exist.
TEST_F(RecentsTest, TheEmptyStateSaysWhichCallsThereAreNone) {
    const auto words = [&] {
        auto* text =
            dynamic_cast<ui::TextNode*>(tab().empty_state()->find(u"RecentsContainer_empty_text"));
        return text != nullptr ? text->text() : WString(u"<none>");
    };
    open({});
    EXPECT_EQ(words(), m_skin.translate(u"skinNoRecents"));
    open({call(u"111", CallKind::Incoming, at(0, 12, 0))});
    const struct {
        RecentsFilter filter;
        const char16_t* key;
    } cases[] = {{RecentsFilter::Outgoing, u"skinNoOutgoingCalls"},
                 {RecentsFilter::Rejected, u"skinNoMissedCalls"}};
    for (const auto& row : cases) {
        tab().set_filter(row.filter);
        EXPECT_TRUE(tab().empty_state()->is_visible()) << to_utf8(row.key);
        EXPECT_EQ(words(), m_skin.translate(row.key)) << to_utf8(row.key);
    }
    open({call(u"222", CallKind::Outgoing, at(0, 12, 0))});
    tab().set_filter(RecentsFilter::Incoming);
    EXPECT_EQ(words(), m_skin.translate(u"skinNoIncomingCalls"));
    tab().set_filter(RecentsFilter::Outgoing);
    EXPECT_FALSE(tab().empty_state()->is_visible());
}

// The title names the kind of calls the filter shows, so that a short list
// is never taken for the whole history; the menu is a visible button.
TEST_F(RecentsTest, TheTitleNamesTheFilterAndTheMenuButtonOpensTheMenu) {
    open({call(u"111", CallKind::Incoming, at(0, 12, 0))});
    ASSERT_NE(tab().title(), nullptr);
    const struct {
        const char16_t* key;
        WStringView title;
    } cases[] = {{u"menuRejected", u"Missed calls"},
                 {u"menuIncoming", u"Incoming calls"},
                 {u"menuOutgoing", u"Outgoing calls"},
                 {u"menuAllCalls", u"Recents"}};
    for (const auto& row : cases) {
        Items items;
        tab().recents_menu(row.key, items);
        EXPECT_EQ(tab().title()->text(), row.title) << to_utf8(row.key);
    }
    ASSERT_NE(tab().menu_button(), nullptr);
    EXPECT_TRUE(tab().menu_button()->is_visible());
    int opened = 0;
    struct MenuListener final : RecentsListener {
        explicit MenuListener(int& opened) : m_opened(opened) {}
        void on_recent_call_menu(const data::RecentCall&, std::size_t) override {}
        void on_open_recents(const data::RecentCall&, std::size_t) override {}
        void on_call_recent(WStringView) override {}
        void on_recents_menu_button() override { ++m_opened; }
        int& m_opened;
    } listener(opened);
    tab().bind(m_host, m_skin, listener);
    layout();
    tap(centre_of(*tab().menu_button()));
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(m_listener.dialled.empty());
}

// Missed and rejected calls look different: a rejected call was seen.
TEST_F(RecentsTest, MissedAndRejectedCallsHaveTheirOwnIcons) {
    open({call(u"111", CallKind::Missed, at(0, 12, 0)),
          call(u"222", CallKind::Rejected, at(0, 11, 0))});
    ui::Node* missed = row(0).direction_look();
    ui::Node* rejected = row(1).direction_look();
    ASSERT_NE(missed, nullptr);
    ASSERT_NE(rejected, nullptr);
    EXPECT_EQ(missed->name(), u"state1");
    EXPECT_EQ(rejected->name(), u"state3");
    auto* missed_image = dynamic_cast<ui::ImageNode*>(missed);
    auto* rejected_image = dynamic_cast<ui::ImageNode*>(rejected);
    ASSERT_NE(missed_image, nullptr);
    ASSERT_NE(rejected_image, nullptr);
    const ui::Picture& a = missed_image->picture();
    const ui::Picture& b = rejected_image->picture();
    ASSERT_TRUE(a.has_data());
    ASSERT_TRUE(b.has_data());
    EXPECT_FALSE(a.data == b.data && a.points[0].x == b.points[0].x &&
                 a.points[0].y == b.points[0].y)
        << "two looks, one picture";
    EXPECT_EQ(row(0).texts().duration, u"");
    EXPECT_EQ(row(1).texts().duration, u"");
}

// A row without a label line (an unknown number) has its one line in the
// middle of the row; refilled with a label, the name goes back on top.
TEST_F(RecentsTest, ARowWithoutALabelCentresItsLine) {
    open({call(u"+4930901820", CallKind::Incoming, at(0, 12, 0)),
          call(u"+1 555 0100", CallKind::Incoming, at(0, 11, 0))});
    const auto gaps = [&](std::int32_t index) {
        RecentsListElement& element = row(index);
        const ui::Node* name = element.find(u"firstlast");
        return std::pair{name->y() - element.y(),
                         element.y() + element.height() - (name->y() + name->height())};
    };
    ASSERT_EQ(row(0).texts().firstlast, u"+4930901820");
    ASSERT_TRUE(row(0).texts().phone.empty());
    const auto [above, below] = gaps(0);
    EXPECT_LE(std::abs(above - below), 1) << above << " above, " << below << " below";
    const auto [labelled_above, labelled_below] = gaps(1);
    EXPECT_LT(labelled_above, labelled_below) << "a labelled row keeps its name on top";
    // The same element refilled with the other call moves the line back.
    RecentsListElement& element = row(0);
    element.fill(row(1).texts());
    layout();
    EXPECT_EQ(gaps(0), std::pair(labelled_above, labelled_below));
}

TEST_F(RecentsTest, DeleteAllDeletesOnlyTheCallsOfTheChosenKind) {
    phone::CallLog log(root() + "/clog.db");
    ASSERT_TRUE(log.is_open());
    const std::int64_t base = phone::file_time_from_unix_ms(1'700'000'000'000);
    const auto entry = [&](int minute, phone::CallDirection direction, std::u16string number) {
        phone::CallLogEntry e;
        e.start = base + minute * 60 * kTicksPerSecond;
        e.end = e.start + 30 * kTicksPerSecond;
        e.direction = direction;
        e.number = std::move(number);
        return e;
    };
    // Missed calls with answered and dialled ones between them.
    ASSERT_TRUE(log.add(entry(1, phone::CallDirection::Missed, u"111")));
    ASSERT_TRUE(log.add(entry(2, phone::CallDirection::Incoming, u"111")));
    ASSERT_TRUE(log.add(entry(3, phone::CallDirection::Missed, u"222")));
    ASSERT_TRUE(log.add(entry(4, phone::CallDirection::Outgoing, u"111")));
    ASSERT_TRUE(log.add(entry(5, phone::CallDirection::Missed, u"111")));
    open({}, &log);
    ASSERT_EQ(m_document->recent_calls().size(), 5u);
    tab().set_call_log(&log);

    Items items;
    tab().recents_menu(u"menuRejected", items);
    EXPECT_TRUE(tab().recents_menu(u"ReallyDelete", items));
    EXPECT_TRUE(items.items.empty());

    const auto left = log.entries();
    ASSERT_EQ(left.size(), 2u);
    for (const auto& e : left)
        EXPECT_NE(e.direction, phone::CallDirection::Missed);
    ASSERT_EQ(m_document->recent_calls().size(), 2u);
    // The filter stays; nothing of its kind is left to show.
    EXPECT_EQ(tab().filter(), RecentsFilter::Rejected);
    EXPECT_TRUE(tab().groups().empty());
    tab().set_filter(RecentsFilter::All);
    EXPECT_EQ(tab().groups().size(), 2u);
}

TEST_F(RecentsTest, DeleteAllWithoutACallLogDeletesNothing) {
    open({call(u"111", CallKind::Missed, at(0, 12, 0))});
    Items items;
    EXPECT_TRUE(tab().recents_menu(u"ReallyDelete", items));
    EXPECT_EQ(m_document->recent_calls().size(), 1u);
    EXPECT_EQ(tab().groups().size(), 1u);
}

// --- Refresh messages ------------------------------------------------------------------------

TEST_F(RecentsTest, ANewCallJoinsItsGroupOrMakesANewOneOnTop) {
    open({call(u"111", CallKind::Incoming, at(0, 11, 0)),
          call(u"222", CallKind::Incoming, at(0, 10, 0))});
    // Flag 4: joins 222's group, which moves to the top.
    m_document->add_recent_call(call(u"222", CallKind::Incoming, at(0, 12, 0)));
    EXPECT_EQ(rows(), (std::vector<std::string>{"222| (2)|0", "111||0"}));
    EXPECT_EQ(tab().groups()[0].texts.datetime, u"12:00");
    EXPECT_EQ(tab().list()->item_count(), 2);
    // The calls moved down by one: the groups' newest calls with them.
    EXPECT_EQ(tab().groups()[0].reference, 0u);
    EXPECT_EQ(tab().groups()[1].reference, 1u);
    EXPECT_EQ(row(0).texts().count, u" (2)");

    m_document->add_recent_call(call(u"333", CallKind::Outgoing, at(0, 13, 0)));
    EXPECT_EQ(rows(), (std::vector<std::string>{"333||2", "222| (2)|0", "111||0"}));
    EXPECT_EQ(tab().list()->item_count(), 3);
    EXPECT_EQ(row(0).texts().firstlast, u"333");
    EXPECT_EQ(tab().groups()[2].reference, 2u);
}

TEST_F(RecentsTest, ANewCallTheFilterHidesChangesNoRow) {
    open({call(u"111", CallKind::Incoming, at(0, 11, 0))});
    tab().set_filter(RecentsFilter::Incoming);
    m_document->add_recent_call(call(u"222", CallKind::Outgoing, at(0, 12, 0)));
    EXPECT_EQ(rows(), (std::vector<std::string>{"111||0"}));
    EXPECT_EQ(tab().groups()[0].reference, 1u);
    // The first call into an empty tab shows the list.
    open({});
    m_document->add_recent_call(call(u"222", CallKind::Outgoing, at(0, 12, 0)));
    EXPECT_EQ(rows(), (std::vector<std::string>{"222||2"}));
    EXPECT_FALSE(tab().empty_state()->is_visible());
}

TEST_F(RecentsTest, AChangedCallRemakesItsGroupsTexts) {
    open({call(u"5550777", CallKind::Incoming, at(0, 11, 0)),
          call(u"5550777", CallKind::Incoming, at(0, 10, 0))});
    EXPECT_EQ(rows(), (std::vector<std::string>{"5550777| (2)|0"}));
    // The number becomes a contact's: the Document rematches the calls and
    // says so with flag 5 for each.
    m_store.put(person(2, u"Boris", u"Adams", u"", {phone(data::FieldType::Mobile, u"5550777")}));
    m_document->on_contact_changed(2);
    EXPECT_EQ(rows(), (std::vector<std::string>{"Boris Adams| (2)|0"}));
    EXPECT_EQ(row(0).texts().firstlast, u"Boris Adams");
    EXPECT_EQ(row(0).texts().phone, m_skin.translate(u"Mobile"));
}

TEST_F(RecentsTest, ReadingTheLogAgainRebuilds) {
    open({call(u"111", CallKind::Incoming, at(0, 11, 0))});
    m_log.records = {call(u"222", CallKind::Outgoing, at(0, 12, 0)),
                     call(u"111", CallKind::Incoming, at(0, 11, 0))};
    m_document->update_log(); // flags 6, then 18
    EXPECT_EQ(rows(), (std::vector<std::string>{"222||2", "111||0"}));
    EXPECT_EQ(tab().list()->item_count(), 2);

    // A message with an index past the list is ignored.
    data::RefreshMessage stale(RefreshFlag::RecentAdded);
    stale.set(data::RefreshSlot::RecentIndex, 77);
    tab().on_document_refresh(stale);
    data::RefreshMessage changed(RefreshFlag::RecentChanged);
    changed.set(data::RefreshSlot::RecentIndex, data::k_no_index);
    tab().on_document_refresh(changed);
    EXPECT_EQ(tab().groups().size(), 2u);

    m_log.records.clear();
    m_document->update_log();
    EXPECT_TRUE(tab().groups().empty());
    EXPECT_TRUE(tab().empty_state()->is_visible());
}

// --- Input -----------------------------------------------------------------------------------

TEST_F(RecentsTest, TapsOnARowAndItsButtons) {
    open({call(u"+15550100", CallKind::Outgoing, at(0, 9, 0)),
          call(u"5550999", CallKind::Missed, at(0, 8, 0))});
    RecentsListElement& known = row(0);
    tap(centre_of(known.direction_button()));
    ASSERT_EQ(m_listener.menus.size(), 1u);
    EXPECT_EQ(m_listener.menus[0].first.oid, 1u);
    EXPECT_EQ(m_listener.menus[0].second, 0u);
    EXPECT_TRUE(m_listener.dialled.empty());

    RecentsListElement& unknown = row(1);
    tap(centre_of(unknown.direction_button()));
    ASSERT_EQ(m_listener.menus.size(), 2u);
    EXPECT_EQ(m_listener.menus[1].first.oid, 0u);
    EXPECT_EQ(m_listener.menus[1].first.call.number, u"5550999");

    tap(centre_of(row(1).details_button()));
    ASSERT_EQ(m_listener.opened.size(), 1u);
    EXPECT_EQ(m_listener.opened[0].second, 1u);

    // Anywhere else on the row places a call to its number.
    const RecentsListElement& first = row(0);
    tap({first.x() + first.width() / 2, first.y() + first.height() / 2});
    EXPECT_EQ(m_listener.dialled, std::vector<WString>{u"+15550100"});
    EXPECT_EQ(m_listener.menus.size(), 2u);
    EXPECT_EQ(m_listener.opened.size(), 1u);
}

TEST_F(RecentsTest, WithheldNumbersPlaceNoCall) {
    open({call(u"Unknown", CallKind::Missed, at(0, 9, 0)),
          call(u"", CallKind::Incoming, at(0, 8, 0)),
          call(u"skinUnknown", CallKind::Outgoing, at(0, 7, 0)),
          call(u"5550999", CallKind::Missed, at(0, 6, 0))});
    ASSERT_EQ(tab().groups().size(), 4u);
    for (std::int32_t i = 0; i < 3; ++i) {
        const RecentsListElement& withheld = row(i);
        EXPECT_EQ(withheld.texts().firstlast, m_skin.translate(u"skinUnknown")) << i;
        tap({withheld.x() + withheld.width() / 2, withheld.y() + withheld.height() / 2});
    }
    EXPECT_TRUE(m_listener.dialled.empty());
    // A row with a number still calls it.
    const RecentsListElement& known = row(3);
    tap({known.x() + known.width() / 2, known.y() + known.height() / 2});
    EXPECT_EQ(m_listener.dialled, std::vector<WString>{u"5550999"});
}

} // namespace
} // namespace telvara::forms
