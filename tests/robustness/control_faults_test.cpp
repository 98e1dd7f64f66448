// Four conversions at once under a random stream of pause, resume, stop and restart commands
// from the UI thread: every command returns, no task ever has more than one worker, every run
// ends when asked, and no worker is left registered.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "media/library.h"
#include "support/media_generator.h"
#include "support/scoped_env.h"
#include "support/task_fakes.h"

namespace tw::test {
namespace {

using namespace std::chrono_literals;

bool Alive(TaskWorld& world, const TAVTask* task) {
    const auto& tasks = world.Converting().Tasks();
    return std::any_of(tasks.begin(), tasks.end(),
                       [task](const auto& t) { return t.get() == task; });
}

TEST(ControlFaults, RandomCommandsOnFourRunningTasksNeverDeadlockOrDoubleAWorker) {
    TempFolder home;
    TaskWorld world(home.Path().string());
    world.explorer.Show(world.Converting(), world.list);
    constexpr int kTasks = 4;
    // Two short sources that may complete during the storm, two that outlast it. Files rather
    // than generated pictures: the library's generator input leaks a few frames when a run
    // stops before its end, which the leak checker would lay at this test's door.
    const double seconds[kTasks] = {1.5, 2.5, 8, 8};
    std::vector<TAVTask*> tasks;
    for (int i = 0; i < kTasks; ++i) {
        ClipDescription clip;
        clip.width = 96;
        clip.height = 64;
        clip.durationSec = seconds[i];
        clip.videoCodec = "mpeg4";
        const std::string source = home / ("s" + std::to_string(i) + ".mkv");
        GenerateClip(clip, source);
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(source);
        settings->SetTargetFile(home / ("t" + std::to_string(i) + ".mkv"));
        settings->ConvertOptions().Engine.RateEmulation = true;
        tasks.push_back(&world.Converting().AddTask(std::move(settings)));
    }

    const unsigned seed = 7;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // A number of commands rather than a span of time, so that a busy machine gets the same
    // storm, only slower.
    constexpr int kCommands = 200;
    int commands = 0;
    const auto anyAlive = [&] {
        return std::any_of(tasks.begin(), tasks.end(),
                           [&](TAVTask* task) { return Alive(world, task); });
    };
    while (commands < kCommands && anyAlive()) {
        const int i = static_cast<int>(random() % kTasks);
        if (Alive(world, tasks[i])) {
            TAVTask& task = *tasks[i];
            switch (random() % 8) {
                case 0:
                case 1:
                    task.Pause();
                    break;
                case 2:
                case 3:
                    task.Resume();
                    break;
                case 4:
                case 5:
                    task.Stop();
                    break;
                default:
                    if (task.Status() == stError) {
                        task.Start();  // waits for a stopped run to finish its file
                    }
                    break;
            }
            ++commands;
        }
        // Each task has one converter, and a converter one worker at most.
        ASSERT_LE(media::RegisteredLogThreads(), static_cast<size_t>(kTasks));
        world.RunUntil([] { return false; }, std::chrono::milliseconds(random() % 25));
    }
    // The long sources outlast the storm.
    EXPECT_EQ(commands, kCommands);

    // Whatever state each task is in, stopping ends its run.
    for (TAVTask* task : tasks) {
        if (Alive(world, task)) {
            task->Resume();
            task->Stop();
        }
    }
    ASSERT_TRUE(world.RunUntil(
        [&] {
            return std::none_of(tasks.begin(), tasks.end(), [&](TAVTask* task) {
                return Alive(world, task) && task->Converter().IsWorking();
            });
        },
        120s));
    for (TAVTask* task : tasks) {
        if (Alive(world, task)) {
            EXPECT_EQ(task->Status(), stError);
            EXPECT_EQ(task->Converter().State(), TAVConverter::RunState::Idle);
        }
    }
    world.Pump(50ms);
    EXPECT_EQ(media::RegisteredLogThreads(), 0u);
}

}  // namespace
}  // namespace tw::test
