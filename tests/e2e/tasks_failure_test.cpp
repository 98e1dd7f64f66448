// Tasks whose run fails: they end as stopped (stError) with the reason in their log, stay
// unfinished in the list and the database, and are never filed as converted.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    return settings;
}

// A transport stream whose picture size changes half-way: two streams written one after the
// other, as a recording that switched channels would be.
std::string MakeSourceThatFailsHalfWay(const TempFolder& folder) {
    ClipDescription first;
    first.width = 320;
    first.height = 240;
    first.durationSec = 2;
    ClipDescription second = first;
    second.width = 160;
    second.height = 120;
    GenerateClip(first, folder / "first.ts");
    GenerateClip(second, folder / "second.ts");
    const std::string path = folder / "switched.ts";
    WriteFileBytes(path, ReadFileBytes(folder / "first.ts") + ReadFileBytes(folder / "second.ts"));
    return path;
}

void ExpectUnfinishedAndNotFiled(TaskWorld& world, TAVTask& task) {
    EXPECT_EQ(task.Status(), stError);
    EXPECT_EQ(task.GetImageIndex(), TAVTask::kFailedImage);
    ASSERT_EQ(world.Converting().Tasks().size(), 1u);
    EXPECT_EQ(world.Converting().Tasks()[0].get(), &task);
    EXPECT_TRUE(world.list.HasRow(&task));
    auto row = FindStoredTask(world.persistence->Database(), task.ID());
    ASSERT_TRUE(row);
    EXPECT_TRUE(row->converting);
    EXPECT_TRUE(row->date.empty());
    EXPECT_FALSE(row->categoryId.has_value());
    EXPECT_TRUE(world.alerts.alerts.empty());
    EXPECT_EQ(world.power.powerOffs, 0);

    RecordingTaskListView other;
    FakeCategoryTree& explorer = world.explorer;
    TNodeObject* shown = explorer.displayed;
    explorer.Show(world.Category(1), other);
    EXPECT_EQ(other.RowCount(), 0);
    explorer.displayed = explorer.focused = shown;
}

TEST(TasksFailure, RunFailingInTheLoopStaysUnfinished) {
    TempFolder home;
    const std::string source = MakeSourceThatFailsHalfWay(home);
    // A transport stream plays without an end, so the failed run keeps what it wrote.
    const std::string target = home / "out.ts";
    TaskWorld world(home.Path().string());
    world.configuration.SetShutdownWhenDone(true);
    world.explorer.Show(world.Converting(), world.list);

    TAVTask& task = world.Converting().AddTask(Request(source, target));
    ASSERT_TRUE(world.RunUntil(
        [&] { return task.Status() == stError && !task.Converter().IsWorking(); }, 60s));
    world.Pump(100ms);

    // It did get into the loop: some of the source was converted before the failure.
    EXPECT_GT(task.Converter().ConvertedDuration(), 0.5);
    const std::vector<std::string> errors = world.messages.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Input Stream #0.0 frame size changed to 160x120", 0), 0u)
        << errors[0];
    ASSERT_FALSE(task.Log().empty());
    EXPECT_EQ(task.Log().back(), Trim(errors[0]));
    ExpectUnfinishedAndNotFiled(world, task);

    // It can be deleted like any stopped task, its broken output with it.
    EXPECT_TRUE(fs::exists(target));
    const int id = task.ID();
    task.Delete(false, true);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::exists(source));
    EXPECT_FALSE(FindStoredTask(world.persistence->Database(), id));
    EXPECT_EQ(world.list.RowCount(), 0);
}

TEST(TasksFailure, RunFailingBeforeTheLoopIsShownAndMarked) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    world.configuration.SetShutdownWhenDone(true);
    world.explorer.Show(world.Converting(), world.list);

    TAVTask& task = world.Converting().AddTask(Request(home / "missing.mkv", home / "out.mp4"));
    ASSERT_TRUE(world.RunUntil(
        [&] { return task.Status() == stError && !task.Converter().IsWorking(); }, 60s));
    world.Pump(100ms);

    const std::vector<std::string> errors = world.messages.Errors();
    ASSERT_EQ(errors.size(), 1u);
    ASSERT_FALSE(task.Log().empty());
    EXPECT_EQ(task.Log().back(), Trim(errors[0]));
    EXPECT_GT(world.list.RepaintsOf(&task), 0);
    ExpectUnfinishedAndNotFiled(world, task);

    // Once the source is there, a restart converts it.
    ClipDescription clip;
    clip.width = 160;
    clip.height = 120;
    clip.durationSec = 1;
    GenerateClip(clip, home / "missing.mkv");
    ASSERT_TRUE(task.Start());
    ASSERT_TRUE(world.RunUntil([&] { return world.Converting().Tasks().empty(); }, 60s));
    EXPECT_EQ(world.power.powerOffs, 1);
    EXPECT_EQ(world.alerts.alerts.size(), 1u);
}

// Why a run failed, and what the runs found out, survive the program; failed, stopped and
// cut-off tasks each say which they are.
TEST(TasksFailure, FailedStoppedAndCutOffTasksKeepTheirStoryAcrossARestart) {
    TempFolder home;
    const std::string broken = MakeSourceThatFailsHalfWay(home);
    const std::string clip = MakeClip(home.Path(), "clip.mkv", 30);
    auto realTime = [&](const std::string& target) {
        auto settings = Request(clip, target);
        settings->ConvertOptions().Engine.RateEmulation = true;
        return settings;
    };
    int failedId = 0;
    int stoppedId = 0;
    int cutOffId = 0;
    std::string reason;
    {
        TaskWorld world(home.Path().string());
        world.explorer.Show(world.Converting(), world.list);
        TAVTask& failed = world.Converting().AddTask(Request(broken, home / "f.mp4"));
        TAVTask& stopped = world.Converting().AddTask(realTime(home / "s.mp4"));
        TAVTask& cutOff = world.Converting().AddTask(realTime(home / "c.mp4"));
        failedId = failed.ID();
        stoppedId = stopped.ID();
        cutOffId = cutOff.ID();
        ASSERT_TRUE(world.RunUntil(
            [&] {
                return failed.Status() == stError && !failed.Converter().IsWorking() &&
                       stopped.Converter().StartTime() > 0 && cutOff.Converter().StartTime() > 0;
            },
            60s));
        stopped.Stop();
        reason = failed.Log().back();
        EXPECT_EQ(failed.GetImageIndex(), TAVTask::kFailedImage);
        EXPECT_EQ(failed.GetText(6), "Failed");
        EXPECT_EQ(stopped.GetImageIndex(), 2);
        EXPECT_EQ(stopped.GetText(6), "Stopped");
        ASSERT_TRUE(world.RunUntil([&] { return !stopped.Converter().IsWorking(); }, 20s));
        // The program ends here with the third one converting.
    }

    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    ASSERT_EQ(world.list.RowCount(), 3);
    auto row = [&](int id) -> TAVTask& {
        for (TAVTask* task : world.list.rows) {
            if (task->ID() == id) {
                return *task;
            }
        }
        throw std::runtime_error("task not listed");
    };
    TAVTask& failed = row(failedId);
    EXPECT_EQ(failed.StatusText(), "Failed");
    EXPECT_EQ(failed.GetImageIndex(), TAVTask::kFailedImage);
    ASSERT_FALSE(failed.Log().empty());
    EXPECT_EQ(failed.Log().back(), reason);
    TAVTask& stopped = row(stoppedId);
    EXPECT_EQ(stopped.StatusText(), "Stopped");
    EXPECT_EQ(stopped.GetText(5), "0:0:30");  // the length its run found
    EXPECT_GT(stopped.Settings().SourceFileSize(), 0);
    EXPECT_EQ(row(cutOffId).StatusText(), "Interrupted");
    EXPECT_EQ(row(cutOffId).GetImageIndex(), 2);

    // Started again, the earlier story goes, in the file too.
    ASSERT_TRUE(failed.Start());
    EXPECT_EQ(failed.StatusText(), "Converting");
    EXPECT_TRUE(failed.Log().empty());
    EXPECT_EQ(FindStoredTask(world.persistence->Database(), failedId)->log, "");
    ASSERT_TRUE(world.RunUntil([&] { return !failed.Converter().IsWorking(); }, 60s));
}

}  // namespace
}  // namespace tw::test
