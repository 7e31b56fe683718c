// Skins loaded at a scale take their pictures from the scale's own folder,
// "@2x" beside the skin for scale_shift 1, or the design-size ones without it.
#include "ui/properties.h"

#include "runtime/device_root_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace telvara;
using namespace telvara::ui;

namespace {

namespace fs = std::filesystem;

class ScaledPictures : public telvara::test_support::DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::copy(TELVARA_TEST_SKINS, root() + "/skins", fs::copy_options::recursive);
        ASSERT_TRUE(design.load_skin(u"/skins/sample.skin", 0)) << design.impl().load_error();
    }
    Properties design;
    Properties doubled;
};

TEST_F(ScaledPictures, ShiftOneLoadsTheDoubledPictures) {
    ASSERT_TRUE(doubled.load_skin(u"/skins/sample.skin", 1)) << doubled.impl().load_error();
    ASSERT_GT(design.impl().picture_count(), 0u);
    ASSERT_EQ(design.impl().picture_count(), doubled.impl().picture_count());
    for (std::size_t i = 0; i < design.impl().picture_count(); ++i) {
        const Picture& small = design.impl().picture(i);
        const Picture& large = doubled.impl().picture(i);
        SCOPED_TRACE(to_utf8(design.impl().picture_name(i)));
        EXPECT_GT(small.width, 0);
        EXPECT_EQ(large.width, 2 * small.width);
        EXPECT_EQ(large.height, 2 * small.height);
        EXPECT_NE(large.data->path.find("/@2x/"), std::string::npos) << large.data->path;
    }
}

// A scale folder that lacks this skin's pictures is a broken install, not a
// reason to mix scales; with no scale folder at all the design pictures load.
TEST_F(ScaledPictures, AScaledFolderWithoutThePicturesFailsAndNoFolderTakesTheDesignOnes) {
    fs::remove_all(root() + "/skins/@2x/sample");
    EXPECT_FALSE(doubled.load_skin(u"/skins/sample.skin", 1));
    fs::remove_all(root() + "/skins/@2x");
    ASSERT_TRUE(doubled.load_skin(u"/skins/sample.skin", 1)) << doubled.impl().load_error();
    EXPECT_EQ(doubled.impl().picture(0).width, design.impl().picture(0).width);
}

} // namespace
