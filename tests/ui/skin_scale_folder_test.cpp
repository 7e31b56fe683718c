// Skins loaded at a scale take their pictures from the scale's own folder,
// "@2x" beside the skin for scale_shift 1, or the design-size ones without it.
#include "ui/properties.h"

#include "runtime/device_root_fixture.h"
#include "runtime/log.h"
#include "runtime/registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace telvara;
using namespace telvara::ui;

namespace {

namespace fs = std::filesystem;

class ScaledPictures : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::copy(TELVARA_TEST_SKINS, root() + "/skins", fs::copy_options::recursive);
    }

    std::string logged() const {
        runtime::log().flush();
        std::string out;
        for (const auto& entry : fs::directory_iterator(root() + "/Temp")) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string raw((std::istreambuf_iterator<char>(in)), {});
            WString text;
            for (std::size_t i = 2; i + 1 < raw.size(); i += 2)
                text += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                              static_cast<unsigned char>(raw[i + 1]) << 8);
            out += to_utf8(text);
        }
        return out;
    }
};

TEST_F(ScaledPictures, ShiftOneLoadsTheDoubledPictures) {
    Properties design;
    Properties doubled;
    ASSERT_TRUE(design.load_skin(u"/skins/sample.skin", 0)) << design.impl().load_error();
    ASSERT_TRUE(doubled.load_skin(u"/skins/sample.skin", 1)) << doubled.impl().load_error();
    ASSERT_GT(design.impl().picture_count(), 0u);
    ASSERT_EQ(design.impl().picture_count(), doubled.impl().picture_count());
    for (std::size_t i = 0; i < design.impl().picture_count(); ++i) {
        const Picture& small = design.impl().picture(i);
        const Picture& large = doubled.impl().picture(i);
        EXPECT_GT(small.width, 0);
        EXPECT_EQ(large.width, 2 * small.width) << to_utf8(design.impl().picture_name(i));
        EXPECT_EQ(large.height, 2 * small.height) << to_utf8(design.impl().picture_name(i));
        EXPECT_NE(large.data->path.find("/@2x/"), std::string::npos) << large.data->path;
    }
}

TEST_F(ScaledPictures, WithoutTheScaledFolderTheDesignPicturesLoadAndItIsLogged) {
    ASSERT_TRUE(runtime::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\KELMA", u"Log", 1));
    fs::remove_all(root() + "/skins/@2x");
    Properties skin;
    ASSERT_TRUE(skin.load_skin(u"/skins/sample.skin", 1)) << skin.impl().load_error();
    Properties design;
    ASSERT_TRUE(design.load_skin(u"/skins/sample.skin", 0));
    EXPECT_EQ(skin.impl().picture(0).width, design.impl().picture(0).width);
    EXPECT_NE(logged().find("PropertiesImpl::PropertiesImpl no picture folder {" + root() +
                            "/skins/@2x}, design-size pictures\n"),
              std::string::npos)
        << logged();
}

TEST_F(ScaledPictures, AScaledFolderWithoutThePicturesFailsTheLoad) {
    // A folder for the scale that lacks this skin's pictures is a broken
    // install, not a reason to mix scales.
    fs::remove_all(root() + "/skins/@2x/sample");
    Properties skin;
    EXPECT_FALSE(skin.load_skin(u"/skins/sample.skin", 1));
}

} // namespace
