// Per-device-root names in the runtime folder and the default device root the tools fall back on.
#include "platform/runtime_names.h"
#include "scoped_env.h"

#include <gtest/gtest.h>

namespace telvara::platform {
namespace {

using test_support::ScopedEnv;

TEST(RuntimeNames, DefaultRootFollowsTheEnvironmentLikeTheProgram) {
    // FNV-1a of nothing: the offset basis, so the scheme cannot drift unseen.
    EXPECT_EQ(device_root_tag(""), "-cbf29ce484222325");
    ScopedEnv root("TELVARA_ROOT", "/srv/phone//");
    EXPECT_EQ(default_device_root_from_environment(), "/srv/phone");
    {
        ScopedEnv no_root("TELVARA_ROOT", nullptr);
        ScopedEnv data("XDG_DATA_HOME", "/data/home");
        EXPECT_EQ(default_device_root_from_environment(), "/data/home/telvara");
        // A relative XDG_DATA_HOME is ignored, as the XDG base folders rule.
        ScopedEnv relative("XDG_DATA_HOME", "relative/share");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(default_device_root_from_environment(), "/home/u/.local/share/telvara");
    }
}

} // namespace
} // namespace telvara::platform
