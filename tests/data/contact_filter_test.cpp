#include "data/contact_filter.h"
#include "data/contact_row.h"
#include "data/contact_store.h"
#include "data/key_map.h"
#include "data/phone_index.h"
#include "document_test_support.h"
#include <gtest/gtest.h>

namespace telvara::data {
namespace {
using testing::person;
using testing::phone;
KeyMap dialer_map() {
    return KeyMap::from_table({{u"2", u"abcабвг"},
                               {u"3", u"defдеёжз"},
                               {u"4", u"ghiийкл"},
                               {u"5", u"jklмноп"},
                               {u"6", u"mnoрсту"},
                               {u"7", u"pqrsфхцч"},
                               {u"8", u"tuvшщъы"},
                               {u"9", u"wxyzьэюя"}});
}

class FilterTest : public ::testing::Test {
  protected:
    ContactEntry entry(ContactRecord record) {
        ContactEntry e;
        e.record = std::move(record);
        prepare_entry(e, m_map);
        return e;
    }
    bool passes(const ContactEntry& e, WStringView text) {
        ContactFilter f(m_map);
        f.set_words(split_filter_words(text));
        return f.passes(e);
    }
    // What `e` passes when typed, and what it does not.
    void expect(const ContactEntry& e, std::initializer_list<const char16_t*> pass,
                std::initializer_list<const char16_t*> fail = {}) {
        for (auto list : {pass, fail})
            for (const char16_t* typed : list)
                EXPECT_EQ(passes(e, typed), list.begin() == pass.begin())
                    << to_utf8(e.record.first_name) << " / " << to_utf8(typed);
    }
    KeyMap m_map = dialer_map();
};

TEST(FilterWords, SplitAtSpaces) {
    using W = std::vector<WString>;
    // clang-format off
    const std::pair<const char16_t*, W> rows[] = {{u"", {}}, {u"   ", {}}, {u"  Ann", {u"ann"}},
        {u"Ann ", {u"ann"}}, {u"Ann  Lee", {u"ann", u"", u"lee"}}, {u"ann  ", {u"ann", u""}},
        {u"ЁЛКА Ä", {u"ёлка", u"ä"}}};
    // clang-format on
    for (const auto& [text, words] : rows)
        EXPECT_EQ(split_filter_words(text), words) << to_utf8(text);
}

TEST(FilterWords, NarrowingIsRecognised) {
    using W = std::vector<WString>;
    // clang-format off
    const std::tuple<W, W, bool> rows[] = {{{u"2"}, {u"22"}, true}, {{u"2"}, {u"2", u""}, true},
        {{u"an", u"l"}, {u"an", u"le", u"x"}, true}, {{}, {u"2"}, false}, {{u"22"}, {u"2"}, false},
        {{u"an", u"l"}, {u"ann", u"l"}, false}, {{u"a", u"b"}, {u"a"}, false}};
    // clang-format on
    for (const auto& [before, after, narrower] : rows)
        EXPECT_EQ(narrows(before, after), narrower) << to_utf8(after[0]);
}

// Numbers are found by their digits whatever separators were written, on both sides.
TEST_F(FilterTest, PhonesAreFoundByDigitsWhateverTheirFormatting) {
    ContactEntry e = entry(person(1, u"Ann", u"", u"",
                                  {phone(FieldType::Mobile, u"+1 (555) 010-0100"),
                                   phone(FieldType::HomeTel, u"1-800-FLOWERS")}));
    // Inside a number too; letters in a number go by their keys, typed with dashes or not; only
    // separators match no number; the phones are still one target.
    expect(e, {u"1555010", u"+1555", u"+1 266", u"555", u"1800356", u"1-800-3"},
           {u"+", u"1555 1800"});
    // The highlighted length covers the number as written.
    ContactFilter f(m_map);
    f.set_words(split_filter_words(u"+1555"));
    MatchResult r = f.match(e);
    EXPECT_TRUE(r.passes);
    ASSERT_EQ(r.phones.size(), 1u);
    EXPECT_EQ(r.phones[0].field, 0);
    EXPECT_EQ(r.phones[0].length, 7); // "+1 (555"
    f.set_words(split_filter_words(u"18"));
    r = f.match(e);
    ASSERT_EQ(r.phones.size(), 1u);
    EXPECT_EQ(r.phones[0].field, 1);
    EXPECT_EQ(r.phones[0].length, 3); // "1-8"
    // Digits inside a number rank after the prefix matches.
    ContactFilter ranked(m_map);
    const std::pair<const char16_t*, MatchTier> tiers[] = {
        {u"1555", MatchTier::Prefix},     {u"555", MatchTier::Inside}, {u"0100", MatchTier::Inside},
        {u"ann 0100", MatchTier::Inside}, {u"ann", MatchTier::Prefix}, {u"0101", MatchTier::None},
        {u"5555", MatchTier::None}};
    for (auto [words, tier] : tiers) {
        ranked.set_words(split_filter_words(words));
        EXPECT_EQ(ranked.rank(e.search_view()), tier) << to_utf8(words);
    }
    ranked.set_words(split_filter_words(u"0100"));
    r = ranked.match(e);
    ASSERT_EQ(r.phones.size(), 1u);
    EXPECT_EQ(r.phones[0].start, 9); // "+1 (555) |010-0|100": the first place
    EXPECT_EQ(r.phones[0].length, 5);
    // A name beginning with a separator is still found by its own text.
    EXPECT_TRUE(passes(entry(person(2, u"", u"", u"+Plus Ltd")), u"+plus"));
    // The first name takes the first word even when the second would fit it better.
    expect(entry(person(3, u"Ann", u"Adams")), {u"a ad", u"ad an"}, {u"a a a", u"an ann"});
}

TEST_F(FilterTest, MatchedLengthsForOneWord) {
    ContactEntry e =
        entry(person(1, u"Bob", u"Cole", u"Apex",
                     {phone(FieldType::Mobile, u"262"), phone(FieldType::HomeTel, u"2")}));
    ContactFilter f(m_map);
    // Passes, then the lengths of the first name, last name and company, then the phone fields.
    auto lengths = [&](const char16_t* typed) {
        f.set_words(split_filter_words(typed));
        const MatchResult r = f.match(e);
        std::vector<int> out{r.passes, r.first_name, r.last_name, r.company};
        for (const auto& p : r.phones)
            out.push_back(p.field);
        return out;
    };
    EXPECT_EQ(lengths(u"2"), (std::vector<int>{1, 1, 1, 1, 0, 1}));
    EXPECT_EQ(lengths(u"26"), (std::vector<int>{1, 2, 2, 0, 0}));
    EXPECT_EQ(lengths(u"2 2"), (std::vector<int>{1, 0, 0, 0})) << "lengths only for one word";
}

TEST_F(FilterTest, AmbiguousMapStillMatchesBySets) {
    KeyMap map = KeyMap::from_table({{u"1", u"ab"}, {u"2", u"bc"}});
    ContactEntry e;
    e.record = person(1, u"Bc", u"");
    prepare_entry(e, map);
    ContactFilter f(map);
    f.set_words({u"12"});
    EXPECT_TRUE(f.passes(e));
    f.set_words({u"21"});
    EXPECT_FALSE(f.passes(e));
    // "b" sits on both keys: a word may begin with either.
    f.set_words({u"22"});
    EXPECT_TRUE(f.passes(e));
}

TEST(PhoneIndex, FindsByLastSevenDigits) {
    const ContactRow a = ContactRow::from(person(7, u"A", u"", u"",
                                                 {phone(FieldType::Mobile, u"+7 916 555-12-34"),
                                                  ContactField(FieldType::Email1, u"5551234")}));
    const ContactRow b = ContactRow::from(
        person(3, u"B", u"", u"", {phone(FieldType::HomeTel, u"8 (916) 5551234")}));
    const ContactRow c = ContactRow::from(
        person(9, u"C", u"", u"",
               {phone(FieldType::CarTel, u"112"), phone(FieldType::BusinessFax, u"113")}));
    PhoneIndex index;
    for (const ContactRow* row : {&a, &b, &c})
        index.add(*row);
    EXPECT_EQ(index.size(), 3u); // neither the e-mail nor the fax is a phone
    auto all = index.find_all(u"5551234");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].oid, 3u); // smaller oid first
    EXPECT_EQ(index.find(u"+79165551234").oid, 3u);
    EXPECT_EQ(index.find(u"112").oid, 9u);
    EXPECT_EQ(index.find(u"0112").oid, 0u); // four digits are another number
    EXPECT_EQ(index.find(u"").oid, 0u);
    index.remove(3);
    EXPECT_EQ(index.find(u"5551234").oid, 7u);
    EXPECT_EQ(index.find(u"5551234").type, FieldType::Mobile);
    index.remove(7);
    EXPECT_EQ(index.find(u"5551234").oid, 0u);
    EXPECT_EQ(index.size(), 1u);
}

} // namespace
} // namespace telvara::data
