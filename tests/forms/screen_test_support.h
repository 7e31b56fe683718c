#pragma once
// What the screen tests share: the node types, the shipped default skin, a
// form stack without the application, and a Document over in-memory contacts.

#include "data/document_test_support.h"
#include "forms/form.h"
#include "forms/form_host.h"
#include "runtime/log.h"
#include "ui/button_node.h"
#include "ui/node_registry.h"
#include "ui/popup_menu.h"
#include "ui/properties.h"
#include "ui/text_node.h"
#include "ui/widget_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace telvara::forms::test {

// Registered once for the process, as in the application.
inline void ensure_skin_types() {
    auto& registry = ui::NodeRegistry::instance();
    if (!registry.contains(u"node"))
        ui::register_layout_node_types(registry);
    if (!registry.contains(u"button"))
        ui::register_widget_node_types(registry);
}

inline std::vector<std::uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

#ifdef TELVARA_PROGRAM_SKINS
// Loads "default.skin" at design size into `impl` and installs it in `skin`.
inline ::testing::AssertionResult install_default_skin(ui::Properties& skin,
                                                       std::unique_ptr<ui::PropertiesImpl>& impl) {
    ensure_skin_types();
    impl = std::make_unique<ui::PropertiesImpl>(
        read_bytes(std::string(TELVARA_PROGRAM_SKINS) + "/default.skin"), TELVARA_PROGRAM_SKINS,
        u"default.skin", 0);
    if (!impl->is_loaded())
        return ::testing::AssertionFailure() << impl->load_error();
    if (!skin.install(*impl))
        return ::testing::AssertionFailure() << "the default skin was not installed";
    return ::testing::AssertionSuccess();
}
#endif

// The form stack of the application, recording every form shown and closed;
// the process's form host for its lifetime.
class StackHost final : public FormHost {
  public:
    StackHost() { set_form_host(this); }
    ~StackHost() {
        if (form_host() == this)
            set_form_host(nullptr);
    }
    StackHost(const StackHost&) = delete;
    StackHost& operator=(const StackHost&) = delete;
    void show_form(Form& form, ShowMode, Animate) override {
        shown.push_back(&form);
        stack.push_back(&form);
    }
    bool close_form(Form& form, Animate) override {
        closed.push_back(&form);
        auto it = std::find(stack.begin(), stack.end(), &form);
        if (it == stack.end())
            return false;
        stack.erase(it);
        return true;
    }
    bool is_shown(const Form& form) const override { return count(form) != 0; }
    Form* top_form() const override { return stack.empty() ? nullptr : stack.back(); }
    void set_dirty() override {}
    void minimize_window() override { ++minimized; }
    void set_overlay(OverlaySlot slot, Form* form, const Form* owner) override {
        overlays[static_cast<std::size_t>(slot)] = form;
        owners[static_cast<std::size_t>(slot)] = owner;
    }
    Form* overlay(OverlaySlot slot) const override {
        return overlays[static_cast<std::size_t>(slot)];
    }
    std::size_t count(const Form& form) const {
        return static_cast<std::size_t>(std::count(stack.begin(), stack.end(), &form));
    }
    std::vector<Form*> shown;
    std::vector<Form*> closed;
    std::vector<Form*> stack;
    int minimized = 0;
    Form* overlays[2] = {};
    const Form* owners[2] = {};
};

// A click as the button reports it.
inline void click(ui::Node* node) {
    auto* button = dynamic_cast<ui::ButtonNode*>(node);
    ASSERT_NE(button, nullptr);
    ASSERT_NE(button->listener(), nullptr) << to_utf8(button->name());
    button->listener()->on_click(*button);
}
inline void click(ui::Node& node) {
    click(&node);
}
inline WString text_of(const ui::Node* node) {
    auto* text = dynamic_cast<const ui::TextNode*>(node);
    return text != nullptr ? text->text() : u"<none>";
}
inline bool visible(const ui::Node* node) {
    return node != nullptr && node->is_visible();
}
inline void lay_out(Form& form, std::int32_t width = 240, std::int32_t height = 320) {
    form.fit_to_screen(width, height);
    form.layout_x();
    form.layout_y();
}
inline std::vector<WString> menu_keys(const ui::PopupMenu& menu) {
    std::vector<WString> out;
    for (const ui::ChoiceItem& item : menu.items())
        out.push_back(item.identifier + (item.element.empty() ? u"" : u"@" + item.element));
    return out;
}
// Everything logged under the device root so far, as UTF-8.
inline std::string logged(const std::string& root) {
    runtime::log().flush();
    std::string out;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/Temp")) {
        const std::vector<std::uint8_t> raw = read_bytes(entry.path().string());
        WString text;
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
            text += static_cast<char16_t>(raw[i] | raw[i + 1] << 8);
        out += to_utf8(text);
    }
    return out;
}

#ifdef TELVARA_PROGRAM_SKINS
// A Document over in-memory contacts and the default skin, with a form stack.
class ScreenTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        ASSERT_TRUE(install_default_skin(m_skin, m_impl));
    }
    void TearDown() override {
        m_document.reset();
        DocumentTest::TearDown();
    }
    void open_document(data::CallLogSource* log = nullptr) {
        m_document.emplace(m_store, log, files());
        m_document->load();
    }
    void load_language(const char* name = "english") {
        ASSERT_TRUE(
            m_skin.language().load_language_file(u"%app_path%/" + from_utf8(name) + u".lng"));
    }
    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    data::testing::FakeStore m_store;
    std::optional<data::Document> m_document;
    StackHost m_host;
};
#endif

} // namespace telvara::forms::test
