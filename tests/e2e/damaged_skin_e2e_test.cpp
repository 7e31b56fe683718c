// Damaged skins beside the shipped ones: refused at start and in the settings menu, the
// setting kept.
#include "process_support.h"

#include "skinc/skin_writer.h"
#include "ui/properties.h"
#include "ui/skin_model_of.h"

#include <fstream>
#include <functional>

namespace telvara::e2e {
namespace {

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
class DamagedSkinE2e : public TelvaraWorld {
  protected:
    // A program folder with the shipped skins and the damaged ones beside them.
    std::string program_folder(const std::vector<Damage>& damaged) {
        const std::string binary =
            TelvaraWorld::program_folder({"english.lng", "keyboard.txt", "skins"});
        for (const Damage& damage : damaged) {
            skinc::SkinModel model = shipped_model();
            damage.apply(model);
            std::string error;
            EXPECT_TRUE(skinc::write_skin_file(
                model,
                (m_dir / "program/skins/bin" / (std::string(damage.name) + ".skin")).string(),
                &error))
                << error;
        }
        return binary;
    }
    void choose_skin(const std::string& name) { settings("\"Skin\"=\"" + name + "\"\n"); }
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
        const Finished run =
            script(std::string("wait 1000\nexpect text txtNotice Skin “") + c.skin +
                       "” not usable\ntap button_recents\nwait 500\n"
                       "shot start.png\n",
                   {"--log"}, binary);
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(fs::exists(m_dir / "start.png"));
        EXPECT_THAT(log_text(), HasSubstr(c.logged));
        EXPECT_THAT(settings_text(), HasSubstr(std::string("\"Skin\"=\"") + c.skin + "\""))
            << "a start never writes the setting: a mended skin is used again";
    }
}

TEST_F(DamagedSkinE2e, WithNoUsableSkinTheStartNamesEachFileAndWhy) {
    const std::string binary = program_folder({kLacksCallScreen});
    const fs::path bin = m_dir / "program/skins/bin";
    fs::remove(bin / "default.skin");
    fs::remove(bin / "dark.skin");
    std::ofstream(bin / "zeta.skin") << "not a skin";
    choose_skin("lacking");
    const Finished run = script("wait 2000\n", {}, binary);
    EXPECT_NE(run.status, 0);
    for (const char* said :
         {"No skins found, please reinstall", "lacking.skin: lacks the screen {CallForm}",
          "default.skin: not found", "zeta.skin: shorter than the 92-byte header"})
        EXPECT_THAT(run.output, HasSubstr(said));
}

TEST_F(DamagedSkinE2e, TheSettingsMenuRefusesASkinThatLacksAScreenAndDoesNotSaveIt) {
    const std::string binary = program_folder({kLacksCallScreen});
    choose_skin("default");
    const Finished run =
        script("wait 1000\ntap button_menu\nwait 400\ntap Settings\nwait 400\ntap Skin\nwait 400\n"
               "tap Skin#lacking\nwait 100\nexpect text txtNotice Skin “lacking” not usable\n"
               "wait 400\ntap button_recents\nwait 400\nshot after.png\n",
               {"--log"}, binary);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_THAT(settings_text(), HasSubstr("\"Skin\"=\"default\""));
    EXPECT_THAT(log_text(), HasSubstr("skin_menu refused "));
    EXPECT_THAT(log_text(), HasSubstr("lacking.skin: lacks the screen {CallForm}"));
}

} // namespace
} // namespace telvara::e2e
