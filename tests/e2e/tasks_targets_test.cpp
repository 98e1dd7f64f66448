// Two tasks and one target file: a second task may not write a file a running (or paused, or
// still finishing) task writes, however the path is spelled; the refusal names the file and the
// task. And the times a task shows while it is paused.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"
#include "tasks/task_text.h"
#include "util/av_error.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::unique_ptr<TConversionSettings> Request(const std::string& source, const std::string& target) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target);
    settings->ConvertOptions().Engine.RateEmulation = true;
    return settings;
}

bool InLoop(const TAVTask& task) {
    return task.Converter().StartTime() > 0;
}

std::string Refusal(const std::function<void()>& attempt) {
    try {
        attempt();
    } catch (const EAVError& e) {
        return e.what();
    }
    return {};
}

TEST(TasksTargets, ASecondRunIntoTheSameFileIsRefusedWithFileAndTask) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "holiday.mkv", 30);
    fs::create_directories(home / "out");
    fs::create_symlink(home / "out", home / "link");
    const std::string target = home / "out/a.mp4";
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);

    TAVTask& first = world.Converting().AddTask(Request(source, target));
    ASSERT_TRUE(world.RunUntil([&] { return InLoop(first); }, 20s));

    // The same file through a link and a detour: refused, and nothing is added.
    for (const std::string& spelling :
         {target, home / "link/../out/./a.mp4", home / "link/a.mp4"}) {
        const std::string refusal =
            Refusal([&] { world.Converting().AddTask(Request(source, spelling)); });
        EXPECT_EQ(refusal.rfind(spelling + " is already being written by the task converting "
                                           "holiday.mkv",
                                0),
                  0u)
            << refusal;
    }
    EXPECT_EQ(world.Converting().Tasks().size(), 1u);
    EXPECT_EQ(world.list.RowCount(), 1);
    EXPECT_EQ(ReadStoredTasks(world.persistence->Database()).size(), 1u);

    // Paused, it still holds its file.
    first.Pause();
    EXPECT_FALSE(Refusal([&] { world.Converting().AddTask(Request(source, target)); }).empty());

    // Stopped and done with the file: a new task may write it; the stopped one may not start
    // again while that one runs.
    first.Stop();
    ASSERT_TRUE(world.RunUntil([&] { return !first.Converter().IsWorking(); }, 20s));
    TAVTask& second = world.Converting().AddTask(Request(source, home / "link/a.mp4"));
    EXPECT_EQ(second.Status(), stRunning);
    EXPECT_NE(Refusal([&] { first.Start(); }).find("already being written"), std::string::npos);
    EXPECT_EQ(first.Status(), stError);
    EXPECT_FALSE(first.Converter().IsWorking());

    // Another file is no clash.
    TAVTask& third = world.Converting().AddTask(Request(source, home / "out/b.mp4"));
    EXPECT_EQ(third.Status(), stRunning);
    EXPECT_TRUE(world.messages.Errors().empty());
}

// Used and left time count converting only: a pause adds to neither.
TEST(TasksTargets, UsedTimeLeavesPausesOut) {
    TempFolder home;
    const std::string source = MakeClip(home.Path(), "clip.mkv", 30);
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    TAVTask& task = world.Converting().AddTask(Request(source, home / "out.mp4"));
    EXPECT_EQ(task.GetText(8), kNoEstimateText);  // no estimate before any progress
    ASSERT_TRUE(world.RunUntil([&] { return InLoop(task); }, 20s));
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(world.RunUntil([&] { return task.Converter().GetElapsedTime() >= 1; }, 20s));

    task.Pause();
    ASSERT_TRUE(world.RunUntil(
        [&] { return task.Converter().State() == TAVConverter::RunState::Paused; }, 20s));
    const auto pausedAt = std::chrono::steady_clock::now();
    // The pause being measured; the run reaches it at its next pass, well within the first
    // second.
    world.Pump(1s);
    const std::string usedWhilePaused = task.GetText(9);
    world.Pump(2s);
    EXPECT_EQ(task.GetText(9), usedWhilePaused);
    task.Resume();
    const auto resumedAt = std::chrono::steady_clock::now();

    const int64_t before = task.Converter().GetElapsedTime();
    ASSERT_TRUE(world.RunUntil([&] { return task.Converter().GetElapsedTime() > before; }, 20s));
    const auto seen = std::chrono::steady_clock::now();
    const double converting =
        std::chrono::duration<double>((seen - began) - (resumedAt - pausedAt)).count();
    // The figure is whole seconds of the last report; the pause (3 s) is not in it.
    EXPECT_LE(static_cast<double>(task.Converter().GetElapsedTime()), converting + 1.0);
    EXPECT_NE(task.GetText(8), kNoEstimateText);
    task.Stop();
    ASSERT_TRUE(world.RunUntil([&] { return !task.Converter().IsWorking(); }, 20s));
    EXPECT_EQ(task.GetText(8), kNoEstimateText);
}

}  // namespace
}  // namespace tw::test
