// The desktop program started over damaged or unreachable files of its own: it shows its main
// window and works, says what it found, and keeps every damaged file aside.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/shell_world.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

TEST(DamagedFilesStart, DatabaseConfigurationAndProfilesAllDamaged) {
    TempFolder home;
    const fs::path maker = home.Path() / "TidewellSoft";
    const fs::path files[] = {maker / "VideoConverter/av.cfg", maker / "VideoConverterConfig.Xml",
                              maker / "VideoConverterProfiles.ini"};
    fs::create_directories(maker / "VideoConverter");
    WriteFileBytes(files[0], "no database");
    WriteFileBytes(files[1], "<data PropFormat=\"node\"><TAVConfiguration>");
    WriteFileBytes(files[2], std::string("[Profile]\nProfileCount=1\n\0\x01\x02", 28));

    ShellWorld world(home.Path());
    EXPECT_TRUE(world.Window().isVisible());
    EXPECT_EQ(world.Errors().size(), 3) << world.Errors().join("\n").toStdString();
    for (const fs::path& file : files) {
        EXPECT_TRUE(fs::exists(file.string() + ".bad")) << file;
    }
    EXPECT_NE(world.data->Profiles().FindByDescription("AAC Audio"), nullptr);

    // A task runs to its end and is stored.
    const std::string source = MakeClip(home.Path(), "source.mkv", 0.5);
    TAVTask& task = world.AddTask(Request(source, home / "out.mp4"));
    const int id = task.ID();
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    EXPECT_TRUE(FindStoredTask(world.data->Persistence().Database(), id).has_value());
}

TEST(DamagedFilesStart, ConfigurationFolderThatCannotBeMade) {
    TempFolder home;
    // Below a plain file no folder can be made, whoever runs the program.
    WriteFileBytes(home.Path() / "file", "x");
    ShellWorld world(home.Path() / "file");
    EXPECT_TRUE(world.Window().isVisible());
    EXPECT_TRUE(world.data->Persistence().SessionOnly());
    EXPECT_EQ(world.Errors().size(), 2) << world.Errors().join("\n").toStdString();
}

}  // namespace
}  // namespace tw::test
