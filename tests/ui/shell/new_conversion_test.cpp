// How a new conversion begins: the command, dropped files, and files handed over by a
// second start of the program; and nothing of it while no wizard is installed.
#include <gtest/gtest.h>

#include <future>

#include "app/single_instance.h"
#include "shell/frame_list.h"
#include "support/shell_world.h"

namespace tw::test {
namespace {

TEST(NewConversion, DroppedFilesOpenTheWizardOnceForAllOfThem) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 1);
    ShellWorld world(home.Path());

    EXPECT_TRUE(DropFiles(world.Window(), {"/a.mkv", "/b.mkv"}));
    ASSERT_TRUE(world.WaitFor([&] { return !world.wizardSources.isEmpty(); }));
    EXPECT_EQ(world.wizardSources, QStringList{"/a.mkv|/b.mkv"});
    world.wizardSources.clear();
    world.wizardAnswers.push_back(Request(source, home / "out/dropped.mp4"));
    EXPECT_TRUE(DropFiles(world.Window(), {QString::fromStdString(source)}));
    ASSERT_TRUE(world.WaitFor([&] { return !world.wizardSources.isEmpty(); }));
    EXPECT_EQ(world.wizardSources, QStringList{QString::fromStdString(source)});
    // The wizard's answer became a running task.
    ASSERT_EQ(world.Rows().size(), 1u);
    EXPECT_EQ(world.Rows()[0]->Settings().TargetFile(), home / "out/dropped.mp4");

    // The command opens it without a file; Cancel adds nothing.
    world.Trigger("actNewConversion");
    EXPECT_EQ(world.wizardSources.back(), "");
    EXPECT_EQ(world.Rows().size(), 1u);
}

TEST(NewConversion, WithoutAWizardNothingPretendsToStartOne) {
    TempFolder home;
    ShellWorld world(home.Path());
    ui::ScopedNewConversion noWizard(nullptr);
    world.Window().UpdateActions();
    EXPECT_FALSE(world.Action("actNewConversion")->isEnabled());
    EXPECT_FALSE(DropFiles(world.Window(), {"/a.mkv"}));
}

TEST(NewConversion, SecondStartHandsItsFilesToTheRunningWindow) {
    TempFolder home;
    ShellWorld world(home.Path());
    const QString key = QString::fromStdString(TAVConfiguration::ConfigFolder());
    ui::SingleInstance running(key);
    ASSERT_TRUE(running.Listen());
    QObject::connect(&running, &ui::SingleInstance::FilesReceived, &world.Window(),
                     &ui::TFormMain::OpenFromOutside);

    // The second start blocks while it hands over; the first must go on serving its loop.
    auto second = std::async(std::launch::async, [key] {
        ui::SingleInstance other(key);
        return other.HandOver(
            {QStringLiteral("/media/film one.mkv"), QStringLiteral("/media/2.mkv")});
    });
    ASSERT_TRUE(world.WaitFor([&] { return !world.wizardSources.isEmpty(); }));
    EXPECT_TRUE(second.get());
    EXPECT_EQ(world.wizardSources, QStringList{"/media/film one.mkv|/media/2.mkv"});

    // Another configuration is another program.
    ui::SingleInstance stranger(key + "-other");
    EXPECT_FALSE(stranger.HandOver({}, 500));
}

}  // namespace
}  // namespace tw::test
