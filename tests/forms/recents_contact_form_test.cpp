// The calls of one contact or number on the shipped default skin: which
// calls are listed, the head row, the form's own filter, delete mode with
// its remove buttons and the delete-all of the calls shown.
#include "forms/contact_recents_form.h"

#include "../data/document_test_support.h"
#include "data/contact_photo.h"
#include "data/test_contacts.h"
#include "forms/skin_types.h"
#include "phone/call_log.h"
#include "ui/colour.h"
#include "ui/image_node.h"
#include "ui/multinode.h"
#include "ui/properties.h"
#include "ui/render_surface.h"
#include "ui/text_node.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

namespace telvara::forms {
namespace {

using data::testing::person;
using data::testing::phone;

constexpr std::int64_t kSecond = 10'000'000;

struct Caller final : RecentsCaller {
    void on_call_recent(WStringView number) override { dialled.emplace_back(number); }
    std::vector<WString> dialled;
};

struct Items final : ui::ChoiceMenu {
    void add_item(ui::ChoiceItem item) override { keys.push_back(item.identifier); }
    std::vector<WString> keys;
};

class ContactRecentsTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ASSERT_TRUE(forms::test::install_default_skin(m_skin, m_impl));
        m_store.put(
            person(1, u"Anna", u"Berg", u"Acme", {phone(data::FieldType::Mobile, u"+1 555 0100")}));
        m_log.emplace(root() + "/clog.db");
        const std::int64_t base = phone::file_time_from_unix_ms(1'700'000'000'000);
        int minute = 0;
        const auto add = [&](phone::CallDirection direction, std::u16string number) {
            phone::CallLogEntry e;
            e.start = base + (++minute) * 60 * kSecond;
            e.end = e.start + 42 * kSecond;
            e.direction = direction;
            e.number = std::move(number);
            ASSERT_TRUE(m_log->add(e));
        };
        add(phone::CallDirection::Incoming, u"+15550100");
        add(phone::CallDirection::Missed, u"5550999");
        add(phone::CallDirection::Outgoing, u"+15550100");
        add(phone::CallDirection::Missed, u"+15550100");
        m_document.emplace(m_store, &*m_log, files());
        m_document->load();
        m_form.emplace();
        m_form->bind(m_skin, m_caller, &*m_log);
    }
    void TearDown() override {
        m_form.reset();
        m_document.reset();
        m_log.reset();
        DocumentTest::TearDown();
    }
    void layout() {
        m_form->place_x(0, 240);
        m_form->place_y(0, 320);
    }
    ui::ListElement& row(std::int32_t index) {
        layout();
        ui::ListElement* element = m_form->list()->element_for(index);
        EXPECT_NE(element, nullptr) << "row " << index;
        return *element;
    }
    WString text(std::int32_t index, WStringView name) {
        auto* node = dynamic_cast<ui::TextNode*>(row(index).find(name));
        return node != nullptr ? node->text() : u"<none>";
    }
    std::vector<WString> numbers() const {
        std::vector<WString> out;
        for (std::size_t i : m_form->entries())
            out.push_back(m_document->recent_calls().at(i).call.number);
        return out;
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    data::testing::FakeStore m_store;
    std::optional<phone::CallLog> m_log;
    std::optional<data::Document> m_document;
    Caller m_caller;
    std::optional<ContactRecentsForm> m_form;
};

// The head shows the contact's own photo; a number without a contact and a
// contact without a photo keep the skin's picture.
TEST_F(ContactRecentsTest, TheHeadShowsTheContactsPhoto) {
    data::ContactPhotoCache photos([](std::uint32_t oid) {
        return oid == 1 ? data::make_test_contact_photo(0) : std::vector<std::byte>{};
    });
    m_form->bind(m_skin, m_caller, &*m_log, &photos);
    auto head_photo = [&] {
        auto* image = dynamic_cast<ui::ImageNode*>(row(0).find(u"photo"));
        EXPECT_NE(image, nullptr);
        return image != nullptr ? image->picture() : ui::Picture{};
    };
    m_form->show_for_number(u"5550999");
    const ui::Picture skin_picture = head_photo();
    ASSERT_TRUE(skin_picture.has_data());

    m_form->show_for_contact(m_store.contacts[1]);
    const ui::Picture own = head_photo();
    ASSERT_TRUE(own.has_data());
    EXPECT_NE(own.data, skin_picture.data);

    data::ContactRecord nobody = person(7, u"Nils", u"");
    m_form->show_for_contact(nobody);
    EXPECT_EQ(head_photo().data, skin_picture.data);
}

TEST_F(ContactRecentsTest, AContactsCallsUnderItsHead) {
    m_form->show_for_contact(m_store.contacts.at(1));
    EXPECT_FALSE(m_form->number_bound());
    EXPECT_EQ(m_form->entries().size(), 3u);
    EXPECT_EQ(m_form->list()->item_count(), 4);
    EXPECT_EQ(text(0, u"firstname"), u"Anna");
    EXPECT_EQ(text(0, u"lastname"), u"Berg");
    EXPECT_EQ(text(0, u"company"), u"Acme");
    EXPECT_EQ(text(1, u"phone"), u"+15550100");
    EXPECT_FALSE(row(1).find(u"remove")->is_visible());
    // Newest first: the missed call, shown by its look.
    EXPECT_TRUE(row(1).find(u"direction")->find(u"state1")->is_visible());
    EXPECT_FALSE(row(1).find(u"direction")->find(u"state0")->is_visible());
    EXPECT_EQ(text(1, u"call_info").find(u"0:42"), WString::npos) << "a missed call has no length";
    EXPECT_NE(text(2, u"call_info").find(u"0:42"), WString::npos);

    m_form->row_tapped(2);
    m_form->row_tapped(0); // the head places no call
    EXPECT_EQ(m_caller.dialled, std::vector<WString>{u"+15550100"});
}

// The day the test says is today, for the form's clock.
std::int64_t g_today = 0;
std::int64_t test_today() {
    return g_today;
}

// Each call says when it was to the minute: the time of day alone today,
// after the day's word on other days; a call that was talked, how long.
TEST_F(ContactRecentsTest, EachCallSaysItsTimeOfDay) {
    ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/russian.lng"));
    m_form->bind(m_skin, m_caller, &*m_log);
    m_form->set_today(&test_today);
    m_form->show_for_contact(m_store.contacts.at(1));
    const std::int64_t outgoing = m_document->recent_calls().at(m_form->entries().at(1)).call.time;
    const std::int64_t missed = m_document->recent_calls().at(m_form->entries().at(0)).call.time;
    const std::int64_t day = local_day_number(outgoing);
    const WString outgoing_time = recent_time_text(outgoing);
    const WString missed_time = recent_time_text(missed);

    g_today = day;
    m_form->rebuild();
    EXPECT_EQ(text(2, u"call_info"), outgoing_time + u" \u00B7 0:42");
    EXPECT_EQ(text(1, u"call_info"), missed_time);
    g_today = day + 1;
    m_form->rebuild();
    EXPECT_EQ(text(2, u"call_info"), u"Вчера " + outgoing_time + u" \u00B7 0:42");
    EXPECT_EQ(text(1, u"call_info"), u"Вчера " + missed_time);
}

TEST_F(ContactRecentsTest, ANumbersCallsAndItsOwnFilter) {
    m_form->show_for_number(u"5550999");
    EXPECT_TRUE(m_form->number_bound());
    EXPECT_EQ(numbers(), std::vector<WString>{u"5550999"});
    EXPECT_EQ(text(0, u"firstname"), u"5550999");

    m_form->show_for_contact(m_store.contacts.at(1));
    Items items;
    m_form->on_menu(*m_form->menu(), u"menuRejected", items);
    EXPECT_TRUE(items.keys.empty());
    EXPECT_EQ(m_form->filter(), RecentsFilter::Rejected);
    EXPECT_EQ(m_form->entries().size(), 1u);
    EXPECT_EQ(m_form->edit_mode()->current(), 0u);
    // The filter stays for the next showing.
    m_form->show_for_number(u"5550999");
    EXPECT_EQ(m_form->entries().size(), 1u);
    m_form->on_menu(*m_form->menu(), u"menuOutgoing", items);
    EXPECT_TRUE(m_form->entries().empty());
    EXPECT_EQ(m_form->list()->item_count(), 1); // the head only
}

TEST_F(ContactRecentsTest, MenuKeysDeleteModeAndDeleteAll) {
    m_form->show_for_contact(m_store.contacts.at(1));
    Items main;
    m_form->on_menu(*m_form->menu(), u"MainMenu", main);
    EXPECT_EQ(main.keys,
              (std::vector<WString>{u"menuFilter", u"menuDelete", u"menuDeleteAll", u"Cancel"}));

    Items none;
    m_form->on_menu(*m_form->menu(), u"menuDelete", none);
    EXPECT_TRUE(m_form->delete_mode());
    EXPECT_TRUE(row(1).find(u"remove")->is_visible());
    EXPECT_FALSE(m_form->find(u"cancel")->is_visible());
    EXPECT_TRUE(m_form->find(u"padding")->is_visible());

    // Remove on the newest call deletes that one call from the log.
    auto* remove = dynamic_cast<ui::ButtonNode*>(row(1).find(u"remove"));
    ASSERT_NE(remove, nullptr);
    ASSERT_NE(remove->listener(), nullptr);
    remove->listener()->on_click(*remove);
    EXPECT_EQ(m_log->entries().size(), 3u);
    EXPECT_EQ(m_form->entries().size(), 2u);
    EXPECT_TRUE(m_form->delete_mode());

    Items really;
    m_form->on_menu(*m_form->menu(), u"menuDeleteAll", really);
    EXPECT_EQ(really.keys, (std::vector<WString>{u"ReallyDelete", u"Cancel"}));
    m_form->on_menu(*m_form->menu(), u"ReallyDelete", none);
    EXPECT_TRUE(m_form->entries().empty());
    EXPECT_FALSE(m_form->delete_mode());
    // Only the other number's call is left in the log.
    ASSERT_EQ(m_log->entries().size(), 1u);
    EXPECT_EQ(m_log->entries()[0].number, WString(u"5550999"));
}

// The head's photo is there from the first frame, drawn 1:1 through the
// round mask: its corners show the row, never a square crop of the photo.
TEST_F(ContactRecentsTest, TheHeadsPhotoIsRoundFromTheFirstFrame) {
    data::ContactPhotoCache photos([](std::uint32_t oid) {
        return oid == 1 ? data::make_test_contact_photo(0) : std::vector<std::byte>{};
    });
    m_form->bind(m_skin, m_caller, &*m_log, &photos);
    m_form->show_for_contact(m_store.contacts.at(1));
    ui::RenderSurface screen;
    screen.resize(240, 320);
    m_form->fit_to_screen(240, 320);
    m_form->layout_x();
    m_form->layout_y();
    m_form->draw_form(screen);

    ui::ListElement* head = m_form->list()->element_for(0);
    ASSERT_NE(head, nullptr);
    auto* image = dynamic_cast<ui::ImageNode*>(head->find(u"photo"));
    ASSERT_NE(image, nullptr);
    ASSERT_GT(image->width(), 1);
    EXPECT_EQ(image->picture().width, image->width());
    EXPECT_EQ(image->picture().height, image->height());
    const ui::Pixel white = ui::to_565(255, 255, 255);
    EXPECT_EQ(screen.row(image->y() + 1)[image->x() + 1], white) << "a square photo";
    EXPECT_NE(screen.row(image->y() + image->height() / 2)[image->x() + 4], white) << "no photo";
}

// A head with the number alone keeps it in the middle of the row.
TEST_F(ContactRecentsTest, ANumbersHeadShowsOneCentredLine) {
    m_form->show_for_number(u"5550999");
    ui::ListElement& head = row(0);
    const ui::Node* number = head.find(u"firstname");
    ASSERT_NE(number, nullptr);
    EXPECT_FALSE(head.find(u"lastname")->is_visible());
    EXPECT_FALSE(head.find(u"company")->is_visible());
    const std::int32_t above = number->y() - head.y();
    const std::int32_t below = head.y() + head.height() - (number->y() + number->height());
    EXPECT_LE(std::abs(above - below), 2);
}

// Under a filter that leaves no call, the form says so beneath the head.
TEST_F(ContactRecentsTest, AFilterWithoutCallsSaysSo) {
    m_form->show_for_contact(m_store.contacts.at(1));
    auto* words = dynamic_cast<ui::TextNode*>(m_form->find(u"calls_empty"));
    ASSERT_NE(words, nullptr);
    EXPECT_FALSE(words->is_visible());
    Items none;
    m_form->on_menu(*m_form->menu(), u"menuIncoming", none);
    EXPECT_FALSE(words->is_visible());
    m_form->show_for_number(u"5550999");
    m_form->on_menu(*m_form->menu(), u"menuOutgoing", none);
    EXPECT_TRUE(words->is_visible());
    EXPECT_EQ(words->text(), m_skin.translate(u"skinNoOutgoingCalls"));
    m_form->on_menu(*m_form->menu(), u"menuAllCalls", none);
    EXPECT_FALSE(words->is_visible());
}

TEST_F(ContactRecentsTest, TheTitleNamesTheFilter) {
    m_form->show_for_contact(m_store.contacts.at(1));
    auto* title = dynamic_cast<ui::TextNode*>(m_form->find(u"calls_title"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), m_skin.translate(u"skinRecents"));
    Items none;
    m_form->on_menu(*m_form->menu(), u"menuRejected", none);
    EXPECT_EQ(title->text(), m_skin.translate(u"skinMissedCalls"));
    m_form->on_menu(*m_form->menu(), u"menuAllCalls", none);
    EXPECT_EQ(title->text(), m_skin.translate(u"skinRecents"));
}

// In delete mode a tap on a call chooses it for deletion and never dials;
// the check mark that ends the mode deletes what was chosen, and only that.
TEST_F(ContactRecentsTest, DeleteModeTapsMarkAndTheCheckMarkDeletesTheMarked) {
    m_form->show_for_contact(m_store.contacts.at(1));
    Items none;
    m_form->on_menu(*m_form->menu(), u"menuDelete", none);
    ASSERT_EQ(m_form->entries().size(), 3u);
    const WString kept_info = text(2, u"call_info");

    m_form->row_tapped(1);
    m_form->row_tapped(3);
    m_form->row_tapped(2);
    m_form->row_tapped(2); // a second tap takes the mark away
    EXPECT_TRUE(m_caller.dialled.empty());
    EXPECT_TRUE(m_form->is_marked(1));
    EXPECT_FALSE(m_form->is_marked(2));
    EXPECT_TRUE(m_form->is_marked(3));
    EXPECT_TRUE(row(1).find(u"marked")->is_visible());
    EXPECT_FALSE(row(2).find(u"marked")->is_visible());
    EXPECT_EQ(m_log->entries().size(), 4u); // nothing goes before the check mark

    m_form->edit_switch_tapped();
    EXPECT_FALSE(m_form->delete_mode());
    ASSERT_EQ(m_form->entries().size(), 1u);
    EXPECT_EQ(text(1, u"call_info"), kept_info);
    EXPECT_EQ(m_log->entries().size(), 2u);
    EXPECT_FALSE(row(1).find(u"marked")->is_visible());

    // Out of delete mode a tap calls again.
    m_form->row_tapped(1);
    EXPECT_EQ(m_caller.dialled, std::vector<WString>{u"+15550100"});
}

// Marks made in one delete mode are gone when the form shows again: they
// never delete calls later.
TEST_F(ContactRecentsTest, MarksDoNotOutliveTheirDeleteMode) {
    m_form->show_for_contact(m_store.contacts.at(1));
    Items none;
    m_form->on_menu(*m_form->menu(), u"menuDelete", none);
    m_form->row_tapped(1);
    m_form->show_for_contact(m_store.contacts.at(1));
    EXPECT_FALSE(m_form->is_marked(1));
    m_form->on_menu(*m_form->menu(), u"menuDelete", none);
    m_form->edit_switch_tapped();
    EXPECT_EQ(m_log->entries().size(), 4u);
    EXPECT_EQ(m_form->entries().size(), 3u);
}

} // namespace
} // namespace telvara::forms
