// A damaged skin beside the shipped ones gives way to the default at start, the setting
// kept. Its refusal in the menu and a start with no usable skin are the skin tests'.
#include "process_support.h"
#include "skinc/skin_writer.h"
#include "ui/properties.h"
#include "ui/skin_model_of.h"
#include <fstream>
namespace telvara::e2e {
namespace {
class DamagedSkinE2e : public TelvaraWorld {
  protected:
    // A program folder with the shipped skins and "lacking", the default without its call screen.
    std::string program_folder() {
        const fs::path built = fs::path(TELVARA_BINARY).parent_path(), folder = m_dir / "program";
        fs::create_directories(folder);
        for (const char* file : {"telvara", "english.lng", "keyboard.txt", "skins"})
            fs::copy(built / file, folder / file, fs::copy_options::recursive);
        const fs::path bin = folder / "skins/bin";
        std::ifstream in(bin / "default.skin", std::ios::binary);
        ui::PropertiesImpl skin(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}),
                                bin.string(), u"default.skin", 0, ui::SkinResources::None);
        EXPECT_TRUE(skin.is_loaded()) << skin.load_error();
        skinc::SkinModel model = ui::test::model_of(skin);
        EXPECT_TRUE(ui::test::drop_top_node(model, u"CallForm"));
        std::string error;
        EXPECT_TRUE(skinc::write_skin_file(model, (bin / "lacking.skin").string(), &error))
            << error;
        settings("\"Skin\"=\"lacking\"\n");
        return (folder / "telvara").string();
    }
};

TEST_F(DamagedSkinE2e, AChosenSkinThatCannotCarryTheScreensGivesWayToTheDefault) {
    const Finished run = script("wait 1000\nexpect text txtNotice Skin “lacking” not usable\n"
                                "tap button_recents\nwait 500\nshot start.png\n",
                                {"--log"}, program_folder());
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(m_dir / "start.png"));
    EXPECT_THAT(log_text(), HasSubstr("lacking.skin: lacks the screen {CallForm}"));
    EXPECT_THAT(settings_text(), HasSubstr("\"Skin\"=\"lacking\""))
        << "a start never writes the setting: a mended skin is used again";
}
} // namespace
} // namespace telvara::e2e
