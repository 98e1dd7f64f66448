#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/process_priority.h"
#include "support/scoped_env.h"

namespace tw::platform {
namespace {

using test::ScopedEnv;

// Every test starts from a home folder of its own and none of the overriding variables.
class Paths : public ::testing::Test {
protected:
    test::TempFolder home_;
    ScopedEnv homeEnv_{"HOME", home_.Path().string()};
    ScopedEnv tidewell_{"TIDEWELL_CONFIG_HOME", std::nullopt};
    ScopedEnv xdgConfig_{"XDG_CONFIG_HOME", std::nullopt};
    ScopedEnv xdgVideos_{"XDG_VIDEOS_DIR", std::nullopt};
};

TEST_F(Paths, ConfigBaseTakesTheFirstSetVariable) {
    EXPECT_EQ(ConfigBase(), home_ / ".config");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/xdg/config/");
        EXPECT_EQ(ConfigBase(), "/xdg/config");
        ScopedEnv own("TIDEWELL_CONFIG_HOME", "/tidewell/base");
        EXPECT_EQ(ConfigBase(), "/tidewell/base");
    }
    // An empty variable counts as not set.
    ScopedEnv empty("TIDEWELL_CONFIG_HOME", "");
    EXPECT_EQ(ConfigBase(), home_ / ".config");
}

TEST_F(Paths, VideosFolderComesFromTheVariableThenUserDirsThenHome) {
    EXPECT_EQ(VideosFolder(), home_ / "Videos");

    std::filesystem::create_directories(home_.Path() / ".config");
    test::WriteFileBytes(home_.Path() / ".config/user-dirs.dirs",
                         "# written by xdg-user-dirs-update\n"
                         "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                         "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n");
    EXPECT_EQ(VideosFolder(), home_ / "Filme");

    // user-dirs.dirs is looked up in the XDG configuration folder.
    std::filesystem::create_directories(home_.Path() / "xdg");
    test::WriteFileBytes(home_.Path() / "xdg/user-dirs.dirs", "XDG_VIDEOS_DIR=\"/mnt/films/\"\n");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", home_ / "xdg");
        EXPECT_EQ(VideosFolder(), "/mnt/films");
    }

    ScopedEnv videos("XDG_VIDEOS_DIR", "/srv/videos");
    EXPECT_EQ(VideosFolder(), "/srv/videos");
}

TEST(ProcessPriority, SixLevelsMapToNiceValues) {
    const int expected[] = {19, 10, 0, -5, -10, -20};
    for (int level = 0; level < 6; ++level) {
        EXPECT_EQ(NiceValueForLevel(level), expected[level]) << "level " << level;
    }
}

}  // namespace
}  // namespace tw::platform
