// The screens on damaged copies of the default skin: required nodes, parts that cannot be
// built, and a switch that is taken back.
#include "forms/about_container.h"
#include "forms/contact_form.h"
#include "forms/main_form.h"
#include "forms/notice_form.h"
#include "forms/skin_check.h"
#include "runtime/registry.h"
#include "screen_test_support.h"
#include "ui/render_surface.h"
#include "ui/skin_model_of.h"

#include <functional>

namespace telvara::forms {
namespace {

namespace fs = std::filesystem;
using data::testing::FakeCallLog;
using data::testing::FakeStore;
using data::testing::person;
using data::testing::phone;

constexpr char16_t kDamagedPath[] = u"/skins/damaged.skin";

class DamagedSkinTest : public data::testing::DocumentTest {
  protected:
    void SetUp() override {
        DocumentTest::SetUp();
        test::ensure_skin_types();
        ASSERT_TRUE(runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 1));
        ui::PropertiesImpl shipped(
            test::read_bytes(std::string(TELVARA_PROGRAM_SKINS) + "/default.skin"),
            TELVARA_PROGRAM_SKINS, u"default.skin", 0, ui::SkinResources::NoPictures);
        ASSERT_TRUE(shipped.is_loaded()) << shipped.load_error();
        m_model = ui::test::model_of(shipped);
        m_store.put(person(1, u"Anna", u"Berg", u"",
                           {phone(data::FieldType::Mobile, u"+1 555 0100"),
                            data::ContactField(data::FieldType::Email1, u"anna@example.org")}));
        m_store.put(
            person(2, u"Boris", u"Adams", u"", {phone(data::FieldType::HomeTel, u"+1 555 0200")}));
        m_calls.records = {data::testing::call(u"+1 555 0100", data::CallKind::Missed, 1),
                           data::testing::call(u"+1 555 0300", data::CallKind::Outgoing, 2)};
    }
    void TearDown() override {
        m_form.reset();
        m_document.reset();
        DocumentTest::TearDown();
    }
    // `model` written and made the current skin (pictures are not needed to build screens).
    ::testing::AssertionResult install(const skinc::SkinModel& model) {
        skinc::WriteResult written = skinc::write_skin(model);
        if (!written.ok())
            return ::testing::AssertionFailure() << written.error;
        m_impl =
            std::make_unique<ui::PropertiesImpl>(std::move(written.bytes), TELVARA_PROGRAM_SKINS,
                                                 kDamagedPath, 0, ui::SkinResources::NoPictures);
        if (!m_skin.install(*m_impl))
            return ::testing::AssertionFailure() << m_impl->load_error();
        return ::testing::AssertionSuccess();
    }
    // The first child of the top-level node `name` gets a type nobody
    // registered: loading the node then fails half-way.
    void break_first_child(skinc::SkinModel& model, WStringView name) {
        skinc::NodeModel* node = ui::test::top_node(model, name);
        ASSERT_NE(node, nullptr) << to_utf8(name);
        ASSERT_FALSE(node->children.empty()) << to_utf8(name);
        ui::test::set_string_property(model, node->children.front(), u"type", u"no_such_type");
    }
    void open_document() {
        m_document.emplace(m_store, &m_calls, files());
        m_document->load();
    }
    MainForm& form() {
        if (!m_form)
            m_form.emplace(m_skin);
        return *m_form;
    }
    // A frame of whatever is in front: rows are built while lists are laid out, and drawn.
    void frame() {
        ui::RenderSurface screen;
        screen.resize(240, 320);
        Form* top = m_host.top_form();
        for (Form* shown : {static_cast<Form*>(&form()), top}) {
            if (shown == nullptr)
                continue;
            shown->update(0.5);
            shown->fit_to_screen(240, 320);
            shown->layout_x();
            shown->layout_y();
            shown->draw_form(screen);
        }
    }
    std::string logged() const { return test::logged(root()); }
    skinc::SkinModel m_model;
    std::unique_ptr<ui::PropertiesImpl> m_impl;
    ui::Properties m_skin;
    FakeStore m_store;
    FakeCallLog m_calls;
    std::optional<data::Document> m_document;
    test::StackHost m_host;
    std::optional<MainForm> m_form;
};

// The list of required nodes is exact: the main screen (with every screen it
// owns) cannot be built without each of them, and can without any other.
TEST_F(DamagedSkinTest, RequiredNodesAreExactlyThoseTheScreensCannotDoWithout) {
    open_document();
    const auto required = required_skin_nodes();
    std::vector<WString> names;
    for (const skinc::TopLevelNode& node : m_model.nodes)
        names.push_back(node.name);
    for (WStringView name : required)
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end())
            << to_utf8(name) << " is required but the default skin lacks it";
    for (const WString& name : names) {
        SCOPED_TRACE(to_utf8(name));
        skinc::SkinModel without = m_model;
        ui::test::drop_top_node(without, name);
        ASSERT_TRUE(install(without));
        const bool is_required =
            std::find(required.begin(), required.end(), name) != required.end();
        const std::string refusal = screens_refusal(m_skin);
        EXPECT_EQ(refusal.find("{" + to_utf8(name) + "}") != std::string::npos, is_required)
            << refusal;
        m_form.reset();
        bool built = true;
        try {
            m_form.emplace(m_skin);
        } catch (const std::exception&) {
            built = false;
        }
        EXPECT_EQ(built, !is_required);
    }
    skinc::SkinModel without = m_model;
    ui::test::drop_top_node(without, u"CallForm");
    ui::test::drop_top_node(without, u"About");
    ASSERT_TRUE(install(without));
    EXPECT_EQ(screens_refusal(m_skin), "lacks the screens {About}, {CallForm}");
}

struct DamagedPart {
    const char16_t* node;                    // its first child cannot be built
    std::function<void(MainForm&)> show;     // what brings the part on screen
    const char* screen;                      // the screen named in the log
    std::function<bool(MainForm&)> survives; // what the screen still shows
};

// A part of a screen that cannot be built is logged with the skin file and
// the node, and the screen goes on with the rest: the program does not end.
TEST_F(DamagedSkinTest, APartThatCannotBeBuiltLeavesTheScreenAndIsLogged) {
    const DamagedPart cases[] = {
        {u"ContactsListElement", [](MainForm&) {}, "ContactSelectorContainer",
         [](MainForm& form) { return form.contacts().list()->item_count() == 2; }},
        {u"RecentsListElement", [](MainForm& form) { form.select_tab(MainTab::Recents); },
         "RecentsContainer", [](MainForm& form) { return form.current_tab() == MainTab::Recents; }},
        {u"ContactFieldElement", [](MainForm& form) { form.on_command_line(u"open:555-0100"); },
         "ContactForm", [](MainForm& form) { return form.contact_card().contact().oid == 1u; }},
        {u"AboutElementTop",
         [](MainForm& form) {
             form.select_tab(MainTab::Menu);
             form.main_menu().choose_key(u"About");
         },
         "AboutContainer", [](MainForm& form) { return form.about().is_shown(); }},
        {u"MenuElement", [](MainForm& form) { form.select_tab(MainTab::Menu); }, "PopupMenu",
         [](MainForm& form) { return form.main_menu().is_open(); }},
    };
    for (const DamagedPart& c : cases) {
        SCOPED_TRACE(to_utf8(c.node));
        m_form.reset();
        m_document.reset();
        runtime::reset_log();
        fs::remove_all(root() + "/Temp");
        skinc::SkinModel damaged = m_model;
        break_first_child(damaged, c.node);
        ASSERT_TRUE(install(damaged));
        open_document();
        ASSERT_NO_THROW({
            c.show(form());
            frame();
            frame();
        });
        EXPECT_TRUE(c.survives(form()));
        const std::string log = logged();
        const std::string line = std::string(c.screen);
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_NE(log.find("skin [" + to_utf8(kDamagedPath) + "] node {" + to_utf8(c.node) +
                           "} cannot be built: "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("no_such_type"), std::string::npos) << "the reason";
    }
}

// A skin with every screen that still cannot carry one is taken back after a switch; one the
// screens take is kept.
TEST_F(DamagedSkinTest, ASwitchToASkinTheScreensCannotBeBuiltFromIsTakenBack) {
    const char16_t kSettings[] = u"HKEY_CURRENT_USER\\Software\\KELMA\\Telvara";
    ASSERT_TRUE(install(m_model));
    m_skin.impl().set_path(u"/skins/good.skin");
    open_document();
    form().select_tab(MainTab::Recents);
    skinc::SkinModel damaged = m_model;
    ASSERT_TRUE(ui::test::remove_descendant(damaged, *ui::test::top_node(damaged, u"Main"),
                                            u"RecentsContainer"));
    ui::PropertiesImpl candidate(skinc::write_skin(damaged).bytes, TELVARA_PROGRAM_SKINS,
                                 kDamagedPath, 0, ui::SkinResources::NoPictures);
    ASSERT_TRUE(m_skin.switch_to(candidate));
    ASSERT_TRUE(runtime::reg_write_string(kSettings, u"Skin", u"damaged"));
    m_skin.send_reload_skin();
    ASSERT_NO_THROW(form().update(0.05));
    EXPECT_EQ(m_skin.impl().path(), u"/skins/good.skin");
    WString setting;
    ASSERT_TRUE(runtime::reg_read_string(kSettings, u"Skin", setting));
    EXPECT_EQ(setting, u"good");
    EXPECT_EQ(form().line_prompts().notice().text(), u"skinSkinRefused");
    form().select_tab(MainTab::Favorites);
    form().select_tab(MainTab::Recents);
    ASSERT_NO_THROW(frame());
    EXPECT_NE(logged().find("cannot carry the screens"), std::string::npos);
    ui::PropertiesImpl whole(skinc::write_skin(m_model).bytes, TELVARA_PROGRAM_SKINS,
                             u"/skins/whole.skin", 0, ui::SkinResources::NoPictures);
    ASSERT_TRUE(m_skin.switch_to(whole));
    m_skin.send_reload_skin();
    ASSERT_NO_THROW(form().update(0.05));
    EXPECT_EQ(m_skin.impl().path(), u"/skins/whole.skin");
    EXPECT_FALSE(m_skin.undo_switch()) << "kept: nothing left to take back";
}

} // namespace
} // namespace telvara::forms
