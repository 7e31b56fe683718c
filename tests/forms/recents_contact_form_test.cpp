// The calls of one contact or number on the default skin: which calls are
// listed, the head row, delete mode and delete-all.
#include "forms/contact_recents_form.h"

#include "phone/call_log.h"
#include "screen_test_support.h"

#include <cstdlib>

namespace telvara::forms {
namespace {

using data::testing::person;
using data::testing::phone;
using Numbers = std::vector<WString>;

constexpr std::int64_t kSecond = 10'000'000;

struct Caller final : RecentsCaller {
    void on_call_recent(WStringView number) override { dialled.emplace_back(number); }
    Numbers dialled;
};

struct Items final : ui::ChoiceMenu {
    void add_item(ui::ChoiceItem item) override { keys.push_back(item.identifier); }
    Numbers keys;
};

class ContactRecentsTest : public test::ScreenTest {
  protected:
    void SetUp() override {
        ScreenTest::SetUp();
        m_store.put(
            person(1, u"Anna", u"Berg", u"Acme", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_log.emplace(root() + "/clog.db");
        const std::int64_t base = phone::file_time_from_unix_ms(1'700'000'000'000);
        int minute = 0;
        // Oldest first: Anna's incoming, a stranger's missed, Anna's outgoing and missed.
        for (auto [direction, number] : {std::pair{phone::CallDirection::Incoming, u"+15550100"},
                                         {phone::CallDirection::Missed, u"5550999"},
                                         {phone::CallDirection::Outgoing, u"+15550100"},
                                         {phone::CallDirection::Missed, u"+15550100"}}) {
            phone::CallLogEntry e;
            e.start = base + ++minute * 60 * kSecond;
            e.end = e.start + 42 * kSecond;
            e.direction = direction;
            e.number = number;
            ASSERT_TRUE(m_log->add(e));
        }
        open_document(&*m_log);
        m_form.emplace();
        m_form->bind(m_skin, m_caller, &*m_log);
    }
    void TearDown() override {
        m_form.reset();
        m_document.reset();
        m_log.reset();
        ScreenTest::TearDown();
    }
    ui::ListElement& row(std::int32_t index) {
        m_form->place_x(0, 240);
        m_form->place_y(0, 320);
        ui::ListElement* element = m_form->list()->element_for(index);
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    WString text(std::int32_t index, WStringView name) {
        return test::text_of(row(index).find(name));
    }
    bool row_shows(std::int32_t index, WStringView name) {
        return test::visible(row(index).find(name));
    }
    void menu(WStringView key, Items* items = nullptr) {
        Items none;
        m_form->on_menu(*m_form->menu(), key, items != nullptr ? *items : none);
    }
    void show_anna() { m_form->show_for_contact(m_store.contacts.at(1)); }
    std::optional<phone::CallLog> m_log;
    Caller m_caller;
    std::optional<ContactRecentsForm> m_form;
};

TEST_F(ContactRecentsTest, AContactsCallsUnderItsHeadAndANumbersCentredHead) {
    show_anna();
    EXPECT_FALSE(m_form->number_bound());
    EXPECT_EQ(m_form->entries().size(), 3u);
    EXPECT_EQ(m_form->list()->item_count(), 4);
    EXPECT_EQ(text(0, u"firstname"), u"Anna");
    EXPECT_EQ(text(0, u"lastname"), u"Berg");
    EXPECT_EQ(text(0, u"company"), u"Acme");
    EXPECT_EQ(text(1, u"phone"), u"+15550100");
    EXPECT_FALSE(row_shows(1, u"remove"));
    // Newest first: the missed call, shown by its look, with no length.
    EXPECT_TRUE(row(1).find(u"direction")->find(u"state1")->is_visible());
    EXPECT_FALSE(row(1).find(u"direction")->find(u"state0")->is_visible());
    EXPECT_EQ(text(1, u"call_info").find(u"0:42"), WString::npos);
    EXPECT_NE(text(2, u"call_info").find(u"0:42"), WString::npos);
    m_form->row_tapped(2);
    m_form->row_tapped(0); // the head places no call
    EXPECT_EQ(m_caller.dialled, Numbers{u"+15550100"});
    // A head with the number alone keeps it in the middle of the row.
    m_form->show_for_number(u"5550999");
    EXPECT_TRUE(m_form->number_bound());
    EXPECT_EQ(text(0, u"firstname"), u"5550999");
    ui::ListElement& head = row(0);
    const ui::Node* number = head.find(u"firstname");
    EXPECT_FALSE(head.find(u"lastname")->is_visible());
    EXPECT_FALSE(head.find(u"company")->is_visible());
    const std::int32_t above = number->y() - head.y();
    const std::int32_t below = head.y() + head.height() - (number->y() + number->height());
    EXPECT_LE(std::abs(above - below), 2);
}

TEST_F(ContactRecentsTest, MenuKeysDeleteModeAndDeleteAll) {
    show_anna();
    Items main;
    menu(u"MainMenu", &main);
    EXPECT_EQ(main.keys, (Numbers{u"menuFilter", u"menuDelete", u"menuDeleteAll", u"Cancel"}));
    menu(u"menuDelete");
    EXPECT_TRUE(m_form->delete_mode());
    EXPECT_TRUE(row_shows(1, u"remove"));
    EXPECT_FALSE(m_form->find(u"cancel")->is_visible());
    EXPECT_TRUE(m_form->find(u"padding")->is_visible());
    // Remove on the newest call deletes that one call from the log.
    test::click(row(1).find(u"remove"));
    EXPECT_EQ(m_log->entries().size(), 3u);
    EXPECT_EQ(m_form->entries().size(), 2u);
    EXPECT_TRUE(m_form->delete_mode());
    Items really;
    menu(u"menuDeleteAll", &really);
    EXPECT_EQ(really.keys, (Numbers{u"ReallyDelete", u"Cancel"}));
    menu(u"ReallyDelete");
    EXPECT_TRUE(m_form->entries().empty());
    EXPECT_FALSE(m_form->delete_mode());
    ASSERT_EQ(m_log->entries().size(), 1u) << "only the other number's call is left";
    EXPECT_EQ(m_log->entries()[0].number, WString(u"5550999"));
}

// Delete mode: taps mark, never dial; the check mark deletes only the marked.
TEST_F(ContactRecentsTest, DeleteModeTapsMarkAndTheCheckMarkDeletesTheMarked) {
    show_anna();
    menu(u"menuDelete");
    m_form->row_tapped(2);
    show_anna();
    EXPECT_FALSE(m_form->is_marked(2));
    menu(u"menuDelete");
    const WString kept_info = text(2, u"call_info");
    m_form->row_tapped(1);
    m_form->row_tapped(3);
    m_form->row_tapped(2);
    m_form->row_tapped(2); // a second tap takes the mark away
    EXPECT_TRUE(m_caller.dialled.empty());
    EXPECT_EQ((std::vector{m_form->is_marked(1), m_form->is_marked(2), m_form->is_marked(3)}),
              (std::vector{true, false, true}));
    EXPECT_TRUE(row_shows(1, u"marked"));
    EXPECT_FALSE(row_shows(2, u"marked"));
    EXPECT_EQ(m_log->entries().size(), 4u) << "nothing goes before the check mark";
    m_form->edit_switch_tapped();
    EXPECT_FALSE(m_form->delete_mode());
    ASSERT_EQ(m_form->entries().size(), 1u);
    EXPECT_EQ(text(1, u"call_info"), kept_info);
    EXPECT_EQ(m_log->entries().size(), 2u);
    EXPECT_FALSE(row_shows(1, u"marked"));
    m_form->row_tapped(1); // out of delete mode a tap calls again
    EXPECT_EQ(m_caller.dialled, Numbers{u"+15550100"});
}

} // namespace
} // namespace telvara::forms
