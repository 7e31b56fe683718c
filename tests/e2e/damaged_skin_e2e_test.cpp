// Damaged skins as a user meets them, in a program folder of the test's own
// beside the shipped skins: a chosen skin that lacks a screen, or whose main
// screen cannot be built, gives way to the default at start (the setting is
// kept, a notice says so); the settings menu refuses such a skin without
// saving it; a list row the skin cannot build leaves the tab working.
#include "process_support.h"

#include "skinc/skin_writer.h"
#include "ui/properties.h"
#include "ui/skin_model_of.h"

#include <fstream>
#include <functional>
#include <iterator>

namespace telvara::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kSettings[] = "[HKEY_CURRENT_USER\\Software\\KELMA\\Telvara]\n";

// The shipped default skin read back into the writer's model.
skinc::SkinModel shipped_model() {
    const fs::path built = fs::path(TELVARA_BINARY).parent_path() / "skins/bin";
    std::ifstream in(built / "default.skin", std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ui::PropertiesImpl skin(std::move(bytes), built.string(), u"default.skin", 0,
                            ui::SkinResources::None);
    EXPECT_TRUE(skin.is_loaded()) << skin.load_error();
    return ui::test::model_of(skin);
}

struct Damage {
    const char* name;
    std::function<void(skinc::SkinModel&)> apply;
};

const Damage kLacksCallScreen{"lacking", [](skinc::SkinModel& model) {
                                  ASSERT_TRUE(ui::test::drop_top_node(model, u"CallForm"));
                              }};
// Every screen is there, but the main one lacks a part it needs.
const Damage kMainWithoutRecents{
    "partless", [](skinc::SkinModel& model) {
        ASSERT_TRUE(ui::test::remove_descendant(model, *ui::test::top_node(model, u"Main"),
                                                u"RecentsContainer"));
    }};
// A recents row whose first part has a type no node has.
const Damage kBrokenRecentsRow{
    "rowless", [](skinc::SkinModel& model) {
        skinc::NodeModel* row = ui::test::top_node(model, u"RecentsListElement");
        ASSERT_NE(row, nullptr);
        ui::test::set_string_property(model, row->children.front(), u"type", u"no_such_type");
    }};

class DamagedSkinE2e : public TelvaraWorld {
  protected:
    // A program folder: a copy of the binary, the English texts, the shipped
    // skins and the damaged ones beside them.
    std::string program_folder(const std::vector<Damage>& damaged) {
        const fs::path folder = m_dir / "program";
        const fs::path built = fs::path(TELVARA_BINARY).parent_path();
        fs::create_directories(folder);
        fs::copy_file(TELVARA_BINARY, folder / "telvara");
        fs::copy_file(built / "english.lng", folder / "english.lng");
        fs::copy_file(built / "keyboard.txt", folder / "keyboard.txt");
        fs::copy(built / "skins", folder / "skins", fs::copy_options::recursive);
        for (const Damage& damage : damaged) {
            skinc::SkinModel model = shipped_model();
            damage.apply(model);
            std::string error;
            EXPECT_TRUE(skinc::write_skin_file(
                model, (folder / "skins/bin" / (std::string(damage.name) + ".skin")).string(),
                &error))
                << error;
        }
        return (folder / "telvara").string();
    }
    void choose_skin(const std::string& name) {
        std::ofstream(m_root / "registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                               << kSettings << "\"DemoData\"=dword:00000000\n"
                                               << "\"Skin\"=\"" << name << "\"\n";
    }
    std::string settings() const {
        std::ifstream in(m_root / "registry.reg");
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(DamagedSkinE2e, AChosenSkinThatCannotCarryTheScreensGivesWayToTheDefaultAtStart) {
    const std::string binary = program_folder({kLacksCallScreen, kMainWithoutRecents});
    const struct {
        const char* skin;
        const char* logged;
    } cases[] = {
        {"lacking", "lacking.skin: lacks the screen {CallForm}"},
        {"partless", "partless.skin] cannot carry the screens"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skin);
        choose_skin(c.skin);
        fs::remove_all(m_root / "Temp");
        const std::string script =
            write_file("start.txt", std::string("wait 1000\n"
                                                "expect text txtNotice Skin “") +
                                        c.skin +
                                        "” not usable\n"
                                        "tap button_recents\n"
                                        "wait 500\n"
                                        "shot start.png\n");
        const Finished run = this->run({"--headless", "--log", "--script", script}, binary);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(fs::exists(m_dir / "start.png"));
        EXPECT_NE(log_text().find(c.logged), std::string::npos) << log_text();
        EXPECT_NE(settings().find(std::string("\"Skin\"=\"") + c.skin + "\""), std::string::npos)
            << "a start never writes the setting: a mended skin is used again\n"
            << settings();
    }
}

TEST_F(DamagedSkinE2e, WithNoUsableSkinTheStartNamesEachFileAndWhy) {
    const std::string binary = program_folder({kLacksCallScreen});
    const fs::path bin = m_dir / "program/skins/bin";
    fs::remove(bin / "default.skin");
    fs::remove(bin / "dark.skin");
    std::ofstream(bin / "zeta.skin") << "not a skin";
    choose_skin("lacking");
    const Finished run =
        this->run({"--headless", "--script", write_file("s.txt", "wait 2000\n")}, binary);
    EXPECT_NE(run.status, 0);
    for (const char* said :
         {"No skins found, please reinstall", "lacking.skin: lacks the screen {CallForm}",
          "default.skin: not found", "zeta.skin: shorter than the 92-byte header"})
        EXPECT_NE(run.output.find(said), std::string::npos) << said << "\n" << run.output;
}

TEST_F(DamagedSkinE2e, TheSettingsMenuRefusesASkinThatLacksAScreenAndDoesNotSaveIt) {
    const std::string binary = program_folder({kLacksCallScreen});
    choose_skin("default");
    const std::string script = write_file("menu.txt", "wait 1000\n"
                                                      "tap button_menu\n"
                                                      "wait 400\n"
                                                      "tap Settings\n"
                                                      "wait 400\n"
                                                      "tap Skin\n"
                                                      "wait 400\n"
                                                      "tap Skin#lacking\n"
                                                      "wait 100\n"
                                                      "expect text txtNotice Skin “lacking” "
                                                      "not usable\n"
                                                      "wait 400\n"
                                                      "tap button_recents\n"
                                                      "wait 400\n"
                                                      "shot after.png\n");
    const Finished run = this->run({"--headless", "--log", "--script", script}, binary);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(settings().find("\"Skin\"=\"default\""), std::string::npos) << settings();
    EXPECT_NE(log_text().find("skin_menu refused "), std::string::npos) << log_text();
    EXPECT_NE(log_text().find("lacking.skin: lacks the screen {CallForm}"), std::string::npos);
}

TEST_F(DamagedSkinE2e, ARecentsRowTheSkinCannotBuildLeavesTheTabWorking) {
    const std::string binary = program_folder({kBrokenRecentsRow});
    choose_skin("rowless");
    const std::string script = write_file("rows.txt", "wait 1000\n"
                                                      "modem ring +4930123456\n"
                                                      "modem hangup\n"
                                                      "wait 3000\n"
                                                      "tap button_recents\n"
                                                      "wait 500\n"
                                                      "shot recents.png\n"
                                                      "tap button_contacts\n"
                                                      "wait 500\n"
                                                      "expect screen Main\n");
    const Finished run = this->run({"--headless", "--log", "--script", script}, binary);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(m_dir / "recents.png"));
    const std::string log = log_text();
    EXPECT_NE(log.find("RecentsContainer: skin ["), std::string::npos) << log;
    EXPECT_NE(log.find("rowless.skin] node {RecentsListElement} cannot be built"),
              std::string::npos)
        << log;
}

} // namespace
} // namespace telvara::e2e
