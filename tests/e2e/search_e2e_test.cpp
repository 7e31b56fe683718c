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

// The demo phone as the program left it, read through a Document of its own.
struct Phone {
    explicit Phone(const std::string& volume) : store(volume), source(store), calls(volume) {
        document.load();
    }
    data::ContactStore store;
    data::StoreContactSource source;
    phone::CallLog calls;
    data::Document document{source, &calls};
};

class SearchE2e : public TelvaraWorld {
  protected:
    void SetUp() override {
        TelvaraWorld::SetUp();
        // The first start adds the demo contacts and calls.
        ASSERT_EQ(script("wait 800\n").status, 0);
        m_previous_root = runtime::device_root();
        runtime::set_device_root(m_root.string());
        m_phone = std::make_unique<Phone>((m_root / "pim.vol").string());
        m_document = &m_phone->document;
    }
    void TearDown() override {
        m_phone.reset();
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
    std::unique_ptr<Phone> m_phone;
    data::Document* m_document = nullptr;
};

// Four digits from inside a demo contact's mobile number, typed on keys, then
// letters from a keyboard, which search by name in the number line.
TEST_F(SearchE2e, DigitsFromInsideANumberAndLettersFromAKeyboardFindTheirRows) {
    std::vector<data::ContactRecord> records;
    m_phone->store.load_contacts(records);
    WString digits;
    for (const auto& record : records)
        if (const data::ContactField* mobile = record.field(data::FieldType::Mobile)) {
            digits = data::without_phone_separators(mobile->value).substr(4, 4);
            break;
        }
    ASSERT_EQ(digits.size(), 4u);
    ASSERT_EQ(first_row(u"999"), "");
    std::string lines;
    for (char16_t c : digits)
        lines += "key " + std::string(1, static_cast<char>(c)) + "\n";
    lines += "wait 300\n";
    const auto shows = [&](const std::string& typed, WStringView filter) {
        const std::string row = first_row(filter);
        EXPECT_FALSE(row.empty()) << typed;
        return "expect text text_button_call \"" + typed + "\" 100\nexpect text big \"" + row +
               "\" 100\n";
    };
    lines += shows(to_utf8(digits), digits) + "key Backspace\nkey Backspace\nkey Backspace\n" +
             "key Backspace\nwait 100\nkey J\nkey O\nwait 300\n" + shows("jo", u"jo") +
             "key Backspace\nwait 100\n" + shows("j", u"j") +
             "key Backspace\nwait 100\nexpect text text_button_call \"\" 100\n"
             "key 9\nkey 9\nkey 9\nwait 300\nexpect text text_matches \"No contacts found\" 100\n";
    const Finished run = search(lines);
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
    for (const char* screen : {"240x320", "320x240", "480x640", "640x480"}) {
        SCOPED_TRACE(screen);
        const Finished run = search("key 2\nkey 7\nwait 300\nexpect text text_matches \"" + found +
                                        "\" 100\nlint\ntap big#3\nexpect screen ContactForm 2000\n",
                                    {"--screen", screen});
        EXPECT_EQ(run.status, 0) << run.output;
    }
}

} // namespace
} // namespace telvara::e2e
