#pragma once
// The fixture of the contact editor tests: the default skin, a contact in a
// real store file (the editors write there) and in the Document's source, a
// form stack and the card bound to both, with the helpers those tests share.

#include "data/contact_store.h"
#include "data/document_test_support.h"
#include "form_stack_host.h"
#include "forms/contact_form.h"
#include "forms/skin_types.h"
#include "ui/button_node.h"
#include "ui/text_input_service.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace telvara::forms::test {

class CardEditingTest : public data::testing::DocumentTest {
  protected:
    // Stores `contact` (oid given by the store) in a fresh volume `file` under
    // the root and in the fake source, both with the folder's `categories`,
    // loads the Document and binds the card. Call from SetUp after
    // DocumentTest::SetUp.
    void start(const std::string& file, data::ContactRecord contact,
               const std::vector<WString>& categories = {}) {
        ASSERT_TRUE(install_default_skin(m_skin, m_impl));
        m_volume.emplace(root() + "/" + file);
        ASSERT_TRUE(m_volume->is_open());
        ASSERT_TRUE(m_volume->create_contact(contact));
        if (!categories.empty()) {
            WString joined;
            for (const WString& name : categories)
                joined += (joined.empty() ? u"" : u", ") + name;
            ASSERT_TRUE(m_volume->set_categories(joined));
        }
        m_oid = contact.oid;
        m_store.categories = categories;
        m_store.put(contact);
        m_document.emplace(m_store, nullptr, files());
        m_document->load();
        m_card.emplace();
        m_card->bind(m_skin, &*m_volume);
    }
    void TearDown() override {
        ui::TextInputService::instance().drop_focus();
        m_card.reset();
        m_document.reset();
        m_volume.reset();
        DocumentTest::TearDown();
    }

    static void lay_out(Form& form) {
        form.fit_to_screen(240, 320);
        form.layout_x();
        form.layout_y();
    }
    void show_card() {
        const data::ContactEntry* entry = m_document->find_contact(m_oid);
        ASSERT_NE(entry, nullptr);
        m_card->show(*entry, CardMode::Edit);
        lay_out(*m_card);
    }
    // The card row showing the field of `type`; -1 when none does.
    std::int32_t card_row(data::FieldType type) {
        const auto& rows = m_card->rows();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i] >= 0 && m_card->contact().fields[std::size_t(rows[i])].type == type)
                return std::int32_t(i);
        return -1;
    }
    static void click(ui::ButtonNode& button) {
        ASSERT_NE(button.listener(), nullptr);
        button.listener()->on_click(button);
    }
    // Types as the desktop keyboard does: into the focused box.
    static void type(WStringView text) { ui::TextInputService::instance().on_text_input(text); }
    // The contact as the store file holds it now.
    data::ContactRecord stored() {
        data::ContactRecord record;
        record.oid = m_oid;
        EXPECT_TRUE(m_volume->read_contact(record));
        return record;
    }
    static WString value(const data::ContactRecord& r, data::FieldType type) {
        const data::ContactField* f = r.field(type);
        return f != nullptr ? f->value : u"<none>";
    }

    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    data::testing::FakeStore m_store;
    std::optional<data::ContactStore> m_volume;
    std::optional<data::Document> m_document;
    StackHost m_host;
    std::optional<ContactForm> m_card;
    std::uint32_t m_oid = 0;
};

} // namespace telvara::forms::test
