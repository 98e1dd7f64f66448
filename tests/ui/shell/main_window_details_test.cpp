// Small things of the main window a user meets: the menus' Alt keys, and the source size of a
// task that failed before it could report one.
#include <gtest/gtest.h>

#include <QKeySequence>
#include <QMenuBar>
#include <filesystem>

#include "support/shell_world.h"
#include "tasks/task_text.h"

namespace tw::test {
namespace {

TEST(MainWindowDetails, EveryMenuOpensWithAltAndItsOwnLetter) {
    TempFolder home;
    ShellWorld world(home.Path());
    QStringList keys;
    for (QAction* menu : world.Window().menuBar()->actions()) {
        keys << QKeySequence::mnemonic(menu->text()).toString();
    }
    EXPECT_EQ(keys, (QStringList{"Alt+F", "Alt+T", "Alt+O", "Alt+H"}));
}

TEST(MainWindowDetails, FailedTaskShowsTheSizeOfItsSource) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 1);
    WriteFileBytes(home / "blocked", "a file where the target's folder would be");
    ShellWorld world(home.Path());
    TAVTask& task = world.AddTask(Request(source, home / "blocked/out.mp4"));
    ASSERT_TRUE(world.WaitFor([&] { return task.Status() == stError; }));
    EXPECT_EQ(task.GetText(1), SizeText(static_cast<int64_t>(std::filesystem::file_size(source))));
}

}  // namespace
}  // namespace tw::test
