// The program survives what fails in an event handler, the task database written over while a
// task converts included: the error is shown once and the window goes on working.
#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "shell/frame_explorer.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

TEST(EventGuard, AFailingHandlerIsShownAndTheProgramGoesOn) {
    TempFolder home;
    ShellWorld world(home.Path());
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, &world.Window(), [] { throw std::runtime_error("boom"); });
        ASSERT_TRUE(world.WaitFor([&] { return world.Errors().size() == i + 1; }));
    }
    EXPECT_EQ(world.Errors(), (QStringList{"Unexpected error: boom", "Unexpected error: boom"}));
}

TEST(EventGuard, DatabaseWrittenOverWhileATaskConvertsLeavesTheWindowWorking) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 2);
    ShellWorld world(home.Path());
    world.configuration.SetShowAlert(false);
    ui::TFrameExplorer& explorer = world.Window().Explorer();
    TConvertedNode& films =
        explorer.Tree().NewCategory(*explorer.Tree().DefaultCategory(), "Films", home / "films");
    TAVTask& task = world.AddTask(Request(source, home / "out.mp4", films.ID(), true));
    const int id = task.ID();
    ASSERT_TRUE(world.WaitFor([&] { return task.Converter().StartTime() > 0; }));

    const std::string file = home / "TidewellSoft/VideoConverter/av.cfg";
    // Written over between two of the program's writes (they go on in a thread of their own).
    world.data->Persistence().Flush();
    WriteFileBytes(file, std::string(ReadFileBytes(file).size(), '\x5A'));
    // The completion is written, and the damage found and repaired, off the window's thread.
    ASSERT_TRUE(world.WaitFor(
        [&] { return world.Converting().Tasks().empty() && !world.Errors().empty(); }));
    ASSERT_EQ(world.Errors().size(), 1);
    EXPECT_TRUE(world.Errors()[0].contains("av.cfg.bad")) << world.Errors()[0].toStdString();

    // The categories and the finished task show from the new file.
    explorer.SelectNode(films);
    ASSERT_EQ(world.Rows().size(), 1u);
    EXPECT_EQ(world.Rows()[0]->ID(), id);
    explorer.SelectNode(*explorer.Tree().DefaultCategory());
    EXPECT_EQ(world.Errors().size(), 1);
}

}  // namespace
}  // namespace tw::test
