// The brief notice over every screen, and the line of notices waiting for it.
#include "forms/notice_form.h"

#include "forms/form_host.h"
#include "forms/required_node.h"
#include "platform/clock.h"
#include "runtime/log.h"
#include "ui/properties.h"
#include "ui/text_node.h"

#include <algorithm>

namespace telvara::forms {

namespace {

constexpr char16_t kFormName[] = u"Notice";
const WString kNoText;

} // namespace

NoticeForm::NoticeForm() : Form(kFormName) {}

NoticeForm::~NoticeForm() {
    if (FormHost* host = form_host(); host != nullptr && host->overlay(OverlaySlot::Notice) == this)
        host->set_overlay(OverlaySlot::Notice, nullptr);
}

void NoticeForm::bind(const ui::Properties& skin) {
    m_text = nullptr;
    m_skin = nullptr;
    load_form(skin);
    m_text = &required<ui::TextNode>(*this, u"txtNotice");
    m_skin = &skin;
    m_left = 0;
    m_waiting.clear();
    set_visible(false);
    if (FormHost* host = form_host())
        host->set_overlay(OverlaySlot::Notice, this);
}

const WString& NoticeForm::text() const {
    return m_text != nullptr ? m_text->text() : kNoText;
}

void NoticeForm::show(WStringView key, WStringView detail, NoticeOrder order) {
    if (m_text == nullptr)
        return;
    WString text = m_skin->translate(key);
    if (const auto at = text.find(u"%1"); at != WString::npos)
        text.replace(at, 2, detail);
    if (order == NoticeOrder::AfterOthers && is_showing()) {
        if (text == m_text->text() ||
            std::find(m_waiting.begin(), m_waiting.end(), text) != m_waiting.end())
            return;
        if (m_waiting.size() >= kMaxWaiting) {
            runtime::log() << platform::tick_count() << u" Notice: dropped " << text << u"\n";
            return;
        }
        m_waiting.push_back(std::move(text));
        return;
    }
    present(std::move(text));
}

void NoticeForm::present(WString text) {
    runtime::log() << platform::tick_count() << u" Notice: " << text << u"\n";
    m_text->set_text(std::move(text));
    m_left = kShownSeconds;
    if (!is_visible())
        set_visible_animated(true);
    if (FormHost* host = form_host())
        host->set_dirty();
}

void NoticeForm::next_or_hide() {
    if (!m_waiting.empty()) {
        WString next = std::move(m_waiting.front());
        m_waiting.pop_front();
        present(std::move(next));
        return;
    }
    m_left = 0;
    set_visible_animated(false);
}

void NoticeForm::hide() {
    if (m_left <= 0)
        return;
    next_or_hide();
}

void NoticeForm::update(double seconds) {
    if (m_left > 0) {
        m_left -= seconds;
        if (m_left <= 0)
            next_or_hide();
    }
    Form::update(seconds);
}

void show_notice(WStringView key, WStringView detail, NoticeOrder order) {
    FormHost* host = form_host();
    if (host == nullptr)
        return;
    if (auto* notice = dynamic_cast<NoticeForm*>(host->overlay(OverlaySlot::Notice)))
        notice->show(key, detail, order);
}

} // namespace telvara::forms
