// The notice line: a notice replacing the one showing, notices that wait
// their turn, no notice said twice, and the limit of the waiting line.
#include "forms/notice_form.h"

#include "screen_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace telvara::forms {
namespace {

class NoticeFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::install_default_skin(m_skin, m_impl));
        // The texts with their "%1": without them every notice would read
        // as its key alone, and notices that differ would look the same.
        ASSERT_TRUE(m_skin.language().load_language_file(u"%app_path%/english.lng"));
        m_notice.bind(m_skin);
    }
    WString said(WStringView key, WStringView detail = {}) {
        WString text = m_skin.translate(key);
        if (const auto at = text.find(u"%1"); at != WString::npos)
            text.replace(at, 2, detail);
        return text;
    }
    // Lets the notice showing run out (and a little more).
    void run_out() { m_notice.update(NoticeForm::kShownSeconds + 0.05); }
    test::StackHost m_host;
    ui::Properties m_skin;
    std::unique_ptr<ui::PropertiesImpl> m_impl;
    NoticeForm m_notice;
};

TEST_F(NoticeFormTest, ReplaceShowsAtOnceAndHidingOrTheEndGivesWayToTheWaitingOnes) {
    m_notice.show(u"skinCannotOpen", u"first", NoticeOrder::AfterOthers);
    m_notice.show(u"skinCannotOpen", u"queued", NoticeOrder::AfterOthers);
    m_notice.show(u"skinOpeningFile", u"now");
    EXPECT_EQ(m_notice.text(), said(u"skinOpeningFile", u"now"));
    EXPECT_EQ(m_notice.waiting(), 1u);
    run_out();
    EXPECT_EQ(m_notice.text(), said(u"skinCannotOpen", u"queued"));
    // What the user does next replaces its own notice, as before.
    m_notice.show(u"skinOpeningFile", u"a");
    m_notice.show(u"skinOpeningFile", u"b");
    EXPECT_EQ(m_notice.text(), said(u"skinOpeningFile", u"b"));
    EXPECT_EQ(m_notice.waiting(), 0u);
    // Hiding gives way to the next waiting notice.
    m_notice.hide();
    m_notice.show(u"skinOpeningFile", u"x", NoticeOrder::AfterOthers);
    m_notice.show(u"skinCannotOpen", u"y", NoticeOrder::AfterOthers);
    m_notice.hide();
    EXPECT_TRUE(m_notice.is_showing());
    EXPECT_EQ(m_notice.text(), said(u"skinCannotOpen", u"y"));
    m_notice.hide();
    EXPECT_FALSE(m_notice.is_showing());
    m_notice.hide(); // nothing showing: nothing happens
    EXPECT_FALSE(m_notice.is_showing());
}

TEST_F(NoticeFormTest, AFloodOfNoticesIsCutAtTheLimit) {
    for (int i = 0; i < 40; ++i)
        m_notice.show(u"skinCannotOpen", to_wstring(i), NoticeOrder::AfterOthers);
    EXPECT_EQ(m_notice.waiting(), NoticeForm::kMaxWaiting);
    for (std::size_t i = 0; i < NoticeForm::kMaxWaiting; ++i)
        run_out();
    EXPECT_EQ(m_notice.text(), said(u"skinCannotOpen", to_wstring(NoticeForm::kMaxWaiting)))
        << "the earliest ones are kept, in order";
    // Binding anew (a new skin) forgets what waited.
    m_notice.show(u"skinCannotOpen", u"late", NoticeOrder::AfterOthers);
    m_notice.bind(m_skin);
    EXPECT_FALSE(m_notice.is_showing());
    EXPECT_EQ(m_notice.waiting(), 0u);
}

} // namespace
} // namespace telvara::forms
