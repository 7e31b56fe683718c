// Start-up choice of language and skin with every fallback, the file lists,
// and what the two settings menus show and do.
#include "ui/lang/skin_language_choice.h"

#include "runtime/device_root_fixture.h"
#include "skinc/skin_writer.h"
#include "ui/choice_item.h"
#include "ui/lang/file_search.h"
#include "ui/properties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace telvara;
using namespace telvara::ui;
using Ids = std::vector<WString>;
using Refusals = std::vector<std::string>;

namespace {

// A program folder in a fresh device root, with language files and skins.
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

using LanguageAtStart = ProgramFolderTest;
using SkinAtStart = ProgramFolderTest;
using FileLists = ProgramFolderTest;
using LanguageMenu = ProgramFolderTest;
using SkinMenu = ProgramFolderTest;

TEST_F(LanguageAtStart, FallsBackStepByStepAndNeverWritesTheSetting) {
    for (const char* name : {"russian", "german", "english", "zulu"})
        add_language(name);
    add_language("secret", "", "");
    m_context.system_language = u"german";
    // Each row: the setting, a file removed first, the language taken.
    const struct {
        const char16_t* setting;
        const char* removed;
        const char* taken;
    } rows[] = {
        {u"russian", nullptr, "russian"}, // the configured language first
        {u"klingon", nullptr, "german"},  // then the system's
        {u"klingon", "german", "english"},
        {u"", nullptr, "english"},          // an empty setting goes to the fallbacks
        {u"../secret", nullptr, "english"}, // a setting that leaves the folder is not followed
        {u"klingon", "english", "russian"},
        {u"klingon", "russian", "zulu"}, // then any language file
    };
    for (const auto& row : rows) {
        set_setting(u"Language", row.setting);
        if (row.removed)
            std::filesystem::remove(native("/prog/" + std::string(row.removed) + ".lng"));
        ASSERT_TRUE(select_language_at_start(m_properties, m_context));
        EXPECT_EQ(language(), row.taken) << to_utf8(row.setting);
    }
    EXPECT_EQ(setting(u"Language"), u"klingon") << "start-up writes nothing";
}

TEST_F(LanguageAtStart, ADamagedFileIsRefusedOnceWithItsNameAndTheNextOneTried) {
    add_language("english");
    // UTF-16 one byte short: once read as Windows-1251, every text its key.
    write("/prog/russian.lng", std::string("\xFF\xFEN\0a\0m\0e\0=\0r\0u", 15));
    set_setting(u"Language", u"russian");
    m_context.system_language = u"russian";
    std::vector<LanguageRefusal> refused;
    ASSERT_TRUE(select_language_at_start(m_properties, m_context, &refused));
    EXPECT_EQ(language(), "english");
    ASSERT_EQ(refused.size(), 1u) << "named by the setting and the system, said once";
    EXPECT_EQ(refused[0].file_name, u"russian.lng");
    EXPECT_NE(refused[0].why.find(native("/prog/russian.lng") + ": "), std::string::npos);
    EXPECT_NE(refused[0].why.find("odd length"), std::string::npos) << refused[0].why;
    // Missing files on the way are no refusal.
    set_setting(u"Language", u"klingon");
    refused.clear();
    ASSERT_TRUE(select_language_at_start(m_properties, m_context, &refused));
    EXPECT_EQ(refused.size(), 1u);
    // Every file damaged: no language, each said.
    write("/prog/english.lng", std::string("k\0=\0v\0", 6));
    Properties fresh;
    refused.clear();
    EXPECT_FALSE(select_language_at_start(fresh, m_context, &refused));
    EXPECT_EQ(refused.size(), 2u);
}

// The context's check: a skin named "blue" lacks a screen.
std::string no_blue(const Properties& skin) {
    return skin.impl().string_count() > 0 && skin.impl().string(0) == u"blue"
               ? "lacks the screen {CallForm}"
               : "";
}

// Fall-backs: the default, then every selectable skin (never a splash or
// today one) in name order, each refusal named with its reason.
TEST_F(SkinAtStart, FallsBackNamingEachRefusedSkinAndTheSettingStays) {
    for (const char* name : {"blue", "default", "zeta", "splash", "Splash2", "TODAY_big"})
        add_skin(name);
    write("/prog/skins/bin/alpha.skin", "no skin at all");
    m_context.skin_check = no_blue;
    set_setting(u"Skin", u"blue");
    const std::string bin = native("/prog/skins/bin/");
    const std::string blue = bin + "blue.skin: lacks the screen {CallForm}";
    const std::string no_default = bin + "default.skin: not found";
    const std::string alpha = bin + "alpha.skin: shorter than the 92-byte header";
    SkinStartReport report;
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0, &report));
    EXPECT_EQ(skin(), "default");
    EXPECT_EQ(report.wanted, u"blue");
    EXPECT_EQ(report.taken, u"default");
    EXPECT_EQ(report.refusals, Refusals{blue});
    EXPECT_TRUE(report.fell_back());
    // Without the default: every skin tried in name order, each refusal kept.
    remove_skin("default");
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0, &report));
    EXPECT_EQ(skin(), "zeta");
    EXPECT_EQ(report.refusals, (Refusals{blue, no_default, alpha}));
    EXPECT_EQ(setting(u"Skin"), u"blue") << "a skin mended later is used again";
    // A setting that names no selectable skin, and nothing usable at all.
    set_setting(u"Skin", u"splash");
    remove_skin("zeta");
    Properties fresh;
    EXPECT_FALSE(select_skin_at_start(fresh, m_context, u"", 0, &report));
    EXPECT_EQ(report.taken, u"");
    EXPECT_FALSE(report.fell_back());
    EXPECT_EQ(report.refusals, (Refusals{"splash: the setting Skin names no selectable skin",
                                         no_default, alpha, blue}));
    // The wanted skin taken: no refusal, no fall-back.
    set_setting(u"Skin", u"blue");
    m_context.skin_check = nullptr;
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0, &report));
    EXPECT_EQ(report.taken, u"blue");
    EXPECT_EQ(m_properties.impl().path(), u"/prog/skins/bin/blue.skin");
    EXPECT_TRUE(report.refusals.empty());
    EXPECT_FALSE(report.fell_back());
}

// Each language is listed by the name it gives itself, so that a new file
// needs no code; the command still carries the file's name.
TEST_F(LanguageMenu, ListsEachLanguageByItsOwnName) {
    add_language("english", "skinLanguageName=English\n");
    add_language("russian", "skinLanguageName=Русский\n");
    add_language("klingon");                       // names itself nowhere
    add_language("vulcan", "skinLanguageName=\n"); // an empty name is no name
    ASSERT_TRUE(m_properties.language().load_language_file(u"/prog/russian.lng"));
    CollectedMenu menu;
    language_menu(m_properties, m_context, u"Language", menu, u"MenuCancel");
    EXPECT_EQ(menu.identifiers(), (Ids{u"Language#english", u"Language#klingon",
                                       u"Language#russian", u"Language#vulcan", u"Cancel"}));
    EXPECT_EQ(menu.texts(), (Ids{u"English", u"klingon", u"Русский", u"vulcan", u""}));
    EXPECT_EQ(menu.checked(), (std::vector<bool>{false, false, true, false, false}));
}

TEST_F(SkinMenu, ListsSelectableSkinsWithTranslatedNames) {
    for (const char* name : {"default", "dark", "splash", "today_x"})
        add_skin(name);
    add_language("english", "Skin#dark=Night\n");
    ASSERT_TRUE(select_language_at_start(m_properties, m_context));
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0));
    CollectedMenu menu;
    EXPECT_FALSE(skin_menu(m_properties, m_context, u"Skin", menu, u"Cancel2"));
    EXPECT_EQ(menu.identifiers(), (Ids{u"Skin#dark", u"Skin#default", u"Cancel"}));
    EXPECT_EQ(menu.texts(), (Ids{u"Night", u"default", u""})) << "no key: the base name";
    EXPECT_EQ(menu.checked(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(menu.items[2].element, u"Cancel2");
}

TEST_F(SkinMenu, AChoiceLoadsWritesAndReloadsAndCanBeTakenBackUntilKept) {
    for (const char* name : {"default", "dark", "splash"})
        add_skin(name);
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0));
    ReloadCounter reloads(m_properties);
    CollectedMenu menu;
    EXPECT_TRUE(skin_menu(m_properties, m_context, u"Skin#dark", menu, u""));
    EXPECT_EQ(skin(), "dark");
    EXPECT_EQ(setting(u"Skin"), u"dark");
    EXPECT_EQ(reloads.count, 1);
    for (const char16_t* command : {u"Skin#dark", u"Skin#missing", u"Skin#splash"})
        EXPECT_FALSE(skin_menu(m_properties, m_context, command, menu, u"")) << to_utf8(command);
    EXPECT_EQ(skin(), "dark");
    EXPECT_EQ(reloads.count, 1);
    // Until the screens took it, the skin before is kept aside, and taking
    // the switch back names that one in the setting again.
    EXPECT_TRUE(m_properties.switch_pending());
    ASSERT_TRUE(undo_skin_switch(m_properties, m_context));
    EXPECT_EQ(skin(), "default");
    EXPECT_EQ(m_properties.impl().path(), u"/prog/skins/bin/default.skin");
    EXPECT_EQ(setting(u"Skin"), u"default");
    EXPECT_FALSE(undo_skin_switch(m_properties, m_context));
    ASSERT_TRUE(skin_menu(m_properties, m_context, u"Skin#dark", menu, u""));
    m_properties.keep_switch();
    EXPECT_FALSE(undo_skin_switch(m_properties, m_context));
    EXPECT_EQ(skin(), "dark");
    EXPECT_EQ(setting(u"Skin"), u"dark");
}

// A skin the check refuses, or that does not load, is neither taken nor
// saved, and the refusal names the file and the reason.
TEST_F(SkinMenu, ARefusedSkinIsNeitherTakenNorSaved) {
    add_skin("default");
    add_skin("blue");
    write("/prog/skins/bin/broken.skin", std::string(200, 'x'));
    m_context.skin_check = no_blue;
    ASSERT_TRUE(select_skin_at_start(m_properties, m_context, u"", 0));
    ReloadCounter reloads(m_properties);
    CollectedMenu menu;
    const std::string bin = native("/prog/skins/bin/");
    const struct {
        const char16_t* command;
        std::string refusal;
    } cases[] = {
        {u"Skin#blue", bin + "blue.skin: lacks the screen {CallForm}"},
        {u"Skin#broken", bin + "broken.skin: not a skin file (wrong magic)"},
        {u"Skin#gone", bin + "gone.skin: not found"},
    };
    for (const auto& c : cases) {
        std::string refusal;
        EXPECT_FALSE(skin_menu(m_properties, m_context, c.command, menu, u"", &refusal));
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ(skin(), "default");
        EXPECT_FALSE(m_properties.switch_pending());
    }
    EXPECT_EQ(setting(u"Skin"), u"<unset>");
    EXPECT_EQ(reloads.count, 0);
}

TEST_F(FileLists, SearchVisitsFoldersRecursesAndStops) {
    std::filesystem::create_directories(native("/tree/a/b"));
    for (const char* file : {"/tree/1.x", "/tree/a/2.x", "/tree/a/b/3.x", "/tree/a/b/4.y"})
        write(file, "x");
    struct Visitor : FileSearchVisitor {
        bool on_file(const WString& path) override {
            files.push_back(path);
            return files.size() < stop_after;
        }
        bool on_folder(const WString& path) override {
            folders.push_back(path);
            return true;
        }
        Ids files, folders;
        std::size_t stop_after = 100;
    } all, stopping;
    EXPECT_TRUE(search_files(u"/tree", u"*.x", u"*", all, Recursion::IntoFolders));
    std::sort(all.files.begin(), all.files.end());
    EXPECT_EQ(all.files, (Ids{u"/tree/1.x", u"/tree/a/2.x", u"/tree/a/b/3.x"}));
    EXPECT_EQ(all.folders, (Ids{u"/tree/a", u"/tree/a/b"}));
    stopping.stop_after = 2;
    EXPECT_FALSE(search_files(u"/tree", u"*", u"*", stopping, Recursion::IntoFolders));
    EXPECT_EQ(stopping.files.size(), 2u) << "a false result ends the whole search";
    Visitor trailing; // a trailing "*" may match nothing
    EXPECT_TRUE(search_files(u"/tree", u"?.x*", u"a*", trailing, Recursion::IntoFolders));
    EXPECT_EQ(trailing.files, (Ids{u"/tree/1.x", u"/tree/a/2.x"}));
    EXPECT_EQ(trailing.folders, (Ids{u"/tree/a"}));
}

} // namespace
