#pragma once
// A program folder in a fresh device root, with language files and skins, for
// the tests of the language and skin choice.

#include "runtime/device_root_fixture.h"
#include "skinc/skin_writer.h"
#include "ui/choice_item.h"
#include "ui/lang/skin_language_choice.h"
#include "ui/properties.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace telvara::ui::test {

class ProgramFolderTest : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        std::filesystem::create_directories(native("/prog/skins/bin"));
        m_context.app_folder = u"/prog";
        m_context.system_language = u"";
    }
    std::string native(const std::string& path) const { return root() + path; }
    void write(const std::string& path, const std::string& bytes) const {
        std::ofstream(native(path), std::ios::binary) << bytes;
    }
    // A language file "<name>.lng" holding Name=<name> plus `lines`.
    void add_language(const std::string& name, const std::string& lines = "",
                      const std::string& folder = "/prog") {
        write(folder + "/" + name + ".lng", "Name=" + name + "\n" + lines);
    }
    // A skin without pictures "<name>.skin" that holds its name as a string.
    void add_skin(const std::string& name, const std::string& folder = "/prog/skins/bin") {
        skinc::SkinModel model;
        model.intern_string(from_utf8(name));
        std::string error;
        ASSERT_TRUE(skinc::write_skin_file(model, native(folder + "/" + name + ".skin"), &error))
            << error;
    }
    void remove_skin(const std::string& name) {
        std::filesystem::remove(native("/prog/skins/bin/" + name + ".skin"));
    }
    void set_setting(WStringView value, WStringView text) {
        ASSERT_TRUE(runtime::reg_write_string(settings_key(u"Telvara"), value, text));
    }
    WString setting(WStringView value) {
        WString text = u"<unset>";
        runtime::reg_read_string(settings_key(u"Telvara"), value, text);
        return text;
    }
    // The base name of the loaded language and skin.
    std::string language() const { return to_utf8(m_properties.translate(u"Name")); }
    std::string skin() const {
        return m_properties.impl().string_count() > 0 ? to_utf8(m_properties.impl().string(0))
                                                      : std::string();
    }

    ChoiceContext m_context;
    Properties m_properties;
};

struct CollectedMenu : ChoiceMenu {
    void add_item(ChoiceItem item) override { items.push_back(std::move(item)); }
    template <class F> auto each(F field) const {
        std::vector<std::decay_t<decltype(field(items[0]))>> out;
        for (const ChoiceItem& item : items)
            out.push_back(field(item));
        return out;
    }
    std::vector<WString> identifiers() const {
        return each([](const ChoiceItem& item) { return item.identifier; });
    }
    std::vector<WString> texts() const {
        return each([](const ChoiceItem& item) { return item.text; });
    }
    std::vector<bool> checked() const {
        return each([](const ChoiceItem& item) { return bool(item.checked); });
    }
    std::vector<ChoiceItem> items;
};

// Counts reloads of a skin while it lives.
struct ReloadCounter : SkinReloadListener {
    explicit ReloadCounter(Properties& skin) : skin(skin) { skin.add_reload_listener(this); }
    ~ReloadCounter() { skin.remove_reload_listener(this); }
    void on_reload_skin(Properties&) override { ++count; }
    Properties& skin;
    int count = 0;
};

} // namespace telvara::ui::test
