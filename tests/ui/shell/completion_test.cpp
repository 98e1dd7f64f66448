// A task converting to its end in the main window: the alert, the filing under its category,
// the converted task's commands, and the power switch when it was the last one running.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>

#include "preview/player_window.h"

#include "shell/frame_explorer.h"
#include "shell/frame_list.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

TEST(Completion, FinishedTaskIsAnnouncedFiledAndOpenedFromItsCategory) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip & co.mkv", 1);
    const std::string target = home / "out/clip & co.mp4";
    ShellWorld world(home.Path());
    world.configuration.SetShutdownWhenDone(true);
    world.AddTask(Request(source, target));
    // Its category on display: the finished task moves there, its row never painted before.
    ui::TFrameExplorer& explorer = world.Window().Explorer();
    explorer.SelectNode(*explorer.Tree().DefaultCategory());
    ASSERT_TRUE(world.WaitFor([&] { return world.Converting().Tasks().empty(); }));
    EXPECT_EQ(world.power.powerOffs, 1);

    ASSERT_EQ(world.notifications.sent.size(), 1u);
    const auto& sent = world.notifications.sent[0];
    EXPECT_EQ(sent.summary, "Task Completed");
    EXPECT_EQ(sent.body, QString::fromStdString(target + " was generated.").toHtmlEscaped());
    EXPECT_EQ(sent.actions,
              (QStringList{"default", "Folder", "folder", "Folder", "close", "Close"}));
    world.notifications.Invoke(world.notifications.lastId, "default");
    EXPECT_EQ(world.desktop.shown, QStringList{QString::fromStdString(target)});

    ASSERT_EQ(world.Rows().size(), 1u);
    TAVTask& done = *world.Rows()[0];
    EXPECT_EQ(done.Status(), stFinished);
    EXPECT_EQ(world.Window().TaskList().Model().columnCount(), 7);
    EXPECT_NE(done.GetText(1), "0KB");
    world.Window().TaskList().SelectTask(done);
    world.Window().UpdateActions();
    EXPECT_FALSE(world.Action("actStartTask")->isEnabled());
    EXPECT_FALSE(world.Action("actPauseTask")->isEnabled());
    EXPECT_FALSE(world.Action("actStopTask")->isEnabled());

    // The converted file plays in the program's own player.
    ASSERT_TRUE(world.Action("actOpenConverted")->isEnabled());
    world.Trigger("actOpenConverted");
    std::vector<ui::PlayerWindow*> players;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* player = qobject_cast<ui::PlayerWindow*>(widget)) {
            players.push_back(player);
        }
    }
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0]->FileName(), QString::fromStdString(target));
    players[0]->close();

    world.Trigger("actOpenSource");
    world.desktop.fileManager = false;
    world.Trigger("actExploreFile");
    EXPECT_EQ(world.desktop.urls,
              (std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(source)),
                                 QUrl::fromLocalFile(QString::fromStdString(home / "out"))}));
    EXPECT_TRUE(world.Errors().empty());
}

}  // namespace
}  // namespace tw::test
