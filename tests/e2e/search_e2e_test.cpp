// Searching the demo phone by keypad and keyboard; the rows expected are asked of a
// Document over the same store.
#include "process_support.h"

#include "data/contact_source.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "phone/call_log.h"
#include "runtime/paths.h"

namespace telvara::e2e {
namespace {

class SearchE2e : public TelvaraWorld {
  protected:
    void SetUp() override {
        TelvaraWorld::SetUp();
        // The first start adds the demo contacts and calls.
        ASSERT_EQ(script("wait 800\n").status, 0);
        m_previous_root = runtime::device_root();
        runtime::set_device_root(m_root.string());
        m_store = std::make_unique<data::ContactStore>((m_root / "pim.vol").string());
        m_source = std::make_unique<data::StoreContactSource>(*m_store);
        m_calls = std::make_unique<phone::CallLog>((m_root / "pim.vol").string());
        m_document = std::make_unique<data::Document>(*m_source, m_calls.get());
        m_document->load();
    }
    void TearDown() override {
        m_document.reset();
        m_calls.reset();
        m_source.reset();
        m_store.reset();
        runtime::set_device_root(m_previous_root);
        TelvaraWorld::TearDown();
    }
    // The first row's name line for this search, as the list composes it
    // in the default sort by last name.
    std::string first_row(WStringView typed) {
        m_document->set_filter(typed);
        if (m_document->filtered_count() == 0)
            return {};
        const data::ContactRecord names = m_document->filtered_contact(0).names;
        WString line = names.last_name.empty() ? names.first_name : names.last_name;
        if (!names.last_name.empty() && !names.first_name.empty())
            line += u" " + names.first_name;
        return to_utf8(line.empty() ? names.company : line);
    }
    Finished search(const std::string& lines, std::vector<std::string> args = {}) {
        return script("wait 800\n" + lines, std::move(args));
    }
    std::string m_previous_root;
    std::unique_ptr<data::ContactStore> m_store;
    std::unique_ptr<data::StoreContactSource> m_source;
    std::unique_ptr<phone::CallLog> m_calls;
    std::unique_ptr<data::Document> m_document;
};

TEST_F(SearchE2e, DigitsFromTheMiddleOfANumberFindIt) {
    // Four digits from inside a demo contact's mobile number, typed on keys.
    std::vector<data::ContactRecord> records;
    m_store->load_contacts(records);
    WString digits;
    for (const auto& record : records)
        if (const data::ContactField* mobile = record.field(data::FieldType::Mobile)) {
            digits = data::without_phone_separators(mobile->value).substr(4, 4);
            break;
        }
    ASSERT_EQ(digits.size(), 4u);
    const std::string expected = first_row(digits);
    ASSERT_FALSE(expected.empty());
    std::string keys;
    for (char16_t c : digits)
        keys += "key " + std::string(1, static_cast<char>(c)) + "\n";
    const Finished run =
        search(keys + "wait 300\nexpect text text_button_call \"" + to_utf8(digits) +
               "\" 100\nexpect text big \"" + expected + "\" 100\n");
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(SearchE2e, LettersFromAKeyboardSearchByNameInTheNumberLine) {
    const std::string expected = first_row(u"jo");
    ASSERT_FALSE(expected.empty());
    const std::string after_backspace = first_row(u"j");
    const Finished run =
        search("key J\nkey O\nwait 300\nexpect text text_button_call \"jo\" 100\n"
               "expect text big \"" +
               expected +
               "\" 100\nkey Backspace\nwait 100\nexpect text text_button_call \"j\" 100\n"
               "expect text big \"" +
               after_backspace +
               "\" 100\nkey Backspace\nwait 100\nexpect text text_button_call \"\" 100\n");
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(SearchE2e, ANumberCalledBeforeIsOfferedBelowTheContacts) {
    // The demo's missed call from +4930901820, which is nobody's number.
    m_document->set_filter(u"30901820");
    ASSERT_EQ(m_document->filtered_count(), 0u);
    ASSERT_EQ(m_document->suggestions().size(), 1u);
    EXPECT_EQ(m_document->suggestions()[0].number, u"+4930901820");
    // The typed digits as written: from the fourth character, eight long.
    EXPECT_EQ(m_document->suggestions()[0].match_start, 3u);
    EXPECT_EQ(m_document->suggestions()[0].match_length, 8u);
    const Finished run = search("key 3\nkey 0\nkey 9\nkey 0\nkey 1\nkey 8\nkey 2\nkey 0\nwait 300\n"
                                "expect text big \"+4930901820\" 100\n"
                                "tap big\nwait 300\nexpect screen Call 5000\n");
    EXPECT_EQ(run.status, 0) << run.output;
}

// With the keypad open, results stay in sight and tappable (the third row) at every
// size, and the lint finds nothing cut or covered.
TEST_F(SearchE2e, ResultsStayInSightBesideOrAboveTheKeypad) {
    m_document->set_filter(u"27");
    ASSERT_GE(m_document->filtered_count(), 3u);
    const std::string found = "Found: " + std::to_string(m_document->filtered_count());
    m_document->set_filter(u"999");
    ASSERT_EQ(m_document->filtered_count(), 0u);
    for (const char* screen : {"240x320", "320x240", "480x640", "640x480"}) {
        SCOPED_TRACE(screen);
        Finished run =
            search("key 2\nkey 7\nwait 300\nexpect text text_matches \"" + found + "\" 100\nlint\n",
                   {"--screen", screen});
        EXPECT_EQ(run.status, 0) << run.output;
        run = search("key 2\nkey 7\nwait 300\ntap big#3\nexpect screen ContactForm 2000\n",
                     {"--screen", screen});
        EXPECT_EQ(run.status, 0) << run.output;
    }
    const Finished none = search("key 9\nkey 9\nkey 9\nwait 300\n"
                                 "expect text text_matches \"No contacts found\" 100\n");
    EXPECT_EQ(none.status, 0) << none.output;
}

} // namespace
} // namespace telvara::e2e
