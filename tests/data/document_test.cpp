#include "document_test_support.h"
#include "runtime/registry.h"
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace telvara::data {
namespace {
using testing::call;
using testing::DocumentTest;
using testing::FakeCallLog;
using testing::FakeStore;
using testing::person;
using testing::phone;
using testing::RecordingDocListener;
constexpr char16_t k_key[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
using Oids = std::vector<std::uint32_t>;

class DocTest : public DocumentTest {
  protected:
    FakeStore store;
    FakeCallLog log;
};
// One random edit of the store (add, change or remove), told to the Document as its notices would.
void random_edit(FakeStore& store, Document& doc, std::mt19937& rng, std::uint32_t& next_oid,
                 const std::function<ContactRecord(std::uint32_t)>& make_record) {
    int what = static_cast<int>(rng() % 3);
    if (what == 0) {
        ContactRecord r = make_record(next_oid++);
        store.put(r);
        doc.contact_added(r);
    } else if (!store.contacts.empty()) {
        auto it = store.contacts.begin();
        std::advance(it, static_cast<long>(rng() % store.contacts.size()));
        std::uint32_t oid = it->first;
        if (what == 1) {
            store.put(make_record(oid));
            doc.on_contact_changed(oid);
        } else {
            store.contacts.erase(it);
            doc.on_contact_removed(oid);
        }
    }
}

TEST_F(DocTest, SortingsTiesInOidOrderAndTheStoredSortingAndDialer) {
    ASSERT_TRUE(runtime::reg_write_dword(k_key, u"Dialer", 0));
    for (auto [oid, first, last, company] : {std::tuple{5u, u"John", u"Smith", u""},
                                             {2u, u"John", u"Smith", u""},
                                             {9u, u"Zoe", u"Brown", u"Mid"},
                                             {4u, u"", u"", u"Zeta Corp"},
                                             {7u, u"", u"", u"Acme"},
                                             {1u, u"Carl", u"", u""}})
        store.put(person(oid, first, last, company));
    {
        Document doc(store, &log, files());
        RecordingDocListener listener;
        doc.add_listener(listener);
        EXPECT_FALSE(doc.loaded() || doc.dialer());
        doc.load();
        EXPECT_TRUE(doc.loaded());
        EXPECT_EQ(doc.sorting(), SortMode::LastName);
        EXPECT_EQ(oids(doc.all_contacts()), (Oids{7, 9, 1, 2, 5, 4})); // acme brown carl smith zeta
        EXPECT_EQ(oids(doc.filtered_contacts()), oids(doc.all_contacts()));
        EXPECT_EQ(listener.flags(), (std::vector<int>{6, 18, 0}));
        doc.remove_listener(listener);
        doc.set_sorting(2); // companies: acme carlcarl johnsmith johnsmith mid zeta
        EXPECT_EQ(oids(doc.all_contacts()), (Oids{7, 1, 2, 5, 9, 4}));
        doc.set_sorting(77); // nonsense falls back to last name
        EXPECT_EQ(doc.sorting(), SortMode::LastName);
        doc.set_sorting(0);
        doc.set_dialer(true);
    }
    std::uint32_t dialer = 0;
    EXPECT_TRUE(runtime::reg_read_dword(k_key, u"Dialer", dialer) && dialer == 1u);
    {
        Document doc(store, nullptr, files());
        doc.load(); // with the stored first names: acme carl john john zeta zoe
        EXPECT_EQ(oids(doc.all_contacts()), (Oids{7, 1, 2, 5, 4, 9}));
    }
    store.contacts.clear();
    const char16_t* last_names[] = {u"Жуков", u"Ёжиков", u"Егоров",   u"Évora",
                                    u"Ezra",  u"Fox",    u"24 Hours", u"Eva"};
    for (std::uint32_t oid = 1; oid <= 8; ++oid)
        store.put(person(oid, u"", last_names[oid - 1]));
    Document doc(store, nullptr, files());
    doc.load();
    doc.set_sorting(1);
    EXPECT_EQ(oids(doc.all_contacts()), (Oids{7, 8, 5, 4, 6, 3, 2, 1}));
}

TEST_F(DocTest, CategoryFilterWordsAndCategoriesOfEditedContacts) {
    store.categories = {u"Work", u"Family"};
    store.put(person(1, u"Ann", u"", u"", {ContactField(FieldType::Categories, u"Work, Family")}));
    store.put(person(2, u"Bob", u"", u"", {ContactField(FieldType::Categories, u"Work,  Family")}));
    store.put(person(3, u"Cy", u""));
    Document doc(store, nullptr, files());
    doc.load();
    EXPECT_EQ(doc.categories(), (std::vector<WString>{u"Work", u"Family"}));
    EXPECT_EQ(doc.category(), u"skinNoCategory");
    RecordingDocListener listener;
    doc.add_listener(listener);
    doc.set_category(u"Family");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1}));
    EXPECT_EQ(listener.flags(), (std::vector<int>{0}));
    doc.set_category(u""); // keeps the category, rebuilds
    EXPECT_EQ(doc.category(), u"Family");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1}));
    doc.set_category(u"Work");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1, 2}));
    doc.set_category(u"skinNoCategory");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1, 2, 3}));
    doc.set_category(u"Work");
    doc.set_sorting(1); // rebuilds from the (empty) search words
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1, 2, 3}));
    // Words typed before a category is chosen highlight nothing in its list.
    doc.set_filter(u"2");
    doc.set_category(u"Work");
    const MatchResult shown = doc.match(*doc.find_contact(1));
    EXPECT_TRUE(shown.passes);
    EXPECT_EQ(shown.first_name, 0);
    EXPECT_EQ(doc.match(*doc.find_contact(3)).passes, false);
    doc.remove_listener(listener);
    // A category typed or imported while the program runs is offered at once, and stays offered
    // for the session when its last contact leaves it.
    doc.set_filter(u"");
    ContactRecord di = person(4, u"Di", u"", u"", {ContactField(FieldType::Categories, u"Gym")});
    store.put(di);
    doc.contact_added(di);
    store.put(
        person(3, u"Cy", u"", u"", {ContactField(FieldType::Categories, u"Work, Choir;Gym,")}));
    doc.on_contact_changed(3);
    EXPECT_EQ(doc.categories(), (std::vector<WString>{u"Work", u"Family", u"Gym", u"Choir"}));
    doc.set_category(u"Choir");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{3}));
    store.put(person(3, u"Cy", u""));
    doc.on_contact_changed(3);
    EXPECT_EQ(doc.categories().size(), 4u);
    EXPECT_TRUE(doc.filtered_contacts().empty());
}

TEST_F(DocTest, ChangedContactMovesAndReportsWhereItWent) {
    store.put(person(1, u"", u"Adams", u"", {phone(FieldType::Mobile, u"1111111")}));
    store.put(person(2, u"", u"Baker"));
    store.put(person(3, u"", u"Clark"));
    Document doc(store, nullptr, files());
    doc.load();
    doc.add_favorite(1, 0);
    doc.set_filter(u"a");
    EXPECT_EQ(oids(doc.filtered_contacts()), (Oids{1}));
    RecordingDocListener listener;
    doc.add_listener(listener);
    store.put(person(1, u"", u"Zorro", u"", {phone(FieldType::Mobile, u"2222222")}));
    doc.on_contact_changed(1);
    EXPECT_EQ(oids(doc.all_contacts()), (Oids{2, 3, 1}));
    EXPECT_TRUE(doc.filtered_contacts().empty());
    // Left the all-list at 0, entered at 2, left the filtered list at 0,
    // contact changed, favourite changed.
    EXPECT_EQ(listener.flags(), (std::vector<int>{15, 16, 12, 8, 3}));
    EXPECT_EQ(listener.messages[0].slot(RefreshSlot::AllIndex), 0u);
    EXPECT_EQ(listener.messages[1].slot(RefreshSlot::AllIndex), 2u);
    EXPECT_EQ(listener.messages[2].slot(RefreshSlot::FilteredIndex), 0u);
    EXPECT_EQ(listener.messages[3].slot(RefreshSlot::AllIndex), 2u);
    EXPECT_EQ(listener.messages[4].slot(RefreshSlot::FavoriteIndex), 0u);
    EXPECT_EQ(doc.find_by_phone_number(u"1111111").entry, nullptr);
    EXPECT_EQ(doc.find_by_phone_number(u"+7 222-22-22").entry, doc.find_contact(1));
    listener.messages.clear();
    store.put(person(1, u"", u"Zorro", u"Acme", {phone(FieldType::Mobile, u"2222222")}));
    doc.on_contact_changed(1);
    EXPECT_EQ(listener.flags(), (std::vector<int>{17, 13, 8, 3}));
    listener.messages.clear();
    store.put(person(1, u"", u"Zorro", u"Acme2", {phone(FieldType::Mobile, u"2222222")}));
    doc.on_contact_changed(1);
    EXPECT_EQ(listener.flags(), (std::vector<int>{17, 14, 8, 3}));
    // A contact the store no longer has is removed.
    listener.messages.clear();
    store.contacts.erase(1);
    doc.on_contact_changed(1);
    EXPECT_EQ(doc.find_contact(1), nullptr);
    EXPECT_EQ(listener.flags(), (std::vector<int>{2, 9}));
    doc.remove_listener(listener);
}

TEST_F(DocTest, ListenersAreCalledInOrderAndMayLeaveDuringABroadcast) {
    Document doc(store, nullptr, files());
    std::vector<int> order;
    struct Probe : DocumentListener {
        Probe(std::vector<int>& o, int i) : order(o), id(i) {}
        void on_document_refresh(const RefreshMessage&) override {
            order.push_back(id);
            if (leave != nullptr)
                leave->remove_listener(*other);
        }
        std::vector<int>& order;
        int id;
        Document* leave = nullptr;
        DocumentListener* other = nullptr;
    };
    Probe a(order, 1), b(order, 2), c(order, 3);
    doc.add_listener(a);
    doc.add_listener(b);
    doc.add_listener(c);
    a.leave = &doc;
    a.other = &b; // b must not be called once removed
    doc.broadcast(RefreshMessage(RefreshFlag::IncomingCall));
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    a.leave = nullptr;
    doc.broadcast(RefreshMessage(RefreshFlag::CallEnded));
    EXPECT_EQ(order, (std::vector<int>{1, 3, 1, 3}));
}

TEST_F(DocTest, RecentCallsMatchContactsByTheLastSevenDigits) {
    store.put(person(1, u"Ann", u"", u"", {phone(FieldType::HomeTel, u"+7 (495) 123-45-67")}));
    log.records = {call(u"84951234567", CallKind::Missed, 30), call(u"555", CallKind::Incoming, 20),
                   call(u"Unknown", CallKind::Outgoing, 10)};
    Document doc(store, &log, files());
    doc.load();
    const RecentCalls& recents = doc.recent_calls();
    ASSERT_EQ(recents.size(), 3u);
    EXPECT_EQ(recents.at(0).oid, 1u);
    EXPECT_EQ(recents.at(0).call.label, u"HomeTel");
    EXPECT_EQ(recents.at(1).oid, 0u);
    EXPECT_EQ(recents.at(2).oid, 0u);
    EXPECT_EQ(recents.missed_count(), 1u);
    RecordingDocListener listener;
    doc.add_listener(listener);
    // A new contact with the short number takes the second call.
    doc.contact_added(person(2, u"Short", u"", u"", {phone(FieldType::Mobile, u"555")}));
    EXPECT_EQ(recents.at(1).oid, 2u);
    EXPECT_EQ(recents.at(1).call.label, u"Mobile");
    EXPECT_EQ(listener.flags(), (std::vector<int>{16, 13, 7, 5}));
    EXPECT_EQ(listener.messages[3].slot(RefreshSlot::RecentIndex), 1u);
    // The number moves to another slot: the call keeps its contact and says so.
    store.put(person(2, u"Short", u"", u"", {phone(FieldType::BusinessTel, u"555")}));
    doc.on_contact_changed(2);
    EXPECT_EQ(recents.at(1).oid, 2u);
    EXPECT_EQ(recents.at(1).call.label, u"BusinessTel");
    // Its number changes: the call is nobody's again.
    listener.messages.clear();
    store.put(person(2, u"Short", u"", u"", {phone(FieldType::Mobile, u"556")}));
    doc.on_contact_changed(2);
    EXPECT_EQ(recents.at(1).oid, 0u);
    EXPECT_EQ(listener.flags().back(), 5);
    // Removing Ann leaves her call unknown.
    doc.on_contact_removed(1);
    EXPECT_EQ(recents.at(0).oid, 0u);
    listener.messages.clear();
    doc.update_log();
    EXPECT_EQ(listener.flags(), (std::vector<int>{6, 18}));
    EXPECT_EQ(log.reads, 2);
    EXPECT_EQ(recents.size(), 3u);
    listener.messages.clear();
    doc.add_recent_call(call(u"556", CallKind::Outgoing, 40));
    EXPECT_EQ(recents.at(0).oid, 2u);
    EXPECT_EQ(listener.flags(), (std::vector<int>{4}));
    doc.remove_listener(listener);
}

// Random edits leave the lists exactly as a fresh load of the same store would.
TEST_F(DocTest, EditsLeaveTheListsAsAFreshLoadWould) {
    std::mt19937 rng(12345);
    const char16_t* firsts[] = {u"", u"Anna", u"anna", u"Boris", u"Émile", u"Ёж", u"Zoe", u"9"};
    const char16_t* lasts[] = {u"", u"Smith", u"smith", u"Еж", u"Adams", u"Lee"};
    const char16_t* companies[] = {u"", u"Acme", u"Zeta"};
    const char16_t* cats[] = {u"", u"Work", u"Work, Family", u"Family"};
    auto random_record = [&](std::uint32_t oid) {
        std::vector<ContactField> fields;
        if (rng() % 2)
            fields.push_back(phone(FieldType::Mobile, from_ascii(std::to_string(rng() % 50))));
        if (rng() % 3 == 0)
            fields.push_back(ContactField(FieldType::Categories, cats[rng() % 4]));
        return person(oid, firsts[rng() % 8], lasts[rng() % 6], companies[rng() % 3],
                      std::move(fields));
    };
    for (std::uint32_t oid = 1; oid <= 40; ++oid)
        store.put(random_record(oid));
    // The lists and where each number leads, under one sorting, filter and category.
    using Snapshot =
        std::tuple<Oids, Oids, std::size_t, std::vector<std::pair<std::uint32_t, int>>>;
    const auto open = [&](std::optional<Document>& doc, std::uint32_t sorting,
                          const char16_t* filter, const char16_t* category) {
        doc.emplace(store, nullptr, files());
        doc->load();
        doc->set_sorting(sorting);
        doc->set_filter(filter);
        if (category != nullptr)
            doc->set_category(category);
    };
    const auto snapshot = [](const Document& doc) {
        Snapshot s{
            oids(doc.all_contacts()), oids(doc.filtered_contacts()), doc.phone_index().size(), {}};
        for (const ContactEntry* e : doc.all_contacts())
            for (const ContactField& f : e->record.fields)
                if (f.kind == FieldKind::Phone) {
                    const PhoneRef ref = doc.find_by_phone_number(f.value);
                    std::get<3>(s).emplace_back(ref.entry ? ref.entry->oid() : 0u, ref.field);
                }
        return s;
    };
    const std::tuple<std::uint32_t, const char16_t*, const char16_t*> settings[] = {
        {1, u"", nullptr},    {0, u"2", nullptr}, {2, u"a", nullptr},
        {1, u"2 7", nullptr}, {0, u"", u"Work"},  {2, u"", u"Family"}};
    for (const auto& [sorting, filter, category] : settings) {
        std::uint32_t next_oid = 100;
        std::optional<Document> doc;
        open(doc, sorting, filter, category);
        for (int step = 0; step < 150; ++step)
            random_edit(store, *doc, rng, next_oid, random_record);
        const Snapshot edited = snapshot(*doc);
        doc.reset(); // one Document per process: the edited one goes first
        open(doc, sorting, filter, category);
        EXPECT_EQ(snapshot(*doc), edited) << sorting << " " << to_utf8(filter);
    }
}

} // namespace
} // namespace telvara::data
