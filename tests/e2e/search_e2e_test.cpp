// A number called before, found by keypad on the demo phone; the suggestion expected is
// asked of a Document over the same store. Typed digits filtering the list are the window
// test's, results beside the keypad at every size the layout walk's "keypad".
#include "data/contact_source.h"
#include "data/contact_store.h"
#include "data/document.h"
#include "phone/call_log.h"
#include "process_support.h"
#include "runtime/paths.h"
namespace telvara::e2e {
namespace {
class SearchE2e : public TelvaraWorld {};
TEST_F(SearchE2e, ANumberCalledBeforeIsOfferedBelowTheContacts) {
    ASSERT_EQ(script("wait 800\n").status, 0); // the demo contacts and calls
    const std::string previous_root = runtime::device_root();
    runtime::set_device_root(m_root.string());
    {
        data::ContactStore store((m_root / "pim.vol").string());
        data::StoreContactSource source(store);
        phone::CallLog calls((m_root / "pim.vol").string());
        data::Document document(source, &calls);
        document.load();
        // The demo's missed call from +4930901820, which is nobody's number.
        document.set_filter(u"30901820");
        EXPECT_EQ(document.filtered_count(), 0u);
        ASSERT_EQ(document.suggestions().size(), 1u);
        EXPECT_EQ(document.suggestions()[0].number, u"+4930901820");
        // The typed digits as written: from the fourth character, eight long.
        EXPECT_EQ(document.suggestions()[0].match_start, 3u);
        EXPECT_EQ(document.suggestions()[0].match_length, 8u);
    }
    runtime::set_device_root(previous_root);
    const Finished run = script("wait 800\nkey 3\nkey 0\nkey 9\nkey 0\nkey 1\nkey 8\nkey 2\nkey 0\n"
                                "wait 300\nexpect text big \"+4930901820\" 100\n"
                                "tap big\nwait 300\nexpect screen Call 5000\n");
    EXPECT_EQ(run.status, 0) << run.output;
}
} // namespace
} // namespace telvara::e2e
