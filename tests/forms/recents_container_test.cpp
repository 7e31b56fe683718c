// The recents tab on the default skin: grouping, row texts, the filter and
// delete-all, the refresh messages and taps.
#include "forms/recents_container.h"
#include "forms/recents_list_element.h"

#include "phone/call_log.h"
#include "runtime/paths.h"
#include "screen_test_support.h"
#include "ui/image_node.h"
#include "ui/lang/language_file.h"
#include "ui/vadode.h"

#include <cstdlib>

namespace telvara::forms {
namespace {

using data::CallKind;
using data::testing::person;
using data::testing::phone;
using Rows = std::vector<std::string>;

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86'400;
constexpr std::int64_t kToday = 134'774 + 19'797; // 2024-03-15, a Friday, in days since 1601

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
CallKind kind(int k) {
    return static_cast<CallKind>(k);
}

struct Listener final : RecentsListener {
    void on_recent_call_menu(const data::RecentCall& call, std::size_t index) override {
        menus.push_back({call, index});
    }
    void on_open_recents(const data::RecentCall&, std::size_t index) override {
        opened.push_back(index);
    }
    void on_call_recent(WStringView number) override { dialled.emplace_back(number); }
    void on_recents_menu_button() override { ++menu_buttons; }
    std::vector<std::pair<data::RecentCall, std::size_t>> menus;
    std::vector<std::size_t> opened;
    std::vector<WString> dialled;
    int menu_buttons = 0;
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

class RecentsTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        load_language();
        m_store.put(
            person(1, u"Anna", u"Berg", u"", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_store.put(
            person(2, u"Boris", u"Adams", u"", {phone(data::FieldType::HomeTel, u"+1 555 0200")}));
        ASSERT_TRUE(m_main.load_from_skin(m_skin, u"Main"));
        // As the main screen shows the recents tab: nothing of the other tabs over it.
        for (const char16_t* other :
             {u"ContactSelectorContainer", u"FavoritesContainer", u"FavoritesContainer2",
              u"KeyboardContainer", u"open_keyboard"})
            if (ui::Node* node = m_main.find(other))
                node->set_visible(false);
    }
    void TearDown() override {
        m_tab.reset();
        ScreenTest::TearDown();
    }
    // The Document over these calls (newest first) and the tab bound to it.
    void open(std::vector<data::CallRecord> calls, data::CallLogSource* source = nullptr) {
        m_tab.reset();
        m_log.records = std::move(calls);
        open_document(source != nullptr ? source : &m_log);
        m_tab = std::make_unique<RecentsContainer>();
        m_tab->set_today(&fixed_today);
        m_tab->bind(m_main, m_skin, m_listener);
        layout();
    }
    void layout() {
        m_main.place_x(0, 240);
        m_main.place_y(0, 320);
    }
    // Each group as "firstlast|count|direction".
    Rows rows() const {
        Rows out;
        for (const auto& group : m_tab->groups())
            out.push_back(to_utf8(group.texts.firstlast) + "|" + to_utf8(group.texts.count) + "|" +
                          std::to_string(group.texts.direction));
        return out;
    }
    RecentsListElement& row(std::int32_t index) {
        layout();
        auto* element = dynamic_cast<RecentsListElement*>(m_tab->list()->element_for(index));
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    void tap(const ui::Node& node) {
        const std::int32_t x = node.x() + node.width() / 2, y = node.y() + node.height() / 2;
        m_main.on_touch({x, y, ui::PointerKind::Down, false});
        m_main.on_touch({x, y, ui::PointerKind::Up, false});
    }
    void menu(const char16_t* key) {
        Items items;
        m_tab->recents_menu(key, items);
    }
    WString empty_words() {
        return test::text_of(m_tab->empty_state()->find(u"RecentsContainer_empty_text"));
    }
    data::testing::FakeCallLog m_log;
    ui::Node m_main;
    Listener m_listener;
    std::unique_ptr<RecentsContainer> m_tab;
};

TEST(RecentTexts, LengthsCountsDirectionsAndFilters) {
    // Only calls that were talked have a length.
    const struct {
        int kind, seconds;
        WStringView text;
    } lengths[] = {{0, 75, u"1:15"}, {2, 3, u"0:03"}, {2, 0, u""}, {1, 0, u""},
                   {1, 12, u""},     {3, 0, u""},     {4, 0, u""}};
    for (const auto& c : lengths)
        EXPECT_EQ(recent_call_duration_text(call(u"1", kind(c.kind), 0, c.seconds)), c.text)
            << c.kind << " " << c.seconds;
    EXPECT_EQ(recent_time_text(at(-3, 23, 59)), u"23:59");
    for (const auto& [seconds, text] : std::vector<std::pair<int, WStringView>>{
             {0, u"0:00"}, {1, u"0:01"}, {754, u"12:34"}, {3723, u"1:02:03"}, {-5, u"0:00"}})
        EXPECT_EQ(recent_duration_text(seconds), text) << seconds;
    EXPECT_EQ(recent_count_text(0), u"");
    EXPECT_EQ(recent_count_text(1), u"");
    EXPECT_EQ(recent_count_text(3), u" (3)");
    for (int k : {0, 1, 2, 3, 4, 99})
        EXPECT_EQ(direction_state(kind(k)), std::min(k, 4)) << k;
    // Which kinds each filter passes: incoming, missed, outgoing, rejected, other.
    const std::pair<RecentsFilter, const char*> filters[] = {{RecentsFilter::All, "11111"},
                                                             {RecentsFilter::Incoming, "10000"},
                                                             {RecentsFilter::Outgoing, "00100"},
                                                             {RecentsFilter::Rejected, "01011"}};
    for (const auto& [filter, passed] : filters)
        for (int k = 0; k <= 4; ++k)
            EXPECT_EQ(passes(filter, kind(k)), passed[k] == '1') << passed << " kind " << k;
}

TEST_F(RecentsTest, CallsOfOneDayNumberAndKindFormOneGroupThatANewerCallMovesUp) {
    open({call(u"5550300", CallKind::Incoming, at(0, 12, 0)),
          call(u"5550300", CallKind::Outgoing, at(0, 11, 30)),
          call(u"5550300", CallKind::Incoming, at(0, 11, 0)),
          call(u"5550300", CallKind::Incoming, at(0, 10, 0)),
          call(u"5550300", CallKind::Incoming, at(-1, 22, 0))});
    EXPECT_EQ(rows(), (Rows{"5550300| (3)|0", "5550300||2", "5550300||0"}));
    // The group's texts come from its newest call.
    EXPECT_EQ(m_tab->groups()[0].reference, 0u);
    EXPECT_EQ(m_tab->groups()[0].texts.datetime, u"12:00");
    EXPECT_EQ(m_tab->groups()[2].texts.datetime, u"Yesterday");
    EXPECT_EQ(m_tab->list()->item_count(), 3);
    EXPECT_FALSE(m_tab->empty_state()->is_visible());
    EXPECT_TRUE(m_tab->list()->is_visible());
    // A at 9, B at 10, A at 11: A's later call brings A's group back on top.
    open({call(u"111", CallKind::Incoming, at(0, 11, 0)),
          call(u"222", CallKind::Incoming, at(0, 10, 0)),
          call(u"111", CallKind::Incoming, at(0, 9, 0))});
    EXPECT_EQ(rows(), (Rows{"111| (2)|0", "222||0"}));
}

TEST_F(RecentsTest, RowsShowKnownAndUnknownNumbersAndEachKindsLook) {
    open({call(u"+15550100", CallKind::Outgoing, at(0, 8, 15), 95),
          call(u"5550999", CallKind::Missed, at(-2, 18, 0)),
          call(u"Unknown", CallKind::Incoming, at(-2, 17, 0)),
          call(u"222", CallKind::Rejected, at(-2, 16, 0))});
    RecentsListElement& known = row(0);
    EXPECT_EQ(known.texts().firstlast, u"Anna Berg");
    EXPECT_EQ(known.texts().phone, m_skin.translate(u"Mobile"));
    EXPECT_EQ(known.texts().datetime, u"08:15");
    EXPECT_EQ(known.texts().duration, u"1:35");
    EXPECT_EQ(test::text_of(known.find(u"firstlast")), u"Anna Berg");
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
    // Missed and rejected calls look different: a rejected call was seen.
    auto* missed = dynamic_cast<ui::ImageNode*>(row(1).direction_look());
    auto* rejected = dynamic_cast<ui::ImageNode*>(row(3).direction_look());
    ASSERT_NE(missed, nullptr);
    ASSERT_NE(rejected, nullptr);
    EXPECT_EQ(rejected->name(), u"state3");
    const ui::Picture& a = missed->picture();
    const ui::Picture& b = rejected->picture();
    ASSERT_TRUE(a.has_data() && b.has_data());
    EXPECT_FALSE(a.data == b.data && a.points[0].x == b.points[0].x &&
                 a.points[0].y == b.points[0].y)
        << "two looks, one picture";
    EXPECT_EQ(row(3).texts().duration, u"");
}

// Each filter key shows its kinds, names them in the title (a short list is
// never taken for the whole history) and says which calls there are none of.
TEST_F(RecentsTest, FilterKeysChooseTheKindsShownAndTheTitle) {
    open({call(u"111", CallKind::Incoming, at(0, 12, 0)),
          call(u"222", CallKind::Outgoing, at(0, 11, 0)),
          call(u"333", CallKind::Missed, at(0, 10, 0)), call(u"444", kind(3), at(0, 9, 0)),
          call(u"555", kind(4), at(0, 8, 0))});
    ASSERT_NE(m_tab->title(), nullptr);
    const struct {
        const char16_t* key;
        RecentsFilter filter;
        Rows rows;
        WStringView title;
    } cases[] = {
        {u"menuIncoming", RecentsFilter::Incoming, {"111||0"}, u"Incoming calls"},
        {u"menuOutgoing", RecentsFilter::Outgoing, {"222||2"}, u"Outgoing calls"},
        {u"menuRejected", RecentsFilter::Rejected, {"333||1", "444||3", "555||4"}, u"Missed calls"},
        {u"menuAllCalls",
         RecentsFilter::All,
         {"111||0", "222||2", "333||1", "444||3", "555||4"},
         u"Recents"},
    };
    for (const auto& c : cases) {
        Items items;
        EXPECT_TRUE(m_tab->recents_menu(c.key, items));
        EXPECT_TRUE(items.items.empty()) << "a command: the menu closes";
        EXPECT_EQ(m_tab->filter(), c.filter);
        EXPECT_EQ(rows(), c.rows) << to_utf8(c.key);
        EXPECT_EQ(m_tab->list()->item_count(), std::int32_t(c.rows.size()));
        EXPECT_EQ(m_tab->title()->text(), c.title);
        if (c.filter == RecentsFilter::Rejected) {
            Items filters;
            m_tab->recents_menu(u"menuFilter", filters);
            EXPECT_TRUE(filters.items[3].checked);
            EXPECT_FALSE(filters.items[0].checked);
        }
    }
    ASSERT_NE(m_tab->menu_button(), nullptr);
    EXPECT_TRUE(m_tab->menu_button()->is_visible());
    tap(*m_tab->menu_button());
    EXPECT_EQ(m_listener.menu_buttons, 1);
    EXPECT_TRUE(m_listener.dialled.empty());
}

TEST_F(RecentsTest, DeleteAllDeletesOnlyTheCallsOfTheChosenKind) {
    // Without a call log nothing goes.
    open({call(u"111", CallKind::Missed, at(0, 12, 0))});
    Items items;
    EXPECT_TRUE(m_tab->recents_menu(u"ReallyDelete", items));
    EXPECT_EQ(m_document->recent_calls().size(), 1u);
    EXPECT_EQ(m_tab->groups().size(), 1u);
    phone::CallLog log(root() + "/clog.db");
    ASSERT_TRUE(log.is_open());
    const std::int64_t base = phone::file_time_from_unix_ms(1'700'000'000'000);
    int minute = 0;
    for (auto [direction, number] : {std::pair{phone::CallDirection::Missed, u"111"},
                                     {phone::CallDirection::Incoming, u"111"},
                                     {phone::CallDirection::Missed, u"222"},
                                     {phone::CallDirection::Outgoing, u"111"},
                                     {phone::CallDirection::Missed, u"111"}}) {
        phone::CallLogEntry e;
        e.start = base + ++minute * 60 * kTicksPerSecond;
        e.end = e.start + 30 * kTicksPerSecond;
        e.direction = direction;
        e.number = number;
        ASSERT_TRUE(log.add(e));
    }
    open({}, &log);
    ASSERT_EQ(m_document->recent_calls().size(), 5u);
    m_tab->set_call_log(&log);
    menu(u"menuRejected");
    EXPECT_TRUE(m_tab->recents_menu(u"ReallyDelete", items));
    EXPECT_TRUE(items.items.empty());
    const auto left = log.entries();
    ASSERT_EQ(left.size(), 2u);
    for (const auto& e : left)
        EXPECT_NE(e.direction, phone::CallDirection::Missed);
    ASSERT_EQ(m_document->recent_calls().size(), 2u);
    // The filter stays; nothing of its kind is left to show.
    EXPECT_EQ(m_tab->filter(), RecentsFilter::Rejected);
    EXPECT_TRUE(m_tab->groups().empty());
    m_tab->set_filter(RecentsFilter::All);
    EXPECT_EQ(m_tab->groups().size(), 2u);
}

TEST_F(RecentsTest, ANewCallJoinsItsGroupOrMakesANewOneOnTop) {
    open({call(u"111", CallKind::Incoming, at(0, 11, 0)),
          call(u"222", CallKind::Incoming, at(0, 10, 0))});
    m_document->add_recent_call(call(u"222", CallKind::Incoming, at(0, 12, 0)));
    EXPECT_EQ(rows(), (Rows{"222| (2)|0", "111||0"}));
    EXPECT_EQ(m_tab->groups()[0].texts.datetime, u"12:00");
    EXPECT_EQ(m_tab->list()->item_count(), 2);
    // The calls moved down by one: the groups' newest calls with them.
    EXPECT_EQ(m_tab->groups()[0].reference, 0u);
    EXPECT_EQ(m_tab->groups()[1].reference, 1u);
    EXPECT_EQ(row(0).texts().count, u" (2)");
    m_document->add_recent_call(call(u"333", CallKind::Outgoing, at(0, 13, 0)));
    EXPECT_EQ(rows(), (Rows{"333||2", "222| (2)|0", "111||0"}));
    EXPECT_EQ(m_tab->list()->item_count(), 3);
    EXPECT_EQ(row(0).texts().firstlast, u"333");
    EXPECT_EQ(m_tab->groups()[2].reference, 2u);
    // A call the filter hides changes no row but moves the references.
    m_tab->set_filter(RecentsFilter::Outgoing);
    m_document->add_recent_call(call(u"444", CallKind::Incoming, at(0, 14, 0)));
    EXPECT_EQ(rows(), (Rows{"333||2"}));
    EXPECT_EQ(m_tab->groups()[0].reference, 1u);
    // The first call into an empty tab shows the list.
    open({});
    m_document->add_recent_call(call(u"222", CallKind::Outgoing, at(0, 12, 0)));
    EXPECT_EQ(rows(), (Rows{"222||2"}));
    EXPECT_FALSE(m_tab->empty_state()->is_visible());
}

TEST_F(RecentsTest, AChangedCallRemakesItsGroupsTexts) {
    open({call(u"5550777", CallKind::Incoming, at(0, 11, 0)),
          call(u"5550777", CallKind::Incoming, at(0, 10, 0))});
    // The number becomes a contact's: the Document rematches the calls.
    m_store.put(person(2, u"Boris", u"Adams", u"", {phone(data::FieldType::Mobile, u"5550777")}));
    m_document->on_contact_changed(2);
    EXPECT_EQ(rows(), (Rows{"Boris Adams| (2)|0"}));
    EXPECT_EQ(row(0).texts().firstlast, u"Boris Adams");
    EXPECT_EQ(row(0).texts().phone, m_skin.translate(u"Mobile"));
}

// A tap on the row calls its number, never a withheld one; its buttons open the menu and the calls.
TEST_F(RecentsTest, TapsOnARowAndItsButtons) {
    open({call(u"+15550100", CallKind::Outgoing, at(0, 9, 0)),
          call(u"5550999", CallKind::Missed, at(0, 8, 0)),
          call(u"Unknown", CallKind::Missed, at(0, 7, 0)),
          call(u"", CallKind::Incoming, at(0, 6, 0)),
          call(u"skinUnknown", CallKind::Outgoing, at(0, 5, 0))});
    tap(row(0).direction_button());
    tap(row(1).direction_button());
    ASSERT_EQ(m_listener.menus.size(), 2u);
    EXPECT_EQ(m_listener.menus[0].first.oid, 1u);
    EXPECT_EQ(m_listener.menus[0].second, 0u);
    EXPECT_EQ(m_listener.menus[1].first.oid, 0u);
    EXPECT_EQ(m_listener.menus[1].first.call.number, u"5550999");
    tap(row(1).details_button());
    EXPECT_EQ(m_listener.opened, std::vector<std::size_t>{1});
    EXPECT_TRUE(m_listener.dialled.empty());
    for (std::int32_t i = 2; i < 5; ++i) {
        EXPECT_EQ(row(i).texts().firstlast, m_skin.translate(u"skinUnknown")) << i;
        tap(row(i));
    }
    tap(row(0));
    EXPECT_EQ(m_listener.dialled, std::vector<WString>{u"+15550100"});
    EXPECT_EQ(m_listener.menus.size(), 2u);
}

} // namespace
} // namespace telvara::forms
