// The desktop program with many files: several dropped files go through one wizard and become
// one task each, and a queue of one converts the tasks one after another, the others "Waiting".
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <set>

#include "preview/frame_preview.h"
#include "support/media_generator.h"
#include "support/wizard_support.h"
#include "wizard/frame_sources.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

TEST(ManyFiles, DroppedFilesMakeOneWizardAndOneTaskEachWithDistinctTargets) {
    TempFolder home;
    for (const char* folder : {"a", "b", "c"}) {
        fs::create_directories(home / folder);
    }
    const std::string first = MakeClip(home / "a", "clip.mkv", 1);
    const std::string second = MakeClip(home / "b", "clip.mkv", 1);
    const std::string third = MakeClip(home / "c", "other.mkv", 1);
    const std::string notes = home / "notes.mkv";
    WriteFileBytes(notes, "not a film at all");
    ShellWorld world(home.Path());
    world.configuration.PerformanceOptions().SetMaxConversions(1);
    ui::ScopedNewConversion wizard(ui::NewConversionWizard(
        world.data->Profiles(), world.configuration, &world.data->Environment()));

    int wizards = 0;
    world.dialogs.Push([&](QDialog& dialog) {
        ++wizards;
        auto& form = dynamic_cast<ui::TFormNewConversion&>(dialog);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form.Busy(); }, 30000));
        ASSERT_TRUE(form.ManyFiles());
        // The same file twice is listed once; the unreadable one is listed as refused.
        auto* list = Find<QListWidget>(&form, "lstSources");
        ASSERT_EQ(list->count(), 4);
        EXPECT_TRUE(list->item(3)->text().startsWith("notes.mkv — refused: "))
            << list->item(3)->text().toStdString();
        EXPECT_EQ(form.Sources().ReadyFiles().size(), 3);
        list->item(3)->setSelected(true);
        Find<QAbstractButton>(&form, "btnRemoveSource")->click();
        EXPECT_EQ(list->count(), 3);
        // No cut for several files; the preview shows the first.
        EXPECT_FALSE(Find<QLabel>(&form, "lblStart")->isVisible());
        ASSERT_TRUE(WaitForPreview(form));
        EXPECT_EQ(Find<QLineEdit>(&form, "edtSavePath")->text().toStdString(),
                  world.configuration.OutputFolder());
        ChooseProfile(form, "IPod", "IPod 320x240 Video");
        ClickFinish(form);
    });
    ASSERT_TRUE(
        DropFiles(world.Window(), {QString::fromStdString(first), QString::fromStdString(second),
                                   QString::fromStdString(first), QString::fromStdString(third),
                                   QString::fromStdString(notes)}));
    ASSERT_TRUE(world.WaitFor([&] { return world.dialogs.Pending() == 0; }));
    EXPECT_EQ(wizards, 1);

    const std::vector<TAVTask*> rows = world.Rows();
    ASSERT_EQ(rows.size(), 3u);
    std::set<std::string> targets;
    for (size_t i = 0; i < rows.size(); ++i) {
        const TConversionSettings& settings = rows[i]->Settings();
        EXPECT_EQ(settings.SourceFile(), (std::vector<std::string>{first, second, third})[i]);
        EXPECT_EQ(settings.Profile(), "IPod 320x240 Video");
        EXPECT_EQ(fs::path(settings.TargetFile()).parent_path(),
                  world.configuration.OutputFolder());
        EXPECT_EQ(fs::path(settings.TargetFile()).extension(), ".mp4");
        EXPECT_EQ(settings.ConvertOptions().StartTime(), 0);
        targets.insert(settings.TargetFile());
    }
    EXPECT_EQ(targets.size(), 3u);
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();
}

QString PercentColumn(ShellWorld& world, int row) {
    return world.Window().TaskList().Model().index(row, 6).data().toString();
}

TEST(ManyFiles, AQueueOfOneConvertsEachTaskInTurnTheOthersWaiting) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 1);
    ShellWorld world(home.Path());
    world.configuration.PerformanceOptions().SetMaxConversions(1);
    for (const char* name : {"a", "b", "c"}) {
        world.AddTask(Request(source, home / (std::string("out/") + name + ".mp4"), 0, true));
    }
    // At most one converts at any moment.
    int mostActive = 0;
    QObject::connect(&world.Window().TaskList().Model(), &QAbstractItemModel::dataChanged, [&] {
        int active = 0;
        for (const auto& task : world.Converting().Tasks()) {
            active += task->IsActive() ? 1 : 0;
        }
        mostActive = std::max(mostActive, active);
    });
    EXPECT_EQ(world.Rows()[0]->Status(), stRunning);
    EXPECT_EQ(PercentColumn(world, 1), "Waiting");
    EXPECT_EQ(PercentColumn(world, 2), "Waiting");
    // Stop works on a waiting task: it no longer waits, and is passed over.
    world.Window().TaskList().SelectTask(*world.Rows()[1], false);
    world.Trigger("actStopTask");
    EXPECT_EQ(PercentColumn(world, 1), "Stopped");

    ASSERT_TRUE(world.WaitFor([&] { return world.Rows().size() == 2; }));
    EXPECT_EQ(world.Rows()[1]->Status(), stRunning);
    EXPECT_EQ(world.Rows()[1]->Settings().TargetFile(), home / "out/c.mp4");
    // Started again, the stopped task queues behind the converting one.
    world.Window().TaskList().SelectTask(*world.Rows()[0], false);
    world.Trigger("actStartTask");
    EXPECT_EQ(PercentColumn(world, 0), "Waiting");
    ASSERT_TRUE(world.WaitFor([&] { return world.Rows().empty(); }));
    EXPECT_EQ(mostActive, 1);
    EXPECT_TRUE(fs::exists(home / "out/b.mp4"));
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();
}

}  // namespace
}  // namespace tw::test
